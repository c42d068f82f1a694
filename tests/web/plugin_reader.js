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

// The numbers of the array after "name":, up to the closing bracket or the
// first element that is no number.
function numberList(text, name) {
  let at = after(text, '"' + name + '":');
  if (at < 0) return [];
  const rest = text.slice(at).replace(/^\s*/, '');
  if (rest[0] !== '[') return [];
  const out = [];
  let i = 1;
  for (;;) {
    const m = /^\s*\+?(-?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)\s*/.exec(rest.slice(i));
    if (!m) break;
    out.push(parseFloat(m[1]));
    i += m[0].length;
    if (rest[i] !== ',') break;
    i++;
  }
  return out;
}

// The string after "name", its colon and the next quote, up to the next
// unescaped quote; a backslash takes the following character as it is.
function escaped(text, name) {
  let at = after(text, '"' + name + '"');
  if (at < 0) return '';
  at = text.indexOf(':', at);
  if (at < 0) return '';
  at = text.indexOf('"', at);
  if (at < 0) return '';
  let out = '';
  for (let i = at + 1; i < text.length; i++) {
    if (text[i] === '"') return out;
    if (text[i] === '\\') i++;
    if (i < text.length) out += text[i];
  }
  return '';
}

module.exports = { integer, real, has, quoted, numberList, escaped };
