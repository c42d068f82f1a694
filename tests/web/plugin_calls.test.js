'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const vm = require('node:vm');
const pluginCalls = require('../../Resources/web/plugin_calls.js');
const params = require('../../Resources/web/params.js');
const link = require('../../Resources/web/link_model.js');
const fx = require('./fixtures.js');

// A page without a DOM: the real state and calls, and a view that writes
// down what it was asked to redraw. Showing the guide marks it shown, as the
// page does.
function makePage(held = new Set()) {
  const state = pluginCalls.makePageState();
  const log = [];
  const view = {
    param: (id) => log.push('param ' + id),
    params: () => log.push('params'),
    meters: (m, linkedChanged) => log.push('meters ' + linkedChanged),
    sources: () => log.push('sources'),
    matrix: () => log.push('matrix'),
    presets: () => log.push('presets'),
    settings: () => log.push('settings'),
    fileError: () => log.push('fileError'),
    showGuide: () => {
      log.push('guide');
      state.guideShown = true;
    },
  };
  const calls = pluginCalls.makePluginCalls(state, (id) => held.has(id), view);
  // Each script runs as the web view runs it: a call of the page's globals.
  const play = (scripts) => {
    for (const s of scripts) vm.runInNewContext(s, Object.assign({}, calls));
  };
  return { state, log, calls, play };
}

function samfd(page, tag, text) {
  const data = fx.b64(text);
  page.calls.SAMFD(tag, data.length + 1, data);
}

// The last normalised value each SPVFD of the recording set, by index.
function lastSentValues(scripts) {
  const out = new Map();
  for (const s of scripts) {
    const m = /^SPVFD\((\d+), ([0-9.]+)\)$/.exec(s);
    if (m) out.set(Number(m[1]), Number(m[2]));
  }
  return out;
}

const session = fx.MASKER_PAGE_SESSION;

