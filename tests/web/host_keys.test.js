'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { HostKeyTracker, KeyActivationGuard, takesText, typedEdit } = require('../../Resources/web/host_keys.js');

// Just enough of a document: listeners, an active element, and a way to
// move the focus the way a browser does (focusout, then focusin).
class FakeDocument {
  constructor() {
    this.listeners = new Map();
    this.activeElement = null;
  }
  addEventListener(type, fn) {
    if (!this.listeners.has(type)) this.listeners.set(type, []);
    this.listeners.get(type).push(fn);
  }
  fire(type, e) {
    for (const fn of this.listeners.get(type) || []) fn(e || {});
  }
  focus(el) {
    if (this.activeElement) this.fire('focusout', { target: this.activeElement });
    this.activeElement = el;
    if (el) this.fire('focusin', { target: el });
  }
}

const field = (type) => ({ tagName: 'INPUT', type, isConnected: true });
const button = () => ({ tagName: 'BUTTON', isConnected: true });

function rig() {
  const doc = new FakeDocument();
  const sent = [];
  const queued = [];
  const tracker = new HostKeyTracker(doc, (on) => sent.push(on), (fn) => queued.push(fn));
  const settle = () => queued.splice(0).forEach((fn) => fn());
  return { doc, sent, tracker, settle };
}

test('text fields take typed text, other controls do not', () => {
  const cases = [
    [field('text'), true],
    [field(''), true],
    [field('number'), true],
    [field('checkbox'), false],
    [field('range'), false],
    [{ tagName: 'TEXTAREA', isConnected: true }, true],
    [{ tagName: 'DIV', isContentEditable: true, isConnected: true }, true],
    [button(), false],
    [{ ...field('text'), isConnected: false }, false],
    [null, false],
  ];
  for (const [el, want] of cases) assert.equal(takesText(el), want, JSON.stringify(el));
});

test('focusing a text field asks for the keys once, leaving it gives them back', () => {
  const { doc, sent, settle } = rig();
  const name = field('text');
  doc.focus(name);
  doc.focus(name);
  settle();
  assert.deepEqual(sent, [true]);
  doc.focus(button());
  settle();
  assert.deepEqual(sent, [true, false]);
});

test('moving between two text fields keeps the keys without a gap', () => {
  const { doc, sent, settle } = rig();
  doc.focus(field('text'));
  doc.focus(field('number'));
  settle();
  assert.deepEqual(sent, [true]);
});

test('a focused field removed from the page gives the keys back', () => {
  // Saving a preset with Enter removes its input: no blur, no focusin; the
  // document's focus falls back to the body.
  const { doc, sent, settle } = rig();
  const name = field('text');
  doc.focus(name);
  name.isConnected = false;
  doc.activeElement = { tagName: 'BODY', isConnected: true };
  doc.fire('focusout');
  settle();
  assert.deepEqual(sent, [true, false]);
});

test('a removed field still named as active does not keep the keys', () => {
  const { doc, sent, tracker } = rig();
  const name = field('text');
  doc.focus(name);
  name.isConnected = false; // some engines leave activeElement pointing at it
  tracker.sync();
  assert.deepEqual(sent, [true, false]);
});

// A key as the guard sees it: whether its default action was refused.
function key(guard, phase, k, target) {
  const e = { key: k, target, prevented: false, preventDefault() { this.prevented = true; } };
  if (phase === 'down') guard.keyDown(e);
  else guard.keyUp(e);
  return e.prevented;
}

test('space and Enter work a control only when it was reached with Tab', () => {
  const cases = [
    // how the button got the focus, key, phase, refused
    ['click', ' ', 'down', true],
    ['click', ' ', 'up', true],
    ['click', 'Enter', 'down', true],
    ['click', 'a', 'down', false],
    ['tab', ' ', 'down', false],
    ['tab', ' ', 'up', false],
    ['tab', 'Enter', 'down', false],
  ];
  for (const [how, k, phase, refused] of cases) {
    const doc = new FakeDocument();
    const guard = new KeyActivationGuard(doc, () => {});
    const b = button();
    if (how === 'tab') key(guard, 'down', 'Tab', doc.activeElement);
    doc.focus(b);
    assert.equal(key(guard, phase, k, b), refused, `${how} ${JSON.stringify(k)} ${phase}`);
  }
  // Tab reaches one control; a later click on another does not count.
  const doc = new FakeDocument();
  const guard = new KeyActivationGuard(doc, () => {});
  const [first, second] = [button(), button()];
  key(guard, 'down', 'Tab', null);
  doc.focus(first);
  doc.focus(second);
  assert.equal(key(guard, 'down', ' ', second), true);
});

test('Enter and Escape in a text field let go of the focus, other keys type', () => {
  for (const [k, blurred] of [['Enter', true], ['Escape', true], ['a', false], [' ', false]]) {
    const doc = new FakeDocument();
    const queued = [];
    const guard = new KeyActivationGuard(doc, (fn) => queued.push(fn));
    const f = { ...field('text'), blur() { doc.focus(null); } };
    doc.focus(f);
    assert.equal(key(guard, 'down', k, f), false, k);
    queued.splice(0).forEach((fn) => fn());
    assert.equal(doc.activeElement === null, blurred, k);
  }
  // A field its own Enter handler removed or replaced is left alone.
  const doc = new FakeDocument();
  const queued = [];
  const guard = new KeyActivationGuard(doc, (fn) => queued.push(fn));
  let blurs = 0;
  const f = { ...field('text'), blur() { blurs++; } };
  const other = field('text');
  doc.focus(f);
  key(guard, 'down', 'Enter', f);
  doc.focus(other);
  queued.splice(0).forEach((fn) => fn());
  assert.equal(blurs, 0);
});

test('a modal part of the page holds the keys whatever has the focus', () => {
  const { doc, sent, tracker, settle } = rig();
  tracker.hold(true);
  doc.focus(button());
  settle();
  assert.deepEqual(sent, [true]);
  tracker.hold(false);
  assert.deepEqual(sent, [true, false]);
  doc.focus(field('text'));
  tracker.hold(true);
  tracker.hold(false);
  assert.deepEqual(sent, [true, false, true]);
});

test('a host key press edits the focused field: characters replace the selection, Delete takes it or the character before', () => {
  const cases = [
    // value, selection start, end, char code, special -> value after
    ['abc', 3, 3, 120, 0, 'abcx'],
    ['abc', 1, 1, 32, 0, 'a bc'],
    ['abc', 0, 2, 126, 0, '~c'],
    ['abc', 3, 3, 0, 2, 'ab'],
    ['abc', 1, 3, 0, 2, 'a'],
    ['abc', 0, 0, 0, 2, 'abc'], // nothing before the caret
    ['abc', 3, 3, 127, 0, 'abc'], // not printable
    ['abc', 3, 3, 10, 0, 'abc'],
    ['abc', 3, 3, 0xe9, 0, 'abc'], // outside what the host's codes carry as text
  ];
  for (const [value, start, end, charCode, special, after] of cases) {
    const r = typedEdit(start, end, charCode, special);
    const result = r ? value.slice(0, r.start) + r.text + value.slice(r.end) : value;
    assert.equal(result, after, JSON.stringify([value, start, end, charCode, special]));
  }
});
