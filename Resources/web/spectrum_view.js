// The big picture: the Source's spectrum and this track's own across the 24
// bands on one absolute level axis (dBFS, upper part) with this track's
// gain-reduction curve hanging from its own, the dips per band with peak
// hold (lower part), the guards and the bells on the same frequency axis.
// Guards and bells can be dragged along the axis. One opaque canvas, drawn
// only when something changed: the grid is drawn once per size into a layer
// of its own, and a meter update copies it back and draws again only the
// rows its curves and bars reach (the web view paints no more than that).
// The readout is a text of the page beside it. While the host bypasses the
// plug-in or no audio arrives, the meters are greyed and say so.
(function (root) {
  'use strict';
  const B = root.OstrelBands;
  const P = root.OstrelParams;
  const M = root.OstrelMeterModel;
  const H = root.OstrelHelpTexts;
  const SL = root.OstrelSpectrumLayout;

  const COLORS = {
    bg: '#0f1115',
    grid: '#1f232b',
    gridText: '#5f6775',
    text: '#aeb6c4',
    src: '#35c9ae',
    // Opaque (the teal at 22 % over the background): far cheaper to fill.
    srcFill: '#173a37',
    specGrid: 'rgba(255, 255, 255, 0.055)',
    mask: '#f0a63a',
    dip: '#ff5c7a',
    dipFill: 'rgba(255, 92, 122, 0.55)',
    hold: '#ffd0da',
    guard: 'rgba(8, 9, 12, 0.62)',
    guardLine: '#6d7687',
    bell: '#a98bff',
    hover: 'rgba(255, 255, 255, 0.05)',
    page: '#14161b',
    border: '#2b3039',
    after: '#ffb3c1',
    removed: 'rgba(255, 92, 122, 0.32)',
    paused: '#6d7687',
    pausedFill: '#20232a',
    veil: 'rgba(15, 17, 21, 0.55)',
  };

  const DIP_RANGE_DB = 24;
  // The radius of the box's rounded corners.
  const CORNER = 6;
  const PAD = SL.PAD;
  const LABEL_MIN_SCREEN_PX = 9;

  class SpectrumView {
    // readout: the element that shows the readout line.
    constructor(canvas, readout, edit) {
      this.canvas = canvas;
      this.readoutEl = readout;
      // Opaque: the web view then paints nothing under it at each frame.
      this.ctx = canvas.getContext('2d', { alpha: false });
      this.grid = document.createElement('canvas');
      this.edit = edit;
      this.meters = null;
      this.live = M.meterState(null);
      this.state = { role: 0, bypass: false, lowGuard: 20, highGuard: 20000, bells: [], bellListen: 0 };
      this.descs = { low: null, high: null, bells: [] };
      this.hold = new Float32Array(B.COUNT);
      this.lastMeters = 0;
      this.dirty = true;
      // Only meters moved since the last frame: the rows they reach suffice.
      this.metersOnly = false;
      this.lastRows = null;
      this.hover = -1;
      this.drag = null;
      this.pageScale = 1;
      // Called when a pointer move needs a frame drawn.
      this.onDirty = () => {};
      this.resize(1);
      this.bindPointer();
    }

    // The canvas's layout size in page pixels; `pageScale` is how much the
    // whole page is scaled, so the pixels behind it match the screen's.
    resize(pageScale) {
      if (pageScale > 0) this.pageScale = pageScale;
      const ratio = (root.devicePixelRatio || 1) * this.pageScale;
      this.w = Math.max(1, this.canvas.clientWidth || Math.round(this.canvas.getBoundingClientRect().width / this.pageScale));
      this.h = Math.max(1, this.canvas.clientHeight || Math.round(this.canvas.getBoundingClientRect().height / this.pageScale));
      for (const cv of [this.canvas, this.grid]) {
        cv.width = Math.round(this.w * ratio);
        cv.height = Math.round(this.h * ratio);
      }
      this.ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
      const l = SL.layout(this.w, this.h);
      this.plotW = l.plotW;
      this.specTop = l.specTop;
      this.specH = l.specH;
      this.dipTop = l.dipTop;
      this.dipH = l.dipH;
      this.ratio = ratio;
      this.layerDirty = true;
      this.invalidate();
    }

    // What does not move with the meters, drawn once per size and role: the
    // background, grid, axis labels and the legend.
    drawLayer() {
      this.layerDirty = false;
      const g = this.grid.getContext('2d', { alpha: false });
      g.setTransform(this.ratio, 0, 0, this.ratio, 0, 0);
      // The page around the box shows in its rounded corners; the box's
      // border is drawn here too.
      g.fillStyle = COLORS.page;
      g.fillRect(0, 0, this.w, this.h);
      g.fillStyle = COLORS.bg;
      g.strokeStyle = COLORS.border;
      g.lineWidth = 1;
      g.beginPath();
      const x0 = 0.5;
      const y0 = 0.5;
      const x1 = this.w - 0.5;
      const y1 = this.h - 0.5;
      g.moveTo(x0 + CORNER, y0);
      g.arcTo(x1, y0, x1, y1, CORNER);
      g.arcTo(x1, y1, x0, y1, CORNER);
      g.arcTo(x0, y1, x0, y0, CORNER);
      g.arcTo(x0, y0, x1, y0, CORNER);
      g.closePath();
      g.fill();
      g.stroke();
      // The axis labels stay readable on screen, at least 9 px, however far
      // the page is scaled down.
      this.labelPx = Math.max(10, LABEL_MIN_SCREEN_PX / this.pageScale);
      g.font = this.labelPx.toFixed(1) + 'px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
      this.drawGrid(g);
      this.drawLegend(g);
    }

    // The rows a frame's curves and bars reach, from the highest curve to
    // the lowest bar or hold mark (with room for line widths).
    reach() {
      const m = this.meters;
      const s = this.state;
      let top = this.specTop + this.specH;
      let bottom = this.dipTop;
      if (m && !s.bypass && s.role !== 0) {
        for (let k = 0; k < B.COUNT; k++) {
          top = Math.min(top, this.specY(m.src[k]));
          if (s.role !== 1) top = Math.min(top, this.specY(m.mask[k]));
        }
        if (s.role !== 1)
          for (let k = 0; k < B.COUNT; k++) {
            const depth = Math.max(-m.dip[k], this.hold[k]);
            bottom = Math.max(bottom, depth > DIP_RANGE_DB ? this.dipTop + this.dipH : this.dipTop + (depth / DIP_RANGE_DB) * this.dipH);
          }
      }
      return [Math.floor(top) - 3, Math.ceil(bottom) + 3];
    }

    setDescs(descs) {
      this.descs = descs;
    }

    // Something else than the meters changed: the whole plot is drawn again.
    invalidate() {
      this.dirty = true;
      this.metersOnly = false;
    }

    // A meter report arrived at `now` (ms): the readout and the peak holds
    // move on with it, so nothing animates between reports.
    setMeters(m, now) {
      this.meters = m;
      this.live = M.meterState(m);
      if (this.live.live) SL.fallHolds(this.hold, m.dip, this.lastMeters ? (now - this.lastMeters) / 1000 : 0);
      this.lastMeters = now;
      // A frame that follows only meter updates redraws the rows they reach.
      if (!this.dirty) this.metersOnly = true;
      this.dirty = true;
    }

    // The parameters the picture shows; a state like the last one draws nothing.
    setState(s) {
      const key = JSON.stringify(s);
      if (key === this.stateKey) return;
      this.layerDirty = this.layerDirty || !this.state || this.state.role !== s.role;
      this.stateKey = key;
      this.state = s;
      this.invalidate();
    }

    xOfAxis(a) {
      return SL.xOfAxis(this, a);
    }

    xOfHz(hz) {
      return SL.xOfHz(this, hz);
    }

    hzOfX(x) {
      return SL.hzOfX(this, x);
    }

    // Draws if anything changed since the last frame.
    frame() {
      if (!this.dirty) return;
      this.dirty = false;
      this.draw();
    }

    draw() {
      const c = this.ctx;
      const s = this.state;
      const full = this.layerDirty;
      if (full) this.drawLayer();
      // What this frame redraws: the whole canvas after a new layer, the
      // plot after other changes, and after a meter update only the rows
      // the curves and bars reach now or reached before.
      const rows = this.reach();
      let top = this.specTop - 7;
      let bottom = this.dipTop + this.dipH + 1;
      if (this.metersOnly && this.lastRows) {
        top = Math.max(top, Math.min(rows[0], this.lastRows[0]));
        bottom = Math.min(bottom, Math.max(rows[1], this.lastRows[1]));
      }
      this.lastRows = rows;
      this.metersOnly = false;
      const x = PAD.left - 8;
      const w = this.plotW + 16;
      const r = this.ratio;
      c.save();
      c.setTransform(1, 0, 0, 1, 0, 0);
      if (full) c.drawImage(this.grid, 0, 0);
      else {
        const sx = Math.floor(x * r);
        const sy = Math.floor(top * r);
        const sw = Math.ceil((x + w) * r) - sx;
        const sh = Math.ceil(bottom * r) - sy;
        c.drawImage(this.grid, sx, sy, sw, sh, sx, sy, sw, sh);
      }
      c.restore();
      c.save();
      c.beginPath();
      c.rect(x, top, w, bottom - top);
      c.clip();
      this.drawPlot(c);
      c.restore();
      this.showReadout();
    }

    // The level area's grid, over the filled Source.
    specGridLines(c) {
      c.strokeStyle = COLORS.specGrid;
      c.lineWidth = 1;
      c.beginPath();
      for (const [hz] of B.GRID) {
        const x = Math.round(this.xOfHz(hz)) + 0.5;
        c.moveTo(x, this.specTop);
        c.lineTo(x, this.specTop + this.specH);
      }
      for (const db of M.LEVEL_GRID_DB) {
        const y = Math.round(this.specTop + M.levelFraction(db) * this.specH) + 0.5;
        c.moveTo(PAD.left, y);
        c.lineTo(PAD.left + this.plotW, y);
      }
      c.stroke();
    }

    drawPlot(c) {
      const s = this.state;
      const m = this.meters;
      const bw = this.plotW / B.COUNT;
      const active = !s.bypass && s.role !== 0;
      const paused = !this.live.live;
      if (m && active) this.drawSource(c, m.src, bw, paused);
      this.specGridLines(c);
      if (this.hover >= 0) {
        c.fillStyle = COLORS.hover;
        c.fillRect(this.xOfAxis(this.hover / B.COUNT), this.specTop, bw, this.dipTop + this.dipH - this.specTop);
      }
      if (m && active && s.role !== 1) {
        this.drawTrack(c, m.mask, m.dip, bw, paused);
        this.drawDips(c, m, bw, paused);
      }
      // Guards and bells shape only what a Masker or Self removes.
      if (this.shaping()) {
        this.drawGuards(c);
        this.drawBells(c);
      }
      if (!active) {
        c.textAlign = 'center';
        c.textBaseline = 'middle';
        c.font = '13px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
        c.fillStyle = '#6d7687';
        c.fillText(s.bypass ? 'Bypassed: the signal passes untouched' : 'Choose a Role to start', PAD.left + this.plotW / 2, this.specTop + this.specH / 2);
      } else if (paused) this.drawPaused(c);
    }

    // The meters stand still: a veil over the plot and the reason.
    drawPaused(c) {
      c.fillStyle = COLORS.veil;
      c.fillRect(PAD.left, this.specTop, this.plotW, this.dipTop + this.dipH - this.specTop);
      c.textAlign = 'center';
      c.textBaseline = 'middle';
      c.font = '13px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
      c.fillStyle = COLORS.text;
      c.fillText(this.live.text, PAD.left + this.plotW / 2, this.specTop + this.specH / 2);
    }

    drawGrid(c) {
      c.lineWidth = 1;
      c.strokeStyle = COLORS.grid;
      c.fillStyle = COLORS.gridText;
      c.textAlign = 'center';
      c.textBaseline = 'alphabetic';
      // The level area's grid lines are drawn over its curves at each frame
      // (specGridLines); here only their labels.
      const bottom = this.dipTop + this.dipH;
      // Labels that would run into the one before are left out (small sizes).
      let right = -Infinity;
      for (const [hz, label] of B.GRID) {
        const x = Math.round(this.xOfHz(hz)) + 0.5;
        c.beginPath();
        c.moveTo(x, this.dipTop);
        c.lineTo(x, bottom);
        c.stroke();
        const at = Math.min(this.w - 12, x);
        const half = c.measureText(label).width / 2;
        if (at - half < right + 3) continue;
        right = at + half;
        c.fillText(label, at, this.h - Math.max(5, this.labelPx / 2));
      }
      c.textAlign = 'right';
      c.textBaseline = 'middle';
      let above = -Infinity;
      const yLabel = (text, y) => {
        if (y - above < this.labelPx) return;
        above = y;
        c.fillText(text, PAD.left - 6, y);
      };
      for (const db of M.LEVEL_GRID_DB) yLabel(String(db), Math.round(this.specTop + M.levelFraction(db) * this.specH) + 0.5);
      for (const db of [0, -6, -12, -18, -24]) {
        const y = Math.round(this.dipTop + (-db / DIP_RANGE_DB) * this.dipH) + 0.5;
        c.strokeStyle = db === 0 ? '#343a45' : COLORS.grid;
        c.beginPath();
        c.moveTo(PAD.left, y);
        c.lineTo(PAD.left + this.plotW, y);
        c.stroke();
        yLabel(String(db), y);
      }
      c.save();
      c.translate(10, this.specTop + this.specH / 2);
      c.rotate(-Math.PI / 2);
      c.textAlign = 'center';
      c.fillText('dBFS', 0, 0);
      c.restore();
      c.save();
      c.translate(10, this.dipTop + this.dipH / 2);
      c.rotate(-Math.PI / 2);
      c.textAlign = 'center';
      c.fillText('dip dB', 0, 0);
      c.restore();
    }

    specY(db) {
      return this.specTop + M.levelFraction(db) * this.specH;
    }

    // The Source's band levels (for a Source its own), as published.
    drawSource(c, src, bw, paused) {
      const base = this.specTop + this.specH;
      c.fillStyle = paused ? COLORS.pausedFill : COLORS.srcFill;
      c.strokeStyle = paused ? COLORS.paused : COLORS.src;
      c.lineWidth = 1.5;
      c.beginPath();
      c.moveTo(PAD.left, base);
      for (let k = 0; k < B.COUNT; k++) {
        const y = this.specY(src[k]);
        c.lineTo(PAD.left + k * bw, y);
        c.lineTo(PAD.left + (k + 1) * bw, y);
      }
      c.lineTo(PAD.left + this.plotW, base);
      c.closePath();
      c.fill();
      c.beginPath();
      for (let k = 0; k < B.COUNT; k++) {
        const y = this.specY(src[k]);
        if (k === 0) c.moveTo(PAD.left, y);
        else c.lineTo(PAD.left + k * bw, y);
        c.lineTo(PAD.left + (k + 1) * bw, y);
      }
      c.stroke();
    }

    // This track's own levels through the band centres, and below them its
    // levels after the dips: the band between the two is what is removed.
    drawTrack(c, mask, dip, bw, paused) {
      const x = (k) => PAD.left + (k + 0.5) * bw;
      if (!paused) {
        c.fillStyle = COLORS.removed;
        c.beginPath();
        for (let k = 0; k < B.COUNT; k++) {
          if (k === 0) c.moveTo(x(k), this.specY(mask[k]));
          else c.lineTo(x(k), this.specY(mask[k]));
        }
        for (let k = B.COUNT - 1; k >= 0; k--) c.lineTo(x(k), this.specY(M.levelAfterDip(mask[k], dip[k])));
        c.closePath();
        c.fill();
        c.strokeStyle = COLORS.after;
        c.lineWidth = 1.25;
        c.setLineDash([4, 3]);
        c.beginPath();
        for (let k = 0; k < B.COUNT; k++) {
          const y = this.specY(M.levelAfterDip(mask[k], dip[k]));
          if (k === 0) c.moveTo(x(k), y);
          else c.lineTo(x(k), y);
        }
        c.stroke();
        c.setLineDash([]);
      }
      c.strokeStyle = paused ? COLORS.paused : COLORS.mask;
      c.lineWidth = 1.75;
      c.beginPath();
      for (let k = 0; k < B.COUNT; k++) {
        if (k === 0) c.moveTo(x(k), this.specY(mask[k]));
        else c.lineTo(x(k), this.specY(mask[k]));
      }
      c.stroke();
    }

    // The bars, their edges and the hold marks, each colour as one path:
    // three fills a frame instead of a hundred.
    drawDips(c, m, bw, paused) {
      const gap = Math.max(1, Math.round(bw * 0.14));
      const w = bw - 2 * gap;
      const bars = new Path2D();
      const edges = new Path2D();
      const holds = new Path2D();
      for (let k = 0; k < B.COUNT; k++) {
        const x = PAD.left + k * bw + gap;
        const depth = Math.min(DIP_RANGE_DB, -m.dip[k]);
        if (depth > 0.05) {
          const h = (depth / DIP_RANGE_DB) * this.dipH;
          bars.rect(x, this.dipTop, w, h);
          edges.rect(x, this.dipTop + h - 2, w, 2);
          // Deeper than the scale: a notch at the bottom says so.
          if (-m.dip[k] > DIP_RANGE_DB) edges.rect(x, this.dipTop + this.dipH - 4, w, 4);
        }
        const hold = Math.min(DIP_RANGE_DB, this.hold[k]);
        if (hold > 0.3) holds.rect(x, this.dipTop + (hold / DIP_RANGE_DB) * this.dipH - 1, w, 1);
      }
      if (paused) c.globalAlpha = 0.35;
      c.fillStyle = COLORS.dipFill;
      c.fill(bars);
      c.fillStyle = COLORS.dip;
      c.fill(edges);
      c.fillStyle = COLORS.hold;
      c.fill(holds);
      c.globalAlpha = 1;
    }

    drawGuards(c) {
      const s = this.state;
      const top = this.specTop;
      const bottom = this.dipTop + this.dipH;
      const xl = this.xOfHz(s.lowGuard);
      const xh = this.xOfHz(s.highGuard);
      c.fillStyle = COLORS.guard;
      if (xl > PAD.left + 0.5) c.fillRect(PAD.left, top, xl - PAD.left, bottom - top);
      if (xh < PAD.left + this.plotW - 0.5) c.fillRect(xh, top, PAD.left + this.plotW - xh, bottom - top);
      c.strokeStyle = COLORS.guardLine;
      c.fillStyle = COLORS.guardLine;
      c.setLineDash([3, 3]);
      c.lineWidth = 1;
      for (const x of [xl, xh]) {
        c.beginPath();
        c.moveTo(Math.round(x) + 0.5, top);
        c.lineTo(Math.round(x) + 0.5, bottom);
        c.stroke();
      }
      c.setLineDash([]);
      // Grips in the middle of each guard line.
      const mid = top + (bottom - top) / 2;
      for (const x of [xl, xh]) c.fillRect(Math.round(x) - 2, mid - 9, 5, 18);
    }

    drawBells(c) {
      const s = this.state;
      const top = this.specTop;
      const bottom = this.dipTop + this.dipH;
      c.textAlign = 'center';
      c.textBaseline = 'middle';
      c.font = 'bold 10px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
      s.bells.forEach((b, i) => {
        if (!b.active && s.bellListen !== i + 1) return;
        const x = Math.round(this.xOfHz(b.freq)) + 0.5;
        c.strokeStyle = COLORS.bell;
        c.globalAlpha = b.active ? 0.9 : 0.45;
        c.beginPath();
        c.moveTo(x, top + 8);
        c.lineTo(x, bottom);
        c.stroke();
        c.fillStyle = COLORS.bell;
        c.beginPath();
        c.arc(x, top + 1, 7, 0, 2 * Math.PI);
        c.fill();
        c.fillStyle = '#15121f';
        c.fillText(String(i + 1), x, top + 1.5);
        c.globalAlpha = 1;
      });
    }

    drawLegend(c) {
      const s = this.state;
      c.font = '11px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
      c.textBaseline = 'middle';
      c.textAlign = 'left';
      const y = 10;
      let x = PAD.left;
      const key = (color, label) => {
        c.fillStyle = color;
        c.fillRect(x, y - 4, 10, 8);
        c.fillStyle = COLORS.text;
        c.fillText(label, x + 14, y);
        x += 14 + c.measureText(label).width + 14;
      };
      key(COLORS.src, s.role === 3 ? 'own source' : s.role === 1 ? 'this Source' : 'Source');
      if (s.role !== 1) {
        key(COLORS.mask, 'this track');
        key(COLORS.after, 'after the dips');
        key(COLORS.dip, 'dip');
      }
    }

    // The line above the plot's right half: the deepest dip and the bands
    // touched, why the meters stand still, or the band under the pointer.
    readoutLine() {
      if (this.hover >= 0) return SL.bandLine(this.hover, this.state, this.meters);
      return M.meterLine(this.state, this.meters);
    }

    // Drawn with the bars, so the line and the bars always agree.
    showReadout() {
      const t = this.readoutLine();
      if (this.readoutEl.textContent !== t) this.readoutEl.textContent = t;
      const paused = !this.live.live;
      if (this.readoutEl.classList.contains('paused') !== paused) this.readoutEl.classList.toggle('paused', paused);
    }

    // ---- Dragging guards and bells --------------------------------------

    shaping() {
      return this.state.role === 2 || this.state.role === 3;
    }

    hit(x, y) {
      return SL.hit(this, this.state, this.descs, x, y);
    }

    bindPointer() {
      const cv = this.canvas;
      // Pointer positions in the canvas's own (unscaled) pixels.
      const pos = (e) => {
        const r = cv.getBoundingClientRect();
        return [(e.clientX - r.left) / this.pageScale, (e.clientY - r.top) / this.pageScale];
      };
      cv.addEventListener('pointerdown', (e) => {
        if (e.button !== 0) return;
        const [x, y] = pos(e);
        const h = this.hit(x, y);
        if (!h) return;
        e.preventDefault();
        cv.setPointerCapture(e.pointerId);
        this.drag = h;
        h.began = false;
      });
      cv.addEventListener('pointermove', (e) => {
        const [x, y] = pos(e);
        if (this.drag) {
          // The gesture opens with the first move: a click leaves the value.
          const v = P.clampPlain(this.drag.desc, this.hzOfX(x));
          if (this.drag.began) this.edit.move(this.drag.desc, v);
          else {
            this.drag.began = true;
            this.edit.begin(this.drag.desc, v);
          }
          return;
        }
        const band = SL.bandAt(this, x, y);
        if (band !== this.hover) {
          this.hover = band;
          this.invalidate();
          this.onDirty();
        }
        const h = this.hit(x, y);
        cv.style.cursor = h ? 'ew-resize' : 'default';
        // The hint follows what is under the pointer.
        const tip = H.forSymbol(SL.tipKey(this, h, x, y));
        if (cv.dataset.tip !== tip) cv.dataset.tip = tip;
      });
      const finish = (e) => {
        if (!this.drag) return;
        const [x] = pos(e);
        const d = this.drag;
        this.drag = null;
        if (d.began) this.edit.end(d.desc, P.clampPlain(d.desc, this.hzOfX(x)));
      };
      cv.addEventListener('pointerup', finish);
      cv.addEventListener('pointercancel', finish);
      cv.addEventListener('pointerleave', () => {
        if (this.hover !== -1 && !this.drag) {
          this.hover = -1;
          this.invalidate();
          this.onDirty();
        }
      });
    }
  }

  root.OstrelSpectrumView = SpectrumView;
})(typeof self !== 'undefined' ? self : this);
