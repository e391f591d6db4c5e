// The read-out of every drawn lap at the cursor, and the picker of extra channels to chart.

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
