// window.hybridsim: the browser edition's scripting interface, a thin layer
// over the C++ core (hybridsim-core.js, web/bindings.cpp).  The page uses it
// as teachers' scripts and the tests do:
//
//   await hybridsim.ready;
//   hybridsim.loadTask(text, name)  -> {ok, message}
//   hybridsim.csv(), .report(), .summary(), .notice()
//   hybridsim.frame = 100;          // clamped to 0..lastFrame, redrawn
//   hybridsim.shapes()              // the current frame's shapes and texts
//
// Listeners (hybridsim.on('run' | 'frame', fn)) hear of a new run and of a
// new frame; the page redraws its canvas and panels from them.
(function (global) {
  'use strict';

  let core = null;
  const listeners = { run: [], frame: [] };

  function emit(event) {
    for (const fn of listeners[event]) fn();
  }

  function need() {
    if (!core) throw new Error('hybridsim is not ready yet: await hybridsim.ready first');
    return core;
  }

  // a text the core hands out (UTF-8, valid until the next one)
  function text(fn) {
    const c = need();
    return c.UTF8ToString(fn());
  }

  // The bytes of a task file, named `name` in messages: the desktop's reader
  // takes the whole file or nothing.
  function loadBytes(bytes, name) {
    const c = need();
    const label = String(name);
    const labelSize = c.lengthBytesUTF8(label) + 1;
    const data = c._malloc(bytes.length + 1);
    const labelAt = c._malloc(labelSize);
    if (!data || !labelAt) {
      c._free(data);
      c._free(labelAt);
      return { ok: false, message: `${label}: too large to read (${bytes.length} bytes)` };
    }
    c.HEAPU8.set(bytes, data);
    c.stringToUTF8(label, labelAt, labelSize);
    const ok = c._hs_load(data, bytes.length, labelAt) === 1;
    const message = c.UTF8ToString(c._hs_message());
    c._free(data);
    c._free(labelAt);
    if (ok) emit('run');
    return { ok, message };
  }

  // The current frame's picture, recorded by the core: views into its
  // memory, valid until the next call into the core.
  function picture() {
    const c = need();
    const count = c._hs_draw();
    const data = new Float64Array(c.HEAPF64.buffer, c._hs_shapes(), count);
    const bytes = new Uint8Array(c.HEAPU8.buffer, c._hs_text_bytes(), c._hs_text_size());
    return { data, count, bytes };
  }

  const api = {
    // settles when the core has computed the default task
    ready: null,

    // Reads a task file given as text (UTF-8); `name` names it in messages.
    loadTask(taskText, name = 'task.dat') {
      return loadBytes(new TextEncoder().encode(String(taskText)), name);
    },
    // The same for the raw bytes of a file (a Uint8Array).
    loadBytes(bytes, name) {
      return loadBytes(bytes, name);
    },

    csv() {
      return text(() => core._hs_csv());
    },
    report() {
      return text(() => core._hs_report());
    },
    summary() {
      return text(() => core._hs_summary());
    },
    // the unreachable points of the latest run: how many, and the console's lines
    notice() {
      return { count: need()._hs_unreachable(), text: text(() => core._hs_notice()) };
    },

    get frame() {
      return need()._hs_frame();
    },
    set frame(value) {
      const c = need();
      const v = Math.trunc(Number(value));
      if (!Number.isFinite(v)) return;
      c._hs_set_frame(Math.max(-1, Math.min(v, c._hs_last_frame() + 1)));
      emit('frame');
    },
    get lastFrame() {
      return need()._hs_last_frame();
    },
    // time of sample `frame` (the current one by default) [s]
    time(frame) {
      const c = need();
      return c._hs_time(frame === undefined ? c._hs_frame() : frame);
    },

    // the current frame's shapes and texts in painter's order
    shapes() {
      const p = picture();
      return HybridsimShapeView.decode(p.data, p.count, p.bytes);
    },
    // draws the current frame on a 2D context, a square of `size` pixels
    draw(ctx, size) {
      const p = picture();
      HybridsimShapeView.draw(ctx, size, p.data, p.count, p.bytes);
    },

    on(event, fn) {
      if (!listeners[event]) throw new Error('hybridsim.on: no event ' + event);
      listeners[event].push(fn);
    },
  };

  api.ready = createHybridsimCore().then((module) => {
    module._hs_start();
    core = module;
    emit('run');
    return api;
  });

  global.hybridsim = api;
})(window);
