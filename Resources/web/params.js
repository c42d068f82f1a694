// The parameters as the page knows them: the descriptions of the "params"
// message (range, default, kind, shape, step, unit, value texts), the
// normalised <-> plain conversions and the value texts shown and typed. Until
// that message arrives the page uses the same list, written by the plug-in's
// tests from its own table (param_table.js). No DOM here.
(function (root, make) {
  const table =
    typeof module === 'object' && module.exports ? require('./param_table.js') : root.OstrelParamTable;
  const api = make(table);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelParams = api;
})(typeof self !== 'undefined' ? self : this, function (builtInTable) {
  'use strict';

  const SWITCH_TEXTS = ['Off', 'On'];

  // The plug-in's own table, used until its "params" message arrives.
  const DEFAULT_DESCRIPTIONS = builtInTable || [];
  const ROLE_TEXTS = (DEFAULT_DESCRIPTIONS.find((d) => d.name === 'Role') || {}).texts || [];

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
    const stepped = desc.type === 'bool' || desc.type === 'enum' || desc.type === 'int';
    const step = Number.isFinite(desc.step) && desc.step > 0 ? desc.step : stepped ? 1 : 0;
    let texts = Array.isArray(desc.texts) && desc.texts.length > 0 ? desc.texts : null;
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
      unit: typeof desc.unit === 'string' ? desc.unit : '',
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
