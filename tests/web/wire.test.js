'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const wire = require('../../Resources/web/wire.js');
const fx = require('./fixtures.js');
const reader = require('./plugin_reader.js');

test('base64 matches an independent encoder and decodes back', () => {
  const samples = [[], [0], [0xff, 0xfe], [1, 2, 3], [1, 2, 3, 4], [250, 0, 7, 128, 64], [...Array(256).keys()]];
  for (const bytes of samples) {
    const ours = wire.base64Encode(Uint8Array.from(bytes));
    assert.equal(ours, Buffer.from(bytes).toString('base64'), `encode ${bytes.length} bytes`);
    assert.deepEqual(Array.from(wire.base64Decode(ours)), bytes, `decode ${bytes.length} bytes`);
  }
});

test('base64 decoding stops at the first character outside the alphabet, as the plug-in does', () => {
  const cases = [
    ['QQ==', [0x41]],
    ['QUI=', [0x41, 0x42]],
    ['QUJD', [0x41, 0x42, 0x43]],
    ['Q', []], // a lone character carries no byte
    ['=', []],
    ['', []],
    ['QUJD!QUJD', [0x41, 0x42, 0x43]],
    ['QUJDQQ', [0x41, 0x42, 0x43, 0x41]], // unpadded tail
    ['QUJD\u00e9QQ==', [0x41, 0x42, 0x43]],
  ];
  for (const [text, bytes] of cases) assert.deepEqual(Array.from(wire.base64Decode(text)), bytes, JSON.stringify(text));
});

test('UTF-8 text survives the round trip; a name cut inside a character does not spoil the message', () => {
  const name = 'Gitarre – Bühne 🎸';
  assert.equal(wire.decodeText(wire.encodeText(name)), name);
  const bytes = Buffer.from('{"t":"sources","list":[{"ch":1,"name":"B\u00fc"}]}', 'utf8');
  // Drop the second byte of "ü": the message still reads, with a stand-in.
  const at = bytes.indexOf(0xbc); // second byte of "ü" (c3 bc)
  const cut = Buffer.concat([bytes.subarray(0, at), bytes.subarray(at + 1)]);
  const msg = wire.readMessage(2, cut.toString('base64'));
  assert.equal(msg.list[0].name, 'B\ufffd');
});

test('"params" gives every parameter with its range, default, kind, shape, step, unit and texts', () => {
  const msg = wire.readMessage(-1, fx.b64(fx.PARAMS_TEXT));
  assert.equal(msg.kind, 'params');
  assert.equal(msg.params.length, 27);
  assert.deepEqual(msg.params[6], { id: 6, name: 'Low Guard', type: 'float', min: 20, max: 500, default: 20, display_type: 6, step: 1, unit: 'Hz', texts: [] });
  assert.deepEqual(msg.params[0], {
    id: 0, name: 'Role', type: 'enum', min: 0, max: 3, default: 0, display_type: 0, step: 1, unit: '',
    texts: ['Off', 'Source', 'Masker', 'Self'],
  });
  assert.deepEqual(msg.params[24].texts, ['Off', 'Bell 1', 'Bell 2', 'Bell 3', 'Bell 4']);
  assert.equal(msg.params[26].name, 'Priority');
  assert.equal(msg.params[26].default, 4);
});

test('"params" entries without a usable range are left out, the rest kept', () => {
  const text = '{"id":"params","params":[{"id":0,"name":"A","min":0,"max":1},{"id":1,"name":"B"},7,{"id":2,"name":"C","min":"x","max":2},{"id":3,"name":"D","min":0,"max":10,"default":99,"type":"weird","step":-1,"unit":5,"texts":"x"}]}';
  const msg = wire.readMessage(-1, fx.b64(text));
  assert.deepEqual(msg.params.map((p) => p.name), ['A', 'D']);
  assert.equal(msg.params[1].default, 10, 'default held to the range');
  assert.equal(msg.params[1].type, 'float');
  assert.deepEqual([msg.params[1].step, msg.params[1].unit, msg.params[1].texts], [0, '', []], 'no usable step, unit or texts');
});

test('the meter report of a reset engine reads as silence', () => {
  const m = wire.readMessage(0, fx.b64(fx.METERS_RESET_TEXT));
  assert.equal(m.kind, 'meters');
  assert.equal(m.role, 0);
  assert.equal(m.linked, false);
  assert.equal(m.nullDb, -120);
  assert.equal(m.dip.length, 24);
  assert.equal(m.src.length, 24);
  assert.equal(m.mask.length, 24);
  assert.equal(m.bellDip.length, 4);
  assert.ok(m.dip.every((v) => v === 0));
});

