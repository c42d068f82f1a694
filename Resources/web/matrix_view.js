// The link matrix: every live Source with the Maskers that make room for
// it, each row with its level curve, solo and mute; a Source's Priority and a
// Masker's Depth can be edited from here for any instance in the session.
// Rows are rebuilt only when the set of rows changes; otherwise the values
// are updated in place, so a drag on a row survives the next report.
(function (root) {
  'use strict';
  const L = root.OstrelLinkModel;
  const H = root.OstrelHelpTexts;
  const MR = root.OstrelMatrixRows;
  const MD = root.OstrelMatrixDrag;
  const { el } = root.OstrelControls;

  // Writes only what changed: each write costs the web view work.
  function setText(e, text) {
    if (e.textContent !== text) e.textContent = text;
  }

  function setData(e, key, v) {
    if (e.dataset[key] !== v) e.dataset[key] = v;
  }

  const SPARK_W = MR.SPARK_W;
  const SPARK_H = MR.SPARK_H;
  const SPARK_EVERY_MS = 400;

  // Pixels behind one page pixel: the screen's and the page's scale.
  let sparkRatio = 1;

  function drawSpark(canvas, levels) {
    const dpr = sparkRatio * (root.devicePixelRatio || 1);
    if (canvas.width !== Math.round(SPARK_W * dpr)) {
      canvas.width = Math.round(SPARK_W * dpr);
      canvas.height = Math.round(SPARK_H * dpr);
    }
    const c = canvas.getContext('2d');
    c.setTransform(dpr, 0, 0, dpr, 0, 0);
    c.clearRect(0, 0, SPARK_W, SPARK_H);
    c.fillStyle = canvas.dataset.color || '#35c9ae';
    for (const b of MR.sparkBars(levels)) c.fillRect(b.x, b.y, b.w, b.h);
  }

  class MatrixView {
    // actions: solo(ch), mute(ch, on), depth(ch, v, gesture), pri(ch, v),
    // linkPreference(word)
    constructor(list, foot, actions) {
      this.list = list;
      this.foot = foot;
      this.actions = actions;
      this.signature = null;
      this.rows = new Map(); // ch -> row refs
      this.dragging = null; // ch of a depth drag
      this.drag = null; // its DepthDrag
      this.footText = el('span', 'mx-summary', foot);
      this.endSolo = el('button', 'mx-endsolo', foot, 'End solo');
      this.endSolo.type = 'button';
      this.endSolo.dataset.tip = H.forSymbol('matrix-end-solo');
      this.endSolo.addEventListener('click', () => actions.solo(0));
      // "Link across processes": shown once the plug-in says where the
      // instance meets its peers.
      this.linkBox = el('span', 'mx-linkpref', foot);
      this.linkBox.dataset.tip = H.forSymbol('matrix-link-preference');
      this.linkBox.hidden = true;
      el('span', 'mx-linkpref-label', this.linkBox, 'Link processes');
      this.linkButtons = MR.LINK_CHOICES.map((choice) => {
        const b = el('button', 'mx-btn mx-linkpref-choice', this.linkBox, choice.label);
        b.type = 'button';
        b.dataset.link = choice.word;
        b.addEventListener('click', () => actions.linkPreference(choice.word));
        return b;
      });
    }

    // The page is scaled: the level curves are drawn again at its pixels.
    setPageScale(scale) {
      sparkRatio = scale > 0 ? scale : 1;
      for (const r of this.rows.values()) if (r.levels) drawSpark(r.spark, r.levels);
    }

    // self: this instance's { role, channel }.
    update(matrix, pending, nowMs, self) {
      const g = L.groupMatrix(matrix, self);
      const all = [];
      for (const s of g.sources) all.push(s, ...s.maskers);
      all.push(...g.unlinked);
      const signature = MR.signature(g);
      if (signature !== this.signature && this.dragging === null) {
        this.signature = signature;
        this.build(g);
      }
      for (const entry of all) {
        const r = this.rows.get(entry.row.ch);
        if (r) this.fill(r, entry, g, pending, nowMs);
      }
      if (this.waiting && g.waiting) this.fillWaiting(this.waiting, g.waiting);
      const solo = pending.shown(0, 'solo', g.solo, nowMs);
      setText(this.footText, MR.summary(matrix ? matrix.diag : null, solo ? L.soloText(matrix, solo) : ''));
      if (this.endSolo.hidden !== !solo) this.endSolo.hidden = !solo;
      const chosen = MR.shownLinkPreference(matrix ? matrix.diag : null, pending, nowMs);
      if (this.linkBox.hidden !== !chosen) this.linkBox.hidden = !chosen;
      for (const b of this.linkButtons) b.classList.toggle('on', b.dataset.link === chosen);
    }

    build(g) {
      this.list.textContent = '';
      this.rows.clear();
      this.waiting = null;
      if (g.sources.length === 0 && g.unlinked.length === 0) {
        const empty = el('div', 'mx-empty', this.list);
        el('div', 'mx-empty-title', empty, 'No linked instances yet');
        el('div', 'mx-empty-text', empty, 'Sources and Maskers of this session appear here as soon as they play.');
        return;
      }
      for (const s of g.sources) {
        const card = el('div', 'mx-card', this.list);
        this.rows.set(s.row.ch, this.sourceRow(card, s.row.ch));
        if (s.waiting) this.waiting = this.waitingRow(card);
        for (const m of s.maskers) this.rows.set(m.row.ch, this.maskerRow(card, m.row.ch));
        if (s.maskers.length === 0) el('div', 'mx-none', card, 'No Masker picks this Source yet');
      }
      if (g.unlinked.length) {
        const card = el('div', 'mx-card mx-unlinked', this.list);
        el('div', 'mx-heading', card, 'Maskers without a live Source').dataset.tip = H.forSymbol('matrix-unlinked');
        for (const m of g.unlinked) this.rows.set(m.row.ch, this.maskerRow(card, m.row.ch));
      }
    }

    common(row, ch) {
      const r = { row };
      r.solo = el('button', 'mx-btn mx-solo', row, 'S');
      r.solo.type = 'button';
      r.solo.dataset.tip = H.forSymbol('matrix-solo');
      r.solo.addEventListener('click', () => this.actions.solo(r.soloed ? 0 : ch));
      // Filled by fill(): a Masker shows the channel it follows.
      r.ch = el('span', 'mx-ch', row, '');
      const nameBox = el('span', 'mx-namebox', row);
      r.name = el('span', 'mx-name', nameBox);
      r.mine = el('span', 'mx-this', nameBox, 'this');
      r.mine.dataset.tip = H.forSymbol('matrix-this');
      r.spark = el('canvas', 'mx-spark', row);
      r.spark.dataset.tip = H.forSymbol('matrix-levels');
      r.spark.style.width = SPARK_W + 'px';
      r.spark.style.height = SPARK_H + 'px';
      return r;
    }

    // This Source, left out of the link: another Source holds its channel.
    waitingRow(card) {
      const row = el('div', 'mx-row mx-source mx-waiting mine', card);
      const r = { row };
      r.ch = el('span', 'mx-ch', row, '');
      r.ch.dataset.tip = H.forSymbol('matrix-source-channel');
      const nameBox = el('span', 'mx-namebox', row);
      r.name = el('span', 'mx-name', nameBox);
      el('span', 'mx-this', nameBox, 'this').dataset.tip = H.forSymbol('matrix-this');
      r.hint = el('span', 'mx-taken', row);
      return r;
    }

    fillWaiting(r, w) {
      setText(r.ch, String(w.ch));
      setText(r.name, w.name);
      setData(r.name, 'tip', w.text);
      r.name.classList.toggle('unnamed', !w.named);
      setText(r.hint, w.hint);
    }

    mute(r, ch, row) {
      r.mute = el('button', 'mx-btn mx-mute', row, 'M');
      r.mute.type = 'button';
      r.mute.dataset.tip = H.forSymbol('matrix-mute');
      r.mute.addEventListener('click', () => this.actions.mute(ch, !r.muted));
    }

    sourceRow(card, ch) {
      const row = el('div', 'mx-row mx-source', card);
      const r = this.common(row, ch);
      r.spark.dataset.color = '#35c9ae';
      const pri = el('div', 'mx-pri', row);
      pri.dataset.tip = H.forSymbol('matrix-priority');
      el('span', 'mx-pri-label', pri, 'Priority');
      const down = el('button', 'mx-step', pri, '−');
      r.pri = el('span', 'mx-pri-value', pri);
      const up = el('button', 'mx-step', pri, '+');
      down.type = up.type = 'button';
      down.addEventListener('click', () => r.priValue > 1 && this.actions.pri(ch, r.priValue - 1));
      up.addEventListener('click', () => r.priValue < 8 && this.actions.pri(ch, r.priValue + 1));
      this.mute(r, ch, row);

      return r;
    }

    maskerRow(card, ch) {
      const row = el('div', 'mx-row mx-masker', card);
      const r = this.common(row, ch);
      r.spark.dataset.color = '#f0a63a';
      r.bal = el('span', 'mx-bal', row);
      r.bal.dataset.tip = H.forSymbol('matrix-balance');
      const slider = el('div', 'mx-depth', row);
      slider.dataset.tip = H.forSymbol('matrix-depth');
      r.depthFill = el('div', 'mx-depth-fill', slider);
      r.depthText = el('span', 'mx-depth-text', slider);
      this.mute(r, ch, row);
      slider.addEventListener('pointerdown', (e) => {
        if (e.button !== 0) return;
        e.preventDefault();
        slider.setPointerCapture(e.pointerId);
        this.dragging = ch;
        this.drag = new MD.DepthDrag((v, gesture) => this.actions.depth(ch, v, gesture));
        this.drag.start(e.clientX, r.depthValue, e.shiftKey);
      });
      slider.addEventListener('pointermove', (e) => {
        if (this.dragging !== ch) return;
        r.depthValue = this.drag.move(e.clientX, e.shiftKey, performance.now());
        this.showDepth(r, r.depthValue);
      });
      const finish = () => {
        if (this.dragging !== ch) return;
        this.dragging = null;
        this.drag.end();
        this.drag = null;
      };
      slider.addEventListener('pointerup', finish);
      slider.addEventListener('pointercancel', finish);
      slider.addEventListener('lostpointercapture', finish);
      return r;
    }

    // Values a drag held back go out in time.
    flush(nowMs) {
      if (this.drag) this.drag.flush(nowMs);
    }

    // The fill is scaled, not resized, so moving it costs no layout.
    showDepth(r, v) {
      if (r.shownDepth === v) return;
      r.shownDepth = v;
      r.depthFill.style.transform = 'scaleX(' + (v / 100).toFixed(2) + ')';
      setText(r.depthText, v + ' %');
    }

    fill(r, entry, g, pending, nowMs) {
      const s = entry.row;
      const label = L.rowLabel(s);
      setText(r.ch, label.badge);
      setData(r.ch, 'tip', H.forSymbol(MR.channelTipKey(s.role, label.badge)));
      const elsewhere = L.rowProcessText(s);
      setData(r.name, 'tip', elsewhere ? label.text + ' · in ' + elsewhere : label.text);
      setText(r.name, (s.name || (s.role === 1 ? 'Source' : 'Masker')) + (s.pid > 0 ? ' · pid ' + s.pid : ''));
      r.name.classList.toggle('unnamed', !s.name);
      if (r.mine.hidden !== !entry.mine) r.mine.hidden = !entry.mine;
      r.row.classList.toggle('mine', entry.mine);
      r.soloed = pending.shown(0, 'solo', g.solo, nowMs) === s.ch;
      r.solo.classList.toggle('on', r.soloed);
      r.muted = pending.shown(s.ch, 'mute', s.mute ? 1 : 0, nowMs) >= 0.5;
      r.mute.classList.toggle('on', r.muted);
      r.row.classList.toggle('muted', r.muted);
      // The small curve is drawn again when the levels moved, at most a few
      // times a second: it is an overview, and every drawing costs paint.
      if ((!r.levels || r.levels.some((v, k) => v !== s.e[k])) && !(nowMs - r.sparkAt < SPARK_EVERY_MS)) {
        r.levels = s.e;
        r.sparkAt = nowMs;
        drawSpark(r.spark, s.e);
      }
      if (s.role === 1) {
        r.priValue = pending.shown(s.ch, 'pri', s.pri, nowMs);
        setText(r.pri, String(r.priValue));
        setData(r.pri.parentNode, 'tip', H.forSymbol('matrix-priority') + ' Now: Maskers held ' + (-L.marginDb(r.priValue)).toFixed(1) + ' dB below.');
      } else {
        r.balShown = L.heldBalance(r.balShown, s.bal);
        setText(r.bal, L.balanceText(r.balShown));
        if (this.dragging !== s.ch) {
          r.depthValue = Math.round(pending.shown(s.ch, 'depth', s.depth, nowMs));
          this.showDepth(r, r.depthValue);
        }
      }
    }
  }

  root.OstrelMatrixView = MatrixView;
})(typeof self !== 'undefined' ? self : this);
