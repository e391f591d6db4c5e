// What changes what is shown: ticking a lap, choosing the reference, another file.

// A tick or an untick of any lap adds or takes off that lap's series on the charts as they stand,
// and the other laps keep their colours. No charts yet, none left or a grid of another length (the
// longest lap came or went) build the charts anew.
function toggleLap(entry, on) {
  var at = shownAt(entry);
  var changed = on ? at < 0 : at >= 0 && !isReference(entry);
  if (!changed) return refresh();
  var n = gridLength();
  if (on) view.shown.push(entry);
  else view.shown.splice(at, 1);
  holdColours();
  if (!view.plots.length || !view.shown.length || gridLength() !== n) return refresh();
  updateChartSeries(entry, on);
  refresh(entry);
}

// The old reference stays drawn, so that it can be chosen again.
function setReference(entry) {
  view.reference = { file: entry.file, lap: entry.lap };
  if (shownAt(entry) < 0) view.shown.unshift(view.reference);
  refresh();
}

// Draws what is shown now. After a tick (ticked: its lap) the charts stand as updateChartSeries left
// them, and of the lap table only the lap's own row changes when it is one of this file's.
function refresh(ticked) {
  holdColours();
  publishState();
  if (ticked && ticked.file === view.file) renderLapRow(ticked);
  else renderLapTable();
  if (!ticked) renderCharts();
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
