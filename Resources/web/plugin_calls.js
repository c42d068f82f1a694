// The page's answers to the plug-in's calls: SPVFD (a parameter value),
// SAMFD (one of its messages) and the three it never sends. Each call updates
// the page's state and then tells the view what to redraw; the view is the
// page's own business. No DOM here, so Node's tests play recorded calls of
// the real plug-in through it.
(function (root, make) {
  const wire = typeof require === 'function' ? require('./wire.js') : root.OstrelWire;
  const params = typeof require === 'function' ? require('./params.js') : root.OstrelParams;
  const presets = typeof require === 'function' ? require('./presets.js') : root.OstrelPresets;
  const api = make(wire, params, presets);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OstrelPluginCalls = api;
})(typeof self !== 'undefined' ? self : this, function (W, P, PR) {
  'use strict';

  // What the page knows: the parameter set and values (the built-in table
  // until "params" arrives), the last of each message, and the page's own
  // bookkeeping that goes with them.
  function makePageState() {
    const state = {
      set: P.makeParamSet(),
      values: new Map(),
      meters: null,
      sources: [],
      matrix: null,
      presets: PR.emptyCollection(),
      presetsUnreadable: false,
      // The plug-in keeps these (they survive the editor and the project):
      // the active settings slot (0 A, 1 B), the preset the settings came
      // from and whether they have moved away from it.
      slot: 0,
      currentPreset: null,
      presetModified: false,
      onboarded: null,
      guideShown: false,
      hostKeys: null,
      // What the plug-in could not keep, in words for the user, or null.
      fileError: null,
    };
    for (const d of state.set.list) state.values.set(d.id, d.default);
    return state;
  }

  // A new parameter set; values of parameters the page knew are kept, the
  // others start at their defaults.
  function applyParams(state, descriptions) {
    const old = state.set;
    state.set = P.makeParamSet(descriptions);
    for (const d of state.set.list) {
      if (!state.values.has(d.id) || !old.byId.has(d.id)) state.values.set(d.id, d.default);
    }
  }

  // The plug-in's "fileError" as the page says it: which file could not be
  // written (or that the data folder is not used at all), then why.
  const FILE_ERROR_LEADS = {
    presets: 'Could not save the preset: ',
    laststate: 'Could not save the last settings: ',
    onboarded: 'Could not save the first-run mark: ',
    folder: 'Presets and settings are not kept: ',
  };

  function fileErrorText(m) {
    return (FILE_ERROR_LEADS[m.file] || 'Could not save: ') + m.error;
  }

  // isHeld(id): the page holds that parameter in a gesture of its own, so an
  // echo of an older value must not move the control under the user.
  // view, each called after the state has changed:
  //   param(id)                   a value arrived
  //   params()                    the parameter set was replaced
  //   meters(m, statusChanged)    a meter report; whether "linked", the host
  //                               bypass or the audio's absence flipped
  //   sources(), matrix(), presets()
  //   settings()                  slot, preset name or modified mark
  //   showGuide()                 first run, and the guide not shown yet
  //   fileError()                 a file could not be kept (state.fileError)
  function makePluginCalls(state, isHeld, view) {
    function SPVFD(paramIdx, normalised) {
      const d = state.set.byId.get(paramIdx);
      if (!d || isHeld(paramIdx)) return;
      state.values.set(paramIdx, P.toPlain(d, normalised));
      view.param(paramIdx);
    }

    function SAMFD(msgTag, length, base64) {
      let m = null;
      try {
        m = W.readMessage(msgTag, base64);
      } catch (e) {
        m = null;
      }
      if (!m) return;
      switch (m.kind) {
        case 'params':
          applyParams(state, m.params);
          view.params();
          break;
        case 'meters': {
          const b = state.meters;
          state.meters = m;
          view.meters(m, !b || b.linked !== m.linked || b.hostBypass !== m.hostBypass || b.stale !== m.stale);
          break;
        }
        case 'sources':
          state.sources = m.list;
          view.sources();
          break;
        case 'matrix':
          state.matrix = m;
          view.matrix();
          break;
        case 'presets':
          if (m.unreadable) state.presetsUnreadable = true;
          else {
            state.presets = PR.readCollection(m.json);
            state.presetsUnreadable = false;
          }
          view.presets();
          break;
        case 'settings':
          state.slot = m.slot;
          state.currentPreset = m.preset === '' ? null : m.preset;
          state.presetModified = m.preset !== '' && m.modified;
          view.settings();
          break;
        case 'fileError':
          state.fileError = fileErrorText(m);
          view.fileError();
          break;
        case 'onboarded':
          state.onboarded = m.onboarded;
          if (!m.onboarded && !state.guideShown) view.showGuide();
          break;
      }
    }

    // The plug-in never sends these; they exist because it may.
    const ignored = function () {};
    return { SPVFD, SAMFD, SCVFD: ignored, SCMFD: ignored, SMMFD: ignored };
  }

  return { makePageState, applyParams, makePluginCalls, fileErrorText };
});
