// The colours of the laps drawn, the same on the charts, the read-out, the tables and the map.

// The reference is always blue, as in the command line's plot; the other laps take these in turn,
// the first red as the plot's lap.
var referenceColour = '#1f77b4';

var palette = ['#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#17becf', '#8c564b', '#e377c2', '#7f7f7f',
  '#bcbd22', '#000000', '#f0b400', '#00a087'];

// The reference keeps its colour; the other laps follow the order of ticking, so that the first
// laps shown are told apart best.
function colourOf(entry) {
  if (isReference(entry)) return referenceColour;
  var others = view.shown.filter(function (e) { return !isReference(e); });
  for (var i = 0; i < others.length; ++i) if (same(others[i], entry)) return palette[i % palette.length];
  return palette[0];
}
