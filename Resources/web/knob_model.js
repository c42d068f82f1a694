// A knob's arithmetic: the dial's arc and pointer for a normalised value,
// the value a vertical drag reaches, and the steps each key moves it. No
// DOM here (controls.js draws and listens).
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelKnobModel = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  // The dial sweeps 270 degrees, from 7:30 to 4:30.
  const START = (135 * Math.PI) / 180;
  const SWEEP = (270 * Math.PI) / 180;
  // Pixels of travel for the whole range; Shift makes them ten times more.
  const TRAVEL_PX = 200;
  const FINE_TRAVEL_PX = 2000;

  // An SVG path along the dial's circle (centre cx, cy, radius r) from the
  // normalised value `from` to `to`.
  function arc(cx, cy, r, from, to) {
    const a0 = START + from * SWEEP;
    const a1 = START + to * SWEEP;
    const x0 = cx + r * Math.cos(a0);
    const y0 = cy + r * Math.sin(a0);
    const x1 = cx + r * Math.cos(a1);
    const y1 = cy + r * Math.sin(a1);
    const large = (to - from) * 270 > 180 ? 1 : 0;
    return `M${x0.toFixed(2)} ${y0.toFixed(2)}A${r} ${r} 0 ${large} 1 ${x1.toFixed(2)} ${y1.toFixed(2)}`;
  }

  // Where the pointer of length `length` from (cx, cy) ends at value x.
  function pointerEnd(cx, cy, length, x) {
    const a = START + x * SWEEP;
    return { x: (cx + length * Math.cos(a)).toFixed(2), y: (cy + length * Math.sin(a)).toFixed(2) };
  }

  // The normalised value after a drag by (dx, dy) screen pixels from a
  // press at value `startNorm`: up raises it, a sideways move counts a
  // quarter; held to 0..1.
  function dragValue(startNorm, dx, dy, fine) {
    const travel = -dy + dx * 0.25;
    return Math.min(1, Math.max(0, startNorm + travel / (fine ? FINE_TRAVEL_PX : TRAVEL_PX)));
  }

  // The steps a key moves the knob by, 'min' or 'max' for Home and End, or
  // 0 for a key the knob leaves alone.
  function keySteps(key) {
    switch (key) {
      case 'ArrowUp':
      case 'ArrowRight':
        return 1;
      case 'ArrowDown':
      case 'ArrowLeft':
        return -1;
      case 'PageUp':
        return 10;
      case 'PageDown':
        return -10;
      case 'Home':
        return 'min';
      case 'End':
        return 'max';
      default:
        return 0;
    }
  }

  return { arc, pointerEnd, dragValue, keySteps, TRAVEL_PX, FINE_TRAVEL_PX };
});
