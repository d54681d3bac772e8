// The page's one drag helper: a handle in an SVG chart that a mouse, a pen
// or a finger drags (Pointer Events, the pointer captured), or the arrow
// keys move while it has the focus, and the undo stack of the settings the
// drags changed.
//
//   HybridsimDrag.attach(svg, handle, {
//     begin(),          // a drag or a run of key presses starts: the names of
//                       // the settings it may change (as sim.set names them)
//     move(x, y),       // the pointer at (x, y) in the SVG's user units as it
//                       // lies now, or with readAsBegun as the SVG lay when the
//                       // drag began (drawn anew meanwhile, it may lie
//                       // elsewhere): at most once per display frame, the
//                       // latest place winning
//     key(dx, dy, shift), // an arrow key: dx -1 left, +1 right, dy -1 up, +1 down
//     end(),            // the drag ended (released or cancelled)
//     label(),          // what the handle's value is now (aria-valuetext)
//     sim,              // optional: window.hybridsim when left out
//     readAsBegun,      // optional: true to read the pointer on the SVG as
//                       // it lay when the drag began
//   })                  -> a function that detaches the handle again
//   HybridsimDrag.undo(sim)   -> {ok, message}: the settings before the last
//                                drag back, all at once (sim.setAll); ok false
//                                and message '' when there is nothing to undo
//   HybridsimDrag.canUndo()   -> whether there is a drag to undo
//   HybridsimDrag.clear()     // forgets every drag
//   HybridsimDrag.onChange(fn) // fn() after the stack changed (to enable a button)
//   HybridsimDrag.dragging    // whether a pointer drags a handle now
//
// A drag pushes the values its names had before it, {name: sim.get(name)},
// once it changed one of them; key presses on one handle, one after the
// other, count as one drag until the handle loses the focus.  A task file,
// the defaults or a link (a run whose cause is not 'setting') clears the
// stack.  `handle` gets touch-action: none, so that a finger drags it rather
// than scrolling the page.
(function (global) {
  'use strict';

  // the most drags kept
  const deepest = 50;
  const stack = [];
  const changeListeners = [];
  const watched = new WeakSet();
  let dragging = 0;  // pointers dragging now
  // the run of key presses going on: {handle, entry}
  let keyRun = null;

  function changed() {
    for (const fn of changeListeners.slice()) {
      try {
        fn();
      } catch (e) {
        setTimeout(() => { throw e; });
      }
    }
  }

  function snapshot(sim, names) {
    const values = {};
    for (const name of names) {
      const v = sim.get(name);
      if (v !== null) values[name] = v;
    }
    return values;
  }
  function differs(sim, values) {
    return Object.keys(values).some((name) => sim.get(name) !== values[name]);
  }
  // an entry of the stack, pushed once the settings differ from it
  function push(entry) {
    if (entry.pushed) return;
    entry.pushed = true;
    stack.push(entry.values);
    if (stack.length > deepest) stack.shift();
    changed();
  }

  function clear() {
    keyRun = null;
    if (stack.length === 0) return;
    stack.length = 0;
    changed();
  }

  // the stack cleared by a new task, the defaults or a link
  function watch(sim) {
    if (watched.has(sim)) return;
    watched.add(sim);
    sim.on('run', (cause) => {
      if (cause !== 'setting') clear();
    });
  }

  function undo(sim) {
    keyRun = null;
    if (stack.length === 0) return { ok: false, message: '' };
    const values = stack.pop();
    changed();
    return sim.setAll(values);
  }

  // How a drag reads the pointer: the user units of `svg` as it lay when
  // the drag began (the chart may be drawn anew, larger or moved, while it
  // goes on), the page's scrolling since then taken into account.
  function pointerReader(svg, asBegun) {
    if (!asBegun) {
      // the user units of `svg` as it lies now, at each move
      return (e) => {
        const m = svg.getScreenCTM();
        const p = m ? new DOMPoint(e.clientX, e.clientY).matrixTransform(m.inverse()) : { x: NaN, y: NaN };
        return [p.x, p.y];
      };
    }
    const m = svg.getScreenCTM();
    if (!m) return null;
    const inverse = m.inverse();
    const [sx, sy] = [global.scrollX, global.scrollY];
    return (e) => {
      const p = new DOMPoint(e.clientX + global.scrollX - sx, e.clientY + global.scrollY - sy).matrixTransform(inverse);
      return [p.x, p.y];
    };
  }

  const arrows = new Map([['ArrowLeft', [-1, 0]], ['ArrowRight', [1, 0]], ['ArrowUp', [0, -1]], ['ArrowDown', [0, 1]]]);

  function attach(svg, handle, options) {
    const sim = options.sim || global.hybridsim;
    watch(sim);
    handle.style.touchAction = 'none';
    let drag = null;  // {id, entry, at: latest [x, y], frame: requestAnimationFrame's id}

    function say() {
      const text = options.label();
      if (text !== undefined) handle.setAttribute('aria-valuetext', text);
    }
    // the latest place moved to, now
    function flush() {
      if (!drag || !drag.at) return;
      if (drag.frame) cancelAnimationFrame(drag.frame);
      drag.frame = 0;
      const [x, y] = drag.at;
      drag.at = null;
      options.move(x, y);
      if (differs(sim, drag.entry.values)) push(drag.entry);
    }
    function finish(e) {
      if (!drag || e.pointerId !== drag.id) return;
      flush();
      drag = null;
      --dragging;
      handle.classList.remove('dragged');
      options.end();
      say();
    }

    function down(e) {
      if (drag || (e.pointerType === 'mouse' && e.button !== 0)) return;
      e.preventDefault();
      keyRun = null;
      handle.focus({ preventScroll: true });
      const read = pointerReader(svg, options.readAsBegun === true);
      if (!read) return;
      drag = { id: e.pointerId, entry: { values: snapshot(sim, options.begin()), pushed: false }, at: null, frame: 0, read };
      ++dragging;
      handle.classList.add('dragged');
      try {
        handle.setPointerCapture(e.pointerId);
      } catch (err) {
        // (a synthetic pointer the browser does not know: followed without capture)
      }
    }
    function moved(e) {
      if (!drag || e.pointerId !== drag.id) return;
      e.preventDefault();
      drag.at = drag.read(e);
      if (!drag.frame) drag.frame = requestAnimationFrame(() => {
        if (drag) {
          drag.frame = 0;
          flush();
        }
      });
    }
    function pressed(e) {
      const step = arrows.get(e.key);
      if (!step || e.ctrlKey || e.metaKey || e.altKey) return;
      // the arrows are the handle's, not the page's keys
      e.preventDefault();
      e.stopPropagation();
      if (drag) return;
      if (!keyRun || keyRun.handle !== handle || !keyRun.entry.values) {
        keyRun = { handle, entry: { values: snapshot(sim, options.begin()), pushed: false } };
      }
      options.key(step[0], step[1], e.shiftKey);
      if (differs(sim, keyRun.entry.values)) push(keyRun.entry);
      options.end();
      say();
    }
    function left() {
      if (keyRun && keyRun.handle === handle) keyRun = null;
    }

    handle.addEventListener('pointerdown', down);
    handle.addEventListener('pointermove', moved);
    handle.addEventListener('pointerup', finish);
    handle.addEventListener('pointercancel', finish);
    handle.addEventListener('lostpointercapture', finish);
    handle.addEventListener('keydown', pressed);
    handle.addEventListener('blur', left);
    say();
    return function detach() {
      if (drag) {
        if (drag.frame) cancelAnimationFrame(drag.frame);
        drag = null;
        --dragging;
      }
      left();
      handle.removeEventListener('pointerdown', down);
      handle.removeEventListener('pointermove', moved);
      handle.removeEventListener('pointerup', finish);
      handle.removeEventListener('pointercancel', finish);
      handle.removeEventListener('lostpointercapture', finish);
      handle.removeEventListener('keydown', pressed);
      handle.removeEventListener('blur', left);
    };
  }

  global.HybridsimDrag = {
    attach,
    undo,
    canUndo: () => stack.length > 0,
    clear,
    onChange(fn) {
      if (typeof fn !== 'function') throw new TypeError('HybridsimDrag.onChange: expected a function');
      changeListeners.push(fn);
    },
    get dragging() {
      return dragging > 0;
    },
  };
})(window);
