// The 24 analysis bands, equally spaced on the ERB-rate scale from 20 Hz to
// 20 kHz, and the frequency axis the page draws on: every band gets the same
// width, so a frequency's place on the axis is its ERB rate. No DOM here.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelBands = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const COUNT = 24;
  const LOW_HZ = 20;
  const HIGH_HZ = 20000;

  function erbRate(hz) {
    return 21.4 * Math.log10(1 + (4.37 * hz) / 1000);
  }

  function hzOfErbRate(e) {
    return ((Math.pow(10, e / 21.4) - 1) / 4.37) * 1000;
  }

  const E0 = erbRate(LOW_HZ);
  const SPAN = erbRate(HIGH_HZ) - E0;

  // Band k spans from LIMITS[k] to LIMITS[k + 1].
  const LIMITS = [];
  for (let j = 0; j <= COUNT; j++) LIMITS.push(j === 0 ? LOW_HZ : j === COUNT ? HIGH_HZ : hzOfErbRate(E0 + (SPAN * j) / COUNT));
  const CENTRES = [];
  for (let k = 0; k < COUNT; k++) CENTRES.push(Math.sqrt(LIMITS[k] * LIMITS[k + 1]));

  // Place on the axis, 0 (20 Hz) .. 1 (20 kHz); outside values are clamped.
  function axisOf(hz) {
    const f = Math.min(HIGH_HZ, Math.max(LOW_HZ, hz));
    return (erbRate(f) - E0) / SPAN;
  }

  function hzOfAxis(x) {
    return hzOfErbRate(E0 + Math.min(1, Math.max(0, x)) * SPAN);
  }

  // The band that holds a frequency.
  function bandOf(hz) {
    return Math.min(COUNT - 1, Math.floor(axisOf(hz) * COUNT));
  }

  // Axis labels that stay apart on the ERB axis.
  const GRID = [
    [50, '50'],
    [100, '100'],
    [200, '200'],
    [500, '500'],
    [1000, '1k'],
    [2000, '2k'],
    [5000, '5k'],
    [10000, '10k'],
    [20000, '20k'],
  ];

  // Levels in the matrix report are linear RMS x 1000, 0 for silence.
  function levelDb(reported) {
    return reported > 0 ? 20 * Math.log10(reported / 1000) : -Infinity;
  }

  // The page's meters are relative amplitudes 0..1 (1 = loudest band).
  function relativeDb(amplitude, floorDb) {
    return amplitude > 0 ? Math.max(floorDb, 20 * Math.log10(amplitude)) : floorDb;
  }

  return { COUNT, LOW_HZ, HIGH_HZ, LIMITS, CENTRES, GRID, axisOf, hzOfAxis, bandOf, levelDb, relativeDb };
});
