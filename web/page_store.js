// What the page remembers between visits (the start card dismissed, the
// page's address on the web for links), in localStorage.  Where the
// browser has none or refuses it (a page from file:// in some browsers,
// storage blocked by the user), the values live as long as the page does,
// and nothing fails.
(function (global) {
  'use strict';

  const prefix = 'hybridsim.';
  const kept = new Map();  // the fallback, and what was written last

  function storage() {
    try {
      const s = global.localStorage;
      return s && typeof s.getItem === 'function' ? s : null;
    } catch (e) {
      return null;  // (a SecurityError where storage is blocked)
    }
  }

  // the value of `key`, or null
  function get(key) {
    if (kept.has(key)) return kept.get(key);
    const s = storage();
    try {
      return s ? s.getItem(prefix + key) : null;
    } catch (e) {
      return null;
    }
  }

  // keeps `value` (a text) under `key`: true when it outlives the page
  function set(key, value) {
    kept.set(key, value);
    const s = storage();
    try {
      if (!s) return false;
      s.setItem(prefix + key, value);
      return true;
    } catch (e) {
      return false;  // (full, or refused)
    }
  }

  global.HybridsimStore = { get, set };
})(window);
