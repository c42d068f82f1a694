// The big picture: the Source's spectrum and this track's own across the 24
// bands (upper part), the dips per band with peak hold (lower part), the
// guards and the bells on the same frequency axis. Guards and bells can be
// dragged along the axis. Drawn on one canvas, only when something changed,
// at most once per animation frame.
(function (root) {
  'use strict';
  const B = root.OstrelBands;
  const P = root.OstrelParams;

  const COLORS = {
    bg: '#0f1115',
    grid: '#1f232b',
    gridText: '#5f6775',
    text: '#aeb6c4',
    src: '#35c9ae',
    srcFill: 'rgba(53, 201, 174, 0.22)',
    mask: '#f0a63a',
    dip: '#ff5c7a',
    dipFill: 'rgba(255, 92, 122, 0.55)',
    hold: '#ffd0da',
    guard: 'rgba(8, 9, 12, 0.62)',
    guardLine: '#6d7687',
    bell: '#a98bff',
    hover: 'rgba(255, 255, 255, 0.05)',
  };

  const SPECTRUM_FLOOR_DB = -42;
  const DIP_RANGE_DB = 24;
  const HOLD_FALL_DB_PER_S = 8;
  const PAD = { left: 42, right: 10, top: 22, bottom: 18 };

  class SpectrumView {
    constructor(canvas, edit) {
      this.canvas = canvas;
      this.ctx = canvas.getContext('2d');
      this.edit = edit;
      this.meters = null;
      this.state = { role: 0, bypass: false, lowGuard: 20, highGuard: 20000, bells: [], bellListen: 0 };
      this.descs = { low: null, high: null, bells: [] };
      this.hold = new Float32Array(B.COUNT);
      this.lastDraw = 0;
      this.dirty = true;
      this.hover = -1;
      this.drag = null;
      this.resize();
      this.bindPointer();
    }

    resize() {
      const r = this.canvas.getBoundingClientRect();
      const dpr = root.devicePixelRatio || 1;
      this.w = Math.max(1, Math.round(r.width));
      this.h = Math.max(1, Math.round(r.height));
      this.canvas.width = Math.round(this.w * dpr);
      this.canvas.height = Math.round(this.h * dpr);
      this.ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
      this.plotW = this.w - PAD.left - PAD.right;
      const plotH = this.h - PAD.top - PAD.bottom;
      this.specTop = PAD.top;
      this.specH = Math.round(plotH * 0.56);
      this.dipTop = this.specTop + this.specH + 8;
      this.dipH = this.h - PAD.bottom - this.dipTop;
      this.dirty = true;
    }

    setDescs(descs) {
      this.descs = descs;
    }

    setMeters(m) {
      this.meters = m;
      this.dirty = true;
    }

    // A Source has no meters of its own spectrum: the page hands over the
    // band levels it publishes (from the matrix report), or null.
    setOwnLevels(levels) {
      this.ownLevels = levels;
      this.dirty = true;
    }

    setState(s) {
      this.state = s;
      this.dirty = true;
    }

    xOfAxis(a) {
      return PAD.left + a * this.plotW;
    }

    xOfHz(hz) {
      return this.xOfAxis(B.axisOf(hz));
    }

    hzOfX(x) {
      return B.hzOfAxis((x - PAD.left) / this.plotW);
    }

    // Draws if needed; `now` in milliseconds.
    frame(now) {
      const dt = this.lastDraw ? Math.min(0.25, (now - this.lastDraw) / 1000) : 0;
      let falling = false;
      const dips = this.meters ? this.meters.dip : null;
      for (let k = 0; k < B.COUNT; k++) {
        const depth = dips ? -dips[k] : 0;
        const fallen = Math.max(0, this.hold[k] - HOLD_FALL_DB_PER_S * dt);
        this.hold[k] = Math.max(depth, fallen);
        if (this.hold[k] > depth + 0.01) falling = true;
      }
      if (!this.dirty && !falling) {
        this.lastDraw = now;
        return;
      }
      this.dirty = false;
      this.lastDraw = now;
      this.draw();
    }

    draw() {
      const c = this.ctx;
      const s = this.state;
      c.fillStyle = COLORS.bg;
      c.fillRect(0, 0, this.w, this.h);
      c.font = '10px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
      this.drawGrid(c);
      const m = this.meters;
      const bw = this.plotW / B.COUNT;
      if (this.hover >= 0) {
        c.fillStyle = COLORS.hover;
        c.fillRect(this.xOfAxis(this.hover / B.COUNT), this.specTop, bw, this.dipTop + this.dipH - this.specTop);
      }
      const active = !s.bypass && s.role !== 0;
      if (active && s.role === 1) {
        if (this.ownLevels) this.drawSource(c, this.relative(this.ownLevels), bw);
      } else if (m && active) {
        this.drawSource(c, m.src, bw);
        this.drawTrack(c, m.mask, bw);
        this.drawDips(c, m, bw);
      }
      // Guards and bells shape only what a Masker or Self removes.
      if (this.shaping()) {
        this.drawGuards(c);
        this.drawBells(c);
      }
      this.drawReadouts(c, m, active);
    }

    drawGrid(c) {
      c.lineWidth = 1;
      c.strokeStyle = COLORS.grid;
      c.fillStyle = COLORS.gridText;
      c.textAlign = 'center';
      c.textBaseline = 'alphabetic';
      const bottom = this.dipTop + this.dipH;
      for (const [hz, label] of B.GRID) {
        const x = Math.round(this.xOfHz(hz)) + 0.5;
        c.beginPath();
        c.moveTo(x, this.specTop);
        c.lineTo(x, bottom);
        c.stroke();
        c.fillText(label, Math.min(this.w - 12, x), this.h - 5);
      }
      c.textAlign = 'right';
      c.textBaseline = 'middle';
      for (const db of [0, -12, -24, -36]) {
        const y = Math.round(this.specTop + (db / SPECTRUM_FLOOR_DB) * this.specH) + 0.5;
        c.beginPath();
        c.moveTo(PAD.left, y);
        c.lineTo(PAD.left + this.plotW, y);
        c.stroke();
        c.fillText(String(db), PAD.left - 6, y);
      }
      for (const db of [0, -6, -12, -18, -24]) {
        const y = Math.round(this.dipTop + (-db / DIP_RANGE_DB) * this.dipH) + 0.5;
        c.strokeStyle = db === 0 ? '#343a45' : COLORS.grid;
        c.beginPath();
        c.moveTo(PAD.left, y);
        c.lineTo(PAD.left + this.plotW, y);
        c.stroke();
        c.fillText(String(db), PAD.left - 6, y);
      }
      c.save();
      c.translate(10, this.specTop + this.specH / 2);
      c.rotate(-Math.PI / 2);
      c.textAlign = 'center';
      c.fillText('level dB', 0, 0);
      c.restore();
      c.save();
      c.translate(10, this.dipTop + this.dipH / 2);
      c.rotate(-Math.PI / 2);
      c.textAlign = 'center';
      c.fillText('dip dB', 0, 0);
      c.restore();
    }

    specY(amplitude) {
      const db = B.relativeDb(amplitude, SPECTRUM_FLOOR_DB);
      return this.specTop + (db / SPECTRUM_FLOOR_DB) * this.specH;
    }

    relative(levels) {
      let peak = 0;
      for (let k = 0; k < B.COUNT; k++) peak = Math.max(peak, levels[k]);
      const out = new Float32Array(B.COUNT);
      if (peak > 0) for (let k = 0; k < B.COUNT; k++) out[k] = levels[k] / peak;
      return out;
    }

    drawSource(c, src, bw) {
      const base = this.specTop + this.specH;
      c.fillStyle = COLORS.srcFill;
      c.strokeStyle = COLORS.src;
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

    // This track's own spectrum, as a line through the band centres.
    drawTrack(c, mask, bw) {
      c.strokeStyle = COLORS.mask;
      c.lineWidth = 1.75;
      c.beginPath();
      for (let k = 0; k < B.COUNT; k++) {
        const x = PAD.left + (k + 0.5) * bw;
        const y = this.specY(mask[k]);
        if (k === 0) c.moveTo(x, y);
        else c.lineTo(x, y);
      }
      c.stroke();
      c.fillStyle = COLORS.mask;
      for (let k = 0; k < B.COUNT; k++) {
        c.beginPath();
        c.arc(PAD.left + (k + 0.5) * bw, this.specY(mask[k]), 1.8, 0, 2 * Math.PI);
        c.fill();
      }
    }

    drawDips(c, m, bw) {
      const gap = Math.max(1, Math.round(bw * 0.14));
      for (let k = 0; k < B.COUNT; k++) {
        const x = PAD.left + k * bw + gap;
        const w = bw - 2 * gap;
        const depth = Math.min(DIP_RANGE_DB, -m.dip[k]);
        if (depth > 0.05) {
          const h = (depth / DIP_RANGE_DB) * this.dipH;
          c.fillStyle = COLORS.dipFill;
          c.fillRect(x, this.dipTop, w, h);
          c.fillStyle = COLORS.dip;
          c.fillRect(x, this.dipTop + h - 2, w, 2);
          if (-m.dip[k] > DIP_RANGE_DB) {
            // Deeper than the scale: a notch at the bottom says so.
            c.fillRect(x, this.dipTop + this.dipH - 4, w, 4);
          }
        }
        const hold = Math.min(DIP_RANGE_DB, this.hold[k]);
        if (hold > 0.3) {
          c.fillStyle = COLORS.hold;
          c.fillRect(x, this.dipTop + (hold / DIP_RANGE_DB) * this.dipH - 1, w, 1);
        }
      }
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

    drawReadouts(c, m, active) {
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
        key(COLORS.dip, 'dip');
      }
      c.textAlign = 'right';
      c.fillStyle = COLORS.text;
      let right = '';
      if (!active) right = s.bypass ? 'Bypassed' : 'Off';
      else if (m && s.role !== 1) {
        right = m.nullDb > -119.95 ? 'deepest ' + m.nullDb.toFixed(1) + ' dB' : 'no dip';
        right += ' · ' + m.touched + (m.touched === 1 ? ' band' : ' bands') + ' touched';
      } else if (s.role === 1) right = 'a Source is never dipped';
      if (this.hover >= 0) {
        const k = this.hover;
        const f = B.CENTRES[k];
        let t = 'band ' + (k + 1) + ' · ' + (f >= 1000 ? (f / 1000).toFixed(2) + ' kHz' : Math.round(f) + ' Hz');
        if (m && active && s.role !== 1) t += ' · dip ' + (m.dip[k] < 0 ? m.dip[k].toFixed(1) : '0.0') + ' dB';
        right = t;
      }
      c.fillText(right, this.w - PAD.right, y);
      if (!active) {
        c.textAlign = 'center';
        c.font = '13px system-ui, "Segoe UI", "DejaVu Sans", sans-serif';
        c.fillStyle = '#6d7687';
        c.fillText(
          s.bypass ? 'Bypassed: the signal passes untouched' : 'Choose a Role to start',
          PAD.left + this.plotW / 2,
          this.specTop + this.specH / 2
        );
      }
    }

    // ---- Dragging guards and bells --------------------------------------

    shaping() {
      return this.state.role === 2 || this.state.role === 3;
    }

    hit(x, y) {
      const s = this.state;
      if (!this.shaping()) return null;
      if (y < this.specTop - 10 || y > this.dipTop + this.dipH) return null;
      const near = (hz, range) => Math.abs(this.xOfHz(hz) - x) <= range;
      for (let i = s.bells.length - 1; i >= 0; i--) {
        const b = s.bells[i];
        if ((b.active || s.bellListen === i + 1) && near(b.freq, 7) && this.descs.bells[i]) return { desc: this.descs.bells[i], key: 'bell' + i };
      }
      if (this.descs.high && near(s.highGuard, 6)) return { desc: this.descs.high, key: 'high' };
      if (this.descs.low && near(s.lowGuard, 6)) return { desc: this.descs.low, key: 'low' };
      return null;
    }

    bindPointer() {
      const cv = this.canvas;
      const pos = (e) => {
        const r = cv.getBoundingClientRect();
        return [e.clientX - r.left, e.clientY - r.top];
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
        const band = x >= PAD.left && x < PAD.left + this.plotW && y >= this.specTop && y <= this.dipTop + this.dipH ? Math.floor(((x - PAD.left) / this.plotW) * B.COUNT) : -1;
        if (band !== this.hover) {
          this.hover = band;
          this.dirty = true;
        }
        cv.style.cursor = this.hit(x, y) ? 'ew-resize' : 'default';
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
          this.dirty = true;
        }
      });
    }
  }

  root.OstrelSpectrumView = SpectrumView;
})(typeof self !== 'undefined' ? self : this);
