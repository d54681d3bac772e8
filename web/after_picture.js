// Work that waits until a run's picture is on the screen: the display
// frame that shows it, then a task of its own, so that no key typed waits
// for the work.  `later(work)` gives a function that asks for it; asked
// again and again before it runs (a burst of runs), it runs once.
(function (global) {
  'use strict';

  function later(work) {
    let due = false;
    return function ask() {
      if (due) return;
      due = true;
      requestAnimationFrame(() => setTimeout(() => {
        due = false;
        work();
      }, 0));
    };
  }

  global.HybridsimAfterPicture = { later };
})(window);
