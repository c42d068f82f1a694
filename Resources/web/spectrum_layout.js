// The spectrum's geometry and what the pointer means on it: where the level
// and dip areas sit in a canvas of a given size, frequency to x and back,
// the band under the pointer, the guard or bell it would drag, the hint and
// readout line for it, and the peak holds' fall. No DOM here
// (spectrum_view.js draws and listens).
(function (root, make) {
  const bands = typeof require === 'function' ? require('./bands.js') : root.OstrelBands;
  const api = make(bands);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelSpectrumLayout = api;
})(typeof self !== 'undefined' ? self : this, function (B) {
  'use strict';

  const PAD = { left: 42, right: 10, top: 22, bottom: 18 };
  const HOLD_FALL_DB_PER_S = 8;
  // How near (px) the pointer must be to a bell's or a guard's line.
  const BELL_REACH = 7;
  const GUARD_REACH = 6;

  // The areas of a canvas of w x h: the levels above (56 % of the plot),
  // the dips below after a gap of 8.
  function layout(w, h) {
    const plotW = w - PAD.left - PAD.right;
    const plotH = h - PAD.top - PAD.bottom;
    const specTop = PAD.top;
    const specH = Math.round(plotH * 0.56);
    const dipTop = specTop + specH + 8;
    return { w, h, plotW, specTop, specH, dipTop, dipH: h - PAD.bottom - dipTop };
  }

  function xOfAxis(l, a) {
    return PAD.left + a * l.plotW;
  }

  function xOfHz(l, hz) {
    return xOfAxis(l, B.axisOf(hz));
  }

  function hzOfX(l, x) {
    return B.hzOfAxis((x - PAD.left) / l.plotW);
  }

  // The band under (x, y), or -1 outside the plot.
  function bandAt(l, x, y) {
    if (x < PAD.left || x >= PAD.left + l.plotW || y < l.specTop || y > l.dipTop + l.dipH) return -1;
    return Math.floor(((x - PAD.left) / l.plotW) * B.COUNT);
  }

  // What a press at (x, y) would drag: an active (or listened) bell before
  // the guards, the last bell first; only in a role that shapes the sound.
  // state: { role, lowGuard, highGuard, bells: [{ freq, active }],
  // bellListen }; descs: { low, high, bells: [] }. { desc, key } or null.
  function hit(l, state, descs, x, y) {
    if (state.role !== 2 && state.role !== 3) return null;
    if (y < l.specTop - 10 || y > l.dipTop + l.dipH) return null;
    const near = (hz, range) => Math.abs(xOfHz(l, hz) - x) <= range;
    for (let i = state.bells.length - 1; i >= 0; i--) {
      const b = state.bells[i];
      if ((b.active || state.bellListen === i + 1) && near(b.freq, BELL_REACH) && descs.bells[i]) return { desc: descs.bells[i], key: 'bell' + i };
    }
    if (descs.high && near(state.highGuard, GUARD_REACH)) return { desc: descs.high, key: 'high' };
    if (descs.low && near(state.lowGuard, GUARD_REACH)) return { desc: descs.low, key: 'low' };
    return null;
  }

  // The hint's key (help_texts.js) for what is under the pointer.
  function tipKey(l, h, x, y) {
    if (h) return h.key === 'low' ? 'scope-low-guard' : h.key === 'high' ? 'scope-high-guard' : 'scope-bell';
    return y < PAD.top && x > l.w / 2 ? 'readout' : 'scope';
  }

  // The readout for band k under the pointer: its centre, its dip (not for
  // a Source) and the Source's level, while the plug-in is at work.
  function bandLine(k, state, meters) {
    const m = meters;
    const active = !state.bypass && state.role !== 0;
    const f = B.CENTRES[k];
    let t = 'band ' + (k + 1) + ' · ' + (f >= 1000 ? (f / 1000).toFixed(2) + ' kHz' : Math.round(f) + ' Hz');
    if (m && active && state.role !== 1) t += ' · dip ' + (m.dip[k] < 0 ? m.dip[k].toFixed(1) : '0.0') + ' dB';
    if (m && active && m.src[k] > -120) t += ' · Source ' + m.src[k].toFixed(1) + ' dBFS';
    return t;
  }

  // The peak holds (dB of dip, positive) after dt seconds, at least the new
  // dips; dt is at most a quarter second, so a pause does not drop them.
  function fallHolds(hold, dip, dtSeconds) {
    const dt = Math.min(0.25, dtSeconds);
    for (let k = 0; k < hold.length; k++) hold[k] = Math.max(-dip[k], hold[k] - HOLD_FALL_DB_PER_S * dt, 0);
  }

  return { PAD, layout, xOfAxis, xOfHz, hzOfX, bandAt, hit, tipKey, bandLine, fallHolds };
});
