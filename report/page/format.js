// Making elements and writing times and numbers as the command line does.

function el(tag, attrs, text) {
  var node = document.createElement(tag);
  Object.keys(attrs || {}).forEach(function (name) { node.setAttribute(name, attrs[name]); });
  if (text !== undefined && text !== null) node.textContent = text;
  return node;
}

function timeText(ms) {
  if (ms === null || ms === undefined) return '';
  var minutes = Math.floor(ms / 60000);
  var seconds = ((ms - minutes * 60000) / 1000).toFixed(3);
  return minutes > 0 ? minutes + ':' + (seconds < 10 ? '0' : '') + seconds : seconds;
}

// As the command line writes a gap: a sign always, "+" for what rounds to zero.
function signedText(value, decimals) {
  if (value === null || value === undefined || !isFinite(value)) return '';
  var text = Math.abs(value).toFixed(decimals);
  return (value < 0 && +text !== 0 ? '-' : '+') + text;
}

function numberText(value, decimals) {
  return value === null || value === undefined ? '' : (+value).toFixed(decimals);
}

function known(v) { return v !== null && v !== undefined; }
