// The page's side of the message link with the plug-in: base64 and UTF-8,
// reading the messages the plug-in sends through SAMFD and writing the texts
// the page posts back. No DOM here, so it runs under Node's test runner too.
//
// The plug-in does not parse what the page sends as JSON: it searches for the
// key texts ("paramIdx":, "v":, "depth", ...) and reads the number after them.
// Every outgoing text is therefore written by hand as "key":value, without a
// space before the colon and with plain decimal numbers.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelWire = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const ALPHABET = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
  const DECODE = new Int16Array(128).fill(-1);
  for (let i = 0; i < ALPHABET.length; i++) DECODE[ALPHABET.charCodeAt(i)] = i;

  // Message tags, both ways.
  const TAG = Object.freeze({
    params: -1,
    meters: 0,
    sources: 2,
    matrix: 9,
    presets: 11,
    onboarded: 13,
    fileError: 15,
    settings: 17,
    parameter: 1,
    focus: 8,
    savePresets: 10,
    setOnboarded: 12,
    hostKeys: 20,
    solo: 21,
    matrixEdit: 22,
    openLink: 23,
    linkPreference: 24,
    preset: 30,
    compare: 31,
    resize: 40,
  });

  const BANDS = 24;
  const BELLS = 4;
  const CHANNELS = 64;

  function base64Encode(bytes) {
    let out = '';
    let i = 0;
    for (; i + 2 < bytes.length; i += 3) {
      const n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
      out += ALPHABET[n >> 18] + ALPHABET[(n >> 12) & 63] + ALPHABET[(n >> 6) & 63] + ALPHABET[n & 63];
    }
    const rest = bytes.length - i;
    if (rest === 1) {
      const n = bytes[i] << 16;
      out += ALPHABET[n >> 18] + ALPHABET[(n >> 12) & 63] + '==';
    } else if (rest === 2) {
      const n = (bytes[i] << 16) | (bytes[i + 1] << 8);
      out += ALPHABET[n >> 18] + ALPHABET[(n >> 12) & 63] + ALPHABET[(n >> 6) & 63] + '=';
    }
    return out;
  }

  // Decodes up to the first character outside the alphabet (padding included),
  // as the plug-in does; a trailing group of 2 or 3 characters yields 1 or 2
  // bytes, a lone character none.
  function base64Decode(text) {
    const s = String(text);
    let end = 0;
    while (end < s.length) {
      const c = s.charCodeAt(end);
      if (c >= 128 || DECODE[c] < 0) break;
      end++;
    }
    const out = new Uint8Array(Math.floor((end * 3) / 4));
    let o = 0;
    let acc = 0;
    let bits = 0;
    for (let i = 0; i < end; i++) {
      acc = ((acc << 6) | DECODE[s.charCodeAt(i)]) & 0xffffff;
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        out[o++] = (acc >> bits) & 0xff;
      }
    }
    return o === out.length ? out : out.subarray(0, o);
  }

  function utf8Encode(text) {
    return new TextEncoder().encode(String(text));
  }

  // Bad sequences (a name cut inside a character, for one) become U+FFFD
  // instead of failing the whole message.
  function utf8Decode(bytes) {
    return new TextDecoder('utf-8', { fatal: false }).decode(bytes);
  }

  function encodeText(text) {
    return base64Encode(utf8Encode(text));
  }

  function decodeText(base64) {
    return utf8Decode(base64Decode(base64));
  }

  // ---- Incoming ----------------------------------------------------------

  function finite(v, fallback) {
    const n = typeof v === 'number' ? v : Number(v);
    return Number.isFinite(n) ? n : fallback;
  }

  function int(v, fallback) {
    const n = finite(v, NaN);
    return Number.isFinite(n) ? Math.trunc(n) : fallback;
  }

  function numbers(list, count, fallback) {
    const out = new Float32Array(count);
    const src = Array.isArray(list) ? list : [];
    for (let i = 0; i < count; i++) out[i] = finite(src[i], fallback);
    return out;
  }

  function text(v) {
    return typeof v === 'string' ? v : '';
  }

  const TYPES = new Set(['bool', 'int', 'enum', 'float']);

  function readParams(obj) {
    if (obj.id !== 'params' || !Array.isArray(obj.params)) return null;
    const params = [];
    for (const p of obj.params) {
      if (!p || typeof p !== 'object') continue;
      const id = int(p.id, -1);
      const min = finite(p.min, NaN);
      const max = finite(p.max, NaN);
      if (id < 0 || !Number.isFinite(min) || !Number.isFinite(max)) continue;
      params.push({
        id,
        name: text(p.name),
        type: TYPES.has(p.type) ? p.type : 'float',
        min,
        max,
        default: Math.min(max, Math.max(min, finite(p.default, min))),
        display_type: int(p.display_type, 0),
        step: Math.max(0, finite(p.step, 0)),
        unit: text(p.unit),
        texts: Array.isArray(p.texts) ? p.texts.map(text) : [],
      });
    }
    return { kind: 'params', params };
  }

  function readMeters(obj) {
    return {
      kind: 'meters',
      role: int(obj.role, 0),
      linked: int(obj.linked, 0) !== 0,
      peers: int(obj.peers, 0),
      nullDb: finite(obj.null, -120),
      touched: int(obj.touched, 0),
      dip: numbers(obj.dip, BANDS, 0),
      // Band levels in dBFS, -120 for silence.
      src: numbers(obj.src, BANDS, -120),
      mask: numbers(obj.mask, BANDS, -120),
      bellDip: numbers(obj.bellDip, BELLS, 0),
      // The host bypasses the plug-in; no audio arrived lately.
      hostBypass: int(obj.hostBypass, 0) !== 0,
      stale: int(obj.stale, 0) !== 0,
    };
  }

  function validChannel(ch) {
    return ch >= 1 && ch <= CHANNELS;
  }

  function readSources(obj) {
    const list = [];
    for (const e of Array.isArray(obj.list) ? obj.list : []) {
      const ch = int(e && e.ch, 0);
      if (validChannel(ch)) list.push({ ch, name: text(e.name) });
    }
    return { kind: 'sources', list };
  }

  function readMatrix(obj) {
    const slots = [];
    for (const e of Array.isArray(obj.slots) ? obj.slots : []) {
      if (!e || typeof e !== 'object') continue;
      const ch = int(e.ch, 0);
      const role = int(e.role, 0);
      if (!validChannel(ch) || (role !== 1 && role !== 2)) continue;
      slots.push({
        ch,
        role,
        target: int(e.target, 0),
        pri: int(e.pri, 4),
        depth: finite(e.depth, 0),
        mute: int(e.mute, 0) !== 0,
        bal: finite(e.bal, 0),
        name: text(e.name),
        e: numbers(e.e, BANDS, 0),
        pid: Math.max(0, int(e.pid, 0)),
      });
    }
    const d = obj.diag && typeof obj.diag === 'object' ? obj.diag : {};
    return {
      kind: 'matrix',
      slots,
      diag: {
        src: int(d.src, 0),
        msk: int(d.msk, 0),
        my: int(d.my, -1),
        solo: int(d.solo, -1),
        me: text(d.me),
        ...readPlace(d),
      },
    };
  }

  // Where the instance meets its peers, once the host has named itself:
  // across the host's processes (xproc 1) or in this process only, its
  // process, whether it is the host's, the preference and why a shared
  // table was not used.
  const LINK_PREFERENCES = ['automatic', 'never', 'always'];
  function readPlace(d) {
    if (d.xproc !== 0 && d.xproc !== 1) return {};
    return {
      xproc: d.xproc,
      pid: Math.max(0, int(d.pid, 0)),
      inhost: int(d.inhost, 1) === 0 ? 0 : 1,
      link: LINK_PREFERENCES.includes(d.link) ? d.link : 'automatic',
      why: text(d.why),
    };
  }

  function readSettings(obj) {
    return {
      kind: 'settings',
      slot: int(obj.slot, 0) === 1 ? 1 : 0,
      preset: text(obj.preset),
      modified: int(obj.modified, 0) !== 0,
    };
  }

  const READERS = new Map([
    [TAG.meters, ['meters', readMeters]],
    [TAG.sources, ['sources', readSources]],
    [TAG.matrix, ['matrix', readMatrix]],
    [TAG.presets, ['presets', (o) => ({ kind: 'presets', json: o.json })]],
    [TAG.onboarded, ['onboarded', (o) => ({ kind: 'onboarded', onboarded: int(o.onboarded, 0) !== 0 })]],
    [TAG.settings, ['settings', readSettings]],
    [TAG.fileError, ['fileError', (o) => ({ kind: 'fileError', file: text(o.file), error: text(o.error) })]],
  ]);

  // One SAMFD call: the tag, and the base64 of a UTF-8 JSON text. Returns the
  // message in a checked form, or null for anything the page does not know
  // or cannot read (a cut text, a tag whose "t" does not match).
  function readMessage(tag, base64) {
    if (typeof base64 !== 'string' || base64.length === 0) return null;
    const body = decodeText(base64);
    let obj;
    try {
      obj = JSON.parse(body);
    } catch (e) {
      // Stored presets that are no JSON still tell the page the file exists,
      // so it can warn before replacing them.
      if (tag === TAG.presets && body.startsWith('{"t":"presets"')) return { kind: 'presets', unreadable: true };
      return null;
    }
    if (!obj || typeof obj !== 'object' || Array.isArray(obj)) return null;
    if (tag === TAG.params) return readParams(obj);
    const reader = READERS.get(tag);
    if (!reader || obj.t !== reader[0]) return null;
    return reader[1](obj);
  }

  // ---- Outgoing ----------------------------------------------------------

  // A plain decimal number the plug-in's string-to-number reading takes
  // whole: no exponent, at most six decimals, never NaN.
  function formatNumber(v) {
    if (!Number.isFinite(v) || Math.abs(v) >= 1e15) return null;
    let s = v.toFixed(6);
    if (s.indexOf('.') >= 0) s = s.replace(/0+$/, '').replace(/\.$/, '');
    return s === '-0' ? '0' : s;
  }

  function parameterText(paramIdx, value, gesture) {
    let s = '{"paramIdx":' + int(paramIdx, -1);
    if (value !== undefined && value !== null) {
      const v = formatNumber(value);
      if (v === null) return null;
      s += ',"value":' + v;
    }
    if (gesture) s += ',"gesture":"' + gesture + '"';
    return s + '}';
  }

  const MATRIX_FIELDS = new Set(['depth', 'pri', 'mute']);

  // One of "depth", "pri" or "mute" on channel ch; the plug-in reads the
  // number after "v":. A depth value inside a drag names its place in it
  // ("begin", "drag", "end"), so the drag is one gesture at the holder.
  function matrixEditText(ch, field, v, gesture) {
    if (!MATRIX_FIELDS.has(field) || !validChannel(ch)) return null;
    const value = formatNumber(v);
    if (value === null) return null;
    const g = gesture && field === 'depth' ? ',"gesture":"' + gesture + '"' : '';
    return '{"ch":' + Math.trunc(ch) + ',"' + field + '":1,"v":' + value + g + '}';
  }

  // A string member the plug-in reads up to the next unescaped quote.
  function quoted(s) {
    return '"' + String(s).replace(/[\\"]/g, (c) => '\\' + c) + '"';
  }

  // A preset applied as one edit: its values as parameter index and plain
  // value in turn, then its name (empty: the settings come from no preset).
  // The values go first: a name can never hide the key of the list.
  function presetText(name, edits) {
    const list = [];
    for (const e of edits || []) {
      const v = formatNumber(e.value);
      if (v === null || !Number.isInteger(e.idx) || e.idx < 0) continue;
      list.push(e.idx, v);
    }
    return '{"values":[' + list.join(',') + '],"preset":' + quoted(String(name || '').replace(/[\u0000-\u001f\u007f]/g, '')) + '}';
  }

  // Settings slot A (0) or B (1) made active, or the active one copied to
  // the other.
  function compareText(what) {
    return what === 'copy' ? '{"copy":1}' : '{"slot":' + (what === 1 ? 1 : 0) + '}';
  }

  // Channel 0 ends the solo.
  function soloText(ch) {
    const n = int(ch, 0);
    return '{"ch":' + (n >= 1 ? n : 0) + '}';
  }

  // The user's "Link across processes": one of LINK_PREFERENCES, else none.
  function linkPreferenceText(word) {
    return LINK_PREFERENCES.includes(word) ? '{"link":"' + word + '"}' : null;
  }

  // The plug-in opens only http and https addresses; a backslash keeps a
  // quote or a backslash inside the value.
  function linkText(url) {
    const s = String(url);
    if (!/^https?:\/\//.test(s) || /[\u0000-\u001f\u007f]/.test(s)) return null;
    return '{"url":' + quoted(s) + '}';
  }

  // The object handed to the injected PluginSendMsg.
  function arbitraryMessage(msgTag, payload) {
    const m = { msg: 'SAMFUI', msgTag, ctrlTag: -1 };
    if (payload !== undefined && payload !== null) m.data = encodeText(payload);
    return m;
  }

  return {
    TAG,
    BANDS,
    BELLS,
    CHANNELS,
    base64Encode,
    base64Decode,
    utf8Encode,
    utf8Decode,
    encodeText,
    decodeText,
    readMessage,
    formatNumber,
    parameterText,
    matrixEditText,
    presetText,
    compareText,
    soloText,
    linkText,
    linkPreferenceText,
    LINK_PREFERENCES,
    arbitraryMessage,
  };
});
