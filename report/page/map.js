// The track map: its outline, the lap it colours, the laps drawn and their points at the cursor.

var minMapExtentM = 20, minMapSide = 260, mapChrome = 60;

// The box around these laps' positions, grown from b (null: none yet).
function mapBounds(laps, b) {
  laps.forEach(function (lap) {
    if (!lap || !lap.x) return;
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

// The ramps take colourSteps steps from one end to the other: neighbouring points then mostly share a
// colour and a lap's line goes in a few hundred strokes, not one per point (ten times the drawing).
var colourSteps = 32;
function colourStep(f) { return Math.round(f * colourSteps) / colourSteps; }

function rampColour(f) {
  // Blue (slow) through yellow to red (fast).
  var stops = [[49, 54, 149], [69, 117, 180], [254, 224, 144], [244, 109, 67], [165, 0, 38]];
  f = colourStep(Math.max(0, Math.min(1, f))) * (stops.length - 1);
  var i = Math.min(Math.floor(f), stops.length - 2), w = f - i;
  var c = stops[i].map(function (v, j) { return Math.round(v + (stops[i + 1][j] - v) * w); });
  return 'rgb(' + c.join(',') + ')';
}

function gainColour(f) {
  // Green where time is gained, grey where even, red where it is lost.
  f = colourStep(Math.max(-1, Math.min(1, f)));
  var grey = [170, 170, 170], end = f < 0 ? [26, 152, 80] : [215, 48, 39];
  var w = Math.abs(f);
  return 'rgb(' + grey.map(function (v, j) { return Math.round(v + (end[j] - v) * w); }).join(',') + ')';
}

// The colour of each stretch of the focus lap as the selector asks, and the legend that says so.
function focusColours(focus, lapTrace, mode) {
  if (mode === 'delta') {
    // The delta itself: how far ahead (green) or behind (red) of the reference the lap is there.
    var ahead = deltaOf(lapTrace);
    var most = ahead.reduce(function (m, v) { return v === null ? m : Math.max(m, Math.abs(v)); }, 0) || 1e-3;
    return { colours: ahead.map(function (v) { return v === null ? '#ccc' : gainColour(v / most); }),
      legend: 'Lap ' + focus + ' against the reference: green ahead, red behind, up to ' + most.toFixed(3) + ' s.' };
  }
  if (mode === 'gain') {
    // The slope of the delta over a short stretch: where this lap gains or loses against the reference.
    var delta = deltaOf(lapTrace);
    var w = Math.max(1, Math.round(25 / traces().stepM));
    var slopes = delta.map(function (v, k) {
      var a = delta[Math.max(0, k - w)], b = delta[Math.min(delta.length - 1, k + w)];
      return a === null || b === null ? null : b - a;
    });
    var sorted = slopes.filter(function (v) { return v !== null; }).map(Math.abs).sort(function (a, b) { return a - b; });
    var top = sorted.length ? sorted[Math.floor(0.95 * (sorted.length - 1))] || 1e-3 : 1;
    return { colours: slopes.map(function (v) { return v === null ? '#ccc' : gainColour(v / top); }),
      legend: 'Lap ' + focus + ' against the reference: green gains time, red loses it.' };
  }
  var speed = values(lapTrace, 'speed', lapTrace.time.length);
  var known = speed.filter(function (v) { return v !== null; });
  var lo = Math.min.apply(null, known), hi = Math.max.apply(null, known);
  return { colours: speed.map(function (v) { return v === null ? '#ccc' : rampColour((v - lo) / Math.max(hi - lo, 1)); }),
    legend: 'Lap ' + focus + ' speed: blue ' + Math.round(lo) + ' km/h to red ' + Math.round(hi) + ' km/h.' };
}

// A lap's line, colourAt(k) for the stretch that ends at point k; with its grid's step in metres,
// faint outside the charts' zoom. Stretches of one colour and shade go as one line.
function strokeLap(ctx, lap, step, at, colourAt) {
  var range = view.range, style = null, alpha = null, end = -1;
  for (var k = 1; k < lap.x.length; ++k) {
    if (lap.x[k - 1] === null || lap.x[k] === null) continue;
    var shade = !range || !step || (k * step >= range[0] && (k - 1) * step <= range[1]) ? 1 : 0.25;
    var colour = colourAt(k);
    if (colour !== style || shade !== alpha) {
      if (style !== null) ctx.stroke();
      ctx.beginPath();
      ctx.strokeStyle = style = colour;
      ctx.globalAlpha = alpha = shade;
      end = -1;
    }
    if (end !== k - 1) ctx.moveTo(at.px(lap.x[k - 1]), at.py(lap.y[k - 1]));
    ctx.lineTo(at.px(lap.x[k]), at.py(lap.y[k]));
    end = k;
  }
  if (style !== null) ctx.stroke();
  ctx.globalAlpha = 1;
}

// The line and the sector starts, and the corners' numbers beside their apexes, on the outline.
function drawMarks(ctx, shape, size, at) {
  var t = traces();
  ctx.fillStyle = '#1d232b';
  ctx.font = Math.round(Math.max(size / 40, 11 * (window.devicePixelRatio || 1))) + 'px sans-serif';
  [0].concat(sectorDistances()).forEach(function (d, i) {
    var k = Math.round(d / t.stepM);
    if (!shape.x || k >= shape.x.length || shape.x[k] === null) return;
    ctx.beginPath();
    ctx.arc(at.px(shape.x[k]), at.py(shape.y[k]), size / 140, 0, 2 * Math.PI);
    ctx.fill();
    ctx.fillText(i === 0 ? 'S/F' : 'S' + (i + 1), at.px(shape.x[k]) + size / 90, at.py(shape.y[k]) - size / 90);
  });
  ctx.fillStyle = '#7b2fbe';
  (file().corners || []).forEach(function (c) {
    var k = Math.round(c.apexM / t.stepM);
    if (!shape.x || k >= shape.x.length || shape.x[k] === null) return;
    ctx.fillText(String(c.number), at.px(shape.x[k]) + size / 60, at.py(shape.y[k]) + size / 60);
  });
}

// The laps drawn, of any file, the reference first so that the others show over it.
function mapLaps() {
  return view.shown.filter(isReference).concat(view.shown.filter(function (e) { return !isReference(e); }))
    .filter(function (e) { var lt = entryTrace(e); return lt && lt.x; });
}

// Every lap's position at the cursor's distance, on its own file's grid. Laps at one place show as
// rings around each other, the reference outermost, all of them in a white edge.
function drawCursorPoints(ctx, laps, size, at) {
  var ring = Math.max(3, size / 120);
  var points = laps.map(function (entry, i) {
    var lt = entryTrace(entry);
    var c = Math.round(view.cursor * traces().stepM / traces(files[entry.file]).stepM);
    if (c >= lt.x.length || lt.x[c] === null) return null;
    return { x: at.px(lt.x[c]), y: at.py(lt.y[c]), r: size / 70 + ring * (laps.length - 1 - i), colour: colourOf(entry) };
  }).filter(Boolean);
  ctx.fillStyle = '#fff';
  points.forEach(function (p) { ctx.beginPath(); ctx.arc(p.x, p.y, p.r + 2, 0, 2 * Math.PI); ctx.fill(); });
  points.forEach(function (p) {
    ctx.beginPath();
    ctx.arc(p.x, p.y, p.r, 0, 2 * Math.PI);
    ctx.fillStyle = p.colour;
    ctx.fill();
  });
}

function drawMap() {
  var canvas = document.getElementById('map');
  var box = document.getElementById('map-box');
  var t = traces();
  // The file's own laps make the map; the laps of other files drawn on it widen it when they stray.
  var bounds = t ? mapBounds(t.laps, null) : null;
  // A car that never moved draws a dot, not a map.
  if (bounds && Math.max(bounds.maxX - bounds.minX, bounds.maxY - bounds.minY) < minMapExtentM) bounds = null;
  box.hidden = !bounds;
  if (!bounds) return;
  var laps = mapLaps();
  bounds = mapBounds(laps.filter(function (e) { return e.file !== view.file; }).map(entryTrace), bounds);
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
  var at = {
    px: function (x) { return offX + (x - bounds.minX) * scale; },
    py: function (y) { return size - offY - (y - bounds.minY) * scale; }
  };

  var focus = focusLap();
  var lapTrace = focus === null ? null : traceOf(file(), focus);
  var shape = outlineLap();
  mapPoints = { shape: shape, px: at.px, py: at.py, ratio: size / canvas.clientWidth };
  var select = document.getElementById('map-colour');
  var refIsFocus = isReference({ file: view.file, lap: focus });
  // Without a lap from the line against another reference only speed can colour it; the selector
  // says what the map shows.
  var compares = !!view.reference && !refIsFocus && !!lapTrace && lapTrace.fromLine;
  Array.prototype.forEach.call(select.options, function (o) { o.disabled = !compares && o.value !== 'speed'; });
  if (!compares) select.value = 'speed';
  else if (view.mapMode && select.value !== view.mapMode) select.value = view.mapMode;
  var coloured = lapTrace ? focusColours(focus, lapTrace, select.value) : { colours: [], legend: '' };
  // The outline of the track, the focus lap coloured over it, then every lap drawn as a thin line
  // in its charts' colour.
  ctx.lineCap = 'round';
  ctx.lineJoin = 'round';
  ctx.lineWidth = Math.max(6, size / 60);
  strokeLap(ctx, shape, null, at, function () { return '#d5d9de'; });
  if (lapTrace && lapTrace.x) {
    ctx.lineWidth = Math.max(4, size / 90);
    strokeLap(ctx, lapTrace, t.stepM, at, function (k) { return coloured.colours[k] || '#888'; });
  }
  ctx.lineWidth = Math.max(1.5, size / 300);
  laps.forEach(function (entry) {
    var colour = colourOf(entry);
    strokeLap(ctx, entryTrace(entry), traces(files[entry.file]).stepM, at, function () { return colour; });
  });
  drawMarks(ctx, shape, size, at);
  if (view.cursor !== null) drawCursorPoints(ctx, laps, size, at);
  document.getElementById('map-legend').textContent =
    [coloured.legend, laps.length ? 'Thin lines: the laps on the charts, in their colours.' : ''].filter(Boolean).join(' ');
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
