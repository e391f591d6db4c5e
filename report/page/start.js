// Fills the file selector, wires the controls and opens the first file.

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
