// The designed poles of the Control loops panel's s-plane as handles
// (web/drag_handle.js): each loop's pair and its pole at -α, where the core
// says they are (hybridsim.loops().handles, on its poleFrame).
//
// The pair: dragged, the pole above the axis goes to the pointer, fn = |s|
// / 2π and ζ = −re / |s|; within a few px of the real axis ζ stays 1 (or the
// ζ above 1 the pair had when the drag began), so that a drag along the
// axis changes fn only; right of the imaginary axis ζ stays 0.  ζ above 1
// (two real poles) comes from the keys or the field: the handle then stands
// where the circle |s| = ωn meets the axis, between the two poles.  The
// pole at -α: dragged along the real axis, α = −re, 0 at and right of the
// origin.  The pointer is read on the chart's scale as the drag began, so
// that the values follow it evenly while the chart refits its scale.
// Values go to 3 significant digits, through hybridsim.setAll: refused,
// the desktop's message shows and the run stays.  Keys on a focused
// handle: Left and Right make fn or α 5 % larger or smaller (Shift 25 %),
// Up and Down on a pair ζ 0.05 smaller or larger (Shift 0.2).  Undo (the button, Ctrl+Z or Cmd+Z in the
// panel) returns the values from before the last drag.
//
// Nothing is done while the panel is closed: the handles are placed after
// the panel draws its charts, over the s-plane, in an SVG of their own that
// stays while the charts are drawn anew (a drag keeps its pointer and the
// focus).  While a pointer drags, the panel draws at once after each run.
(function (global) {
  'use strict';

  // within this many px of the real axis (or of the origin) the pointer is on it
  const snap = 4;
  const hitRadius = 11;  // [px of the chart]

  const sig3 = (v) => Number(v.toPrecision(3));
  const shown = (v) => String(Number(v.toPrecision(4)));

  function attach(sim) {
    const $ = (id) => document.getElementById(id);
    const T = (key, ...args) => global.HybridsimTexts.t(key, ...args);
    const details = $('loops');
    const chart = $('loops-chart');
    const undoButton = $('loops-undo');
    const message = $('loops-drag-message');
    const svgNS = 'http://www.w3.org/2000/svg';
    const layer = document.createElementNS(svgNS, 'svg');
    layer.setAttribute('class', 'pole-handles');
    layer.hidden = true;
    chart.after(layer);  // in the Tab order right after the charts it lies over
    const handles = new Map();  // id -> {element, detach, h}
    let frame = null;  // the poleFrame drawn last
    let dragFrame = null;  // ... when the drag began
    let dragZeta = 1;  // the pair's ζ when the drag began
    let chartSvg = null;

    const names = (h) => (h.kind === 'pair' ? [`fn${h.system}`, `zeta${h.system}`] : [`alpha${h.system}`]);
    const value = (name) => Number(sim.get(name));
    // px of the chart to one rad/s along x and along y
    const kx = (f) => f.width / (f.reMax - f.reMin);
    const ky = (f) => f.height / (f.imMax - f.imMin);

    function say(text) {
      if (message.textContent === text && message.hidden === (text === '')) return;
      message.textContent = text;
      message.hidden = text === '';
      fit();
    }
    // the values given that differ from those in force, all at once
    function apply(values) {
      const changes = {};
      for (const [name, v] of Object.entries(values)) {
        const now = value(name);
        if (!(Math.abs(now - v) <= 1e-12 * Math.abs(v))) changes[name] = v;
      }
      if (Object.keys(changes).length === 0) return;
      const r = sim.setAll(changes);
      say(r.ok ? '' : r.message);
      if (r.ok && HybridsimDrag.dragging) performance.mark('hybridsim-drag-run');
    }

    // --- what a pointer at (x, y) of the chart means ---
    function pairAt(h, f, x, y) {
      const re = f.reMin + (x - f.x) / kx(f);
      const axis = f.y + f.imMax * ky(f);  // the y of im = 0
      const onAxis = Math.abs(y - axis) <= snap;
      const im = onAxis ? 0 : (axis - y) / ky(f);
      const size = Math.hypot(re, im);
      const n = h.system;
      if (size * kx(f) <= snap) return { [`fn${n}`]: 0 };
      let zeta = re >= 0 ? 0 : onAxis ? Math.max(1, dragZeta) : -re / size;
      zeta = sig3(zeta);
      return { [`fn${n}`]: sig3(size / (2 * Math.PI)), [`zeta${n}`]: zeta };
    }
    function alphaAt(h, f, x) {
      const re = f.reMin + (x - f.x) / kx(f);
      const a = -re * kx(f) <= snap ? 0 : sig3(-re);
      return { [`alpha${h.system}`]: a };
    }

    // --- the keys: a step of the value in force ---
    function stepped(v, dx, shift) {
      const factor = shift ? 1.25 : 1.05;
      return sig3(dx < 0 ? v * factor : v / factor);
    }
    function keyStep(h, dx, dy, shift) {
      const f = frame;
      const n = h.system;
      if (h.kind === 'alpha') {
        if (!dx) return;
        const was = value(`alpha${n}`);
        let a = was === 0 && dx < 0 ? sig3(snap / kx(f)) : stepped(was, dx, shift);
        if (dx > 0 && a * kx(f) < snap / 2) a = 0;
        apply({ [`alpha${n}`]: a });
        return;
      }
      const values = {};
      if (dx) {
        const was = value(`fn${n}`);
        let fn = was === 0 && dx < 0 ? sig3(snap / kx(f) / (2 * Math.PI)) : stepped(was, dx, shift);
        if (dx > 0 && 2 * Math.PI * Math.abs(fn) * kx(f) < snap / 2) fn = 0;
        values[`fn${n}`] = fn;
      }
      if (dy) values[`zeta${n}`] = sig3(Math.max(0, value(`zeta${n}`) + dy * (shift ? 0.2 : 0.05)));
      apply(values);
    }

    // --- the words of a handle, in the page's language ---
    function labelOf(h) {
      return T(h.kind === 'pair' ? 'poleHandlePair' : 'poleHandleAlpha', h.system);
    }
    function valueText(h) {
      const n = h.system;
      if (h.kind === 'alpha') return T('poleValueAlpha', n, shown(value(`alpha${n}`)));
      return T('poleValuePair', n, shown(value(`fn${n}`)), shown(value(`zeta${n}`)));
    }
    function describe(entry) {
      const { element, h } = entry;
      element.setAttribute('aria-label', labelOf(h));
      element.setAttribute('aria-valuenow', String(value(h.kind === 'pair' ? `fn${h.system}` : `alpha${h.system}`)));
      element.setAttribute('aria-valuetext', valueText(h));
    }

    function create(id, h) {
      const element = document.createElementNS(svgNS, 'circle');
      element.setAttribute('id', id);
      element.setAttribute('class', 'pole-handle');
      element.setAttribute('r', String(hitRadius));
      element.setAttribute('tabindex', '0');
      element.setAttribute('role', 'slider');
      element.setAttribute('aria-valuemin', '0');
      element.dataset.system = String(h.system);
      element.dataset.kind = h.kind;
      layer.append(element);
      const entry = { element, h, detach: null };
      entry.detach = HybridsimDrag.attach(layer, element, {
        sim,
        readAsBegun: true,  // the s-plane refits its scale while a pole is dragged
        begin() {
          dragFrame = frame;
          dragZeta = value(`zeta${entry.h.system}`);
          performance.clearMarks('hybridsim-drag-run');
          global.HybridsimLoopsPanel.atOnce = true;
          return names(entry.h);
        },
        move(x, y) {
          const f = dragFrame || frame;
          apply(entry.h.kind === 'pair' ? pairAt(entry.h, f, x, y) : alphaAt(entry.h, f, x));
        },
        key(dx, dy, shift) {
          global.HybridsimLoopsPanel.atOnce = true;
          keyStep(entry.h, dx, dy, shift);
        },
        end() {
          dragFrame = null;
          global.HybridsimLoopsPanel.atOnce = false;
        },
        label: () => valueText(entry.h),
      });
      return entry;
    }

    // the layer over the s-plane drawn, as large as it is shown
    function fit() {
      if (!chartSvg || !chartSvg.isConnected) return;
      const box = chartSvg.getBoundingClientRect();
      const outer = details.getBoundingClientRect();
      layer.style.left = `${box.left - outer.left - details.clientLeft}px`;
      layer.style.top = `${box.top - outer.top - details.clientTop}px`;
      layer.style.width = `${box.width}px`;
      layer.style.height = `${box.height}px`;
    }

    // after the panel drew its charts: the handles where the core puts them
    function place(l) {
      chartSvg = chart.querySelector('.loops-poles svg');
      frame = l.poleFrame;
      const wanted = chartSvg && frame ? l.handles.filter((h) => names(h).every((n) => sim.get(n) !== null)) : [];
      const ids = new Set();
      for (const h of wanted) {
        const id = `pole-${h.system}-${h.kind}`;
        ids.add(id);
        const entry = handles.get(id) || create(id, h);
        handles.set(id, entry);
        entry.h = h;
        entry.element.setAttribute('cx', String(h.x));
        entry.element.setAttribute('cy', String(h.y));
        describe(entry);
      }
      for (const [id, entry] of handles) {
        if (ids.has(id)) continue;
        entry.detach();
        entry.element.remove();
        handles.delete(id);
      }
      layer.hidden = wanted.length === 0;
      if (!chartSvg) return;
      layer.setAttribute('viewBox', chartSvg.getAttribute('viewBox'));
      fit();
    }

    function undo() {
      const r = HybridsimDrag.undo(sim);
      if (r.ok || r.message) say(r.ok ? '' : r.message);
    }
    undoButton.addEventListener('click', undo);
    details.addEventListener('keydown', (e) => {
      if (!(e.ctrlKey || e.metaKey) || e.altKey || e.shiftKey || e.key.toLowerCase() !== 'z') return;
      e.preventDefault();
      undo();
    });
    HybridsimDrag.onChange(() => {
      undoButton.disabled = !HybridsimDrag.canUndo();
    });
    undoButton.disabled = !HybridsimDrag.canUndo();
    // a task, the defaults or a link: the message of a refused drag goes
    sim.on('run', (cause) => {
      if (cause !== 'setting') say('');
    });
    sim.on('language', () => {
      for (const entry of handles.values()) describe(entry);
    });
    // (the s-plane moves within the panel when anything above it grows)
    const watchSize = new ResizeObserver(fit);
    watchSize.observe(chart);
    watchSize.observe(details);
    global.HybridsimLoopsPanel.onDrawn(place);
  }

  global.HybridsimPoleDrag = { attach };
})(window);
