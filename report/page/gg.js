// The g-g diagram of the laps drawn.

// Lateral against longitudinal acceleration of the ticked laps, the cursor's point of each
// highlighted, and per lap the share of its time above 80 % of its highest combined acceleration.
function drawGG() {
  var canvas = document.getElementById('gg');
  var box = document.getElementById('gg-box');
  var legend = document.getElementById('gg-legend');
  var n = gridLength();
  box.hidden = !(traces() && n && channelInfo('channel:lataccel') && channelInfo('channel:longaccel'));
  legend.textContent = '';
  if (box.hidden) return;
  var g = 9.80665, size = Math.round(300 * (window.devicePixelRatio || 1));
  if (canvas.width !== size) { canvas.width = size; canvas.height = size; }
  var ctx = canvas.getContext('2d');
  ctx.fillStyle = '#fff';
  ctx.fillRect(0, 0, size, size);
  var laps = view.shown.map(function (entry) {
    return { entry: entry, lat: valuesOf(entry, 'channel:lataccel', n), lon: valuesOf(entry, 'channel:longaccel', n) };
  });
  var most = 1;
  laps.forEach(function (l) {
    for (var k = 0; k < n; ++k) if (known(l.lat[k]) && known(l.lon[k])) most = Math.max(most, Math.abs(l.lat[k]) / g, Math.abs(l.lon[k]) / g);
  });
  var half = size / 2, scale = (half - 10) / Math.ceil(most);
  ctx.strokeStyle = '#d5d9de';
  ctx.lineWidth = 1;
  for (var ring = 1; ring <= Math.ceil(most); ++ring) { ctx.beginPath(); ctx.arc(half, half, ring * scale, 0, 2 * Math.PI); ctx.stroke(); }
  ctx.beginPath(); ctx.moveTo(0, half); ctx.lineTo(size, half); ctx.moveTo(half, 0); ctx.lineTo(half, size); ctx.stroke();
  laps.forEach(function (l) {
    ctx.fillStyle = colourOf(l.entry);
    ctx.globalAlpha = 0.35;
    for (var k = 0; k < n; ++k) {
      if (known(l.lat[k]) && known(l.lon[k])) ctx.fillRect(half + l.lat[k] / g * scale - 1, half - l.lon[k] / g * scale - 1, 2, 2);
    }
    ctx.globalAlpha = 1;
    var c = view.cursor;
    if (c !== null && known(l.lat[c]) && known(l.lon[c])) {
      ctx.beginPath();
      ctx.arc(half + l.lat[c] / g * scale, half - l.lon[c] / g * scale, size / 45, 0, 2 * Math.PI);
      ctx.fill();
      ctx.strokeStyle = '#fff';
      ctx.lineWidth = 2;
      ctx.stroke();
    }
    var share = gripShare(l.entry);
    if (share) {
      legend.appendChild(el('div', { 'data-lap': String(l.entry.lap), 'data-file': String(l.entry.file) },
        lapName(l.entry) + ': ' + Math.round(share.share * 100) + ' % of the lap above 80 % of its highest ' +
        (share.peak / g).toFixed(2) + ' g'));
    }
  });
}

// The share of a lap's time spent above 80 % of its highest combined acceleration, on its own grid.
function gripShare(entry) {
  var trace = entryTrace(entry);
  if (!trace) return null;
  var m = trace.time.length;
  var lat = values(trace, 'channel:lataccel', m, entry.file), lon = values(trace, 'channel:longaccel', m, entry.file);
  var combined = lat.map(function (v, k) { return known(v) && known(lon[k]) ? Math.hypot(v, lon[k]) : null; });
  var peak = combined.reduce(function (p, v) { return known(v) ? Math.max(p, v) : p; }, 0);
  var total = 0, above = 0;
  for (var k = 1; k < m; ++k) {
    var a = trace.time[k - 1], b = trace.time[k];
    if (!known(a) || !known(b) || !known(combined[k])) continue;
    total += b - a;
    if (combined[k] >= 0.8 * peak) above += b - a;
  }
  return total > 0 && peak > 0 ? { share: above / total, peak: peak } : null;
}
