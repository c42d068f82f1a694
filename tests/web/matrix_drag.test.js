'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { DepthDrag, SEND_EVERY_MS } = require('../../Resources/web/matrix_drag.js');

// Plays pointer events on a slider that shows `value` when pressed at
// x = 100 (200 px of travel for the whole range): ['move', x, ms, shift] and ['flush', ms]; returns what was sent
// as [value, gesture] and the values shown.
function play(value, events) {
  const sent = [];
  const shown = [];
  const drag = new DepthDrag((v, gesture) => sent.push([v, gesture]));
  drag.start(100, value, false);
  for (const [kind, a, b, c] of events) {
    if (kind === 'move') shown.push(drag.move(a, !!c, b));
    else if (kind === 'flush') drag.flush(a);
  }
  drag.end();
  return { sent, shown };
}

test('a drag moves by the distance travelled, never to where it was pressed', () => {
  // [label, value at the press, events, values shown]
  const cases = [
    ['a press in the middle of a low value', 10, [['move', 102, 0]], [11]],
    ['right by a quarter of the travel', 30, [['move', 150, 0]], [55]],
    ['left by a tenth', 30, [['move', 80, 0]], [20]],
    ['past either end', 90, [['move', 400, 0], ['move', -400, 500]], [100, 0]],
    ['with Shift, ten times finer', 30, [['move', 100, 0, true], ['move', 140, 0, true]], [30, 32]],
    ['Shift pressed mid-drag keeps the value', 30, [['move', 140, 0], ['move', 140, 200, true], ['move', 180, 400, true]], [50, 50, 52]],
  ];
  for (const [label, value, events, shown] of cases) assert.deepEqual(play(value, events).shown, shown, label);
});

test('one drag is one gesture: begin once, values at most ten a second, end once with the last', () => {
  const step = SEND_EVERY_MS;
  const { sent } = play(40, [
    ['move', 110, 0],
    ['move', 120, 10],
    ['move', 130, 20],
    ['move', 140, step],
    ['move', 150, step + 30],
    ['flush', 2 * step],
    ['flush', 2 * step + 10],
    ['move', 160, 2 * step + 20],
  ]);
  assert.deepEqual(sent, [
    [45, 'begin'],
    [60, 'drag'],
    [65, 'drag'],
    [70, 'end'],
  ]);
});

test('a press without a change sends nothing', () => {
  const cases = [
    ['no move', []],
    ['moves too small to change the value', [['move', 100.4, 0], ['move', 99.6, 10]]],
  ];
  for (const [label, events] of cases) assert.deepEqual(play(50, events).sent, [], label);
});
