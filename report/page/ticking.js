// What changes what is shown: ticking a lap, choosing the reference, another file.

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
