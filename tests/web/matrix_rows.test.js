'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const MR = require('../../Resources/web/matrix_rows.js');
const L = require('../../Resources/web/link_model.js');
const W = require('../../Resources/web/wire.js');
const FIXTURES = require('./fixtures.js');

const matrix = (text) => W.readMessage(W.TAG.matrix, FIXTURES.b64(text));

test('rows are built again only when which rows there are, or their grouping, changes', () => {
  const e = Array(24).fill(0);
  const row = FIXTURES.matrixRow;
  const base = [row(3, 1, 0, 2, 0, 0, 0, 'Vocal', e), row(63, 2, 3, 4, 12, 0, 0, 'Pad', e)];
  const sig = (rows) => MR.signature(L.groupMatrix(matrix('{"t":"matrix","slots":[' + rows + '],"diag":{"shared":1,"src":1,"msk":1,"my":-1,"solo":-1}}')));
  const first = sig(base);
  const cases = [
    ['new values in the same rows', [row(3, 1, 0, 5, 0, 0, 0, 'Lead', e), row(63, 2, 3, 4, 80, 1, -20, 'Keys', e)], true],
    ['a Masker more', [...base, row(64, 2, 3, 4, 0, 0, 0, 'Gtr', e)], false],
    ['the Masker aims at nothing', [base[0], row(63, 2, 0, 4, 12, 0, 0, 'Pad', e)], false],
    ['no rows', [], false],
  ];
  for (const [name, rows, same] of cases) assert.equal(sig(rows) === first, same, name);
});

test('the footer counts Sources and Maskers and says what is soloed', () => {
  const cases = [
    [null, '', '0 Sources · 0 Maskers'],
    [{ src: 1, msk: 1 }, '', '1 Source · 1 Masker'],
    [{ src: 2, msk: 3 }, 'Pad soloed', '2 Sources · 3 Maskers · Pad soloed'],
    [{ src: 1, msk: 2, xproc: 1 }, '', "1 Source · 2 Maskers · across the host's processes"],
    [{ src: 1, msk: 0, xproc: 0 }, 'Pad soloed', '1 Source · 0 Maskers · Pad soloed · this process only'],
  ];
  for (const [diag, solo, text] of cases) assert.equal(MR.summary(diag, solo), text);
});

test('a channel badge\'s hint: a Source\'s channel, a Masker\'s, or none', () => {
  assert.equal(MR.channelTipKey(1, '3'), 'matrix-source-channel');
  assert.equal(MR.channelTipKey(2, '3'), 'matrix-masker-channel');
  assert.equal(MR.channelTipKey(2, '–'), 'matrix-no-channel');
});

test('the level curve: one bar per band above -72 dB, full height at the reported maximum, at least a pixel', () => {
  const levels = Array(24).fill(0);
  levels[0] = 1000; // 0 dB
  levels[5] = 1000 * Math.pow(10, -36 / 20); // half the range
  levels[9] = 1000 * Math.pow(10, -71.99 / 20); // just above the floor
  levels[12] = 1000 * Math.pow(10, -72 / 20); // on the floor: none
  levels[20] = 1e-9;
  const bars = MR.sparkBars(levels);
  assert.deepEqual(
    bars.map((b) => [Math.round(b.x * 100) / 100, Math.round(b.h * 1000) / 1000]),
    [
      [0.5, 16],
      [10.5, 8],
      [18.5, 1],
    ]
  );
  for (const b of bars) {
    assert.equal(b.w, 1);
    assert.ok(Math.abs(b.y + b.h - MR.SPARK_H) < 1e-9, 'bars stand on the bottom');
  }
});

test('the link preference control shows what was asked for until the report agrees, and nothing before a place', () => {
  const pending = new L.PendingEdits();
  const diag = { src: 0, msk: 0, xproc: 1, link: 'automatic' };
  assert.equal(MR.shownLinkPreference({ src: 0, msk: 0 }, pending, 0), null);
  assert.equal(MR.shownLinkPreference(null, pending, 0), null);
  assert.equal(MR.shownLinkPreference(diag, pending, 0), 'automatic');
  pending.ask(0, 'link', 1, 0);
  assert.equal(MR.shownLinkPreference(diag, pending, 100), 'never', 'asked for, not reported yet');
  assert.equal(MR.shownLinkPreference({ ...diag, xproc: 0, link: 'never' }, pending, 200), 'never');
  assert.equal(MR.shownLinkPreference(diag, pending, 300), 'automatic', 'the report agreed once: it counts again');
  pending.ask(0, 'link', 2, 400);
  assert.equal(MR.shownLinkPreference(diag, pending, 400 + L.PENDING_MS), 'automatic', 'a request that never came back');
  assert.deepEqual(MR.LINK_CHOICES.map((c) => c.word), ['automatic', 'never', 'always']);
});
