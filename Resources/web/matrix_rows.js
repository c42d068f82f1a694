// What the link matrix shows, worked out without the page: when its rows
// must be built again, the footer's summary, each channel badge's hint and
// the bars of a row's small level curve (matrix_view.js draws them).
(function (root, make) {
  const bands = typeof require === 'function' ? require('./bands.js') : root.OstrelBands;
  const api = make(bands);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelMatrixRows = api;
})(typeof self !== 'undefined' ? self : this, function (B) {
  'use strict';

  const SPARK_W = 48;
  const SPARK_H = 16;
  const SPARK_FLOOR_DB = -72;

  // Which rows there are and how they are grouped (from
  // OstrelLinkModel.groupMatrix): rows are built again only when it changes.
  function signature(g) {
    const waiting = (s) => (s.waiting ? '+' : '');
    return g.sources.map((s) => s.row.ch + waiting(s) + '[' + s.maskers.map((m) => m.row.ch).join(',') + ']').join(' ') + ' | ' + g.unlinked.map((m) => m.row.ch).join(',');
  }

  // "1 Source · 2 Maskers", what is soloed (its text) if anything, and where
  // this instance meets its peers when the plug-in says.
  function summary(diag, soloText) {
    const d = diag || { src: 0, msk: 0 };
    const where = d.xproc === 1 ? ' · across the host\'s processes' : d.xproc === 0 ? ' · this process only' : '';
    return d.src + (d.src === 1 ? ' Source' : ' Sources') + ' · ' + d.msk + (d.msk === 1 ? ' Masker' : ' Maskers') + (soloText ? ' · ' + soloText : '') + where;
  }

  // The choices of "Link across processes", in the order the page shows them.
  const LINK_CHOICES = [
    { word: 'automatic', label: 'Auto' },
    { word: 'never', label: 'Never' },
    { word: 'always', label: 'Always' },
  ];

  // The preference the control shows: the one just asked for until the
  // report agrees (or the request is plainly lost), else the reported one;
  // null before the plug-in says where the instance meets its peers.
  // `pending` is the page's PendingEdits, which keeps numbers: the index.
  function shownLinkPreference(diag, pending, nowMs) {
    if (!diag || (diag.xproc !== 0 && diag.xproc !== 1)) return null;
    const reported = Math.max(0, LINK_CHOICES.findIndex((c) => c.word === diag.link));
    const index = pending ? pending.shown(0, 'link', reported, nowMs) : reported;
    return (LINK_CHOICES[index] || LINK_CHOICES[reported]).word;
  }

  // The hint's key (help_texts.js) for a row's channel badge.
  function channelTipKey(role, badge) {
    return role === 1 ? 'matrix-source-channel' : badge === '–' ? 'matrix-no-channel' : 'matrix-masker-channel';
  }

  // The bars of the small curve for the message's band levels, in its own
  // pixels (SPARK_W x SPARK_H): bands below the floor get none, the others
  // at least one pixel.
  function sparkBars(levels) {
    const bw = SPARK_W / B.COUNT;
    const bars = [];
    for (let k = 0; k < B.COUNT; k++) {
      const db = B.levelDb(levels[k]);
      if (!(db > SPARK_FLOOR_DB)) continue;
      const h = Math.max(1, ((db - SPARK_FLOOR_DB) / -SPARK_FLOOR_DB) * SPARK_H);
      bars.push({ x: k * bw + 0.5, y: SPARK_H - h, w: bw - 1, h });
    }
    return bars;
  }

  return { SPARK_W, SPARK_H, LINK_CHOICES, signature, summary, shownLinkPreference, channelTipKey, sparkBars };
});
