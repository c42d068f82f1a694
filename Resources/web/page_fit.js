// The page at any editor size: it is designed at 1084 x 543 and scaled as a
// whole to the largest size that fits the view, centred, so nothing reflows
// or gets cut. The resize corner asks the plug-in for a new view size that
// keeps those proportions. No DOM here.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelPageFit = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const DESIGN_WIDTH = 1084;
  const DESIGN_HEIGHT = 543;
  // What the plug-in allows, as scales of the design size (it has the last
  // word; these only keep a drag from asking for the impossible).
  const MIN_SCALE = 1 / 3;
  const MAX_SCALE = 3;

  // The page's scale and offset in a view of w x h CSS pixels.
  function fit(w, h) {
    if (!(w > 0) || !(h > 0)) return { scale: 1, x: 0, y: 0 };
    const scale = Math.min(w / DESIGN_WIDTH, h / DESIGN_HEIGHT);
    return {
      scale,
      x: Math.max(0, Math.floor((w - DESIGN_WIDTH * scale) / 2)),
      y: Math.max(0, Math.floor((h - DESIGN_HEIGHT * scale) / 2)),
    };
  }

  // The view size a drag of the resize corner asks for: the size at the
  // drag's start moved by (dx, dy), brought to the design's proportions
  // (the larger of the two relative moves counts) and held to the limits.
  function resizeTarget(startW, startH, dx, dy) {
    const s0 = Math.min(startW / DESIGN_WIDTH, startH / DESIGN_HEIGHT);
    const sx = (startW + dx) / DESIGN_WIDTH;
    const sy = (startH + dy) / DESIGN_HEIGHT;
    let s = Math.abs(sx - s0) >= Math.abs(sy - s0) ? sx : sy;
    if (!Number.isFinite(s)) s = 1;
    s = Math.min(MAX_SCALE, Math.max(MIN_SCALE, s));
    return { width: Math.round(DESIGN_WIDTH * s), height: Math.round(DESIGN_HEIGHT * s) };
  }

  // The resize request's text for the plug-in (message tag 40).
  function resizeText(size) {
    const w = Math.round(size.width);
    const h = Math.round(size.height);
    if (!(w > 0) || !(h > 0)) return null;
    return '{"w":' + w + ',"h":' + h + '}';
  }

  // Requests sent during a drag of the corner: at most one each 50 ms
  // (the host resizes its window for each), never one like the last, and
  // the last one of the drag always.
  const RESIZE_EVERY_MS = 50;

  // A drag of the corner that started at (x, y) in a view of w x h.
  class ResizeDrag {
    constructor(x, y, w, h) {
      this.start = { x, y, w, h };
      this.lastSent = 0;
      this.lastText = '';
    }

    // The pointer is at (x, y) at `now` ms; `last`: the drag ends here.
    // The text to send, or null.
    request(x, y, now, last) {
      const s = this.start;
      const text = resizeText(resizeTarget(s.w, s.h, x - s.x, y - s.y));
      if (!text || text === this.lastText || (!last && now - this.lastSent < RESIZE_EVERY_MS)) return null;
      this.lastText = text;
      this.lastSent = now;
      return text;
    }
  }

  return { DESIGN_WIDTH, DESIGN_HEIGHT, MIN_SCALE, MAX_SCALE, RESIZE_EVERY_MS, fit, resizeTarget, resizeText, ResizeDrag };
});
