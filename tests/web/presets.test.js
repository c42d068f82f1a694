'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const presets = require('../../Resources/web/presets.js');
const params = require('../../Resources/web/params.js');
const wire = require('../../Resources/web/wire.js');
const fx = require('./fixtures.js');

const set = params.makeParamSet();
const id = (name) => set.byName.get(name).id;

function values(overrides) {
  const v = new Map(set.list.map((d) => [d.id, d.default]));
  for (const [name, x] of Object.entries(overrides || {})) v.set(id(name), x);
  return v;
}

// The stored text as the page gets it back: inside the presets message.
function comesBack(text) {
  const msg = wire.readMessage(11, fx.b64('{"t":"presets","json":' + text + '}'));
  return presets.readCollection(msg.json);
}

test('a stored preset comes back with the values it was saved with', () => {
  const current = values({ Depth: 42.3, 'Low Guard': 87, 'Bell 2 Freq': 2517.5, 'Bell 2 Active': 1, Priority: 2 });
  const saved = presets.store(presets.emptyCollection(), presets.capture('Lead vocal', set, current), set);
  const back = comesBack(saved.text);
  assert.equal(back.presets.length, 1);
  assert.equal(back.presets[0].name, 'Lead vocal');
  assert.deepEqual(presets.edits(back.presets[0], set, current), []);
  assert.ok(presets.matches(back.presets[0], set, current));
  const edits = presets.edits(back.presets[0], set, values());
  assert.deepEqual(
    new Map(edits.map((e) => [e.idx, e.value])),
    new Map([
      [id('Depth'), 42.3],
      [id('Low Guard'), 87],
      [id('Bell 2 Freq'), 2517.5],
      [id('Bell 2 Active'), 1],
      [id('Priority'), 2],
    ])
  );
});

test('a preset leaves the instance\'s place in the session alone', () => {
  const current = values({ Role: 2, Channel: 5, Sidechain: 1, Bypass: 1, Listen: 1, 'Bell Listen': 2 });
  const p = presets.capture('x', set, current);
  for (const name of ['Role', 'Channel', 'Sidechain', 'Bypass', 'Listen', 'Bell Listen']) assert.equal(p.values.has(name), false, name);
  // Even a stored text that names them does not change them.
  const text = '{"format":"ostrel-presets","version":1,"params":["Role","Channel","Depth"],"presets":[{"name":"p","values":[3,9,10]}]}';
  const edits = presets.edits(comesBack(text).presets[0], set, values());
  assert.deepEqual(edits, [{ idx: id('Depth'), value: 10 }]);
});

test('saving under an existing name replaces it, whatever the case; names sort', () => {
  let c = presets.emptyCollection();
  c = presets.store(c, presets.capture('Pad', set, values({ Depth: 10 })), set).collection;
  c = presets.store(c, presets.capture('bass', set, values({ Depth: 20 })), set).collection;
  c = presets.store(c, presets.capture('PAD', set, values({ Depth: 30 })), set).collection;
  assert.deepEqual(c.presets.map((p) => p.name), ['bass', 'PAD']);
  assert.equal(presets.find(c, 'pad').values.get('Depth'), 30);
  const r = presets.remove(c, ' Bass ', set);
  assert.deepEqual(r.collection.presets.map((p) => p.name), ['PAD']);
  assert.deepEqual(comesBack(r.text).presets.map((p) => p.name), ['PAD']);
});

test('names are cleaned: no control characters, no blanks around, at most 40 characters', () => {
  assert.equal(presets.cleanName('  Lead\nvox\t '), 'Leadvox');
  assert.equal(presets.cleanName('x'.repeat(60)).length, 40);
  assert.deepEqual(presets.store(presets.emptyCollection(), presets.capture('   ', set, values()), set), { error: 'Give the preset a name' });
  // Quotes, backslashes and non-ASCII names survive the stored text.
  const name = 'Bühne "A" \\ <b>';
  const saved = presets.store(presets.emptyCollection(), presets.capture(name, set, values()), set);
  assert.equal(comesBack(saved.text).presets[0].name, name);
});