test('meter values arrive in band order', () => {
  const m = wire.readMessage(0, fx.b64(fx.METERS_MASKER_TEXT));
  assert.equal(m.role, 2);
  assert.equal(m.linked, true);
  assert.equal(m.touched, 4);
  assert.ok(Math.abs(m.nullDb + 7.4) < 1e-6);
  assert.ok(Math.abs(m.dip[13] + 6) < 1e-6);
  assert.equal(m.dip[9], 0);
  assert.equal(m.src[11], -20);
  assert.equal(m.mask[11], -26);
  assert.equal(m.hostBypass, false);
  assert.equal(m.stale, false);
  assert.ok(Math.abs(m.bellDip[3] + 1.3) < 1e-6);
});

test('short or damaged meter arrays are filled, never left ragged', () => {
  const m = wire.readMessage(0, fx.b64('{"t":"meters","role":3,"dip":[-3.0,"x",null],"src":5}'));
  assert.equal(m.dip.length, 24);
  assert.equal(m.dip[0], -3);
  assert.equal(m.dip[1], 0);
  assert.equal(m.src.length, 24);
  assert.equal(m.nullDb, -120);
});

test('the peer list gives channels and unescaped names', () => {
  const m = wire.readMessage(2, fx.b64(fx.SOURCES_TEXT));
  assert.deepEqual(m.list, [
    { ch: 3, name: 'Lead "Vox" L' },
    { ch: 9, name: 'Edge' },
    { ch: 10, name: 'Bass' },
    { ch: 12, name: '' },
  ]);
  assert.deepEqual(wire.readMessage(2, fx.b64('{"t":"sources","list":[]}')).list, []);
});

test('the matrix report gives rows and diagnostics', () => {
  const m = wire.readMessage(9, fx.b64(fx.MATRIX_TEXT));
  assert.equal(m.slots.length, 4);
  const [src, , pad, gtr] = m.slots;
  assert.equal(src.ch, 3);
  assert.equal(src.role, 1);
  assert.equal(src.pri, 2);
  assert.equal(src.e[0], 12);
  assert.equal(src.e[1], 99999);
  assert.equal(pad.target, 3);
  assert.equal(pad.depth, 12);
  assert.equal(pad.bal, 99);
  assert.equal(gtr.mute, true);
  assert.equal(gtr.bal, -25);
  assert.equal(gtr.name, 'Gtr');
  assert.deepEqual(m.diag, { src: 1, msk: 3, my: 63, solo: 63, me: '' });
  const empty = wire.readMessage(9, fx.b64(fx.MATRIX_EMPTY_TEXT));
  assert.deepEqual(empty.slots, []);
  assert.deepEqual(empty.diag, { src: 0, msk: 0, my: -1, solo: -1, me: '' });
  const named = wire.readMessage(9, fx.b64('{"t":"matrix","slots":[],"diag":{"my":-1,"me":"BV \\"Stack\\" 2"}}'));
  assert.equal(named.diag.me, 'BV "Stack" 2');
});

test('presets and first-run flag messages', () => {
  assert.deepEqual(wire.readMessage(11, fx.b64('{"t":"presets","json":[]}')), { kind: 'presets', json: [] });
  assert.deepEqual(wire.readMessage(11, fx.b64('{"t":"presets","json":{"a":[1, 2]}\n}')).json, { a: [1, 2] });
  assert.equal(wire.readMessage(13, fx.b64('{"t":"onboarded","onboarded":0}')).onboarded, false);
  assert.equal(wire.readMessage(13, fx.b64('{"t":"onboarded","onboarded":1}')).onboarded, true);
});

test('stored presets that are no JSON are reported as unreadable, not as absent', () => {
  assert.deepEqual(wire.readMessage(11, fx.b64('{"t":"presets","json":not json}')), { kind: 'presets', unreadable: true });
});

