// The design map in the control loops' panel (study/design_map.h through
// hybridsim.designMap): the force loop's designs around the current one,
// fn2 across and alpha2 (or zeta2, by the switch) up, coloured by the
// chosen step figure of the model's step in closed form, the goals' pass
// region outlined, the pins' designs as dots and the current design as a
// ring that can be dragged (web/drag_handle.js); a click on the map moves
// the design there, every change through hybridsim.set as typing it would.
// The value under the pointer is written below the map.  Computed only
// while the panel and its own disclosure are open, after the display frame
// that shows the run's picture, once for a burst of runs.
(function (global) {
  'use strict';

  const widest = 640;

  function attach(sim) {
    const $ = (id) => document.getElementById(id);
    const T = (key, ...args) => global.HybridsimTexts.t(key, ...args);
    const loops = $('loops');
    const details = $('design-map');
    const chart = $('design-map-chart');
    const select = $('design-map-figure');
    const planeButton = $('design-map-plane');
    const note = $('design-map-text');
    const readout = $('design-map-value');
    const message = $('design-map-message');
    const canvas = $('view');
    let stale = true;
    let plane = 'alpha';
    let shown = null;     // the map drawn
    let dragging = false;
    let detach = null;

    const open = () => loops.open && details.open;
    const otherName = () => (plane === 'alpha' ? 'alpha2' : 'zeta2');
    const current = () => ({ x: Number(sim.get('fn2')), y: Number(sim.get(otherName())) });
    const width = () => Math.max(240, Math.min(widest, chart.clientWidth || canvas.offsetWidth || 420));

    // a number as a field would be typed: four significant digits
    const typed = (v) => String(Number(v.toPrecision(4)));
    function tell(text) {
      message.textContent = text;
      message.hidden = text === '';
    }

    // --- the map's frame: SVG units to designs and back ---
    function toDesign(px, py) {
      const f = shown.frame;
      const a = Math.min(1, Math.max(0, (px - f.left) / f.width));
      const b = Math.min(1, Math.max(0, 1 - (py - f.top) / f.height));
      const along = (axis, share) => (axis.log ? axis.lo * Math.pow(axis.hi / axis.lo, share)
        : axis.lo + share * (axis.hi - axis.lo));
      return { x: along(shown.x, a), y: along(shown.y, b) };
    }
    function toPlace(d) {
      const f = shown.frame;
      const share = (axis, v) => (axis.log ? Math.log(v / axis.lo) / Math.log(axis.hi / axis.lo)
        : (v - axis.lo) / (axis.hi - axis.lo));
      const clamp = (s) => Math.min(1, Math.max(0, s));
      return { x: f.left + clamp(share(shown.x, d.x)) * f.width, y: f.top + (1 - clamp(share(shown.y, d.y))) * f.height };
    }
    // the cell under a place, or null outside the plot area
    function cellAt(px, py) {
      const f = shown.frame;
      const i = Math.floor((px - f.left) / f.width * shown.columns);
      const j = Math.floor((1 - (py - f.top) / f.height) * shown.rows);
      if (i < 0 || j < 0 || i >= shown.columns || j >= shown.rows) return null;
      return j * shown.columns + i;
    }

    // Sets the design (fn2, the other) as typing both would; a refusal
    // keeps the values before and says why.
    function setDesign(d) {
      const before = { fn2: String(sim.get('fn2')), other: String(sim.get(otherName())) };
      const first = sim.set('fn2', typed(d.x));
      const second = first.ok ? sim.set(otherName(), typed(d.y)) : first;
      if (!second.ok && first.ok) sim.set('fn2', before.fn2);
      tell(second.ok ? '' : second.message);
      return second.ok;
    }
    function moveRing(d) {
      const p = toPlace(d);
      for (const c of chart.querySelectorAll('.design-point, .design-point-halo')) {
        c.setAttribute('cx', p.x.toFixed(2));
        c.setAttribute('cy', p.y.toFixed(2));
      }
    }

    // the caption, the select's and the switch's words, in the page's language
    function say() {
      for (const o of select.options) o.textContent = T('designMapFigure_' + o.value);
      planeButton.textContent = T(plane === 'alpha' ? 'designMapToZeta' : 'designMapToAlpha');
      if (shown) note.textContent = T('designMapCaption', shown);
    }

    function wire() {
      const svg = chart.querySelector('svg');
      const ring = chart.querySelector('.design-point');
      if (detach) detach();
      detach = null;
      if (!svg || !ring) return;
      let start = null;
      detach = global.HybridsimDrag.attach(svg, ring, {
        begin() {
          dragging = true;
          start = current();
          return ['fn2', otherName()];
        },
        move(x, y) {
          const d = toDesign(x, y);
          if (setDesign(d)) moveRing(d);
        },
        key(dx, dy, shift) {
          // one cell a press, ten with Shift
          const n = shift ? 10 : 1;
          const c = current();
          const d = {
            x: c.x * Math.pow(shown.x.hi / shown.x.lo, dx * n / shown.columns),
            y: Math.max(shown.y.lo, c.y - dy * n * (shown.y.hi - shown.y.lo) / shown.rows),
          };
          if (setDesign(d)) moveRing(d);
        },
        end() {
          dragging = false;
          if (start) showLater();
          start = null;
        },
        label() {
          const c = current();
          return T('designMapPoint', c.x, otherName(), c.y);
        },
      });
    }

    function show() {
      if (!open() || dragging) return;
      stale = false;
      const figure = select.value;
      // the ranges kept while the design lies inside them (a click or a
      // drag does not move the map under the pointer)
      let xRange = null;
      let yRange = null;
      if (shown && shown.y.name === otherName()) {
        const c = current();
        const inside = (axis, v) => v > axis.lo && v < axis.hi;
        if (inside(shown.x, c.x) && inside(shown.y, c.y)) {
          xRange = [shown.x.lo, shown.x.hi];
          yRange = [shown.y.lo, shown.y.hi];
        }
      }
      const m = sim.designMap({ width: width(), plane, figure, xRange, yRange });
      if (m.error) {
        tell(m.error);
        return;
      }
      chart.innerHTML = m.svg;
      chart.dataset.figure = m.figure.column;
      chart.dataset.plane = plane;
      chart.dataset.x = `${m.x.lo} ${m.x.hi}`;
      chart.dataset.y = `${m.y.lo} ${m.y.hi}`;
      chart.dataset.drawn = String(Number(chart.dataset.drawn || 0) + 1);
      shown = m;
      say();
      wire();
    }
    const askToShow = global.HybridsimAfterPicture.later(() => {
      if (stale) show();
    });
    function showLater() {
      stale = true;
      if (open()) askToShow();
    }

    // hover: the design and its value under the pointer
    chart.addEventListener('pointermove', (e) => {
      const svg = chart.querySelector('svg');
      if (!shown || !svg || !svg.getScreenCTM()) return;
      const p = new DOMPoint(e.clientX, e.clientY).matrixTransform(svg.getScreenCTM().inverse());
      const at = cellAt(p.x, p.y);
      if (at === null) {
        readout.textContent = '';
        chart.removeAttribute('title');
        return;
      }
      const d = toDesign(p.x, p.y);
      const text = T('designMapHover', d.x, otherName(), d.y, shown.figure, shown.values[at]);
      readout.textContent = text;
      chart.title = text;
    });
    // a click on the map (not on the ring): the design there
    chart.addEventListener('click', (e) => {
      const svg = chart.querySelector('svg');
      if (!shown || !svg || e.target.closest('.design-point')) return;
      const p = new DOMPoint(e.clientX, e.clientY).matrixTransform(svg.getScreenCTM().inverse());
      if (cellAt(p.x, p.y) === null) return;
      const d = toDesign(p.x, p.y);
      if (setDesign(d)) moveRing(d);
    });

    select.addEventListener('change', show);
    planeButton.addEventListener('click', () => {
      plane = plane === 'alpha' ? 'zeta' : 'alpha';
      planeButton.setAttribute('aria-pressed', String(plane === 'zeta'));
      show();
    });
    for (const d of [loops, details]) {
      d.addEventListener('toggle', () => {
        if (open() && stale) show();
      });
    }
    let drawnWidth = 0;
    window.addEventListener('resize', () => {
      if (width() !== drawnWidth) showLater();
      drawnWidth = width();
    });
    sim.on('run', showLater);
    sim.on('pins', showLater);
    sim.on('goals', showLater);
    sim.on('language', say);
    select.innerHTML = sim.designMapFigures().map((f) => `<option value="${f}"></option>`).join('');
    say();
    show();
  }

  global.HybridsimDesignMap = { attach };
})(window);
