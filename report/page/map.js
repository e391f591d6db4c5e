// The track map: its outline, the lap it colours, the laps drawn and their points at the cursor.

var minMapExtentM = 20, minMapSide = 260, mapChrome = 60;

function mapBounds() {
  var t = traces();
  var b = null;
  (t ? t.laps : []).forEach(function (lap) {
    if (!lap.x) return;
    for (var k = 0; k < lap.x.length; ++k) {
      var x = lap.x[k], y = lap.y[k];
      if (x === null || y === null) continue;
      if (!b) b = { minX: x, maxX: x, minY: y, maxY: y };
      b.minX = Math.min(b.minX, x); b.maxX = Math.max(b.maxX, x);
      b.minY = Math.min(b.minY, y); b.maxY = Math.max(b.maxY, y);
    }
  });
  return b;
}

// The lap the map colours: the last shown lap of this file that is not the reference, one from
// the line first (a lap that starts past it has no delta), else the reference.
function focusLap() {
  var mine = view.shown.filter(function (e) { return e.file === view.file && entryTrace(e); });
  var others = mine.filter(function (e) { return !isReference(e); }).map(function (e) { return e.lap; });
  var fromLine = others.filter(function (n) { return traceOf(file(), n).fromLine; });
  var pick = fromLine.length ? fromLine : others;
  return pick.length ? pick[pick.length - 1] : (mine.length ? mine[0].lap : null);
}

// The lap that draws the track's outline: a complete lap, never an out lap through the pit lane:
// the reference, else the longest lap from the line, else the longest lap.
function outlineLap() {
  var ref = view.reference && view.reference.file === view.file ? traceOf(file(), view.reference.lap) : null;
  if (ref && ref.x) return ref;
  var known = function (lap) { return lap.x.filter(function (v) { return v !== null; }).length; };
  var best = null;
  [true, false].forEach(function (fromLine) {
    if (best) return;
    traces().laps.forEach(function (lap) {
      if (lap.x && (!fromLine || lap.fromLine) && (!best || known(lap) > known(best))) best = lap;
    });
  });
  return best;
}

function rampColour(f) {
  // Blue (slow) through yellow to red (fast).
  var stops = [[49, 54, 149], [69, 117, 180], [254, 224, 144], [244, 109, 67], [165, 0, 38]];
  f = Math.max(0, Math.min(1, f)) * (stops.length - 1);
  var i = Math.min(Math.floor(f), stops.length - 2), w = f - i;
  var c = stops[i].map(function (v, j) { return Math.round(v + (stops[i + 1][j] - v) * w); });
  return 'rgb(' + c.join(',') + ')';
}

function gainColour(f) {
  // Green where time is gained, grey where even, red where it is lost.
  f = Math.max(-1, Math.min(1, f));
  var grey = [170, 170, 170], end = f < 0 ? [26, 152, 80] : [215, 48, 39];
  var w = Math.abs(f);
  return 'rgb(' + grey.map(function (v, j) { return Math.round(v + (end[j] - v) * w); }).join(',') + ')';
}

