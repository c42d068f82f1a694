'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const meter = require('../../Resources/web/meter_model.js');
const wire = require('../../Resources/web/wire.js');
const pluginCalls = require('../../Resources/web/plugin_calls.js');
const fx = require('./fixtures.js');

const dips = (pairs) => {
  const d = new Float32Array(24);
  for (const [k, v] of pairs) d[k] = v;
  return d;
};

test('the readout names the deepest current dip, or says there is none', () => {
  const cases = [
    [dips([]), 'no dip'],
    [dips([[3, -0.04]]), 'no dip'], // below what any bar shows
    [dips([[3, -0.1]]), 'deepest -0.1 dB'],
    [dips([[3, -6.34], [17, -2]]), 'deepest -6.3 dB'],
    [dips([[0, -24], [23, -119.9]]), 'deepest -119.9 dB'],
    [dips([[5, NaN], [6, -1.5]]), 'deepest -1.5 dB'],
    [null, 'no dip'],
  ];
  for (const [d, text] of cases) assert.equal(meter.dipText(meter.deepestDip(d)), text);
});

test('the readout says what the bars show now, or why there are none', () => {
  const report = (pairs, more) => Object.assign(wire.readMessage(0, fx.b64(fx.METERS_MASKER_TEXT)), { dip: dips(pairs), touched: pairs.length }, more);
  const masker = { role: 2, bypass: false };
  const cases = [
    // page state, report, line
    [masker, report([[4, -9]]), 'deepest -9.0 dB · 1 band touched'],
    // The next report is what shows, deeper or not: no dip held from before.
    [masker, report([[4, -2], [9, -0.5]]), 'deepest -2.0 dB · 2 bands touched'],
    [masker, report([]), 'no dip · 0 bands touched'],
    [{ role: 3, bypass: false }, report([[20, -30.04]]), 'deepest -30.0 dB · 1 band touched'],
    [{ role: 2, bypass: true }, report([[4, -9]]), 'bypassed'],
    [{ role: 0, bypass: true }, report([[4, -9]]), 'bypassed'],
    [masker, report([[4, -9]], { hostBypass: true }), 'bypassed by the host'],
    [masker, report([[4, -9]], { stale: true }), 'no audio'],
    [{ role: 1, bypass: false }, report([[4, -9]]), 'a Source is never dipped'],
    [{ role: 0, bypass: false }, report([[4, -9]]), 'Off'],
    [masker, null, ''],
  ];
  for (const [state, m, line] of cases) assert.equal(meter.meterLine(state, m), line, JSON.stringify(state) + ' ' + line);
  // The plug-in's smoothed "null" meter glides on when the dips end; the
  // readout follows the dips themselves.
  const m = wire.readMessage(0, fx.b64(fx.METERS_RESET_TEXT.replace('"null":-120.0', '"null":-68.1')));
  assert.equal(meter.dipText(meter.deepestDip(m.dip)), 'no dip');
});

test('meters stand still, and say why, when the host bypasses or no audio arrives', () => {
  const report = (more) => Object.assign(wire.readMessage(0, fx.b64(fx.METERS_MASKER_TEXT)), more);
  const cases = [
    [null, false, 'waiting', /Waiting/],
    [report({}), true, '', /^$/],
    [report({ stale: true }), false, 'stale', /No audio/],
    [report({ hostBypass: true }), false, 'hostBypass', /Bypassed by the host/],
    [report({ hostBypass: true, stale: true }), false, 'hostBypass', /Bypassed by the host/],
  ];
  for (const [m, live, reason, text] of cases) {
    const st = meter.meterState(m);
    assert.equal(st.live, live, reason);
    assert.equal(st.reason, reason);
    assert.match(st.text, text);
  }
});

test('the plug-in\'s flags reach the page, and a flip asks for a redraw of the status', () => {
  const state = pluginCalls.makePageState();
  const seen = [];
  const view = { meters: (m, changed) => seen.push([m.stale, m.hostBypass, changed]) };
  const calls = pluginCalls.makePluginCalls(state, () => false, view);
  const send = (text) => {
    const data = fx.b64(text);
    calls.SAMFD(0, data.length, data);
  };
  const live = fx.METERS_MASKER_TEXT;
  assert.match(live, /"hostBypass":0,"stale":0\}$/, 'the plug-in writes both flags');
  send(live);
  send(live);
  send(live.replace('"stale":0', '"stale":1'));
  send(live.replace('"hostBypass":0', '"hostBypass":1'));
  assert.deepEqual(seen, [
    [false, false, true],
    [false, false, false],
    [true, false, true],
    [false, true, true],
  ]);
});

test('both level curves share one dBFS axis', () => {
  const m = wire.readMessage(0, fx.b64(fx.METERS_RESET_TEXT));
  assert.ok(m.src.every((v) => v === -120) && m.mask.every((v) => v === -120), 'silence is the floor');
  const cases = [
    [0, 0],
    [-48, 0.5],
    [-96, 1],
    [-120, 1],
    [6, 0],
    [NaN, 1],
  ];
  for (const [db, f] of cases) assert.equal(meter.levelFraction(db), f, `${db} dBFS`);
  // The gain-reduction curve hangs from this track's curve by the dip.
  assert.equal(meter.levelAfterDip(-30, -6), -36);
  assert.equal(meter.levelAfterDip(-30, 0), -30);
  assert.equal(meter.levelAfterDip(-90, -20), meter.LEVEL_FLOOR_DB);
  assert.equal(meter.levelAfterDip(-120, -3), meter.LEVEL_FLOOR_DB);
});

test('a bell\'s meter: its fill over 24 dB, its text, and a change it shows only at a tenth of a dB', () => {
  const cases = [
    // dB -> shown, fill, text
    [0, 0, '0.000', '0.0 dB'],
    [-6, -60, '0.250', '-6.0 dB'],
    [-1.34, -13, '0.056', '-1.3 dB'],
    [-30, -300, '1.000', '-30.0 dB'],
    [0.4, 4, '0.000', '0.0 dB'],
  ];
  for (const [db, shown, fill, text] of cases) assert.deepEqual(meter.bellMeter(db), { shown, fill, text }, String(db));
  assert.equal(meter.bellMeter(-6.01).shown, meter.bellMeter(-5.99).shown);
});
