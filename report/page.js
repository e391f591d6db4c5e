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
  var palette = ['#d62728', '#1f77b4', '#2ca02c', '#ff7f0e', '#9467bd', '#17becf', '#8c564b', '#e377c2',
    '#7f7f7f', '#bcbd22'];
  var sessionTypes = { 0: 'offline testing', 1: 'practice', 2: 'qualify', 3: 'warmup', 5: 'race' };
  var kinds = { 0: 'out', 1: 'timed' };
  // Heights are shares of the room below the read-out, so that every chart fits on the screen.
  var charts = [
    { keys: ['speed'], title: 'Speed', weight: 1.5 },
    { keys: ['throttle', 'brake'], title: 'Throttle (solid) and brake (dashed)', weight: 1.1 },
    { keys: ['gear'], title: 'Gear', weight: 0.8, incrs: [1, 2, 5, 10] },
    { keys: ['steer'], title: 'Steering', weight: 1 },
    { keys: ['delta'], title: 'Delta to reference', weight: 1.2 }
  ];
  var minMapExtentM = 20, minMapSide = 260, mapChrome = 60;
  var readoutRowHeight = 20;
  var pickedWeight = 0.9, minChartHeight = 80, xAxisHeight = 30;

  // What is shown: the file, the ticked laps (lap numbers, in ticking order), the reference
  // ({file, lap}), the picked extra channels, the cursor's grid index and the zoomed distance range.
  var view = { file: 0, ticked: [], reference: null, picked: [], cursor: null, range: null, plots: [] };
  window.reportView = view;

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

  function signedText(value, decimals) {
    if (value === null || value === undefined || !isFinite(value)) return '';
    return (value > 0 ? '+' : '') + value.toFixed(decimals);
  }

  function numberText(value, decimals) {
    return value === null || value === undefined ? '' : (+value).toFixed(decimals);
  }

  function file() { return files[view.file]; }

  function traces(f) { return (f || file()).traces || null; }

  function traceOf(f, lapNumber) {
    var t = traces(f);
    if (!t) return null;
    for (var i = 0; i < t.laps.length; ++i) {
      if (t.laps[i].lapNumber === lapNumber) return t.laps[i];
    }
    return null;
  }

  function channelInfo(key) {
    var t = traces();
    var list = t ? t.channels : [];
    for (var i = 0; i < list.length; ++i) {
      if (list[i].key === key) return list[i];
    }
    return null;
  }

  // Colours follow the order of ticking, so that the first laps shown are told apart best.
  function colourOf(lapNumber) {
    var at = view.ticked.indexOf(lapNumber);
    return palette[(at < 0 ? 0 : at) % palette.length];
  }

  // A channel of one lap on the file's grid, n points, null where there is no value.
  function values(lapTrace, key, n) {
    var out = new Array(n).fill(null);
    var length = lapTrace.time.length;
    if (key === 'delta') {
      var delta = deltaOf(lapTrace);
      for (var d = 0; d < length && d < n; ++d) out[d] = delta[d];
      return out;
    }
    var v = lapTrace.values[key];
    if (v === null || v === undefined) return out;
    if (typeof v === 'number') {
      for (var c = 0; c < length && c < n; ++c) out[c] = v;
      return out;
    }
    var info = channelInfo(key);
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
    var at = distance / traces(refFile).stepM;
    var i = Math.floor(at);
    var t = refTrace.time;
    if (i < 0 || i >= t.length || t[i] === null) return null;
    if (at === i || i + 1 >= t.length || t[i + 1] === null) return at === i ? t[i] : null;
    return t[i] + (t[i + 1] - t[i]) * (at - i);
  }

  // Seconds behind the reference at each grid point: time(lap, d) - time(reference, d).
  // A lap that starts past the line (out of the pits, off the grid) has no time from the line.
  function deltaOf(lapTrace) {
    var step = traces().stepM;
    return lapTrace.time.map(function (t, k) {
      if (!lapTrace.fromLine) return null;
      var r = referenceTimeAt(k * step);
      return t === null || r === null ? null : Math.round((t - r) * 1e4) / 1e4;
    });
  }

  function referenceLap() {
    return view.reference ? ((files[view.reference.file].laps || []).filter(function (lap) {
      return lap.lapNumber === view.reference.lap;
    })[0] || null) : null;
  }

  function fastestLapNumber(f) {
    var best = null;
    (f.laps || []).forEach(function (lap) {
      var ms = validMs(lap);
      if (ms !== null && traceOf(f, lap.lapNumber) && (best === null || ms < validMs(best))) best = lap;
    });
    return best ? best.lapNumber : null;
  }

  function defaultReference() {
    var f = file();
    var ref = f.reference;
    if (ref) {
      for (var i = 0; i < files.length; ++i) {
        if (files[i].path === ref.path && traceOf(files[i], ref.lapNumber)) return { file: i, lap: ref.lapNumber };
      }
    }
    var fastest = fastestLapNumber(f);
    return fastest === null ? null : { file: view.file, lap: fastest };
  }

  function defaultTicked() {
    var f = file();
    var ticked = [];
    var fastest = fastestLapNumber(f);
    if (fastest !== null) ticked.push(fastest);
    var timed = (f.laps || []).filter(function (lap) { return validMs(lap) !== null && traceOf(f, lap.lapNumber); });
    if (timed.length && ticked.indexOf(timed[timed.length - 1].lapNumber) < 0) ticked.push(timed[timed.length - 1].lapNumber);
    if (!ticked.length && traces(f) && traces(f).laps.length) ticked.push(traces(f).laps[0].lapNumber);
    return ticked;
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
    var refLap = referenceLap();
    var refMs = validMs(refLap);
    var fastest = fastestLapNumber(f);
    var body = el('tbody');
    (f.laps || []).forEach(function (lap) {
      var n = lap.lapNumber;
      var hasTrace = !!traceOf(f, n);
      var tr = el('tr', { 'data-lap': String(n) });
      var ticked = view.ticked.indexOf(n) >= 0;
      var isRef = !!view.reference && view.reference.file === view.file && view.reference.lap === n;
      tr.classList.toggle('ticked', ticked);
      tr.classList.toggle('reference', isRef);
      var show = el('input', { type: 'checkbox', 'class': 'show', title: 'show this lap on the charts' });
      show.checked = ticked;
      show.disabled = !hasTrace;
      show.addEventListener('change', function () { toggleLap(n, show.checked); });
      var ref = el('input', { type: 'radio', name: 'reference', 'class': 'ref', title: 'use as the reference' });
      ref.checked = isRef;
      ref.disabled = !hasTrace;
      ref.addEventListener('change', function () { setReference(n); });
      // A click anywhere on the row ticks or unticks the lap, as the box does.
      if (hasTrace) {
        tr.classList.add('chartable');
        tr.addEventListener('click', function (e) { if (e.target.tagName !== 'INPUT') toggleLap(n, !ticked); });
      }
      var choice = el('td', { 'class': 'choice' });
      choice.appendChild(show);
      choice.appendChild(ref);
      tr.appendChild(choice);
      var number = el('td', { 'class': 'num' });
      var swatch = el('span', { 'class': 'swatch' });
      swatch.style.background = ticked ? colourOf(n) : 'transparent';
      number.appendChild(swatch);
      number.appendChild(document.createTextNode(String(n)));
      tr.appendChild(number);
      tr.appendChild(el('td', { 'class': 'kind' }, kinds[lap.lapStatus] || ''));
      var ms = validMs(lap);
      tr.appendChild(el('td', n === fastest ? { 'class': 'fastest' } : {}, timeText(ms)));
      for (var s = 0; s < sectors; ++s) {
        var v = (lap.sectorTimesMs || [])[s];
        var isBest = validMs(lap) !== null && v !== null && v !== undefined && v === best[s];
        tr.appendChild(el('td', isBest ? { 'class': 'best' } : {}, v === null || v === undefined ? '' : (v / 1000).toFixed(3)));
      }
      tr.appendChild(el('td', {}, ms !== null && refMs !== null && !isRef ? signedText((ms - refMs) / 1000, 3) : ''));
      tr.appendChild(el('td', {}, numberText(lap.topSpeedKmh, 1)));
      tr.appendChild(el('td', {}, numberText(lap.fuelUsedL, 2)));
      body.appendChild(tr);
    });
    table.appendChild(body);
    renderNotes(refLap);
  }

  function renderNotes(refLap) {
    var f = file();
    var notes = document.getElementById('lap-notes');
    notes.textContent = '';
    var stats = f.lapTimeStats || {};
    var refText = '';
    if (refLap) {
      refText = 'lap ' + refLap.lapNumber + ' ' + timeText(validMs(refLap));
      if (view.reference.file !== view.file) refText += ' of ' + (files[view.reference.file].path || '').split(/[\\/]/).pop();
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
      'Kind: out = out lap, timed = timed lap, empty = in-lap, reset or pit road. Purple: fastest lap and best ' +
      'sector times (laps with a valid time). An empty time: no valid time. Gap: to the reference lap.'));
  }

  // ---- Charts ----

  function gridLength() {
    var n = 0;
    view.ticked.forEach(function (lap) { var t = traceOf(file(), lap); if (t) n = Math.max(n, t.time.length); });
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
  }

  function chartWidth() {
    return Math.max(300, document.getElementById('charts').clientWidth);
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
    document.getElementById('readout').style.minHeight = (view.ticked.length + 1) * readoutRowHeight + 'px';
    var room = window.innerHeight - box.getBoundingClientRect().top - xAxisHeight - 8;
    var weights = defs.reduce(function (sum, def) { return sum + def.weight; }, 0);
    var width = chartWidth(); // once: each read after a chart went in would lay the page out again
    syncingScale = true;
    defs.forEach(function (def, index) {
      var last = index === defs.length - 1;
      var series = [{ label: 'Distance' }];
      var columns = [xs];
      view.ticked.forEach(function (lapNumber) {
        var lapTrace = traceOf(file(), lapNumber);
        def.keys.forEach(function (key, j) {
          if (key !== 'delta' && !channelInfo(key)) return;
          var s = { label: 'Lap ' + lapNumber + ' ' + key, stroke: colourOf(lapNumber), width: 1.5, spanGaps: false };
          if (j > 0) s.dash = [5, 3];
          if (key === 'gear') s.paths = uPlot.paths.stepped({ align: 1 });
          series.push(s);
          columns.push(values(lapTrace, key, n));
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
        scales: { x: { time: false } },
        cursor: { sync: { key: 'report-x', setSeries: false }, drag: { x: true, y: false, setScale: true }, points: { size: 5 } },
        axes: [
          { size: last ? 36 : 6, values: last ? function (u, splits) { return splits.map(function (v) { return v + ' m'; }); } : function (u, splits) { return splits.map(function () { return ''; }); }, ticks: { show: last } },
          def.incrs ? { size: 56, incrs: def.incrs } : { size: 56 }
        ],
        hooks: { draw: [drawSectors], setScale: [onScale], setCursor: [onCursor] }
      };
      view.plots.push(new uPlot(opts, columns, wrap));
    });
    syncingScale = false;
    if (view.range) {
      var range = view.range;
      view.plots[0].setScale('x', { min: range[0], max: range[1] });
    }
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
    view.ticked.forEach(function (lapNumber) {
      var lapTrace = traceOf(file(), lapNumber);
      var row = el('tr', { 'data-lap': String(lapNumber) });
      var name = el('td');
      var swatch = el('span', { 'class': 'swatch' });
      swatch.style.cssText = 'display:inline-block;width:10px;height:10px;margin-right:4px;background:' + colourOf(lapNumber);
      name.appendChild(swatch);
      name.appendChild(document.createTextNode('Lap ' + lapNumber));
      row.appendChild(name);
      keys.forEach(function (key) {
        var v = k === null ? null : values(lapTrace, key, k + 1)[k];
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

  // The lap the map colours: the last ticked lap that is not the reference, one from the line
  // first (a lap that starts past it has no delta), else the reference.
  function focusLap() {
    var ref = view.reference && view.reference.file === view.file ? view.reference.lap : null;
    var others = view.ticked.filter(function (n) { return n !== ref && traceOf(file(), n); });
    var fromLine = others.filter(function (n) { return traceOf(file(), n).fromLine; });
    var pick = fromLine.length ? fromLine : others;
    return pick.length ? pick[pick.length - 1] : (view.ticked.length ? view.ticked[0] : null);
  }

  // The lap that draws the track's outline: the reference, else the lap with the most positions.
  function outlineLap() {
    var ref = view.reference && view.reference.file === view.file ? traceOf(file(), view.reference.lap) : null;
    if (ref && ref.x) return ref;
    var best = null;
    traces().laps.forEach(function (lap) {
      if (lap.x && (!best || lap.x.length > best.x.length)) best = lap;
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
    var mode = document.getElementById('map-colour').value;
    var refIsFocus = view.reference && view.reference.file === view.file && view.reference.lap === focus;
    if (mode === 'delta' && (!view.reference || refIsFocus || !lapTrace)) mode = 'speed';
    var colours = [];
    var legend = '';
    if (lapTrace && mode === 'delta') {
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
    // Every ticked lap's position at the cursor.
    if (view.cursor !== null) {
      view.ticked.forEach(function (lapNumber) {
        var lt = traceOf(file(), lapNumber);
        var c = view.cursor;
        if (!lt || !lt.x || c >= lt.x.length || lt.x[c] === null) return;
        ctx.beginPath();
        ctx.arc(px(lt.x[c]), py(lt.y[c]), size / 70, 0, 2 * Math.PI);
        ctx.fillStyle = colourOf(lapNumber);
        ctx.fill();
        ctx.lineWidth = 2;
        ctx.strokeStyle = '#fff';
        ctx.stroke();
      });
    }
    document.getElementById('map-legend').textContent = legend;
  }

  // ---- Changes ----

  function toggleLap(lapNumber, on) {
    var at = view.ticked.indexOf(lapNumber);
    if (on && at < 0) view.ticked.push(lapNumber);
    if (!on && at >= 0) view.ticked.splice(at, 1);
    refresh();
  }

  function setReference(lapNumber) {
    view.reference = { file: view.file, lap: lapNumber };
    refresh();
  }

  function refresh() {
    renderLapTable();
    renderCharts();
    renderReadout();
    drawMap();
  }

  function fillChannelPicker() {
    var picker = document.getElementById('channel-picker');
    while (picker.options.length > 1) picker.remove(1);
    var t = traces();
    var base = ['speed', 'throttle', 'brake', 'gear', 'steer'];
    (t ? t.channels : []).forEach(function (c) {
      if (base.indexOf(c.key) >= 0) return;
      picker.appendChild(el('option', { value: c.key }, c.label + (c.unit ? ' [' + c.unit + ']' : '')));
    });
    picker.disabled = picker.options.length < 2;
  }

  function showFile(index) {
    view.file = index;
    view.ticked = [];
    view.picked = [];
    view.cursor = null;
    view.range = null;
    if (!file()) return;
    view.reference = defaultReference();
    view.ticked = defaultTicked();
    renderSession();
    fillChannelPicker();
    refresh();
  }

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
    document.getElementById('map-colour').addEventListener('change', drawMap);
    window.addEventListener('resize', function () {
      view.plots.forEach(function (u) { u.setSize({ width: chartWidth(), height: u.height }); });
      drawMap();
    });
    if (!files.length) {
      document.getElementById('session').appendChild(el('p', {}, 'No files in this report.'));
      document.getElementById('columns').classList.add('failed');
    }
    showFile(0);
    requestAnimationFrame(function () {
      view.firstViewMs = performance.now(); // from the start of navigation, for the benchmark
      document.body.dataset.ready = '1';
    });
  }

  start();
})();
