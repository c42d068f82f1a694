'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const params = require('../../Resources/web/params.js');
const wire = require('../../Resources/web/wire.js');
const fx = require('./fixtures.js');

const set = params.makeParamSet(wire.readMessage(-1, fx.b64(fx.PARAMS_TEXT)).params);
const byName = (n) => set.byName.get(n);

// SPVFD carries the normalised value with six decimals.
const sixDecimals = (x) => Number(x.toFixed(6));

test('the built-in table equals what the plug-in describes', () => {
  const builtIn = params.makeParamSet();
  assert.equal(builtIn.list.length, 27);
  for (const d of set.list) {
    const b = builtIn.byId.get(d.id);
    for (const key of ['name', 'type', 'min', 'max', 'default', 'displayType', 'step', 'unit'])
      assert.deepEqual(b[key], d[key], `${d.name} ${key}`);
  }
});

test('curved parameters map normalised values through the cube', () => {
  const cases = [
    ['Low Guard', 0, 20],
    ['Low Guard', 0.5, 80], // 20 + 0.125 x 480
    ['Low Guard', 1, 500],
    ['Bell 1 Freq', 0.5, 2517.5], // 20 + 0.125 x 19980
    ['High Guard', 0.2, 2144],
    ['High Guard', 0.5, 4250],
    ['Depth', 0.423, 42.3],
    ['Bell 2 Q', 0.5, 5.15],
    ['Selectivity', 0.11, 11],
  ];
  for (const [name, x, plain] of cases) {
    const d = byName(name);
    assert.ok(Math.abs(params.toPlain(d, x) - plain) < 1e-9, `${name} ${x} -> ${params.toPlain(d, x)}`);
    assert.ok(Math.abs(params.toNormalised(d, plain) - x) < 1e-9, `${name} ${plain} -> normalised`);
  }
});

test('every whole-step value survives the six-decimal echo', () => {
  for (const name of ['Role', 'Channel', 'Bypass', 'Bell Listen', 'Priority', 'Bell 4 Active']) {
    const d = byName(name);
    for (let v = d.min; v <= d.max; v++) {
      const echoed = params.toPlain(d, sixDecimals(params.toNormalised(d, v)));
      assert.equal(echoed, v, `${name} ${v}`);
    }
  }
});

test('continuous values come back from the echo within their shown resolution', () => {
  for (const [name, values] of [
    ['Bell 1 Freq', [20, 37.4, 1000, 2517.5, 19999.9, 20000]],
    ['Low Guard', [20, 21, 80, 499, 500]],
    ['High Guard', [2000, 2001, 9876, 20000]],
    ['Depth', [0, 0.1, 42.3, 99.9, 100]],
    ['Bell 1 Q', [0.3, 1.5, 9.99]],
  ]) {
    const d = byName(name);
    for (const v of values) {
      const echoed = params.toPlain(d, sixDecimals(params.toNormalised(d, v)));
      assert.ok(Math.abs(echoed - v) <= d.step + 1e-9, `${name} ${v} came back as ${echoed}`);
    }
  }
});

test('values are held to range and whole steps round half away from zero', () => {
  const ch = byName('Channel');
  assert.equal(params.toPlain(ch, 0.5), 33); // 1 + 31.5
  assert.equal(params.clampPlain(ch, 0), 1);
  assert.equal(params.clampPlain(ch, 99), 64);
  assert.equal(params.clampPlain(ch, NaN), 1);
  assert.equal(params.toNormalised(ch, 200), 1);
  assert.equal(params.toNormalised(ch, -5), 0);
  assert.equal(params.toPlain(byName('Role'), 0.5), 2); // 1.5 rounds up
  assert.equal(params.clampPlain(byName('Depth'), 42.34), 42.3);
  assert.equal(params.toPlain(byName('Depth'), -1), 0);
  assert.equal(params.toPlain(byName('Depth'), NaN), 0);
});

test('shown values', () => {
  const cases = [
    ['Depth', 42.3, '42.3 %'],
    ['Depth', 0, '0.0 %'],
    ['Selectivity', 11, '11.0 %'],
    ['Low Guard', 20, '20 Hz'],
    ['Low Guard', 123.6, '124 Hz'],
    ['Bell 1 Freq', 37.4, '37.4 Hz'],
    ['Bell 1 Freq', 450.3, '450 Hz'],
    ['Bell 1 Freq', 2517.5, '2.52 kHz'],
    ['Bell 1 Freq', 12564.2, '12.6 kHz'],
    ['High Guard', 20000, '20.0 kHz'],
    ['Bell 2 Q', 1.5, '1.50'],
    ['Role', 2, 'Masker'],
    ['Bypass', 1, 'On'],
    ['Bell Listen', 0, 'Off'],
    ['Bell Listen', 3, 'Bell 3'],
    ['Priority', 4, '4'],
    ['Channel', 64, '64'],
  ];
  for (const [name, v, text] of cases) assert.equal(params.formatText(byName(name), v), text, name);
});

test('typed values', () => {
  const cases = [
    ['Bell 1 Freq', '2.5k', 2500],
    ['Bell 1 Freq', '2,5 kHz', 2500],
    ['Bell 1 Freq', '440hz', 440],
    ['Bell 1 Freq', '100000', 20000],
    ['Depth', '40 %', 40],
    ['Depth', '150', 100],
    ['Depth', '-3', 0],
    ['Depth', '.5', 0.5],
    ['Role', 'masker', 2],
    ['Bypass', 'on', 1],
    ['Priority', '2.6', 3],
    ['Depth', '', null],
    ['Depth', 'loud', null],
    ['Depth', '4 0', null],
    ['Depth', '40 Hz', null],
    ['High Guard', '5 kHz', 5000],
    ['High Guard', '5 MHz', 20000],
    ['High Guard', '5 mHz', null],
    ['Low Guard', '1k', 500],
    ['Bell 1 Q', '2 %', null],
  ];
  for (const [name, typed, v] of cases) assert.equal(params.parseValue(byName(name), typed), v, `${name} "${typed}"`);
});

test('nudging moves by whole steps or by a share of the travel, never stands still', () => {
  const pri = byName('Priority');
  assert.equal(params.nudge(pri, 4, 1), 5);
  assert.equal(params.nudge(pri, 8, 1), 8);
  assert.equal(params.nudge(pri, 1, -3), 1);
  const depth = byName('Depth');
  assert.equal(params.nudge(depth, 50, 1), 51);
  assert.equal(params.nudge(depth, 50, -1, true), 49.8);
  const low = byName('Low Guard');
  // Near the bottom of a cube curve a 1/500 step is far below 1 Hz.
  assert.equal(params.nudge(low, 20, 1, true), 21);
  assert.ok(params.nudge(low, 400, 1) > 400);
  assert.equal(params.nudge(low, 500, 1), 500);
});

test('an unknown parameter from a later plug-in still gets a sane control', () => {
  const s = params.makeParamSet([{ id: 27, name: 'Air', type: 'float', min: -12, max: 12, default: 0, display_type: 0 }]);
  const d = s.byId.get(27);
  assert.equal(d.unit, '');
  assert.equal(params.toPlain(d, 0.75), 6);
  assert.equal(params.formatText(d, 6), '6.00');
});
