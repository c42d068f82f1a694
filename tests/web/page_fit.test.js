'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fit = require('../../Resources/web/page_fit.js');

test('the page scales as a whole to the largest size that fits the view, centred', () => {
  const cases = [
    // view w, h -> scale, x, y
    [1084, 543, 1, 0, 0],
    [2168, 1086, 2, 0, 0],
    [1626, 815, 1.5, 0, 0],
    [1300, 543, 1, 108, 0], // wider than the design: centred across
    [1084, 900, 1, 0, 178],
    [361, 181, 361 / 1084, 0, 0],
    [0, 543, 1, 0, 0], // no view yet
  ];
  for (const [w, h, scale, x, y] of cases) {
    const f = fit.fit(w, h);
    assert.ok(Math.abs(f.scale - scale) < 1e-3, `${w} x ${h}: scale ${f.scale}`);
    assert.deepEqual([f.x, f.y], [x, y], `${w} x ${h}`);
  }
});

test('a drag of the resize corner asks for a size of the design\'s proportions within the limits', () => {
  const cases = [
    // start w, h, drag dx, dy -> asked w, h
    [1084, 543, 0, 0, 1084, 543],
    [1084, 543, 542, 0, 1626, 815],
    [1084, 543, 0, 271, 1625, 814], // the larger relative move counts
    [1084, 543, 100, 271, 1625, 814],
    [1084, 543, -542, -10, 542, 272],
    [1084, 543, -5000, -5000, 361, 181],
    [1084, 543, 9000, 9000, 3252, 1629],
  ];
  for (const [w, h, dx, dy, ew, eh] of cases) {
    const t = fit.resizeTarget(w, h, dx, dy);
    assert.deepEqual([t.width, t.height], [ew, eh], `${w} x ${h} by ${dx}, ${dy}`);
  }
  assert.equal(fit.resizeText({ width: 1626, height: 815 }), '{"w":1626,"h":815}');
  assert.equal(fit.resizeText({ width: 0, height: 815 }), null);
  assert.equal(fit.resizeText({ width: NaN, height: 815 }), null);
});

test('a corner drag asks at most every 50 ms, never twice for one size, and always at its end', () => {
  // From 1084 x 543, the pointer at (1000, 500); each step: x, y, ms, end.
  const steps = [
    [1054, 500, 20, false, null], // the clock's start counts as a request
    [1054, 500, 60, false, '{"w":1138,"h":570}'],
    [1108, 500, 80, false, null], // too soon
    [1108, 500, 120, false, '{"w":1192,"h":597}'],
    [1108, 500, 300, false, null], // the same size
    [1162, 500, 310, true, '{"w":1246,"h":624}'], // the end is never held back
    [1162, 500, 320, true, null], // nor repeated
  ];
  const drag = new fit.ResizeDrag(1000, 500, 1084, 543);
  for (const [x, y, ms, end, want] of steps) assert.equal(drag.request(x, y, ms, end), want, `${x} ${y} at ${ms}`);
});
