// The control loops' panel (study/loops_chart.h through window.hybridsim):
// the recorded contact force with its peak, rise and settling time marked
// over the model's step to Fn in closed form (dashed), by default over the
// first five time constants of the slowest pole of the model's force loop,
// a button switching to the whole run and back; the s-plane of both loops
// at equal scale -- the designed poles as crosses, the modelled as rings,
// the circles |s| = wn -- with the pins in their colours; under
// contact=spring with a control period the z-plane of the sampled force
// loop with the unit circle beside them; and a caption in
// the page's language.  Drawn anew, as wide as the picture (the two charts
// side by side when there is room, else one above the other), after every
// run, pin, language or width while the disclosure is open, after the
// display frame that shows the run's picture.
(function (global) {
  'use strict';

  // the charts side by side from this width of each [px]
  const sideBySide = 380;
  const gap = 12;
  // who hears of each drawing (fn(loops) after the charts are in place),
  // and whether a run is drawn at once rather than after its picture
  const drawnListeners = [];
  let lastDrawn = null;
  let atOnce = false;

  function attach(sim) {
    const $ = (id) => document.getElementById(id);
    const T = (key, ...args) => global.HybridsimTexts.t(key, ...args);
    const details = $('loops');
    const chart = $('loops-chart');
    const note = $('loops-text');
    const range = $('loops-range');
    const canvas = $('view');
    let stale = true;
    let wholeRun = false;
    let drawnWidth = 0;
    let shown = null;  // the loops drawn

    // the charts' width: the picture's, or half of it
    function chartWidth() {
      const width = canvas.offsetWidth;
      return width >= 2 * sideBySide + gap ? Math.floor((width - gap) / 2) : width;
    }
    // the caption and the button's words, in the page's language
    function say() {
      note.textContent = T('loopsCaption', shown.caption, shown.forceError, shown.forceErrorNone);
      range.textContent = T(wholeRun ? 'loopsZoom' : 'loopsWholeRun');
      range.disabled = !(shown.zoomEnd < shown.runEnd);
    }
    // (the core's SVG, from its root element: its texts are escaped as XML)
    const root = (svg) => svg.slice(svg.indexOf('<svg'));

    function show() {
      if (!details.open) return;
      stale = false;
      // (docs/performance.md measures from here to hybridsim-loops-drawn)
      performance.clearMarks('hybridsim-loops-start');
      performance.mark('hybridsim-loops-start');
      drawnWidth = chartWidth();
      const l = sim.loops({ width: Math.max(240, drawnWidth), wholeRun });
      // (the z-plane only for a force loop sampled under contact=spring)
      chart.innerHTML = `<div class="loops-step">${root(l.stepSvg)}</div>` +
        `<div class="loops-poles">${root(l.polesSvg)}</div>` +
        (l.zSvg ? `<div class="loops-z">${root(l.zSvg)}</div>` : '');
      chart.dataset.forceError = l.forceError === null ? '' : String(l.forceError);
      shown = l;
      say();
      void chart.getBoundingClientRect();  // laid out here, so that the mark below measures it
      lastDrawn = l;
      for (const fn of drawnListeners.slice()) fn(l);
      performance.clearMarks('hybridsim-loops-drawn');
      performance.mark('hybridsim-loops-drawn');
    }
    const askToShow = global.HybridsimAfterPicture.later(() => {
      if (stale) show();
    });
    function showLater() {
      stale = true;
      if (details.open && atOnce) show();
      else if (details.open) askToShow();
    }

    range.addEventListener('click', () => {
      wholeRun = !wholeRun;
      show();
    });
    details.addEventListener('toggle', () => {
      if (details.open && stale) show();
    });
    window.addEventListener('resize', () => {
      if (chartWidth() !== drawnWidth) {
        if (details.open) show();
        else stale = true;
      }
    });
    sim.on('run', showLater);
    sim.on('pins', showLater);
    sim.on('language', () => {
      if (shown) say();
    });
    show();
  }

  global.HybridsimLoopsPanel = {
    attach,
    // fn(loops) after each drawing, at once for the last one drawn
    onDrawn(fn) {
      drawnListeners.push(fn);
      if (lastDrawn) fn(lastDrawn);
    },
    // while true (a drag), a run is drawn at once
    get atOnce() {
      return atOnce;
    },
    set atOnce(on) {
      atOnce = on === true;
    },
  };
})(window);
