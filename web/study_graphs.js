// The study graphs under the picture (study/study_graphs.h through
// window.hybridsim): the SVG that the core writes, laid out as wide as the
// picture, with a cursor at the sample shown and the values of every run
// there; a press or a drag in a plot area scrubs, as in the canvas's time
// graphs.  The disclosure shows and hides them; *Fit force scale* shrinks
// the force scale back to the runs shown.
//
// They are drawn only while shown and in view.  A new run lays the whole
// SVG out anew after the display frame that shows the run's picture (so that
// no key typed waits for them, and a burst of runs is drawn once; the
// holder is marked data-stale until then); a new frame redraws only the
// cursor, at once.
(function (global) {
  'use strict';

  function attach(sim, canvas) {
    const $ = (id) => document.getElementById(id);
    const details = $('study');
    const holder = $('study-graphs');
    const note = $('force-scale-note');
    let inView = false;
    let stale = true;        // the whole SVG is out of date
    let cursorStale = true;  // its cursor is
    let svg = null;
    let due = false;         // a whole SVG is to be made after the next display frame

    const shown = () => details.open && inView;

    // the force scale's ends, and when it changes
    function sayScale(scale) {
      note.textContent = `Force scale ${scale.lo} to ${scale.hi} N: it stays while settings change and grows ` +
        'when a force leaves it; reading a task file or Fit force scale fits it to the runs shown.';
    }

    function drawCursor() {
      if (!shown() || stale || svg === null) {
        cursorStale = true;
        return;
      }
      cursorStale = false;
      svg.querySelector('g.cursor').innerHTML = sim.studyCursorSvg();
    }

    function draw() {
      if (!shown()) {
        stale = true;
        return;
      }
      // as wide as the picture, border included
      const width = canvas.offsetWidth;
      if (width > 0 && width !== sim.studyWidth) {
        sim.studyWidth = width;  // heard as 'graphs': drawn at the new width
        return;
      }
      stale = false;
      delete holder.dataset.stale;
      const graphs = sim.studyGraphs();
      holder.innerHTML = graphs.svg;
      svg = holder.querySelector('svg');
      sayScale(graphs.forceScale);
      cursorStale = true;
      drawCursor();
      performance.clearMarks('hybridsim-graphs-drawn');
      performance.mark('hybridsim-graphs-drawn');
    }

    // after a new run: once its picture is on the screen (a display frame, then a task)
    function drawLater() {
      stale = true;
      holder.dataset.stale = 'true';
      if (!shown() || due) return;
      due = true;
      requestAnimationFrame(() => setTimeout(() => {
        due = false;
        if (stale) draw();
      }, 0));
    }

    // a pointer's place in pixels of the SVG
    function svgPoint(e) {
      const box = svg.getBoundingClientRect();
      const scale = box.width > 0 ? Number(svg.getAttribute('width')) / box.width : 1;
      return [(e.clientX - box.left) * scale, (e.clientY - box.top) * scale];
    }
    let scrubbing = false;
    HybridsimPlaybackBar.scrubbable(holder, {
      at: (e) => (svg ? svgPoint(e) : [NaN, NaN]),
      inside: ([x, y]) => svg !== null && !Number.isNaN(x) && sim.studyInGraph(x, y),
      press: ([x, y]) => {
        scrubbing = svg !== null && !Number.isNaN(x) && sim.studyInGraph(x, y);
        if (scrubbing) sim.frame = sim.studySampleAt(x);  // (a jump pauses)
      },
      drag: ([x]) => {
        if (!scrubbing || Number.isNaN(x)) return;
        const at = sim.studySampleAt(x);
        if (at !== sim.frame) sim.frame = at;
      },
      release: () => {
        scrubbing = false;
      },
    });

    $('fit-force').addEventListener('click', () => sim.fitForceScale());
    details.addEventListener('toggle', () => {
      if (shown() && stale) draw();
    });
    new IntersectionObserver((seen) => {
      inView = seen[seen.length - 1].isIntersecting;
      if (!shown()) return;
      if (stale) draw();
      else if (cursorStale) drawCursor();
    }, { rootMargin: '200px 0px' }).observe(details);
    window.addEventListener('resize', () => {
      if (canvas.offsetWidth !== sim.studyWidth) draw();
    });

    sim.on('run', drawLater);
    sim.on('graphs', draw);
    sim.on('frame', drawCursor);
    draw();
  }

  global.HybridsimStudyGraphs = { attach };
})(window);
