// The browser edition's figures in Debian's Chromium, headless
// (docs/performance.md): medians of
//   - opening the page from file:// to the first picture on the canvas;
//   - recomputing the default task (the task file read, derivation, run) in
//     WebAssembly, and the same run natively (hybridsim-bench); the same task
//     under contact=spring, continuous and with a 1 ms control period;
//   - redrawing the last frame of the default run on an 800 x 800 canvas:
//     recording the shapes in WebAssembly, drawing them, rasterising until a
//     pixel can be read; and the recording alone;
//   - a settings change typed in the panel (a key in the Fn field): from the
//     key's event to the new run computed, to its picture (the last frame)
//     drawn and rasterised on the page's canvas, and to the animation-frame
//     callbacks of the display frame that shows it; again with four runs
//     pinned; again under contact=spring, continuous and with a 1 ms control
//     period; again with the study graphs in view, to their SVG laid out anew;
//     again with two goals, the control loops panel and the summary in view,
//     to those three shown anew;
//   - the same keys with the study graphs, the control loops panel, two
//     goals and four pins in view: to the picture, and to the graphs and
//     loops drawn after it; and a drag of fn2 (hybridsim.set on each
//     animation frame for 2 s): the runs shown per second, and from each
//     set to the study graphs, the loops charts and the goals drawn anew;
//   - the study graphs alone: the whole SVG made and laid out, and the
//     cursor of a new frame (what playing redraws);
//   - the control loops panel after a run, without pins and with four: its
//     charts made, put in the page and laid out, and their size;
//   - the design map (hybridsim.designMap): its 60 x 60 cells, SVG and JSON;
//   - the animation download of the default run (hybridsim.gif(), 201
//     frames): its time, its size, and the longest the page waits for a
//     task meanwhile (a timer's lateness), on a fresh page and again;
//   - the weight of the page's files, the page as one file (hybridsim.html)
//     and its opening from file://.
//
//   node tests/web/bench.mjs --site build-web/site --native-bench build/bench/hybridsim-bench
// With --typing only the settings changes typed in the panel are measured;
// with --panels only those with the panels and the pins in view, and the drag.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage, pathOption, root } from './browser.mjs';

const site = pathOption('--site', path.join(root, 'build-web', 'site'));
const oneFile = pathOption('--one-file', path.join(site, '..', 'hybridsim.html'));
const nativeBench = pathOption('--native-bench', path.join(root, 'build', 'bench', 'hybridsim-bench'));
const loads = 15;   // page openings
const repeats = 50; // recomputations and redraws
const typingOnly = process.argv.includes('--typing');
// with --panels only the keys and the drag with the panels and pins in view
const panelsOnly = process.argv.includes('--panels');

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  const m = s.length >> 1;
  return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
};
const ms = (x) => x.toFixed(x < 10 ? 2 : 1) + ' ms';
const ninetieth = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(0.9 * (xs.length - 1))];

// The caret at the end of the panel's Fn field.
const toFnsEnd = (page) => page.$eval('[data-field="Fn"]', (e) => {
  e.focus();
  e.setSelectionRange(e.value.length, e.value.length);
});
// `repeats` keys in the Fn field, a '1' and a Backspace in turn, a key at a
// time as typed by hand: each after the page's record of the one before
// (the last of window.changes) has its field `last` set; gives the records.
const typeKeyByKey = async (page, last) => {
  await toFnsEnd(page);
  for (let i = 0; i < repeats; ++i) {
    await page.keyboard.press(i % 2 ? 'Backspace' : 'Digit1');
    await page.waitForFunction((n, field) => window.changes.length === n && window.changes[n - 1][field] > 0,
                               { polling: 20, timeout: 30000 }, i + 1, last);
  }
  return page.evaluate(() => window.changes);
};

