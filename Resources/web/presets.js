// The page's preset collection. The plug-in stores the collection's text as
// it comes and hands it back unchanged, so the format is the page's own:
//
//   {"format":"ostrel-presets","version":1,
//    "params":["Depth","Selectivity",...],
//    "presets":[{"name":"Lead vocal","values":[40,11,...]}]}
//
// Parameter names are listed once and values follow that order, which keeps
// the text small (it travels back inside one script of at most 8192
// characters) and lets a later parameter table add or reorder parameters.
// A preset holds the sound of an instance, not its place in the session:
// Role, Channel, Sidechain, Bypass and the two listen switches stay as they
// are when a preset is applied. No DOM here.
(function (root, make) {
  const params = typeof require === 'function' ? require('./params.js') : root.OstrelParams;
  const wire = typeof require === 'function' ? require('./wire.js') : root.OstrelWire;
  const api = make(params, wire);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelPresets = api;
})(typeof self !== 'undefined' ? self : this, function (params, wire) {
  'use strict';

  const FORMAT = 'ostrel-presets';
  const VERSION = 1;
  const NOT_STORED = new Set(['Role', 'Channel', 'Sidechain', 'Bypass', 'Listen', 'Bell Listen']);
  const MAX_NAME = 40;

  // The stored text comes back whole inside one "SAMFD" script (the plug-in
  // sizes arbitrary-message scripts to their content). The cap only keeps the
  // presets file and that script to a size a page refresh handles at once:
  // a few hundred presets.
  const MAX_STORED_BYTES = 65536;

  function returnScriptLength(storedBytes) {
    const messageBytes = '{"t":"presets","json":'.length + storedBytes + 1;
    const base64 = 4 * Math.ceil(messageBytes / 3);
    return ('SAMFD(11, ' + (base64 + 1) + ", '").length + base64 + "')".length;
  }

  function storedNames(paramSet) {
    return paramSet.list.filter((d) => !NOT_STORED.has(d.name)).map((d) => d.name);
  }

  function emptyCollection() {
    return { presets: [] };
  }

  function cleanName(name) {
    if (typeof name !== 'string') return '';
    return name
      .replace(/[\u0000-\u001f\u007f]/g, '')
      .trim()
      .slice(0, MAX_NAME);
  }

  // Reads a stored collection; anything unreadable in it is left out.
  // Returns { presets: [{ name, values: Map(name -> plain) }] }.
  function readCollection(json) {
    const out = emptyCollection();
    if (!json || typeof json !== 'object' || json.format !== FORMAT || !Array.isArray(json.presets)) return out;
    const names = Array.isArray(json.params) ? json.params.map((n) => (typeof n === 'string' ? n : '')) : [];
    const seen = new Set();
    for (const p of json.presets) {
      if (!p || typeof p !== 'object') continue;
      const name = cleanName(p.name);
      if (name === '' || seen.has(name.toLowerCase())) continue;
      const values = new Map();
      const list = Array.isArray(p.values) ? p.values : [];
      for (let i = 0; i < names.length && i < list.length; i++) {
        if (names[i] !== '' && typeof list[i] === 'number' && Number.isFinite(list[i])) values.set(names[i], list[i]);
      }
      seen.add(name.toLowerCase());
      out.presets.push({ name, values });
    }
    return out;
  }

  // The collection as stored. Parameters named by a preset that the current
  // table does not know are kept, so nothing is lost on the way through.
  function writeCollection(collection, paramSet) {
    const names = storedNames(paramSet);
    for (const p of collection.presets) for (const n of p.values.keys()) if (!names.includes(n)) names.push(n);
    const presets = collection.presets.map((p) => ({
      name: p.name,
      values: names.map((n) => {
        const s = p.values.has(n) ? wire.formatNumber(p.values.get(n)) : null;
        return s === null ? null : Number(s);
      }),
    }));
    return JSON.stringify({ format: FORMAT, version: VERSION, params: names, presets });
  }

  function byteLength(text) {
    return wire.utf8Encode(text).length;
  }

  function find(collection, name) {
    const key = cleanName(name).toLowerCase();
    return collection.presets.find((p) => p.name.toLowerCase() === key) || null;
  }

  // The current values (plain, by parameter index) as a preset.
  function capture(name, paramSet, valuesById) {
    const values = new Map();
    for (const n of storedNames(paramSet)) {
      const d = paramSet.byName.get(n);
      if (valuesById.has(d.id)) values.set(n, params.clampPlain(d, valuesById.get(d.id)));
    }
    return { name: cleanName(name), values };
  }

  // A new collection with the preset stored under its name (replacing one of
  // the same name, whatever its case), sorted by name. Returns
  // { collection, text } or { error } when the name is empty or the text
  // would no longer come back whole.
  function store(collection, preset, paramSet) {
    if (preset.name === '') return { error: 'Give the preset a name' };
    const key = preset.name.toLowerCase();
    const presets = collection.presets.filter((p) => p.name.toLowerCase() !== key);
    presets.push(preset);
    presets.sort((a, b) => a.name.localeCompare(b.name));
    const next = { presets };
    const text = writeCollection(next, paramSet);
    if (byteLength(text) > MAX_STORED_BYTES) return { error: 'No room for more presets: delete one first' };
    return { collection: next, text };
  }

  function remove(collection, name, paramSet) {
    const key = cleanName(name).toLowerCase();
    const next = { presets: collection.presets.filter((p) => p.name.toLowerCase() !== key) };
    return { collection: next, text: writeCollection(next, paramSet) };
  }

  // What applying a preset sets: [{ idx, value }] for every stored value the
  // current table knows. The plug-in applies them as one edit and keeps
  // them, to mark the preset modified once the settings move away.
  function applied(preset, paramSet) {
    const out = [];
    for (const [name, stored] of preset.values) {
      if (NOT_STORED.has(name)) continue;
      const d = paramSet.byName.get(name);
      if (d) out.push({ idx: d.id, value: params.clampPlain(d, stored) });
    }
    return out;
  }

  // Those of them that differ from the current values.
  function edits(preset, paramSet, valuesById) {
    return applied(preset, paramSet).filter((e) => {
      const d = paramSet.byId.get(e.idx);
      const now = valuesById.get(e.idx);
      return now === undefined || Math.abs(params.clampPlain(d, now) - e.value) > 1e-9;
    });
  }

  // Whether the current values are those of the preset (for the "modified"
  // mark next to its name).
  function matches(preset, paramSet, valuesById) {
    return edits(preset, paramSet, valuesById).length === 0;
  }

  // Starting points that ship with the page; they cannot be deleted.
  function bell(k, freq, q, depth, active) {
    return [
      ['Bell ' + k + ' Freq', freq],
      ['Bell ' + k + ' Q', q],
      ['Bell ' + k + ' Depth', depth],
      ['Bell ' + k + ' Active', active],
    ];
  }
  function factory(name, main, bells) {
    const flat = [
      ['Depth', main[0]],
      ['Selectivity', main[1]],
      ['Low Guard', main[2]],
      ['High Guard', main[3]],
      ['Priority', main[4]],
    ];
    for (let k = 1; k <= 4; k++) flat.push(...bell(k, ...(bells[k - 1] || [1000, 1.5, 0, 0])));
    return { name, values: new Map(flat), factory: true };
  }
  const FACTORY = [
    factory('Gentle make-room', [30, 11, 20, 20000, 4], []),
    factory('Vocal forward', [55, 25, 120, 16000, 3], [[3000, 1.2, 20, 1]]),
    factory('Dialogue over music', [75, 35, 150, 12000, 2], [[2500, 0.9, 30, 1]]),
    factory('Kick against bass', [60, 20, 20, 2000, 4], [[60, 2, 35, 1]]),
    factory('Self: tame resonances', [40, 60, 60, 18000, 4], []),
  ];

  // The header's preset button: the preset's name, starred when the
  // settings have moved away from it, or "Presets"; and what its hint says
  // before the general help (the name may be cut in the header).
  function headerLabel(name, modified) {
    if (name === null) return { text: 'Presets', tipLead: '' };
    return modified ? { text: name + ' *', tipLead: name + ': changed since it was loaded. ' } : { text: name, tipLead: name + '. ' };
  }

  return {
    FORMAT,
    headerLabel,
    MAX_STORED_BYTES,
    FACTORY,
    returnScriptLength,
    storedNames,
    emptyCollection,
    cleanName,
    readCollection,
    writeCollection,
    byteLength,
    find,
    capture,
    store,
    remove,
    applied,
    edits,
    matches,
  };
});
