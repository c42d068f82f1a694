// The editor page (Resources/web) as it runs: loaded in headless Chromium,
// fed the calls the plug-in itself recorded (tests/web/golden/), then checked
// for what it draws and for what it sends back when the user clicks, drags,
// types and resizes. The page's modules are tested one by one under Node
// (tests/web/*.test.js); this is the page put together.
//
// Needs /usr/bin/chromium (Debian's `chromium`) and playwright-core from
// tests/web/browser/package.json (scripts/install-deps.sh installs both).
// Without them the test is skipped (exit 77), and fails under CI=true.
'use strict';

const { test, before, after, describe } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const FIXTURES = require('../fixtures.js');
const HELP = require('../../../Resources/web/help_texts.js');
const SL = require('../../../Resources/web/spectrum_layout.js');

const CHROMIUM = process.env.OSTREL_CHROMIUM || '/usr/bin/chromium';
const PAGE_URL = pathToFileURL(path.join(__dirname, '..', '..', '..', 'Resources', 'web', 'index.html')).href;
const SKIPPED = 77;

function missing(what) {
  const ci = process.env.CI === 'true';
  console.error(what + ' not found: ' + (ci ? 'CI=true requires it' : 'the page is not tested in Chromium') + ' (scripts/install-deps.sh installs it).');
  process.exit(ci ? 1 : SKIPPED);
}

let chromium;
try {
  ({ chromium } = require('playwright-core'));
} catch (e) {
  missing('playwright-core');
}
if (!fs.existsSync(CHROMIUM)) missing(CHROMIUM);

// The tag numbers the page sends under.
const TAG = { parameter: 1, savePresets: 10, setOnboarded: 12, hostKeys: 20, solo: 21, matrixEdit: 22, compare: 31, resize: 40 };

// The parameter indexes of the recorded "params" message.
const ID = {};
for (const p of JSON.parse(FIXTURES.PARAMS_TEXT).params) ID[p.name] = p.id;

// Before any page script: what the page posts is kept, decoded, in
// window.__sent as { tag, text }.
function recordSent() {
  window.__sent = [];
  window.PluginSendMsg = (m) => {
    const text = m.data ? new TextDecoder().decode(Uint8Array.from(atob(m.data), (c) => c.charCodeAt(0))) : '';
    window.__sent.push({ tag: m.msgTag, text });
  };
}

let context = null;
let profile = null;

// OSTREL_PAGE_COVERAGE=<file>: the page's script lines each test ran are
// gathered and their share per file written there at the end.
const COVERAGE_OUT = process.env.OSTREL_PAGE_COVERAGE || '';
const covered = new Map(); // url -> { source, counts per character, max over pages }

function addCoverage(entries) {
  for (const e of entries) {
    if (!e.url.endsWith('.js')) continue;
    let c = covered.get(e.url);
    if (!c) covered.set(e.url, (c = { source: e.source, counts: new Uint8Array(e.source.length) }));
    // The innermost range decides: the wider ones go first.
    const ranges = e.functions.flatMap((f) => f.ranges).sort((a, b) => b.endOffset - b.startOffset - (a.endOffset - a.startOffset));
    const run = new Uint8Array(e.source.length);
    for (const r of ranges) run.fill(r.count > 0 ? 1 : 0, r.startOffset, r.endOffset);
    for (let i = 0; i < run.length; i++) c.counts[i] |= run[i];
  }
}

// Per file: code lines (not blank, not only a comment) and those whose
// first character ran.
function writeCoverage() {
  const rows = [];
  let all = 0;
  let ran = 0;
  for (const [url, c] of [...covered].sort()) {
    let offset = 0;
    let lines = 0;
    let hit = 0;
    for (const line of c.source.split('\n')) {
      const first = line.search(/\S/);
      if (first >= 0 && !line.trimStart().startsWith('//')) {
        lines++;
        if (c.counts[offset + first]) hit++;
      }
      offset += line.length + 1;
    }
    all += lines;
    ran += hit;
    rows.push(path.basename(url).padEnd(22) + String(hit).padStart(5) + ' of ' + String(lines).padStart(5) + ' code lines ran');
  }
  rows.push('all'.padEnd(22) + String(ran).padStart(5) + ' of ' + String(all).padStart(5));
  fs.writeFileSync(COVERAGE_OUT, rows.join('\n') + '\n');
}

