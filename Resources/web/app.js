// The editor: builds the controls, draws what the plug-in's calls (handled
// in plugin_calls.js) have changed and sends the user's edits back through
// the injected PluginSendMsg. Everything that can be checked without a page
// lives in the modules loaded before this one.
(function (root) {
  'use strict';
  const W = root.OstrelWire;
  const P = root.OstrelParams;
  const G = root.OstrelGestures;
  const PR = root.OstrelPresets;
  const L = root.OstrelLinkModel;
  const PC = root.OstrelPluginCalls;
  const HK = root.OstrelHostKeys;
  const M = root.OstrelMeterModel;
  const FIT = root.OstrelPageFit;
  const H = root.OstrelHelpTexts;
  const { Knob, Switch, Segmented, el } = root.OstrelControls;

  // The manual ships beside this page and opens inside the editor.
  const MANUAL_PAGE = 'manual.html';

  const state = PC.makePageState();

  // ---- Sending ------------------------------------------------------------

  function post(msg) {
    if (typeof root.PluginSendMsg === 'function') root.PluginSendMsg(msg);
    else (root.__ostrelSent = root.__ostrelSent || []).push(msg);
  }

  function sendTag(tag, text) {
    post(W.arbitraryMessage(tag, text));
  }

  const sender = new G.ParamSender((text) => sendTag(W.TAG.parameter, text));
  const pending = new L.PendingEdits();

  // Host key presses reach the page (window.__hk) only while a text field
  // has the focus; the rest of the time they stay with the host, so its
  // transport keys keep working over the editor (host_keys.js).
  const hostKeyTracker = new HK.HostKeyTracker(root.document, (on) => {
    state.hostKeys = on;
    sendTag(W.TAG.hostKeys, on ? '1' : '0');
  });
  // A focused field taken out of the page sends no blur: look again
  // whenever elements leave it.
  new root.MutationObserver((records) => {
    if (records.some((r) => r.removedNodes.length > 0)) hostKeyTracker.sync();
  }).observe(root.document.documentElement, { childList: true, subtree: true });

  // ---- Writing the page ---------------------------------------------------------

  // Every write into the page costs style, layout or paint work in the web
  // view, even when it writes what is there already: write only changes.
  function setText(e, text) {
    if (e.textContent !== text) e.textContent = text;
  }

  function setData(e, key, v) {
    if (e.dataset[key] !== v) e.dataset[key] = v;
  }

  // ---- Parameters -----------------------------------------------------------

  const controls = new Map(); // parameter name -> [controls]
  let derivedDirty = true;

  // What follows from the parameters and messages is redrawn at the next frame.
  function markDerived() {
    derivedDirty = true;
    schedule();
  }

  function register(c) {
    if (!c.root.dataset.tip) c.root.dataset.tip = H.forParam(c.name);
    if (!controls.has(c.name)) controls.set(c.name, []);
    controls.get(c.name).push(c);
    const d = state.set.byName.get(c.name);
    if (d) {
      c.setDesc(d);
      c.update(state.values.get(d.id));
    }
    return c;
  }

  function value(name) {
    const d = state.set.byName.get(name);
    return d ? state.values.get(d.id) : undefined;
  }

  function showParam(id) {
    const d = state.set.byId.get(id);
    if (!d) return;
    for (const c of controls.get(d.name) || []) c.update(state.values.get(id));
    markDerived();
  }

  function local(d, v) {
    state.values.set(d.id, v);
    showParam(d.id);
    schedule();
  }

  // A control that does nothing in the current role (Priority on a Masker)
  // takes no edits; its hint still says why it is greyed.
  function usable(d) {
    return L.inUse(d.name, Math.round(value('Role')), value('Sidechain') >= 0.5);
  }

  function refused(d) {
    if (usable(d) || sender.isHeld(d.id)) return false;
    showParam(d.id);
    return true;
  }

  const edit = {
    begin(d, v) {
      if (refused(d)) return;
      local(d, v);
      sender.begin(d.id, v);
    },
    move(d, v) {
      if (refused(d)) return;
      local(d, v);
      sender.move(d.id, v);
    },
    end(d, v) {
      if (refused(d)) return;
      local(d, v);
      sender.end(d.id, v);
    },
    set(d, v) {
      if (refused(d)) return;
      const x = P.clampPlain(d, v);
      // A click that changes nothing leaves no edit in the host's undo list.
      if (!sender.isHeld(d.id) && state.values.get(d.id) === x) return;
      local(d, x);
      sender.set(d.id, x);
    },
    nudge(d, v) {
      if (refused(d)) return;
      local(d, v);
      sender.nudge(d.id, v, performance.now());
    },
    textFocus() {
      hostKeyTracker.sync();
    },
  };

  // The controls follow a new parameter set.
  function showParams() {
    for (const [name, list] of controls) {
      const d = state.set.byName.get(name);
      for (const c of list) {
        if (!d) continue;
        c.setDesc(d);
        c.update(state.values.get(d.id));
      }
    }
    spectrum.setDescs(spectrumDescs());
    markDerived();
  }

  // ---- The page -------------------------------------------------------------

  const $ = (id) => document.getElementById(id);
  let spectrum = null;
  let matrixView = null;
  const bellMeters = [];

  function buildHeader() {
    register(new Segmented($('role'), 'Role', P.ROLE_TEXTS, edit));
    $('channel').addEventListener('click', (e) => {
      e.stopPropagation();
      togglePopover('channel-pop', renderChannels);
    });
    register(new Switch($('bypass-box'), 'Bypass', 'Bypass', edit, 'bypass'));
    $('preset-button').addEventListener('click', (e) => {
      e.stopPropagation();
      togglePopover('preset-pop', renderPresets);
    });
    for (const b of document.querySelectorAll('#compare .cmp-slot')) {
      b.addEventListener('click', () => selectSlot(Number(b.dataset.slot)));
    }
    $('compare-copy').addEventListener('click', () => sendTag(W.TAG.compare, W.compareText('copy')));
    $('guide-button').addEventListener('click', () => showGuide(true));
    $('manual-button').addEventListener('click', () => showManual(true));
  }

  function buildMain() {
    const strip = $('main-knobs');
    for (const name of ['Depth', 'Selectivity', 'Priority', 'Low Guard', 'High Guard']) register(new Knob(strip, name, name, edit, 56));
    const sw = $('main-switches');
    register(new Switch(sw, 'Listen', 'Listen', edit));
    register(new Switch(sw, 'Sidechain', 'Sidechain', edit));
  }

  function buildBells() {
    const box = $('bells');
    for (let k = 1; k <= 4; k++) {
      const card = el('div', 'bell-card', box);
      const head = el('div', 'bell-head', card);
      el('span', 'bell-badge', head, String(k));
      register(new Switch(head, 'Bell ' + k + ' Active', 'Active', edit, 'small'));
      register(new BellListen(head, k)).root.dataset.tip = 'Hear only what bell ' + k + ' removes.';
      const knobs = el('div', 'bell-knobs', card);
      register(new Knob(knobs, 'Bell ' + k + ' Freq', 'Freq', edit, 42, 'small'));
      register(new Knob(knobs, 'Bell ' + k + ' Q', 'Q', edit, 42, 'small'));
      register(new Knob(knobs, 'Bell ' + k + ' Depth', 'Depth', edit, 42, 'small'));
      const meter = el('div', 'bell-meter', card);
      meter.dataset.tip = H.forSymbol('bell-meter');
      const bar = el('div', 'bell-meter-bar', meter);
      const fill = el('div', 'bell-meter-fill', bar);
      const text = el('span', 'bell-meter-text', meter, '0.0 dB');
      bellMeters.push({ meter, fill, text, last: null, paused: null });
    }
  }

  // The Bell Listen parameter seen from one bell: on when it names this bell.
  class BellListen {
    constructor(parent, k) {
      this.name = 'Bell Listen';
      this.k = k;
      this.desc = null;
      this.value = 0;
      this.root = el('button', 'switch small listen', parent);
      this.root.type = 'button';
      el('span', 'led', this.root);
      el('span', 'switch-label', this.root, 'Listen');
      this.root.addEventListener('click', () => {
        if (this.desc) edit.set(this.desc, Math.round(this.value) === this.k ? 0 : this.k);
      });
    }
    setDesc(d) {
      this.desc = d;
    }
    update(v) {
      this.value = v;
      this.root.classList.toggle('on', Math.round(v) === this.k);
    }
  }

  function spectrumDescs() {
    const s = state.set.byName;
    return {
      low: s.get('Low Guard') || null,
      high: s.get('High Guard') || null,
      bells: [1, 2, 3, 4].map((k) => s.get('Bell ' + k + ' Freq') || null),
    };
  }

  function buildTabs() {
    for (const b of document.querySelectorAll('.tabs button')) {
      b.addEventListener('click', () => {
        for (const o of document.querySelectorAll('.tabs button')) o.classList.toggle('on', o === b);
        for (const t of document.querySelectorAll('.tab')) t.classList.toggle('on', t.id === 'tab-' + b.dataset.tab);
        showBellMeters(state.meters);
      });
    }
  }

  // ---- Link matrix ----------------------------------------------------------

  const matrixActions = {
    solo(ch) {
      sendTag(W.TAG.solo, W.soloText(ch));
      pending.ask(0, 'solo', ch, performance.now());
      redrawMatrix();
    },
    mute(ch, on) {
      const t = W.matrixEditText(ch, 'mute', on ? 1 : 0);
      if (!t) return;
      sendTag(W.TAG.matrixEdit, t);
      pending.ask(ch, 'mute', on ? 1 : 0, performance.now());
      redrawMatrix();
    },
    depth(ch, v, gesture) {
      const t = W.matrixEditText(ch, 'depth', v, gesture);
      if (!t) return;
      sendTag(W.TAG.matrixEdit, t);
      pending.ask(ch, 'depth', v, performance.now());
    },
    pri(ch, v) {
      const t = W.matrixEditText(ch, 'pri', v);
      if (!t) return;
      sendTag(W.TAG.matrixEdit, t);
      pending.ask(ch, 'pri', v, performance.now());
      redrawMatrix();
    },
    linkPreference(word) {
      const t = W.linkPreferenceText(word);
      if (!t) return;
      sendTag(W.TAG.linkPreference, t);
      pending.ask(0, 'link', W.LINK_PREFERENCES.indexOf(word), performance.now());
      redrawMatrix();
    },
  };

  function redrawMatrix() {
    const self = { role: Math.round(value('Role')), channel: Math.round(value('Channel')) };
    matrixView.update(state.matrix, pending, performance.now(), self);
  }

  // ---- Popovers: channel and presets ----------------------------------------

  let openPopover = null;

  function closePopover() {
    if (!openPopover) return;
    $(openPopover).hidden = true;
    document.querySelector('[data-pop="' + openPopover + '"]').classList.remove('open');
    openPopover = null;
  }

  function togglePopover(id, render) {
    const wasOpen = openPopover === id;
    closePopover();
    if (wasOpen) return;
    openPopover = id;
    $(id).hidden = false;
    document.querySelector('[data-pop="' + id + '"]').classList.add('open');
    render();
  }

  function renderChannels() {
    const pop = $('channel-pop');
    pop.textContent = '';
    const role = Math.round(value('Role'));
    const current = Math.round(value('Channel'));
    const head = el('div', 'pop-head', pop);
    el('span', 'pop-title', head, role === L.ROLE_SOURCE ? 'Publish this Source on channel' : 'Make room for the Source on channel');
    el('span', 'pop-hint', head, 'named channels have a live Source');
    const grid = el('div', 'channel-grid', pop);
    const d = state.set.byName.get('Channel');
    for (const c of L.channelChoices(state.sources, role, current, state.matrix && state.matrix.diag)) {
      const cell = el('button', 'channel-cell', grid);
      cell.type = 'button';
      cell.classList.toggle('live', c.live);
      cell.classList.toggle('current', c.ch === current);
      cell.classList.toggle('taken', role === L.ROLE_SOURCE && c.taken);
      el('span', 'channel-no', cell, String(c.ch));
      el('span', 'channel-name', cell, c.name);
      cell.dataset.tip = c.live ? 'Channel ' + c.ch + ': ' + (c.name || 'unnamed Source') : 'Channel ' + c.ch + ': no Source';
      cell.addEventListener('click', () => {
        if (d) edit.set(d, c.ch);
        closePopover();
      });
    }
  }

  function currentValues() {
    return new Map(state.values);
  }

  function savePresets(result) {
    if (result.error) return result.error;
    state.presets = result.collection;
    state.presetsUnreadable = false;
    // A new try: an earlier failure is said again if this one fails too.
    if (state.fileError !== null) {
      state.fileError = null;
      showFileError();
    }
    sendTag(W.TAG.savePresets, result.text);
    return null;
  }

  // A file the plug-in could not keep takes the footer's hint until the next
  // save, and the presets' note while they are open.
  let footerHint = null;
  function showFileError() {
    const hint = document.querySelector('#status .status-hint');
    if (footerHint === null) footerHint = hint.textContent;
    hint.textContent = state.fileError !== null ? state.fileError : footerHint;
    hint.classList.toggle('file-error', state.fileError !== null);
  }

  // The plug-in takes the preset as one edit (one undo step in the host) and
  // keeps its name with the settings.
  function markPreset(name, values) {
    sendTag(W.TAG.preset, W.presetText(name || '', values || []));
    state.currentPreset = name || null;
    state.presetModified = false;
    markDerived();
  }

  function loadPreset(p) {
    for (const e of PR.edits(p, state.set, currentValues())) local(state.set.byId.get(e.idx), e.value);
    markPreset(p.name, PR.applied(p, state.set));
  }

  // ---- Settings slots A and B -----------------------------------------------

  function selectSlot(slot) {
    if (slot === state.slot) return;
    sendTag(W.TAG.compare, W.compareText(slot));
    state.slot = slot;
    showSlot();
  }

  function showSlot() {
    for (const b of document.querySelectorAll('#compare .cmp-slot')) b.classList.toggle('on', Number(b.dataset.slot) === state.slot);
    const copy = $('compare-copy');
    setText(copy, state.slot === 0 ? 'A→B' : 'B→A');
    setData(copy, 'tip', H.forSymbol(state.slot === 0 ? 'compare-copy-ab' : 'compare-copy-ba'));
  }

  function renderPresets(message) {
    const pop = $('preset-pop');
    pop.textContent = '';
    const list = el('div', 'preset-list', pop);
    const section = (title, presets, deletable) => {
      if (!presets.length) return;
      el('div', 'preset-section', list, title);
      for (const p of presets) {
        const row = el('div', 'preset-row', list);
        row.classList.toggle('current', p.name === state.currentPreset);
        const name = el('button', 'preset-name', row, p.name);
        name.type = 'button';
        name.addEventListener('click', () => {
          loadPreset(p);
          closePopover();
        });
        if (deletable) {
          const del = el('button', 'preset-delete', row, '✕');
          del.type = 'button';
          del.dataset.tip = 'Delete this preset (a second click confirms).';
          del.addEventListener('click', (e) => {
            e.stopPropagation();
            // A second click confirms.
            if (!del.classList.contains('armed')) {
              del.classList.add('armed');
              del.textContent = 'Delete?';
              return;
            }
            savePresets(PR.remove(state.presets, p.name, state.set));
            if (state.currentPreset === p.name) markPreset(null);
            markDerived();
            renderPresets();
          });
        }
      }
    };
    section('Starting points', PR.FACTORY, false);
    section('Your presets', state.presets.presets, true);
    if (!state.presets.presets.length) el('div', 'preset-empty', list, 'Presets you save appear here, in every Ostrel.');
    const form = el('div', 'preset-save', pop);
    const input = el('input', 'preset-input', form);
    input.type = 'text';
    input.placeholder = 'Name for the current settings';
    input.maxLength = 40;
    input.spellcheck = false;
    const userCurrent = state.currentPreset && PR.find(state.presets, state.currentPreset);
    if (userCurrent) input.value = userCurrent.name;
    const save = el('button', 'preset-save-button', form, 'Save');
    save.type = 'button';
    const note = el('div', 'preset-note', pop);
    if (message) note.textContent = message;
    else if (state.fileError !== null) note.textContent = state.fileError;
    else if (state.presetsUnreadable) note.textContent = 'The stored presets could not be read; saving replaces them.';
    const doSave = () => {
      const p = PR.capture(input.value, state.set, currentValues());
      const error = savePresets(PR.store(state.presets, p, state.set));
      if (error) {
        note.textContent = error;
        return;
      }
      markPreset(p.name, PR.applied(p, state.set));
      renderPresets('Saved “' + p.name + '”');
    };
    save.addEventListener('click', doSave);
    input.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') doSave();
      else if (e.key === 'Escape') closePopover();
      e.stopPropagation();
    });
  }

  // ---- First run ------------------------------------------------------------

  function showGuide(on) {
    $('guide').hidden = !on;
    if (on) {
      state.guideShown = true;
      $('guide-done').focus();
    }
  }

  // The manual, loaded the first time it is opened.
  function showManual(on) {
    const frame = $('manual-frame');
    if (on && frame.getAttribute('src') !== MANUAL_PAGE) frame.setAttribute('src', MANUAL_PAGE);
    $('manual').hidden = !on;
    // The keyboard comes to the page while the manual is open, so that
    // Escape (and the arrow keys in it) work; closing gives it back.
    hostKeyTracker.hold(on);
    if (on) $('manual-close').focus();
  }

  function dismissGuide() {
    showGuide(false);
    if (state.onboarded === false) {
      sendTag(W.TAG.setOnboarded);
      state.onboarded = true;
    }
  }

  // ---- What follows from the parameters -------------------------------------

  function refreshDerived() {
    derivedDirty = false;
    const role = Math.round(value('Role'));
    const sidechain = value('Sidechain') >= 0.5;
    const bypass = value('Bypass') >= 0.5;
    setData(document.body, 'role', String(role));
    for (const [name, list] of controls) {
      const used = L.inUse(name, role, sidechain);
      for (const c of list) c.root.classList.toggle('idle', !used);
    }
    const ch = Math.round(value('Channel'));
    const chButton = $('channel');
    chButton.classList.toggle('idle', !L.inUse('Channel', role, sidechain));
    const label = L.channelLabel(ch, state.sources, role, state.matrix && state.matrix.diag);
    setText($('channel-value'), label);
    setData(chButton, 'tip', H.forParam('Channel') + ' Now: channel ' + label + '.');
    const status = L.linkStatus({ role, channel: ch, bypass, sidechain }, state.meters, state.sources, state.matrix && state.matrix.diag);
    setText($('link-status'), status.text);
    setData($('status'), 'level', status.level);
    const bells = [1, 2, 3, 4].map((k) => ({
      freq: value('Bell ' + k + ' Freq'),
      active: value('Bell ' + k + ' Active') >= 0.5,
    }));
    spectrum.setState({
      role,
      bypass,
      lowGuard: value('Low Guard'),
      highGuard: value('High Guard'),
      bells,
      bellListen: Math.round(value('Bell Listen')),
    });
    // The preset name, marked when the settings have moved away from it
    // (the plug-in keeps both).
    const header = PR.headerLabel(state.currentPreset, state.presetModified);
    setText($('preset-value'), header.text);
    // The name may be cut in the header: the whole of it in the hint.
    setData($('preset-button'), 'tip', header.tipLead + H.forSymbol('presets'));
    showSlot();
  }

  // The fill is scaled, not resized, so a moving meter costs no layout.
  function showBellMeters(m) {
    // Hidden behind the other tab: shown again when the tab is.
    if (!$('tab-bells').classList.contains('on')) return;
    const paused = !M.meterState(m).live;
    for (let i = 0; i < bellMeters.length; i++) {
      const db = m ? m.bellDip[i] : 0;
      const b = bellMeters[i];
      if (b.paused !== paused) {
        b.paused = paused;
        b.meter.classList.toggle('paused', paused);
      }
      const v = M.bellMeter(db);
      if (b.last === v.shown) continue;
      b.last = v.shown;
      b.fill.style.transform = 'scaleX(' + v.fill + ')';
      b.text.textContent = v.text;
    }
  }

  // ---- Calls from the plug-in ----------------------------------------------

  // What the page redraws when the plug-in's calls have changed the state.
  const pluginView = {
    param(id) {
      showParam(id);
      schedule();
    },
    params() {
      showParams();
      schedule();
    },
    // The plug-in's messages are drawn as they arrive (meters 12.5 a second),
    // not at the next animation frame: asking for frames keeps the web
    // view's frame clock running between them.
    meters(m, statusChanged) {
      spectrum.setMeters(m, performance.now());
      showBellMeters(m);
      if (statusChanged) derivedDirty = true;
      drawNow();
    },
    sources() {
      if (openPopover === 'channel-pop') renderChannels();
      derivedDirty = true;
      drawNow();
    },
    matrix() {
      redrawMatrix();
      derivedDirty = true;
      drawNow();
    },
    presets() {
      if (openPopover === 'preset-pop' && !document.activeElement.classList.contains('preset-input')) renderPresets();
      derivedDirty = true;
      drawNow();
    },
    settings() {
      if (openPopover === 'preset-pop' && !document.activeElement.classList.contains('preset-input')) renderPresets();
      derivedDirty = true;
      drawNow();
    },
    showGuide: () => showGuide(true),
    fileError() {
      showFileError();
      if (openPopover === 'preset-pop') $('preset-pop').querySelector('.preset-note').textContent = state.fileError;
    },
  };
  const calls = PC.makePluginCalls(state, (id) => sender.isHeld(id), pluginView);
  root.SPVFD = calls.SPVFD;
  root.SAMFD = calls.SAMFD;
  root.SCVFD = calls.SCVFD;
  root.SCMFD = calls.SCMFD;
  root.SMMFD = calls.SMMFD;

  // Host key presses, while a text field has asked for them: a character,
  // or 1 Enter, 2 Delete/Backspace, 3 Escape.
  root.__hk = function (charCode, special) {
    const a = document.activeElement;
    const typing = a && a.tagName === 'INPUT' && a.type === 'text';
    if (!typing) {
      if (special === 3) {
        closePopover();
        if (!$('guide').hidden) dismissGuide();
        showManual(false);
      }
      return;
    }
    if (special === 1 || special === 3) {
      a.dispatchEvent(new KeyboardEvent('keydown', { key: special === 1 ? 'Enter' : 'Escape', bubbles: true }));
      return;
    }
    const r = HK.typedEdit(a.selectionStart, a.selectionEnd, charCode, special);
    if (r) a.setRangeText(r.text, r.start, r.end, 'end');
    a.dispatchEvent(new Event('input', { bubbles: true }));
  };

  // ---- Start ----------------------------------------------------------------

  // Frames are drawn only when something asked for one; while the page
  // holds a gesture they keep coming, so its values are sent once a frame.
  let framePending = false;

  function schedule() {
    if (framePending) return;
    framePending = true;
    root.requestAnimationFrame(frame);
  }

  // A message from the plug-in: drawn at once, unless a frame is coming.
  function drawNow() {
    if (framePending) return;
    if (derivedDirty) refreshDerived();
    spectrum.frame();
  }

  function frame(now) {
    framePending = false;
    sender.flush(now);
    matrixView.flush(now);
    if (derivedDirty) refreshDerived();
    spectrum.frame();
    if (sender.active.size > 0) schedule();
  }

  // ---- Size -------------------------------------------------------------------

  // The page keeps its proportions at any editor size: scaled as a whole to
  // the view, laid out again only when the view's size changes.
  let pageFit = { scale: 1, x: 0, y: 0 };

  function fitToView() {
    const f = FIT.fit(root.innerWidth, root.innerHeight);
    if (f.scale === pageFit.scale && f.x === pageFit.x && f.y === pageFit.y) return;
    pageFit = f;
    // At the design size no transform at all: the cheapest way to paint.
    document.body.style.transform = f.scale === 1 && f.x === 0 && f.y === 0 ? '' : 'translate(' + f.x + 'px, ' + f.y + 'px) scale(' + f.scale + ')';
    document.body.dataset.scale = f.scale.toFixed(3);
    spectrum.resize(f.scale);
    matrixView.setPageScale(f.scale);
    schedule();
  }

  // The corner asks the plug-in (and through it the host) for a new size;
  // the page follows when the host has resized the view.
  function bindResizeCorner() {
    const grip = $('resize-corner');
    let drag = null;
    const request = (e, last) => {
      const text = drag.request(e.clientX, e.clientY, performance.now(), last);
      if (text) sendTag(W.TAG.resize, text);
    };
    grip.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      e.preventDefault();
      grip.setPointerCapture(e.pointerId);
      drag = new FIT.ResizeDrag(e.clientX, e.clientY, root.innerWidth, root.innerHeight);
    });
    grip.addEventListener('pointermove', (e) => {
      if (drag) request(e, false);
    });
    const finish = (e) => {
      if (!drag) return;
      request(e, true);
      drag = null;
    };
    grip.addEventListener('pointerup', finish);
    grip.addEventListener('pointercancel', finish);
  }

  function start() {
    buildHeader();
    buildMain();
    buildBells();
    buildTabs();
    spectrum = new root.OstrelSpectrumView($('scope'), $('scope-readout'), edit);
    spectrum.onDirty = schedule;
    spectrum.setDescs(spectrumDescs());
    matrixView = new root.OstrelMatrixView($('matrix-list'), $('matrix-foot'), matrixActions);
    redrawMatrix();
    $('guide-done').addEventListener('click', dismissGuide);
    $('guide-manual').addEventListener('click', () => {
      dismissGuide();
      showManual(true);
    });
    $('manual-close').addEventListener('click', () => showManual(false));
    for (const e of document.querySelectorAll('[data-tip-key]')) e.dataset.tip = H.forSymbol(e.dataset.tipKey);
    new root.OstrelTooltips(document.body);

    // The keyboard is the host's (its transport keys, its shortcuts) except
    // while a text field is edited (host_keys.js asks for it then). A click
    // elsewhere ends the editing; buttons and knobs never take the focus, so
    // neither space nor Enter can work them unless the user tabbed to them.
    document.addEventListener(
      'pointerdown',
      (e) => {
        const a = document.activeElement;
        if (HK.takesText(a) && a !== e.target && !a.contains(e.target)) a.blur();
        if (openPopover && !e.target.closest('.popover, [data-pop]')) closePopover();
      },
      true
    );
    // A greyed control: no drag, click, wheel or key reaches it.
    for (const type of ['pointerdown', 'click', 'dblclick', 'wheel', 'keydown']) {
      document.addEventListener(
        type,
        (e) => {
          if (e.target.closest && e.target.closest('.idle')) {
            e.stopPropagation();
            if (type !== 'pointerdown') e.preventDefault();
          }
        },
        { capture: true, passive: false }
      );
    }
    document.addEventListener(
      'mousedown',
      (e) => {
        if (!HK.takesText(e.target)) e.preventDefault();
      },
      true
    );
    const keyGuard = new HK.KeyActivationGuard(document);
    document.addEventListener('keydown', (e) => keyGuard.keyDown(e), true);
    document.addEventListener('keyup', (e) => keyGuard.keyUp(e), true);
    document.addEventListener('keydown', (e) => {
      if (e.key === 'Escape') {
        closePopover();
        if (!$('guide').hidden) dismissGuide();
        showManual(false);
      }
    });
    // Escape inside the manual's own page.
    root.addEventListener('message', (e) => {
      if (e.data && e.data.ostrel === 'close-manual') showManual(false);
    });
    // A gesture must not stay open when the page goes away mid-drag.
    root.addEventListener('pagehide', () => sender.endAll());
    root.addEventListener('blur', () => sender.flush(performance.now()));
    root.addEventListener('resize', fitToView);
    bindResizeCorner();
    fitToView();
    schedule();
  }

  // The scripts sit at the end of the body: the document is there, and the
  // plug-in's first calls may come at any moment from now on.
  start();
})(typeof self !== 'undefined' ? self : this);
