// The Control loops panel's frequency response and root locus (inside it,
// a disclosure of their own, closed at the start): the core's chart of
// both loops' |H| and phase over log frequency (study/response_chart.h)
// with a cursor -- the pointer over a panel (a mouse, a pen or a finger)
// or Left and Right on the focused chart (Shift: a decade, Home and End:
// the ends) move a vertical line through every panel, and the text beside
// it (aria-live) gives the frequency and each curve's |H| and phase there,
// read by the core at that frequency (hybridsim.loopResponseAt), not from
// the grid; and the root locus of the quantity the select names
// (study/root_locus.h).  Nothing is drawn or computed while either
// disclosure is closed; drawn anew after every run, pin, language or width
// while both are open, after the display frame that shows the run.
(function (global) {
  'use strict';

  const svgNs = 'http://www.w3.org/2000/svg';
  // one key press: a twentieth of a decade (the grid's step), Shift a decade
  const step = 1 / 20;
  const bigStep = 1;
  // the locus chart's width at most [px]
  const locusWidest = 560;

  function attach(sim) {
    const $ = (id) => document.getElementById(id);
    const T = (key, ...args) => global.HybridsimTexts.t(key, ...args);
    const loops = $('loops');
    const details = $('loops-more');
    const chart = $('freq-chart');
    const readout = $('freq-readout');
    const note = $('freq-text');
    const select = $('locus-quantity');
    const locusChart = $('locus-chart');
    const locusNote = $('locus-text');
    const canvas = $('view');
    let stale = true;
    let drawnWidth = 0;
    let shown = null;   // the response drawn (sim.response)
    let locus = null;   // the locus drawn (sim.locus)
    let quantity = 'fn2';
    let logHz = null;   // the cursor: log10 of its frequency, null before the first move
    let readings = null;  // the core's readings at the cursor, per loop

    const open = () => loops.open && details.open;
    const width = () => Math.max(240, canvas.offsetWidth);
    // (the core's SVG, from its root element: its texts are escaped as XML)
    const root = (svg) => svg.slice(svg.indexOf('<svg'));

    // the cursor's range: the loops' ranges together
    function range() {
      const lows = shown.loops.map((l) => Math.log10(l.low));
      const highs = shown.loops.map((l) => Math.log10(l.high));
      return [Math.min(...lows), Math.max(...highs)];
    }

    // a number as the readout writes it: no "-0"
    const fixed = (v, digits) => (Math.abs(v) < 0.5 * 10 ** -digits ? (0).toFixed(digits) : v.toFixed(digits));
    function hertzText(hz) {
      return hz >= 100 ? hz.toFixed(0) : String(Number(hz.toPrecision(3)));
    }
    function say() {
      if (!shown) return;
      note.textContent = T('freqCaption', shown.sampled);
      if (readings === null) {
        readout.textContent = T('freqReadoutNone');
        delete readout.dataset.values;
        return;
      }
      const one = (r) => (r ? { dB: fixed(r.dB, 2), deg: fixed(r.deg, 1) } : null);
      const loop = (r) => ({ designed: one(r.designed), model: one(r.model), sampled: one(r.sampled) });
      readout.textContent = T('freqReadout', hertzText(10 ** logHz), loop(readings[1]), loop(readings[0]));
      readout.dataset.values = JSON.stringify(readings);
    }
    function sayLocus() {
      if (!locus) return;
      locusNote.textContent = locus.computed ? T('locusCaption', locus.quantity, locus.current) : T('locusNone', locus.none, locus.quantity, locus.current);
      for (const o of select.options) o.textContent = T('locusOf_' + o.value);
    }

    // the vertical line through every panel whose range holds the cursor
    function drawCursor() {
      const svg = chart.querySelector('svg');
      if (!svg) return;
      svg.querySelector('.freq-cursor')?.remove();
      if (logHz === null) return;
      const g = document.createElementNS(svgNs, 'g');
      g.setAttribute('class', 'freq-cursor');
      g.setAttribute('aria-hidden', 'true');
      for (const p of shown.panels) {
        if (logHz < p.lo || logHz > p.hi) continue;
        const x = p.x0 + (p.x1 - p.x0) * (logHz - p.lo) / (p.hi - p.lo);
        const line = document.createElementNS(svgNs, 'line');
        for (const [k, v] of [['x1', x], ['x2', x], ['y1', p.y0], ['y2', p.y1]]) line.setAttribute(k, String(v));
        line.setAttribute('stroke', '#000');
        line.setAttribute('stroke-width', '1');
        line.setAttribute('stroke-dasharray', '3 2');
        g.appendChild(line);
      }
      svg.appendChild(g);
    }
    // the cursor to log10(hz) `at`, kept within the range; the core's readings there
    function moveTo(at) {
      const [lo, hi] = range();
      logHz = Math.min(hi, Math.max(lo, at));
      const hz = 10 ** logHz;
      readings = [sim.loopResponseAt(1, hz), sim.loopResponseAt(2, hz)];
      chart.dataset.hz = String(hz);
      drawCursor();
      say();
    }

    function showResponse() {
      drawnWidth = width();
      shown = sim.response({ width: drawnWidth });
      chart.innerHTML = root(shown.svg);
      if (logHz !== null) moveTo(logHz);
      else say();
    }
    function showLocus() {
      locus = sim.locus({ quantity, width: Math.min(locusWidest, width()) });
      // the select: the quantities that apply now, the one shown kept where it still does
      if (!locus.quantities.includes(quantity)) {
        quantity = 'fn2';
        locus = sim.locus({ quantity, width: Math.min(locusWidest, width()) });
      }
      if (select.dataset.quantities !== locus.quantities.join(' ')) {
        select.replaceChildren(...locus.quantities.map((q) => new Option(q, q)));
        select.dataset.quantities = locus.quantities.join(' ');
      }
      select.value = quantity;
      locusChart.innerHTML = root(locus.svg);
      locusChart.dataset.quantity = quantity;
      sayLocus();
    }
    function show() {
      if (!open()) return;
      stale = false;
      showResponse();
      showLocus();
    }
    const askToShow = global.HybridsimAfterPicture.later(() => {
      if (stale) show();
    });
    function showLater() {
      stale = true;
      if (open()) askToShow();
    }

    // the pointer's place in the SVG's units: the panel under it and its frequency
    function pointerAt(e) {
      const svg = chart.querySelector('svg');
      if (!svg || !shown) return null;
      const box = svg.getBoundingClientRect();
      if (!(box.width > 0) || !(box.height > 0)) return null;
      const u = (e.clientX - box.left) * shown.width / box.width;
      const v = (e.clientY - box.top) * shown.height / box.height;
      const p = shown.panels.find((q) => u >= q.x0 && u <= q.x1 && v >= q.y0 && v <= q.y1);
      return p ? p.lo + (p.hi - p.lo) * (u - p.x0) / (p.x1 - p.x0) : null;
    }
    function onPointer(e) {
      const at = pointerAt(e);
      if (at !== null) moveTo(at);
    }
    chart.addEventListener('pointermove', onPointer);
    chart.addEventListener('pointerdown', onPointer);
    chart.addEventListener('keydown', (e) => {
      if (!shown) return;
      const [lo, hi] = range();
      const from = logHz === null ? (lo + hi) / 2 : logHz;
      const by = e.shiftKey ? bigStep : step;
      let to;
      if (e.key === 'ArrowRight') to = logHz === null ? from : from + by;
      else if (e.key === 'ArrowLeft') to = logHz === null ? from : from - by;
      else if (e.key === 'Home') to = lo;
      else if (e.key === 'End') to = hi;
      else return;
      e.preventDefault();
      moveTo(to);
    });
    select.addEventListener('change', () => {
      quantity = select.value;
      if (open()) showLocus();
    });

    for (const d of [loops, details]) {
      d.addEventListener('toggle', () => {
        if (open() && stale) show();
      });
    }
    window.addEventListener('resize', () => {
      if (width() !== drawnWidth) {
        if (open()) show();
        else stale = true;
      }
    });
    sim.on('run', showLater);
    sim.on('pins', showLater);
    sim.on('language', () => {
      say();
      sayLocus();
    });
    show();
  }

  global.HybridsimResponsePanel = { attach };
})(window);
