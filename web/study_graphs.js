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
// cursor, at once, and a panel whose scales and texts stay gets only its
// lines anew.
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

    const shown = () => details.open && inView;

    // the force scale's ends, and when it changes
    let said = null;  // the scale said last, said anew in another language
    function sayScale(scale) {
      said = scale;
      note.textContent = global.HybridsimTexts.t('forceScale', scale.text[0], scale.text[1]);
    }

    function drawCursor() {
      if (!shown() || stale || svg === null) {
        cursorStale = true;
        return;
      }
      cursorStale = false;
      svg.querySelector('g.cursor').innerHTML = sim.studyCursorSvg();
    }

    const outline = (panel) => panel.replace(/ d="[^"]*"/g, '');
    // the parts of the SVG on the page, as the core gives them: what comes
    // before the panels (the legend), each panel's <g class="panel">, and
    // the rest (the cursor's group)
    let shownPieces = null;
    // Puts the graphs' SVG in the page, changing only what changed: a panel
    // whose axes, ticks and texts are as they were gets only its lines'
    // shapes (laying the texts out again costs the most), another panel is
    // put anew.
    function put(graphs) {
      const next = graphs.parts;
      const same = svg !== null && shownPieces !== null && next.head === shownPieces.head &&
        next.tail === shownPieces.tail && next.panels.length === shownPieces.panels.length;
      if (!same) {
        holder.innerHTML = graphs.svg;
        svg = holder.querySelector('svg');
        shownPieces = next;
        return;
      }
      const elements = svg.querySelectorAll('g.panel');
      next.panels.forEach((panel, i) => {
        const was = shownPieces.panels[i];
        if (panel === was) return;
        if (outline(panel) === outline(was)) {
          const shapes = [...panel.matchAll(/ d="([^"]*)"/g)].map((m) => m[1]);
          elements[i].querySelectorAll('[d]').forEach((e, k) => e.setAttribute('d', shapes[k]));
        } else {
          const box = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
          box.innerHTML = panel;
          elements[i].replaceWith(box.firstElementChild);
        }
      });
      shownPieces = next;
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
      // (docs/performance.md measures from here to hybridsim-graphs-drawn)
      performance.clearMarks('hybridsim-graphs-start');
      performance.mark('hybridsim-graphs-start');
      const graphs = sim.studyGraphs();
      put(graphs);
      sayScale(graphs.forceScale);
      cursorStale = true;
      drawCursor();
      void holder.getBoundingClientRect();  // laid out here, so that the mark below measures it
      performance.clearMarks('hybridsim-graphs-drawn');
      performance.mark('hybridsim-graphs-drawn');
    }

    // after a new run: once its picture is on the screen
    const askToDraw = global.HybridsimAfterPicture.later(() => {
      if (stale) draw();
    });
    function drawLater() {
      stale = true;
      holder.dataset.stale = 'true';
      if (shown()) askToDraw();
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
    // in view: some of the graphs on the screen (not only the disclosure's line)
    new IntersectionObserver((seen) => {
      inView = seen[seen.length - 1].isIntersecting;
      if (!shown()) return;
      if (stale) draw();
      else if (cursorStale) drawCursor();
    }).observe(holder);
    // the picture fitted anew (a new window size, a lesson card beside it)
    new ResizeObserver(() => {
      if (canvas.offsetWidth !== sim.studyWidth) draw();
    }).observe(canvas);

    sim.on('run', drawLater);
    sim.on('pins', drawLater);
    sim.on('graphs', draw);
    sim.on('frame', drawCursor);
    sim.on('language', () => {
      if (said) sayScale(said);
    });
    draw();
  }

  global.HybridsimStudyGraphs = { attach };
})(window);
