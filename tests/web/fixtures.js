// Message texts exactly as the plug-in writes them, and the SAMFD arguments
// that carry them (base64 made here with Node's own encoder, independent of
// the page's).
'use strict';

// The "params" message: the JSON library's compact writing, members sorted.
const PARAMS_TEXT =
  '{"id":"params","params":[{"default":0.0,"display_type":0,"id":0,"max":3.0,"min":0.0,"name":"Role","rate":"control","type":"enum"},'
  + '{"default":1.0,"display_type":0,"id":1,"max":64.0,"min":1.0,"name":"Channel","rate":"control","type":"int"},'
  + '{"default":0.0,"display_type":0,"id":2,"max":100.0,"min":0.0,"name":"Depth","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":3,"max":1.0,"min":0.0,"name":"Bypass","rate":"control","type":"bool"},'
  + '{"default":11.0,"display_type":0,"id":4,"max":100.0,"min":0.0,"name":"Selectivity","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":5,"max":1.0,"min":0.0,"name":"Listen","rate":"control","type":"bool"},'
  + '{"default":20.0,"display_type":6,"id":6,"max":500.0,"min":20.0,"name":"Low Guard","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":7,"max":1.0,"min":0.0,"name":"Sidechain","rate":"control","type":"bool"},'
  + '{"default":1000.0,"display_type":6,"id":8,"max":20000.0,"min":20.0,"name":"Bell 1 Freq","rate":"control","type":"float"},'
  + '{"default":1.5,"display_type":0,"id":9,"max":10.0,"min":0.3,"name":"Bell 1 Q","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":10,"max":100.0,"min":0.0,"name":"Bell 1 Depth","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":11,"max":1.0,"min":0.0,"name":"Bell 1 Active","rate":"control","type":"bool"},'
  + '{"default":1000.0,"display_type":6,"id":12,"max":20000.0,"min":20.0,"name":"Bell 2 Freq","rate":"control","type":"float"},'
  + '{"default":1.5,"display_type":0,"id":13,"max":10.0,"min":0.3,"name":"Bell 2 Q","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":14,"max":100.0,"min":0.0,"name":"Bell 2 Depth","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":15,"max":1.0,"min":0.0,"name":"Bell 2 Active","rate":"control","type":"bool"},'
  + '{"default":1000.0,"display_type":6,"id":16,"max":20000.0,"min":20.0,"name":"Bell 3 Freq","rate":"control","type":"float"},'
  + '{"default":1.5,"display_type":0,"id":17,"max":10.0,"min":0.3,"name":"Bell 3 Q","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":18,"max":100.0,"min":0.0,"name":"Bell 3 Depth","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":19,"max":1.0,"min":0.0,"name":"Bell 3 Active","rate":"control","type":"bool"},'
  + '{"default":1000.0,"display_type":6,"id":20,"max":20000.0,"min":20.0,"name":"Bell 4 Freq","rate":"control","type":"float"},'
  + '{"default":1.5,"display_type":0,"id":21,"max":10.0,"min":0.3,"name":"Bell 4 Q","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":22,"max":100.0,"min":0.0,"name":"Bell 4 Depth","rate":"control","type":"float"},'
  + '{"default":0.0,"display_type":0,"id":23,"max":1.0,"min":0.0,"name":"Bell 4 Active","rate":"control","type":"bool"},'
  + '{"default":0.0,"display_type":0,"id":24,"max":4.0,"min":0.0,"name":"Bell Listen","rate":"control","type":"int"},'
  + '{"default":20000.0,"display_type":6,"id":25,"max":20000.0,"min":2000.0,"name":"High Guard","rate":"control","type":"float"},'
  + '{"default":4.0,"display_type":0,"id":26,"max":8.0,"min":1.0,"name":"Priority","rate":"control","type":"int"}]}';

function repeat(item, count) {
  return Array(count).fill(item).join(',');
}

// The meter report of an engine right after a reset.
const METERS_RESET_TEXT =
  '{"t":"meters","role":0,"linked":0,"peers":0,"null":-120.0,"touched":0,"dip":[' +
  repeat('0.0', 24) +
  '],"src":[' +
  repeat('0.00', 24) +
  '],"mask":[' +
  repeat('0.00', 24) +
  '],"bellDip":[' +
  repeat('0.0', 4) +
  ']}';

// A Masker dipping bands 10..13.
function metersText({ role = 2, linked = 1, peers = 1, nullDb = '-7.4', touched = 4 } = {}) {
  const dip = [];
  const src = [];
  const mask = [];
  for (let k = 0; k < 24; k++) {
    dip.push(k >= 10 && k <= 13 ? (-1.5 * (k - 9)).toFixed(1) : '0.0');
    src.push((k === 11 ? 1 : 0.4).toFixed(2));
    mask.push((k / 23).toFixed(2));
  }
  return (
    '{"t":"meters","role":' + role + ',"linked":' + linked + ',"peers":' + peers + ',"null":' + nullDb +
    ',"touched":' + touched + ',"dip":[' + dip.join(',') + '],"src":[' + src.join(',') + '],"mask":[' +
    mask.join(',') + '],"bellDip":[-6.0,0.0,0.0,-1.3]}'
  );
}

const SOURCES_TEXT =
  '{"t":"sources","list":[{"ch":3,"name":"Lead \\"Vox\\" L"},' +
  '{"ch":9,"name":"Edge"},{"ch":10,"name":"Bass"},{"ch":12,"name":""}]}';

function matrixRow(ch, role, target, pri, depth, mute, bal, name, e) {
  return (
    '{"ch":' + ch + ',"role":' + role + ',"target":' + target + ',"pri":' + pri + ',"depth":' + depth +
    ',"mute":' + mute + ',"bal":' + bal + ',"name":"' + name + '","e":[' + e.join(',') + ']}'
  );
}

const ZERO_LEVELS = Array(24).fill(0);

// A Source on channel 3 with two Maskers (slots 62 and 63), one Masker
// aimed at nothing (slot 40); this instance holds slot 63, channel 63 soloed.
const MATRIX_TEXT =
  '{"t":"matrix","slots":[' +
  [
    matrixRow(3, 1, 0, 2, 0, 0, 0, 'Vocal', [12, 99999, 0].concat(Array(21).fill(1000))),
    matrixRow(41, 2, 0, 4, 0, 0, 0, '', ZERO_LEVELS),
    matrixRow(63, 2, 3, 4, 12, 0, 99, 'Pad', ZERO_LEVELS),
    matrixRow(64, 2, 3, 4, 50, 1, -25, 'Gtr', ZERO_LEVELS),
  ].join(',') +
  '],"diag":{"shared":1,"src":1,"msk":3,"my":63,"solo":63}}';

const MATRIX_EMPTY_TEXT =
  '{"t":"matrix","slots":[],"diag":{"shared":1,"src":0,"msk":0,"my":-1,"solo":-1}}';

// Node only.
function b64(text) {
  return Buffer.from(text, 'utf8').toString('base64');
}

const FIXTURES = {
  PARAMS_TEXT,
  METERS_RESET_TEXT,
  metersText,
  SOURCES_TEXT,
  MATRIX_TEXT,
  MATRIX_EMPTY_TEXT,
  matrixRow,
  b64,
};
if (typeof module === 'object' && module.exports) module.exports = FIXTURES;
else window.FIXTURES = FIXTURES;