function drawMap() {
  var canvas = document.getElementById('map');
  var box = document.getElementById('map-box');
  var t = traces();
  var bounds = t ? mapBounds() : null;
  // A car that never moved draws a dot, not a map.
  if (bounds && Math.max(bounds.maxX - bounds.minX, bounds.maxY - bounds.minY) < minMapExtentM) bounds = null;
  box.hidden = !bounds;
  if (!bounds) return;
  // As large as the column is wide and the window leaves below the table.
  var side = Math.max(minMapSide, Math.min(box.clientWidth,
    window.innerHeight - box.getBoundingClientRect().top - mapChrome));
  canvas.style.width = side + 'px';
  var size = Math.round(side * (window.devicePixelRatio || 1));
  if (canvas.width !== size) { canvas.width = size; canvas.height = size; }
  var ctx = canvas.getContext('2d');
  ctx.fillStyle = '#fff';
  ctx.fillRect(0, 0, size, size);
  var margin = 0.06 * size;
  var scale = (size - 2 * margin) / Math.max(bounds.maxX - bounds.minX, bounds.maxY - bounds.minY, 1);
  var offX = (size - (bounds.maxX - bounds.minX) * scale) / 2, offY = (size - (bounds.maxY - bounds.minY) * scale) / 2;
  function px(x) { return offX + (x - bounds.minX) * scale; }
  function py(y) { return size - offY - (y - bounds.minY) * scale; }

  var focus = focusLap();
  var lapTrace = focus === null ? null : traceOf(file(), focus);
  var shape = outlineLap();
  mapPoints = { shape: shape, px: px, py: py, ratio: size / canvas.clientWidth };
  var select = document.getElementById('map-colour');
  var refIsFocus = isReference({ file: view.file, lap: focus });
  // Without a lap from the line against another reference only speed can colour it; the selector
  // says what the map shows.
  var compares = !!view.reference && !refIsFocus && !!lapTrace && lapTrace.fromLine;
  Array.prototype.forEach.call(select.options, function (o) { o.disabled = !compares && o.value !== 'speed'; });
  if (!compares) select.value = 'speed';
  else if (view.mapMode && select.value !== view.mapMode) select.value = view.mapMode;
  var mode = select.value;
  var colours = [];
  var legend = '';
  if (lapTrace && mode === 'delta') {
    // The delta itself: how far ahead (green) or behind (red) of the reference the lap is there.
    var ahead = deltaOf(lapTrace);
    var most = ahead.reduce(function (m, v) { return v === null ? m : Math.max(m, Math.abs(v)); }, 0) || 1e-3;
    colours = ahead.map(function (v) { return v === null ? '#ccc' : gainColour(v / most); });
    legend = 'Lap ' + focus + ' against the reference: green ahead, red behind, up to ' + most.toFixed(3) + ' s.';
  } else if (lapTrace && mode === 'gain') {
    // The slope of the delta over a short stretch: where this lap gains or loses against the reference.
    var delta = deltaOf(lapTrace);
    var w = Math.max(1, Math.round(25 / t.stepM));
    var slopes = delta.map(function (v, k) {
      var a = delta[Math.max(0, k - w)], b = delta[Math.min(delta.length - 1, k + w)];
      return a === null || b === null ? null : b - a;
    });
    var sorted = slopes.filter(function (v) { return v !== null; }).map(Math.abs).sort(function (a, b) { return a - b; });
    var top = sorted.length ? sorted[Math.floor(0.95 * (sorted.length - 1))] || 1e-3 : 1;
    colours = slopes.map(function (v) { return v === null ? '#ccc' : gainColour(v / top); });
    legend = 'Lap ' + focus + ' against the reference: green gains time, red loses it.';
  } else if (lapTrace) {
    var speed = values(lapTrace, 'speed', lapTrace.time.length);
    var known = speed.filter(function (v) { return v !== null; });
    var lo = Math.min.apply(null, known), hi = Math.max.apply(null, known);
    colours = speed.map(function (v) { return v === null ? '#ccc' : rampColour((v - lo) / Math.max(hi - lo, 1)); });
    legend = 'Lap ' + focus + ' speed: blue ' + Math.round(lo) + ' km/h to red ' + Math.round(hi) + ' km/h.';
  }
  // The outline of the track, then the coloured lap over it.
  ctx.lineCap = 'round';
  ctx.lineJoin = 'round';
  ctx.strokeStyle = '#d5d9de';
  ctx.lineWidth = Math.max(6, size / 60);
  ctx.beginPath();
  var started = false;
  for (var k = 0; k < shape.x.length; ++k) {
    if (shape.x[k] === null || shape.y[k] === null) { started = false; continue; }
    if (started) ctx.lineTo(px(shape.x[k]), py(shape.y[k])); else ctx.moveTo(px(shape.x[k]), py(shape.y[k]));
    started = true;
  }
  ctx.stroke();
  if (lapTrace && lapTrace.x) {
    ctx.lineWidth = Math.max(3, size / 140);
    var range = view.range;
    var step = t.stepM;
    for (k = 1; k < lapTrace.x.length; ++k) {
      if (lapTrace.x[k - 1] === null || lapTrace.x[k] === null) continue;
      var inRange = !range || (k * step >= range[0] && (k - 1) * step <= range[1]);
      ctx.globalAlpha = inRange ? 1 : 0.25;
      ctx.strokeStyle = colours[k] || '#888';
      ctx.beginPath();
      ctx.moveTo(px(lapTrace.x[k - 1]), py(lapTrace.y[k - 1]));
      ctx.lineTo(px(lapTrace.x[k]), py(lapTrace.y[k]));
      ctx.stroke();
    }
    ctx.globalAlpha = 1;
  }
  // Sector starts and the line.
  ctx.fillStyle = '#1d232b';
  ctx.font = Math.round(Math.max(size / 40, 11 * (window.devicePixelRatio || 1))) + 'px sans-serif';
  [0].concat(sectorDistances()).forEach(function (d, i) {
    var k = Math.round(d / t.stepM);
    if (!shape.x || k >= shape.x.length || shape.x[k] === null) return;
    ctx.beginPath();
    ctx.arc(px(shape.x[k]), py(shape.y[k]), size / 140, 0, 2 * Math.PI);
    ctx.fill();
    ctx.fillText(i === 0 ? 'S/F' : 'S' + (i + 1), px(shape.x[k]) + size / 90, py(shape.y[k]) - size / 90);
  });
  // The corners' numbers beside their apexes.
  ctx.fillStyle = '#7b2fbe';
  (file().corners || []).forEach(function (c) {
    var k = Math.round(c.apexM / t.stepM);
    if (!shape.x || k >= shape.x.length || shape.x[k] === null) return;
    ctx.fillText(String(c.number), px(shape.x[k]) + size / 60, py(shape.y[k]) + size / 60);
  });
  // Every ticked lap's position at the cursor.
  if (view.cursor !== null) {
    view.shown.forEach(function (entry) {
      if (entry.file !== view.file) return;
      var lt = entryTrace(entry);
      var c = view.cursor;
      if (!lt || !lt.x || c >= lt.x.length || lt.x[c] === null) return;
      ctx.beginPath();
      ctx.arc(px(lt.x[c]), py(lt.y[c]), size / 70, 0, 2 * Math.PI);
      ctx.fillStyle = colourOf(entry);
      ctx.fill();
      ctx.lineWidth = 2;
      ctx.strokeStyle = '#fff';
      ctx.stroke();
    });
  }
  document.getElementById('map-legend').textContent = legend;
}

// The outline lap and the transform of the last drawn map, to find the grid point under the mouse.
var mapPoints = null;

// Moving over the map moves the cursor to the nearest point of the outline lap.
function onMapMove(e) {
  if (!mapPoints || !mapPoints.shape) return;
  var mx = e.offsetX * mapPoints.ratio, my = e.offsetY * mapPoints.ratio;
  var shape = mapPoints.shape, best = null, bestD = Infinity;
  for (var k = 0; k < shape.x.length; ++k) {
    if (shape.x[k] === null || shape.y[k] === null) continue;
    var dx = mapPoints.px(shape.x[k]) - mx, dy = mapPoints.py(shape.y[k]) - my;
    if (dx * dx + dy * dy < bestD) { bestD = dx * dx + dy * dy; best = k; }
  }
  if (best === null || best === view.cursor) return;
  var u = view.plots[0];
  var left = u ? u.valToPos(best * traces().stepM, 'x') : -1;
  if (u && left >= 0 && left <= u.over.clientWidth) {
    u.setCursor({ left: left, top: u.over.clientHeight / 2 }); // the charts' hook moves the rest
  } else {
    view.cursor = best;
    renderReadout();
    drawMap();
  }
}
