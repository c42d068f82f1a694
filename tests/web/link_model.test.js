'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const link = require('../../Resources/web/link_model.js');
const bands = require('../../Resources/web/bands.js');
const wire = require('../../Resources/web/wire.js');
const fx = require('./fixtures.js');

const matrix = wire.readMessage(9, fx.b64(fx.MATRIX_TEXT));
const sources = wire.readMessage(2, fx.b64(fx.SOURCES_TEXT)).list;

test('Maskers are listed under the Source they target; the others apart', () => {
  const g = link.groupMatrix(matrix);
  assert.equal(g.sources.length, 1);
  const vocal = g.sources[0];
  assert.equal(vocal.row.name, 'Vocal');
  assert.deepEqual(vocal.maskers.map((m) => m.row.ch), [63, 64]);
  assert.deepEqual(g.unlinked.map((m) => m.row.ch), [41]);
  // "my" is the slot index 63: this instance is the row on channel 64.
  assert.equal(g.myCh, 64);
  assert.deepEqual(vocal.maskers.map((m) => m.mine), [false, true]);
  assert.equal(g.solo, 63);
  assert.deepEqual(vocal.maskers.map((m) => m.soloed), [true, false]);
});

test('a Masker whose target is not a live Source is not linked to it', () => {
  const rows = [fx.matrixRow(5, 2, 9, 4, 10, 0, 0, 'Keys', Array(24).fill(0))];
  const m = wire.readMessage(9, fx.b64('{"t":"matrix","slots":[' + rows + '],"diag":{"shared":1,"src":0,"msk":1,"my":-1,"solo":-1}}'));
  const g = link.groupMatrix(m);
  assert.deepEqual(g.sources, []);
  assert.equal(g.unlinked[0].row.name, 'Keys');
  assert.equal(g.myCh, -1);
  assert.equal(g.solo, 0);
  assert.deepEqual(link.groupMatrix(null), { sources: [], unlinked: [], solo: 0, myCh: -1, waiting: null });
});

test('the channel picker names the live Sources and tells this instance\'s own channel from taken ones', () => {
  const asMasker = link.channelChoices(sources, 2, 3);
  assert.equal(asMasker.length, 64);
  assert.deepEqual(asMasker[2], { ch: 3, name: 'Lead "Vox" L', live: true, taken: true, mine: false });
  assert.deepEqual(asMasker[0], { ch: 1, name: '', live: false, taken: false, mine: false });
  const asSource = link.channelChoices(sources, 1, 3);
  assert.equal(asSource[2].mine, true);
  assert.equal(asSource[2].taken, false);
  assert.equal(asSource[8].taken, true);
  assert.equal(link.channelLabel(9, sources), '9 · Edge');
  assert.equal(link.channelLabel(12, sources), '12');
  assert.equal(link.channelLabel(40, sources), '40');
});