test('messages the page cannot trust are ignored', () => {
  const cases = [
    [0, fx.b64(fx.SOURCES_TEXT)], // tag and "t" disagree
    [2, fx.b64(fx.METERS_RESET_TEXT)],
    [0, fx.b64(fx.METERS_RESET_TEXT).slice(0, 200)], // cut
    [9, fx.b64('[1,2,3]')],
    [9, fx.b64('null')],
    [5, fx.b64('{"t":"meters"}')], // unknown tag
    [-1, fx.b64('{"t":"params"}')],
    [0, ''],
    [0, undefined],
  ];
  for (const [tag, data] of cases) assert.equal(wire.readMessage(tag, data), null, `tag ${tag}`);
});

test('numbers are written as plain decimals the plug-in reads whole', () => {
  const cases = [
    [50, '50'],
    [42.3, '42.3'],
    [0.1 + 0.2, '0.3'],
    [2517.5, '2517.5'],
    [-0, '0'],
    [-1.25, '-1.25'],
    [1e-7, '0'],
    [0.000001, '0.000001'],
    [19999.99, '19999.99'],
    [NaN, null],
    [Infinity, null],
  ];
  for (const [v, s] of cases) assert.equal(wire.formatNumber(v), s, String(v));
});

test('parameter messages have the exact key layout', () => {
  assert.equal(wire.parameterText(2, 50, 'begin'), '{"paramIdx":2,"value":50,"gesture":"begin"}');
  assert.equal(wire.parameterText(2, 60, ''), '{"paramIdx":2,"value":60}');
  assert.equal(wire.parameterText(2, undefined, 'end'), '{"paramIdx":2,"gesture":"end"}');
  assert.equal(wire.parameterText(8, 2517.5, 'end'), '{"paramIdx":8,"value":2517.5,"gesture":"end"}');
  assert.equal(wire.parameterText(2, NaN, ''), null);
});

test('every outgoing text reads back through the plug-in\'s key search', () => {
  const p = wire.parameterText(25, 4250.5, 'begin');
  assert.equal(reader.integer(p, 'paramIdx'), 25);
  assert.equal(reader.real(p, 'value'), 4250.5);
  assert.equal(reader.quoted(p, 'gesture'), 'begin');

  for (const [field, v] of [['depth', 37.5], ['pri', 2], ['mute', 1], ['mute', 0]]) {
    const t = wire.matrixEditText(17, field, v);
    assert.equal(reader.integer(t, 'ch'), 17);
    assert.equal(reader.real(t, 'v'), v);
    // The plug-in acts on the first of depth, pri, mute it finds.
    const named = ['depth', 'pri', 'mute'].filter((f) => reader.has(t, f));
    assert.deepEqual(named, [field]);
    assert.doesNotThrow(() => JSON.parse(t));
  }
  assert.equal(reader.integer(wire.soloText(5), 'ch'), 5);
  assert.equal(reader.integer(wire.soloText(0), 'ch'), 0);
});

test('matrix edits and solo keep to the channels that exist', () => {
  assert.equal(wire.matrixEditText(0, 'depth', 10), null);
  assert.equal(wire.matrixEditText(65, 'depth', 10), null);
  assert.equal(wire.matrixEditText(3, 'gain', 10), null);
  assert.equal(wire.matrixEditText(3, 'pri', NaN), null);
  assert.equal(wire.matrixEditText(3, 'pri', 2), '{"ch":3,"pri":1,"v":2}');
  assert.equal(wire.soloText(-4), '{"ch":0}');
  assert.equal(wire.soloText(undefined), '{"ch":0}');
});

test('a depth drag names its place in the gesture; other matrix edits never do', () => {
  const cases = [
    ['depth', 40, 'begin', 'begin'],
    ['depth', 41, 'drag', 'drag'],
    ['depth', 42, 'end', 'end'],
    ['depth', 43, undefined, ''],
    ['pri', 2, 'begin', ''],
    ['mute', 1, 'end', ''],
  ];
  for (const [field, v, gesture, read] of cases) {
    const t = wire.matrixEditText(9, field, v, gesture);
    assert.equal(reader.quoted(t, 'gesture'), read, t);
    assert.equal(reader.real(t, 'v'), v, t);
    assert.doesNotThrow(() => JSON.parse(t));
  }
});

