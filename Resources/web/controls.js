// The page's controls: knobs, switches and segmented choices bound to one
// parameter each. A control knows its parameter by name; the editor hands it
// the description (once the "params" message has arrived) and the plain
// value, and the control reports the user's edits back through `edit`:
//   edit.begin(d, plain), edit.move(d, plain), edit.end(d, plain),
//   edit.set(d, plain), edit.nudge(d, plain), edit.textFocus(on).
(function (root) {
  'use strict';
  const P = root.OstrelParams;
  const K = root.OstrelKnobModel;
  const arc = K.arc;
  const SVG = 'http://www.w3.org/2000/svg';

  function el(tag, cls, parent, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    if (parent) parent.appendChild(e);
    return e;
  }

  function svg(tag, attrs, parent) {
    const e = document.createElementNS(SVG, tag);
    for (const k in attrs) e.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(e);
    return e;
  }

  // The value under a knob can be typed: a click on it opens a text field.
  function valueEditor(host, control, edit) {
    host.addEventListener('click', (ev) => {
      ev.stopPropagation();
      if (!control.desc || host.querySelector('input')) return;
      const input = document.createElement('input');
      input.type = 'text';
      input.className = 'value-input';
      input.value = P.formatText(control.desc, control.value);
      input.spellcheck = false;
      host.appendChild(input);
      host.classList.add('editing');
      let done = false;
      const close = (commit) => {
        if (done) return;
        done = true;
        if (commit) {
          const v = P.parseValue(control.desc, input.value);
          if (v !== null) edit.set(control.desc, v);
        }
        input.remove();
        host.classList.remove('editing');
        edit.textFocus(false);
      };
      input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') close(true);
        else if (e.key === 'Escape') close(false);
        e.stopPropagation();
      });
      input.addEventListener('blur', () => close(true));
      input.addEventListener('ostrel-commit', () => close(true));
      input.addEventListener('ostrel-cancel', () => close(false));
      edit.textFocus(true);
      input.focus();
      input.select();
    });
  }

  class Knob {
    // size: dial diameter in CSS pixels.
    constructor(parent, name, label, edit, size, cls) {
      this.name = name;
      this.edit = edit;
      this.desc = null;
      this.value = 0;
      this.fine = false;
      this.root = el('div', 'knob' + (cls ? ' ' + cls : ''), parent);
      this.root.dataset.param = name;
      this.label = el('div', 'knob-label', this.root, label);
      const s = size || 52;
      const dial = svg('svg', { class: 'knob-dial', width: s, height: s, viewBox: '0 0 60 60' }, this.root);
      dial.setAttribute('tabindex', '0');
      this.dial = dial;
      svg('path', { class: 'knob-track', d: arc(30, 30, 24, 0, 1) }, dial);
      this.fill = svg('path', { class: 'knob-fill', d: '' }, dial);
      svg('circle', { class: 'knob-cap', cx: 30, cy: 30, r: 17 }, dial);
      this.pointer = svg('line', { class: 'knob-pointer', x1: 30, y1: 30, x2: 30, y2: 16 }, dial);
      const valueBox = el('div', 'knob-value', this.root);
      this.valueText = el('span', 'v', valueBox, '');
      this.unitText = el('span', 'u', valueBox, '');
      valueEditor(valueBox, this, edit);
      this.bindPointer();
      this.bindKeys();
    }

    setDesc(d) {
      this.desc = d;
      this.render();
    }

    update(plain) {
      this.value = plain;
      this.render();
    }

    render() {
      if (!this.desc) return;
      const x = P.toNormalised(this.desc, this.value);
      this.fill.setAttribute('d', x > 0.002 ? arc(30, 30, 24, 0, x) : '');
      const end = K.pointerEnd(30, 30, 13, x);
      this.pointer.setAttribute('x2', end.x);
      this.pointer.setAttribute('y2', end.y);
      const f = P.formatValue(this.desc, this.value);
      this.valueText.textContent = f.value;
      this.unitText.textContent = f.unit;
      this.dial.setAttribute('aria-valuetext', f.value + ' ' + f.unit);
    }

    bindPointer() {
      let startY = 0;
      let startX = 0;
      let startNorm = 0;
      let dragging = false;
      const dial = this.dial;
      dial.addEventListener('pointerdown', (e) => {
        if (!this.desc || e.button !== 0) return;
        // No focus: a knob reached with the mouse leaves the keyboard alone.
        e.preventDefault();
        if (e.altKey || e.ctrlKey || e.metaKey) {
          this.edit.set(this.desc, this.desc.default);
          return;
        }
        dial.setPointerCapture(e.pointerId);
        dragging = true;
        startY = e.clientY;
        startX = e.clientX;
        startNorm = P.toNormalised(this.desc, this.value);
        this.fine = e.shiftKey;
        this.root.classList.add('active');
        // The gesture opens with the first move, so a plain click (or the
        // two of a double-click) leaves no empty gesture in the host.
        this.began = false;
      });
      dial.addEventListener('pointermove', (e) => {
        if (!dragging) return;
        const norm = K.dragValue(startNorm, e.clientX - startX, e.clientY - startY, e.shiftKey);
        if (e.shiftKey !== this.fine) {
          // Keep the knob where it is when the fine mode changes mid-drag.
          this.fine = e.shiftKey;
          startNorm = P.toNormalised(this.desc, this.value);
          startY = e.clientY;
          startX = e.clientX;
          return;
        }
        const plain = P.toPlain(this.desc, norm);
        if (plain !== this.value) {
          this.update(plain);
          if (this.began) this.edit.move(this.desc, plain);
          else {
            this.began = true;
            this.edit.begin(this.desc, plain);
          }
        }
      });
      const finish = () => {
        if (!dragging) return;
        dragging = false;
        this.fine = false;
        this.root.classList.remove('active');
        if (this.began) this.edit.end(this.desc, this.value);
        this.began = false;
      };
      dial.addEventListener('pointerup', finish);
      dial.addEventListener('pointercancel', finish);
      dial.addEventListener('lostpointercapture', finish);
      dial.addEventListener('dblclick', (e) => {
        e.preventDefault();
        if (this.desc) this.edit.set(this.desc, this.desc.default);
      });
      dial.addEventListener(
        'wheel',
        (e) => {
          if (!this.desc) return;
          e.preventDefault();
          const steps = e.deltaY < 0 ? 1 : e.deltaY > 0 ? -1 : 0;
          if (steps === 0) return;
          const plain = P.nudge(this.desc, this.value, steps, e.shiftKey);
          this.update(plain);
          this.edit.nudge(this.desc, plain);
        },
        { passive: false }
      );
    }

    bindKeys() {
      this.dial.addEventListener('keydown', (e) => {
        if (!this.desc) return;
        const steps = K.keySteps(e.key);
        if (steps === 0) return;
        if (steps === 'min' || steps === 'max') {
          e.preventDefault();
          this.edit.set(this.desc, steps === 'min' ? this.desc.min : this.desc.max);
          return;
        }
        e.preventDefault();
        const plain = P.nudge(this.desc, this.value, steps, e.shiftKey);
        this.update(plain);
        this.edit.nudge(this.desc, plain);
      });
    }
  }

  // An on/off switch as a button.
  class Switch {
    constructor(parent, name, label, edit, cls) {
      this.name = name;
      this.desc = null;
      this.value = 0;
      this.root = el('button', 'switch' + (cls ? ' ' + cls : ''), parent);
      this.root.type = 'button';
      this.root.dataset.param = name;
      el('span', 'led', this.root);
      el('span', 'switch-label', this.root, label);
      this.root.addEventListener('click', () => {
        if (this.desc) edit.set(this.desc, this.value >= 0.5 ? this.desc.min : this.desc.max);
      });
    }

    setDesc(d) {
      this.desc = d;
    }

    update(plain) {
      this.value = plain;
      const on = plain >= 0.5;
      this.root.classList.toggle('on', on);
      this.root.setAttribute('aria-pressed', on ? 'true' : 'false');
    }
  }

  // One button per value of an enumerated parameter (Role).
  class Segmented {
    constructor(parent, name, texts, edit, cls) {
      this.name = name;
      this.desc = null;
      this.value = 0;
      this.root = el('div', 'segmented' + (cls ? ' ' + cls : ''), parent);
      this.root.dataset.param = name;
      this.buttons = texts.map((t, i) => {
        const b = el('button', 'seg seg-' + t.toLowerCase(), this.root, t);
        b.type = 'button';
        b.addEventListener('click', () => {
          if (this.desc) edit.set(this.desc, this.desc.min + i);
        });
        return b;
      });
    }

    setDesc(d) {
      this.desc = d;
    }

    update(plain) {
      this.value = plain;
      const i = Math.round(plain - (this.desc ? this.desc.min : 0));
      this.buttons.forEach((b, k) => b.classList.toggle('on', k === i));
    }
  }

  root.OstrelControls = { Knob, Switch, Segmented, el };
})(typeof self !== 'undefined' ? self : this);
