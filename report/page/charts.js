// The charts over lap distance: built for the laps drawn, sharing one cursor and one zoom.

// Heights are shares of the room below the read-out, so that every chart fits on the screen.
var charts = [
  { keys: ['speed'], title: 'Speed', weight: 1.5 },
  { keys: ['throttle', 'brake'], title: 'Throttle (solid) and brake (dashed)', weight: 1.1 },
  { keys: ['gear'], title: 'Gear', weight: 0.8, whole: true },
  { keys: ['steer'], title: 'Steering', weight: 1 },
  { keys: ['delta'], title: 'Delta to reference', weight: 1.2 }
];

var readoutRowHeight = 20;
var pickedWeight = 0.9, minChartHeight = 80, xAxisHeight = 30;

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
