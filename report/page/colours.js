// The colours of the laps drawn, the same on the charts, the read-out, the tables and the map.

// The reference is always blue, as in the command line's plot. Every other lap drawn holds a colour
// of these from its tick to its untick, whatever is ticked or unticked meanwhile: the first free one
// (the first red, as the plot's lap), past twelve laps the first of those fewest laps hold.
var referenceColour = '#1f77b4';
var palette = ['#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#17becf', '#8c564b', '#e377c2', '#7f7f7f',
  '#bcbd22', '#000000', '#f0b400', '#00a087'];
var lapColours = {}; // the palette index each lap drawn holds, by lapKey

function lapKey(entry) { return entry.file + ':' + entry.lap; }

// Keeps lapColours to the laps drawn: a lap gone gives its colour back, a lap come takes one.
function holdColours() {
  var held = {}, holders = palette.map(function () { return 0; });
  var others = view.shown.filter(function (e) { return !isReference(e); });
  others.forEach(function (e) {
    var i = lapColours[lapKey(e)];
    if (i !== undefined) { held[lapKey(e)] = i; ++holders[i]; }
  });
  others.forEach(function (e) {
    if (held[lapKey(e)] !== undefined) return;
    var i = holders.indexOf(Math.min.apply(null, holders));
    held[lapKey(e)] = i;
    ++holders[i];
  });
  lapColours = held;
}

function colourOf(entry) {
  if (isReference(entry)) return referenceColour;
  return palette[lapColours[lapKey(entry)] || 0];
}