test('the recording holds a page load and its ticks', () => {
  assert.match(session[0], /^SAMFD\(-1, \d+, '/, 'the "params" message comes first');
  assert.equal(session.filter((s) => s.startsWith('SPVFD(')).length, 54, 'values at the load and at the refresh');
  // Meters go out when they change, at most every fifth tick: without audio
  // the first report (which says so) is the only one.
  assert.equal(session.filter((s) => s.startsWith('SAMFD(0, ')).length, 1, 'meters only when they change');
});

test('a replayed page load leaves the page with the plug-in\'s parameters and values', () => {
  const page = makePage();
  page.play(session);
  const described = JSON.parse(fx.PARAMS_TEXT).params;
  assert.deepEqual(page.state.set.list.map((d) => d.name), described.map((p) => p.name));
  const sent = lastSentValues(session);
  assert.equal(sent.size, 27);
  for (const [id, x] of sent) {
    const d = page.state.set.byId.get(id);
    assert.equal(page.state.values.get(id), params.toPlain(d, x), d.name);
  }
  const value = (name) => page.state.values.get(page.state.set.byName.get(name).id);
  const cases = [
    ['Role', 2],
    ['Channel', 3],
    ['Depth', 50],
    ['Priority', 4],
    ['Bell 1 Freq', 2500],
    ['High Guard', 20000],
  ];
  for (const [name, plain] of cases) assert.ok(Math.abs(value(name) - plain) <= 0.1, `${name}: ${value(name)}`);
});

test('the replayed messages land in the page\'s state', () => {
  const page = makePage();
  page.play(session);
  const s = page.state;
  assert.equal(s.meters.role, 2);
  assert.equal(s.meters.linked, false, 'no audio ran');
  assert.deepEqual(s.sources, [{ ch: 3, name: 'Lead Vox' }]);
  assert.deepEqual(s.presets.presets.map((p) => p.name), ['Verse guitars']);
  assert.equal(s.presetsUnreadable, false);
  assert.equal(s.onboarded, false);
  assert.deepEqual([s.slot, s.currentPreset, s.presetModified], [0, null, false], 'a fresh instance: slot A, no preset');

  const g = link.groupMatrix(s.matrix);
  assert.equal(g.sources.length, 1);
  assert.equal(g.sources[0].row.name, 'Lead Vox');
  assert.equal(g.sources[0].row.pri, 4);
  assert.equal(g.sources[0].maskers.length, 1);
  const masker = g.sources[0].maskers[0];
  assert.deepEqual([masker.row.name, masker.row.depth, masker.mine], ['Pad', 50, true]);
  assert.deepEqual(g.unlinked, []);

  const status = link.linkStatus({ role: 2, channel: 3, bypass: false, sidechain: false }, s.meters, s.sources, s.matrix.diag);
  assert.equal(status.text, 'No Source on channel 3 · Lead Vox yet');
});

test('the replay asks the view for each redraw once per change', () => {
  const page = makePage();
  page.play(session);
  const count = (entry) => page.log.filter((e) => e === entry).length;
  const cases = [
    ['params', 1],
    ['param 2', 2],
    ['meters true', 1],
    ['meters false', 0],
    ['sources', 1],
    ['matrix', 2],
    ['presets', 1],
    ['settings', 1],
    ['guide', 1],
  ];
  for (const [entry, n] of cases) assert.equal(count(entry), n, entry);
  assert.equal(page.log[0], 'params');
  assert.equal(page.log.filter((e) => e.startsWith('param ')).length, 54);
});

test('calls the page cannot use change nothing and redraw nothing', () => {
  const cases = [
    ['held parameter', (p) => p.calls.SPVFD(2, 0.9)],
    ['unknown parameter', (p) => p.calls.SPVFD(27, 0.5)],
    ['unknown tag', (p) => samfd(p, 5, '{"t":"meters"}')],
    ['tag and "t" disagree', (p) => samfd(p, 2, fx.METERS_RESET_TEXT)],
    ['cut message', (p) => p.calls.SAMFD(0, 0, fx.b64(fx.METERS_MASKER_TEXT).slice(0, 200))],
    ['no text', (p) => p.calls.SAMFD(0, 0, '')],
    ['not a text', (p) => p.calls.SAMFD(0, 0, 42)],
    ['not base64', (p) => p.calls.SAMFD(-1, 0, '!!!!')],
    ['never sent', (p) => [p.calls.SCVFD(1, 0.5), p.calls.SCMFD(1, 2, 3, 'QUJD'), p.calls.SMMFD(144, 60, 100)]],
  ];
  for (const [name, call] of cases) {
    const page = makePage(new Set([2]));
    const before = JSON.stringify([...page.state.values], null, 0) + JSON.stringify(page.state.meters);
    call(page);
    assert.deepEqual(page.log, [], name);
    assert.equal(JSON.stringify([...page.state.values], null, 0) + JSON.stringify(page.state.meters), before, name);
  }
});

test('values arriving before "params" use the built-in table', () => {
  const page = makePage();
  page.calls.SPVFD(2, 0.5);
  page.calls.SPVFD(6, 0.5);
  assert.equal(page.state.values.get(2), 50);
  assert.equal(page.state.values.get(6), 80); // 20 + 0.125 x 480 on the cube curve
  assert.deepEqual(page.log, ['param 2', 'param 6']);
});

test('a later "params" keeps the values of parameters the page knew', () => {
  const page = makePage();
  page.calls.SPVFD(2, 0.5);
  const described = JSON.parse(fx.PARAMS_TEXT).params;
  const later = described.filter((p) => p.id !== 4);
  later.push({ default: 3.0, display_type: 0, id: 27, max: 6.0, min: 0.0, name: 'Air', rate: 'control', type: 'float' });
  samfd(page, -1, JSON.stringify({ id: 'params', params: later }));
  assert.equal(page.state.values.get(2), 50, 'kept');
  assert.equal(page.state.values.get(27), 3, 'new: its default');
  assert.equal(page.state.set.byId.has(4), false, 'gone');
  assert.equal(page.state.set.byName.get('Air').id, 27);
  assert.deepEqual(page.log, ['param 2', 'params']);
});

test('the view hears when "linked" flips, not at every report', () => {
  const page = makePage();
  const report = (linked) => fx.METERS_MASKER_TEXT.replace('"linked":1', '"linked":' + linked);
  for (const linked of [0, 0, 1, 1, 0]) samfd(page, 0, report(linked));
  assert.deepEqual(page.log, ['meters true', 'meters false', 'meters true', 'meters false', 'meters true']);
  assert.equal(page.state.meters.linked, false);
});

test('stored presets that cannot be read keep the collection and say so until readable ones come', () => {
  const page = makePage();
  const stored = { format: 'ostrel-presets', version: 1, params: ['Depth'], presets: [{ name: 'A', values: [10] }] };
  samfd(page, 11, '{"t":"presets","json":' + JSON.stringify(stored) + '}');
  samfd(page, 11, '{"t":"presets","json":not json}');
  assert.equal(page.state.presetsUnreadable, true);
  assert.deepEqual(page.state.presets.presets.map((p) => p.name), ['A']);
  samfd(page, 11, '{"t":"presets","json":[]}');
  assert.equal(page.state.presetsUnreadable, false);
  assert.deepEqual(page.state.presets.presets, []);
  assert.deepEqual(page.log, ['presets', 'presets', 'presets']);
});

test('the first-run guide shows once, and never for an onboarded user', () => {
  const cases = [
    [[1, 1], []],
    [[0], ['guide']],
    [[0, 0], ['guide']],
    [[1, 0], ['guide']],
  ];
  for (const [flags, shown] of cases) {
    const page = makePage();
    for (const f of flags) samfd(page, 13, '{"t":"onboarded","onboarded":' + f + '}');
    assert.deepEqual(page.log, shown, JSON.stringify(flags));
    assert.equal(page.state.onboarded, flags[flags.length - 1] === 1);
  }
});

test('the settings the plug-in keeps reach the page: slot, preset and its modified mark', () => {
  // [message members, slot, preset, modified]
  const cases = [
    ['"slot":1,"preset":"Lead vocal","modified":0', 1, 'Lead vocal', false],
    ['"slot":0,"preset":"Bühne \\"A\\" \\\\","modified":1', 0, 'Bühne "A" \\', true],
    ['"slot":0,"preset":"","modified":1', 0, null, false],
    ['"slot":7,"preset":42', 0, null, false],
  ];
  for (const [members, slot, preset, modified] of cases) {
    const page = makePage();
    samfd(page, 17, '{"t":"settings",' + members + '}');
    assert.deepEqual([page.state.slot, page.state.currentPreset, page.state.presetModified], [slot, preset, modified], members);
    assert.deepEqual(page.log, ['settings'], members);
  }
});

test('a file the plug-in could not keep is said with what it was and why', () => {
  // As the plug-in writes "fileError" (BuildFileErrorMessage).
  const cases = [
    ['presets', 'the disk is full (/home/u/.config/Talmesh)', 'Could not save the preset: the disk is full (/home/u/.config/Talmesh)'],
    ['laststate', 'no permission to write in C:\\Users\\u', 'Could not save the last settings: no permission to write in C:\\Users\\u'],
    ['onboarded', 'the disk of /x is read-only', 'Could not save the first-run mark: the disk of /x is read-only'],
    ['folder', 'Ostrel does not use /tmp/Talmesh: another user could have put it there', 'Presets and settings are not kept: Ostrel does not use /tmp/Talmesh: another user could have put it there'],
    ['later', 'the system refused the write in /x', 'Could not save: the system refused the write in /x'],
  ];
  for (const [file, error, shown] of cases) {
    const page = makePage();
    samfd(page, 15, JSON.stringify({ t: 'fileError', file, error }));
    assert.equal(page.state.fileError, shown, file);
    assert.deepEqual(page.log, ['fileError'], file);
  }
  // A text of another kind under the tag, or no text at all, is no error.
  const page = makePage();
  samfd(page, 15, '{"t":"presets","file":"presets","error":"x"}');
  samfd(page, 15, 'not json');
  assert.equal(page.state.fileError, null);
  assert.deepEqual(page.log, []);
});
