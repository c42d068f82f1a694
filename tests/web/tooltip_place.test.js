'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { place } = require('../../Resources/web/tooltip_place.js');

// A page of 1084 x 543 at the screen's top left unless a case says otherwise;
// tips of 200 x 30.
const box = (left, top, width, height) => ({ left, top, width, height, bottom: top + height });

test('a tip sits below its element, centred, and stays inside the page', () => {
  const cases = [
    // name, scale, page, target, pointer -> x, y
    ['centred below', 1, box(0, 0), box(400, 100, 40, 20), { x: 0, y: 0 }, 320, 128],
    ['held off the left edge', 1, box(0, 0), box(0, 100, 20, 20), { x: 0, y: 0 }, 4, 128],
    ['held off the right edge', 1, box(0, 0), box(1070, 100, 14, 20), { x: 0, y: 0 }, 880, 128],
    ['above when below leaves the page', 1, box(0, 0), box(400, 510, 40, 20), { x: 0, y: 0 }, 320, 472],
    ['a large element: at the pointer', 1, box(0, 0), box(10, 40, 500, 200), { x: 300, y: 120 }, 200, 128],
    ['a page scaled by 2: page pixels', 2, box(0, 0), box(800, 200, 80, 40), { x: 0, y: 0 }, 320, 128],
    ['a page scaled by 2: its element is large only by page pixels', 2, box(0, 0), box(800, 200, 80, 100), { x: 300, y: 300 }, 320, 158],
    ['a centred page: its offset comes off', 1, box(108, 20), box(508, 120, 40, 20), { x: 0, y: 0 }, 320, 128],
  ];
  for (const [name, scale, page, target, pointer, x, y] of cases) {
    assert.deepEqual(place(scale, page, target, pointer, 1084, 543, 200, 30), { x, y }, name);
  }
});
