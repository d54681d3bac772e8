// Playback in the page, by the window's logic in the core (view/playback.h)
// through window.hybridsim: the buttons under the picture, the window's
// keys, the time slider, scrubbing in the canvas's time graphs and the
// readout of the sample, its time and the speed.
//
//   Space  play / pause          Left, Right  one sample back, on (pause)
//   Home, End  first, last       -, + (=)     half, twice the speed
//   s, 0   one sample on, first  w, W         zoom the robot out, in
//
// The keys work wherever the focus is but in a text field or a list, and
// Space and Enter on a focused button press that button.
(function (global) {
  'use strict';

  // Wires the bar, the keys and the canvas's time graphs to `sim`.
  function attach(sim, canvas) {
    const $ = (id) => document.getElementById(id);
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
    // list every key, a button (or a link) Space and Enter
    const takes = (t, key) => t instanceof Element &&
      (t.closest('input:not([type=range]), select, textarea, [contenteditable]') !== null ||
       ((key === ' ' || key === 'Enter') && t.closest('button, a[href], summary, [role=button]') !== null));
    document.addEventListener('keydown', (e) => {
      if (e.ctrlKey || e.metaKey || e.altKey || takes(e.target, e.key)) return;
      switch (e.key) {
      case ' ':
        if (!e.repeat) sim.toggle();
        break;
      case 'ArrowLeft': sim.step('left'); break;
      case 'ArrowRight': sim.step('right'); break;
      case 'Home': sim.step('home'); break;
      case 'End': sim.step('end'); break;
      case '+':
      case '=':
        sim.faster();
        break;
      case '-': sim.slower(); break;
      case 's':
      case '0':
      case 'w':
      case 'W':
        sim.key(e.key);
        break;
      default:
        return;
      }
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
    const laidOut = () => canvas.clientWidth > 0 && canvas.clientHeight > 0;
    canvas.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || !e.isPrimary || !laidOut()) return;
      const [x, y] = windowPoint(e);
      sim.scrubPress(x, y);
      if (sim.inGraph(x, y)) {
        canvas.setPointerCapture(e.pointerId);
        e.preventDefault();
      }
    });
    canvas.addEventListener('pointermove', (e) => {
      if (!laidOut()) return;
      const [x, y] = windowPoint(e);
      if (e.buttons & 1) sim.scrubDrag(x);
      canvas.style.cursor = sim.inGraph(x, y) ? 'col-resize' : '';
    });
    const release = () => sim.scrubRelease();
    canvas.addEventListener('pointerup', release);
    canvas.addEventListener('pointercancel', release);
    canvas.addEventListener('lostpointercapture', release);
    // On a touch screen a drag would scroll the page, and the browser would
    // cancel the scrub after a few moves: a touch that starts in a time
    // graph is the scrub's alone (elsewhere a drag scrolls as usual).
    canvas.addEventListener('touchstart', (e) => {
      if (e.touches.length !== 1 || !laidOut()) return;
      const [x, y] = windowPoint(e.touches[0]);
      if (sim.inGraph(x, y)) e.preventDefault();
    }, { passive: false });

    // --- the readout ---
    function showFrame() {
      const f = sim.frame;
      slider.max = String(sim.lastFrame);
      slider.value = String(f);
      const t = sim.time(f).toFixed(2);
      readout.textContent = 'sample ' + f + ' / ' + sim.lastFrame + ', t = ' + t + ' s';
      // what a screen reader says for the slider: the time, not the bare number
      slider.setAttribute('aria-valuetext', 'sample ' + f + ' of ' + sim.lastFrame + ', t = ' + t + ' s');
    }
    function showPlayback() {
      const playing = sim.playing;
      play.textContent = playing ? 'Pause' : 'Play';
      speed.textContent = 'speed ×' + sim.speed;
    }
    sim.on('frame', showFrame);
    sim.on('run', showFrame);
    sim.on('playback', showPlayback);
    showFrame();
    showPlayback();
  }

  global.HybridsimPlaybackBar = { attach };
})(window);
