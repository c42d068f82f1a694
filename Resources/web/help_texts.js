// The page's hints: one short text for every control and every symbol of
// the link matrix, shown by tooltips.js when the pointer rests on it (the
// web view shows no tooltips of its own). Parameters are found by their
// name, the other elements by a key. No DOM here.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelHelpTexts = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const BELL = {
    Freq: (k) => 'Bell ' + k + ' frequency: the centre of the range this bell dips. Drag its marker in the spectrum, or this knob.',
    Q: (k) => 'Bell ' + k + ' Q: how narrow the bell is. Higher values dip a narrower range around its frequency.',
    Depth: (k) => 'Bell ' + k + ' depth: how far the bell may dip its range when that range covers the Source.',
    Active: (k) => 'Bell ' + k + ' on or off. A bell dips only while it is on.',
  };

  const PARAMS = {
    Role:
      'Source: the track that must stay clear; it is never dipped. Masker: a track that makes room for the Source on its Channel. ' +
      'Self: works alone and tames the bands of its own track that stand out. Off: passes the signal through.',
    Channel:
      'Source: the channel it publishes on (one Source per channel). Masker: the channel of the Source it makes room for. ' +
      'Channels with a live Source show its track name.',
    Depth: 'How deep the dips may go: 0 % leaves the track alone, 100 % removes as much as masks the Source.',
    Bypass: "Ostrel's own bypass: every dip is released smoothly and the signal passes untouched (with the same latency).",
    Selectivity:
      'How far a band must stand out before it is touched. Low values dip wherever the track covers the Source; high values only its loudest bands.',
    Listen: 'Hear only what is being removed, to check that nothing important goes. Turn it off before you mix on.',
    'Low Guard': 'Bands below this frequency are never dipped: keeps the low end (kick, bass) intact.',
    'High Guard': 'Bands above this frequency are never dipped: keeps air and sparkle intact.',
    Sidechain: "Masker: take the Source from this instance's sidechain input instead of from a Source instance.",
    'Bell Listen': 'Hear only what one bell removes.',
    Priority:
      'Source: how far below it its Maskers are held. 1 protects the Source most (Maskers kept 18 dB below), 8 least (3 dB).',
  };
  for (let k = 1; k <= 4; k++) for (const part of Object.keys(BELL)) PARAMS['Bell ' + k + ' ' + part] = BELL[part](k);

  const SYMBOLS = {
    // Header.
    brand: 'Ostrel: keeps the important track of a mix audible by dipping the others only where, and while, they cover it.',
    presets: 'Presets: starting points and your own saved settings, shared by every Ostrel. An asterisk marks changes since loading.',
    guide: 'A quick guide to the first steps.',
    manual: 'The manual: roles, a first session step by step, every control, the link matrix and troubleshooting.',
    'compare-a': 'Settings A. Switch between A and B to compare two settings; both are kept with the project.',
    'compare-b': 'Settings B: compare with A. Both are kept with the project.',
    'compare-copy-ab': 'Copy the settings of A to B.',
    'compare-copy-ba': 'Copy the settings of B to A.',
    // The spectrum.
    scope:
      'Upper part: the Source (teal) and this track (amber) in dBFS, and this track after the dips (dashed). Lower part: the dip of each band, with its recent deepest.',
    'scope-low-guard': 'Low Guard: drag to move. Nothing below it is dipped.',
    'scope-high-guard': 'High Guard: drag to move. Nothing above it is dipped.',
    'scope-bell': 'A bell: drag along the axis to move its frequency.',
    readout: 'The deepest dip of any band right now, and how many bands are being dipped.',
    'bell-meter': 'How deep this bell dips right now.',
    // Tabs and status.
    'tab-matrix': 'Every Source and Masker of the session, wherever they sit.',
    'tab-bells': 'Four dynamic bells: dips at frequencies you choose, only while they cover the Source.',
    status: 'Where this instance stands: its role, its link to a Source, and what is wrong when something is.',
    resize: 'Drag to resize the editor.',
    // The link matrix.
    'matrix-source-channel': 'The channel this Source publishes on.',
    'matrix-masker-channel': 'The channel this Masker follows: the Source it makes room for.',
    'matrix-no-channel': 'This Masker follows a channel without a live Source.',
    'matrix-solo': 'S, solo: hear what this instance removes (for a Source, what its Maskers remove), without touching its settings. Click again to end.',
    'matrix-mute': 'M, mute: this Masker stops dipping while its settings stay as they are. On a Source it is stored and has no effect.',
    'matrix-balance':
      'Stereo balance of the track: C centred, L2 a little to the left, R30 clearly to the right (100 is one side only). A Masker panned away from its Source is dipped less.',
    'matrix-priority': 'Priority of this Source: 1 protects it most, 8 least. Use − and + to change it from here.',
    'matrix-depth': "Depth of this Masker: drag to change it from here. It moves the Masker's own Depth knob.",
    'matrix-levels': 'The band levels this instance publishes, lowest band on the left.',
    'matrix-this': 'The row of this instance.',
    'matrix-end-solo': 'End the solo.',
    'matrix-link-preference':
      'Link across processes. Auto: instances of one host link, also when the host runs plug-ins in processes of their own; two hosts never do. Never: only instances in the same process link. Always: every host you run links. Kept for your user account; every open instance follows within a second.',
    'matrix-unlinked': 'Maskers whose channel has no live Source: they do not dip until a Source plays there.',
  };

  // The hint for a parameter's control, or for a symbol's key; '' if none.
  function forParam(name) {
    return PARAMS[name] || '';
  }

  function forSymbol(key) {
    return SYMBOLS[key] || '';
  }

  return { PARAMS, SYMBOLS, forParam, forSymbol };
});
