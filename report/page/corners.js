// The corners: their marks on the speed chart and their table, a row of which zooms the charts.

// Where each ticked lap brakes (a triangle above its speed) and picks up the throttle (a ring
// below it) for every corner.
function drawCornerMarks(u) {
  var t = traces();
  if (!t) return;
  var ctx = u.ctx;
  var r = 4 * (window.devicePixelRatio || 1);
  ctx.save();
  view.shown.forEach(function (entry) {
    var lap = lapOf(entry);
    if (!lap || !lap.cornerFigures) return;
    var speed = valuesOf(entry, 'speed', gridLength());
    ctx.fillStyle = ctx.strokeStyle = colourOf(entry);
    ctx.lineWidth = 1.5;
    lap.cornerFigures.forEach(function (f) {
      [f.brakePointM, f.throttleOnM].forEach(function (d, which) {
        var v = known(d) ? speed[Math.round(d / t.stepM)] : null;
        if (!known(v)) return;
        var x = u.valToPos(d, 'x', true), y = u.valToPos(v, 'y', true);
        if (x < u.bbox.left || x > u.bbox.left + u.bbox.width) return;
        ctx.beginPath();
        if (which === 0) {
          ctx.moveTo(x - r, y - 2.5 * r); ctx.lineTo(x + r, y - 2.5 * r); ctx.lineTo(x, y - r); ctx.closePath(); ctx.fill();
        } else {
          ctx.arc(x, y + 1.8 * r, 0.8 * r, 0, 2 * Math.PI); ctx.stroke();
        }
      });
    });
  });
  ctx.restore();
}

// One row per corner of the track, a cell per ticked lap; a click zooms the charts to the corner.
function renderCorners() {
  var table = document.getElementById('corners');
  table.textContent = '';
  var f = file();
  var corners = (f && f.corners) || [];
  document.getElementById('corner-box').hidden = !corners.length;
  if (!corners.length) return;
  // As --corners says it; the file's name is text, never markup.
  var from = f.cornersFrom;
  document.getElementById('corner-origin').textContent = from && from.library
    ? ' (numbered as in the library since ' + String(from.storedAt).slice(0, 10) + ': lap ' + from.lapNumber + ' of '
      + baseName(from.path) + ')'
    : '';
  var laps = view.shown.map(function (e) { return { entry: e, lap: lapOf(e) }; })
    .filter(function (x) { return x.lap && x.lap.cornerFigures && x.lap.cornerFigures.length === corners.length; });
  var head = el('tr');
  head.appendChild(el('th', {}, 'Turn'));
  head.appendChild(el('th', {}, 'From–to m'));
  laps.forEach(function (x) {
    var th = el('th', {}, lapName(x.entry) + (isReference(x.entry) ? ', reference' : ''));
    th.style.color = colourOf(x.entry);
    head.appendChild(th);
  });
  table.appendChild(head);
  corners.forEach(function (c, i) {
    var tr = el('tr', { 'data-corner': String(c.number) });
    tr.appendChild(el('td', {}, String(c.number)));
    tr.appendChild(el('td', {}, Math.round(c.startM) + '–' + Math.round(c.endM)));
    laps.forEach(function (x) {
      var fig = x.lap.cornerFigures[i];
      var parts = [];
      if (known(fig.brakePointM)) parts.push('brake ' + Math.round(fig.brakePointM) + ' m');
      if (known(fig.minKmh)) parts.push('min ' + fig.minKmh.toFixed(1));
      if (known(fig.deltaMs)) parts.push(signedText(fig.deltaMs / 1000, 3) + ' s');
      tr.appendChild(el('td', {}, parts.join(' · ')));
    });
    tr.addEventListener('click', function () { zoomTo(c); });
    table.appendChild(tr);
  });
}

// The charts from a little before the braking zone to just past the corner's end.
function zoomTo(corner) {
  if (!view.plots.length) return;
  var from = corner.startM > corner.endM ? 0 : Math.max(0, corner.startM - 150);
  var full = (gridLength() - 1) * traces().stepM;
  view.plots[0].setScale('x', { min: from, max: Math.min(full, corner.endM + 50) });
}
