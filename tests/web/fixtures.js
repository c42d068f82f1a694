// Message texts as the plug-in writes them, and the SAMFD arguments that
// carry them (base64 made here with Node's own encoder, independent of the
// page's): those the plug-in recorded itself (golden/), and hand-made peer
// lists and matrices for cases a recording does not easily show (escaped
// names, Maskers aimed at nothing, solo).
'use strict';

// What the plug-in itself writes, recorded by its page contract test
// (tests/plugin/page_contract_golden_test.cpp) into golden/: read, never
// copied, so that a change on either side that breaks the contract fails.
function golden(name) {
  if (typeof require === 'function') {
    const path = require('node:path');
    return require('node:fs').readFileSync(path.join(__dirname, 'golden', name), 'utf8').trimEnd();
  }
  // The browser harness, opened with file access allowed.
  const request = new XMLHttpRequest();
  request.open('GET', 'golden/' + name, false);
  request.send();
  return request.responseText.trimEnd();
}

// The "params" message: the JSON library's compact writing, members sorted.
const PARAMS_TEXT = golden('params.json');

// The meter report of an engine right after a reset.
const METERS_RESET_TEXT = golden('meters_reset.json');

// A Masker dipping bands 10..13, bells 1 and 4 at work.
const METERS_MASKER_TEXT = golden('meters_masker.json');

// Every script a Masker's page receives when it loads next to a live Source
// on channel 3 and during its first 8 ticks, in order.
const MASKER_PAGE_SESSION = JSON.parse(golden('masker_page_session.json'));

// The 25 band limits and 24 centres, and the margin of each Priority (0 and
// 9 show the clamping).
const BANDS = JSON.parse(golden('bands.json'));

// Three Sources on channel 1, one on 2 and a Masker, each page open; then two
// renamed, then one moved to channel 3: at each step every page's own name,
// Role and Channel and the last "sources" and "matrix" texts it got.
const SOURCES_SHARING_A_CHANNEL = JSON.parse(golden('sources_sharing_a_channel.json'));
const PRIORITY_MARGINS = JSON.parse(golden('priority_margins.json'));

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
  METERS_MASKER_TEXT,
  MASKER_PAGE_SESSION,
  SOURCES_SHARING_A_CHANNEL,
  BANDS,
  PRIORITY_MARGINS,
  SOURCES_TEXT,
  MATRIX_TEXT,
  MATRIX_EMPTY_TEXT,
  matrixRow,
  b64,
};
if (typeof module === 'object' && module.exports) module.exports = FIXTURES;
else window.FIXTURES = FIXTURES;
