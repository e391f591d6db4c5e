// The report's data and what the page shows of it: the file, the laps drawn, the reference;
// finding a file's laps and traces, and the laps a file opens on.

// The summary and each file's traces come as JSON elements; window.reportData joins them.
function readData() {
  var summary = document.getElementById('report-summary');
  var joined = summary ? JSON.parse(summary.textContent) : { files: [] };
  document.querySelectorAll('script.report-traces').forEach(function (element) {
    var f = joined.files[+element.dataset.file];
    if (f) f.traces = JSON.parse(element.textContent);
  });
  return joined;
}

var data = window.reportData = readData();
var files = data.files || [];

var noTimeMs = 3599000; // the plugin's 59:59.000: a lap without a valid time

// What is shown: the file, the laps on the charts ({file, lap}, in ticking order, of any file,
// the reference among them), the reference ({file, lap}), the picked extra channels, the cursor's
// grid index and the zoomed distance range.
var view = { file: 0, shown: [], reference: null, picked: [], cursor: null, range: null, plots: [] };
window.reportView = view;

function same(a, b) { return !!a && !!b && a.file === b.file && a.lap === b.lap; }

function shownAt(entry) {
  for (var i = 0; i < view.shown.length; ++i) if (same(view.shown[i], entry)) return i;
  return -1;
}

function isReference(entry) { return same(view.reference, entry); }

// The test contract: what the charts draw now.
function publishState() {
  window.reportState = {
    file: view.file,
    shown: view.shown.map(function (e) { return [e.file, e.lap]; }),
    reference: view.reference ? [view.reference.file, view.reference.lap] : null,
    xRange: currentRange()
  };
}

// The distance range the charts show now, metres.
function currentRange() {
  if (view.range) return [view.range[0], view.range[1]];
  var t = traces();
  return [0, t && gridLength() ? (gridLength() - 1) * t.stepM : 0];
}

function validMs(lap) {
  if (!lap || lap.validTime === false || lap.lapTimeMs === null || lap.lapTimeMs === undefined) return null;
  return lap.lapTimeMs >= noTimeMs ? null : lap.lapTimeMs;
}

function file() { return files[view.file]; }
function traces(f) { return (f || file()).traces || null; }

function baseName(path) { return String(path || '').split(/[\\/]/).pop(); }
function fileName(index) { return baseName((files[index] || {}).path); }

function lapOf(entry) {
  return ((files[entry.file] || {}).laps || []).filter(function (lap) { return lap.lapNumber === entry.lap; })[0] || null;
}

function entryTrace(entry) { return traceOf(files[entry.file], entry.lap); }

function lapName(entry) {
  return 'Lap ' + entry.lap + (entry.file !== view.file ? ' (' + fileName(entry.file) + ')' : '');
}

function traceOf(f, lapNumber) {
  var t = traces(f);
  if (!t) return null;
  for (var i = 0; i < t.laps.length; ++i) {
    if (t.laps[i].lapNumber === lapNumber) return t.laps[i];
  }
  return null;
}

function channelInfo(key, fileIndex) {
  var t = traces(fileIndex === undefined ? undefined : files[fileIndex]);
  var list = t ? t.channels : [];
  for (var i = 0; i < list.length; ++i) {
    if (list[i].key === key) return list[i];
  }
  return null;
}

function referenceLap() { return view.reference ? lapOf(view.reference) : null; }

// The laps of a file that can be charted, with their time when valid.
function chartable(index) {
  var f = files[index];
  return (f.laps || []).filter(function (lap) { return traceOf(f, lap.lapNumber); });
}

function fastestLapNumber(f) {
  var best = null;
  (f.laps || []).forEach(function (lap) {
    var ms = validMs(lap);
    if (ms !== null && traceOf(f, lap.lapNumber) && (best === null || ms < validMs(best))) best = lap;
  });
  return best ? best.lapNumber : null;
}

// The analysis's reference when it can be drawn (it has a valid time), else the file's fastest lap.
function defaultReference(index) {
  var ref = files[index].reference;
  if (ref) {
    for (var i = 0; i < files.length; ++i) {
      var lap = (files[i].laps || []).filter(function (l) { return l.lapNumber === ref.lapNumber; })[0];
      if (files[i].path === ref.path && validMs(lap) !== null && traceOf(files[i], ref.lapNumber)) {
        return { file: i, lap: ref.lapNumber };
      }
    }
  }
  var fastest = fastestLapNumber(files[index]);
  return fastest === null ? null : { file: index, lap: fastest };
}

// Two different laps whenever two exist: the reference and the best other lap with a valid
// time, else the longest other lap.
function defaultShown(index, reference) {
  var shown = reference ? [reference] : [];
  var others = chartable(index).filter(function (lap) { return !same(reference, { file: index, lap: lap.lapNumber }); });
  var timed = others.filter(function (lap) { return validMs(lap) !== null; })
    .sort(function (a, b) { return validMs(a) - validMs(b); });
  var length = function (lap) { return traceOf(files[index], lap.lapNumber).time.filter(function (t) { return t !== null; }).length; };
  var longest = others.slice().sort(function (a, b) { return length(b) - length(a); });
  var pick = (timed.length ? timed : longest).slice(0, reference ? 1 : 2);
  pick.forEach(function (lap) { shown.push({ file: index, lap: lap.lapNumber }); });
  return shown;
}

function trackOf(index) { return [files[index].trackName || '', files[index].trackConfig || ''].join('\n'); }
function validCount(f) { return (f.laps || []).filter(function (lap) { return validMs(lap) !== null; }).length; }
