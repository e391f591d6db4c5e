// A lap's channels on the shown file's distance grid, and the delta to the reference.

// A channel of a shown lap on the shown file's grid, n points, null where there is no value. A
// lap of another file is carried over from its own file's grid.
function valuesOf(entry, key, n) {
  var trace = entryTrace(entry);
  if (!trace) return new Array(n).fill(null);
  if (entry.file === view.file) return values(trace, key, n, entry.file);
  var from = traces(files[entry.file]).stepM, to = traces().stepM;
  var own = values(trace, key, trace.time.length, entry.file);
  var out = new Array(n).fill(null);
  for (var k = 0; k < n; ++k) {
    var at = k * to / from, i = Math.floor(at), w = at - i;
    var a = own[i], b = own[i + 1];
    if (a === null || a === undefined) continue;
    if (w < 1e-9 || key === 'gear') { out[k] = w < 0.5 || b === null || b === undefined ? a : b; continue; }
    if (b !== null && b !== undefined) out[k] = a + (b - a) * w;
  }
  return out;
}

// A channel of one lap on its file's grid, n points, null where there is no value.
function values(lapTrace, key, n, fileIndex) {
  var out = new Array(n).fill(null);
  var length = lapTrace.time.length;
  if (key === 'delta') {
    var delta = deltaOf(lapTrace, fileIndex);
    for (var d = 0; d < length && d < n; ++d) out[d] = delta[d];
    return out;
  }
  var v = lapTrace.values[key];
  if (v === null || v === undefined) return out;
  if (typeof v === 'number') {
    for (var c = 0; c < length && c < n; ++c) out[c] = v;
    return out;
  }
  var info = channelInfo(key, fileIndex);
  var stride = info && info.stride ? info.stride : 1;
  for (var k = 0; k < length && k < n; ++k) {
    var at = k / stride;
    var i = Math.floor(at);
    var a = v[i], b = v[Math.min(i + 1, v.length - 1)];
    if (a === null || a === undefined) continue;
    out[k] = (at === i || b === null || b === undefined) ? a : a + (b - a) * (at - i);
  }
  return out;
}

// The reference lap's clock: its elapsed times on its own file's grid, or null.
function referenceClock() {
  var ref = view.reference;
  if (!ref) return null;
  var refFile = files[ref.file];
  var refTrace = traceOf(refFile, ref.lap);
  return refTrace ? { time: refTrace.time, stepM: traces(refFile).stepM } : null;
}

// The reference lap's elapsed time at a distance, interpolated on its own file's grid.
function referenceTimeAt(clock, distance) {
  if (!clock) return null;
  var t = clock.time;
  // The grids of two files end on the line each: the last point stands for it in both.
  var at = Math.min(distance / clock.stepM, t.length - 1 + 0.5);
  if (at > t.length - 1) at = t.length - 1;
  var i = Math.floor(at);
  if (i < 0 || i >= t.length || t[i] === null) return null;
  if (at === i || i + 1 >= t.length || t[i + 1] === null) return at === i ? t[i] : null;
  return t[i] + (t[i + 1] - t[i]) * (at - i);
}

// Seconds behind the reference at each grid point: time(lap, d) - time(reference, d).
// A lap that starts past the line (out of the pits, off the grid) has no time from the line.
// The reference is looked up once, not at every point: the read-out asks for this on every cursor move.
function deltaOf(lapTrace, fileIndex) {
  var step = traces(files[fileIndex === undefined ? view.file : fileIndex]).stepM;
  var clock = lapTrace.fromLine ? referenceClock() : null;
  return lapTrace.time.map(function (t, k) {
    if (!lapTrace.fromLine) return null;
    var r = referenceTimeAt(clock, k * step);
    return t === null || r === null ? null : Math.round((t - r) * 1e4) / 1e4;
  });
}

function gridLength() {
  var n = 0;
  var step = traces() ? traces().stepM : 1;
  view.shown.forEach(function (e) {
    var t = entryTrace(e);
    if (t) n = Math.max(n, Math.floor((t.time.length - 1) * traces(files[e.file]).stepM / step + 1e-6) + 1);
  });
  return n;
}
