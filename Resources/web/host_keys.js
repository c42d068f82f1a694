// Whether the page asks the host for its key presses. The page wants them
// only while a text field has the focus (typing a preset name or a value);
// the rest of the time they stay with the host, so its transport keys keep
// working over the editor. The answer follows the document's focus however
// it moves: blur, a click elsewhere, or a field removed while focused (saving
// a preset with Enter removes its input, and a removed element sends no blur).
// Works on anything shaped like a document, so Node tests drive it directly.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelHostKeys = api;
})(this, function () {
  'use strict';

  const TEXT_INPUT_TYPES = new Set(['', 'text', 'search', 'number', 'email', 'url', 'tel']);

  // A focused element that takes typed text.
  function takesText(el) {
    if (!el || el.isConnected === false) return false;
    const tag = String(el.tagName || '').toUpperCase();
    if (tag === 'TEXTAREA') return true;
    if (tag === 'INPUT') return TEXT_INPUT_TYPES.has(String(el.type || '').toLowerCase());
    return el.isContentEditable === true;
  }

  // Keeps `send(on)` in step with the document's focus: called once per
  // change, never twice with the same answer. `observe` (optional) gets a
  // callback to run whenever elements leave the document.
  class HostKeyTracker {
    constructor(doc, send, schedule) {
      this.doc = doc;
      this.send = send;
      this.on = false;
      this.held = false;
      // Focus moves after focusout; look once it has settled.
      this.schedule = schedule || ((fn) => setTimeout(fn, 0));
      const later = () => this.schedule(() => this.sync());
      doc.addEventListener('focusin', () => this.sync());
      doc.addEventListener('focusout', later);
    }

    // The page also wants the keys while something modal is open (the
    // manual, which Escape closes).
    hold(on) {
      this.held = on;
      this.sync();
    }

    // Looks at the focus now and tells the host if the answer changed.
    sync() {
      const want = this.held || takesText(this.doc.activeElement);
      if (want === this.on) return;
      this.on = want;
      this.send(want);
    }
  }

  // Space and Enter work a button (or any control) only when the user
  // reached it with Tab; one clicked keeps no keyboard use. Enter and Escape
  // in a text field end the editing: the field lets go of the focus, and with
  // it the keyboard goes back to the host.
  class KeyActivationGuard {
    constructor(doc, schedule) {
      this.doc = doc;
      this.schedule = schedule || ((fn) => setTimeout(fn, 0));
      this.tabbing = false;
      this.tabbed = null;
      doc.addEventListener('focusin', (e) => {
        this.tabbed = this.tabbing ? e.target : null;
        this.tabbing = false;
      });
    }

    keyDown(e) {
      const t = e.target;
      if (e.key === 'Tab') {
        this.tabbing = true;
        return;
      }
      if (takesText(t)) {
        if (e.key === 'Enter' || e.key === 'Escape')
          this.schedule(() => {
            if (this.doc.activeElement === t && typeof t.blur === 'function') t.blur();
          });
        return;
      }
      if ((e.key === ' ' || e.key === 'Enter') && t !== this.tabbed) e.preventDefault();
    }

    keyUp(e) {
      // A button acts on the release of space.
      if (e.key === ' ' && !takesText(e.target) && e.target !== this.tabbed) e.preventDefault();
    }
  }

  // A host key press in a text field whose selection runs from start to
  // end: special 2 (Delete/Backspace) removes the selection or the character
  // before the caret, a printable character replaces the selection. The
  // range to replace and its new text, or null when nothing changes.
  function typedEdit(start, end, charCode, special) {
    if (special === 2) {
      if (start !== end) return { start, end, text: '' };
      return start > 0 ? { start: start - 1, end: start, text: '' } : null;
    }
    if (charCode >= 32 && charCode < 127) return { start, end, text: String.fromCharCode(charCode) };
    return null;
  }

  return { HostKeyTracker, KeyActivationGuard, takesText, typedEdit };
});
