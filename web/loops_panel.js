// The control loops' panel (study/loop_poles.h through window.hybridsim):
// the recorded contact force with the model's step to Fn in closed form
// dashed under it, how far apart they lie (the integration error), and the
// s-plane of both loops -- the designed poles as crosses, the modelled as
// rings, the circles |s| = wn -- drawn anew after every run while the
// disclosure is open, after the display frame that shows the run's picture.
(function (global) {
  'use strict';

  function attach(sim) {
    const $ = (id) => document.getElementById(id);
    const details = $('loops');
    const chart = $('loops-chart');
    const note = $('loops-text');
    let stale = true;

    function show() {
      if (!details.open) return;
      stale = false;
      const l = sim.loops();
      // (the core's SVG: its texts are escaped as XML)
      chart.innerHTML = l.svg;
      note.textContent = l.text;
      chart.dataset.forceError = l.forceError === null ? '' : String(l.forceError);
    }
    const askToShow = global.HybridsimAfterPicture.later(() => {
      if (stale) show();
    });
    function showLater() {
      stale = true;
      if (details.open) askToShow();
    }

    details.addEventListener('toggle', () => {
      if (details.open && stale) show();
    });
    sim.on('run', showLater);
    show();
  }

  global.HybridsimLoopsPanel = { attach };
})(window);
