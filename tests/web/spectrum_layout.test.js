'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const SL = require('../../Resources/web/spectrum_layout.js');

// A canvas of 600 x 300: the plot runs from x 42 to 590, the levels from
// y 22 (146 high), the dips from y 176 (106 high).
const L = SL.layout(600, 300);

test('the areas of the canvas, and frequency to x and back along the band axis', () => {
  assert.deepEqual(L, { w: 600, h: 300, plotW: 548, specTop: 22, specH: 146, dipTop: 176, dipH: 106 });
  assert.equal(SL.xOfHz(L, 20), 42);
  assert.equal(SL.xOfHz(L, 20000), 590);
  for (const hz of [20, 90, 1000, 3150, 14500, 20000]) assert.ok(Math.abs(SL.hzOfX(L, SL.xOfHz(L, hz)) - hz) < 1e-6 * hz, String(hz));
  assert.ok(SL.xOfHz(L, 1000) < SL.xOfHz(L, 3150));
});

test('the band under the pointer, -1 outside the plot', () => {
  const cases = [
    // x, y -> band
    [42, 22, 0],
    [589.9, 281, 23],
    [42 + 548 / 2, 100, 12],
    [41.9, 100, -1],
    [590, 100, -1],
    [300, 21.9, -1],
    [300, 282.1, -1],
  ];
  for (const [x, y, band] of cases) assert.equal(SL.bandAt(L, x, y), band, `${x}, ${y}`);
});

test('what a press drags: a bell before the guards, only in a role that shapes the sound', () => {
  const descs = { low: 'low', high: 'high', bells: ['b1', 'b2', 'b3', 'b4'] };
  const bell = (freq, active) => ({ freq, active });
  const state = (over) => ({
    role: 2,
    lowGuard: 90,
    highGuard: 14500,
    bells: [bell(1000, true), bell(1000, true), bell(3150, false), bell(90, true)],
    bellListen: 0,
    ...over,
  });
  const at = (hz, dx) => SL.xOfHz(L, hz) + (dx || 0);
  const cases = [
    // name, state, descs, x, y -> key or null
    ['the last of two bells on one spot', state(), descs, at(1000), 100, 'bell1'],
    ['a bell within 7 px', state(), descs, at(1000, 7), 100, 'bell1'],
    ['a bell beyond 7 px', state(), descs, at(1000, 7.5), 100, null],
    ['an inactive bell', state(), descs, at(3150), 100, null],
    ['an inactive bell that is listened to', state({ bellListen: 3 }), descs, at(3150), 100, 'bell2'],
    ['a bell over the guard it covers', state(), descs, at(90), 100, 'bell3'],
    ['the guard without that bell', state({ bells: [] }), descs, at(90, 6), 100, 'low'],
    ['the high guard', state(), descs, at(14500, -6), 100, 'high'],
    ['a guard beyond 6 px', state({ bells: [] }), descs, at(90, 6.5), 100, null],
    ['a Self', state({ role: 3 }), descs, at(14500), 100, 'high'],
    ['a Source', state({ role: 1 }), descs, at(14500), 100, null],
    ['Off', state({ role: 0 }), descs, at(14500), 100, null],
    ['just above the levels', state(), descs, at(14500), 12, 'high'],
    ['too far above', state(), descs, at(14500), 11.9, null],
    ['below the dips', state(), descs, at(14500), 282.1, null],
    ['no description yet', state(), { low: null, high: null, bells: [] }, at(1000), 100, null],
  ];
  for (const [name, s, d, x, y, key] of cases) {
    const h = SL.hit(L, s, d, x, y);
    assert.equal(h && h.key, key, name);
    if (h) assert.equal(h.desc, { bell0: 'b1', bell1: 'b2', bell2: 'b3', bell3: 'b4', low: 'low', high: 'high' }[h.key], name);
  }
});

test('the hint follows what is under the pointer', () => {
  const cases = [
    [{ key: 'low' }, 100, 100, 'scope-low-guard'],
    [{ key: 'high' }, 100, 100, 'scope-high-guard'],
    [{ key: 'bell2' }, 100, 100, 'scope-bell'],
    [null, 301, 21, 'readout'],
    [null, 299, 21, 'scope'],
    [null, 400, 22, 'scope'],
  ];
  for (const [h, x, y, key] of cases) assert.equal(SL.tipKey(L, h, x, y), key, `${JSON.stringify(h)} ${x} ${y}`);
});

test('the readout of the band under the pointer says only what the role and state make true', () => {
  const m = { dip: Array(24).fill(0), src: Array(24).fill(-120) };
  m.dip[10] = -3.25;
  m.src[10] = -20.04;
  m.src[0] = -60;
  const cases = [
    [10, { role: 2, bypass: false }, m, 'band 11 · 1.47 kHz · dip -3.3 dB · Source -20.0 dBFS'],
    [0, { role: 2, bypass: false }, m, 'band 1 · 37 Hz · dip 0.0 dB · Source -60.0 dBFS'],
    [1, { role: 3, bypass: false }, m, 'band 2 · 95 Hz · dip 0.0 dB'],
    [10, { role: 1, bypass: false }, m, 'band 11 · 1.47 kHz · Source -20.0 dBFS'],
    [10, { role: 2, bypass: true }, m, 'band 11 · 1.47 kHz'],
    [10, { role: 0, bypass: false }, m, 'band 11 · 1.47 kHz'],
    [10, { role: 2, bypass: false }, null, 'band 11 · 1.47 kHz'],
  ];
  for (const [k, s, meters, line] of cases) assert.equal(SL.bandLine(k, s, meters), line, `${k} ${JSON.stringify(s)}`);
});

test('peak holds fall 8 dB a second, never below the new dips nor zero, a long pause counting a quarter second', () => {
  const cases = [
    // hold, dip, dt -> hold
    [10, -2, 0.1, 9.2],
    [10, -9.5, 0.1, 9.5],
    [10, -2, 5, 8],
    [1, 0, 1, 0],
    [0, -4, 0, 4],
    [3, 0, 0, 3],
  ];
  for (const [hold, dip, dt, want] of cases) {
    const h = Float32Array.of(hold);
    SL.fallHolds(h, [dip], dt);
    assert.ok(Math.abs(h[0] - want) < 1e-5, `${hold} ${dip} ${dt}: ${h[0]}`);
  }
});