test('the collection holds a few hundred presets and then refuses more', () => {
  // The return script grows with the stored text (base64 of the message).
  assert.ok(presets.returnScriptLength(presets.MAX_STORED_BYTES) > presets.MAX_STORED_BYTES * 4 / 3);
  let c = presets.emptyCollection();
  let stored = 0;
  let last = null;
  for (let i = 0; i < 600; i++) {
    const v = values({ Depth: 12.3 + i / 10, 'Bell 1 Freq': 12345.6, 'High Guard': 17777 });
    const r = presets.store(c, presets.capture('Preset number ' + String(i).padStart(3, '0') + ' ü', set, v), set);
    if (r.error) {
      assert.match(r.error, /No room/);
      break;
    }
    c = r.collection;
    last = r.text;
    stored++;
  }
  assert.ok(stored >= 200, `only ${stored} presets fit`);
  assert.ok(stored < 600);
  assert.ok(presets.byteLength(last) <= presets.MAX_STORED_BYTES);
  assert.equal(comesBack(last).presets.length, stored);
});

test('foreign or damaged stored texts read as far as they are sound', () => {
  for (const json of [null, [], {}, { format: 'other', presets: [] }, { format: 'ostrel-presets', presets: 'x' }])
    assert.deepEqual(presets.readCollection(json), { presets: [] });
  const text =
    '{"format":"ostrel-presets","version":1,"params":["Depth",7,"Low Guard"],"presets":[' +
    '{"name":"ok","values":[10,99,null]},{"name":"","values":[1]},7,{"values":[1]},' +
    '{"name":"OK","values":[20]},{"name":"short","values":[]}]}';
  const c = comesBack(text);
  assert.deepEqual(c.presets.map((p) => p.name), ['ok', 'short']);
  assert.deepEqual([...c.presets[0].values], [['Depth', 10]]);
});

test('values of parameters this page does not know are kept when the collection is saved again', () => {
  const text = '{"format":"ostrel-presets","version":1,"params":["Depth","Air"],"presets":[{"name":"a","values":[10,3.5]}]}';
  let c = comesBack(text);
  c = presets.store(c, presets.capture('b', set, values()), set);
  const again = comesBack(c.text);
  assert.equal(presets.find(again, 'a').values.get('Air'), 3.5);
  assert.equal(presets.find(again, 'a').values.get('Depth'), 10);
  assert.equal(presets.find(again, 'b').values.has('Air'), false);
});

test('stored values outside a range are held to it when applied', () => {
  const text = '{"format":"ostrel-presets","version":1,"params":["Depth","Priority"],"presets":[{"name":"a","values":[250,0]}]}';
  const edits = presets.edits(comesBack(text).presets[0], set, values());
  assert.deepEqual(edits, [
    { idx: id('Depth'), value: 100 },
    { idx: id('Priority'), value: 1 },
  ]);
});

test('factory presets name real parameters with values in range', () => {
  const stored = new Set(presets.storedNames(set));
  assert.ok(presets.FACTORY.length >= 3);
  for (const p of presets.FACTORY) {
    assert.equal(p.values.size, stored.size, p.name);
    for (const [name, v] of p.values) {
      const d = set.byName.get(name);
      assert.ok(d && stored.has(name), `${p.name}: ${name}`);
      assert.equal(params.clampPlain(d, v), v, `${p.name}: ${name} = ${v}`);
    }
  }
});

test('applying a preset hands the plug-in all its known values; the edits are those that differ', () => {
  const text =
    '{"format":"ostrel-presets","version":1,"params":["Depth","Listen","Air","Priority"],"presets":[{"name":"p","values":[40,1,3,4]}]}';
  const p = comesBack(text).presets[0];
  assert.deepEqual(presets.applied(p, set), [
    { idx: id('Depth'), value: 40 },
    { idx: id('Priority'), value: 4 },
  ]);
  assert.deepEqual(presets.edits(p, set, values({ Priority: 4 })), [{ idx: id('Depth'), value: 40 }]);
});

test('the header names the preset the settings came from, starred once they moved away', () => {
  const cases = [
    [null, false, 'Presets', ''],
    [null, true, 'Presets', ''],
    ['Busy chorus', false, 'Busy chorus', 'Busy chorus. '],
    ['Busy chorus', true, 'Busy chorus *', 'Busy chorus: changed since it was loaded. '],
  ];
  for (const [name, modified, text, tipLead] of cases) assert.deepEqual(presets.headerLabel(name, modified), { text, tipLead }, `${name} ${modified}`);
});
