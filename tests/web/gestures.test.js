'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { ParamSender, NUDGE_END_MS } = require('../../Resources/web/gestures.js');
const reader = require('./plugin_reader.js');

function recorder() {
  const sent = [];
  return { sent, sender: new ParamSender((t) => sent.push(t)) };
}

// What the plug-in makes of the texts: [paramIdx, value or undefined, gesture].
const seen = (texts) => texts.map((t) => [reader.integer(t, 'paramIdx'), reader.real(t, 'value'), reader.quoted(t, 'gesture')]);

test('a drag is one gesture: begin with the first value, coalesced moves, end with the last', () => {
  const { sent, sender } = recorder();
  sender.begin(2, 50);
  sender.move(2, 51);
  sender.move(2, 52.5);
  sender.flush(0);
  sender.flush(16); // nothing moved since
  sender.move(2, 60);
  sender.end(2, 61);
  assert.deepEqual(seen(sent), [
    [2, 50, 'begin'],
    [2, 52.5, ''],
    [2, 61, 'end'],
  ]);
  assert.equal(sender.isHeld(2), false);
});

test('the plug-in\'s echoes are held back only while the page holds that parameter', () => {
  const { sender } = recorder();
  sender.begin(6, 100);
  assert.equal(sender.isHeld(6), true);
  assert.equal(sender.isHeld(7), false);
  sender.end(6);
  assert.equal(sender.isHeld(6), false);
});

test('ending without a value sends the last unsent move, or only the end', () => {
  const a = recorder();
  a.sender.begin(4, 10);
  a.sender.move(4, 12);
  a.sender.end(4);
  assert.deepEqual(seen(a.sent).at(-1), [4, 12, 'end']);
  const b = recorder();
  b.sender.begin(4, 10);
  b.sender.end(4);
  assert.deepEqual(seen(b.sent).at(-1), [4, undefined, 'end']);
  assert.equal(b.sent.at(-1), '{"paramIdx":4,"gesture":"end"}');
});

test('a click is one complete edit without a gesture', () => {
  const { sent, sender } = recorder();
  sender.set(3, 1);
  assert.deepEqual(sent, ['{"paramIdx":3,"value":1}']);
  assert.equal(sender.isHeld(3), false);
});

test('a burst of wheel steps is one gesture that ends once the burst pauses', () => {
  const { sent, sender } = recorder();
  sender.nudge(26, 5, 1000);
  sender.nudge(26, 6, 1100);
  sender.flush(1116);
  sender.nudge(26, 7, 1300);
  sender.flush(1300 + NUDGE_END_MS - 1);
  assert.equal(sender.isHeld(26), true);
  sender.flush(1300 + NUDGE_END_MS);
  assert.equal(sender.isHeld(26), false);
  assert.deepEqual(seen(sent), [
    [26, 5, 'begin'],
    [26, 6, ''],
    [26, 7, ''],
    [26, undefined, 'end'],
  ]);
});

test('grabbing a knob in the middle of a wheel burst keeps one gesture open until release', () => {
  const { sent, sender } = recorder();
  sender.nudge(2, 30, 0);
  sender.begin(2, 31);
  sender.flush(10 * NUDGE_END_MS); // the drag is not ended by the burst's clock
  assert.equal(sender.isHeld(2), true);
  sender.end(2, 35);
  assert.deepEqual(seen(sent), [
    [2, 30, 'begin'],
    [2, 31, ''],
    [2, 35, 'end'],
  ]);
});

test('closing ends every open gesture exactly once', () => {
  const { sent, sender } = recorder();
  sender.begin(2, 1);
  sender.begin(8, 440);
  sender.endAll();
  sender.endAll();
  assert.deepEqual(seen(sent).filter((m) => m[2] === 'end').map((m) => m[0]).sort(), [2, 8]);
});

test('a value that cannot be written is not sent', () => {
  const { sent, sender } = recorder();
  sender.set(2, NaN);
  assert.deepEqual(sent, []);
});

test('the end of a drag carries no value the plug-in already has', () => {
  const { sent, sender } = recorder();
  sender.begin(2, 50);
  sender.move(2, 55);
  sender.flush(16);
  sender.end(2, 55);
  assert.deepEqual(sent, ['{"paramIdx":2,"value":50,"gesture":"begin"}', '{"paramIdx":2,"value":55}', '{"paramIdx":2,"gesture":"end"}']);
  // A value that moved back to the first one after a flush is sent again.
  const b = recorder();
  b.sender.begin(2, 50);
  b.sender.move(2, 55);
  b.sender.flush(16);
  b.sender.end(2, 50);
  assert.deepEqual(seen(b.sent).at(-1), [2, 50, 'end']);
});