const chromium = await launchBrowser();
const problems = [];
try {
  const url = pathToFileURL(path.join(site, 'index.html')).href;

  // opening the page: navigation start to the first picture
  const opening = [];
  for (let i = 0; i < (typingOnly ? 0 : loads); ++i) {
    const page = await openPage(chromium.browser, url, problems);
    opening.push(await page.evaluate(() => performance.getEntriesByName('hybridsim-first-picture')[0].startTime));
    await page.close();
  }

  const page = await openPage(chromium.browser, url, problems);
  const defaultTask = fs.readFileSync(path.join(root, 'tests', 'task', 'data', 'default_task.dat'), 'utf8');
  const inPage = await page.evaluate(async (taskText, n) => {
    // a core of its own, so that only the computation is timed
    const core = await createHybridsimCore();
    core._hs_start();
    const bytes = new TextEncoder().encode(taskText);
    const data = core._malloc(bytes.length);
    const name = core._malloc(16);
    core.HEAPU8.set(bytes, data);
    core.stringToUTF8('default.dat', name, 16);
    const recompute = [];
    for (let i = 0; i < n; ++i) {
      const t0 = performance.now();
      core._hs_load(data, bytes.length, name);
      recompute.push(performance.now() - t0);
    }
    // the same task under contact=spring, continuous and with a 1 ms control period
    const springRecompute = [];
    for (const tail of ['contact spring\n', 'contact spring period 0.001\n']) {
      const spring = new TextEncoder().encode(taskText + tail);
      const at = core._malloc(spring.length);
      core.HEAPU8.set(spring, at);
      const times = [];
      for (let i = 0; i < n; ++i) {
        const t0 = performance.now();
        if (core._hs_load(at, spring.length, name) !== 1) throw new Error(`${tail.trim()}: not read`);
        times.push(performance.now() - t0);
      }
      core._free(at);
      springRecompute.push(times);
    }
    core._hs_load(data, bytes.length, name);

    // the last frame at 800 x 800: the shapes recorded in WebAssembly
    // alone (the second core), then the page's whole redraw (recording,
    // drawing and rasterising until a pixel can be read)
    core._hs_set_frame(200);
    const record = [];
    for (let i = 0; i < n; ++i) {
      const t0 = performance.now();
      core._hs_draw();
      record.push(performance.now() - t0);
    }
    const canvas = document.createElement('canvas');
    canvas.width = 800;
    canvas.height = 800;
    const ctx = canvas.getContext('2d');
    hybridsim.frame = hybridsim.lastFrame;
    const redraw = [];
    for (let i = 0; i < n; ++i) {
      const t0 = performance.now();
      hybridsim.draw(ctx, 800);
      ctx.getImageData(0, 0, 1, 1);
      redraw.push(performance.now() - t0);
    }
    return { recompute, springRecompute, record, redraw };
  }, defaultTask, repeats);
  await page.close();

  // a settings change typed in the panel: the Fn field gets a '1' at its end
  // and loses it again, a new run for each key, shown at its last frame
  // (with `pinned` runs pinned first: 5, 15, 25, 35 N, the task then back to
  // its Fn; with the teaching overlay when `overlay`; the task's `settings`,
  // [name, value] pairs, set first)
  const typeFn = async (pinned, overlay = false, settings = []) => {
  const typing = await openPage(chromium.browser, url, problems);
  await typing.evaluate(([n, overlay, settings]) => {
    for (const [name, value] of settings)
      if (!hybridsim.set(name, value).ok) throw new Error(`${name}=${value} refused`);
    hybridsim.overlay = overlay;
    for (let k = 0; k < n; ++k) {
      hybridsim.set('Fn', 5 + 10 * k);
      hybridsim.pin();
    }
    if (n > 0) hybridsim.set('Fn', 10);
    hybridsim.frame = hybridsim.lastFrame;
    const input = document.querySelector('[data-field="Fn"]');
    window.changes = [];
    let key = 0;
    document.addEventListener('keydown', (e) => { key = e.timeStamp; }, true);
    // after the panel's own listener: the picture rasterised, then the next display frame
    input.addEventListener('input', () => {
      const at = (name) => performance.getEntriesByName(name)[0].startTime;
      const computed = at('hybridsim-run-computed');
      const drawn = at('hybridsim-run-drawn');
      document.getElementById('view').getContext('2d').getImageData(0, 0, 1, 1);
      const change = { key, computed, drawn, rasterised: performance.now(), frame: 0 };
      window.changes.push(change);
      requestAnimationFrame(() => { change.frame = performance.now(); });
    });
  }, [pinned, overlay, settings]);
  await toFnsEnd(typing);
  for (let i = 0; i < repeats; ++i) await typing.keyboard.press(i % 2 ? 'Backspace' : 'Digit1');
  await typing.waitForFunction((n) => window.changes.length === n && window.changes.every((c) => c.frame > 0),
                               { polling: 50, timeout: 30000 }, repeats);
  const changes = await typing.evaluate(() => window.changes);
  await typing.close();
  return changes;
  };
  const typed = async (...args) => (panelsOnly ? [] : typeFn(...args));
  const changes = await typed(0);
  const pinnedChanges = await typed(4);
  const overlaidChanges = await typed(4, true);
  // the contact lab's model: the measured force fed back, continuously and at 1 ms
  const springChanges = await typed(0, false, [['contact', 'spring']]);
  const sampledChanges = await typed(0, false, [['contact', 'spring'], ['period', 0.001]]);

  // the same with two goals, the control loops panel and the summary in
  // view (a page tall enough to show them all): the picture first, then,
  // after the display frame that shows it (as the page updates them), the
  // goals checked, the poles and force step drawn and the summary written
  let panelChanges = [];
  if (!panelsOnly) {
  const withPanels = await openPage(chromium.browser, url, problems);
  await withPanels.setViewport({ width: 1280, height: 3000 });
  await withPanels.evaluate(() => {
    hybridsim.frame = hybridsim.lastFrame;
    for (const g of ['overshoot_pct <= 5', 'settling_t_s <= 0.3']) hybridsim.addGoal(g);
    document.getElementById('loops').open = true;
  });
  await withPanels.waitForFunction(() => !document.getElementById('summary').classList.contains('stale') &&
                                   document.querySelector('#loops-chart svg') !== null,
                                   { polling: 50, timeout: 30000 });
  await withPanels.evaluate(() => {
    const input = document.querySelector('[data-field="Fn"]');
    const summary = document.getElementById('summary');
    const chart = document.getElementById('loops-chart');
    const goals = document.getElementById('goal-list');
    window.changes = [];
    let key = 0;
    document.addEventListener('keydown', (e) => { key = e.timeStamp; }, true);
    input.addEventListener('input', () => {
      document.getElementById('view').getContext('2d').getImageData(0, 0, 1, 1);
      const before = { svg: chart.firstElementChild, goal: goals.firstElementChild };
      const change = { key, rasterised: performance.now(), frame: 0, panels: 0, panelsFrame: 0, shown: false };
      window.changes.push(change);
      requestAnimationFrame(() => {
        change.frame = performance.now();
        // after the page's own tasks of that frame (asked for before this one)
        setTimeout(() => {
          void document.body.getBoundingClientRect();
          change.panels = performance.now();
          change.shown = !summary.classList.contains('stale') && chart.firstElementChild !== before.svg &&
            goals.firstElementChild !== before.goal;
          requestAnimationFrame(() => { change.panelsFrame = performance.now(); });
        }, 0);
      });
    });
  });
  panelChanges = await typeKeyByKey(withPanels, 'panelsFrame');
  await withPanels.close();
  if (!panelChanges.every((c) => c.shown)) problems.push('the goals, loops or summary were not shown anew after a key');
  }

  // With the study graphs, the control loops panel and two goals on the
  // screen and four runs pinned (fn2 20, 60, 5 and 10 Hz): the same keys in
  // the Fn field, to the picture; then a drag of fn2 as the loops panel's
  // handles make it, hybridsim.set('fn2', ...) on each animation frame for
  // `dragMs`: the runs shown per second, and from each set to the study
  // graphs, the loops charts and the goals drawn anew after it (their
  // marks, and the goal list's change).
  const dragMs = 2000;
  const busyPage = async () => {
    const busy = await openPage(chromium.browser, url, problems);
    await busy.setViewport({ width: 1280, height: 3000 });
    await busy.evaluate(() => {
      for (const fn2 of [20, 60, 5, 10]) {
        hybridsim.set('fn2', fn2);
        hybridsim.pin();
      }
      hybridsim.frame = hybridsim.lastFrame;
      for (const g of ['overshoot_pct <= 5', 'settling_t_s <= 0.3']) hybridsim.addGoal(g);
      document.getElementById('loops').open = true;
      document.getElementById('study').open = true;
    });
    await busy.waitForFunction(() => document.querySelector('#loops-chart svg') !== null &&
                               document.querySelector('#study-graphs .cursor-line') !== null &&
                               !document.getElementById('study-graphs').dataset.stale &&
                               hybridsim.pins().length === 4,
                               { polling: 50, timeout: 30000 });
    return busy;
  };
  const busyKeys = await busyPage();
  await busyKeys.evaluate(() => {
    const input = document.querySelector('[data-field="Fn"]');
    const chart = document.getElementById('loops-chart');
    const graphs = document.getElementById('study-graphs');
    window.changes = [];
    let key = 0;
    document.addEventListener('keydown', (e) => { key = e.timeStamp; }, true);
    input.addEventListener('input', () => {
      const at = (name) => performance.getEntriesByName(name)[0].startTime;
      document.getElementById('view').getContext('2d').getImageData(0, 0, 1, 1);
      const before = chart.firstElementChild;
      const change = { key, computed: at('hybridsim-run-computed'), drawn: at('hybridsim-run-drawn'),
                       rasterised: performance.now(), frame: 0, panels: 0 };
      window.changes.push(change);
      requestAnimationFrame(() => {
        change.frame = performance.now();
        // each key after the panels of the one before are drawn
        const drawn = () => {
          if (chart.firstElementChild === before || graphs.dataset.stale) {
            setTimeout(drawn, 0);
            return;
          }
          change.panels = performance.now();
        };
        setTimeout(drawn, 0);
      });
    });
  });
  const busyChanges = await typeKeyByKey(busyKeys, 'panels');
  await busyKeys.close();

  const busyDrag = await busyPage();
  const drag = await busyDrag.evaluate(async (ms) => {
    const sets = [];
    const marks = { graphs: [], loops: [], goals: [] };
    const seen = new PerformanceObserver((list) => {
      for (const e of list.getEntries()) {
        if (e.name === 'hybridsim-graphs-drawn') marks.graphs.push(e.startTime);
        if (e.name === 'hybridsim-loops-drawn') marks.loops.push(e.startTime);
      }
    });
    seen.observe({ entryTypes: ['mark'] });
    const goals = new MutationObserver(() => marks.goals.push(performance.now()));
    goals.observe(document.getElementById('goal-list'), { childList: true });
    const canvas = document.getElementById('view').getContext('2d');
    const t0 = performance.now();
    let frames = 0;
    await new Promise((done) => {
      const step = (now) => {
        ++frames;
        if (now - t0 > ms) {
          done();
          return;
        }
        // fn2 from 8 to 12 Hz and back, as a hand drags it
        const fn2 = 10 + 2 * Math.sin(sets.length / 10);
        const at = performance.now();
        if (!hybridsim.set('fn2', fn2).ok) throw new Error(`fn2=${fn2} refused`);
        canvas.getImageData(0, 0, 1, 1);  // the picture rasterised in this frame
        sets.push({ at, shown: performance.now() });
        requestAnimationFrame(step);
      };
      requestAnimationFrame(step);
    });
    const elapsed = performance.now() - t0;
    // the last panels of the drag drawn: the graphs, the loops and the goals
    // after the last set, or 5 s gone
    const until = performance.now() + 5000;
    const last = sets.at(-1).at;
    const pending = () => [marks.graphs, marks.loops, marks.goals].some((m) => (m.at(-1) ?? 0) < last);
    while (performance.now() < until && pending()) await new Promise((r) => setTimeout(r, 10));
    seen.disconnect();
    goals.disconnect();
    // from each set to the first drawing of each after it
    const after = (list, t) => {
      const x = list.find((m) => m >= t);
      return x === undefined ? Infinity : x - t;
    };
    return {
      runs: sets.length,
      frames,
      elapsed,
      picture: sets.map((s) => s.shown - s.at),
      graphs: sets.map((s) => after(marks.graphs, s.at)),
      loops: sets.map((s) => after(marks.loops, s.at)),
      goals: sets.map((s) => after(marks.goals, s.at)),
    };
  }, dragMs);
  await busyDrag.close();

  const oldTypingLines = () => {
    const typed = (fn) => ms(median(changes.map(fn)));
    console.log(`a key in the panel's Fn field (medians of ${changes.length}): ` +
                `to the run computed ${typed((c) => c.computed - c.key)}, ` +
                `then to its picture drawn ${typed((c) => c.drawn - c.computed)} ` +
                `and rasterised ${typed((c) => c.rasterised - c.computed)}; ` +
                `key to picture ${typed((c) => c.rasterised - c.key)}; ` +
                `key to the display frame that shows it (its animation callbacks) ${typed((c) => c.frame - c.key)}; ` +
                `90th percentile of key to picture ${ms(ninetieth(changes.map((c) => c.rasterised - c.key)))}`);
    const pinTyped = (fn) => ms(median(pinnedChanges.map(fn)));
    console.log(`the same with 4 pins (medians of ${pinnedChanges.length}): ` +
                `to the run computed ${pinTyped((c) => c.computed - c.key)}, ` +
                `key to picture ${pinTyped((c) => c.rasterised - c.key)}, ` +
                `key to the display frame that shows it ${pinTyped((c) => c.frame - c.key)}; ` +
                `90th percentile of key to picture ${ms(ninetieth(pinnedChanges.map((c) => c.rasterised - c.key)))}`);
    const overlaidTyped = (fn) => ms(median(overlaidChanges.map(fn)));
    console.log(`the same with 4 pins and the overlay (medians of ${overlaidChanges.length}): ` +
                `key to picture ${overlaidTyped((c) => c.rasterised - c.key)}, ` +
                `key to the display frame that shows it ${overlaidTyped((c) => c.frame - c.key)}`);
    for (const [what, springTyped] of [['contact=spring', springChanges],
                                       ['contact=spring, period=0.001', sampledChanges]]) {
      const typed = (fn) => ms(median(springTyped.map(fn)));
      console.log(`the same under ${what} (medians of ${springTyped.length}): ` +
                  `to the run computed ${typed((c) => c.computed - c.key)}, ` +
                  `key to picture ${typed((c) => c.rasterised - c.key)}, ` +
                  `key to the display frame that shows it ${typed((c) => c.frame - c.key)}; ` +
                  `90th percentile of key to picture ${ms(ninetieth(springTyped.map((c) => c.rasterised - c.key)))}`);
    }
    const panelTyped = (fn) => ms(median(panelChanges.map(fn)));
    console.log(`the same with two goals, the control loops and the summary in view (medians of ${panelChanges.length}): ` +
                `key to picture ${panelTyped((c) => c.rasterised - c.key)}, ` +
                `key to the display frame that shows it ${panelTyped((c) => c.frame - c.key)} ` +
                `(90th percentile ${ms(ninetieth(panelChanges.map((c) => c.frame - c.key)))}); ` +
                `to the goals, loops and summary shown anew after it ${panelTyped((c) => c.panels - c.key)}, ` +
                `to the display frame that shows them ${panelTyped((c) => c.panelsFrame - c.key)}`);
  };
  const typingLines = () => {
    if (!panelsOnly) oldTypingLines();
    const busyTyped = (fn) => ms(median(busyChanges.map(fn)));
    console.log(`the same with the study graphs, the control loops, two goals and 4 pins in view ` +
                `(medians of ${busyChanges.length}): to the run computed ${busyTyped((c) => c.computed - c.key)}, ` +
                `its picture drawn ${busyTyped((c) => c.drawn - c.key)}, ` +
                `key to picture ${busyTyped((c) => c.rasterised - c.key)} ` +
                `(90th percentile ${ms(ninetieth(busyChanges.map((c) => c.rasterised - c.key)))}), ` +
                `key to the display frame that shows it ${busyTyped((c) => c.frame - c.key)}; ` +
                `to the graphs and loops drawn after it ${busyTyped((c) => c.panels - c.key)}`);
    const worst = drag.picture.map((_, i) => Math.max(drag.graphs[i], drag.loops[i], drag.goals[i]));
    console.log(`a drag of fn2 with the same in view, hybridsim.set on each animation frame for ${dragMs / 1000} s: ` +
                `${(drag.runs / (drag.elapsed / 1000)).toFixed(1)} runs shown per second (${drag.runs} runs, ` +
                `${drag.frames} frames), set to picture rasterised ${ms(median(drag.picture))}; from a set to ` +
                `the study graphs drawn ${ms(median(drag.graphs))}, the loops charts ${ms(median(drag.loops))}, ` +
                `the goals ${ms(median(drag.goals))}, all three ${ms(median(worst))} ` +
                `(90th percentile ${ms(ninetieth(worst))}) (medians)`);
  };
  if (typingOnly || panelsOnly) {
    typingLines();
    if (problems.length) console.log(`page trouble: ${problems.join('; ')}`);
  } else {

    // the same with the study graphs in view: the SVG laid out anew for each key
    const withGraphs = await openPage(chromium.browser, url, problems);
    await withGraphs.evaluate(() => {
      hybridsim.frame = hybridsim.lastFrame;
      document.getElementById('study').scrollIntoView();
    });
    await withGraphs.waitForFunction(() => document.querySelector('#study-graphs .cursor-line') !== null,
                                     { polling: 50, timeout: 30000 });
    await withGraphs.evaluate(() => {
      const input = document.querySelector('[data-field="Fn"]');
      window.changes = [];
      let key = 0;
      document.addEventListener('keydown', (e) => { key = e.timeStamp; }, true);
      const holder = document.getElementById('study-graphs');
      // after the page's own listener: the picture rasterised, the next display
      // frame; then (after that frame, as the page draws them) the graphs' SVG
      // made, put in the page and laid out, and the display frame after it
      input.addEventListener('input', () => {
        const at = (name) => performance.getEntriesByName(name)[0].startTime;
        document.getElementById('view').getContext('2d').getImageData(0, 0, 1, 1);
        const change = { key, computed: at('hybridsim-run-computed'), rasterised: performance.now(), frame: 0,
                         graphs: 0, graphsFrame: 0 };
        window.changes.push(change);
        const drawn = () => {
          if (holder.dataset.stale) {
            setTimeout(drawn, 0);
            return;
          }
          void holder.getBoundingClientRect();  // style and layout of the SVG
          change.graphs = performance.now();
          const at = (name) => performance.getEntriesByName(name)[0].startTime;
          change.graphsWork = at('hybridsim-graphs-drawn') - at('hybridsim-graphs-start');
          requestAnimationFrame(() => { change.graphsFrame = performance.now(); });
        };
        requestAnimationFrame(() => {
          change.frame = performance.now();
          setTimeout(drawn, 0);
        });
      });
    });
    // each key after the graphs of the one before are on the screen
    const graphChanges = await typeKeyByKey(withGraphs, 'graphsFrame');
    // the graphs alone: the whole SVG, and the cursor of each frame as playing draws it
    const graphs = await withGraphs.evaluate((n) => {
      const holder = document.getElementById('study-graphs');
      const whole = [];
      for (let i = 0; i < n; ++i) {
        const t0 = performance.now();
        holder.innerHTML = hybridsim.studyGraphs().svg;
        holder.querySelector('g.cursor').innerHTML = hybridsim.studyCursorSvg();
        void holder.getBoundingClientRect();
        whole.push(performance.now() - t0);
      }
      const made = [];
      for (let i = 0; i < n; ++i) {
        const t0 = performance.now();
        hybridsim.studyGraphs();
        made.push(performance.now() - t0);
      }
      const cursor = [];
      const g = holder.querySelector('g.cursor');
      for (let f = 0; f <= hybridsim.lastFrame; ++f) {
        hybridsim.frame = f;  // the page's own redraw: the canvas and the cursor
        const t0 = performance.now();
        g.innerHTML = hybridsim.studyCursorSvg();
        void holder.getBoundingClientRect();
        cursor.push(performance.now() - t0);
      }
      const frame = [];
      for (let f = 0; f <= hybridsim.lastFrame; ++f) {
        const t0 = performance.now();
        hybridsim.frame = f;  // as a frame of playing: the canvas, the readout, the cursor
        document.getElementById('view').getContext('2d').getImageData(0, 0, 1, 1);
        void holder.getBoundingClientRect();
        frame.push(performance.now() - t0);
      }
      return { whole, made, cursor, frame, bytes: hybridsim.studyGraphs().svg.length };
    }, repeats);
    await withGraphs.close();

    // the control loops panel after each of `repeats` runs, without pins and
    // with four: its own work (the core's two charts made, put in the page,
    // laid out: hybridsim-loops-start to hybridsim-loops-drawn), and the SVGs' size
    const loopsPage = await openPage(chromium.browser, url, problems);
    const loopsDrawn = [];
    for (const pins of [0, 4]) {
      loopsDrawn.push(await loopsPage.evaluate(async (n, pinned) => {
        document.getElementById('loops').open = true;
        for (const fn2 of [20, 60, 5, 10].slice(0, pinned)) {
          hybridsim.set('fn2', fn2);
          hybridsim.pin();
        }
        const at = (name) => performance.getEntriesByName(name)[0]?.startTime ?? 0;
        const work = [];
        for (let i = 0; i < n; ++i) {
          const before = performance.now();
          hybridsim.set('Fn', i % 2 ? 10 : 12);
          const until = before + 30000;
          while (at('hybridsim-loops-drawn') < before) {
            if (performance.now() > until) throw new Error('the loops panel was not drawn anew');
            await new Promise((done) => setTimeout(done, 2));
          }
          work.push(at('hybridsim-loops-drawn') - at('hybridsim-loops-start'));
        }
        const svgs = [...document.querySelectorAll('#loops-chart svg')].map((svg) => svg.outerHTML.length);
        return { work, svgs, width: document.querySelector('#loops-chart svg').width.baseVal.value };
      }, repeats, pins));
    }
    await loopsPage.close();

    // the design map of the force loop (hybridsim.designMap, 60 x 60 cells
    // of the model's step in closed form, its SVG and JSON), each figure on
    // both planes, `repeats` times each: the call's time in WebAssembly
    const mapPage = await openPage(chromium.browser, url, problems);
    const mapTimes = await mapPage.evaluate((n) => {
      const out = {};
      for (const plane of ['alpha', 'zeta']) {
        for (const figure of ['overshoot_pct', 'settling_t_s', 'force_rise_t_s']) {
          const times = [];
          let bytes = 0;
          for (let i = 0; i < n; ++i) {
            const t0 = performance.now();
            const m = hybridsim.designMap({ width: 480, plane, figure });
            times.push(performance.now() - t0);
            bytes = m.svg.length;
          }
          out[`${plane} ${figure}`] = { times, bytes };
        }
      }
      return out;
    }, repeats);
    await mapPage.close();

    // the animation of the default run, twice on a fresh page: its time, its
    // bytes, the longest a timer waited past its time while it was made
    const animating = await openPage(chromium.browser, url, problems);
    const animations = await animating.evaluate(async () => {
      const out = [];
      for (let k = 0; k < 2; ++k) {
        let late = 0;
        let going = true;
        const beat = (due) => setTimeout(() => {
          late = Math.max(late, performance.now() - due);
          if (going) beat(performance.now());
        }, 0);
        beat(performance.now());
        const t0 = performance.now();
        const bytes = await hybridsim.gif();
        out.push({ ms: performance.now() - t0, bytes: bytes.length, late });
        going = false;
      }
      return out;
    });
    await animating.close();

    // the page as one file, opened from file://
    const oneFileOpening = [];
    for (let i = 0; i < loads; ++i) {
      const one = await openPage(chromium.browser, pathToFileURL(oneFile).href, problems);
      oneFileOpening.push(await one.evaluate(() => performance.getEntriesByName('hybridsim-first-picture')[0].startTime));
      await one.close();
    }

    // the same run natively
    const native = JSON.parse(execFileSync(nativeBench, [
      '--benchmark_filter=^Calcontrol/robot_b/method_8/sine$', '--benchmark_repetitions=10',
      '--benchmark_report_aggregates_only=true', '--benchmark_format=json',
    ], { encoding: 'utf8' }));
    const nativeMedian = native.benchmarks.find((b) => b.aggregate_name === 'median');
    const nativeMs = nativeMedian.real_time * { ns: 1e-6, us: 1e-3, ms: 1 }[nativeMedian.time_unit];

    // the page's weight
    const files = fs.readdirSync(site).filter((f) => fs.statSync(path.join(site, f)).isFile());
    let bytes = 0;
    let gzipped = 0;
    for (const f of files) {
      const b = fs.readFileSync(path.join(site, f));
      bytes += b.length;
      gzipped += zlib.gzipSync(b, { level: 9 }).length;
    }

    const recompute = median(inPage.recompute);
    console.log(`chromium: ${(await chromium.browser.version())}`);
    console.log(`opening from file:// to the first picture: ${ms(median(opening))} (median of ${loads})`);
    console.log(`recompute of the default task in WebAssembly: ${ms(recompute)} (median of ${repeats})`);
    console.log(`the same run natively (Calcontrol/robot_b/method_8/sine): ${ms(nativeMs)}; ratio ${(recompute / nativeMs).toFixed(2)}`);
    console.log(`recompute of the default task under contact=spring in WebAssembly: continuous ` +
                `${ms(median(inPage.springRecompute[0]))}, with period=0.001 ${ms(median(inPage.springRecompute[1]))} ` +
                `(medians of ${repeats})`);
    console.log(`redraw of the last frame, 800 x 800: ${ms(median(inPage.redraw))}, of which recording the shapes ` +
                `${ms(median(inPage.record))} (medians of ${repeats})`);
    console.log(`recompute and redraw: ${ms(recompute + median(inPage.redraw))}`);
    typingLines();
    const graphTyped = (fn) => ms(median(graphChanges.map(fn)));
    console.log(`the same with the study graphs in view (medians of ${graphChanges.length}): ` +
                `to the run computed ${graphTyped((c) => c.computed - c.key)}, ` +
                `to the picture rasterised ${graphTyped((c) => c.rasterised - c.key)} ` +
                `(90th percentile ${ms(ninetieth(graphChanges.map((c) => c.rasterised - c.key)))}), ` +
                `to the display frame that shows it ${graphTyped((c) => c.frame - c.key)}; ` +
                `to the graphs laid out after it ${graphTyped((c) => c.graphs - c.key)}, ` +
                `to the display frame that shows them ${graphTyped((c) => c.graphsFrame - c.key)}; ` +
                `the graphs' own work (made, put in the page, laid out) ${graphTyped((c) => c.graphsWork)}, ` +
                `90th percentile ${ms(ninetieth(graphChanges.map((c) => c.graphsWork)))}`);
    console.log(`the study graphs (${(graphs.bytes / 1024).toFixed(0)} KiB of SVG): made in WebAssembly ${ms(median(graphs.made))}, ` +
                `made, put in the page and laid out ${ms(median(graphs.whole))} (medians of ${repeats}); ` +
                `the cursor of a frame ${ms(median(graphs.cursor))}; a whole frame of playing (canvas, readout, cursor) ` +
                `${ms(median(graphs.frame))}, 90th percentile ${ms(ninetieth(graphs.frame))} (${graphs.frame.length} frames)`);
    for (const [k, l] of loopsDrawn.entries()) {
      console.log(`the control loops panel after a run, ${k ? 'with 4 pins' : 'no pin'} (charts ${l.width} px wide, ` +
                  `${l.svgs.map((b) => (b / 1024).toFixed(1)).join(' + ')} KiB of SVG): made, put in the page and laid ` +
                  `out ${ms(median(l.work))}, 90th percentile ${ms(ninetieth(l.work))} (medians of ${l.work.length})`);
    }
    const allMaps = Object.values(mapTimes).flatMap((m) => m.times);
    console.log(`the design map (60 x 60 cells, 480 px): made in WebAssembly ${ms(median(allMaps))}, ` +
                `90th percentile ${ms(ninetieth(allMaps))} (medians of ${allMaps.length}); by plane and figure ` +
                Object.entries(mapTimes).map(([k, m]) => `${k} ${ms(median(m.times))} (${(m.bytes / 1024).toFixed(0)} KiB)`)
                  .join(', '));
    console.log(`page weight: ${files.length} files, ${(bytes / 1024).toFixed(0)} KiB, ${(gzipped / 1024).toFixed(0)} KiB gzipped`);
    const [cold, warm] = animations;
    console.log(`the animation of the default run (hybridsim.gif(), 201 frames, ${(cold.bytes / 1024).toFixed(0)} KiB): ` +
                `${(cold.ms / 1000).toFixed(1)} s on a fresh page, the longest wait for a task meanwhile ${ms(cold.late)}; ` +
                `again ${(warm.ms / 1000).toFixed(1)} s, the longest wait ${ms(warm.late)}`);
    const oneFileBytes = fs.statSync(oneFile).size;
    console.log(`the page as one file: ${(oneFileBytes / 1024).toFixed(0)} KiB (${oneFileBytes} bytes), ` +
                `${(zlib.gzipSync(fs.readFileSync(oneFile), { level: 9 }).length / 1024).toFixed(0)} KiB gzipped; ` +
                `opening it from file:// to the first picture ${ms(median(oneFileOpening))} (median of ${loads})`);
    if (problems.length) console.log(`page trouble: ${problems.join('; ')}`);
  }
} finally {
  await chromium.close();
}