test('a preset goes out as one text: its values by index, then its name', () => {
  const edits = [
    { idx: 2, value: 42.5 },
    { idx: 8, value: 2517.5 },
    { idx: 26, value: 3 },
    { idx: 4, value: NaN },
  ];
  const names = ['Lead vocal', 'Bühne "A" \\ end', 'tricky "values":[1,2] ', 'tab\there', ''];
  for (const name of names) {
    const t = wire.presetText(name, edits);
    assert.deepEqual(reader.numberList(t, 'values'), [2, 42.5, 8, 2517.5, 26, 3], name);
    assert.equal(reader.escaped(t, 'preset'), name.replace('\t', ''), name);
    assert.doesNotThrow(() => JSON.parse(t), name);
  }
  assert.equal(wire.presetText('', []), '{"values":[],"preset":""}');
  assert.equal(wire.compareText(1), '{"slot":1}');
  assert.equal(wire.compareText(0), '{"slot":0}');
  assert.equal(wire.compareText('copy'), '{"copy":1}');
});

test('links: only http and https leave the page, quotes kept inside the value', () => {
  assert.equal(wire.linkText('https://talmesh.example/ostrel'), '{"url":"https://talmesh.example/ostrel"}');
  assert.equal(wire.linkText('https://x.example/a"b\\c'), '{"url":"https://x.example/a\\"b\\\\c"}');
  for (const bad of ['file:///etc/passwd', 'mailto:a@b.example', 'HTTPS://x.example', 'javascript:alert(1)', 'https://x.example/\nb', ''])
    assert.equal(wire.linkText(bad), null, bad);
});

test('the posted object carries the text as base64 of its UTF-8 bytes', () => {
  const m = wire.arbitraryMessage(10, '{"name":"Bühne"}');
  assert.equal(m.msg, 'SAMFUI');
  assert.equal(m.msgTag, 10);
  assert.equal(m.ctrlTag, -1);
  assert.equal(Buffer.from(m.data, 'base64').toString('utf8'), '{"name":"Bühne"}');
  assert.equal('data' in wire.arbitraryMessage(12), false);
});

test('the matrix report brings where the instance meets its peers, and which process each row runs in', () => {
  const L = require('../../Resources/web/link_model.js');
  const text = (diag) =>
    '{"t":"matrix","slots":[{"ch":3,"role":1,"target":4,"pri":4,"depth":0,"mute":0,"bal":0,"name":"Vox","pid":4242,"e":[]}],' +
    '"diag":{"shared":1,"src":1,"msk":0,"my":-1,"solo":-1' + diag + '}}';
  const cases = [
    ['no place yet', '', {}, 'No Source on channel 5 yet'],
    ['across the host', ',"xproc":1,"pid":77,"inhost":1,"link":"automatic","why":""', { xproc: 1, pid: 77, inhost: 1, link: 'automatic', why: '' }, 'No Source on channel 5 in this host session'],
    ['a refused shared table', ',"xproc":0,"pid":77,"inhost":1,"link":"automatic","why":"the shared registry has another layout"', { xproc: 0, pid: 77, inhost: 1, link: 'automatic', why: 'the shared registry has another layout' }, 'No Source on channel 5 in this process (the shared registry has another layout)'],
    ['never in a plug-in process', ',"xproc":0,"pid":77,"inhost":0,"link":"never","why":""', { xproc: 0, pid: 77, inhost: 0, link: 'never', why: '' }, /processes of their own, and Link processes is set to Never \(choose Auto/],
    ['an unknown preference', ',"xproc":1,"pid":77,"inhost":1,"link":"sometimes","why":""', { xproc: 1, pid: 77, inhost: 1, link: 'automatic', why: '' }, 'No Source on channel 5 in this host session'],
  ];
  for (const [what, diag, place, status] of cases) {
    const m = wire.readMessage(9, fx.b64(text(diag)));
    assert.equal(m.slots[0].pid, 4242, what);
    assert.deepEqual(m.diag, { src: 1, msk: 0, my: -1, solo: -1, me: '', ...place }, what);
    const shown = L.linkStatus({ role: 2, channel: 5 }, null, [], m.diag).text;
    if (status instanceof RegExp) assert.match(shown, status, what);
    else assert.equal(shown, status, what);
  }
});

test('the link preference the page asks for is one of three words', () => {
  assert.deepEqual(wire.LINK_PREFERENCES, ['automatic', 'never', 'always']);
  for (const word of wire.LINK_PREFERENCES) assert.equal(wire.linkPreferenceText(word), '{"link":"' + word + '"}');
  for (const other of ['', 'Never', 'sometimes', undefined, '"}']) assert.equal(wire.linkPreferenceText(other), null);
  assert.equal(wire.TAG.linkPreference, 24);
});