before(async () => {
  // A fresh, empty profile each run: nothing from an earlier run or the
  // user's own browser.
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ostrel-page-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
    viewport: { width: 1084, height: 543 },
  });
});

after(async () => {
  if (COVERAGE_OUT) writeCoverage();
  if (context) await context.close();
  if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

// A page at the design size that has been through the recorded session: a
// Masker on channel 3 next to a live Source, first run (the guide is open).
// Script errors fail the test that opened the page.
async function openPage(t) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  t.after(async () => {
    if (COVERAGE_OUT) addCoverage(await page.coverage.stopJSCoverage());
    await page.close();
    assert.deepEqual(errors, [], 'script errors in the page');
  });
  await page.addInitScript(recordSent);
  if (COVERAGE_OUT) await page.coverage.startJSCoverage({ reportAnonymousScripts: false });
  await page.goto(PAGE_URL);
  await page.evaluate((calls) => {
    for (const call of calls) (0, eval)(call);
  }, FIXTURES.MASKER_PAGE_SESSION);
  await settle(page);
  return page;
}

// Two animation frames: what the calls marked is drawn.
function settle(page) {
  return page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

async function samfd(page, tag, text) {
  await page.evaluate(([tag, data]) => window.SAMFD(tag, data.length + 1, data), [tag, FIXTURES.b64(text)]);
  await settle(page);
}

// The recorded meters of a linked Masker, with the host's bypass as given.
function metersText(hostBypass) {
  return FIXTURES.METERS_MASKER_TEXT.replace('"hostBypass":0', '"hostBypass":' + hostBypass);
}

async function takeSent(page) {
  return page.evaluate(() => window.__sent.splice(0));
}

async function dismissGuide(page) {
  await page.click('#guide-done');
  await takeSent(page);
}

describe('what the page draws', () => {
  test('the recorded session: controls, header, status and the first-run guide', async (t) => {
    const page = await openPage(t);
    const texts = await page.evaluate(() => {
      const knob = (name) => document.querySelector('[data-param="' + name + '"] .knob-value').textContent;
      return {
        role: Array.from(document.querySelectorAll('#role .seg.on'), (b) => b.textContent),
        depth: knob('Depth'),
        selectivity: knob('Selectivity'),
        lowGuard: knob('Low Guard'),
        bell1Freq: knob('Bell 1 Freq'),
        channel: document.getElementById('channel-value').textContent,
        status: document.getElementById('link-status').textContent,
        level: document.getElementById('status').dataset.level,
        bodyRole: document.body.dataset.role,
        priorityIdle: document.querySelector('[data-param="Priority"]').classList.contains('idle'),
        depthIdle: document.querySelector('[data-param="Depth"]').classList.contains('idle'),
        guideOpen: !document.getElementById('guide').hidden,
        preset: document.getElementById('preset-value').textContent,
        slotOn: Array.from(document.querySelectorAll('#compare .cmp-slot.on'), (b) => b.textContent),
      };
    });
    assert.deepEqual(texts, {
      role: ['Masker'],
      depth: '50.0%',
      selectivity: '11.0%',
      lowGuard: '20Hz',
      bell1Freq: '2.50kHz',
      channel: '3 · Lead Vox',
      status: 'No Source on channel 3 · Lead Vox yet',
      level: 'warn',
      bodyRole: '2',
      priorityIdle: true,
      depthIdle: false,
      guideOpen: true,
      preset: 'Presets',
      slotOn: ['A'],
    });
  });

  test('the link matrix: the Source, its Masker, this instance', async (t) => {
    const page = await openPage(t);
    const rows = await page.evaluate(() =>
      Array.from(document.querySelectorAll('#matrix-list .mx-row'), (r) => ({
        kind: r.classList.contains('mx-source') ? 'source' : 'masker',
        ch: r.querySelector('.mx-ch').textContent,
        name: r.querySelector('.mx-name').textContent,
        mine: r.classList.contains('mine'),
        depth: r.querySelector('.mx-depth-text') ? r.querySelector('.mx-depth-text').textContent : null,
        pri: r.querySelector('.mx-pri-value') ? r.querySelector('.mx-pri-value').textContent : null,
      }))
    );
    assert.deepEqual(rows, [
      { kind: 'source', ch: '3', name: 'Lead Vox', mine: false, depth: null, pri: '4' },
      { kind: 'masker', ch: '3', name: 'Pad', mine: true, depth: '50 %', pri: null },
    ]);
    assert.match(await page.textContent('#matrix-foot .mx-summary'), /1 Source/);
  });

  test('the link matrix of a Source whose channel another Source holds: its own name, and whose channel it is', async (t) => {
    const page = await openPage(t);
    const step = FIXTURES.SOURCES_SHARING_A_CHANNEL.find((s) => s.step === 'two renamed');
    const own = step.pages.find((p) => p.name === 'BV Stack');
    await dismissGuide(page);
    await page.evaluate(([role, channel]) => (window.SPVFD(role, 1 / 3), window.SPVFD(channel, 0)), [ID.Role, ID.Channel]);
    await samfd(page, 2, own.sources);
    await samfd(page, 9, own.matrix);
    const seen = await page.evaluate(() => ({
      rows: Array.from(document.querySelectorAll('#matrix-list .mx-row'), (r) => [r.querySelector('.mx-ch').textContent, r.querySelector('.mx-name').textContent, r.classList.contains('mine')]),
      taken: Array.from(document.querySelectorAll('#matrix-list .mx-taken'), (e) => e.textContent),
      channel: document.getElementById('channel-value').textContent,
      status: document.getElementById('link-status').textContent,
    }));
    assert.deepEqual(seen, {
      rows: [
        ['1', 'Lead Vocal Dbl', false],
        ['1', 'BV Stack', true],
        ['1', 'Gtr', false],
        ['2', 'Bass', false],
      ],
      taken: ['Channel 1 is taken by Lead Vocal Dbl'],
      channel: '1 · taken by Lead Vocal Dbl',
      status: 'Channel 1 is taken by Lead Vocal Dbl: pick a free channel for this Source',
    });
    if (process.env.OSTREL_PAGE_SHOT) await page.screenshot({ path: process.env.OSTREL_PAGE_SHOT });
    // Moved to a free channel, it holds its own row again.
    const moved = FIXTURES.SOURCES_SHARING_A_CHANNEL.find((s) => s.step === 'one moved to channel 3').pages.find((p) => p.name === 'BV Stack');
    await page.evaluate((channel) => window.SPVFD(channel, 2 / 63), ID.Channel);
    await samfd(page, 2, moved.sources);
    await samfd(page, 9, moved.matrix);
    assert.deepEqual(await page.evaluate(() => [document.querySelectorAll('#matrix-list .mx-taken').length, document.querySelector('#matrix-list .mx-row.mine .mx-name').textContent]), [0, 'BV Stack']);
  });

  test('meters: the status, readout and bell meters follow each report, the host bypass included', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    const readoutBefore = await page.textContent('#scope-readout');
    await page.click('.tabs button[data-tab="bells"]');
    const seen = async () =>
      page.evaluate(() => ({
        status: document.getElementById('link-status').textContent,
        level: document.getElementById('status').dataset.level,
        bells: Array.from(document.querySelectorAll('.bell-meter-text'), (e) => e.textContent),
      }));
    const linked = { status: 'Masker making room for 3 · Lead Vox', level: 'ok', bells: ['-6.0 dB', '0.0 dB', '0.0 dB', '-1.3 dB'] };
    const bypassed = { status: 'Bypassed by the host: the signal passes untouched', level: 'warn', bells: linked.bells };
    // Each step is one meter report; only the host's bypass changes between
    // the later ones, so the status must follow that flag alone.
    for (const [hostBypass, want] of [
      [0, linked],
      [1, bypassed],
      [1, bypassed],
      [0, linked],
    ]) {
      await samfd(page, 0, metersText(hostBypass));
      assert.deepEqual(await seen(), want, 'hostBypass ' + hostBypass);
    }
    const readout = await page.textContent('#scope-readout');
    assert.notEqual(readout, readoutBefore, 'the readout follows the meters');
    assert.equal(readout, 'deepest -6.0 dB · 4 bands touched');
    // The spectrum is drawn: the canvas holds more than its background.
    const colours = await page.evaluate(() => {
      const c = document.getElementById('scope');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      const seen = new Set();
      for (let i = 0; i < d.length; i += 4 * 7) seen.add((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
      return seen.size;
    });
    assert.ok(colours > 20, 'the spectrum shows ' + colours + ' colours');
  });

  test('tooltips: a resting pointer shows the element\'s hint next to it, a click hides it', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    for (const [selector, text] of [
      ['[data-param="Depth"] .knob-dial', HELP.forParam('Depth')],
      ['#manual-button', HELP.forSymbol('manual')],
      ['.mx-masker .mx-mute', HELP.forSymbol('matrix-mute')],
    ]) {
      await page.mouse.move(0, 0);
      await page.hover(selector);
      const tip = page.locator('.tooltip');
      await tip.waitFor({ state: 'visible', timeout: 3000 });
      assert.equal(await tip.textContent(), text, selector);
      const [box, target] = await Promise.all([tip.boundingBox(), page.locator(selector).boundingBox()]);
      assert.ok(box.x >= 0 && box.x + box.width <= 1084 && box.y >= 0 && box.y + box.height <= 543, selector + ': inside the page');
      assert.ok(Math.abs(box.x + box.width / 2 - (target.x + target.width / 2)) < box.width, selector + ': beside its element');
    }
    await page.mouse.down();
    assert.equal(await page.locator('.tooltip').isHidden(), true);
    await page.mouse.up();
  });
});

describe('what the page sends', () => {
  const param = (name, value, gesture) => ({
    tag: TAG.parameter,
    text: '{"paramIdx":' + ID[name] + (value === undefined ? '' : ',"value":' + value) + (gesture ? ',"gesture":"' + gesture + '"' : '') + '}',
  });

  // Clicks: each starts from the recorded session with the guide closed.
  const clicks = [
    ['a role', async (p) => p.click('#role .seg-self'), [param('Role', 3)]],
    ['a switch', async (p) => p.click('[data-param="Listen"]'), [param('Listen', 1)]],
    ['the role it has already', async (p) => p.click('#role .seg-masker'), []],
    ['a greyed control', async (p) => p.click('[data-param="Priority"] .knob-dial', { force: true }), []],
    ['a double click resets a knob', async (p) => p.dblclick('[data-param="Depth"] .knob-dial'), [param('Depth', 0)]],
    ['a channel from the picker', async (p) => (await p.click('#channel'), p.click('.channel-cell >> nth=6')), [param('Channel', 7)]],
    ['settings B', async (p) => p.click('#compare .cmp-slot[data-slot="1"]'), [{ tag: TAG.compare, text: '{"slot":1}' }]],
    ['copy A to B', async (p) => p.click('#compare-copy'), [{ tag: TAG.compare, text: '{"copy":1}' }]],
    ['mute in the matrix', async (p) => p.click('.mx-masker .mx-mute'), [{ tag: TAG.matrixEdit, text: '{"ch":64,"mute":1,"v":1}' }]],
    ['solo in the matrix', async (p) => p.click('.mx-masker .mx-solo'), [{ tag: TAG.solo, text: '{"ch":64}' }]],
    ['a Source\'s priority', async (p) => p.click('.mx-source .mx-step >> nth=1'), [{ tag: TAG.matrixEdit, text: '{"ch":3,"pri":1,"v":5}' }]],
  ];
  for (const [name, act, want] of clicks) {
    test('click: ' + name, async (t) => {
      const page = await openPage(t);
      await dismissGuide(page);
      await act(page);
      await settle(page);
      assert.deepEqual(await takeSent(page), want);
    });
  }

  test('the first-run guide, once closed, is marked for the plug-in to keep', async (t) => {
    const page = await openPage(t);
    await page.click('#guide-done');
    assert.deepEqual(await takeSent(page), [{ tag: TAG.setOnboarded, text: '' }]);
    assert.equal(await page.locator('#guide').isHidden(), true);
  });

  test('drag: a knob is one gesture, opened by the first move, its values once a frame, closed at release', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    const box = await page.locator('[data-param="Depth"] .knob-dial').boundingBox();
    const x = box.x + box.width / 2;
    const y = box.y + box.height / 2;
    await page.mouse.move(x, y);
    await page.mouse.down();
    await settle(page);
    assert.deepEqual(await takeSent(page), [], 'a press alone opens no gesture');
    // 200 px of travel are the whole range: 40 px up are a fifth more.
    for (let dy = 10; dy <= 40; dy += 10) {
      await page.mouse.move(x, y - dy);
      await settle(page);
    }
    await page.mouse.up();
    await settle(page);
    const sent = await takeSent(page);
    assert.ok(sent.every((m) => m.tag === TAG.parameter));
    const texts = sent.map((m) => JSON.parse(m.text));
    assert.ok(texts.every((m) => m.paramIdx === ID.Depth));
    assert.equal(texts[0].gesture, 'begin');
    assert.equal(texts[texts.length - 1].gesture, 'end');
    assert.ok(texts.slice(1, -1).every((m) => m.gesture === undefined), JSON.stringify(texts));
    const values = texts.map((m) => m.value).filter((v) => v !== undefined);
    assert.deepEqual(values, [...values].sort((a, b) => a - b), 'the values rise with the drag');
    assert.ok(Math.abs(values[values.length - 1] - 70) < 0.5, 'the last value ' + values[values.length - 1]);
    assert.equal(await page.textContent('[data-param="Depth"] .knob-value'), '70.0%');
  });

  test('drag: a matrix depth slider is one gesture at the Masker', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    const box = await page.locator('.mx-masker .mx-depth').boundingBox();
    const x = box.x + box.width / 2;
    const y = box.y + box.height / 2;
    // Like a knob: 200 px for the whole range, from where it was.
    await page.mouse.move(x, y);
    await page.mouse.down();
    await page.mouse.move(x + 24, y, { steps: 4 });
    await page.mouse.move(x + 40, y, { steps: 2 });
    await page.mouse.up();
    await settle(page);
    const texts = (await takeSent(page)).map((m) => (assert.equal(m.tag, TAG.matrixEdit), JSON.parse(m.text)));
    assert.ok(texts.length >= 2, JSON.stringify(texts));
    assert.ok(texts.every((m) => m.ch === 64 && m.depth === 1));
    assert.equal(texts[0].gesture, 'begin');
    assert.ok(texts.slice(1, -1).every((m) => m.gesture === 'drag'), JSON.stringify(texts));
    assert.deepEqual(texts[texts.length - 1], { ch: 64, depth: 1, v: 70, gesture: 'end' });
  });

  test('drag: a guard along the spectrum; the readout names the band under the pointer', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    const box = await page.locator('#scope').boundingBox();
    const l = SL.layout(box.width, box.height);
    const y = box.y + l.specTop + l.specH / 2;
    // Band 11 in the middle of its width.
    await page.mouse.move(box.x + SL.PAD.left + (10.5 * l.plotW) / 24, y);
    await settle(page);
    assert.match(await page.textContent('#scope-readout'), /^band 11 · 1\.47 kHz/);
    // The Low Guard stands at 20 Hz, the left end of the axis.
    await page.mouse.move(box.x + SL.xOfHz(l, 20) + 2, y);
    await page.mouse.down();
    await page.mouse.move(box.x + SL.xOfHz(l, 200), y, { steps: 3 });
    await page.mouse.up();
    await settle(page);
    const texts = (await takeSent(page)).map((m) => (assert.equal(m.tag, TAG.parameter), JSON.parse(m.text)));
    assert.ok(texts.every((m) => m.paramIdx === ID['Low Guard']), JSON.stringify(texts));
    assert.equal(texts[0].gesture, 'begin');
    assert.equal(texts[texts.length - 1].gesture, 'end');
    const last = texts.filter((m) => m.value !== undefined).pop().value;
    assert.ok(Math.abs(last - 200) < 6, 'the last value ' + last);
    assert.equal(await page.textContent('[data-param="Low Guard"] .knob-value'), Math.round(last) + 'Hz');
  });

  test('keys: arrows nudge a focused knob as one gesture that ends by itself', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    await page.focus('[data-param="Depth"] .knob-dial');
    await page.keyboard.press('ArrowUp');
    await page.keyboard.press('ArrowUp');
    await page.keyboard.press('PageDown');
    // The nudge gesture closes when the keys have rested a while.
    await page.waitForFunction(() => window.__sent.some((m) => m.text.includes('"gesture":"end"')), null, { timeout: 3000 });
    const texts = (await takeSent(page)).map((m) => JSON.parse(m.text));
    assert.equal(texts[0].gesture, 'begin');
    assert.equal(texts[texts.length - 1].gesture, 'end');
    assert.ok(texts.every((m) => m.paramIdx === ID.Depth));
    const shown = await page.textContent('[data-param="Depth"] .knob-value');
    assert.notEqual(shown, '50.0%');
    const last = texts.filter((m) => m.value !== undefined).pop().value;
    assert.equal(shown, last.toFixed(1) + '%');
  });

  test('keys: a typed value asks for the host\'s keys while typed and gives them back', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    await page.click('[data-param="Depth"] .knob-value');
    await page.keyboard.press('Control+A');
    await page.keyboard.type('25');
    await page.keyboard.press('Enter');
    await settle(page);
    assert.deepEqual(await takeSent(page), [
      { tag: TAG.hostKeys, text: '1' },
      param('Depth', 25),
      { tag: TAG.hostKeys, text: '0' },
    ]);
    assert.equal(await page.textContent('[data-param="Depth"] .knob-value'), '25.0%');
  });

  test('keys: a preset name typed through the host\'s keys, saved with Enter', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    await page.click('#preset-button');
    await page.click('.preset-input');
    for (const [ch, special] of [[77, 0], [121, 0], [120, 0], [0, 2], [0, 1]]) {
      await page.evaluate(([c, s]) => window.__hk(c, s), [ch, special]);
    }
    await settle(page);
    const sent = await takeSent(page);
    assert.deepEqual(sent[0], { tag: TAG.hostKeys, text: '1' });
    const saved = sent.find((m) => m.tag === TAG.savePresets);
    assert.ok(saved, JSON.stringify(sent));
    assert.deepEqual(JSON.parse(saved.text).presets.map((p) => p.name), ['My', 'Verse guitars']);
    assert.match(await page.textContent('#preset-value'), /^My/);
  });

  test('keys: Escape closes an open picker; the host keeps the keys', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    await page.click('#channel');
    assert.equal(await page.locator('#channel-pop').isVisible(), true);
    await page.keyboard.press('Escape');
    assert.equal(await page.locator('#channel-pop').isHidden(), true);
    assert.deepEqual(await takeSent(page), []);
  });

  test('resize: the corner asks for a size in the page\'s proportions; the page follows the view', async (t) => {
    const page = await openPage(t);
    await dismissGuide(page);
    const box = await page.locator('#resize-corner').boundingBox();
    const x = box.x + box.width / 2;
    const y = box.y + box.height / 2;
    await page.mouse.move(x, y);
    await page.mouse.down();
    await page.mouse.move(x + 60, y + 10, { steps: 3 });
    await page.mouse.move(x + 108, y + 10, { steps: 2 });
    await page.mouse.up();
    const sent = await takeSent(page);
    assert.ok(sent.length >= 1 && sent.every((m) => m.tag === TAG.resize), JSON.stringify(sent));
    const last = JSON.parse(sent[sent.length - 1].text);
    assert.deepEqual(last, { w: 1192, h: 597 });
    // The host answers with a new view size: the page scales as a whole.
    for (const [w, h, scale, transform] of [
      [542, 300, '0.500', 'translate(0px, 14px) scale(0.5)'],
      [2168, 1086, '2.000', 'translate(0px, 0px) scale(2)'],
      [1084, 543, '1.000', ''],
    ]) {
      await page.setViewportSize({ width: w, height: h });
      await settle(page);
      const fit = await page.evaluate(() => ({ scale: document.body.dataset.scale, transform: document.body.style.transform }));
      assert.deepEqual(fit, { scale, transform }, w + ' x ' + h);
    }
    // Scaled, the page still takes clicks where it is drawn.
    await page.setViewportSize({ width: 542, height: 272 });
    await page.click('#role .seg-source');
    assert.deepEqual(await takeSent(page), [param('Role', 1)]);
  });
});
