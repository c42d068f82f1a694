// Parameter edits from the page as the host should see them: one gesture per
// drag ("begin" with the first value, the values in between, "end" with the
// last), one complete edit per click, and a short gesture for a burst of
// wheel or arrow-key steps. Values of a drag are coalesced to one message per
// flush (one per animation frame), and while the page holds a parameter the
// plug-in's echoes of older values are not shown. No DOM here: `send` gets
// the message text of message tag 1.
(function (root, make) {
  const wire = typeof require === 'function' ? require('./wire.js') : root.OstrelWire;
  const api = make(wire);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelGestures = api;
})(typeof self !== 'undefined' ? self : this, function (wire) {
  'use strict';

  // A burst of wheel steps ends this long after its last step.
  const NUDGE_END_MS = 400;

  class ParamSender {
    constructor(send) {
      this.send = send;
      this.active = new Map(); // paramIdx -> { pending, nudgeUntil }
    }

    emit(idx, value, gesture) {
      const text = wire.parameterText(idx, value, gesture);
      if (text !== null) this.send(text);
    }

    isHeld(idx) {
      return this.active.has(idx);
    }

    begin(idx, value) {
      const held = this.active.get(idx);
      if (held) {
        held.nudgeUntil = 0;
        held.pending = value;
        return;
      }
      this.active.set(idx, { pending: undefined, nudgeUntil: 0, sent: value });
      this.emit(idx, value, 'begin');
    }

    move(idx, value) {
      const held = this.active.get(idx);
      if (held) held.pending = value;
    }

    end(idx, value) {
      const held = this.active.get(idx);
      if (!held) return;
      this.active.delete(idx);
      const last = value !== undefined ? value : held.pending;
      // The value the plug-in already has need not travel again.
      this.emit(idx, last === held.sent ? undefined : last, 'end');
    }

    // A complete one-step edit (a click on a switch, a typed value).
    set(idx, value) {
      if (this.active.has(idx)) this.end(idx, value);
      else this.emit(idx, value, '');
    }

    // One step of a burst: the first opens a gesture, later ones move it,
    // and `flush` ends it once the burst has paused.
    nudge(idx, value, nowMs) {
      const held = this.active.get(idx);
      if (!held) {
        this.active.set(idx, { pending: undefined, nudgeUntil: nowMs + NUDGE_END_MS, sent: value });
        this.emit(idx, value, 'begin');
        return;
      }
      held.pending = value;
      if (held.nudgeUntil > 0) held.nudgeUntil = nowMs + NUDGE_END_MS;
    }

    // Sends the latest value of every held parameter that moved since the
    // last flush, and ends bursts that have paused.
    flush(nowMs) {
      for (const [idx, held] of this.active) {
        if (held.nudgeUntil > 0 && nowMs >= held.nudgeUntil) {
          this.end(idx);
          continue;
        }
        if (held.pending !== undefined) {
          this.emit(idx, held.pending, '');
          held.sent = held.pending;
          held.pending = undefined;
        }
      }
    }

    // Ends every open gesture (the page is hidden or a control lost its
    // pointer).
    endAll() {
      for (const idx of Array.from(this.active.keys())) this.end(idx);
    }
  }

  return { ParamSender, NUDGE_END_MS };
});
