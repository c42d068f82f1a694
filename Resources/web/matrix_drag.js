// One drag on a depth slider of the link matrix. Like a knob, it moves the
// value by how far the pointer travels (200 px for the whole range, ten
// times that with Shift), never to the point where it was pressed. It is one gesture for the instance that holds the row, so one
// undo step in its host: "begin" with the first change, "drag" for values
// on the way (at most ten a second: each becomes a parameter edit over
// there), "end" with the last one. A press without a move sends nothing.
// No DOM here: `send(value, gesture)` gets what the matrix edit carries.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelMatrixDrag = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const MIN = 0;
  const MAX = 100;
  const SEND_EVERY_MS = 100;
  // As the knobs: 200 px of travel for the whole range.
  const TRAVEL_PX = 200;
  const FINE_FACTOR = 10;

  class DepthDrag {
    constructor(send) {
      this.send = send;
      this.active = false;
    }

    // The pointer went down at x on a slider showing `value`.
    start(x, value, fine) {
      this.active = true;
      this.began = false;
      this.anchorX = x;
      this.anchorValue = Math.min(MAX, Math.max(MIN, Number.isFinite(value) ? value : MIN));
      this.value = this.anchorValue;
      this.fine = !!fine;
      this.lastSentMs = -Infinity;
      this.unsent = false;
    }

    // The pointer is at x; returns the value to show.
    move(x, fine, nowMs) {
      if (!this.active) return null;
      if (!!fine !== this.fine) {
        // Keep the value where it is when the fine mode changes mid-drag.
        this.fine = !!fine;
        this.anchorX = x;
        this.anchorValue = this.value;
        return this.value;
      }
      const range = this.fine ? TRAVEL_PX * FINE_FACTOR : TRAVEL_PX;
      const next = Math.round(Math.min(MAX, Math.max(MIN, this.anchorValue + ((x - this.anchorX) / range) * (MAX - MIN))));
      if (next === this.value) return this.value;
      this.value = next;
      if (!this.began) {
        this.began = true;
        this.emit('begin', nowMs);
      } else if (nowMs - this.lastSentMs >= SEND_EVERY_MS) {
        this.emit('drag', nowMs);
      } else {
        this.unsent = true;
      }
      return this.value;
    }

    // A value held back by the rate limit goes out once its time has come
    // (the page calls this every frame).
    flush(nowMs) {
      if (this.active && this.unsent && nowMs - this.lastSentMs >= SEND_EVERY_MS) this.emit('drag', nowMs);
    }

    // The pointer went up (or the drag was taken away).
    end() {
      if (!this.active) return;
      this.active = false;
      if (this.began) this.send(this.value, 'end');
    }

    emit(gesture, nowMs) {
      this.lastSentMs = nowMs;
      this.unsent = false;
      this.send(this.value, gesture);
    }
  }

  return { DepthDrag, SEND_EVERY_MS, TRAVEL_PX, FINE_FACTOR };
});
