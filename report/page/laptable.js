// The session header, the lap table and the notes below it.

var sessionTypes = { 0: 'offline testing', 1: 'practice', 2: 'qualify', 3: 'warmup', 5: 'race' };

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

// A lap's row: figures are the shown file's (tableFigures), null for a lap of another file.
function lapRow(entry, lap, figures) {
  var n = entry.lap;
  var f = files[entry.file];
  var sectors = figures ? figures.sectors : 0, best = figures && figures.best;
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
  tr.appendChild(el('td', figures && n === figures.fastest ? { 'class': 'fastest' } : {}, timeText(ms)));
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

// What the rows of the shown file share: the number of sectors, the best time of each among the laps
// with a valid time, and the fastest lap's number.
function tableFigures(f) {
  var sectors = sectorCount(f), best = [];
  for (var s = 0; s < sectors; ++s) {
    best.push(null);
    (f.laps || []).forEach(function (lap) {
      var v = (lap.sectorTimesMs || [])[s];
      if (validMs(lap) !== null && v !== null && v !== undefined && (best[s] === null || v < best[s])) best[s] = v;
    });
  }
  return { sectors: sectors, best: best, fastest: fastestLapNumber(f) };
}

function renderLapTable() {
  var f = file();
  var table = document.getElementById('laps');
  table.textContent = '';
  var figures = tableFigures(f);
  var head = el('tr');
  ['Show Ref', 'Lap', 'Kind', 'Time'].forEach(function (name, i) {
    head.appendChild(el('th', i === 2 ? { 'class': 'kind' } : {}, name));
  });
  for (var s = 0; s < figures.sectors; ++s) head.appendChild(el('th', {}, 'S' + (s + 1)));
  [['Gap', 'gap to the reference, s'], ['Top km/h', 'top speed'], ['Fuel L', 'fuel used']].forEach(function (h) {
    head.appendChild(el('th', { title: h[1] }, h[0]));
  });
  var thead = el('thead');
  thead.appendChild(head);
  table.appendChild(thead);
  var body = el('tbody');
  (f.laps || []).forEach(function (lap) { body.appendChild(lapRow({ file: view.file, lap: lap.lapNumber }, lap, figures)); });
  table.appendChild(body);
  // Laps of other files on the charts (a teammate's, the reference) stay listed, to untick or choose.
  var others = view.shown.filter(function (e) { return e.file !== view.file; });
  if (others.length) {
    var extra = el('tbody', { 'class': 'other-files' });
    var title = el('tr');
    title.appendChild(el('th', { colspan: String(7 + figures.sectors), 'class': 'group' }, 'From other files'));
    extra.appendChild(title);
    others.forEach(function (e) { extra.appendChild(lapRow(e, lapOf(e), null)); });
    table.appendChild(extra);
  }
  renderNotes(referenceLap());
}

// A tick changes its lap's row alone: the table laid out anew would cost more than the rest of the tick.
function renderLapRow(entry) {
  var row = document.querySelector('#laps tr[data-file="' + entry.file + '"][data-lap="' + entry.lap + '"]');
  if (row) row.replaceWith(lapRow(entry, lapOf(entry), tableFigures(file())));
  else renderLapTable();
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
