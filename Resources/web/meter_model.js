// What the meters say: the deepest current dip as a readable line, whether
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

  // The readout changes at most every HOLD_MS, to the deepest dip of the
  // reports received since its last change: readable, and never older than
  // a quarter of a second.
  const HOLD_MS = 250;

  class DeepestReadout {
    constructor() {
      this.shown = null; // dB, or null for "no dip"
      this.pending = undefined; // deepest since the last change; undefined: no report
      this.changedAt = -Infinity;
    }

    // One meter report; returns the text to show.
    feed(dips, nowMs) {
      const d = deepestDip(dips);
      if (this.pending === undefined || (d !== null && (this.pending === null || d < this.pending))) this.pending = d;
      if (nowMs - this.changedAt >= HOLD_MS) {
        this.shown = this.pending;
        this.pending = undefined;
        this.changedAt = nowMs;
      }
      return this.text();
    }

    text() {
      return dipText(this.shown);
    }

    reset() {
      this.shown = null;
      this.pending = undefined;
      this.changedAt = -Infinity;
    }
  }

  // Whether the meters show what is happening now. `meters` is the last
  // report (or null before the first one).
  function meterState(meters) {
    if (!meters) return { live: false, reason: 'waiting', text: 'Waiting for the first meters' };
    if (meters.hostBypass) return { live: false, reason: 'hostBypass', text: 'Bypassed by the host: the meters are paused' };
    if (meters.stale) return { live: false, reason: 'stale', text: 'No audio is arriving: the meters are paused' };
    return { live: true, reason: '', text: '' };
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

  return {
    NO_DIP_DB,
    HOLD_MS,
    LEVEL_TOP_DB,
    LEVEL_FLOOR_DB,
    LEVEL_GRID_DB,
    deepestDip,
    dipText,
    DeepestReadout,
    meterState,
    levelFraction,
    levelAfterDip,
  };
});