test('the link status says what is wrong when something is', () => {
  const meters = (linked) => ({ linked });
  const st = (role, channel, more) => Object.assign({ role, channel, bypass: false, sidechain: false }, more);
  const cases = [
    [st(0, 1), null, 'idle', /Off/],
    [st(2, 3, { bypass: true }), meters(true), 'warn', /Bypassed/],
    [st(2, 3), meters(true), 'ok', /making room for 3 · Lead "Vox" L/],
    [st(2, 7), meters(false), 'warn', /No Source on channel 7/],
    [st(2, 7, { sidechain: true }), meters(false), 'warn', /no sidechain signal/],
    [st(2, 7, { sidechain: true }), meters(true), 'ok', /sidechain/],
    [st(3, 1), meters(true), 'ok', /Self/],
    [st(1, 5), null, 'ok', /Source on channel 5/],
  ];
  for (const [state, m, level, re] of cases) {
    const s = link.linkStatus(state, m, sources, { my: -1 });
    assert.equal(s.level, level, s.text);
    assert.match(s.text, re);
  }
  // Where a Masker without a Source looked, and how to link what the
  // preference keeps apart.
  const alone = [
    [{ my: -1 }, /^No Source on channel 7 yet$/],
    [{ my: -1, xproc: 1 }, /^No Source on channel 7 in this host session$/],
    [{ my: -1, xproc: 0, link: 'automatic', inhost: 1, why: '' }, /^No Source on channel 7 in this process$/],
    [{ my: -1, xproc: 0, link: 'never', inhost: 0, why: '' }, /processes of their own, and Link processes is set to Never \(choose Auto/],
    [{ my: -1, xproc: 0, link: 'automatic', inhost: 0, why: 'the shared memory has another size' }, /in this process \(the shared memory has another size\)/],
  ];
  for (const [diag, re] of alone) assert.match(link.linkStatus(st(2, 7), meters(false), sources, diag).text, re);
  assert.equal(link.rowProcessText({ pid: 4321 }), 'another process of this host (pid 4321)');
  assert.equal(link.rowProcessText({ ch: 3 }), '');

  // A Source whose channel is held by another instance.
  const taken = link.linkStatus(st(1, 9), null, sources, { my: -1 });
  assert.equal(taken.level, 'warn');
  assert.match(taken.text, /^Channel 9 is taken by Edge: pick a free channel/);
  assert.equal(link.linkStatus(st(1, 9), null, sources, { my: 8 }).level, 'ok');
});

// What each page of a session draws as its own row, its header's channel
// and its status, from what the plug-in sent it: every Source shows its own
// name, and one whose channel another Source holds says whose it is.
test('every page of Sources sharing a channel shows its own name in its own row', () => {
  const want = {
    'three Sources on channel 1': [
      ['Lead Vocal', '1 · Lead Vocal', ''],
      ['Backing Vox', '1 · taken by Lead Vocal', 'Channel 1 is taken by Lead Vocal'],
      ['Harmony', '1 · taken by Lead Vocal', 'Channel 1 is taken by Lead Vocal'],
      ['Bass', '2 · Bass', ''],
      ['Gtr', '1 · Lead Vocal', ''],
    ],
    'two renamed': [
      ['Lead Vocal Dbl', '1 · Lead Vocal Dbl', ''],
      ['BV Stack', '1 · taken by Lead Vocal Dbl', 'Channel 1 is taken by Lead Vocal Dbl'],
      ['Harmony', '1 · taken by Lead Vocal Dbl', 'Channel 1 is taken by Lead Vocal Dbl'],
      ['Bass', '2 · Bass', ''],
      ['Gtr', '1 · Lead Vocal Dbl', ''],
    ],
    'one moved to channel 3': [
      ['Lead Vocal Dbl', '1 · Lead Vocal Dbl', ''],
      ['BV Stack', '3 · BV Stack', ''],
      ['Harmony', '1 · taken by Lead Vocal Dbl', 'Channel 1 is taken by Lead Vocal Dbl'],
      ['Bass', '2 · Bass', ''],
      ['Gtr', '1 · Lead Vocal Dbl', ''],
    ],
  };
  assert.deepEqual(fx.SOURCES_SHARING_A_CHANNEL.map((s) => s.step), Object.keys(want));
  for (const { step, pages } of fx.SOURCES_SHARING_A_CHANNEL) {
    pages.forEach((page, i) => {
      const [name, label, hint] = want[step][i];
      const at = step + ', page of ' + page.name;
      assert.equal(page.name, name, at);
      const m = wire.readMessage(9, fx.b64(page.matrix));
      const list = wire.readMessage(2, fx.b64(page.sources)).list;
      const g = link.groupMatrix(m, { role: page.role, channel: page.channel });
      const rows = g.sources.flatMap((s) => [s, ...s.maskers]).concat(g.unlinked);
      const mine = rows.filter((e) => e.mine);
      assert.equal(mine.length + (g.waiting ? 1 : 0), 1, at + ': one row of its own');
      assert.equal(mine.length ? mine[0].row.name : g.waiting.name, name, at);
      assert.equal(g.waiting ? g.waiting.hint : '', hint, at);
      // The waiting row sits in the card of the Source that holds the channel.
      if (g.waiting) assert.equal(g.sources.find((s) => s.waiting).row.ch, page.channel, at);
      assert.equal(link.channelLabel(page.channel, list, page.role, m.diag), label, at);
      const status = link.linkStatus({ role: page.role, channel: page.channel, bypass: false, sidechain: false }, { linked: true }, list, m.diag);
      assert.equal(status.level === 'warn', hint !== '', at + ': ' + status.text);
      if (hint) assert.ok(status.text.startsWith(hint), at + ': ' + status.text);
      // Its channel in the picker is its own only when it holds it.
      const cell = link.channelChoices(list, page.role, page.channel, m.diag)[page.channel - 1];
      if (page.role === link.ROLE_SOURCE) assert.deepEqual([cell.mine, cell.taken], hint ? [false, true] : [true, false], at);
    });
  }
});

test('a page before the first matrix report, or whose Source has no holder, has no waiting row', () => {
  const list = [{ ch: 1, name: 'Lead' }];
  const cases = [
    // [matrix diag, self, waiting?, label]
    [null, { role: 1, channel: 1 }, false, '1 · Lead'],
    [{ my: -1, me: 'Keys' }, { role: 1, channel: 4 }, false, '4'],
    [{ my: -1, me: 'Keys' }, { role: 2, channel: 1 }, false, '1 · Lead'],
    [{ my: -1, me: '' }, { role: 1, channel: 1 }, true, '1 · taken by Lead'],
    [{ my: 0, me: 'Lead' }, { role: 1, channel: 1 }, false, '1 · Lead'],
  ];
  for (const [diag, self, waiting, label] of cases) {
    const matrix = diag ? { slots: [{ ch: 1, role: 1, name: 'Lead', e: [] }], diag: Object.assign({ src: 1, msk: 0, solo: -1 }, diag) } : null;
    const g = link.groupMatrix(matrix, self);
    assert.equal(!!g.waiting, waiting, JSON.stringify([diag, self]));
    if (g.waiting && !diag.me) assert.equal(g.waiting.name, 'This Source');
    assert.equal(link.channelLabel(self.channel, list, self.role, diag), label);
  }
});

test('priority margins are the plug-in\'s, clamped to 1..8', () => {
  assert.equal(fx.PRIORITY_MARGINS.length, 10);
  for (const { priority, db } of fx.PRIORITY_MARGINS)
    assert.ok(Math.abs(link.marginDb(priority) - db) < 1e-5, `priority ${priority}: ${link.marginDb(priority)} dB, the plug-in ${db} dB`);
});

test('balance texts: the plug-in\'s +100 is a signal only in the left channel', () => {
  assert.deepEqual([-25, 0, 4, -4, 5, 99, 100, -100].map(link.balanceText), ['R25', 'C', 'C', 'C', 'L5', 'L99', 'L100', 'R100']);
});

test('band limits and centres are the plug-in\'s', () => {
  assert.equal(fx.BANDS.limitsHz.length, bands.COUNT + 1);
  assert.equal(fx.BANDS.centresHz.length, bands.COUNT);
  assert.equal(bands.LIMITS.length, bands.COUNT + 1);
  fx.BANDS.limitsHz.forEach((hz, k) => assert.ok(Math.abs(bands.LIMITS[k] - hz) < 1e-5, `limit ${k}: ${bands.LIMITS[k]}, the plug-in ${hz}`));
  fx.BANDS.centresHz.forEach((hz, k) => assert.ok(Math.abs(bands.CENTRES[k] - hz) < 1e-5, `centre ${k}: ${bands.CENTRES[k]}, the plug-in ${hz}`));
});

test('every band has the same width on the axis', () => {
  for (let k = 0; k <= 24; k++) assert.ok(Math.abs(bands.axisOf(bands.LIMITS[k]) - k / 24) < 1e-9);
  assert.equal(bands.bandOf(1000), 8);
  assert.equal(bands.bandOf(5), 0);
  assert.equal(bands.bandOf(30000), 23);
  for (const hz of [20, 100, 1234.5, 20000]) assert.ok(Math.abs(bands.hzOfAxis(bands.axisOf(hz)) - hz) < 1e-6);
});

test('reported levels in dB', () => {
  assert.equal(bands.levelDb(1000), 0);
  assert.ok(Math.abs(bands.levelDb(12) + 38.42) < 0.01);
  assert.equal(bands.levelDb(0), -Infinity);
  assert.equal(bands.relativeDb(0, -48), -48);
  assert.ok(Math.abs(bands.relativeDb(0.5, -48) + 6.02) < 0.01);
  assert.equal(bands.relativeDb(0.001, -48), -48);
});

test('a matrix edit shows at once and gives way to the report once it agrees or after a while', () => {
  const pending = new link.PendingEdits();
  pending.ask(3, 'pri', 2, 1000);
  assert.equal(pending.shown(3, 'pri', 4, 1100), 2, 'old report still shows the request');
  assert.equal(pending.shown(5, 'pri', 4, 1100), 4, 'other rows untouched');
  assert.equal(pending.shown(3, 'depth', 40, 1100), 40, 'other fields untouched');
  assert.equal(pending.shown(3, 'pri', 2, 1200), 2, 'report agrees');
  assert.equal(pending.shown(3, 'pri', 4, 1300), 4, 'and from then on the report rules');
  pending.ask(3, 'depth', 55, 2000);
  assert.equal(pending.shown(3, 'depth', 40, 2000 + link.PENDING_MS - 1), 55);
  assert.equal(pending.shown(3, 'depth', 40, 2000 + link.PENDING_MS), 40, 'a request that never lands is dropped');
  // Depth is reported rounded to whole percent.
  pending.ask(3, 'depth', 42.3, 5000);
  assert.equal(pending.shown(3, 'depth', 42, 5100), 42);
});

test('which controls matter in which role', () => {
  const names = ['Role', 'Bypass', 'Channel', 'Priority', 'Depth', 'Sidechain', 'Bell 2 Freq', 'Bell Listen'];
  const table = {
    0: [1, 1, 0, 0, 0, 0, 0, 0],
    1: [1, 1, 1, 1, 0, 0, 0, 0],
    2: [1, 1, 1, 0, 1, 1, 1, 1],
    3: [1, 1, 0, 0, 1, 0, 1, 1],
  };
  for (const role of [0, 1, 2, 3])
    assert.deepEqual(names.map((n) => (link.inUse(n, role, false) ? 1 : 0)), table[role], `role ${role}`);
  // A Masker on its sidechain does not look at its Channel.
  assert.equal(link.inUse('Channel', 2, true), false);
  assert.equal(link.inUse('Depth', 2, true), true);
});

test('a Masker is shown with the channel it follows, never with the registry slot it holds', () => {
  const bySlot = new Map(matrix.slots.map((s) => [s.ch, s]));
  const cases = [
    // slot, badge, words
    [3, '3', 'Vocal (Source on channel 3)'],
    [63, '3', 'Pad (Masker following channel 3)'],
    [64, '3', 'Gtr (Masker following channel 3)'],
    [41, '–', 'Masker (Masker)'], // aimed at no channel
  ];
  for (const [slot, badge, text] of cases) {
    const label = link.rowLabel(bySlot.get(slot));
    assert.equal(label.badge, badge, `slot ${slot}`);
    assert.equal(label.text, text);
    assert.doesNotMatch(label.text, slot === 3 ? /^$/ : new RegExp('\\b' + slot + '\\b'));
  }
  // A Masker on channel 1 that happens to hold the last slot.
  const row = wire.readMessage(9, fx.b64('{"t":"matrix","slots":[' + fx.matrixRow(64, 2, 1, 4, 70, 0, 0, 'Guitar', Array(24).fill(0)) + '],"diag":{"shared":1,"src":0,"msk":1,"my":63,"solo":64}}'));
  assert.equal(link.rowLabel(row.slots[0]).badge, '1');
  assert.equal(link.soloText(row, 64), 'solo: Guitar (Masker following channel 1)');
});

test('the solo line names the soloed instance by its role and channel', () => {
  const cases = [
    [0, ''],
    [3, 'solo: Vocal (Source on channel 3)'],
    [63, 'solo: Pad (Masker following channel 3)'],
    [12, 'solo: an instance that has left'],
  ];
  for (const [solo, text] of cases) assert.equal(link.soloText(matrix, solo), text, `solo ${solo}`);
  assert.equal(link.soloText(null, 5), 'solo: an instance that has left');
});

test('a host bypass shows in the status line whatever the role', () => {
  for (const role of [0, 1, 2, 3]) {
    const s = link.linkStatus({ role, channel: 3, bypass: false, sidechain: false }, { linked: true, hostBypass: true }, sources, { my: 2 });
    assert.equal(s.level, 'warn');
    assert.match(s.text, /Bypassed by the host/);
  }
});

test('a balance that wavers by a few tenths of a dB holds its text; a real move shows', () => {
  const cases = [
    // reports in turn, texts shown
    [[4, -4, 3, -3, 4], ['C', 'C', 'C', 'C', 'C']],
    [[12, 8, 15, 9, 13], ['L12', 'L12', 'L12', 'L12', 'L12']],
    [[0, 30, 25, 35, -40], ['C', 'L30', 'L30', 'L30', 'R40']],
    [[-100, -95, -91, -90], ['R100', 'R100', 'R100', 'R90']],
    [[6, NaN, 6], ['L6', 'L6', 'L6']],
  ];
  for (const [reports, texts] of cases) {
    let shown;
    const seen = reports.map((b) => link.balanceText((shown = link.heldBalance(shown, b))));
    assert.deepEqual(seen, texts, JSON.stringify(reports));
  }
});
