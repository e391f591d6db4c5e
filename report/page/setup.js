// The setup of the shown file's car beside the other files' of the same car.

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
