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
