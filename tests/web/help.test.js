'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const help = require('../../Resources/web/help_texts.js');
const wire = require('../../Resources/web/wire.js');
const fx = require('./fixtures.js');

const WEB = path.join(__dirname, '..', '..', 'Resources', 'web');
const read = (name) => fs.readFileSync(path.join(WEB, name), 'utf8');
const pageFiles = fs.readdirSync(WEB).filter((f) => /\.(js|html|css)$/.test(f));

test('every parameter of the plug-in has a hint', () => {
  const params = wire.readMessage(-1, fx.b64(fx.PARAMS_TEXT)).params;
  assert.equal(params.length, 27);
  for (const p of params) assert.ok(help.forParam(p.name).length > 20, p.name);
});

test('every hint the page asks for exists', () => {
  const keys = new Set();
  for (const f of pageFiles) {
    const text = read(f);
    for (const m of text.matchAll(/forSymbol\('([^']+)'\)/g)) keys.add(m[1]);
    for (const m of text.matchAll(/data-tip-key="([^"]+)"/g)) keys.add(m[1]);
  }
  // The views pick some keys at run time; each is written out where it is picked.
  for (const f of ['spectrum_view.js', 'matrix_view.js'])
    for (const m of read(f).matchAll(/'((?:scope|matrix)-[a-z-]+)'/g)) keys.add(m[1]);
  assert.ok(keys.size > 20, 'the scan found the page\'s hints');
  for (const key of keys) assert.ok(help.forSymbol(key).length > 5, key);
});

test('the matrix symbols are explained in words a user can act on', () => {
  const cases = [
    ['matrix-solo', /solo/i],
    ['matrix-mute', /stops dipping/],
    ['matrix-balance', /C centred.*L2.*R30/],
    ['matrix-masker-channel', /channel this Masker follows/],
    ['matrix-priority', /1 protects/],
  ];
  for (const [key, re] of cases) assert.match(help.forSymbol(key), re, key);
  assert.match(help.forParam('Selectivity'), /stand out/);
});

test('no element relies on a title attribute, which the web view never shows', () => {
  for (const f of pageFiles.filter((f) => f !== 'manual.html')) {
    const text = read(f);
    assert.doesNotMatch(text, /\.title\s*=/, f);
    assert.doesNotMatch(text.replace(/<title>[^<]*<\/title>/, ''), /\stitle="/, f);
  }
});

test('every link of the page and the manual leads somewhere in the bundle', () => {
  for (const f of ['index.html', 'manual.html']) {
    const text = read(f);
    const ids = new Set(Array.from(text.matchAll(/\sid="([^"]+)"/g), (m) => m[1]));
    for (const m of text.matchAll(/\s(?:href|src)="([^"]*)"/g)) {
      const target = m[1];
      assert.doesNotMatch(target, /^[a-z]+:/i, `${f}: ${target} leaves the bundle`);
      if (target.startsWith('#')) assert.ok(ids.has(target.slice(1)), `${f}: no element ${target}`);
      else assert.ok(fs.existsSync(path.join(WEB, target)), `${f}: ${target} is missing`);
    }
  }
  // Nor does any script name an address.
  for (const f of pageFiles) assert.doesNotMatch(read(f), /https?:\/\/(?!www\.w3\.org\/2000\/svg)/, f);
  assert.match(read('app.js'), /MANUAL_PAGE = 'manual\.html'/);
});

test('the manual covers the roles, a first session, the controls, the matrix, hosts with plug-in processes and troubleshooting', () => {
  const text = read('manual.html');
  for (const id of ['roles', 'first-session', 'controls', 'matrix', 'processes', 'troubleshooting']) assert.match(text, new RegExp('<h2 id="' + id + '">'), id);
  assert.match(text, /<link rel="stylesheet" href="manual.css">/);
  for (const role of ['Source', 'Masker', 'Self', 'Off']) assert.match(text, new RegExp('chip [a-z]+">' + role + '<'), role);
});
