'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { HostKeyTracker, takesText } = require('../../Resources/web/host_keys.js');

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
  fire(type) {
    for (const fn of this.listeners.get(type) || []) fn();
  }
  focus(el) {
    if (this.activeElement) this.fire('focusout');
    this.activeElement = el;
    if (el) this.fire('focusin');
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
