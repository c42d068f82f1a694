// What the page shows of the link between instances: the matrix report
// grouped into Sources with their Maskers, the 64 channels with the names of
// the Sources that sing on them, and the one-line link status of this
// instance. No DOM here.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelLinkModel = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const ROLE_SOURCE = 1;
  const ROLE_MASKER = 2;
  const ROLE_SELF = 3;

  // Margin by which a Source's Maskers are held below it, from its Priority
  // (1 protects most).
  function marginDb(priority) {
    const p = Math.min(8, Math.max(1, Math.trunc(priority)));
    return -(((8 - p) * 15) / 7 + 3);
  }

  // Whether this instance holds channel `ch`'s row ("my" is its slot index).
  // Before the first matrix report nothing says otherwise.
  function holdsChannel(diag, ch) {
    return !diag || diag.my === ch - 1;
  }

  // Groups the matrix rows: every live Source with the Maskers that target it
  // (in channel order), and the Maskers whose target is no live Source.
  // `mine` marks the row this instance holds ("my" is its slot index).
  // `self` ({ role, channel }) is this instance: a Source whose channel
  // another Source holds has no row, so its group gets a `waiting` entry
  // under this instance's own name ("me") with the holder's name.
  function groupMatrix(matrix, self) {
    const slots = matrix && Array.isArray(matrix.slots) ? matrix.slots : [];
    const diag = (matrix && matrix.diag) || { src: 0, msk: 0, my: -1, solo: -1 };
    const myCh = diag.my >= 0 ? diag.my + 1 : -1;
    const sources = [];
    const byCh = new Map();
    for (const s of slots) {
      if (s.role !== ROLE_SOURCE) continue;
      const group = { row: s, mine: s.ch === myCh, soloed: s.ch === diag.solo, maskers: [] };
      sources.push(group);
      byCh.set(s.ch, group);
    }
    const unlinked = [];
    for (const s of slots) {
      if (s.role !== ROLE_MASKER) continue;
      const entry = { row: s, mine: s.ch === myCh, soloed: s.ch === diag.solo };
      const group = byCh.get(s.target);
      if (group) group.maskers.push(entry);
      else unlinked.push(entry);
    }
    sources.sort((a, b) => a.row.ch - b.row.ch);
    for (const g of sources) g.maskers.sort((a, b) => a.row.ch - b.row.ch);
    unlinked.sort((a, b) => a.row.ch - b.row.ch);
    const out = { sources, unlinked, solo: diag.solo >= 1 ? diag.solo : 0, myCh, waiting: null };
    if (self && self.role === ROLE_SOURCE && myCh < 0) {
      const holder = byCh.get(self.channel);
      if (holder) {
        out.waiting = waitingRow(diag.me, self.channel, holder.row.name);
        holder.waiting = out.waiting;
      }
    }
    return out;
  }

  // A Source left out of the link because another Source holds its channel:
  // its own name, and whose channel it is.
  function waitingRow(me, ch, holderName) {
    const name = me || 'This Source';
    const hint = takenText(ch, holderName);
    return { ch, name, named: !!me, hint, text: name + ' (Source on channel ' + ch + ', not linked: ' + hint + ')' };
  }

  function takenText(ch, holderName) {
    return 'Channel ' + ch + ' is taken by ' + (holderName || 'another Source');
  }

  // The 64 channels for the channel picker, with the name of the live Source
  // on each (empty when none); `taken` when a Source other than this
  // instance sings there.
  function channelChoices(sourcesList, myRole, myChannel, diag) {
    const names = new Map();
    for (const s of sourcesList || []) names.set(s.ch, s.name);
    const out = [];
    for (let ch = 1; ch <= 64; ch++) {
      const live = names.has(ch);
      const mine = myRole === ROLE_SOURCE && ch === myChannel && (!live || holdsChannel(diag, ch));
      out.push({ ch, name: live ? names.get(ch) : '', live, taken: live && !mine, mine });
    }
    return out;
  }

  // "3 · Lead Vox": the channel and the name of the Source on it. A Source
  // that does not hold its own channel (`diag` says which it holds) is not
  // that Source: its label says whose channel it is.
  function channelLabel(ch, sourcesList, role, diag) {
    const s = (sourcesList || []).find((e) => e.ch === ch);
    if (s && role === ROLE_SOURCE && !holdsChannel(diag, ch)) return ch + ' · taken by ' + (s.name || 'another Source');
    return s && s.name ? ch + ' · ' + s.name : String(ch);
  }

  // Why a Masker finds no Source: where it looked (the host's processes, or
  // this process only), and how to link the host's processes when the
  // preference keeps them apart or the shared table could not be used.
  function noSourceText(label, diag) {
    if (!diag || (diag.xproc !== 0 && diag.xproc !== 1)) return 'No Source on channel ' + label + ' yet';
    if (diag.xproc === 1) return 'No Source on channel ' + label + ' in this host session';
    let text = 'No Source on channel ' + label + ' in this process';
    if (diag.why) text += ' (' + diag.why + ')';
    else if (diag.link === 'never' && diag.inhost === 0)
      text += ': the host runs its plug-ins in processes of their own, and Link processes is set to Never (choose Auto at the foot of the link matrix to link them)';
    return text;
  }

  // Where a matrix row's instance runs, when not in this process.
  function rowProcessText(row) {
    return row && row.pid > 0 ? 'another process of this host (pid ' + row.pid + ')' : '';
  }

  // One line on where this instance stands, and whether that is fine.
  // state: the role, channel, bypass and sidechain parameters; meters: the
  // last "meters" message or null; sourcesList: the last "sources" list;
  // diag: the last matrix diagnostics or null.
  function linkStatus(state, meters, sourcesList, diag) {
    if (state.bypass) return { text: 'Bypassed: the signal passes untouched', level: 'warn' };
    if (meters && meters.hostBypass) return { text: 'Bypassed by the host: the signal passes untouched', level: 'warn' };
    switch (state.role) {
      case ROLE_SOURCE: {
        // Two Sources cannot share a channel: the one that holds it is
        // listed, the other one is left out of the link.
        const holder = (sourcesList || []).find((s) => s.ch === state.channel);
        if (holder && diag && !holdsChannel(diag, state.channel))
          return { text: takenText(state.channel, holder.name) + ': pick a free channel for this Source', level: 'warn' };
        return { text: 'Source on channel ' + state.channel + ': Maskers that pick it make room', level: 'ok' };
      }
      case ROLE_MASKER: {
        if (state.sidechain) {
          return meters && meters.linked
            ? { text: 'Masker ducking for its sidechain input', level: 'ok' }
            : { text: 'Sidechain is on but no sidechain signal arrives', level: 'warn' };
        }
        const label = channelLabel(state.channel, sourcesList);
        if (meters && meters.linked) return { text: 'Masker making room for ' + label, level: 'ok' };
        return { text: noSourceText(label, diag), level: 'warn' };
      }
      case ROLE_SELF:
        return { text: 'Self: taming the bands that stand out in this track', level: 'ok' };
      default:
        return { text: 'Off: the signal passes untouched', level: 'idle' };
    }
  }

  // What a matrix row is called. Rows are addressed by the registry slot
  // they hold ("ch"), but only a Source's slot is its channel: a Masker
  // takes any free slot, so it is shown with the channel it follows (its
  // Channel), never with its slot number.
  function rowChannel(row) {
    if (!row) return 0;
    return row.role === ROLE_MASKER ? (row.target >= 1 && row.target <= 64 ? row.target : 0) : row.ch;
  }

  function rowLabel(row) {
    const ch = rowChannel(row);
    const masker = row && row.role === ROLE_MASKER;
    const kind = masker ? 'Masker' : 'Source';
    const name = row && row.name ? row.name : kind;
    return {
      badge: ch ? String(ch) : '–',
      name,
      text: ch ? name + ' (' + kind + (masker ? ' following channel ' : ' on channel ') + ch + ')' : name + ' (' + kind + ')',
    };
  }

  // The matrix foot's words for a solo of slot `solo` (0: none).
  function soloText(matrix, solo) {
    if (!solo) return '';
    const row = matrix && Array.isArray(matrix.slots) ? matrix.slots.find((s) => s.ch === solo) : null;
    return row ? 'solo: ' + rowLabel(row).text : 'solo: an instance that has left';
  }

  // Short stereo-balance text: "C", "L25", "R100". The plug-in reports the
  // balance x 100 with +100 for a signal only in the left channel (the
  // first) and -100 for one only in the right.
  // Within BALANCE_CENTRE of the middle reads as "C".
  const BALANCE_CENTRE = 5;
  function balanceText(bal) {
    const b = Math.trunc(bal);
    if (Math.abs(b) < BALANCE_CENTRE) return 'C';
    return (b > 0 ? 'L' : 'R') + Math.abs(b);
  }

  // The balance a row shows: it moves only when the report has moved
  // BALANCE_HYSTERESIS away from it, so a track whose sides differ by a few
  // tenths of a dB, back and forth, does not jump between L4, C and R4.
  const BALANCE_HYSTERESIS = 10;
  function heldBalance(shown, bal) {
    if (!Number.isFinite(bal)) return shown;
    if (!Number.isFinite(shown) || Math.abs(bal - shown) >= BALANCE_HYSTERESIS) return bal;
    return shown;
  }

  // Matrix edits travel to the instance that holds the row and come back
  // with a later report, so for a moment the report still shows the old
  // value. The page shows what was asked for until the report agrees or the
  // request is plainly not coming back.
  const PENDING_MS = 1500;

  class PendingEdits {
    constructor() {
      this.edits = new Map(); // "ch:field" -> { value, until }
    }

    ask(ch, field, value, nowMs) {
      this.edits.set(ch + ':' + field, { value, until: nowMs + PENDING_MS });
    }

    // The value to show for a row's field, given what the report says.
    shown(ch, field, reported, nowMs) {
      const key = ch + ':' + field;
      const e = this.edits.get(key);
      if (!e) return reported;
      if (nowMs >= e.until || Math.abs(reported - e.value) < 0.5) {
        this.edits.delete(key);
        return reported;
      }
      return e.value;
    }
  }

  // Whether a parameter matters in a role; the page dims the others (they
  // stay editable: a role change brings them back into play).
  const SHAPING = new Set(['Depth', 'Selectivity', 'Listen', 'Low Guard', 'High Guard', 'Bell Listen']);
  function inUse(name, role, sidechain) {
    if (name === 'Role' || name === 'Bypass') return true;
    const bell = /^Bell \d+ /.test(name);
    switch (role) {
      case ROLE_SOURCE:
        return name === 'Channel' || name === 'Priority';
      case ROLE_MASKER:
        if (name === 'Channel') return !sidechain;
        return name === 'Sidechain' || SHAPING.has(name) || bell;
      case ROLE_SELF:
        return SHAPING.has(name) || bell;
      default:
        return false;
    }
  }

  return {
    inUse,
    PendingEdits,
    PENDING_MS,
    marginDb,
    holdsChannel,
    groupMatrix,
    takenText,
    channelChoices,
    channelLabel,
    linkStatus,
    noSourceText,
    rowProcessText,
    rowChannel,
    rowLabel,
    soloText,
    balanceText,
    heldBalance,
    ROLE_SOURCE,
    ROLE_MASKER,
    ROLE_SELF,
  };
});
