// The 27 parameters as the page knows them: the descriptions of the "params"
// message (range, default, kind, shape) completed with what that message does
// not carry (step, unit, value texts), the normalised <-> plain conversions
// and the value texts shown and typed. No DOM here.
(function (root, make) {
  const api = make();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelParams = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const ROLE_TEXTS = ['Off', 'Source', 'Masker', 'Self'];
  const SWITCH_TEXTS = ['Off', 'On'];
  const BELL_LISTEN_TEXTS = ['Off', 'Bell 1', 'Bell 2', 'Bell 3', 'Bell 4'];

  // What the page shows for each parameter, by name.
  const FIXED = {
    Role: { step: 1, unit: '', texts: ROLE_TEXTS },
    Channel: { step: 1, unit: '' },
    Depth: { step: 0.1, unit: '%' },
    Bypass: { step: 1, unit: '', texts: SWITCH_TEXTS },
    Selectivity: { step: 0.1, unit: '%' },
    Listen: { step: 1, unit: '', texts: SWITCH_TEXTS },
    'Low Guard': { step: 1, unit: 'Hz' },
    Sidechain: { step: 1, unit: '', texts: SWITCH_TEXTS },
    'Bell Listen': { step: 1, unit: '', texts: BELL_LISTEN_TEXTS },
    'High Guard': { step: 1, unit: 'Hz' },
    Priority: { step: 1, unit: '' },
  };
  const BELL_FIXED = {
    Freq: { step: 0.1, unit: 'Hz' },
    Q: { step: 0.01, unit: '' },
    Depth: { step: 0.1, unit: '%' },
    Active: { step: 1, unit: '', texts: SWITCH_TEXTS },
  };
  const BELL_NAME = /^Bell (\d+) (Freq|Q|Depth|Active)$/;

  function fixedFor(name) {
    const bell = BELL_NAME.exec(name);
    if (bell) return BELL_FIXED[bell[2]];
    return FIXED[name] || null;
  }

  // The plug-in's own table, used until its "params" message arrives.
  function p(id, name, type, def, min, max, displayType) {
    return { id, name, type, default: def, min, max, display_type: displayType || 0 };
  }
  const DEFAULT_DESCRIPTIONS = [
    p(0, 'Role', 'enum', 0, 0, 3),
    p(1, 'Channel', 'int', 1, 1, 64),
    p(2, 'Depth', 'float', 0, 0, 100),
    p(3, 'Bypass', 'bool', 0, 0, 1),
    p(4, 'Selectivity', 'float', 11, 0, 100),
    p(5, 'Listen', 'bool', 0, 0, 1),
    p(6, 'Low Guard', 'float', 20, 20, 500, 6),
    p(7, 'Sidechain', 'bool', 0, 0, 1),
  ];
  for (let k = 0; k < 4; k++) {
    const b = 'Bell ' + (k + 1) + ' ';
    DEFAULT_DESCRIPTIONS.push(
      p(8 + 4 * k, b + 'Freq', 'float', 1000, 20, 20000, 6),
      p(9 + 4 * k, b + 'Q', 'float', 1.5, 0.3, 10),
      p(10 + 4 * k, b + 'Depth', 'float', 0, 0, 100),
      p(11 + 4 * k, b + 'Active', 'bool', 0, 0, 1)
    );
  }
  DEFAULT_DESCRIPTIONS.push(
    p(24, 'Bell Listen', 'int', 0, 0, 4),
    p(25, 'High Guard', 'float', 20000, 2000, 20000, 6),
    p(26, 'Priority', 'int', 4, 1, 8)
  );

  // The power-curve exponent behind each display type: 6 cube root (the
  // plug-in's curved parameters, exponent 3), 4 square root, 5 cubed,
  // 3 squared; anything else is linear.
  function exponentOf(displayType) {
    switch (displayType) {
      case 6:
        return 3;
      case 4:
        return 2;
      case 5:
        return 1 / 3;
      case 3:
        return 0.5;
      default:
        return 1;
    }
  }

  function decimalsOf(step) {
    let d = 0;
    let s = step;
    while (d <= 5 && s !== Math.floor(s)) {
      d++;
      s = Number((s * 10).toPrecision(12));
    }
    return d;
  }

  // A full description: the message's fields and the page's own.
  function describe(desc) {
    const fixed = fixedFor(desc.name);
    const stepped = desc.type === 'bool' || desc.type === 'enum' || desc.type === 'int';
    const step = fixed ? fixed.step : stepped ? 1 : 0;
    let texts = fixed && fixed.texts ? fixed.texts : null;
    if (!texts && desc.type === 'bool') texts = SWITCH_TEXTS;
    return {
      id: desc.id,
      name: desc.name,
      type: desc.type,
      min: desc.min,
      max: desc.max,
      default: desc.default,
      displayType: desc.display_type,
      exponent: exponentOf(desc.display_type),
      stepped,
      step,
      decimals: step > 0 ? decimalsOf(step) : 2,
      unit: fixed ? fixed.unit : '',
      texts,
    };
  }

  // The parameter set: by index and by name.
  function makeParamSet(descriptions) {
    const list = (descriptions || DEFAULT_DESCRIPTIONS).map(describe).sort((a, b) => a.id - b.id);
    const byId = new Map(list.map((d) => [d.id, d]));
    const byName = new Map(list.map((d) => [d.name, d]));
    return { list, byId, byName };
  }

  function roundHalfAway(v) {
    return Math.sign(v) * Math.round(Math.abs(v));
  }

  // Into range, onto whole steps for switches, choices and counts, and onto
  // the shown resolution for the others (so what is sent is what is shown).
  function clampPlain(d, v) {
    let x = Number.isFinite(v) ? v : d.default;
    if (d.stepped) x = roundHalfAway(x / (d.step || 1)) * (d.step || 1);
    else if (d.step > 0) x = Number((roundHalfAway(x / d.step) * d.step).toFixed(d.decimals));
    return Math.min(d.max, Math.max(d.min, x));
  }

  function toPlain(d, normalised) {
    const x = Math.min(1, Math.max(0, Number.isFinite(normalised) ? normalised : 0));
    const curved = d.exponent === 1 ? x : Math.pow(x, d.exponent);
    return clampPlain(d, d.min + curved * (d.max - d.min));
  }

  function toNormalised(d, plain) {
    const span = d.max - d.min;
    if (!(span > 0)) return 0;
    const v = Math.min(d.max, Math.max(d.min, Number.isFinite(plain) ? plain : d.default));
    const x = (v - d.min) / span;
    const y = d.exponent === 1 ? x : Math.pow(x, 1 / d.exponent);
    return Math.min(1, Math.max(0, y));
  }

  // The value moved by a number of steps (arrow keys, wheel): switches and
  // counts by whole steps, the others by a hundredth of the travel, in the
  // normalised space so curved parameters move evenly over the knob.
  function nudge(d, plain, steps, fine) {
    if (d.stepped) return clampPlain(d, plain + steps * (d.step || 1));
    const delta = (fine ? 0.002 : 0.01) * steps;
    let next = toPlain(d, toNormalised(d, plain) + delta);
    // A delta smaller than the shown resolution must still move the value.
    if (next === clampPlain(d, plain) && steps !== 0 && d.step > 0)
      next = clampPlain(d, plain + Math.sign(steps) * d.step);
    return next;
  }

  function trimNumber(v, decimals) {
    return v.toFixed(decimals);
  }

  // The value as shown: { value, unit }, e.g. { '2.52', 'kHz' }.
  function formatValue(d, plain) {
    const v = clampPlain(d, plain);
    if (d.texts) {
      const t = d.texts[Math.round(v - d.min)];
      if (t !== undefined) return { value: t, unit: '' };
    }
    if (d.unit === 'Hz') {
      if (v >= 10000) return { value: trimNumber(v / 1000, 1), unit: 'kHz' };
      if (v >= 1000) return { value: trimNumber(v / 1000, 2), unit: 'kHz' };
      if (v < 100 && d.decimals > 0) return { value: trimNumber(v, 1), unit: 'Hz' };
      return { value: trimNumber(v, 0), unit: 'Hz' };
    }
    return { value: trimNumber(v, d.stepped ? 0 : d.decimals), unit: d.unit };
  }

  function formatText(d, plain) {
    const f = formatValue(d, plain);
    return f.unit ? f.value + ' ' + f.unit : f.value;
  }

  // Typed text to a plain value, or null when it reads as nothing:
  // "2.5k", "2.5 kHz", "2500hz", "1M", "40 %", "40", a value text ("Masker",
  // "on"). A unit must be the parameter's own. The plug-in reads the host's
  // typed texts by the same rules.
  function parseValue(d, typed) {
    const s = String(typed).trim().replace(',', '.');
    if (s === '') return null;
    if (d.texts) {
      const i = d.texts.findIndex((t) => t.toLowerCase() === s.toLowerCase());
      if (i >= 0) return clampPlain(d, d.min + i);
    }
    const m = /^([-+]?(?:\d+\.?\d*|\.\d+))\s*([kKM]?)\s*([a-zA-Z%]*)$/.exec(s);
    if (!m || (m[3] !== '' && m[3].toLowerCase() !== d.unit.toLowerCase())) return null;
    let v = parseFloat(m[1]);
    if (m[2] === 'k' || m[2] === 'K') v *= 1000;
    else if (m[2] === 'M') v *= 1e6;
    if (!Number.isFinite(v)) return null;
    return clampPlain(d, v);
  }

  return {
    DEFAULT_DESCRIPTIONS,
    ROLE_TEXTS,
    makeParamSet,
    describe,
    exponentOf,
    clampPlain,
    toPlain,
    toNormalised,
    nudge,
    formatValue,
    formatText,
    parseValue,
  };
});
