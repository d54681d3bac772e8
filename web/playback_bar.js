// Playback in the page, by the window's logic in the core (playback/playback.h)
// through window.hybridsim: the buttons under the picture, the window's
// keys, the time slider, scrubbing in the canvas's time graphs and the
// readout of the sample, its time and the speed.
//
// The keys are those of the window's key table that the page offers
// (playback/keys.h, hybridsim.keys()): each names an action, which this
// file carries out.  They work wherever the focus is but in a text field
// or a list, and Space and Enter on a focused button press that button.
(function (global) {
  'use strict';

  // Scrubbing by pointer in `element` (a mouse's left button, a pen, a
  // touch): a press where `inside(point)` holds, and each drag until the
  // release, are `press(point)` and `drag(point)`; `at(event)` is a
  // pointer's point.  The pointer is captured, so that a drag past the
  // element's edge scrubs on.  On a touch screen a drag would scroll the
  // page, and the browser would cancel the scrub after a few moves: a touch
  // that starts where a press scrubs is the scrub's alone (elsewhere a drag
  // scrolls as usual).
  function scrubbable(element, { at, inside, press, drag, release }) {
    const laidOut = () => {
      const box = element.getBoundingClientRect();
      return box.width > 0 && box.height > 0;
    };
    element.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || !e.isPrimary || !laidOut()) return;
      const p = at(e);
      press(p);
      if (inside(p)) {
        element.setPointerCapture(e.pointerId);
        e.preventDefault();
      }
    });
    element.addEventListener('pointermove', (e) => {
      if (!laidOut()) return;
      const p = at(e);
      if (e.buttons & 1) drag(p);
      element.style.cursor = inside(p) ? 'col-resize' : '';
    });
    element.addEventListener('pointerup', release);
    element.addEventListener('pointercancel', release);
    element.addEventListener('lostpointercapture', release);
    element.addEventListener('touchstart', (e) => {
      if (e.touches.length !== 1 || !laidOut()) return;
      // (a touch while the page still scrolls from a fling cannot be kept from scrolling)
      if (e.cancelable && inside(at(e.touches[0]))) e.preventDefault();
    }, { passive: false });
  }

  // Wires the bar, the keys and the canvas's time graphs to `sim`.
  function attach(sim, canvas) {
    const $ = (id) => document.getElementById(id);
    const T = global.HybridsimTexts.t;
    const slider = $('frame');
    const readout = $('readout');
    const speed = $('speed');
    const play = $('play');

    // --- buttons: the same as the keys ---
    $('first').addEventListener('click', () => sim.step('home'));
    $('back').addEventListener('click', () => sim.step('left'));
    play.addEventListener('click', () => sim.toggle());
    $('forward').addEventListener('click', () => sim.step('right'));
    $('last').addEventListener('click', () => sim.step('end'));
    $('slower').addEventListener('click', () => sim.slower());
    $('faster').addEventListener('click', () => sim.faster());

    // the slider scrubs: a jump to its sample, which pauses
    slider.addEventListener('input', () => {
      sim.frame = Number(slider.value);
    });

    // --- keys, wherever the focus is but in a text field or a list ---
    // whether the focused control takes `key` itself: a text field or a
    // list every key, a button (or a link, a checkbox) Space and Enter
    const takes = (t, key) => t instanceof Element &&
      (t.closest('input:not([type=range]):not([type=checkbox]), select, textarea, [contenteditable]') !== null ||
       ((key === ' ' || key === 'Enter') &&
        t.closest('button, a[href], summary, [role=button], input[type=checkbox]') !== null));
    // what each action of the core's key table does here (a held key
    // plays, pins or turns the overlay once)
    const view = (e) => sim.key(e.key);
    const once = (fn) => (e) => {
      if (!e.repeat) fn();
    };
    const actions = new Map([
      ['playPause', once(() => sim.toggle())],
      ['stepBack', () => sim.step('left')],
      ['stepForward', () => sim.step('right')],
      ['jumpFirst', () => sim.step('home')],
      ['jumpLast', () => sim.step('end')],
      ['faster', () => sim.faster()],
      ['slower', () => sim.slower()],
      ['step', view],
      ['firstSample', view],
      ['zoomOut', view],
      ['zoomIn', view],
      ['pin', once(() => sim.pin())],
      ['clearPins', () => sim.clearPins()],
      ['overlay', once(() => { sim.overlay = !sim.overlay; })],
    ]);
    const keys = new Map(Object.entries(sim.keys()));
    for (const [key, action] of keys) {
      if (!actions.has(action)) throw new Error(`the page has no action '${action}' for the key '${key}'`);
    }
    document.addEventListener('keydown', (e) => {
      if (e.ctrlKey || e.metaKey || e.altKey || takes(e.target, e.key) || !keys.has(e.key)) return;
      actions.get(keys.get(e.key))(e);
      // no scrolling, no slider step by the same key
      e.preventDefault();
    });

    // --- scrubbing in the time graphs, as with the window's left button ---
    // a pointer's place in window units: [-1, 1] across the canvas, y up
    function windowPoint(e) {
      const box = canvas.getBoundingClientRect();
      const x = e.clientX - box.left - canvas.clientLeft;
      const y = e.clientY - box.top - canvas.clientTop;
      return [(2 * x) / canvas.clientWidth - 1, 1 - (2 * y) / canvas.clientHeight];
    }
    scrubbable(canvas, {
      at: windowPoint,
      inside: ([x, y]) => sim.inGraph(x, y),
      press: ([x, y]) => sim.scrubPress(x, y),
      drag: ([x]) => sim.scrubDrag(x),
      release: () => sim.scrubRelease(),
    });

    // --- the readout ---
    function showFrame() {
      const f = sim.frame;
      slider.max = String(sim.lastFrame);
      slider.value = String(f);
      const t = sim.time(f).toFixed(2);
      readout.textContent = T('readout', f, sim.lastFrame, t);
      // what a screen reader says for the slider: the time, not the bare number
      slider.setAttribute('aria-valuetext', T('sliderValue', f, sim.lastFrame, t));
    }
    function showPlayback() {
      const playing = sim.playing;
      play.textContent = T(playing ? 'pause' : 'play');
      speed.textContent = T('speed', sim.speed);
    }
    sim.on('frame', showFrame);
    sim.on('run', showFrame);
    sim.on('playback', showPlayback);
    sim.on('language', () => {
      showFrame();
      showPlayback();
    });
    showFrame();
    showPlayback();
  }

  global.HybridsimPlaybackBar = { attach, scrubbable };
})(window);
