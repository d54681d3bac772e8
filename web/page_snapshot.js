// The page's own text as the browser read it, for *Download page with this
// lesson* (lesson_editor.js): this script comes first among the page's
// scripts, so nothing has changed the page yet, and what is parsed so far
// is everything up to here.  The scripts after it are put back from their
// elements later (a script's text does not change by running).
(function (global) {
  'use strict';

  global.HybridsimSnapshot = {
    html: document.documentElement.outerHTML,
    // this script's element, after which the page's other scripts stand
    script: document.currentScript,
  };
})(window);
