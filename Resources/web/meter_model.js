// What the meters say: the deepest dip drawn now as a readable line, whether
// the meters are live or stand still (the host bypasses the plug-in, or no
// audio arrives), and the one level axis, in dBFS, that the Source's curve
// and this track's curve share. No DOM here.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelMeterModel = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  // A band dipped by less than this is not dipped: its bar shows nothing
  // and the readout must not claim a dip either.
  const NO_DIP_DB = -0.05;

  // The deepest dip among the bands of one report, or null for none.
  function deepestDip(dips) {
    let deepest = 0;
    for (let k = 0; k < (dips ? dips.length : 0); k++) {
      const d = dips[k];
      if (Number.isFinite(d) && d < deepest) deepest = d;
    }
    return deepest < NO_DIP_DB ? deepest : null;
  }

  function dipText(db) {
    return db === null ? 'no dip' : 'deepest ' + db.toFixed(1) + ' dB';
  }

  // Whether the meters show what is happening now. `meters` is the last
  // report (or null before the first one).
  function meterState(meters) {
    if (!meters) return { live: false, reason: 'waiting', text: 'Waiting for the first meters' };
    if (meters.hostBypass) return { live: false, reason: 'hostBypass', text: 'Bypassed by the host: the meters are paused' };
    if (meters.stale) return { live: false, reason: 'stale', text: 'No audio is arriving: the meters are paused' };
    return { live: true, reason: '', text: '' };
  }

  // The readout line while no band is under the pointer, for the role and
  // Bypass the page shows and the last meter report: the deepest dip of the
  // bars drawn now, or why there are none.
  function meterLine(state, meters) {
    if (state.bypass) return 'bypassed';
    if (state.role === 0) return 'Off';
    const live = meterState(meters);
    if (!live.live) return live.reason === 'hostBypass' ? 'bypassed by the host' : live.reason === 'stale' ? 'no audio' : '';
    if (state.role === 1) return 'a Source is never dipped';
    const touched = meters.touched;
    return dipText(deepestDip(meters.dip)) + ' · ' + touched + (touched === 1 ? ' band' : ' bands') + ' touched';
  }

  // The level axis of the spectrum: band RMS levels in dBFS.
  const LEVEL_TOP_DB = 0;
  const LEVEL_FLOOR_DB = -96;
  // Grid lines, labelled but for the floor (the dip scale's 0 sits there).
  const LEVEL_GRID_DB = [0, -24, -48, -72];

  // 0 at the top of the axis, 1 at its floor; levels outside are held to it.
  function levelFraction(db) {
    const v = Number.isFinite(db) ? Math.min(LEVEL_TOP_DB, Math.max(LEVEL_FLOOR_DB, db)) : LEVEL_FLOOR_DB;
    return (LEVEL_TOP_DB - v) / (LEVEL_TOP_DB - LEVEL_FLOOR_DB);
  }

  // This track's level after its dip: the gain-reduction curve drawn over
  // the spectrum (a dip below the track's floor stays at the floor).
  function levelAfterDip(levelDb, dipDb) {
    if (!(levelDb > LEVEL_FLOOR_DB)) return LEVEL_FLOOR_DB;
    return Math.max(LEVEL_FLOOR_DB, levelDb + Math.min(0, Number.isFinite(dipDb) ? dipDb : 0));
  }

  // A bell's meter for its dip in dB: the bar's fill (0..1 of 24 dB, a
  // scale text), its text, and what it shows in tenths of a dB, so that a
  // report that changes nothing visible writes nothing.
  const BELL_METER_RANGE_DB = 24;
  function bellMeter(db) {
    return {
      shown: Math.round(db * 10),
      fill: Math.min(1, Math.max(0, -db / BELL_METER_RANGE_DB)).toFixed(3),
      text: (db < 0 ? db.toFixed(1) : '0.0') + ' dB',
    };
  }

  return {
    NO_DIP_DB,
    bellMeter,
    LEVEL_TOP_DB,
    LEVEL_FLOOR_DB,
    LEVEL_GRID_DB,
    deepestDip,
    dipText,
    meterLine,
    meterState,
    levelFraction,
    levelAfterDip,
  };
});
