// Where a tooltip goes: below its element, centred on it, or above when
// below would leave the page; always inside the page. A large element (the
// spectrum) gets its tip at the pointer. No DOM here: the sizes come in as
// numbers, screen pixels for the boxes, the page's own for the rest.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelTooltipPlace = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const GAP = 8;
  const MARGIN = 4;
  // Taller than this (in page pixels), an element is "large".
  const BIG_HEIGHT = 60;

  // scale: the page's scale; page: its box on screen ({ left, top });
  // target: the element's box on screen ({ left, top, width, height,
  // bottom }); pointer: { x, y } on screen; pageW, pageH: the page's size,
  // tipW, tipH the tip's, in page pixels. Returns the tip's top left corner
  // in page pixels, rounded.
  function place(scale, page, target, pointer, pageW, pageH, tipW, tipH) {
    const big = target.height / scale > BIG_HEIGHT;
    const anchorX = ((big ? pointer.x : target.left + target.width / 2) - page.left) / scale;
    const below = ((big ? pointer.y : target.bottom) - page.top) / scale + GAP;
    const above = ((big ? pointer.y : target.top) - page.top) / scale - GAP - tipH;
    const y = below + tipH <= pageH ? below : Math.max(0, above);
    const x = Math.min(Math.max(MARGIN, anchorX - tipW / 2), pageW - tipW - MARGIN);
    return { x: Math.round(x), y: Math.round(y) };
  }

  return { place, GAP };
});
