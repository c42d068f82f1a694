'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const K = require('../../Resources/web/knob_model.js');

test('a drag moves a knob by how far it travels: up raises it, Shift is ten times finer, held to the range', () => {
  const cases = [
    // start, dx, dy, fine -> value
    [0.5, 0, 0, false, 0.5],
    [0.5, 0, -40, false, 0.7],
    [0.5, 0, 40, false, 0.3],
    [0.5, 0, -40, true, 0.52],
    [0.5, 80, 0, false, 0.6], // sideways counts a quarter
    [0.5, 0, -200, false, 1],
    [0.9, 0, -100, false, 1],
    [0.1, 0, 100, false, 0],
  ];
  for (const [start, dx, dy, fine, want] of cases) {
    assert.ok(Math.abs(K.dragValue(start, dx, dy, fine) - want) < 1e-12, `${start} ${dx} ${dy} ${fine}`);
  }
});

test('keys: arrows one step, page keys ten, Home and End the ends, any other key nothing', () => {
  const cases = { ArrowUp: 1, ArrowRight: 1, ArrowDown: -1, ArrowLeft: -1, PageUp: 10, PageDown: -10, Home: 'min', End: 'max', Enter: 0, a: 0, ' ': 0 };
  for (const [key, want] of Object.entries(cases)) assert.equal(K.keySteps(key), want, key);
});

test('the dial sweeps 270 degrees from 7:30 to 4:30', () => {
  const cases = [
    // value -> pointer end (centre 30, 30, length 10)
    [0, { x: '22.93', y: '37.07' }],
    [0.5, { x: '30.00', y: '20.00' }],
    [1, { x: '37.07', y: '37.07' }],
  ];
  for (const [x, want] of cases) assert.deepEqual(K.pointerEnd(30, 30, 10, x), want, String(x));
  // Beyond 180 degrees of sweep the arc takes the large way round.
  assert.equal(K.arc(30, 30, 24, 0, 0.5), 'M13.03 46.97A24 24 0 0 1 30.00 6.00');
  assert.equal(K.arc(30, 30, 24, 0, 1), 'M13.03 46.97A24 24 0 1 1 46.97 46.97');
});
