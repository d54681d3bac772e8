// The page's one helper for dragging a handle of a chart: the pointer's
// place in the chart's SVG user units, at most once an animation frame; the
// arrow keys on the handle (Shift: larger steps); and an undo stack of the
// settings a drag changes (Ctrl+Z or Cmd+Z on the handle, or undo()).
//
//   HybridsimDrag.attach(svgElement, handleElement, {
//     begin(): names[],       // a drag starts: the settings it may change
//     move(x, y),             // the pointer at (x, y) in the SVG's user units
//     key(dx, dy, shift),     // an arrow key: dx, dy -1, 0 or 1 (dy +1 down)
//     end(),                  // the drag is over
//     label(),                // the handle's words for assistive technology
//   }) -> detach()
(function (global) {
  'use strict';

  // the settings before each drag: [[name, value], ...]
  const undoStack = [];
  const mostUndo = 50;

  function snapshot(names) {
    const sim = global.hybridsim;
    if (!sim || !Array.isArray(names) || names.length === 0) return;
    undoStack.push(names.map((n) => [n, String(sim.get(n))]));
    if (undoStack.length > mostUndo) undoStack.shift();
  }

  // the settings as before the last drag; false when there is none
  function undo() {
    const sim = global.hybridsim;
    const last = undoStack.pop();
    if (!last || !sim) return false;
    for (const [name, value] of last) sim.set(name, value);
    return true;
  }

  function attach(svg, handle, hooks) {
    let pointer = null;  // the pointer's id while dragging
    let latest = null;   // its last place, not yet handed on
    let frame = 0;

    const place = (e) => {
      const m = svg.getScreenCTM();
      if (!m) return null;
      const p = new DOMPoint(e.clientX, e.clientY).matrixTransform(m.inverse());
      return { x: p.x, y: p.y };
    };
    const handOn = () => {
      frame = 0;
      if (latest) hooks.move(latest.x, latest.y);
      latest = null;
    };
    const labelled = () => handle.setAttribute('aria-label', hooks.label());

    handle.setAttribute('tabindex', '0');
    handle.setAttribute('role', 'slider');
    handle.style.cursor = 'grab';
    handle.style.touchAction = 'none';
    labelled();

    function down(e) {
      if (pointer !== null || e.button > 0) return;
      e.preventDefault();
      e.stopPropagation();
      pointer = e.pointerId;
      handle.setPointerCapture(e.pointerId);
      snapshot(hooks.begin());
    }
    function moved(e) {
      if (e.pointerId !== pointer) return;
      latest = place(e);
      if (!frame) frame = requestAnimationFrame(handOn);
    }
    function up(e) {
      if (e.pointerId !== pointer) return;
      e.stopPropagation();
      if (frame) cancelAnimationFrame(frame);
      latest = latest || place(e);
      handOn();
      pointer = null;
      hooks.end();
      labelled();
    }
    function keyed(e) {
      const arrows = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
      if ((e.ctrlKey || e.metaKey) && e.key === 'z') {
        e.preventDefault();
        undo();
        return;
      }
      const step = arrows[e.key];
      if (!step) return;
      e.preventDefault();
      snapshot(hooks.begin());
      hooks.key(step[0], step[1], e.shiftKey);
      hooks.end();
      labelled();
    }
    // (a click that ends a drag is not a click on the chart)
    const swallow = (e) => e.stopPropagation();

    handle.addEventListener('pointerdown', down);
    handle.addEventListener('pointermove', moved);
    handle.addEventListener('pointerup', up);
    handle.addEventListener('pointercancel', up);
    handle.addEventListener('keydown', keyed);
    handle.addEventListener('click', swallow);
    return function detach() {
      if (frame) cancelAnimationFrame(frame);
      handle.removeEventListener('pointerdown', down);
      handle.removeEventListener('pointermove', moved);
      handle.removeEventListener('pointerup', up);
      handle.removeEventListener('pointercancel', up);
      handle.removeEventListener('keydown', keyed);
      handle.removeEventListener('click', swallow);
    };
  }

  global.HybridsimDrag = { attach, undo };
})(window);
