// window.hybridsim: the browser edition's scripting interface, a thin layer
// over the C++ core (hybridsim-core.js, web/bindings.cpp).  The page uses it
// as teachers' scripts and the tests do:
//
//   await hybridsim.ready;
//   hybridsim.set('Fn', 20)         -> {ok, message}  (the names of --set)
//   hybridsim.setAll({fn2: 25, zeta2: 0.7})  -> {ok, message}  (all or none, one run)
//   hybridsim.loadTask(text, name)  -> {ok, message}
//   hybridsim.csv(), .report(), .summary(), .notice(), .taskText()
//   hybridsim.frame = 100;          // clamped to 0..lastFrame, pauses, redrawn
//   hybridsim.play(), .pause(), .playing
//   hybridsim.keys()                // the window's keys the page offers and their actions
//   hybridsim.shapes()              // the current frame's shapes and texts
//   hybridsim.studyGraphs()         // the study graphs: SVG, force scale, values at the cursor
//   hybridsim.pin(), .pins(), .unpin(i), .clearPins()  // runs kept under the live one
//   hybridsim.resetDefaults()       // the built-in task again (the pins stay)
//   hybridsim.overlay = true;       // the teaching overlay: forces and frames
//   hybridsim.language = 'ja';      // the page's language ('en' at the start)
//   hybridsim.link()                // the address that opens this state again
//   hybridsim.openLink(address)     // opens one: {ok, refused, skipped, skippedCount}
//   await hybridsim.gif()           // the run as an animated GIF (Uint8Array); .cancelGif()
//   hybridsim.addGoal('overshoot_pct <= 5'), .goals(), .removeGoal(i)  // goals on the summary's figures
//   hybridsim.addShownGoal('pos_err_max_m', '<=', 5)  // the same, typed in the page's unit (5 mm)
//   hybridsim.loops({width, wholeRun})  // the loops' charts (SVG), the caption, the closed form's difference
//   hybridsim.response({width}), hybridsim.loopResponseAt(system, hz), hybridsim.locus({quantity, width})
//                                        // the loops' frequency response, one reading, a root locus
//   hybridsim.lessons(), .openLesson(i), .lessonCard(i)  // the lessons: built in, then the session's own
//   hybridsim.readLessons(fileText), .lessonFromState(draft), .addLesson(lesson), .lessonFile([i, ...])
//   hybridsim.lockedSettings(), .goalResults()  // an own lesson's locks; the goals' results as JSON
//   hybridsim.designMap({width, plane, figure})  // the force loop's designs coloured by a step figure
//   hybridsim.describe()            // the frame shown in words (the picture's text alternative)
//
// Listeners (hybridsim.on('run' | 'frame' | 'playback' | 'graphs' | 'pins' | 'overlay' | 'language' | 'goals' |
// 'lessons', fn))
// hear of a new run (with its cause: 'start', 'file', 'setting',
// 'defaults' or 'link'), of a new frame, of playing, pausing or a new
// speed, of the study graphs laid out anew (their force scale fitted, a new
// width), of a pin made or removed, of the overlay turned on or off, of
// the language set, of a goal added or removed and of a lesson added to
// lessons(); the page redraws its canvas and panels from them.
//
// A call given an argument of the wrong kind throws a TypeError that names
// the call and what it takes, before it changes anything.
(function (global) {
  'use strict';

  let core = null;
  const listeners = new Map([['run', []], ['frame', []], ['playback', []], ['graphs', []], ['pins', []], ['overlay', []],
                                ['language', []], ['goals', []], ['lessons', []]]);

  // An error a listener threw goes to the browser's console as an uncaught
  // one would; the other listeners, the page's own among them, still hear.
  const reportError = typeof global.reportError === 'function'
    ? (e) => global.reportError(e)
    : (e) => setTimeout(() => { throw e; });

  // `cause` tells a 'run' listener where the run came from: 'start',
  // 'file' (a task file) or 'setting' (one setting by name)
  function emit(event, cause) {
    for (const fn of listeners.get(event).slice()) {
      try {
        fn(cause);
      } catch (e) {
        reportError(e);
      }
    }
  }

  // --- arguments ---
  // a value as an error message names it
  function shown(v) {
    if (typeof v === 'string') return JSON.stringify(v.length > 40 ? v.slice(0, 40) + '…' : v);
    if (typeof v === 'function') return 'a function';
    if (typeof v === 'bigint') return v + 'n';
    if (v === null || typeof v !== 'object') return String(v);
    return Array.isArray(v) ? 'an array' : 'an object (' + Object.prototype.toString.call(v).slice(8, -1) + ')';
  }
  function wrong(call, takes, value) {
    return new TypeError(`hybridsim.${call}: expected ${takes}, not ${shown(value)}`);
  }
  // a number that is not NaN (infinities are places too: beyond either end)
  function number(call, what, v) {
    if (typeof v !== 'number' || Number.isNaN(v)) throw wrong(call, what, v);
    return v;
  }
  function string(call, what, v) {
    if (typeof v !== 'string') throw wrong(call, what, v);
    return v;
  }
  // a value as a task file has it: a number or its text
  function value(call, v) {
    if (typeof v !== 'number' && typeof v !== 'string') throw wrong(call, 'a number or a text', v);
    return v;
  }
  // the bytes of a Uint8Array, any other typed array or DataView, or an ArrayBuffer
  function bytesOf(call, v) {
    if (ArrayBuffer.isView(v)) return new Uint8Array(v.buffer, v.byteOffset, v.byteLength);
    const kind = Object.prototype.toString.call(v);
    if (kind === '[object ArrayBuffer]' || kind === '[object SharedArrayBuffer]') return new Uint8Array(v);
    throw wrong(call, "a file's bytes (a Uint8Array or an ArrayBuffer)", v);
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

  // the message of the latest load or setting, whole even with a zero byte in it
  function message(c) {
    const at = c._hs_message();
    return new TextDecoder().decode(c.HEAPU8.subarray(at, at + c._hs_message_size()));
  }

  // Calls fn with each of `texts` as UTF-8 in the core's memory (pointer
  // and byte count, so that a NUL inside a text is kept); `tooLarge` is
  // the answer when the memory cannot hold them.
  function withBytes(texts, fn, tooLarge) {
    const c = need();
    const encoded = texts.map((t) => (t instanceof Uint8Array ? t : new TextEncoder().encode(t)));
    const at = encoded.map((b) => c._malloc(b.length + 1));
    try {
      if (at.some((p) => !p)) return tooLarge(encoded);
      encoded.forEach((b, i) => c.HEAPU8.set(b, at[i]));
      return fn(...encoded.flatMap((b, i) => [at[i], b.length]));
    } finally {
      at.forEach((p) => c._free(p));
    }
  }

  // a value as a task file has it: a number to the last bit (-0 too)
  function asText(value) {
    return Object.is(value, -0) ? '-0' : String(value);
  }

  // The bytes of a task file (a Uint8Array), named `label` in messages:
  // the desktop's reader takes the whole file or nothing.
  function loadBytes(bytes, label) {
    const c = need();
    const r = withBytes([bytes, label + '\0'], (data, size, labelAt) => {
      const ok = c._hs_load(data, size, labelAt) === 1;
      return { ok, message: message(c) };
    }, () => ({ ok: false, message: `${label}: too large to read (${bytes.length} bytes)` }));
    if (r.ok) {
      stopLoop();
      emit('run', 'file');
      emit('playback');
    }
    return r;
  }

  // A setting's change through fn(pointers...): the run anew, or the
  // refusal's message.
  function change(texts, fn) {
    const c = need();
    const r = withBytes(texts, (...args) => {
      const ok = fn(c, ...args) === 1;
      return { ok, message: message(c) };
    }, () => ({ ok: false, message: 'the value is too large to take' }));
    if (r.ok) {
      // the run is computed (docs/performance.md measures to here)
      mark('hybridsim-run-computed');
      emit('run', 'setting');
    }
    return r;
  }

  // A lesson call of the core with `texts`: its JSON answer, or an Error
  // with the core's line when it holds one.
  function lessonCall(texts, fn) {
    const r = withBytes(texts, (...args) => JSON.parse(need().UTF8ToString(fn(...args))),
      () => ({ error: 'too large to read' }));
    if (r.error !== undefined) throw new Error(r.error);
    return r;
  }

  // a performance mark, the latest of its name only
  function mark(name) {
    performance.clearMarks(name);
    performance.mark(name);
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

  // --- playback: one tick per display frame while playing, nothing while paused ---
  let loopId = 0;
  function tick(stamp) {
    loopId = 0;
    const r = core._hs_tick(stamp);
    if (r & 1) emit('frame');
    if (r & 2) loopId = requestAnimationFrame(tick);
    else emit('playback');  // it stopped at the last frame
  }
  function startLoop() {
    if (!loopId && core._hs_playing()) loopId = requestAnimationFrame(tick);
  }
  function stopLoop() {
    if (loopId) cancelAnimationFrame(loopId);
    loopId = 0;
  }
  // after a call that may have paused the playback and moved the frame
  function paused() {
    stopLoop();
    emit('frame');
    emit('playback');
  }

  // --- the animation download (web/gif_export.h): one at a time ---
  // the animation being made: {cancelled, reject}, or null
  let gifJob = null;
  // A new task after the ones waiting (a message to ourselves: not held back
  // to 4 ms as a chain of timeouts is), so that the page runs between frames.
  const nextTask = (() => {
    const channel = new MessageChannel();
    const waiting = [];
    channel.port1.onmessage = () => waiting.shift()();
    return () => new Promise((resolve) => {
      waiting.push(resolve);
      channel.port2.postMessage(0);
    });
  })();
  function gifError(text, name = 'Error') {
    const e = new Error('hybridsim.gif: ' + text);
    e.name = name;
    return e;
  }
  // the GIF's bytes the core made last, copied out of its memory
  function gifBytes(c) {
    const n = c._hs_gif_bytes_size();
    const at = c._hs_gif_bytes();
    return c.HEAPU8.slice(at, at + n);
  }
  // Every sample of the run as it is now, frame by frame, each in three
  // tasks of its own, so that the page runs between them: drawn on an
  // 800-pixel canvas by shape_view.js as the page draws it and read back;
  // its colours reduced; added to the core's GIF.
  async function makeGif(job, onProgress) {
    const c = core;
    const frames = c._hs_gif_begin();
    const step = async () => {
      await nextTask();
      return !job.cancelled;
    };
    const side = HybridsimShapeView.windowPixels;
    const canvas = document.createElement('canvas');
    canvas.width = side;
    canvas.height = side;
    const ctx = canvas.getContext('2d', { willReadFrequently: true });
    const chunks = [];
    for (let f = 0; f < frames; ++f) {
      if (!await step()) return null;
      const count = c._hs_gif_draw(f);
      HybridsimShapeView.draw(ctx, side, new Float64Array(c.HEAPF64.buffer, c._hs_shapes(), count), count,
                              new Uint8Array(c.HEAPU8.buffer, c._hs_text_bytes(), c._hs_text_size()));
      c.HEAPU8.set(ctx.getImageData(0, 0, side, side).data, c._hs_gif_pixels());
      if (!await step()) return null;
      c._hs_gif_reduce();
      if (!await step()) return null;
      if (!c._hs_gif_add()) throw gifError(`frame ${f}: ${message(c)}`);
      chunks.push(gifBytes(c));
      if (onProgress) {
        try {
          onProgress(f + 1, frames);
        } catch (e) {
          reportError(e);
        }
      }
    }
    c._hs_gif_finish();
    chunks.push(gifBytes(c));
    const bytes = new Uint8Array(chunks.reduce((n, b) => n + b.length, 0));
    chunks.reduce((at, b) => {
      bytes.set(b, at);
      return at + b.length;
    }, 0);
    return bytes;
  }
  // the core's animation forgotten, if it is still `job`'s
  function endGif(job) {
    if (gifJob !== job) return;
    gifJob = null;
    core._hs_gif_end();
  }

  const steps = new Map([['left', 0], ['right', 1], ['home', 2], ['end', 3]]);

  const api = {
    // settles when the core has computed the default task
    ready: null,

    // Reads a task file given as text (UTF-8); `name` names it in messages.
    loadTask(taskText, name = 'task.dat') {
      string('loadTask', "a task file's text", taskText);
      string('loadTask', 'a file name', name);
      return loadBytes(new TextEncoder().encode(taskText), name);
    },
    // The same for the raw bytes of a file (a Uint8Array, another typed
    // array or an ArrayBuffer).
    loadBytes(bytes, name = 'task.dat') {
      const data = bytesOf('loadBytes', bytes);
      string('loadBytes', 'a file name', name);
      return loadBytes(data, name);
    },

    // One setting by the name --set uses ('Fn', 'KH1', 'method', 'x0', ...),
    // its value a number or a text as a task file has it.
    set(name, v) {
      string('set', "a setting's name", name);
      value('set', v);
      return change([name, asText(v)], (c, n, nn, t, tn) => c._hs_set(n, nn, t, tn));
    },
    // Several settings at once, {name: value, ...} in that order, each by
    // set's rules, one run: {ok, message}, all taken or none (a setting
    // refused alone before another is tried again after the others).
    setAll(settings) {
      if (settings === null || typeof settings !== 'object' || Array.isArray(settings))
        throw wrong('setAll', 'settings {name: value, ...}', settings);
      const list = Object.entries(settings).map(([n, v]) => [n, asText(value('setAll', v))]);
      return change([JSON.stringify(list)], (c, t, tn) => c._hs_set_all(t, tn));
    },
    // The setting error in millimetres, as the console dialogue asks for it.
    setSetErrorMm(v) {
      value('setSetErrorMm', v);
      return change([asText(v)], (c, t, tn) => c._hs_set_seterror_mm(t, tn));
    },
    // The setting `name` in force as a task file holds it: a selector's key
    // ('a'), a word choice's word ('spring'), a number with 17 significant
    // digits ('inf' for a rigid workpiece) (set(name, get(name)) changes
    // nothing); null when no setting of that name is in force.
    get(name) {
      string('get', "a setting's name", name);
      const c = need();
      return withBytes([name], (n, nn) => (c._hs_get(n, nn) === 1 ? message(c) : null), () => null);
    },
    // the task as a robot data file, as the desktop's writer writes it
    taskText() {
      return text(() => core._hs_task_text());
    },

    csv() {
      return text(() => core._hs_csv());
    },
    // The settings report in `language` ('ja': the console's own, as
    // hybridsim-batch --report prints it; 'en': its English rendering), the
    // page's language when left out.
    report(language) {
      if (language !== undefined && language !== 'en' && language !== 'ja')
        throw wrong('report', "'en' or 'ja' (or nothing: the page's language)", language);
      const japanese = (language === undefined ? api.language : language) === 'ja';
      return text(() => core._hs_report(japanese ? 1 : 0));
    },
    summary() {
      return text(() => core._hs_summary());
    },
    // The notices of the latest run: how many points robot b could not
    // reach (count: the console's count of them, samples: the samples left
    // without a posture by them) with the console's lines (text) and the
    // first of them in English (detail), the line that the positioning time
    // is longer than the run ('' when it is not), and the notice that the
    // run's numbers stopped being numbers (English, then the console's
    // line; '').
    notice() {
      return {
        count: need()._hs_unreachable(),
        samples: core._hs_unreachable_samples(),
        text: text(() => core._hs_notice()),
        detail: text(() => core._hs_reach_detail()),
        runTooShort: text(() => core._hs_run_too_short()),
        runFault: text(() => core._hs_run_fault()),
      };
    },
    // the settings panel's sections and its fields' values (web/settings_panel.h)
    panelLayout() {
      return JSON.parse(text(() => core._hs_panel_layout()));
    },
    panelValues() {
      return JSON.parse(text(() => core._hs_panel_values()));
    },

    get frame() {
      return need()._hs_frame();
    },
    set frame(v) {
      const c = need();
      const f = Math.trunc(number('frame', 'a sample number', v));
      c._hs_set_frame(Math.max(-1, Math.min(f, c._hs_last_frame() + 1)));
      paused();
    },
    get lastFrame() {
      return need()._hs_last_frame();
    },
    // the teaching overlay (drawing/overlay.h): the contact frame, the forces,
    // the hand spring and robot b's reach over the robot; false at the start
    get overlay() {
      return need()._hs_overlay() === 1;
    },
    set overlay(on) {
      if (typeof on !== 'boolean') throw wrong('overlay', 'true or false', on);
      const c = need();
      if ((c._hs_overlay() === 1) === on) return;
      c._hs_set_overlay(on ? 1 : 0);
      emit('overlay');
    },
    // the recorded time of sample `frame` (the current one by default) [s]
    time(frame) {
      const c = need();
      if (frame === undefined) return c._hs_time(c._hs_frame());
      const last = c._hs_last_frame();
      if (!Number.isInteger(frame) || frame < 0 || frame > last) throw wrong('time', `a sample 0..${last}`, frame);
      return c._hs_time(frame);
    },

    // --- playback, as the window's keys ---
    get playing() {
      return need()._hs_playing() === 1;
    },
    // Space: plays from the frame shown (from the first at the last), or pauses
    toggle() {
      need()._hs_toggle_play(performance.now());
      if (core._hs_playing()) {
        startLoop();
        emit('frame');
        emit('playback');
      } else {
        paused();
      }
    },
    play() {
      if (!api.playing) api.toggle();
    },
    pause() {
      need()._hs_pause();
      paused();
    },
    // '+' / '-': twice or half the speed, 1/8 to 8 times real time
    faster() {
      if (need()._hs_faster(performance.now())) emit('playback');
    },
    slower() {
      if (need()._hs_slower(performance.now())) emit('playback');
    },
    // the speed as the console shows it: '1/8' .. '8'
    get speed() {
      return text(() => core._hs_speed_text());
    },
    // 'left', 'right' one sample back or on, 'home', 'end' the first or last; pauses
    step(where) {
      if (!steps.has(where)) throw wrong('step', "'left', 'right', 'home' or 'end'", where);
      need()._hs_step(steps.get(where));
      paused();
    },
    // the window's 's', '0' (a step, a jump: they pause), 'w', 'W' (zoom);
    // false for another key
    key(k) {
      string('key', 'a key as a text', k);
      const c = need();
      const was = c._hs_playing();
      if (k.length !== 1 || !c._hs_view_key(k.charCodeAt(0))) return false;
      if (was && !c._hs_playing()) paused();
      else emit('frame');
      return true;
    },
    // the window's keys the page offers: {' ': 'playPause', 's': 'step', ...}
    keys() {
      return JSON.parse(text(() => core._hs_keys()));
    },
    // Scrubbing in the time graphs at a point in window units ([-1, 1],
    // y up): a press inside a graph and each drag until the release jump
    // to the sample under it and pause.  inGraph says whether a point is in one.
    scrubPress(x, y) {
      const at = [number('scrubPress', 'x in window units', x), number('scrubPress', 'y in window units', y)];
      if (need()._hs_scrub_press(...at)) paused();
    },
    scrubDrag(x) {
      if (need()._hs_scrub_drag(number('scrubDrag', 'x in window units', x))) paused();
    },
    scrubRelease() {
      need()._hs_scrub_release();
    },
    inGraph(x, y) {
      const at = [number('inGraph', 'x in window units', x), number('inGraph', 'y in window units', y)];
      return need()._hs_in_graph(...at) === 1;
    },

    // the current frame's shapes and texts in painter's order
    shapes() {
      const p = picture();
      return HybridsimShapeView.decode(p.data, p.count, p.bytes);
    },
    // draws the current frame on a 2D context, a square of `size` pixels
    draw(ctx, size) {
      if (ctx === null || typeof ctx !== 'object' || typeof ctx.fillRect !== 'function')
        throw wrong('draw', 'a 2D canvas context', ctx);
      if (typeof size !== 'number' || !(size > 0) || !Number.isFinite(size))
        throw wrong('draw', 'a size in pixels greater than 0', size);
      const p = picture();
      HybridsimShapeView.draw(ctx, size, p.data, p.count, p.bytes);
    },

    // --- the study graphs (study/study_graphs.h), laid out studyWidth px wide ---
    // The SVG (an <svg> element's text, its last element an empty
    // <g class="cursor">) and the same in its parts {head, panels, tail}
    // (each panel's <g class="panel"> element), the force scale {lo, hi,
    // step, ticks, text} [N] (text: its ends as the axis writes them), the
    // runs drawn [{label, colour}] and the values at the frame shown
    // (studyCursor).
    studyGraphs() {
      const state = JSON.parse(text(() => core._hs_study_state()));
      state.parts = JSON.parse(text(() => core._hs_study_svg()));
      state.svg = state.parts.head + state.parts.panels.join('') + state.parts.tail;
      state.cursor = api.studyCursor();
      return state;
    },
    // The values of every run at sample `frame` (the one shown when left
    // out): {sample, runs: [{label, colour, sample, t, force, springForce,
    // Fn, sErr, distance, tipX, tipY, refX, refY, text: {...}}]}, SI units
    // (null: not a number), and the texts the graphs show, as the summary
    // writes them.
    studyCursor(frame) {
      const c = need();
      if (frame !== undefined) {
        const last = c._hs_last_frame();
        if (!Number.isInteger(frame) || frame < 0 || frame > last)
          throw wrong('studyCursor', `a sample 0..${last}`, frame);
      }
      return JSON.parse(text(() => core._hs_study_cursor(frame === undefined ? c._hs_frame() : frame)));
    },
    // the cursor's SVG elements at the frame shown, for the <g class="cursor">
    studyCursorSvg() {
      return text(() => core._hs_study_cursor_svg());
    },
    // the width the graphs are laid out at [px] (240 to 4000)
    get studyWidth() {
      return JSON.parse(text(() => core._hs_study_state())).width;
    },
    set studyWidth(w) {
      if (typeof w !== 'number' || !(w > 0) || !Number.isFinite(w))
        throw wrong('studyWidth', 'a width in pixels greater than 0', w);
      const before = api.studyWidth;
      need()._hs_study_set_width(w);
      if (api.studyWidth !== before) emit('graphs');
    },
    // The sample under x [px of the SVG] by the time axis's scale (the
    // first and last left and right of it); whether (x, y) is in a plot
    // area, where a press scrubs.
    studySampleAt(x) {
      return need()._hs_study_sample_at(number('studySampleAt', 'x in pixels of the graphs', x));
    },
    studyInGraph(x, y) {
      const at = [number('studyInGraph', 'x in pixels of the graphs', x),
                  number('studyInGraph', 'y in pixels of the graphs', y)];
      return need()._hs_study_in_plot(...at) === 1;
    },
    // fits the force scale to the runs drawn (it shrinks back)
    fitForceScale() {
      need()._hs_study_fit_force();
      emit('graphs');
    },

    // --- pins (study/compare.h): runs kept under the live one, at most 4 ---
    // Pins the run shown: {ok, message, pin, replaced} ('pinned as pin 2',
    // pin 2; a fifth takes the oldest one's place, replaced true, and says so).
    pin() {
      const c = need();
      const slot = c._hs_pin();
      const replaced = c._hs_pin_replaced() === 1;
      const message = text(() => core._hs_message());
      emit('pins');
      return { ok: true, message, pin: slot + 1, replaced };
    },
    // The pins in slot order: [{label, slot, colour, taskText, csv}], label
    // their legend line against the task in force, taskText and csv those
    // of the pin's own task as taskText() and csv() write them.
    pins() {
      return JSON.parse(text(() => core._hs_pins(1)));
    },
    // the pins' legend lines, slots and colours only, for the page's list
    pinLabels() {
      return JSON.parse(text(() => core._hs_pins(0)));
    },
    // forgets pins()[i]
    unpin(i) {
      const count = need()._hs_pin_count();
      if (!Number.isInteger(i) || i < 0 || i >= count)
        throw wrong('unpin', count === 0 ? 'the index of a pin, and there is no pin' : `the index of a pin, 0..${count - 1}`, i);
      core._hs_unpin(i);
      emit('pins');
    },
    clearPins() {
      const c = need();
      if (c._hs_pin_count() === 0) return;
      c._hs_clear_pins();
      emit('pins');
    },
    // The task back to the built-in defaults, shown from the first sample,
    // paused; the pins stay.
    resetDefaults() {
      need()._hs_reset_defaults();
      stopLoop();
      emit('run', 'defaults');
      emit('playback');
    },

    // --- the page's language and its links (task/task_link.h) ---
    // 'en' (at the start) or 'ja': what the page's own words are in, and what its links hold
    get language() {
      return text(() => core._hs_language());
    },
    set language(v) {
      if (v !== 'en' && v !== 'ja') throw wrong('language', "'en' or 'ja'", v);
      if (api.language === v) return;
      withBytes([v], (at, size) => need()._hs_set_language(at, size), () => 0);
      emit('language');
    },
    // The address that opens this state again: the page's address with the
    // fragment of the task, the frame shown, the overlay, the language and
    // the pins in place of its own.
    link() {
      const fragment = text(() => core._hs_link());
      return global.location.href.split('#')[0] + '#' + fragment;
    },
    // Opens a link -- a whole address, or its fragment with or without '#'
    // -- in place of the page's state: {ok, refused, skipped, skippedCount},
    // ok when every part of it was taken; `refused` why it was not read at
    // all (the defaults are shown then), `skipped` the first reasons of the
    // parts skipped ('KH1=-1: the spring constant KH1 [N/m] must be greater
    // than 0'), `skippedCount` how many.
    openLink(link) {
      string('openLink', 'a link or its fragment', link);
      const c = need();
      const hash = link.indexOf('#');
      // without '#', an address (the core's rule) has no fragment; anything else is one
      const isAddress = () => withBytes([link], (at, size) => c._hs_link_is_address(at, size) === 1, () => false);
      const fragment = hash >= 0 ? link.slice(hash + 1) : isAddress() ? '' : link;
      const open = (f) => withBytes([f], (at, size) => JSON.parse(c.UTF8ToString(c._hs_open_link(at, size))),
        () => null);
      // (a text the memory cannot hold is no link of this page's: the defaults)
      const r = open(fragment) || Object.assign(open(''), {
        refused: `the link is ${fragment.length} characters long, too long to read`,
      });
      stopLoop();
      emit('run', 'link');
      emit('pins');
      emit('overlay');
      emit('language');
      emit('goals');
      emit('playback');
      if (r.lessonAdded) emit('lessons');
      return { ok: r.refused === '' && r.skippedCount === 0, refused: r.refused, skipped: r.skipped,
               skippedCount: r.skippedCount };
    },

    // --- goals on the run's figures (study/goals.h) ---
    // Adds a goal 'NAME OP VALUE' (NAME one of goalNames(), OP <, <=, > or
    // >=): {ok, message}, message why not when refused; a 'goals' event.
    addGoal(goal) {
      string('addGoal', "a goal 'NAME OP VALUE'", goal);
      const why = withBytes([goal], (at, size) => text(() => core._hs_add_goal(at, size)),
        () => 'the goal is too long');
      if (why === '') emit('goals');
      return { ok: why === '', message: why };
    },
    // Forgets goals()[i]; a 'goals' event.
    removeGoal(i) {
      const count = JSON.parse(text(() => core._hs_goals())).length;
      if (!Number.isInteger(i) || i < 0 || i >= count)
        throw wrong('removeGoal', count === 0 ? 'the index of a goal, and there is no goal' : `the index of a goal, 0..${count - 1}`, i);
      core._hs_remove_goal(i);
      emit('goals');
    },
    // The goals on the run shown: [{goal, name, op, value, pass, actual, line}],
    // actual null where the figure does not exist ("none", which fails).
    goals() {
      return JSON.parse(text(() => need()._hs_goals()));
    },
    // The figures a goal may name: the numeric columns of the summary's CSV.
    goalNames() {
      return JSON.parse(text(() => need()._hs_goal_names()));
    },
    // The figures the Goals panel offers, those that make sense as goals:
    // [{column, title, unit, factor}], unit the one the page shows the
    // figure in ('mm', '%', 's', 'N', '' for a count), factor from the
    // column's own unit to it (1000 for m to mm).
    goalFigures() {
      return JSON.parse(text(() => need()._hs_goal_figures()));
    },
    // Adds a goal as the Goals panel does, its value typed in the figure's
    // unit (5 for 5 mm); kept, and carried in links, in the column's own
    // unit ('pos_err_max_m<=0.005'): {ok, refused, message, goal, shown,
    // most}, refused '' when taken, else 'value' (not a finite number),
    // 'full' (most goals kept), 'figure' or 'operator', with message an
    // English line; a 'goals' event.
    addShownGoal(column, op, v) {
      string('addShownGoal', "a figure's column name", column);
      string('addShownGoal', "a comparison '<', '<=', '>' or '>='", op);
      value('addShownGoal', v);
      const r = withBytes([column, op, asText(v)],
        (c, cs, o, os, t, ts) => JSON.parse(core.UTF8ToString(core._hs_add_shown_goal(c, cs, o, os, t, ts))),
        () => ({ refused: 'value', message: 'the value is too long', goal: '', shown: '' }));
      if (r.refused === '') emit('goals');
      return { ok: r.refused === '', ...r };
    },

    // --- the control loops ---
    // {stepSvg, polesSvg, zSvg, forceError, forceErrorNone, caption, from, until, zoomEnd, runEnd}:
    // two charts `width` px wide (240 to 4000; 420 when left out): the
    // recorded force with the summary's peak, rise and settling time marked
    // over the model's step in closed form (dashed), by default over the
    // first five time constants of the model's slowest force pole
    // (zoomEnd), with wholeRun over the whole run (to runEnd); and the
    // s-plane of both loops at equal scale (designed poles as crosses,
    // modelled as rings, the circles |s| = wn), the pins in both in their
    // colours; zSvg: under contact=spring with a control period the
    // z-plane of the sampled force loop with the unit circle, else ''.  forceError: the largest |F - closed form| [N] over the
    // samples in reach (null where it tells nothing, forceErrorNone saying
    // why); caption: the facts the panel's caption tells
    // (WebSession::loopsJson), from, until: the step's time axis [s].
    loops({ width = 420, wholeRun = false } = {}) {
      if (typeof width !== 'number' || !(width > 0) || !Number.isFinite(width))
        throw wrong('loops', 'a width in pixels greater than 0', width);
      if (typeof wholeRun !== 'boolean') throw wrong('loops', 'wholeRun true or false', wholeRun);
      return JSON.parse(text(() => need()._hs_loops(width, wholeRun ? 1 : 0)));
    },

    // {svg, width, height, panels, sampled, loops}: the loops' frequency response,
    // `width` px wide (240 to 4000): per loop |H| [dB] and the phase [deg]
    // over log frequency, designed dashed, model solid, sampled dotted,
    // bandwidth and peak marked, the pins' model responses; panels: each
    // panel's plot area in the SVG's units {system, magnitude, x0, x1, y0,
    // y1, lo, hi: log10 of the frequency [Hz] at x0 and x1, ylo, yhi};
    // sampled: the force loop's sampled response drawn; loops: [{system,
    // low, high}] the ranges [Hz] (WebSession::responseJson).
    response({ width = 420 } = {}) {
      if (typeof width !== 'number' || !(width > 0) || !Number.isFinite(width))
        throw wrong('response', 'a width in pixels greater than 0', width);
      return JSON.parse(text(() => need()._hs_response(width)));
    },
    // Loop `system`'s (1 position, 2 force) responses at `hz` [Hz]:
    // {system, hz, designed, model, sampled}, each {dB, deg} or null where
    // it is not computed there (outside its range; sampled: contact=spring
    // with a control period, up to the Nyquist frequency).
    loopResponseAt(system, hz) {
      if (system !== 1 && system !== 2) throw wrong('loopResponseAt', 'the loop 1 or 2', system);
      if (typeof hz !== 'number' || !(hz > 0) || !Number.isFinite(hz))
        throw wrong('loopResponseAt', 'a frequency in Hz greater than 0', hz);
      return JSON.parse(text(() => need()._hs_response_at(system, hz)));
    },
    // {svg, quantity, computed, none, zPlane, current, values, branches, at,
    // quantities}: the root locus of the model's force loop as `quantity`
    // ('fn2', 'alpha2', 'ratio': the stiffness ratio r under contact=spring,
    // 'period': the sampled loop's z under it with a control period) goes
    // from a tenth to ten times its value; quantities: those that apply now
    // (WebSession::locusJson).
    locus({ quantity = 'fn2', width = 420 } = {}) {
      if (!['fn2', 'alpha2', 'ratio', 'period'].includes(quantity))
        throw wrong('locus', "'fn2', 'alpha2', 'ratio' or 'period'", quantity);
      if (typeof width !== 'number' || !(width > 0) || !Number.isFinite(width))
        throw wrong('locus', 'a width in pixels greater than 0', width);
      return withBytes([quantity], (q, size) => JSON.parse(need().UTF8ToString(need()._hs_locus(q, size, width))),
        () => ({ computed: false, none: 'out of memory', svg: '' }));
    },

    // --- the lessons: those that come with the program, then the session's own ---
    // [{title, link, own}] in the page's language; link the fragment (an
    // own lesson's, one read or made here, carries the lesson: lesson=).
    lessons() {
      return JSON.parse(text(() => need()._hs_lessons()));
    },
    // lessons()[i] as a student reads it, in the page's language: {title,
    // text, hint}, every figure filled in from the lesson's own runs.
    lessonCard(i) {
      const count = api.lessons().length;
      if (!Number.isInteger(i) || i < 0 || i >= count) throw wrong('lessonCard', `the index of a lesson, 0..${count - 1}`, i);
      return JSON.parse(text(() => need()._hs_lesson_card(i)));
    },
    // Opens lessons()[i] as its link opens: the same events.
    openLesson(i) {
      const count = api.lessons().length;
      if (!Number.isInteger(i) || i < 0 || i >= count) throw wrong('openLesson', `the index of a lesson, 0..${count - 1}`, i);
      return api.openLink(api.lessons()[i].link);
    },
    // Adds the lessons of a lesson file (its text), whole or none: {first,
    // count, added, indices}, indices each one's place in lessons() (a
    // lesson already there is not added again); an Error with the reader's
    // line when the file is refused.  A 'lessons' event when one is new.
    readLessons(fileText) {
      string('readLessons', "a lesson file's text", fileText);
      const r = lessonCall([fileText], (at, size) => core._hs_read_lessons(at, size));
      if (r.added > 0) emit('lessons');
      return r;
    },
    // The lesson object made from the page's state as it stands (task,
    // pins, overlay, frame, goals) and `draft` {title: {en, ja}, text:
    // {en, ja}, hint: {en, ja}, fix: ['NAME=VALUE', ...], free: [names] or
    // null}; an Error naming what is refused (no title, a placeholder, a
    // fix item).  addLesson adds it.
    lessonFromState(draft) {
      if (draft === null || typeof draft !== 'object' || Array.isArray(draft))
        throw wrong('lessonFromState', 'a draft {title, text, hint, fix, free}', draft);
      return lessonCall([JSON.stringify(draft)], (at, size) => core._hs_lesson_from_state(at, size)).lesson;
    },
    // Adds a lesson object: its index in lessons(); an Error when refused.
    addLesson(lesson) {
      if (lesson === null || typeof lesson !== 'object' || Array.isArray(lesson))
        throw wrong('addLesson', 'a lesson object', lesson);
      const before = api.lessons().length;
      const r = lessonCall([JSON.stringify(lesson)], (at, size) => core._hs_add_lesson(at, size));
      if (r.index >= before) emit('lessons');
      return r.index;
    },
    // The lesson file's text of lessons()[i] for each i of `indices`.
    lessonFile(indices) {
      if (!Array.isArray(indices)) throw wrong('lessonFile', 'the indices of lessons [i, ...]', indices);
      return lessonCall([JSON.stringify(indices)], (at, size) => core._hs_lesson_file(at, size)).text;
    },
    // The settings (--set names) the lesson open locks now: [] when none.
    // set and setAll refuse a change of one ('fn2 is locked by the lesson').
    lockedSettings() {
      return JSON.parse(text(() => need()._hs_locked_settings()));
    },
    // The goals on the run shown: {passed, total, fraction, goals: [{goal,
    // figure, operator, value, measured, pass}]} (measured null when the
    // figure is none), as hybridsim-batch --goals-format json writes them.
    goalResults() {
      return JSON.parse(text(() => need()._hs_goal_results()));
    },

    // --- the animation download ---
    // An animated GIF of every sample of the run shown (0..lastFrame), as
    // the page draws it (pins, overlay and zoom as they are now; changes
    // made meanwhile go into the next one), 800 x 800 pixels, 4/100 s a
    // frame, looping: a promise of its bytes (a Uint8Array).  Made frame by
    // frame between the page's own work; onProgress(done, total) is called
    // after each frame.  One at a time: while one is made, another request
    // is refused (its promise rejects at once); cancelGif() rejects the
    // promise with an AbortError.
    gif(options = {}) {
      if (options === null || typeof options !== 'object') throw wrong('gif', 'options {onProgress}', options);
      const onProgress = options.onProgress;
      if (onProgress !== undefined && typeof onProgress !== 'function')
        throw wrong('gif', 'onProgress a function (done, total)', onProgress);
      need();
      if (gifJob) return Promise.reject(gifError('an animation is being made already: wait for it, or cancelGif()'));
      const job = { cancelled: false, reject: null };
      gifJob = job;
      return new Promise((resolve, reject) => {
        job.reject = reject;
        makeGif(job, onProgress).then((bytes) => {
          if (job.cancelled) return;
          endGif(job);
          resolve(bytes);
        }, (e) => {
          if (job.cancelled) return;
          endGif(job);
          reject(e);
        });
      });
    },
    // whether an animation is being made
    get gifBusy() {
      return gifJob !== null;
    },
    // Cancels the animation being made: its promise rejects with an
    // AbortError ('hybridsim.gif: cancelled') at once.  False when none is.
    cancelGif() {
      const job = gifJob;
      if (!job) return false;
      job.cancelled = true;
      endGif(job);
      job.reject(gifError('cancelled', 'AbortError'));
      return true;
    },

    on(event, fn) {
      if (!listeners.has(event)) {
        throw wrong('on',
          "the event 'run', 'frame', 'playback', 'graphs', 'pins', 'overlay', 'language', 'goals' or 'lessons'", event);
      }
      if (typeof fn !== 'function') throw wrong('on', 'a function to call', fn);
      listeners.get(event).push(fn);
    },
  };

  // --- the design map of the force loop ---
  // {svg, frame, x, y, columns, rows, values, pass, figure, current, checked, leftOut, spring, sampled}
  // (WebSession::designMapJson): the plane of fn2 (log scale, across) and
  // alpha2 or zeta2 (plane 'alpha' or 'zeta', up), `width` px wide, each
  // cell coloured by the figure (a column of designMapFigures()) of the
  // model's force step in closed form, the goals'
  // pass region outlined, the current design a ring; frame: the plot area in
  // the SVG's units, x and y the axes' {name, unit, lo, hi, log}.  The
  // ranges xRange, yRange ([lo, hi]) are kept when given, else the map lies
  // around the current design.  designMapFigures(): the figures' columns,
  // the first the default.
  const mapPlanes = ['alpha', 'zeta'];
  let mapFigures = null;
  api.designMapFigures = function designMapFigures() {
    if (!mapFigures) mapFigures = JSON.parse(text(() => need()._hs_design_map(240, 0, -1, 0, 0, 0, 0))).figures;
    return mapFigures.slice();
  };
  api.designMap = function designMap({ width = 420, plane = 'alpha', figure = undefined, xRange = null,
    yRange = null } = {}) {
    if (typeof width !== 'number' || !(width > 0) || !Number.isFinite(width))
      throw wrong('designMap', 'a width in pixels greater than 0', width);
    if (!mapPlanes.includes(plane)) throw wrong('designMap', "plane 'alpha' or 'zeta'", plane);
    const figures = api.designMapFigures();
    if (figure === undefined) figure = figures[0];
    if (!figures.includes(figure)) throw wrong('designMap', `figure one of ${figures.join(', ')}`, figure);
    const range = (what, r) => {
      if (r === null) return [0, 0];
      if (!Array.isArray(r) || r.length !== 2 || !r.every((v) => typeof v === 'number' && Number.isFinite(v)))
        throw wrong('designMap', `${what} [lo, hi] of finite numbers`, r);
      return r;
    };
    const [xLo, xHi] = range('xRange', xRange);
    const [yLo, yHi] = range('yRange', yRange);
    return JSON.parse(text(() => need()._hs_design_map(width, mapPlanes.indexOf(plane), figures.indexOf(figure),
      xLo, xHi, yLo, yHi)));
  };

  // --- the picture in words (study/sample_description.h) ---
  // The frame shown as a paragraph in the page's language: the time, the
  // contact, F against Fn, the tip's distances from the workpiece and the
  // command point, the samples out of reach: the text alternative of the picture.
  api.describe = function describe() {
    return text(() => need()._hs_describe());
  };

  // The page as one file carries the core's WebAssembly packed (gzip in
  // base64, web/pack_core.py): unpacked here and handed to the core, which
  // then leaves its own (emptied) copy alone.
  function coreOptions() {
    const packed = global.hybridsimPackedCore;
    if (typeof packed !== 'string') return Promise.resolve({});
    const bytes = Uint8Array.from(atob(packed), (c) => c.charCodeAt(0));
    const unpacked = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Response(unpacked).arrayBuffer().then((wasmBinary) => ({ wasmBinary }));
  }

  api.ready = coreOptions().then((options) => createHybridsimCore(options)).then((module) => {
    module._hs_start();
    core = module;
    HybridsimShapeView.useCore(JSON.parse(text(() => core._hs_drawing())));
    emit('run', 'start');
    return api;
  });

  global.hybridsim = api;
})(window);
