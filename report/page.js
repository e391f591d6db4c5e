// The session report's page: lap table, charts over lap distance, cursor read-out and track map,
// all drawn from window.reportData (the import summary plus each file's traces).
(function () {
  'use strict';

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
  // The reference is always blue, as in the command line's plot; the other laps take these in turn,
  // the first red as the plot's lap.
  var referenceColour = '#1f77b4';
  var palette = ['#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#17becf', '#8c564b', '#e377c2', '#7f7f7f',
    '#bcbd22', '#000000', '#f0b400', '#00a087'];
  var sessionTypes = { 0: 'offline testing', 1: 'practice', 2: 'qualify', 3: 'warmup', 5: 'race' };
  // Heights are shares of the room below the read-out, so that every chart fits on the screen.
  var charts = [
    { keys: ['speed'], title: 'Speed', weight: 1.5 },
    { keys: ['throttle', 'brake'], title: 'Throttle (solid) and brake (dashed)', weight: 1.1 },
    { keys: ['gear'], title: 'Gear', weight: 0.8, whole: true },
    { keys: ['steer'], title: 'Steering', weight: 1 },
    { keys: ['delta'], title: 'Delta to reference', weight: 1.2 }
  ];
  var minMapExtentM = 20, minMapSide = 260, mapChrome = 60;
  var readoutRowHeight = 20;
  var pickedWeight = 0.9, minChartHeight = 80, xAxisHeight = 30;

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

  function el(tag, attrs, text) {
    var node = document.createElement(tag);
    Object.keys(attrs || {}).forEach(function (name) { node.setAttribute(name, attrs[name]); });
    if (text !== undefined && text !== null) node.textContent = text;
    return node;
  }

  function validMs(lap) {
    if (!lap || lap.validTime === false || lap.lapTimeMs === null || lap.lapTimeMs === undefined) return null;
    return lap.lapTimeMs >= noTimeMs ? null : lap.lapTimeMs;
  }

  function timeText(ms) {
    if (ms === null || ms === undefined) return '';
    var minutes = Math.floor(ms / 60000);
    var seconds = ((ms - minutes * 60000) / 1000).toFixed(3);
    return minutes > 0 ? minutes + ':' + (seconds < 10 ? '0' : '') + seconds : seconds;
  }

  // As the command line writes a gap: a sign always, "+" for what rounds to zero.
  function signedText(value, decimals) {
    if (value === null || value === undefined || !isFinite(value)) return '';
    var text = Math.abs(value).toFixed(decimals);
    return (value < 0 && +text !== 0 ? '-' : '+') + text;
  }

  function numberText(value, decimals) {
    return value === null || value === undefined ? '' : (+value).toFixed(decimals);
  }

  function file() { return files[view.file]; }

  function traces(f) { return (f || file()).traces || null; }

  function fileName(index) { return ((files[index] || {}).path || '').split(/[\\/]/).pop(); }

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

  // The reference keeps its colour; the other laps follow the order of ticking, so that the first
  // laps shown are told apart best.
  function colourOf(entry) {
    if (isReference(entry)) return referenceColour;
    var others = view.shown.filter(function (e) { return !isReference(e); });
    for (var i = 0; i < others.length; ++i) if (same(others[i], entry)) return palette[i % palette.length];
    return palette[0];
  }

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

  // The reference lap's elapsed time at a distance, interpolated on its own file's grid.
  function referenceTimeAt(distance) {
    var ref = view.reference;
    if (!ref) return null;
    var refFile = files[ref.file];
    var refTrace = traceOf(refFile, ref.lap);
    if (!refTrace) return null;
    var t = refTrace.time;
    // The grids of two files end on the line each: the last point stands for it in both.
    var at = Math.min(distance / traces(refFile).stepM, t.length - 1 + 0.5);
    if (at > t.length - 1) at = t.length - 1;
    var i = Math.floor(at);
    if (i < 0 || i >= t.length || t[i] === null) return null;
    if (at === i || i + 1 >= t.length || t[i + 1] === null) return at === i ? t[i] : null;
    return t[i] + (t[i + 1] - t[i]) * (at - i);
  }

  // Seconds behind the reference at each grid point: time(lap, d) - time(reference, d).
  // A lap that starts past the line (out of the pits, off the grid) has no time from the line.
  function deltaOf(lapTrace, fileIndex) {
    var step = traces(files[fileIndex === undefined ? view.file : fileIndex]).stepM;
    return lapTrace.time.map(function (t, k) {
      if (!lapTrace.fromLine) return null;
      var r = referenceTimeAt(k * step);
      return t === null || r === null ? null : Math.round((t - r) * 1e4) / 1e4;
    });
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

  // ---- Session header and lap table ----

  function renderSession() {
    var f = file();
    var box = document.getElementById('session');
    box.textContent = '';
    var title = [f.trackName, f.trackConfig].filter(Boolean).join(' — ') || f.path;
    box.appendChild(el('div', { 'class': 'title' }, title));
    var recorded = f.recordedAt ? f.recordedAt.replace('T', ' ').replace('Z', ' UTC') : '';
    var type = sessionTypes[f.sessionType] || '';
    [['Car', f.carName], ['Driver', f.driverName], ['Recorded', recorded],
      ['Session', [f.sessionName, type && type.toLowerCase() !== (f.sessionName || '').toLowerCase() ? '(' + type + ')' : '']
        .filter(Boolean).join(' ')],
      ['File', (f.path || '').split(/[\\/]/).pop()]].forEach(function (field) {
      if (!field[1]) return;
      var span = el('span', { 'class': 'field' });
      span.appendChild(el('b', {}, field[0]));
      span.appendChild(document.createTextNode(field[1]));
      box.appendChild(span);
    });
    var errors = (f.messages || []).filter(function (m) { return m.verbose < 0; });
    if (errors.length) {
      var list = el('div', { 'class': 'failure' });
      list.appendChild(el('div', {}, f.error ? 'This file could not be imported:' : 'The import reported:'));
      errors.forEach(function (m) { list.appendChild(el('div', { 'class': 'error' }, m.text)); });
      box.appendChild(list);
    }
    document.getElementById('columns').classList.toggle('failed', !(f.laps || []).length);
  }

  function sectorCount(f) {
    var counts = (f.laps || []).map(function (lap) { return (lap.sectorTimesMs || []).length; });
    return Math.max.apply(null, [(f.sectorStartPct || []).length > 1 ? f.sectorStartPct.length : 0].concat(counts));
  }

  // The gap of a lap to the reference at the line: the analysis's own against its reference, else
  // the difference of valid times, else (an out lap) the delta the traces reach at the line.
  function gapText(entry, lap) {
    if (!view.reference || !lap) return '';
    var f = files[entry.file], ref = f.reference;
    var refFile = files[view.reference.file];
    if (ref && refFile.path === ref.path && view.reference.lap === ref.lapNumber && lap.deltaToReferenceMs !== null &&
        lap.deltaToReferenceMs !== undefined) return signedText(lap.deltaToReferenceMs / 1000, 3);
    var ms = validMs(lap), refMs = validMs(referenceLap());
    if (ms !== null && refMs !== null) return signedText((ms - refMs) / 1000, 3);
    var trace = entryTrace(entry);
    if (!trace || !trace.fromLine) return '';
    var delta = deltaOf(trace, entry.file), last = delta[delta.length - 1];
    return last === null || last === undefined ? '' : signedText(last, 3);
  }

  function lapRow(entry, lap, sectors, best, fastest) {
    var n = entry.lap;
    var f = files[entry.file];
    var hasTrace = !!traceOf(f, n);
    var tr = el('tr', { 'data-lap': String(n), 'data-file': String(entry.file) });
    var ticked = shownAt(entry) >= 0;
    var isRef = isReference(entry);
    tr.classList.toggle('ticked', ticked);
    tr.classList.toggle('reference', isRef);
    if (entry.file !== view.file) tr.classList.add('other-file');
    var show = el('input', { type: 'checkbox', 'class': 'show', title: 'show this lap on the charts' });
    show.checked = ticked;
    // The reference is always drawn: choose another to take it off.
    show.disabled = !hasTrace || isRef;
    show.addEventListener('change', function () { toggleLap(entry, show.checked); });
    var ref = el('input', { type: 'radio', name: 'reference', 'class': 'ref', title: 'use as the reference' });
    ref.checked = isRef;
    // Only a lap with a valid time can be what the others are measured against.
    ref.disabled = !hasTrace || validMs(lap) === null;
    ref.addEventListener('change', function () { setReference(entry); });
    // A click anywhere on the row ticks or unticks the lap, as the box does.
    if (hasTrace && !isRef) {
      tr.classList.add('chartable');
      tr.addEventListener('click', function (e) { if (e.target.tagName !== 'INPUT') toggleLap(entry, !ticked); });
    }
    var choice = el('td', { 'class': 'choice' });
    choice.appendChild(show);
    choice.appendChild(ref);
    tr.appendChild(choice);
    var number = el('td', { 'class': 'num' });
    var swatch = el('span', { 'class': 'swatch' });
    swatch.style.background = ticked ? colourOf(entry) : 'transparent';
    number.appendChild(swatch);
    number.appendChild(document.createTextNode(entry.file === view.file ? String(n) : n + ' · ' + fileName(entry.file)));
    tr.appendChild(number);
    tr.appendChild(el('td', { 'class': 'kind' }, lap.kind && lap.kind !== '-' ? lap.kind : ''));
    var ms = validMs(lap);
    tr.appendChild(el('td', fastest ? { 'class': 'fastest' } : {}, timeText(ms)));
    for (var s = 0; s < sectors; ++s) {
      var v = (lap.sectorTimesMs || [])[s];
      var isBest = best && ms !== null && v !== null && v !== undefined && v === best[s];
      tr.appendChild(el('td', isBest ? { 'class': 'best' } : {}, v === null || v === undefined ? '' : (v / 1000).toFixed(3)));
    }
    tr.appendChild(el('td', { 'class': 'gap' }, gapText(entry, lap)));
    tr.appendChild(el('td', {}, numberText(lap.topSpeedKmh, 1)));
    tr.appendChild(el('td', {}, numberText(lap.fuelUsedL, 2)));
    return tr;
  }

  function renderLapTable() {
    var f = file();
    var table = document.getElementById('laps');
    table.textContent = '';
    var sectors = sectorCount(f);
    var head = el('tr');
    ['Show Ref', 'Lap', 'Kind', 'Time'].forEach(function (name, i) {
      head.appendChild(el('th', i === 2 ? { 'class': 'kind' } : {}, name));
    });
    for (var s = 0; s < sectors; ++s) head.appendChild(el('th', {}, 'S' + (s + 1)));
    [['Gap', 'gap to the reference, s'], ['Top km/h', 'top speed'], ['Fuel L', 'fuel used']].forEach(function (h) {
      head.appendChild(el('th', { title: h[1] }, h[0]));
    });
    var thead = el('thead');
    thead.appendChild(head);
    table.appendChild(thead);

    var best = [];
    for (s = 0; s < sectors; ++s) {
      best.push(null);
      (f.laps || []).forEach(function (lap) {
        var v = (lap.sectorTimesMs || [])[s];
        if (validMs(lap) !== null && v !== null && v !== undefined && (best[s] === null || v < best[s])) best[s] = v;
      });
    }
    var fastest = fastestLapNumber(f);
    var body = el('tbody');
    (f.laps || []).forEach(function (lap) {
      body.appendChild(lapRow({ file: view.file, lap: lap.lapNumber }, lap, sectors, best, lap.lapNumber === fastest));
    });
    table.appendChild(body);
    // Laps of other files on the charts (a teammate's, the reference) stay listed, to untick or choose.
    var others = view.shown.filter(function (e) { return e.file !== view.file; });
    if (others.length) {
      var extra = el('tbody', { 'class': 'other-files' });
      var title = el('tr');
      title.appendChild(el('th', { colspan: String(7 + sectors), 'class': 'group' }, 'From other files'));
      extra.appendChild(title);
      others.forEach(function (e) { extra.appendChild(lapRow(e, lapOf(e), 0, null, false)); });
      table.appendChild(extra);
    }
    renderNotes(referenceLap());
  }

  function renderNotes(refLap) {
    var f = file();
    var notes = document.getElementById('lap-notes');
    notes.textContent = '';
    var stats = f.lapTimeStats || {};
    var refText = '';
    if (refLap) {
      refText = 'lap ' + refLap.lapNumber + ' ' + timeText(validMs(refLap));
      if (view.reference.file !== view.file) refText += ' of ' + fileName(view.reference.file);
    }
    [['Reference', refText], ['Theoretical best', timeText(f.theoreticalBestMs)], ['Best', timeText(stats.bestMs)],
      ['Mean', timeText(stats.meanMs)], ['Median', timeText(stats.medianMs)],
      ['Std dev', stats.stdDevMs === null || stats.stdDevMs === undefined ? '' : (stats.stdDevMs / 1000).toFixed(3) + ' s']]
      .forEach(function (row) {
        if (!row[1]) return;
        notes.appendChild(el('b', {}, row[0]));
        notes.appendChild(el('span', {}, row[1]));
      });
    notes.appendChild(el('div', { 'class': 'legend' },
      'Kind: out = out lap (from the pits or the grid), joined = from where the recording started on track, ' +
      'timed = timed lap, unfinished = the recording ended in it, empty = in-lap, reset or pit road. Purple: fastest lap and best ' +
      'sector times (laps with a valid time). An empty time: no valid time. Gap: to the reference lap.'));
  }

  // ---- Charts ----

  function gridLength() {
    var n = 0;
    var step = traces() ? traces().stepM : 1;
    view.shown.forEach(function (e) {
      var t = entryTrace(e);
      if (t) n = Math.max(n, Math.floor((t.time.length - 1) * traces(files[e.file]).stepM / step + 1e-6) + 1);
    });
    return n;
  }

  function sectorDistances() {
    var f = file();
    var length = f.trackLengthM;
    if (!length || !f.sectorStartPct) return [];
    return f.sectorStartPct.filter(function (p) { return p > 0; }).map(function (p) { return p * length; });
  }

  function drawSectors(u) {
    var ctx = u.ctx;
    ctx.save();
    ctx.strokeStyle = '#9aa3ad';
    ctx.setLineDash([5, 4]);
    ctx.lineWidth = 1;
    sectorDistances().forEach(function (d) {
      var x = Math.round(u.valToPos(d, 'x', true)) + 0.5;
      if (x < u.bbox.left || x > u.bbox.left + u.bbox.width) return;
      ctx.beginPath();
      ctx.moveTo(x, u.bbox.top);
      ctx.lineTo(x, u.bbox.top + u.bbox.height);
      ctx.stroke();
    });
    ctx.restore();
  }

  // Set while charts are made or share a new range, when their scale hooks have nothing to pass on.
  var syncingScale = false;
  function onScale(u, key) {
    if (key !== 'x' || syncingScale) return;
    syncingScale = true;
    var min = u.scales.x.min, max = u.scales.x.max;
    var full = gridLength() ? (gridLength() - 1) * traces().stepM : 0;
    view.range = (min <= 0 && max >= full) ? null : [min, max];
    publishState();
    view.plots.forEach(function (other) {
      if (other !== u && (other.scales.x.min !== min || other.scales.x.max !== max)) other.setScale('x', { min: min, max: max });
    });
    syncingScale = false;
    drawMap();
  }

  function onCursor(u) {
    var idx = u.cursor.idx;
    if (idx === null || idx === undefined || idx === view.cursor) return;
    view.cursor = idx;
    renderReadout();
    drawMap();
    drawGG();
  }

  function chartWidth() {
    return Math.max(300, document.getElementById('charts').clientWidth);
  }

  function xRange(u, min, max) {
    if (min === null || max === null || !isFinite(min) || !isFinite(max)) return [0, Math.max(1, (gridLength() - 1) * traces().stepM)];
    return [min, max];
  }

  // Gears are whole numbers: whole limits and no ticks between them.
  function wholeRange(u, min, max) {
    if (min === null || max === null) return [0, 1];
    return [Math.floor(min), Math.max(Math.ceil(max), Math.floor(min) + 1)];
  }
  function wholeValues(u, splits) {
    return splits.map(function (v) { return Math.round(v) === v ? String(v) : ''; });
  }

  function renderCharts() {
    view.plots.forEach(function (u) { u.destroy(); });
    view.plots = [];
    var box = document.getElementById('charts');
    box.textContent = '';
    var t = traces();
    var n = gridLength();
    if (!t || !n) {
      box.appendChild(el('p', {}, t ? 'Tick a lap to chart it.' : 'No traces in this file.'));
      return;
    }
    var xs = [];
    for (var k = 0; k < n; ++k) xs.push(Math.round(k * t.stepM * 100) / 100);
    var defs = charts.filter(function (c) {
      return c.keys[0] === 'delta' ? !!view.reference : c.keys.some(function (key) { return channelInfo(key); });
    }).concat(view.picked.map(function (key) {
      var info = channelInfo(key);
      return { keys: [key], title: info.label + (info.unit ? ' [' + info.unit + ']' : ''), weight: pickedWeight, picked: true };
    }));
    // The read-out above gets a row per ticked lap once the cursor moves: keep its room now.
    document.getElementById('readout').style.minHeight = (view.shown.length + 1) * readoutRowHeight + 'px';
    var room = window.innerHeight - box.getBoundingClientRect().top - xAxisHeight - 8;
    var weights = defs.reduce(function (sum, def) { return sum + def.weight; }, 0);
    var width = chartWidth(); // once: each read after a chart went in would lay the page out again
    syncingScale = true;
    defs.forEach(function (def, index) {
      var last = index === defs.length - 1;
      var series = [{ label: 'Distance' }];
      var columns = [xs];
      var owners = [null];
      view.shown.forEach(function (entry) {
        lapSeries(def, entry, n).forEach(function (one) {
          series.push(one.series);
          columns.push(one.values);
          owners.push(entry);
        });
      });
      var wrap = el('div', { 'class': 'chart', 'data-chart': def.keys.join(',') });
      var unit = def.keys[0] === 'delta' ? 's' : ((channelInfo(def.keys[0]) || {}).unit || '');
      wrap.appendChild(el('div', { 'class': 'name' }, def.picked ? def.title : def.title + (unit ? ' [' + unit + ']' : '')));
      if (def.picked) {
        var remove = el('button', { 'class': 'remove', title: 'remove this chart' }, '×');
        remove.addEventListener('click', function () {
          view.picked.splice(view.picked.indexOf(def.keys[0]), 1);
          renderCharts();
          renderReadout();
        });
        wrap.appendChild(remove);
      }
      box.appendChild(wrap);
      var opts = {
        width: width,
        height: Math.max(minChartHeight, Math.floor(room * def.weight / weights)) + (last ? xAxisHeight : 0),
        series: series,
        legend: { show: false },
        // Every chart spans the same distance, with or without data of its own.
        scales: def.whole ? { x: { time: false, range: xRange }, y: { range: wholeRange } } : { x: { time: false, range: xRange } },
        cursor: { sync: { key: 'report-x', setSeries: false }, drag: { x: true, y: false, setScale: true }, points: { size: 5 } },
        axes: [
          { size: last ? 36 : 6, values: last ? function (u, splits) { return splits.map(function (v) { return v + ' m'; }); } : function (u, splits) { return splits.map(function () { return ''; }); }, ticks: { show: last } },
          def.whole ? { size: 56, incrs: [1, 2, 5, 10], values: wholeValues } : { size: 56 }
        ],
        hooks: { draw: def.keys[0] === 'speed' ? [drawSectors, drawCornerMarks] : [drawSectors], setScale: [onScale], setCursor: [onCursor] }
      };
      var plot = new uPlot(opts, columns, wrap);
      plot.chartDef = def;
      plot.owners = owners; // the lap behind each series, so that a tick adds or removes only its own
      view.plots.push(plot);
    });
    syncingScale = false;
    if (view.range) {
      var range = view.range;
      view.plots[0].setScale('x', { min: range[0], max: range[1] });
    }
  }

  // The series of one lap on one chart, with their values on the shown file's grid.
  function lapSeries(def, entry, n) {
    var out = [];
    def.keys.forEach(function (key, j) {
      if (key !== 'delta' && !channelInfo(key)) return;
      var s = { label: lapName(entry) + ' ' + key, stroke: colourOf(entry), width: isReference(entry) ? 2 : 1.5, spanGaps: false };
      if (j > 0) s.dash = [5, 3];
      if (key === 'gear') s.paths = uPlot.paths.stepped({ align: 1 });
      out.push({ series: s, values: valuesOf(entry, key, n) });
    });
    return out;
  }

  // A tick adds or removes one lap's series on the charts as they stand: rebuilding every chart
  // costs a hundred milliseconds and more on a long session.
  function updateChartSeries(entry, on) {
    var n = gridLength();
    syncingScale = true;
    view.plots.forEach(function (u) {
      var data = u.data.slice();
      if (on) {
        lapSeries(u.chartDef, entry, n).forEach(function (one) {
          u.addSeries(one.series);
          data.push(one.values);
          u.owners.push(entry);
        });
      } else {
        for (var i = u.owners.length - 1; i > 0; --i) {
          if (!same(u.owners[i], entry)) continue;
          u.delSeries(i);
          data.splice(i, 1);
          u.owners.splice(i, 1);
        }
      }
      u.setData(data);
    });
    syncingScale = false;
    if (view.range) view.plots[0].setScale('x', { min: view.range[0], max: view.range[1] });
    document.getElementById('readout').style.minHeight = (view.shown.length + 1) * readoutRowHeight + 'px';
  }

  function renderReadout() {
    var box = document.getElementById('readout');
    box.textContent = '';
    var t = traces();
    var label = document.getElementById('cursor-distance');
    if (!t) return;
    // Before the cursor first moves the table shows the laps with empty values.
    var k = view.cursor;
    if (k === null) {
      label.textContent = 'Cursor: move over a chart';
      label.removeAttribute('data-index');
    } else {
      label.textContent = 'Cursor: ' + (Math.round(k * t.stepM * 100) / 100) + ' m';
      label.setAttribute('data-index', String(k));
      label.setAttribute('data-distance', String(k * t.stepM));
    }
    var keys = ['speed', 'throttle', 'brake', 'gear', 'steer'].filter(function (key) { return channelInfo(key); });
    if (view.reference) keys.push('delta');
    keys = keys.concat(view.picked);
    var table = el('table');
    var head = el('tr');
    head.appendChild(el('th', {}, 'Lap'));
    keys.forEach(function (key) {
      var info = key === 'delta' ? { label: 'Delta', unit: 's' } : channelInfo(key);
      head.appendChild(el('th', {}, info.label + (info.unit ? ' ' + info.unit : '')));
    });
    table.appendChild(head);
    // The read-out is the charts' legend too: every lap drawn, named, the reference said so.
    view.shown.forEach(function (entry) {
      var row = el('tr', { 'data-lap': String(entry.lap), 'data-file': String(entry.file) });
      var name = el('td', { 'class': 'lap-name' });
      var swatch = el('span', { 'class': 'swatch' });
      swatch.style.cssText = 'display:inline-block;width:10px;height:10px;margin-right:4px;background:' + colourOf(entry);
      name.appendChild(swatch);
      name.appendChild(document.createTextNode(lapName(entry) + (isReference(entry) ? ', reference' : '')));
      row.appendChild(name);
      keys.forEach(function (key) {
        var v = k === null ? null : valuesOf(entry, key, k + 1)[k];
        // Values between the points of a thinned channel are blends: six digits are plenty.
        var text = v === null ? '' : key === 'delta' ? signedText(v, 3) : String(+v.toPrecision(6));
        row.appendChild(el('td', { 'data-key': key, 'data-value': v === null ? '' : String(v) }, text));
      });
      table.appendChild(row);
    });
    box.appendChild(table);
  }

  // ---- Track map ----

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

  // ---- Changes ----

  function toggleLap(entry, on) {
    var at = shownAt(entry);
    var changed = on ? at < 0 : at >= 0 && !isReference(entry);
    if (!changed) return refresh();
    // Colours go by the order of ticking: a lap added last, or the last one taken away, leaves
    // the others' colours as they are.
    var last = at === view.shown.length - 1;
    if (on) view.shown.push(entry);
    else view.shown.splice(at, 1);
    // The charts as they stand take the lap's series in or out; no charts yet, none left or
    // colours that move mean the chart area changes as a whole.
    if (!view.plots.length || !view.shown.length || (!on && !last)) return refresh();
    updateChartSeries(entry, on);
    refresh(true);
  }

  // The old reference stays drawn, so that it can be chosen again.
  function setReference(entry) {
    view.reference = { file: entry.file, lap: entry.lap };
    if (shownAt(entry) < 0) view.shown.unshift(view.reference);
    refresh();
  }

  function refresh(chartsCurrent) {
    publishState();
    renderLapTable();
    if (!chartsCurrent) renderCharts();
    renderReadout();
    drawMap();
    renderCorners();
    drawGG();
  }

  // ---- Corners, grip and setup ----

  function known(v) { return v !== null && v !== undefined; }

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

  // The file's setup; beside it the other files of the same car, the values that differ first.
  function renderSetup() {
    var box = document.getElementById('setup');
    box.textContent = '';
    var f = file();
    if (!f) return;
    box.appendChild(el('h2', {}, 'Setup'));
    if (!f.setup) { box.appendChild(el('p', {}, 'No setup in this recording.')); return; }
    var flat = function (object, prefix, out) {
      Object.keys(object).forEach(function (key) {
        var path = prefix ? prefix + ' / ' + key : key;
        if (object[key] !== null && typeof object[key] === 'object') flat(object[key], path, out);
        else out[path] = String(object[key]);
      });
      return out;
    };
    var columns = [{ index: view.file, values: flat(f.setup, '', {}) }];
    files.forEach(function (o, i) {
      if (i !== view.file && o.setup && o.carName === f.carName) columns.push({ index: i, values: flat(o.setup, '', {}) });
    });
    var table = el('table', { id: 'setup-table' });
    var head = el('tr');
    head.appendChild(el('th', {}, 'Setting'));
    columns.forEach(function (c) { head.appendChild(el('th', {}, fileName(c.index))); });
    table.appendChild(head);
    var rows = Object.keys(columns[0].values).map(function (path) {
      var cells = columns.map(function (c) { return c.values[path] === undefined ? '-' : c.values[path]; });
      return { path: path, cells: cells, differs: cells.some(function (v) { return v !== cells[0]; }) };
    });
    rows.filter(function (r) { return r.differs; }).concat(rows.filter(function (r) { return !r.differs; })).forEach(function (r) {
      var tr = el('tr', r.differs ? { 'class': 'differs' } : {});
      tr.appendChild(el('td', {}, r.path));
      r.cells.forEach(function (v) { tr.appendChild(el('td', {}, v)); });
      table.appendChild(tr);
    });
    box.appendChild(table);
  }

  // The other channels with the recording's description and unit; typing in the filter keeps the
  // ones whose name or description holds the text.
  function fillChannelPicker() {
    var picker = document.getElementById('channel-picker');
    var filter = document.getElementById('channel-filter').value.trim().toLowerCase();
    while (picker.options.length > 1) picker.remove(1);
    var t = traces();
    var base = ['speed', 'throttle', 'brake', 'gear', 'steer'];
    var any = false;
    (t ? t.channels : []).forEach(function (c) {
      if (base.indexOf(c.key) >= 0) return;
      any = true;
      var text = c.label + (c.description ? ' — ' + c.description : '') + (c.unit ? ' [' + c.unit + ']' : '');
      if (filter && text.toLowerCase().indexOf(filter) < 0) return;
      picker.appendChild(el('option', { value: c.key, title: text }, text));
    });
    picker.options[0].textContent = picker.options.length > 1 ? 'choose…' : (any ? 'none matches' : 'choose…');
    picker.disabled = !any;
    document.getElementById('channel-filter').disabled = !any;
  }

  function trackOf(index) { return [files[index].trackName || '', files[index].trackConfig || ''].join('\n'); }

  // A new file opens on its own reference and best other lap; laps of other files on the same
  // track stay drawn beside them (a teammate's lap), others go.
  function showFile(index) {
    var previous = view.shown;
    view.file = index;
    view.shown = [];
    view.picked = [];
    view.cursor = null;
    view.range = null;
    if (!file()) return;
    view.reference = defaultReference(index);
    view.shown = defaultShown(index, view.reference);
    if (files[index].trackName) {
      previous.forEach(function (e) {
        if (e.file !== index && trackOf(e.file) === trackOf(index) && shownAt(e) < 0) view.shown.push(e);
      });
    }
    renderSession();
    renderSetup();
    fillChannelPicker();
    refresh();
  }

  function validCount(f) { return (f.laps || []).filter(function (lap) { return validMs(lap) !== null; }).length; }

  function start() {
    var select = document.getElementById('file');
    files.forEach(function (f, i) {
      var name = (f.path || '').split(/[\\/]/).pop() + (f.error ? ' (failed)' : '') +
        (f.trackName ? ' — ' + f.trackName : '');
      select.appendChild(el('option', { value: String(i) }, name));
    });
    document.getElementById('file-choice').hidden = files.length < 2;
    select.addEventListener('change', function () { showFile(+select.value); });
    document.getElementById('channel-picker').addEventListener('change', function (e) {
      var key = e.target.value;
      if (key && view.picked.indexOf(key) < 0) view.picked.push(key);
      e.target.value = '';
      renderCharts();
      renderReadout();
    });
    document.getElementById('channel-filter').addEventListener('input', fillChannelPicker);
    document.getElementById('map-colour').addEventListener('change', function (e) {
      view.mapMode = e.target.value;
      drawMap();
    });
    document.getElementById('map').addEventListener('mousemove', onMapMove);
    // The charts fill their column whatever changes its width: the window, a scroll bar that
    // comes with more charts.
    var lastWidth = 0;
    var fit = function () {
      var width = chartWidth();
      if (width === lastWidth) return;
      lastWidth = width;
      view.plots.forEach(function (u) { u.setSize({ width: width, height: u.height }); });
      drawMap();
    };
    window.addEventListener('resize', fit);
    if (window.ResizeObserver) new ResizeObserver(fit).observe(document.getElementById('charts'));
    if (!files.length) {
      document.getElementById('session').appendChild(el('p', {}, 'No files in this report.'));
      document.getElementById('columns').classList.add('failed');
      publishState();
    }
    // The file with the most laps with a valid time first: the one with most to compare.
    var first = 0;
    files.forEach(function (f, i) { if (validCount(f) > validCount(files[first])) first = i; });
    select.value = String(first);
    showFile(first);
    requestAnimationFrame(function () {
      view.firstViewMs = performance.now(); // from the start of navigation, for the benchmark
      document.body.dataset.ready = '1';
    });
  }

  start();
})();
