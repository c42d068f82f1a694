// The page's own tooltips. The web view shows none for title attributes (its
// toolkit's windows open outside the host's window), so every element with a
// "data-tip" text gets one drawn here: after the pointer has rested on it for
// a moment, next to it and inside the page. An element may change its text
// while the pointer moves over it (the spectrum does, per guard or bell).
(function (root) {
  'use strict';
  const PLACE = root.OstrelTooltipPlace;

  const SHOW_AFTER_MS = 450;

  class Tooltips {
    // page: the element the tip is placed in (the scaled page body).
    constructor(page) {
      this.page = page;
      this.tip = document.createElement('div');
      this.tip.className = 'tooltip';
      this.tip.hidden = true;
      page.appendChild(this.tip);
      this.target = null;
      this.timer = 0;
      this.x = 0;
      this.y = 0;
      page.addEventListener('pointermove', (e) => this.move(e), true);
      page.addEventListener('pointerdown', () => this.hide(), true);
      page.addEventListener('wheel', () => this.hide(), { capture: true, passive: true });
      page.addEventListener('pointerleave', () => this.hide());
      root.addEventListener('blur', () => this.hide());
    }

    move(e) {
      const target = e.target && e.target.closest ? e.target.closest('[data-tip]') : null;
      this.x = e.clientX;
      this.y = e.clientY;
      if (target !== this.target) {
        this.hide();
        this.target = target;
        if (target && target.dataset.tip && e.buttons === 0) this.timer = root.setTimeout(() => this.show(), SHOW_AFTER_MS);
        return;
      }
      // Same element: its text may have changed under the pointer.
      if (!this.tip.hidden && target) {
        if (!target.dataset.tip) this.hide();
        else if (this.tip.textContent !== target.dataset.tip) this.show();
      } else if (target && target.dataset.tip && !this.timer && e.buttons === 0) {
        this.timer = root.setTimeout(() => this.show(), SHOW_AFTER_MS);
      }
    }

    show() {
      this.timer = 0;
      const t = this.target;
      if (!t || !t.isConnected || !t.dataset.tip) return;
      this.tip.textContent = t.dataset.tip;
      this.tip.hidden = false;
      // Positions in the page's own pixels, whatever its scale.
      const scale = Number(document.body.dataset.scale) || 1;
      const at = PLACE.place(
        scale,
        this.page.getBoundingClientRect(),
        t.getBoundingClientRect(),
        { x: this.x, y: this.y },
        this.page.clientWidth,
        this.page.clientHeight,
        this.tip.offsetWidth,
        this.tip.offsetHeight
      );
      this.tip.style.transform = 'translate(' + at.x + 'px, ' + at.y + 'px)';
    }

    hide() {
      if (this.timer) root.clearTimeout(this.timer);
      this.timer = 0;
      this.target = null;
      this.tip.hidden = true;
    }
  }

  root.OstrelTooltips = Tooltips;
})(typeof self !== 'undefined' ? self : this);
