// Reads a message text the way the plug-in does: it does not parse JSON but
// finds the first occurrence of a key text and reads the number or text right
// after it. The page's texts must survive this reading, not only JSON.parse.
'use strict';

function after(text, key) {
  const at = text.indexOf(key);
  return at < 0 ? -1 : at + key.length;
}

function integer(text, name) {
  const at = after(text, '"' + name + '":');
  if (at < 0) return undefined;
  const m = /^\s*([+-]?\d*)/.exec(text.slice(at));
  const n = parseInt(m[1], 10);
  return Number.isNaN(n) ? 0 : n;
}

// from_chars takes no exponent-less garbage: only a plain decimal number
// (an exponent would also be read, so that is allowed here as well).
function real(text, name) {
  const at = after(text, '"' + name + '":');
  if (at < 0) return undefined;
  const m = /^\s*\+?(-?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)/.exec(text.slice(at));
  return m ? parseFloat(m[1]) : 0;
}

function has(text, name) {
  return after(text, '"' + name + '"') >= 0;
}

function quoted(text, name) {
  const at = after(text, '"' + name + '":"');
  if (at < 0) return '';
  const end = text.indexOf('"', at);
  return end < 0 ? '' : text.slice(at, end);
}

module.exports = { integer, real, has, quoted };
