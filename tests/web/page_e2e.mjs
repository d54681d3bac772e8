// The built page in Debian's Chromium and Firefox ESR, headless, from
// file:// and from a local HTTP server: the same numbers, texts and shapes
// as the desktop program (and the same CSV in both browsers, byte for
// byte), task files taken whole or refused with the desktop's message, the
// last one chosen read, settings by name and in the panel (a refused entry
// leaving the value from before its edit in force), the scripting
// interface's refusal of wrong arguments, playback by keys, buttons, the
// time graphs and a touch screen, the keyboard, accessibility by axe-core's
// rules, the notices, saving the task, the downloads (the animation among
// them, parsed as a GIF), the page as one file alone in a folder, and a fuzz run of
// random input; and no console error, page error, failed request or dialog
// on the way.
//
//   node tests/web/page_e2e.mjs --site build-web/site --one-file build-web/hybridsim.html \
//       --batch build/app/hybridsim-batch \
//       --dump build/tests/web/web_shape_dump --task-text build/tests/web/web_task_text
//
// The fuzz run takes HYBRIDSIM_FUZZ_SEED and HYBRIDSIM_FUZZ_STEPS from the
// environment to replay a failure it reports.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { KnownDevices } from 'puppeteer-core';

import { downloads, launchBrowser, openPage, pathOption, root, serveFolder } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = pathOption('--site', path.join(root, 'build-web', 'site'));
const batch = pathOption('--batch', path.join(root, 'build', 'app', 'hybridsim-batch'));
const dump = pathOption('--dump', path.join(root, 'build', 'tests', 'web', 'web_shape_dump'));
const taskTextTool = pathOption('--task-text', path.join(root, 'build', 'tests', 'web', 'web_task_text'));
// the page as one file, written beside the site by make web
const oneFile = pathOption('--one-file', path.join(site, '..', 'hybridsim.html'));

// deadline of each wait in the page [ms]
const deadline = 30000;

const tasks = {
  robotALine: path.join(root, 'tests', 'task', 'data', 'robot_a_line.dat'),
  robotBCircle: path.join(root, 'tests', 'task', 'data', 'circle_method7.dat'),
  farCircle: path.join(here, 'data', 'far_circle.dat'),
  wordForNumber: path.join(here, 'data', 'word_for_number.dat'),
};

// --- the desktop program's answers ---

function batchOut(...args) {
  return execFileSync(batch, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// the one line hybridsim-batch writes for a refused task file
function batchRefusal(file) {
  const r = spawnSync(batch, [file, '--report'], { encoding: 'utf8' });
  assert.equal(r.status, 2, 'hybridsim-batch refuses the file');
  return r.stderr.replace(/^hybridsim-batch: /, '').replace(/\n$/, '');
}

// The task as the desktop's writer writes it after `settings` (NAME=VALUE)
// taken by name, from the default task or from a task file.
function nativeTaskText(...settings) {
  return execFileSync(taskTextTool, settings, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// The settings report of the English page: the page's session's English
// rendering of the console's report after the same task file and settings
// (the Japanese page's is hybridsim-batch --report's).
function englishReport(...settings) {
  return execFileSync(taskTextTool, ['--report=en', ...settings], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// the desktop's message for a setting it refuses
function nativeRefusal(...settings) {
  const r = spawnSync(taskTextTool, settings, { encoding: 'utf8' });
  assert.equal(r.status, 2, `${settings.join(' ')} is refused natively`);
  return r.stderr.replace(/\n$/, '');
}

// a task file of the default task after `settings`, in a folder removed at exit
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-page-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
let scratchFiles = 0;
function nativeTaskFile(...settings) {
  const file = path.join(scratch, `task${++scratchFiles}.dat`);
  fs.writeFileSync(file, nativeTaskText(...settings));
  return file;
}

function nativeShapes(frame, file, overlay = false) {
  const args = [...(overlay ? ['--overlay'] : []), ...(file ? [file] : []), String(frame)];
  return JSON.parse(execFileSync(dump, args, { encoding: 'utf8', maxBuffer: 64 << 20 }));
}

// The blocks of a GIF file: its screen's size, the loop count of its
// NETSCAPE2.0 extension (null without one), and each image's rectangle and
// the delay [1/100 s] of the graphic control before it.  Anything that is
// no GIF block, or bytes after the trailer, fail.
function parseGif(gif) {
  assert.equal(gif.subarray(0, 6).toString('latin1'), 'GIF89a', 'signature');
  const table = (flags) => (flags & 0x80 ? 3 * (2 << (flags & 7)) : 0);
  let p = 13 + table(gif[10]);
  const subBlocks = () => {
    while (gif[p] !== 0) p += gif[p] + 1;
    p += 1;
  };
  const out = { width: gif.readUInt16LE(6), height: gif.readUInt16LE(8), loop: null, frames: [] };
  let delay = null;
  for (;;) {
    assert.ok(p < gif.length, 'the file ends before its trailer');
    const block = gif[p++];
    if (block === 0x3B) break;
    if (block === 0x21) {
      const label = gif[p++];
      if (label === 0xFF && gif.subarray(p + 1, p + 12).toString('latin1') === 'NETSCAPE2.0') {
        out.loop = gif.readUInt16LE(p + 14);
      }
      if (label === 0xF9) delay = gif.readUInt16LE(p + 2);
      subBlocks();
    } else if (block === 0x2C) {
      const [left, top, width, height] = [0, 2, 4, 6].map((k) => gif.readUInt16LE(p + k));
      p += 9 + table(gif[p + 8]) + 1;  // the descriptor, its colour table, the LZW code size
      subBlocks();
      out.frames.push({ left, top, width, height, delay });
      delay = null;
    } else {
      assert.fail(`byte ${block} at ${p - 1} starts no GIF block`);
    }
  }
  assert.equal(p, gif.length, 'nothing after the trailer');
  return out;
}

// a GIF of every sample of the default run: 800 x 800, looping for ever,
// 201 frames of 4/100 s, the first one whole and the others within it
function assertRunGif(gif) {
  const g = parseGif(gif);
  assert.deepEqual([g.width, g.height, g.loop, g.frames.length], [800, 800, 0, 201]);
  assert.deepEqual(g.frames[0], { left: 0, top: 0, width: 800, height: 800, delay: 4 });
  for (const [i, f] of g.frames.entries()) {
    assert.equal(f.delay, 4, `frame ${i}`);
    assert.ok(f.left + f.width <= 800 && f.top + f.height <= 800, `frame ${i} within the screen`);
  }
}

// --- comparisons ---

// Two CSV texts, byte for byte: the page runs the batch runner's code with
// the same elementary functions (portable_math/).  A difference is named
// by its first row and column.
function assertSameCsv(got, want) {
  if (got === want) return;
  const g = got.split('\n');
  const w = want.split('\n');
  const header = w[0].split(',');
  for (let r = 0; r < Math.max(g.length, w.length); ++r) {
    if (g[r] === w[r]) continue;
    const gf = (g[r] ?? '').split(',');
    const wf = (w[r] ?? '').split(',');
    const c = wf.findIndex((f, i) => f !== gf[i]);
    assert.fail(`row ${r} ${header[c] ?? `field ${c}`}: ${gf[c]} against ${wf[c]} (${g.length} and ${w.length} lines)`);
  }
  assert.fail('the texts differ in something other than their lines');
}

// The page's shapes against the desktop's recording, item by item.
function assertSameShapes(got, want) {
  assert.equal(got.length, want.length, 'number of shapes and texts');
  const close = (a, b, what) => assert.ok(Math.abs(a - b) <= 1e-9, `${what}: ${a} against ${b}`);
  for (let i = 0; i < want.length; ++i) {
    const g = got[i];
    const w = want[i];
    const at = `item ${i} (${w.kind})`;
    assert.equal(g.kind, w.kind, at);
    assert.equal(g.role, w.role, `${at} role`);
    assert.equal(g.lighting, w.lighting, `${at} lighting`);
    if (w.kind === 'text') {
      assert.equal(g.font, w.font, `${at} font`);
      close(g.x, w.x, `${at} x`);
      close(g.y, w.y, `${at} y`);
      assert.equal(String.fromCharCode(...g.bytes), w.bytes, `${at} bytes`);
      continue;
    }
    assert.deepEqual(g.color, w.color, `${at} colour`);
    assert.equal(g.lineWidth, w.lineWidth, `${at} line width`);
    assert.equal(g.vertices.length, w.vertices.length, `${at} vertex count`);
    for (let k = 0; k < w.vertices.length; ++k) {
      close(g.vertices[k][0], w.vertices[k][0], `${at} vertex ${k} x`);
      close(g.vertices[k][1], w.vertices[k][1], `${at} vertex ${k} y`);
    }
  }
}

// The canvas calls of one picture (`log`: [call, ...arguments] in order,
// a stroke with the context's strokeStyle and lineWidth, a fill or a text
// with its fillStyle) against the shapes it was drawn from (hybridsim.shapes()
// on a square of `size` pixels): every line segment stroked exactly once, in
// its colour and width, every polygon filled and every text written, and
// each shape painted no earlier than the one before it.  Gives what is
// wrong, [] for nothing.
function paintedAsShapes(log, shapes, size, css) {
  const k = size / 2;
  const px = ([x, y]) => [(x + 1) * k, (1 - y) * k];
  const key = (colour, width, a, b) => `${colour} ${width} ${a[0]},${a[1]} ${b[0]},${b[1]}`;
  // the shapes' segments by key, each with the indices of the shapes that have it
  const segmentsOf = new Map();
  const fills = [];
  const texts = [];
  shapes.forEach((s, i) => {
    if (s.kind === 'text') {
      texts.push(i);
      return;
    }
    const v = s.vertices.map(px);
    const colour = css(s);
    const width = (s.lineWidth * size / 800).toFixed(4);
    if (s.kind === 'polygon') {
      if (v.length >= 3) fills.push([i, colour, v]);
      return;
    }
    const pairs = [];
    if (s.kind === 'lines') for (let j = 0; j + 1 < v.length; j += 2) pairs.push([v[j], v[j + 1]]);
    else if (v.length >= 2) {
      for (let j = 0; j + 1 < v.length; ++j) pairs.push([v[j], v[j + 1]]);
      if (s.kind === 'lineLoop') pairs.push([v[v.length - 1], v[0]]);
    }
    for (const [a, b] of pairs) {
      const id = key(colour, width, a, b);
      if (!segmentsOf.has(id)) segmentsOf.set(id, []);
      segmentsOf.get(id).push(i);
    }
  });
  // the calls as paintings: each stroke its segments, each fill, each text
  // the first and the last call that painted each shape
  const first = new Array(shapes.length).fill(-1);
  const last = new Array(shapes.length).fill(-1);
  const painted = (i, event) => {
    if (first[i] < 0) first[i] = event;
    last[i] = event;
  };
  const wrong = [];
  let path = [];
  let at = null;
  let start = null;
  let fillCount = 0;
  let textCount = 0;
  log.forEach((call, event) => {
    const [name, ...a] = call;
    if (name === 'beginPath') path = [];
    else if (name === 'moveTo') at = start = [a[0], a[1]];
    else if (name === 'lineTo') {
      path.push([at, [a[0], a[1]]]);
      at = [a[0], a[1]];
    } else if (name === 'closePath') {
      path.push([at, start]);
      at = start;
    } else if (name === 'stroke') {
      const colour = a.at(-2);
      const width = a.at(-1).toFixed(4);
      for (const [p, q] of path) {
        const owners = segmentsOf.get(key(colour, width, p, q));
        if (!owners || owners.length === 0) {
          wrong.push(`a segment ${key(colour, width, p, q)} stroked that no shape has, or twice`);
          continue;
        }
        painted(owners.shift(), event);
      }
    } else if (name === 'fill') {
      const f = fills[fillCount++];
      if (!f) wrong.push('a fill that no polygon has');
      else if (a.at(-1) !== f[1] || path.length === 0 || path[0][0][0] !== f[2][0][0] || path[0][0][1] !== f[2][0][1])
        wrong.push(`polygon ${f[0]}: filled in ${a.at(-1)} from ${path[0]?.[0]}, not in ${f[1]} from ${f[2][0]}`);
      else painted(f[0], event);
    } else if (name === 'fillText') {
      const i = texts[textCount++];
      if (i === undefined) wrong.push(`a text "${a[0]}" that no shape has`);
      else if (a[0] !== shapes[i].text) wrong.push(`text ${i}: "${a[0]}", not "${shapes[i].text}"`);
      else painted(i, event);
    }
  });
  for (const [id, owners] of segmentsOf) if (owners.length) wrong.push(`shape ${owners[0]}: segment ${id} not stroked`);
  if (fillCount !== fills.length) wrong.push(`${fillCount} fills for ${fills.length} polygons`);
  if (textCount !== texts.length) wrong.push(`${textCount} texts for ${texts.length}`);
  // the painter's order: a shape never painted before the one before it
  let before = -1;
  shapes.forEach((s, i) => {
    if (first[i] < 0) return;
    if (first[i] < before) wrong.push(`shape ${i} (${s.kind}) painted before the shape before it`);
    before = Math.max(before, last[i]);
  });
  return wrong.slice(0, 5);
}

// --- a fuzz run: random input from a fixed seed ---

const fuzzSeed = Number(process.env.HYBRIDSIM_FUZZ_SEED || 20240611);
const fuzzSteps = Number(process.env.HYBRIDSIM_FUZZ_STEPS || 1500);

// a small seeded generator (mulberry32): the same seed, the same input
function generator(seed) {
  let a = seed >>> 0;
  const next = () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let x = Math.imul(a ^ (a >>> 15), 1 | a);
    x = (x + Math.imul(x ^ (x >>> 7), 61 | x)) ^ x;
    return ((x ^ (x >>> 14)) >>> 0) / 4294967296;
  };
  const pick = (list) => list[Math.floor(next() * list.length)];
  return { next, pick };
}

const fuzzKeys = [' ', 'ArrowLeft', 'ArrowRight', 'Home', 'End', '+', '=', '-', 's', '0', 'w', 'W', 'Escape',
                  'Tab', 'Enter', 'x', 'a', '7', 'Backspace', 'PageDown', 'ArrowUp', 'p', 'P', 'v'];
const fuzzButtons = ['#first', '#back', '#play', '#forward', '#last', '#slower', '#faster', '#language', '#fit-force',
                     '#study-toggle', '#pin', '#clear-pins', '#reset-defaults', '#overlay'];
const fuzzTokens = ['0', '-1', '5', '20', '0.15', '1e308', '1e999', '-1e-300', 'nan', 'inf', '', 'abc', '5o0',
                    '0x1p3', '２０', ' 7', '1,5', '+3', '.5', '-0', '1e-7', '3.14159265358979', '12345678901234567890'];
const fuzzNames = ['robot', 'l', 'l1', 'l2', 'KH1', 'KH2', 'method', 'fn1', 'alpha1', 'fn2', 'alpha2', 'contour',
                   'x0', 'y0', 'xf', 'yf', 'tf', 'Ox', 'Oy', 'r', 'L', 'A', 'seterror', 'Fn', 'frame', ''];

// Random keys, clicks, drags and field values, from a fixed seed; after
// every step no problem, and every 250 steps and at the end a run on
// screen: the canvas not blank, the CSV 201 samples and a header, the
// readout and the slider at the frame shown.  A failure names the seed,
// the step and the steps before it; the seed replays the same input (the
// playback's timing may differ).
async function fuzz(page, problems) {
  const rand = generator(fuzzSeed);
  const history = [];
  const fail = (step, why) => assert.fail(
    `fuzz seed ${fuzzSeed} (HYBRIDSIM_FUZZ_SEED=${fuzzSeed} HYBRIDSIM_FUZZ_STEPS=${step + 1} replays it), ` +
    `step ${step}: ${why}\nlast steps:\n  ${history.slice(-15).join('\n  ')}`);
  const box = await page.$eval('#view', (c) => {
    const r = c.getBoundingClientRect();
    return [r.left + c.clientLeft, r.top + c.clientTop, c.clientWidth, c.clientHeight];
  });
  const somewhere = () => [box[0] + rand.next() * box[2], box[1] + rand.next() * box[3]];
  const number = () =>
    ((rand.next() - 0.5) * 10 ** Math.floor(rand.next() * 8 - 3)).toPrecision(1 + Math.floor(rand.next() * 6));
  const value = () => (rand.next() < 0.6 ? number() : rand.pick(fuzzTokens));
  const defaultTask = fs.readFileSync(path.join(root, 'tests', 'task', 'data', 'default_task.dat'), 'utf8');

  const onScreen = async (step) => {
    const seen = await page.evaluate(() => {
      const c = document.getElementById('view');
      const pixels = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let drawn = 0;
      for (let i = 0; i < pixels.length; i += 4 * 7)
        if (pixels[i] !== 255 || pixels[i + 1] !== 255 || pixels[i + 2] !== 255) ++drawn;
      const f = hybridsim.frame;
      return {
        drawn,
        lines: hybridsim.csv().split('\n').length - 1,
        report: document.getElementById('report').textContent.length,
        // (in the page's language, which a click of #language changes)
        shown: document.getElementById('readout').textContent ===
                 HybridsimTexts.t('readout', f, hybridsim.lastFrame, hybridsim.time(f).toFixed(2)) &&
               Number(document.getElementById('frame').value) === f,
      };
    });
    if (seen.drawn < 1000 || seen.lines !== 202 || seen.report < 100 || !seen.shown)
      fail(step, `no run on screen: ${JSON.stringify(seen)}`);
  };

  for (let step = 0; step < fuzzSteps; ++step) {
    const r = rand.next();
    let what;
    try {
      if (r < 0.4) {
        const key = rand.pick(fuzzKeys);
        what = `key ${JSON.stringify(key)}`;
        await page.keyboard.press(key);
      } else if (r < 0.5) {
        const button = rand.pick(fuzzButtons);
        what = `click ${button}`;
        // into view at once; a page still scrolling from PageDown can carry it
        // away before the click lands, and then it is held in view until it
        // stands still for a frame and clicked again
        const intoView = () => page.$eval(button, (e) => new Promise((done) => {
          let last = '';
          let frames = 0;
          const settle = () => {
            e.scrollIntoView({ block: 'nearest', behavior: 'instant' });
            const r = e.getBoundingClientRect();
            const at = `${r.left},${r.top}`;
            if ((at === last && r.top >= 0 && r.bottom <= innerHeight) || ++frames > 120) done();
            else {
              last = at;
              requestAnimationFrame(settle);
            }
          };
          settle();
        }));
        await page.$eval(button, (e) => e.scrollIntoView({ block: 'nearest', behavior: 'instant' }));
        try {
          await page.click(button);
        } catch (e) {
          if (!/not clickable/.test(e.message)) throw e;
          await intoView();
          await page.click(button);
        }
      } else if (r < 0.62) {
        const from = somewhere();
        const to = rand.next() < 0.5 ? somewhere() : from;
        what = `press at ${from.map(Math.round)}, release at ${to.map(Math.round)}`;
        await page.mouse.move(...from);
        await page.mouse.down();
        await page.mouse.move(...to, { steps: 2 });
        await page.mouse.up();
      } else if (r < 0.82) {
        // A value typed key by key now and then, else put in at once (as
        // pasted): each key typed is a run and a picture, so typing costs
        // ten times what pasting does.  The field is one of those shown,
        // picked and focused in one call.
        const text = value();
        const byKeys = rand.next() < 0.06;
        const then = rand.pick(['', 'Enter', 'Tab', 'Escape']);
        what = `a field picked for ${JSON.stringify(text)}`;
        const id = await page.evaluate((u) => {
          const shown = [...document.querySelectorAll('input[data-field]')].filter((e) => e.offsetParent !== null);
          const input = shown[Math.floor(u * shown.length)];
          input.focus();
          input.select();
          return input.dataset.field;
        }, rand.next());
        what = `${byKeys ? 'type' : 'paste'} ${JSON.stringify(text)} into ${id}${then ? ', ' + then : ''}`;
        if (text === '') await page.keyboard.press('Backspace');
        else if (byKeys) await page.keyboard.type(text);
        else await page.keyboard.sendCharacter(text);
        if (then) await page.keyboard.press(then);
      } else if (r < 0.88) {
        const [name, choices] = rand.pick([['robot', 'ab'], ['method', '78'], ['contour', 'LCS']]);
        const choice = rand.pick(choices.split(''));
        what = `select ${name} ${choice}`;
        await page.select(`select[data-field="${name}"]`, choice);
      } else if (r < 0.92) {
        const slider = await page.$eval('#frame', (s) => {
          const b = s.getBoundingClientRect();
          return [b.left, b.top + b.height / 2, b.width];
        });
        const x = slider[0] + rand.next() * slider[2];
        what = `click the slider at ${Math.round(x)}`;
        await page.mouse.click(x, slider[1]);
      } else if (r < 0.97) {
        const name = rand.pick(fuzzNames);
        const v = value();
        what = `hybridsim.set(${JSON.stringify(name)}, ${JSON.stringify(v)})`;
        await page.evaluate((n, x) => hybridsim.set(n, x), name, v);
      } else {
        // the default task with one token replaced
        const tokens = defaultTask.split(/\s+/).filter(Boolean);
        tokens[Math.floor(rand.next() * tokens.length)] = value();
        const text = tokens.join(' ');
        what = `loadTask(${JSON.stringify(text)})`;
        await page.evaluate((x) => hybridsim.loadTask(x, 'fuzz.dat'), text);
      }
    } catch (e) {
      fail(step, `${what}: ${e.message}`);
    }
    history.push(`${step}: ${what}`);
    if (problems.length) fail(step, problems.join('; '));
    if (step % 250 === 249) await onScreen(step);
  }
  await page.evaluate(() => hybridsim.pause());
  await onScreen(fuzzSteps);
  if (problems.length) fail(fuzzSteps, problems.join('; '));
}

// --- the page, from both origins, in Chromium and Firefox ---
//
// Chromium runs every test from file://, and from the server those of
// loading, runs, files, downloads, settings and playback (the tests that
// cannot depend on the origin, such as the scripting interface's arguments,
// the keyboard and accessibility, run from file:// only).  Firefox runs
// every test from file:// but the fuzz run and the touch screen (its phone
// emulation is Chromium's).  And the CSVs that both browsers computed are
// the same, byte for byte.  HYBRIDSIM_BROWSERS=chromium (or firefox) runs
// one browser.

const browserKinds = (process.env.HYBRIDSIM_BROWSERS || 'chromium,firefox').split(',');
const launched = {};
let server;
before(async () => {
  assert.ok(fs.existsSync(path.join(site, 'index.html')), `no page in ${site}: make web`);
  await Promise.all(browserKinds.map(async (kind) => {
    launched[kind] = await launchBrowser(kind);
  }));
  server = await serveFolder(site);
  // The tests are of a returning visitor, who has put the start card away
  // (it stands beside the picture and in the Tab order): the start card's
  // own tests open the page in a browser context of their own, with
  // nothing stored.
  for (const [kind, , url] of runs) {
    const trouble = [];
    const page = await openPage(launched[kind].context, url(), trouble, deadline);
    await page.evaluate(() => localStorage.setItem('hybridsim.startDismissed', '1'));
    await page.close();
    assert.deepEqual(trouble, [], `${kind}: storing the start card dismissed`);
  }
});
after(async () => {
  for (const b of Object.values(launched)) await b.close();
  if (server) await server.close();
});

const fileUrl = () => pathToFileURL(path.join(site, 'index.html')).href;
const runs = [
  ['chromium', 'file://', fileUrl],
  ['chromium', 'http://127.0.0.1', () => server.url],
  ['firefox', 'file://', fileUrl],
].filter(([kind]) => browserKinds.includes(kind));

// the CSVs each browser computed, by what they are of: kind -> label -> CSV
// (each browser's first of a label)
const csvSeen = { chromium: new Map(), firefox: new Map() };

// The pages of one browser, one origin after the other.
function pageTests(kind, origin, url) {
  describe(`${kind}: page from ${origin}`, { concurrency: 1 }, () => {
    let page;
    let problems;
    const chromium = kind === 'chromium';
    // a fresh page for each test, whose problems fail it
    const fresh = async (pixelRatio = 1, beforeLoad = null) => {
      if (page) await page.close();
      problems = [];
      page = await openPage(launched[kind].context, url(), problems, deadline, pixelRatio, beforeLoad);
    };
    // the page's CSV, kept under `label` for the comparison of the browsers
    const seenCsv = async (label) => {
      const text = await page.evaluate(() => hybridsim.csv());
      if (!csvSeen[kind].has(label)) csvSeen[kind].set(label, text);
      return text;
    };
    // a test of what does not depend on where the page came from: from file:// only
    const once = (name, fn) => {
      if (origin === 'file://') test(name, fn);
    };
    const noProblems = () => assert.deepEqual(problems, [], 'console, page, request or dialog trouble');
    // what evaluating `expression` in the page throws, [constructor name, message], or null
    const thrownBy = (expression) => page.evaluate((x) => {
      try {
        (0, eval)(x);
        return null;
      } catch (e) {
        return [e.constructor.name, e.message];
      }
    }, expression);
    const loadTask = (file) =>
      page.evaluate((text, name) => hybridsim.loadTask(text, name), fs.readFileSync(file, 'utf8'), file);
    const csv = () => page.evaluate(() => hybridsim.csv());
    const report = () => page.evaluate(() => hybridsim.report());
    const shownReport = () => page.$eval('#report', (e) => e.textContent);
    // (polled by a timer: polling on display frames would ask for them itself)
    const until = (fn, ...args) => page.waitForFunction(fn, { timeout: deadline, polling: 20 }, ...args);
    // a panel field: its text replaced by typing `text`, key by key
    // (the text selected by the page: a triple click selects nothing in Firefox's input fields)
    const typeInto = async (id, text) => {
      await page.click(`[data-field="${id}"]`);
      await page.$eval(`[data-field="${id}"]`, (e) => e.select());
      if (text === '') await page.keyboard.press('Backspace');
      else await page.keyboard.type(text);
    };
    // what a panel field shows: its text, the message beside it, whether marked refused
    const fieldState = (id) => page.$eval(`[data-field="${id}"]`, (input) => {
      const message = input.closest('.field').nextElementSibling;
      return { text: input.value, message: message.hidden ? '' : message.textContent,
               refused: input.classList.contains('refused') };
    });
    // (a closed disclosure's fields keep their boxes: checkVisibility leaves them out)
    const shownFields = () => page.$$eval('input[data-field]', (all) =>
      all.filter((e) => e.offsetParent !== null && e.checkVisibility()).map((e) => e.dataset.field));

    after(async () => {
      if (page) await page.close();
    });

    test('the default run: CSV, report and summary as hybridsim-batch gives them', async () => {
      await fresh();
      assertSameCsv(await seenCsv('the default task'), batchOut('--csv', '-'));
      // the report in the page's language (English), the console's one asked for by name
      assert.equal(await page.evaluate(() => hybridsim.report()), englishReport());
      assert.equal(await page.evaluate(() => hybridsim.report('ja')), batchOut('--report'));
      assert.equal(await page.evaluate(() => hybridsim.summary()), batchOut('--summary'));
      // the panels show the same texts, the readout frame 0
      assert.equal(await page.$eval('#report', (e) => e.textContent), englishReport());
      assert.match(await page.$eval('#readout', (e) => e.textContent), /^sample 0 \/ 200, t = 0\.00 s$/);
      // the Japanese page shows the console's report, as hybridsim-batch --report prints it
      await page.evaluate(() => { hybridsim.language = 'ja'; });
      assert.equal(await page.evaluate(() => hybridsim.report()), batchOut('--report'));
      assert.equal(await page.$eval('#report', (e) => e.textContent), batchOut('--report'));
      noProblems();
    });

    test('tasks loaded with loadTask: robot a line, robot b circle', async () => {
      await fresh();
      for (const file of [tasks.robotALine, tasks.robotBCircle]) {
        const r = await loadTask(file);
        assert.deepEqual(r, { ok: true, message: '' }, file);
        assertSameCsv(await seenCsv(path.basename(file)), batchOut(file, '--csv', '-'));
        assert.equal(await page.evaluate(() => hybridsim.report()), englishReport(file));
        assert.equal(await page.evaluate(() => hybridsim.report('ja')), batchOut(file, '--report'));
        assert.equal(await page.evaluate(() => hybridsim.frame), 0);
      }
      noProblems();
    });

    test('frame 100: the shapes of the desktop drawing, the probe tip red', async () => {
      await fresh();
      const want = nativeShapes(100);
      await page.evaluate(() => {
        hybridsim.frame = 100;
      });
      assertSameShapes(await page.evaluate(() => hybridsim.shapes()), want.items);
      // the overlay by its checkbox: the desktop's overlay, roles and all;
      // 'v' takes it away again, and the checkbox follows
      await page.click('#overlay');
      const overlaid = await page.evaluate(() => hybridsim.shapes());
      assertSameShapes(overlaid, nativeShapes(100, undefined, true).items);
      const force = overlaid.find((item) => item.role === 'force');
      assert.ok(Math.hypot(force.vertices[0][0] - want.tip[0], force.vertices[0][1] - want.tip[1]) < 1e-12,
                'the force arrow starts at the contact point');
      await page.keyboard.press('v');
      assert.deepEqual(await page.evaluate(() => [hybridsim.overlay, document.getElementById('overlay').checked]),
                       [false, false]);
      assertSameShapes(await page.evaluate(() => hybridsim.shapes()), want.items);
      // the pixel where the view mapping puts the tip, and the text colour
      const seen = await page.evaluate(
        ([x, y]) => {
          const c = document.getElementById('view');
          const ctx = c.getContext('2d');
          const px = Math.floor(((x + 1) / 2) * c.width);
          const py = Math.floor(((1 - y) / 2) * c.height);
          const tip = Array.from(ctx.getImageData(px, py, 1, 1).data);
          // pixels of the title line in the lit colour (the grid lines are black)
          const band = ctx.getImageData(0, 0, Math.floor(c.width / 2), Math.ceil(c.height * 0.04)).data;
          let lit = 0;
          for (let i = 0; i < band.length; i += 4)
            if (band[i] === 10 && band[i + 1] === 10 && band[i + 2] === 10) ++lit;
          return { tip, lit, readout: document.getElementById('readout').textContent };
        },
        want.tip,
      );
      assert.deepEqual(seen.tip, [255, 0, 0, 255], 'the probe tip');
      // and at frame 25, where the tip stands on the crest of the sine
      const tip25 = nativeShapes(25).tip;
      assert.ok(tip25[1] > 0.15, `tip of frame 25 at y = ${tip25[1]}`);
      const pixel25 = await page.evaluate(([x, y]) => {
        hybridsim.frame = 25;
        const c = document.getElementById('view');
        const px = Math.floor(((x + 1) / 2) * c.width);
        const py = Math.floor(((1 - y) / 2) * c.height);
        return Array.from(c.getContext('2d').getImageData(px, py, 1, 1).data);
      }, tip25);
      assert.deepEqual(pixel25, [255, 0, 0, 255], "the probe tip of frame 25");
      assert.ok(seen.lit > 100, `text in the lit colour of the window: ${seen.lit} pixels`);
      assert.equal(seen.readout, 'sample 100 / 200, t = 4.00 s');
      // writing the frame clamps it
      assert.equal(await page.evaluate(() => { hybridsim.frame = 999; return hybridsim.frame; }), 200);
      assert.equal(await page.evaluate(() => { hybridsim.frame = -5; return hybridsim.frame; }), 0);
      noProblems();
    });

    test('the overlay\'s spring force: the desktop\'s arrow, Fc long along the normal beside F', async () => {
      await fresh();
      // soft springs, where Fc and F part on the sine, and a line, where they agree
      for (const [settings, frame] of [[['KH1=100', 'KH2=100'], 40], [['contour=L'], 100]]) {
        const file = nativeTaskFile(...settings);
        assert.deepEqual(await loadTask(file), { ok: true, message: '' });
        await page.evaluate((f) => {
          hybridsim.overlay = true;
          hybridsim.frame = f;
        }, frame);
        const shapes = await page.evaluate(() => hybridsim.shapes());
        assertSameShapes(shapes, nativeShapes(frame, file, true).items);
        const row = (await csv()).trim().split('\n')[frame + 1].split(',').map(Number);
        const [fc, f] = [row[15], row[12]];
        const spring = shapes.filter((s) => s.role === 'spring-force' && s.kind === 'lines');
        const force = shapes.filter((s) => s.role === 'force' && s.kind === 'lines').pop();
        const normal = shapes.find((s) => s.role === 'normal');
        assert.equal(spring.length, 1, settings.join(' '));
        const shaft = (s) => [s.vertices[1][0] - s.vertices[0][0], s.vertices[1][1] - s.vertices[0][1]];
        const [sx, sy] = shaft(spring[0]);
        const [nx, ny] = shaft(normal);
        const n = Math.hypot(nx, ny);
        // Fc on the forces' scale, 10 N per 0.1 m (the page's view unzoomed), along n with its sign
        assert.ok(Math.abs((sx * nx + sy * ny) / n - fc / 100) < 1e-9, `Fc ${fc}: shaft (${sx}, ${sy})`);
        assert.ok(Math.abs(sx * ny - sy * nx) / n < 1e-6 * Math.max(1, Math.abs(fc)), 'along the normal');
        assert.ok(Math.hypot(spring[0].vertices[0][0] - force.vertices[0][0],
                             spring[0].vertices[0][1] - force.vertices[0][1]) > 0.04, 'beside F, not on it');
        assert.deepEqual(spring[0].color.slice(0, 3).map((c) => Math.round(c * 255)), [26, 26, 128]);
        const texts = shapes.filter((s) => s.kind === 'text').map((s) => s.text);
        assert.ok(shapes.some((s) => s.role === 'spring-force' && s.text === 'Fc: spring'), 'its label');
        assert.ok(texts.some((t) => t.startsWith(`F = ${f.toFixed(2)} N   Fc = ${fc.toFixed(2)} N   Fn = `)), texts.join('|'));
        if (settings[0] === 'contour=L') assert.ok(Math.abs(fc - f) < 1e-9, `on a line Fc ${fc} is F ${f}`);
        else assert.ok(Math.abs(fc - f) > 0.1, `on the sine Fc ${fc} differs from F ${f}`);
      }
      noProblems();
    });

    test('the study graphs\' spring force: a dotted line of every run, its value at the cursor', async () => {
      await fresh();
      await page.evaluate(() => hybridsim.set('KH1', 100));
      await page.evaluate(() => hybridsim.set('KH2', 100));
      await page.evaluate(() => hybridsim.pin());
      await page.evaluate(() => hybridsim.set('Fn', 15));
      await page.evaluate(() => { hybridsim.frame = 60; });
      await studyInView();
      const seen = await page.evaluate(() => {
        const svg = document.querySelector('#study-graphs svg');
        const force = svg.querySelector('g.panel');
        const lines = [...force.querySelectorAll('path.series')].map((p) => ({
          label: p.dataset.label, colour: p.getAttribute('stroke'), dash: p.getAttribute('stroke-dasharray') }));
        return { lines, cursor: [...svg.querySelectorAll('.cursor-text')].slice(0, 3).map((t) => t.textContent),
                 keys: [...svg.querySelectorAll('g.key text')].map((t) => t.textContent),
                 graphs: hybridsim.studyGraphs(), pins: hybridsim.pins() };
      });
      const { runs, cursor } = seen.graphs;
      assert.equal(runs.length, 2);
      const pinRows = seen.pins[0].csv.trim().split('\n').slice(1).map((l) => l.split(',').map(Number));
      const ownRows = (await csv()).trim().split('\n').slice(1).map((l) => l.split(',').map(Number));
      let highest = -Infinity;
      runs.forEach((run, k) => {
        const fc = seen.lines.find((l) => l.label === `Fc (${run.label})`);
        assert.deepEqual(fc, { label: `Fc (${run.label})`, colour: run.colour, dash: '1 3.5' });
        const rows = k === 0 ? ownRows : pinRows;
        assert.equal(cursor.runs[k].springForce, rows[60][15], `${run.label}: Fc at the cursor`);
        assert.equal(cursor.runs[k].text.springForce, rows[60][15].toFixed(3) + ' N');
        assert.ok(seen.cursor.some((t) => t.includes(`F ${rows[60][12].toFixed(3)} N, Fc ${rows[60][15].toFixed(3)} N, Fn `)),
                  seen.cursor.join('|'));
        for (const r of rows) if (Number.isFinite(r[15]) && Number.isFinite(r[8])) highest = Math.max(highest, r[15]);
      });
      assert.ok(seen.keys.includes('dotted: Fc, the force of the hand spring at the posture'), seen.keys.join('|'));
      assert.ok(seen.graphs.forceScale.hi >= highest, `force scale ${seen.graphs.forceScale.hi} under Fc ${highest}`);
      // the tangential error of the sine is rounding: flat at 0, and the panel says so
      const note = await page.$$eval('#study-graphs .floor-note', (all) => all.map((t) => t.textContent));
      assert.deepEqual(note, ['all within \u00b11e-4 mm: drawn as 0']);
      noProblems();
    });

    test('a high-density screen: the canvas has a device pixel for each pixel', async () => {
      await fresh(2);
      const { tip } = nativeShapes(100);
      await page.evaluate(() => { hybridsim.frame = 100; });
      const size = await page.evaluate(() => {
        const c = document.getElementById('view');
        return [c.width, c.height, parseFloat(c.style.width), parseFloat(c.style.height)];
      });
      assert.deepEqual(size, [2 * size[2], 2 * size[2], size[2], size[2]], 'canvas and CSS size');
      const pixel = await page.evaluate(([x, y]) => {
        const c = document.getElementById('view');
        const px = Math.floor(((x + 1) / 2) * c.width);
        const py = Math.floor(((1 - y) / 2) * c.height);
        return Array.from(c.getContext('2d').getImageData(px, py, 1, 1).data);
      }, tip);
      assert.deepEqual(pixel, [255, 0, 0, 255], 'the probe tip');
      noProblems();
    });

    test('a word where a number belongs: refused with the desktop message, the run kept', async () => {
      await fresh();
      await loadTask(tasks.robotALine);
      const before = await page.evaluate(() => hybridsim.csv());
      const r = await loadTask(tasks.wordForNumber);
      assert.deepEqual(r, { ok: false, message: batchRefusal(tasks.wordForNumber) });
      assert.equal(await page.evaluate(() => hybridsim.csv()), before);
      // the file picker gives the page the same message and keeps the run too
      const input = await page.$('#task-file');
      await input.uploadFile(tasks.wordForNumber);
      await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: deadline });
      const shown = await page.$eval('#message', (e) => e.textContent);
      assert.equal(shown, batchRefusal(tasks.wordForNumber).replace(tasks.wordForNumber, 'word_for_number.dat'));
      assert.equal(await page.evaluate(() => hybridsim.csv()), before);
      // and a good file through the picker replaces the run
      await input.uploadFile(tasks.robotBCircle);
      await page.waitForFunction(() => /^Read /.test(document.getElementById('message').textContent),
                                  { timeout: deadline });
      assert.equal(await page.$eval('#report', (e) => e.textContent), englishReport(tasks.robotBCircle));
      // a file dropped on the page is read the same way
      await page.evaluate((text) => {
        const files = new DataTransfer();
        files.items.add(new File([text], 'dropped.dat'));
        for (const type of ['dragenter', 'dragover', 'drop'])
          document.body.dispatchEvent(new DragEvent(type, { dataTransfer: files, bubbles: true, cancelable: true }));
      }, fs.readFileSync(tasks.robotALine, 'utf8'));
      await page.waitForFunction(() => document.getElementById('message').textContent === 'Read dropped.dat.',
                                  { timeout: deadline });
      assert.equal(await page.$eval('#report', (e) => e.textContent), englishReport(tasks.robotALine));
      assert.equal(await page.$eval('#drop-hint', (e) => e.hidden), true);
      noProblems();
    });

    once('files: the one chosen last is read, a big one still on its way dropped; several at once, none', async () => {
      await fresh();
      const message = () => page.$eval('#message', (e) => e.textContent);
      // A big valid task (the default task, then 20 MB the reader passes
      // over), whose bytes the test holds back until a small one has been
      // dropped and read: the big one's arrive last and are not read.
      await page.evaluate((big, small) => {
        window.drop = (...files) => {
          const data = new DataTransfer();
          for (const f of files) data.items.add(f);
          for (const type of ['dragenter', 'dragover', 'drop'])
            document.body.dispatchEvent(new DragEvent(type, { dataTransfer: data, bubbles: true, cancelable: true }));
        };
        const file = new File([big, ' '.repeat(20 << 20)], 'big.dat');
        let release;
        const held = new Promise((done) => { release = done; });
        window.releaseBig = release;
        window.bigDelivered = false;
        file.arrayBuffer = () => {
          const bytes = held.then(() => File.prototype.arrayBuffer.call(file));
          // after the page's own handler of the same bytes
          bytes.then(() => setTimeout(() => { window.bigDelivered = true; }));
          return bytes;
        };
        window.drop(file);
        window.drop(new File([small], 'small.dat'));
      }, fs.readFileSync(tasks.robotBCircle, 'utf8'), fs.readFileSync(tasks.robotALine, 'utf8'));
      await until(() => document.getElementById('message').textContent === 'Read small.dat.');
      await page.evaluate(() => window.releaseBig());
      await until(() => window.bigDelivered);
      assert.equal(await message(), 'Read small.dat.');
      assert.equal(await page.evaluate(() => hybridsim.taskText()), nativeTaskText(tasks.robotALine));
      assert.equal(await shownReport(), englishReport(tasks.robotALine));

      // two files at once: neither is read, and the page says to drop one
      const kept = await page.evaluate(() => hybridsim.taskText());
      await page.evaluate((a, b) => window.drop(new File([a], 'one.dat'), new File([b], 'two.dat')),
                          fs.readFileSync(tasks.robotBCircle, 'utf8'), fs.readFileSync(tasks.farCircle, 'utf8'));
      assert.equal(await message(), '2 files were dropped and none was read: drop one task file at a time.');
      assert.equal(await page.$eval('#message', (e) => e.classList.contains('error')), true);
      assert.equal(await page.evaluate(() => hybridsim.taskText()), kept);
      assert.equal(await shownReport(), englishReport(tasks.robotALine));
      noProblems();
    });

    once('keyboard: Tab reaches every control, Space and Enter press the focused button, the keys work unfocused', async () => {
      await fresh();
      const focused = () => page.evaluate(() => {
        const e = document.activeElement;
        return !e || e === document.body ? '' : e.id || e.dataset.field || e.tagName;
      });
      const stops = [];
      for (let i = 0; i < 70; ++i) {
        await page.keyboard.press('Tab');
        const at = await focused();
        if (at === '' || at === stops[0]) break;
        stops.push(at);
      }
      assert.deepEqual(stops, [
        'open-task', 'save-task', 'download-csv', 'download-png', 'download-gif', 'lesson-pick', 'open-lesson',
        'open-lesson-file', 'new-lesson', 'copy-link', 'help-button', 'language',
        'first', 'back', 'play', 'forward', 'last', 'slower', 'faster', 'frame', 'pin', 'clear-pins', 'reset-defaults',
        'overlay', 'describe-shown', 'force-sound', 'study-toggle', 'fit-force', 'study-table-toggle', 'loops-toggle',
        'loops-range', 'pole-1-pair', 'pole-1-alpha', 'pole-2-pair', 'pole-2-alpha', 'loops-table-toggle',
        'design-map-toggle', 'loops-more-toggle',
        'robot', 'KH1', 'KH2', 'method', 'fn1', 'alpha1', 'zeta1', 'fn2', 'alpha2', 'zeta2', 'contour',
        'S.x0', 'S.y0', 'S.L', 'S.A', 'S.tf', 'seterror', 'Fn', 'contact-toggle',
        'goal-name', 'goal-op', 'goal-value', 'add-goal', 'report', 'summary', 'help-toggle']);
      // The last Tab left the page for the browser's own controls, and
      // Firefox gives it no keys again: a new page for the rest.
      await fresh();
      // Chromium intercepts the file picker only once its browser has been
      // told to, which is not awaited by itself: told here, long before
      // the picker opens
      const chooser = page.waitForFileChooser({ timeout: 4 * deadline });
      chooser.catch(() => {});  // awaited below; an early failure is not unhandled
      if (chromium) {
        // the file button in the accessibility tree, named by its words
        const names = [];
        const walk = (n) => {
          if (n.role === 'button') names.push(n.name);
          (n.children || []).forEach(walk);
        };
        walk(await page.accessibility.snapshot());
        assert.ok(names.includes('Open task file…'), names.join(', '));
      }

      const at = () => page.evaluate(() => [hybridsim.frame, hybridsim.playing]);
      // a focused button takes Space and Enter; the other keys stay the page's
      await page.focus('#forward');
      await page.keyboard.press(' ');
      assert.deepEqual(await at(), [1, false]);
      await page.keyboard.press('Enter');
      assert.deepEqual(await at(), [2, false]);
      await page.keyboard.press('ArrowRight');
      assert.deepEqual(await at(), [3, false]);
      await page.focus('#play');
      await page.keyboard.press('Enter');
      await until(() => hybridsim.playing);
      await page.keyboard.press(' ');
      assert.equal((await at())[1], false, 'Space pressed Pause');
      await page.focus('#language');
      await page.keyboard.press(' ');
      assert.equal(await page.$eval('#settings', (e) => e.lang), 'ja');
      await page.keyboard.press('Enter');
      assert.equal(await page.$eval('#settings', (e) => e.lang), 'en');
      // a focused checkbox takes Space, and leaves 'v' to the page
      await page.focus('#overlay');
      await page.keyboard.press(' ');
      assert.equal(await page.evaluate(() => hybridsim.overlay), true, 'Space ticks the overlay');
      await page.keyboard.press('v');
      assert.deepEqual(await page.evaluate(() => [hybridsim.overlay, document.getElementById('overlay').checked]),
                       [false, false], "'v' on the focused checkbox");
      // nothing focused: Space plays and pauses, End, Home
      await page.evaluate(() => document.activeElement.blur());
      await page.keyboard.press(' ');
      await until(() => hybridsim.playing);
      await page.keyboard.press(' ');
      assert.equal((await at())[1], false);
      await page.keyboard.press('End');
      assert.deepEqual(await at(), [200, false]);
      // the slider's own keys move it
      await page.focus('#frame');
      await page.keyboard.press('Home');
      assert.deepEqual(await at(), [0, false]);

      // the file picker from the keyboard
      await page.focus('#open-task');
      await page.keyboard.press('Enter');
      await (await chooser).accept([tasks.robotALine]);
      await until(() => document.getElementById('message').textContent === 'Read robot_a_line.dat.');
      assert.equal(await shownReport(), englishReport(tasks.robotALine));
      noProblems();
    });

    // The study graphs in view, drawn: where their axes lie on the screen,
    // read from the SVG's own elements (the tick labels at their ticks, the
    // plot areas), in CSS pixels.
    const studyInView = async () => {
      await page.$eval('#study', (e) => e.scrollIntoView());
      await studyDrawn();
    };
    // the graphs of the latest run on the page (they follow its picture by a display frame)
    const studyDrawn = () => until(() => document.querySelector('#study-graphs svg .cursor-line') !== null &&
                                   !document.getElementById('study-graphs').dataset.stale);
    const studyAxes = () => page.evaluate(() => {
      const svg = document.querySelector('#study-graphs svg');
      const m = svg.getScreenCTM();
      const panels = [...svg.querySelectorAll('g.panel')].map((p) => {
        const r = p.querySelector('rect.plot-area');
        const [x, y, w, h] = ['x', 'y', 'width', 'height'].map((a) => r[a].baseVal.value);
        return { left: m.e + m.a * x, right: m.e + m.a * (x + w), top: m.f + m.d * y, bottom: m.f + m.d * (y + h) };
      });
      const force = svg.querySelector('g.panel');
      const fn = force.querySelector('path[data-label="Fn (current run)"]').getAttribute('d');
      return {
        panels,
        // the time axis: [value, CSS x] of each tick
        ticks: [...svg.querySelectorAll('g.panel')[2].querySelectorAll('text.tick-x')]
          .map((t) => [Number(t.textContent), m.e + m.a * t.x.baseVal[0].value]),
        forceTicks: [...force.querySelectorAll('text.tick-y')].map((t) => t.textContent),
        // how high the Fn line stands above the bottom of the force scale [CSS px]
        fnHeight: m.d * (force.querySelector('rect.plot-area').y.baseVal.value +
                         force.querySelector('rect.plot-area').height.baseVal.value - Number(fn.split(',')[1].split('L')[0])),
        note: document.getElementById('force-scale-note').textContent,
      };
    });

    // the robot's picture and the time graphs: a point of window units in
    // CSS pixels, and (as `.back`) a CSS x in window units
    // (the canvas brought wholly into view first: a click on a control under
    // it may have scrolled the page)
    const canvasPoint = async () => {
      const box = await page.$eval('#view', (c) => {
        c.scrollIntoView({ block: 'nearest', inline: 'nearest' });
        const r = c.getBoundingClientRect();
        return [r.left + c.clientLeft, r.top + c.clientTop, c.clientWidth, c.clientHeight];
      });
      const css = (x, y) => [box[0] + ((x + 1) / 2) * box[2], box[1] + ((1 - y) / 2) * box[3]];
      css.back = (px) => (2 * (px - box[0])) / box[2] - 1;
      return css;
    };
    // the x of sample `frame` on the time axes, and a height within the position graph
    const graphs = async (frame) => {
      const shapes = await page.evaluate((f) => {
        hybridsim.frame = f;
        return hybridsim.shapes();
      }, frame);
      // the curves drawn up to the sample shown end at its x
      const step = (s) => s.kind === 'lines' && s.vertices.length === 2 && s.vertices[0][0] > 0.3 &&
        s.vertices[1][0] > s.vertices[0][0] && s.vertices[1][0] - s.vertices[0][0] < 0.01;
      const ends = shapes.filter(step).map((s) => s.vertices[1][0]);
      // the middle of the value axis where the curves start (the first of the two graphs)
      const start = Math.min(...shapes.filter(step).map((s) => s.vertices[0][0]));
      const axis = shapes.find((s) => s.kind === 'lines' && s.vertices[0][0] === start &&
        s.vertices[1][0] === start && Math.abs(s.vertices[1][1] - s.vertices[0][1]) > 0.2 &&
        Math.abs(s.vertices[1][1] - s.vertices[0][1]) < 1);
      assert.ok(ends.length > 0 && axis, `the graphs of sample ${frame}`);
      return [Math.max(...ends), (axis.vertices[0][1] + axis.vertices[1][1]) / 2];
    };

    if (chromium) {
      once('a touch screen: a drag in a time graph scrubs to its end, elsewhere it scrolls; buttons of 44 px', async () => {
        if (page) await page.close();
        problems = [];
        page = await launched[kind].context.newPage();
        page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
        page.on('console', (m) => {
          if (m.type() === 'error') problems.push(`console error: ${m.text()}`);
        });
        await page.emulate(KnownDevices['Pixel 5']);
        await page.goto(url(), { waitUntil: 'load', timeout: deadline });
        await until(() => document.body.dataset.ready === 'true');
        assert.equal(await page.evaluate(() => matchMedia('(pointer: coarse)').matches), true);
        const small = await page.$$eval('#playback button', (all) => all.map((b) => {
          const r = b.getBoundingClientRect();
          return [b.id, Math.round(r.width * 100) / 100, Math.round(r.height * 100) / 100];
        }).filter(([, w, h]) => w < 44 || h < 44));
        assert.deepEqual(small, [], 'playback buttons under 44 CSS px');

        // A touch lands on a whole CSS pixel, about half a sample wide here:
        // the sample nearest to it, from where samples 60 and 180 lie.
        const [x60, y] = await graphs(60);
        const [x180] = await graphs(180);
        const css = await canvasPoint();
        const [ax, ay] = css(x60, y).map(Math.round);
        const bx = Math.round(css(x180, y)[0]);
        const sampleAt = (px) => 60 + Math.round(((css.back(px) - x60) * 120) / (x180 - x60));
        assert.ok(Math.abs(sampleAt(ax) - 60) <= 1 && Math.abs(sampleAt(bx) - 180) <= 1);
        // a tap jumps
        await page.evaluate(() => { hybridsim.frame = 0; });
        // (the browser may hand a touch to the page after the call that sends it returns)
        await page.touchscreen.tap(ax, ay);
        await until((f) => hybridsim.frame === f, sampleAt(ax)).catch(() => {});
        assert.equal(await page.evaluate(() => hybridsim.frame), sampleAt(ax));
        // a drag of 40 moves scrubs all the way, the page unmoved
        await page.touchscreen.touchStart(ax, ay);
        for (let k = 1; k <= 40; ++k) await page.touchscreen.touchMove(Math.round(ax + ((bx - ax) * k) / 40), ay);
        await page.touchscreen.touchEnd();
        assert.deepEqual(await page.evaluate(() => [hybridsim.frame, window.scrollY]), [sampleAt(bx), 0]);
        // a drag up on the robot's side scrolls the page, and scrubs nothing
        const [rx, ry] = css(-0.5, -0.6);
        await page.touchscreen.touchStart(rx, ry);
        for (let k = 1; k <= 10; ++k) await page.touchscreen.touchMove(rx, ry - 20 * k);
        await page.touchscreen.touchEnd();
        await until(() => window.scrollY > 0);
        assert.equal(await page.evaluate(() => hybridsim.frame), sampleAt(bx));
        // in the study graphs a tap jumps to the sample under it too, and a drag scrubs, the page unmoved
        // (once the page has come to rest from the drag that scrolled it: ten display frames without a move)
        const still = () => page.evaluate(() => new Promise((done) => {
          let last = window.scrollY;
          let frames = 0;
          const look = () => {
            frames = window.scrollY === last ? frames + 1 : 0;
            last = window.scrollY;
            if (frames >= 10) done();
            else requestAnimationFrame(look);
          };
          requestAnimationFrame(look);
        }));
        await still();
        await studyInView();
        await still();
        const axes = await studyAxes();
        const [[t0, x0], [t1, x1]] = [axes.ticks[0], axes.ticks[axes.ticks.length - 1]];
        const tx = (t) => Math.round(x0 + ((t - t0) * (x1 - x0)) / (t1 - t0));
        const graphY = Math.round((axes.panels[0].top + axes.panels[0].bottom) / 2);
        const want = (x) => page.evaluate((cx) => {
          const svg = document.querySelector('#study-graphs svg');
          return hybridsim.studySampleAt((cx - svg.getBoundingClientRect().left) * svg.width.baseVal.value /
                                         svg.getBoundingClientRect().width);
        }, x);
        await page.touchscreen.tap(tx(1), graphY);
        const tapped = await want(tx(1));
        await until((f) => hybridsim.frame === f, tapped).catch(() => {});
        assert.equal(await page.evaluate(() => hybridsim.frame), tapped);
        assert.ok(Math.abs(await want(tx(1)) - 25) <= 1);
        const scrolled = await page.evaluate(() => window.scrollY);
        await page.touchscreen.touchStart(tx(1), graphY);
        for (let k = 1; k <= 20; ++k) await page.touchscreen.touchMove(Math.round(tx(1) + ((tx(7) - tx(1)) * k) / 20), graphY);
        await page.touchscreen.touchEnd();
        assert.deepEqual(await page.evaluate(() => [hybridsim.frame, window.scrollY]), [await want(tx(7)), scrolled]);
        assert.ok(Math.abs(await want(tx(7)) - 175) <= 1);
        noProblems();
      });
    }

    // the serious and critical findings of axe-core in `on` (a page), as `id: where` lines
    const axeFindings = async (on) => {
      if (!(await on.evaluate(() => typeof axe === 'object')))
        await on.addScriptTag({ path: path.join(here, 'node_modules', 'axe-core', 'axe.min.js') });
      return on.evaluate(async () => {
        const r = await axe.run(document, {
          preload: false,  // it would read the style sheet by a request that file:// refuses
          runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice',
                                            'experimental'] },
        });
        return r.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
          .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
      });
    };

    once('accessibility: no serious or critical finding of axe-core; names, languages, the slider\'s time', async () => {
      await fresh();
      // a refused field, a notice and the stale summary on screen, the Contact group open
      await loadTask(tasks.farCircle);
      await typeInto('KH1', 'o5');
      await page.click('#contact-toggle');
      await page.select('select[data-field="contact"]', 'spring');
      const findings = () => axeFindings(page);
      const wide = await page.evaluate(() => [innerWidth, innerHeight]);
      for (const [what, width, english] of [['wide', wide[0], false], ['wide, English', wide[0], true],
                                            ['narrow', 360, true], ['narrow, Japanese', 360, false]]) {
        await page.setViewport({ width, height: 800 });
        if ((await page.$eval('#settings', (e) => e.lang)) !== (english ? 'en' : 'ja')) await page.click('#language');
        // the study graphs drawn (they are drawn in view)
        await page.$eval('#study', (e) => e.scrollIntoView());
        await until((w) => document.querySelector('#study-graphs svg .cursor-line') !== null &&
                    !document.getElementById('study-graphs').dataset.stale &&
                    document.querySelector('#study-graphs svg').width.baseVal.value === w,
                    await page.$eval('#view', (c) => c.offsetWidth));
        assert.deepEqual(await findings(), [], what);
        // every Japanese text is marked so, every English message in the Japanese panel too
        const mislabelled = await page.evaluate(() => {
          const wrong = [];
          const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
          for (let n = walker.nextNode(); n; n = walker.nextNode()) {
            const lang = n.parentElement.closest('[lang]')?.lang || document.documentElement.lang;
            if (/[\u3040-\u30ff\u4e00-\u9fff]/.test(n.data) && lang !== 'ja') wrong.push(n.data.trim().slice(0, 30));
          }
          for (const m of document.querySelectorAll('.field-message:not([hidden])'))
            if (m.closest('[lang]').lang !== 'en') wrong.push(m.textContent);
          return wrong;
        });
        assert.deepEqual(mislabelled, [], what);
      }
      // the summary greyed while out of date (out of view, so axe-core saw
      // it fresh) is still readable: 4.5 : 1 at least, as axe-core's rule asks
      // (the page in English again: the names below are its English ones)
      await page.click('#language');
      await page.evaluate(() => window.scrollTo(0, 0));
      await loadTask(tasks.robotALine);
      const contrast = await page.$eval('#summary', (e) => {
        const luminance = (css) => {
          const [r, g, b] = css.match(/\d+/g).slice(0, 3).map((v) => {
            const c = Number(v) / 255;
            return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
          });
          return 0.2126 * r + 0.7152 * g + 0.0722 * b;
        };
        const style = getComputedStyle(e);
        const [a, b] = [luminance(style.color), luminance(style.backgroundColor)].sort((x, y) => y - x);
        return [e.classList.contains('stale'), (a + 0.05) / (b + 0.05)];
      });
      assert.equal(contrast[0], true, 'the summary is out of date');
      assert.ok(contrast[1] >= 4.5, `the greyed summary's contrast ${contrast[1]}`);
      assert.deepEqual(await page.$eval('#view', (c) => [c.getAttribute('role'), c.getAttribute('aria-label')]),
                       ['img', 'the robot, the workpiece and the time graphs']);
      const graphsName = await page.$eval('#study-graphs svg', (e) => [e.getAttribute('role'), e.getAttribute('aria-label')]);
      assert.equal(graphsName[0], 'img');
      assert.match(graphsName[1], /^the study graphs against time t \[s\]: the contact force F and Fn,/);
      await page.evaluate(() => { hybridsim.frame = 100; });
      assert.equal(await page.$eval('#frame', (s) => s.getAttribute('aria-valuetext')), 'sample 100 of 200, t = 4.00 s');
      noProblems();
    });

    test('unreachable points: one notice in the page with the count, no dialog', async () => {
      await fresh();
      const r = await loadTask(tasks.farCircle);
      assert.equal(r.ok, true);
      assertSameCsv(await seenCsv('far_circle.dat'), batchOut(tasks.farCircle, '--csv', '-'));
      await page.waitForFunction(() => !document.getElementById('notice').hidden, { timeout: deadline });
      const notice = await page.$eval('#notice', (e) => e.textContent);
      assert.match(notice, /^201 samples of this run have no posture: robot b cannot reach their points/);
      assert.match(notice, /\nThe first point out of reach: \(x, y\) = \(3\.100, 3\.000\) m/);
      assert.equal(await page.$$eval('.notice', (all) => all.filter((e) => !e.hidden).length), 1);
      // on the Japanese page the console's lines: one message, then its count
      await page.evaluate(() => { hybridsim.language = 'ja'; });
      const consoleLines = await page.$eval('#notice', (e) => e.textContent);
      assert.equal((consoleLines.match(/!!!/g) || []).length, 1, consoleLines);
      assert.match(consoleLines, /合計 404 点/);
      await page.evaluate(() => { hybridsim.language = 'en'; });
      // a reachable task takes the notice away
      await loadTask(tasks.robotALine);
      assert.equal(await page.$eval('#notice', (e) => e.hidden), true);
      noProblems();
    });

    // --- the control loops' panel ---
    // The batch runner's CSV as rows of named values.
    const batchRows = (...args) => {
      const [head, ...rows] = batchOut(...args).trim().split('\n').map((l) => l.split(','));
      return rows.map((r) => Object.fromEntries(head.map((name, i) => [name, r[i]])));
    };
    const withSets = (sets) => sets.flatMap((s) => ['--set', s]);
    // the default task after `sets`, the panel drawn anew for it (with the whole run when `whole` is pressed)
    const loopsFor = async (sets) => {
      const t = await page.evaluate(async (all) => {
        const now = performance.now();
        hybridsim.resetDefaults();
        for (const s of all) {
          const eq = s.indexOf('=');
          if (!hybridsim.set(s.slice(0, eq), s.slice(eq + 1)).ok) throw new Error(s);
        }
        return now;
      }, sets);
      await until((after) => (performance.getEntriesByName('hybridsim-loops-drawn')[0]?.startTime ?? 0) > after, t);
    };
    // Each chart of the panel read back: its plot area, ticks, lines, marks,
    // the notes; `at` maps a value to its pixel through the first and last tick.
    const loopsCharts = async () => {
      const read = await page.evaluate(() => [...document.querySelectorAll('#loops-chart svg')].map((svg) => {
        const g = svg.querySelector('g.panel');
        const area = ['x', 'y', 'width', 'height'].map((k) => Number(g.querySelector('rect.plot-area').getAttribute(k)));
        const ticks = (cls, attr, shift) => [...g.querySelectorAll(`text.${cls}`)].map((t) =>
          [Number(t.getAttribute(attr)) - shift, Number(t.textContent)]);
        const points = (d) => [...d.matchAll(/[ML](-?[\d.]+),(-?[\d.]+)/g)].map((m) => [Number(m[1]), Number(m[2])]);
        return {
          area,
          xticks: ticks('tick-x', 'x', 0),
          yticks: ticks('tick-y', 'y', 4),  // (a y tick's text stands 4 px below it)
          paths: [...g.querySelectorAll('path.series')].map((p) => ({ label: p.dataset.label,
            colour: p.getAttribute('stroke'), points: points(p.getAttribute('d')) })),
          // crosses (from their first corner) and rings, with their colours
          marks: [...g.querySelectorAll('g.markers > *')].map((m) => (m.tagName === 'circle'
            ? { kind: 'ring', at: [Number(m.getAttribute('cx')), Number(m.getAttribute('cy'))], colour: m.getAttribute('stroke') }
            : { kind: 'cross', at: points(m.getAttribute('d'))[0].map((v) => v + 5), colour: m.getAttribute('stroke') })),
          notes: [...g.querySelectorAll('g.note')].map((n) => ({ kind: n.dataset.kind, label: n.querySelector('text').textContent,
            at: [Number(n.querySelector('circle').getAttribute('cx')), Number(n.querySelector('circle').getAttribute('cy'))] })),
          keys: [...svg.querySelectorAll('g.key text')].map((t) => t.textContent),
        };
      }));
      const map = (ticks) => {
        const [[p0, v0], [p1, v1]] = [ticks[0], ticks[ticks.length - 1]];
        return { px: (v) => p0 + (v - v0) * (p1 - p0) / (v1 - v0), value: (p) => v0 + (p - p0) * (v1 - v0) / (p1 - p0) };
      };
      return read.map((c) => ({ ...c, x: map(c.xticks), y: map(c.yticks) }));
    };

    once('control loops: the s-plane at equal scale, the step over five time constants or the whole run, marked', async () => {
      await fresh();
      await until(() => document.querySelectorAll('#loops-chart svg').length === 2);
      const rangeButton = () => page.$eval('#loops-range', (b) => [b.textContent, b.disabled]);
      const cases = [
        { sets: [], zoomed: true },
        { sets: ['alpha2=0'], zoomed: true },  // the integral state at the origin left out
        { sets: ['alpha2=0', 'fn2=0.15'], zoomed: false },  // a pole at +0.059: unstable
      ];
      for (const { sets, zoomed } of cases) {
        await loopsFor(sets);
        const [step, poles] = await loopsCharts();
        const what = sets.join(' ') || 'the default task';
        // the s-plane: each circle |s| = wn as wide as it is high, every pole inside
        for (const circle of poles.paths.filter((p) => p.label.startsWith('|s| = wn'))) {
          const xs = circle.points.map((p) => p[0]);
          const ys = circle.points.map((p) => p[1]);
          const across = xs[0] - Math.min(...xs);
          const up = (Math.max(...ys) - Math.min(...ys)) / 2;
          assert.ok(Math.abs(across - up) <= 0.5, `${what}: ${circle.label}: radius ${across} px across, ${up} px up`);
        }
        const [x0, y0, w, h] = poles.area;
        assert.ok(poles.marks.length >= 10, what);
        for (const m of poles.marks)
          assert.ok(m.at[0] > x0 && m.at[0] < x0 + w && m.at[1] > y0 && m.at[1] < y0 + h, `${what}: a ${m.kind} at ${m.at}`);
        // the step: five time constants of the slowest force pole off the origin, or the whole run
        const model = batchRows(...withSets(sets), '--loops', '--format', 'csv')
          .filter((r) => r.system === '2' && r.kind === 'model').map((r) => [Number(r.re), Number(r.im)]);
        const slowest = Math.min(...model.filter(([re, im]) => re !== 0 || im !== 0).map(([re]) => -re));
        const rows = batchOut(...withSets(sets), '--csv', '-').trim().split('\n');
        const runEnd = Number(rows[rows.length - 1].split(',')[1]);
        const end = step.x.value(step.area[0] + step.area[2]);
        const halfPixel = step.x.value(0.5) - step.x.value(0);
        assert.ok(Math.abs(end - (zoomed ? 5 / slowest : runEnd)) <= halfPixel,
          `${what}: the time axis ends at ${end} s, five time constants are ${5 / slowest} s`);
        assert.equal(step.x.value(step.area[0]), 0);
        assert.deepEqual(await rangeButton(), ['Show the whole run', !zoomed], what);
        // the marks at the summary's own figures
        const sum = batchRows(...withSets(sets), '--summary', '--format', 'csv')[0];
        const note = (kind) => step.notes.find((n) => n.kind === kind);
        const near = (got, want, name) => assert.ok(Math.abs(got - want) <= 0.2, `${what}: ${name} at ${got} px, not ${want}`);
        const Fn = 10;
        if (Number(sum.settling_t_s) <= end) {
          near(note('settled').at[0], step.x.px(Number(sum.settling_t_s)), 'the settling mark');
          assert.equal(note('settled').label, `settled ${Number(sum.settling_t_s).toPrecision(3)} s`);
          const rise = step.x.value(note('rise-to').at[0]) - step.x.value(note('rise-from').at[0]);
          assert.ok(Math.abs(rise - Number(sum.force_rise_t_s)) <= 2 * halfPixel, `${what}: rise ${rise} s`);
          near(note('rise-from').at[1], step.y.px(0.1 * Fn), 'the 10 % mark');
          near(note('rise-to').at[1], step.y.px(0.9 * Fn), 'the 90 % mark');
        } else {
          assert.deepEqual(step.notes, [], `${what}: no figure, no mark`);
        }
        if (sum.force_peak_t_s !== 'nan') {
          near(note('peak').at[0], step.x.px(Number(sum.force_peak_t_s)), 'the peak');
          near(note('peak').at[1], step.y.px(Number(sum.force_peak_N)), 'the peak');
          assert.equal(note('peak').label, `peak ${Number(sum.overshoot_pct).toPrecision(2)} %`);
        } else {
          assert.equal(note('peak'), undefined, what);
        }
      }

      // the button: the whole run and back, by a click and by the keyboard
      await loopsFor([]);
      const ends = async () => {
        const [step] = await loopsCharts();
        return step.x.value(step.area[0] + step.area[2]);
      };
      const zoomEnd = await ends();
      const press = async (how) => {
        // in view, and still there (the study graphs above it are drawn when they come into view)
        await page.$eval('#loops-range', (b) => b.scrollIntoView({ block: 'center' }));
        await until(() => {
          const r = document.getElementById('loops-range').getBoundingClientRect();
          const same = window.loopsButtonAt === `${r.left} ${r.top}`;
          window.loopsButtonAt = `${r.left} ${r.top}`;
          return same;
        });
        const t = await page.evaluate(() => performance.now());
        await how();
        await until((after) => performance.getEntriesByName('hybridsim-loops-drawn')[0].startTime > after, t);
      };
      await press(() => page.click('#loops-range'));
      assert.ok(Math.abs(await ends() - 8) < 1e-6, 'the whole run');
      assert.deepEqual(await rangeButton(), ['Show the first five time constants', false]);
      assert.match(await page.$eval('#loops-chart .panel-title', (t) => t.textContent), /the whole run/);
      await press(async () => {
        await page.focus('#loops-range');
        await page.keyboard.press('Enter');
      });
      assert.equal(await ends(), zoomEnd);
      assert.deepEqual(await rangeButton(), ['Show the whole run', false]);
      // the scripting interface refuses what is not a width or a switch
      for (const expression of ['hybridsim.loops({ width: "420" })', 'hybridsim.loops({ width: 0 })',
                                'hybridsim.loops({ wholeRun: 1 })', 'hybridsim.loops({ width: NaN })']) {
        const thrown = await thrownBy(expression);
        assert.equal(thrown?.[0], 'TypeError', expression);
        assert.match(thrown[1], /^hybridsim\.loops: expected .+, not /, expression);
      }
      noProblems();
    });

    once('control loops: the pins in their colours in both charts; the caption\'s numbers the batch runner\'s', async () => {
      await fresh();
      await until(() => document.querySelectorAll('#loops-chart svg').length === 2);
      // pin 1 the default task, pin 2 fn2 = 60; the run shown fn2 = 10
      await page.evaluate(() => {
        hybridsim.pin();
        hybridsim.set('fn2', 60);
        hybridsim.pin();
      });
      await loopsFor(['fn2=10']);
      const pins = await page.evaluate(() => hybridsim.pins().map((p) => ({ colour: p.colour, csv: p.csv })));
      const [step, poles] = await loopsCharts();
      const pinSets = [[], ['fn2=60']];
      for (const [k, pin] of pins.entries()) {
        // its recorded force through its samples (the line drawn between them, within a pixel)
        const line = step.paths.find((p) => p.label === `pin ${k + 1}`);
        assert.equal(line?.colour, pin.colour, `pin ${k + 1}'s force`);
        const [head, ...rows] = pin.csv.trim().split('\n').map((l) => l.split(','));
        const end = step.x.value(step.area[0] + step.area[2]);
        let checked = 0;
        for (const r of rows) {
          const [t, F] = [Number(r[head.indexOf('t')]), Number(r[head.indexOf('force')])];
          if (t < 0.2 || t > end) continue;
          const px = step.x.px(t);
          const i = line.points.findIndex((p) => p[0] >= px);
          const [a, b] = [line.points[i - 1], line.points[i]];
          const y = a[1] + (b[1] - a[1]) * (px - a[0]) / (b[0] - a[0]);
          assert.ok(Math.abs(y - step.y.px(F)) <= 1, `pin ${k + 1} at ${t} s: ${y} px, its force at ${step.y.px(F)} px`);
          ++checked;
        }
        assert.ok(checked > 10, `${checked} samples of pin ${k + 1}`);
        // its poles, both loops': crosses designed, rings modelled, at the batch runner's places
        const own = poles.marks.filter((m) => m.colour === pin.colour);
        for (const r of batchRows(...withSets(pinSets[k]), '--loops', '--format', 'csv')) {
          const want = [poles.x.px(Number(r.re)), poles.y.px(Number(r.im))];
          assert.ok(own.some((m) => m.kind === (r.kind === 'designed' ? 'cross' : 'ring') &&
                                    Math.hypot(m.at[0] - want[0], m.at[1] - want[1]) <= 0.2),
                    `pin ${k + 1}: the system ${r.system} ${r.kind} pole ${r.re}`);
        }
        assert.equal(own.length, 10, `pin ${k + 1}'s poles`);
        for (const chart of [step, poles]) assert.ok(chart.keys.includes(`pin ${k + 1}`), chart.keys.join(', '));
      }

      // the caption: the force loop's poles of the batch runner, in English and in Japanese
      const number = (v) => (v === 0 ? '0' : (v < 0 ? '−' : '+') + (Math.abs(v) >= 1 ? Math.abs(v).toFixed(1)
        : String(Number(Math.abs(v).toPrecision(2)))));
      const captions = [];
      for (const { sets, has } of [
        // (the designed double pole is at −ωn, the third at −α)
        { sets: [], has: (d, m) => [`double pole at ${number(d[0])} becomes one pole at ${number(m[0])}, near −ωn/2 = ` +
          `${number(d[0] / 2)}`, `the slow pole near −α = −${-d[2]} stays, at ${number(m[1])}`,
          'With α = 0 (the position loop here) the ring at the origin'] },
        { sets: ['alpha2=0'], has: (d, m) => [`double pole at ${number(d[0])} becomes one pole at ${number(m[0])}`,
          'the pole at the origin stays', 'With α = 0 (both loops here) the rings at the origin'] },
        { sets: ['alpha2=0', 'fn2=0.15'], has: (d, m) => [`designed poles ${number(d[0])}, ${number(d[1])} and 0 become ` +
          `${number(m[0])} and 0: the pole at +0.059 lies right of the imaginary axis, so the model's force loop is unstable`] },
      ]) {
        await loopsFor(sets);
        const rows = batchRows(...withSets(sets), '--loops', '--format', 'csv').filter((r) => r.system === '2');
        const d = rows.filter((r) => r.kind === 'designed').map((r) => Number(r.re));
        const m = rows.filter((r) => r.kind === 'model').map((r) => Number(r.re));
        const [text, error] = await page.evaluate(() => [document.getElementById('loops-text').textContent,
          hybridsim.loops().forceError]);
        for (const words of has(d, m)) assert.ok(text.includes(words), `${sets}: "${words}" in "${text}"`);
        assert.ok(text.endsWith(`the recorded force lies within ${Number(error.toPrecision(3))} N of it.`), text);
        assert.ok(error > 0 && error < 1e-5, String(error));
        assert.equal(text.split('. ').length, 4, text);
        captions.push([text, d, m, error]);
      }
      await page.click('#language');
      await until(() => document.getElementById('loops-range').textContent === '全時間を表示');
      const ja = await page.$eval('#loops-text', (e) => [e.textContent, e.closest('[lang]').lang]);
      const [, d, m, error] = captions[2];
      for (const words of [`力制御系の設計の極 ${number(d[0])}、${number(d[1])}、0 は ${number(m[0])}、0 になります`,
                           '右半平面の極 +0.059 のため、モデルの力制御系は不安定です',
                           `${Number(error.toPrecision(3))} N 以内`])
        assert.ok(ja[0].includes(words), `"${words}" in "${ja[0]}"`);
      assert.equal(ja[1], 'ja');
      noProblems();
    });

    once('control loops: a force loop sampled under contact=spring in the z-plane, its unit circle and poles the batch runner\'s; its notice', async () => {
      await fresh();
      await until(() => document.querySelectorAll('#loops-chart svg').length === 2);
      const sets = ['contact=spring', 'period=0.04'];
      await loopsFor(sets);
      await until(() => document.querySelectorAll('#loops-chart svg').length === 3);
      const [, , z] = await loopsCharts();
      // the unit circle as wide as it is high, through +-1 on both axes
      const circle = z.paths.find((p) => p.label === '|z| = 1');
      const xs = circle.points.map((p) => p[0]);
      const ys = circle.points.map((p) => p[1]);
      assert.ok(Math.abs(Math.max(...xs) - z.x.px(1)) <= 0.2 && Math.abs(Math.min(...xs) - z.x.px(-1)) <= 0.2, 'the circle across');
      assert.ok(Math.abs(Math.min(...ys) - z.y.px(1)) <= 0.2 && Math.abs(Math.max(...ys) - z.y.px(-1)) <= 0.2, 'the circle up');
      // the sampled poles as rings at the batch runner's places, one outside the circle
      const sampled = batchRows(...withSets(sets), '--loops', '--format', 'csv').filter((r) => r.kind === 'sampled');
      assert.equal(sampled.length, 2);
      assert.equal(z.marks.length, 2);
      for (const r of sampled) {
        const want = [z.x.px(Number(r.re)), z.y.px(Number(r.im))];
        assert.ok(z.marks.some((m) => m.kind === 'ring' && Math.hypot(m.at[0] - want[0], m.at[1] - want[1]) <= 0.2),
          `the sampled pole ${r.re}`);
      }
      const largest = Math.max(...sampled.map((r) => Number(r.abs)));
      assert.ok(largest > 1 && sampled.some((r) => r.inside === 'no'));
      const limit = Number(/for periods T below ([\d.]+) s/.exec(batchOut(...withSets(sets), '--loops'))[1]);
      // the caption's figures, the batch runner's
      const text = await page.$eval('#loops-text', (e) => e.textContent);
      for (const words of ['Sampled every T = 0.04 s', `|z| = ${Number(largest.toPrecision(3))} lies outside the unit circle`,
                           `(for T below ${Number(limit.toPrecision(3))} s)`, 'r (Kp − 1) and r Ki in the force loop'])
        assert.ok(text.includes(words), `"${words}" in "${text}"`);
      // the notice: the page's English line, then the console's, as the batch runner writes it on standard error
      await until(() => !document.getElementById('fault-notice').hidden);
      const notice = await page.$eval('#fault-notice', (e) => e.textContent);
      const stderr = spawnSync(batch, [...withSets(sets), '--summary'], { encoding: 'utf8' }).stderr.trim();
      assert.match(notice, /^The force loop sampled every T = 0\.04 s, linearised about the contour's start without the servo lag, is unstable: its largest pole has \|z\| = 1\.674 > 1\. Without the lag, periods below about 0\.0302 s keep that linearised loop stable\.\n/);
      assert.ok(notice.endsWith(`\n${stderr}`), `${notice} / ${stderr}`);
      // a short period: inside the circle, no notice; the ideal contact: no z-plane
      await loopsFor(['contact=spring', 'period=0.001']);
      assert.equal(await page.$eval('#fault-notice', (e) => e.hidden), true);
      assert.match(await page.$eval('#loops-text', (e) => e.textContent), /inside the unit circle, so linearised about the start the sampled loop is stable/);
      await loopsFor([]);
      await until(() => document.querySelectorAll('#loops-chart svg').length === 2);
      noProblems();
    });

    // --- the designed poles dragged in the s-plane ---
    // The s-plane as drawn, read back from its ticks (loopsCharts), in the
    // page's client px: client(re, im) and back(x, y), and how many px one rad/s is.
    const sPlane = async () => {
      const [, poles] = await loopsCharts();
      const m = await page.$eval('#loops-chart .loops-poles svg', (svg) => {
        const c = svg.getScreenCTM();
        return [c.a, c.d, c.e, c.f];
      });
      return {
        client: (re, im) => [m[0] * poles.x.px(re) + m[2], m[1] * poles.y.px(im) + m[3]],
        back: (x, y) => [poles.x.value((x - m[2]) / m[0]), poles.y.value((y - m[3]) / m[1])],
        px: m[0] * (poles.x.px(1) - poles.x.px(0)),
      };
    };
    // a handle's middle in client px, scrolled into view
    const handleAt = (id) => page.$eval(`#${id}`, (e) => {
      e.scrollIntoView({ block: 'center' });
      const r = e.getBoundingClientRect();
      return [r.x + r.width / 2, r.y + r.height / 2];
    });
    // (fn is held as 2 pi fn: read back to 15 digits)
    const values = (...names) => page.evaluate((all) => all.map((n) => Number(Number(hybridsim.get(n)).toPrecision(15))), names);
    // after a change: the panel drawn anew (the handles with it)
    const drawnAfter = (t) => until((after) => (performance.getEntriesByName('hybridsim-loops-drawn')[0]?.startTime ?? 0) > after, t);
    const now = () => page.evaluate(() => performance.now());
    // the designed pole above the axis of fn [Hz] and zeta
    const pairPole = (fn, zeta) => {
      const wn = 2 * Math.PI * fn;
      return [-zeta * wn, wn * Math.sqrt(Math.max(0, 1 - zeta * zeta))];
    };
    const threeDigits = (v) => Number(v.toPrecision(3)) === v;
    // (an SVG element: page.focus takes HTML elements only)
    const focusOn = (id) => page.$eval(`#${id}`, (e) => e.focus());

    once('control loops: the designed poles dragged by mouse and touch set fn2, zeta2 and alpha2 where the pointer is; a refused place keeps the run', async () => {
      await fresh();
      await until(() => document.querySelectorAll('.pole-handle').length === 4);
      // mouse: the force pair up and left, off the axis
      let plane = await sPlane();
      let t = await now();
      const [px, py] = await handleAt('pole-2-pair');
      plane = await sPlane();
      const target = plane.client(-90, 70);
      await page.mouse.move(px, py);
      await page.mouse.down();
      await page.mouse.move(target[0], target[1], { steps: 12 });
      await page.mouse.up();
      await drawnAfter(t);
      let [fn2, zeta2] = await values('fn2', 'zeta2');
      assert.ok(threeDigits(fn2) && threeDigits(zeta2), `${fn2} ${zeta2}`);
      // the pole where the pointer was: within a px and a half, and the rounding
      const pointed = plane.back(...target);
      const pole = pairPole(fn2, zeta2);
      const near = 1.5 / plane.px + 0.006 * Math.hypot(...pointed);
      assert.ok(Math.hypot(pole[0] - pointed[0], pole[1] - pointed[1]) <= near, `${pole} at ${pointed}`);
      // the run is the batch runner's with those values, and the chart's model poles its too
      const sets = [`fn2=${fn2}`, `zeta2=${zeta2}`];
      assert.equal(await page.evaluate(() => hybridsim.summary()), batchOut(...withSets(sets), '--summary'));
      const [, poles] = await loopsCharts();
      for (const r of batchRows(...withSets(sets), '--loops', '--format', 'csv').filter((r) => r.system === '2' && r.kind === 'model')) {
        const want = [poles.x.px(Number(r.re)), poles.y.px(Number(r.im))];
        assert.ok(poles.marks.some((m) => m.kind === 'ring' && Math.hypot(m.at[0] - want[0], m.at[1] - want[1]) <= 0.2), `model pole ${r.re}`);
      }
      // the handle's words follow
      assert.equal(await page.$eval('#pole-2-pair', (e) => e.getAttribute('aria-valuetext')), `fn2 ${fn2} Hz, ζ2 ${zeta2}`);

      // -alpha2 along the axis to -40, then past the origin: 0
      for (const [re, want] of [[-40, 40], [15, 0]]) {
        t = await now();
        const from = await handleAt('pole-2-alpha');
        plane = await sPlane();
        const to = plane.client(re, 0);
        await page.mouse.move(...from);
        await page.mouse.down();
        await page.mouse.move(to[0], to[1] + 1, { steps: 8 });
        await page.mouse.up();
        await drawnAfter(t);
        const [alpha2, f, z] = await values('alpha2', 'fn2', 'zeta2');
        assert.ok(Math.abs(alpha2 - want) <= 1.5 / plane.px + 0.005 * want, `alpha2 ${alpha2} for ${want}`);
        assert.ok(threeDigits(alpha2));
        assert.deepEqual([f, z], [fn2, zeta2], 'the pair stays');
      }

      // the pair straight onto the origin with alpha2 = 0: fn2 = 0 makes Kv2 zero, refused as typed; the run stays
      const csv = await page.evaluate(() => hybridsim.csv());
      const refusal = await page.evaluate(() => hybridsim.set('fn2', 0).message);
      assert.match(refusal, /velocity gain Kv2 zero/);
      const from = await handleAt('pole-2-pair');
      plane = await sPlane();
      await page.mouse.move(...from);
      await page.mouse.down();
      await page.mouse.move(...plane.client(0, 0));
      await page.mouse.up();
      await until(() => !document.getElementById('loops-drag-message').hidden);
      assert.equal(await page.$eval('#loops-drag-message', (e) => e.textContent), refusal);
      assert.equal(await page.evaluate(() => hybridsim.csv()), csv);
      assert.deepEqual(await values('fn2', 'zeta2', 'alpha2'), [fn2, zeta2, 0]);

      // touch: a finger drags the pair down to the axis (zeta2 1 there), the page does not scroll
      assert.equal(await page.$eval('#pole-2-pair', (e) => getComputedStyle(e).touchAction), 'none');
      t = await now();
      const start = await handleAt('pole-2-pair');
      plane = await sPlane();
      const end = plane.client(-150, 0);
      const scrolled = await page.evaluate(() => window.scrollY);
      if (chromium) {
        const cdp = await page.createCDPSession();
        const touch = (type, [x, y]) => cdp.send('Input.dispatchTouchEvent', { type, touchPoints: type === 'touchEnd' ? [] : [{ x, y }] });
        await touch('touchStart', start);
        for (let k = 1; k <= 10; ++k)
          await touch('touchMove', [start[0] + ((end[0] - start[0]) * k) / 10, start[1] + ((end[1] - start[1]) * k) / 10]);
        await touch('touchEnd', end);
        await cdp.detach();
      } else {
        // (Firefox's driver has no touch here: the pointer events a finger makes)
        await page.$eval('#pole-2-pair', async (h, [a, b]) => {
          const ev = (type, [x, y]) => h.dispatchEvent(new PointerEvent(type, { pointerId: 9, pointerType: 'touch', isPrimary: true,
            clientX: x, clientY: y, buttons: type === 'pointerup' ? 0 : 1, bubbles: true, cancelable: true }));
          ev('pointerdown', a);
          for (let k = 1; k <= 10; ++k) {
            ev('pointermove', [a[0] + ((b[0] - a[0]) * k) / 10, a[1] + ((b[1] - a[1]) * k) / 10]);
            await new Promise(requestAnimationFrame);
          }
          ev('pointerup', b);
        }, [start, end]);
      }
      await drawnAfter(t);
      [fn2, zeta2] = await values('fn2', 'zeta2');
      assert.equal(zeta2, 1, 'on the axis the pair is a double pole');
      assert.ok(Math.abs(2 * Math.PI * fn2 - 150) <= 1.5 / plane.px + 1, `fn2 ${fn2}`);
      assert.equal(await page.evaluate(() => window.scrollY), scrolled, 'the page did not scroll');
      noProblems();
    });

    once('control loops: arrow keys move a focused pole and say its values; Undo returns them; a link after a drag reopens its run', async () => {
      await fresh();
      await until(() => document.querySelectorAll('.pole-handle').length === 4);
      const frame = await page.evaluate(() => hybridsim.frame);
      const undo = () => page.$eval('#loops-undo', (b) => b.disabled);
      assert.equal(await undo(), true, 'nothing to undo yet');
      // the force pair: Left 5 % more fn2, Shift+Left 25 %, Right back, Up less damping
      await focusOn('pole-2-pair');
      let t = await now();
      await page.keyboard.press('ArrowLeft');
      await drawnAfter(t);
      assert.deepEqual(await values('fn2', 'zeta2'), [21, 1]);
      assert.equal(await page.$eval('#pole-2-pair', (e) => e.getAttribute('aria-valuetext')), 'fn2 21 Hz, ζ2 1');
      await page.keyboard.down('Shift');
      await page.keyboard.press('ArrowLeft');
      await page.keyboard.up('Shift');
      const [larger] = await values('fn2');
      assert.ok(larger > 1.24 * 21 && larger < 1.26 * 21 && threeDigits(larger), `${larger}`);
      await page.keyboard.press('ArrowRight');
      const [smaller] = await values('fn2');
      assert.ok(smaller < larger && threeDigits(smaller), `${smaller}`);
      t = await now();
      await page.keyboard.press('ArrowUp');
      await drawnAfter(t);
      const [fn2, zeta2] = await values('fn2', 'zeta2');
      assert.equal(zeta2, 0.95);
      assert.equal(await page.$eval('#pole-2-pair', (e) => e.getAttribute('aria-valuetext')), `fn2 ${fn2} Hz, ζ2 0.95`);
      // the arrows were the handle's: the frame did not move, the panel's focus kept
      assert.equal(await page.evaluate(() => hybridsim.frame), frame);
      assert.equal(await page.evaluate(() => document.activeElement.id), 'pole-2-pair');
      // alpha1 from 0: a step left gives it a value; Up and Down leave it
      await focusOn('pole-1-alpha');
      await page.keyboard.press('ArrowLeft');
      await page.keyboard.press('ArrowDown');
      const [alpha1] = await values('alpha1');
      assert.ok(alpha1 > 0 && threeDigits(alpha1), `${alpha1}`);
      // the words in Japanese
      await page.evaluate(() => { hybridsim.language = 'ja'; });
      assert.equal(await page.$eval('#pole-2-pair', (e) => e.getAttribute('aria-valuetext')), `fn2 ${fn2} Hz、ζ2 0.95`);
      assert.match(await page.$eval('#pole-2-pair', (e) => e.getAttribute('aria-label')), /^力制御系 2/);
      assert.equal(await page.$eval('#loops-undo', (b) => b.textContent), 'ドラッグを元に戻す');
      await page.evaluate(() => { hybridsim.language = 'en'; });

      // a link after the drags opens the same run
      const link = await page.evaluate(() => hybridsim.link());
      const summary = await page.evaluate(() => hybridsim.summary());
      const other = await launched[kind].context.newPage();
      try {
        await other.goto(link, { waitUntil: 'load', timeout: deadline });
        await other.waitForFunction(() => document.body.dataset.ready === 'true', { timeout: deadline, polling: 20 });
        assert.equal(await other.evaluate(() => hybridsim.summary()), summary);
        assert.deepEqual(await other.evaluate(() => ['fn2', 'zeta2', 'alpha1'].map((n) => Number(Number(hybridsim.get(n)).toPrecision(15)))),
                         [fn2, 0.95, alpha1]);
      } finally {
        await other.close();
      }

      // Undo: Ctrl+Z in the panel takes back the last drag (alpha1's presses), the button the one before (the force pair's four)
      assert.equal(await undo(), false);
      await focusOn('pole-1-alpha');
      await page.keyboard.down('Control');
      await page.keyboard.press('z');
      await page.keyboard.up('Control');
      assert.deepEqual(await values('alpha1', 'fn2', 'zeta2'), [0, fn2, 0.95]);
      await page.$eval('#loops-undo', (b) => b.scrollIntoView({ block: 'center' }));
      await page.click('#loops-undo');
      assert.deepEqual(await values('alpha1', 'fn2', 'zeta2'), [0, 20, 1]);
      assert.equal(await undo(), true, 'nothing left to undo');
      assert.equal(await page.evaluate(() => hybridsim.summary()), batchOut('--summary'));
      // the defaults clear what there was to undo
      await focusOn('pole-2-pair');
      await page.keyboard.press('ArrowRight');
      assert.equal(await undo(), false);
      await page.evaluate(() => hybridsim.resetDefaults());
      assert.equal(await undo(), true);
      noProblems();
    });

    once('control loops: closed, the panel draws and computes nothing for its poles', async () => {
      await fresh();
      await until(() => document.querySelectorAll('.pole-handle').length === 4);
      const before = await page.$$eval('.pole-handle', (all) => all.map((e) => e.getAttribute('cx')));
      await page.evaluate(() => {
        document.getElementById('loops').open = false;
        window.loopsAsked = 0;
        const loops = hybridsim.loops;
        hybridsim.loops = (...a) => { ++window.loopsAsked; return loops(...a); };
      });
      const t = await now();
      await page.evaluate(() => hybridsim.set('fn2', 30));
      // the picture after the run is drawn: two display frames and a task later
      await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(done, 0)))));
      assert.equal(await page.evaluate(() => window.loopsAsked), 0);
      assert.equal(await page.evaluate(() => performance.getEntriesByName('hybridsim-loops-drawn')[0].startTime) < t, true);
      assert.equal(await page.$eval('.pole-handles', (e) => e.checkVisibility()), false);
      assert.deepEqual(await page.$$eval('.pole-handle', (all) => all.map((e) => e.getAttribute('cx'))), before);
      // opened: drawn for the run in force
      await page.evaluate(() => { document.getElementById('loops').open = true; });
      await drawnAfter(t);
      assert.notDeepEqual(await page.$$eval('.pole-handle', (all) => all.map((e) => e.getAttribute('cx'))), before);
      noProblems();
    });

    once('control loops: no text clipped or covered at 1280 px and on a 390 px phone, nothing wider than the screen', async () => {
      await fresh();
      await until(() => document.querySelectorAll('#loops-chart svg').length === 2);
      // four pins (their names in both legends), the keys in rows
      await page.evaluate(() => {
        for (const fn2 of [20, 60, 5, 10]) {
          hybridsim.set('fn2', fn2);
          hybridsim.pin();
        }
      });
      const look = () => page.evaluate(() => {
        const out = { problems: [], charts: [], texts: 0, smallest: Infinity };
        const chart = document.getElementById('loops-chart');
        const svgs = [...chart.querySelectorAll('svg')];
        for (const svg of svgs) {
          const box = svg.getBoundingClientRect();
          const scale = box.width / svg.width.baseVal.value;
          out.charts.push([box.left, box.top, box.right, box.bottom]);
          // Each text's box in the chart's pixels: its advance from its
          // anchor, and from its baseline 0.76 of its size up and 0.24 down
          // (the letters' ascent and descent; the browsers' own boxes of an
          // SVG text are line boxes, taller by a browser's own amount); a
          // turned text (the y axis's name) by its box on the screen.
          const texts = [...svg.querySelectorAll('text')].map((t) => {
            const size = parseFloat(getComputedStyle(t).fontSize);
            // in the chart's own font (which the sizes are made for), not the page's
            if (getComputedStyle(t).fontFamily !== getComputedStyle(svg).fontFamily)
              out.problems.push(`"${t.textContent}" in ${getComputedStyle(t).fontFamily}`);
            out.smallest = Math.min(out.smallest, size * scale);
            if (t.getAttribute('transform')) {
              const r = t.getBoundingClientRect();
              return { text: t.textContent, l: (r.left - box.left) / scale, r: (r.right - box.left) / scale,
                       t: (r.top - box.top) / scale, b: (r.bottom - box.top) / scale };
            }
            const x = Number(t.getAttribute('x'));
            const y = Number(t.getAttribute('y'));
            const w = t.getComputedTextLength();
            const anchor = getComputedStyle(t).textAnchor;
            const l = anchor === 'middle' ? x - w / 2 : anchor === 'end' ? x - w : x;
            return { text: t.textContent, l, r: l + w, t: y - 0.76 * size, b: y + 0.24 * size };
          });
          out.texts += texts.length;
          for (const [i, a] of texts.entries()) {
            if (a.l < 0 || a.r > svg.width.baseVal.value || a.t < 0 || a.b > svg.height.baseVal.value)
              out.problems.push(`"${a.text}" leaves its chart`);
            for (const b of texts.slice(i + 1))
              if (a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b) out.problems.push(`"${a.text}" covers "${b.text}"`);
          }
        }
        // the panel's own elements: none beyond the screen, the caption not wider than its box
        for (const e of document.querySelectorAll('#loops, #loops *'))
          if (e.getClientRects().length && e.getBoundingClientRect().right > document.documentElement.clientWidth + 0.5)
            out.problems.push(`${e.tagName}.${e.getAttribute('class')} ends at ${e.getBoundingClientRect().right} px`);
        const note = document.getElementById('loops-text');
        if (note.scrollWidth > note.clientWidth + 1) out.problems.push('the caption is wider than its place');
        return out;
      });
      await until(() => [...document.querySelectorAll('#loops-chart g.key text')].some((t) => t.textContent === 'pin 4'));
      let shownAt = '1280 900';  // (the page's size when it opens)
      for (const [width, height, english, layout] of [[1280, 800, true, 'stacked'], [1280, 800, false, 'stacked'],
                                                      [1280, 1400, true, 'side by side'], [390, 844, true, 'stacked'],
                                                      [390, 844, false, 'stacked']]) {
        // a new size: the picture fitted to it, then the panel drawn anew for it
        if (`${width} ${height}` !== shownAt) {
          const t = await page.evaluate(() => performance.now());
          await page.setViewport({ width, height });
          await until((after) => (performance.getEntriesByName('hybridsim-loops-drawn')[0]?.startTime ?? 0) > after, t);
          shownAt = `${width} ${height}`;
        }
        if ((await page.evaluate(() => hybridsim.language)) !== (english ? 'en' : 'ja')) await page.click('#language');
        // drawn as wide as the picture, or half of it
        await until(() => {
          const canvas = document.getElementById('view').offsetWidth;
          const w = Math.max(240, canvas >= 2 * 380 + 12 ? Math.floor((canvas - 12) / 2) : canvas);
          const widths = [...document.querySelectorAll('#loops-chart svg')].map((svg) => svg.width.baseVal.value);
          return widths.length === 2 && widths.every((x) => x === w);
        });
        const seen = await look();
        const what = `${width} x ${height}, ${english ? 'English' : 'Japanese'}`;
        assert.deepEqual(seen.problems, [], what);
        assert.ok(seen.texts > 40, `${what}: ${seen.texts} texts`);
        assert.ok(seen.smallest >= 11, `${what}: a text of ${seen.smallest} px`);
        const [a, b] = seen.charts;
        assert.equal(layout, b[1] >= a[3] ? 'stacked' : 'side by side', what);
      }
      noProblems();
    });

    // --- the frequency response and the root locus, inside the control loops' panel ---
    // the default task after `sets`, both drawn anew for it (the freq chart's svg replaced)
    const freqFor = async (sets) => {
      await page.evaluate((all) => {
        hybridsim.resetDefaults();
        for (const s of all) {
          const eq = s.indexOf('=');
          if (!hybridsim.set(s.slice(0, eq), s.slice(eq + 1)).ok) throw new Error(s);
        }
        document.querySelector('#freq-chart svg')?.setAttribute('data-seen', 'old');
      }, sets);
      await until(() => {
        const svg = document.querySelector('#freq-chart svg');
        return svg && svg.dataset.seen !== 'old' && document.querySelector('#locus-chart svg');
      });
    };
    // the designed response of loop 2 at hz from fn2, zeta2 and alpha2 alone:
    // (Kv s^2 + Kp s + Ki) / (s^3 + Kv s^2 + Kp s + Ki), |H| [dB]
    const designedDb = (fn, zeta, alpha, hz) => {
      const wn = 2 * Math.PI * fn;
      const Kv = 2 * zeta * wn + alpha, Kp = wn * wn + 2 * zeta * wn * alpha, Ki = alpha * wn * wn;
      const w = 2 * Math.PI * hz;
      const num = [Ki - Kv * w * w, Kp * w];
      const den = [Ki - Kv * w * w, Kp * w - w * w * w];
      return 20 * Math.log10(Math.hypot(...num) / Math.hypot(...den));
    };

    once('frequency response and root locus: nothing drawn or computed until both disclosures are open', async () => {
      await fresh();
      await until(() => document.querySelectorAll('#loops-chart svg').length === 2);
      // every call the panel makes of the core, counted
      await page.evaluate(() => {
        window.freqCalls = 0;
        for (const name of ['response', 'loopResponseAt', 'locus']) {
          const real = hybridsim[name].bind(hybridsim);
          hybridsim[name] = (...args) => { ++window.freqCalls; return real(...args); };
        }
      });
      const drawn = () => page.evaluate(() => [document.querySelectorAll('#freq-chart svg').length,
        document.querySelectorAll('#locus-chart svg').length, window.freqCalls]);
      assert.equal(await page.$eval('#loops-more', (d) => d.open), false);
      // a run and a pin with the inner disclosure closed
      await page.evaluate(() => { hybridsim.set('fn2', 25); hybridsim.pin(); });
      await until(() => document.querySelectorAll('#loops-chart g.key text').length > 0 &&
        [...document.querySelectorAll('#loops-chart g.key text')].some((t) => t.textContent === 'pin 1'));
      assert.deepEqual(await drawn(), [0, 0, 0]);
      // the inner one open, the outer closed: still nothing
      await page.evaluate(() => {
        document.getElementById('loops').open = false;
        document.getElementById('loops-more').open = true;
        hybridsim.set('fn2', 30);
      });
      // past the work after the run's picture (a display frame, then a task):
      // a later frame and a task after it
      await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(done, 0)))));
      assert.deepEqual(await drawn(), [0, 0, 0]);
      // both open: both charts, once
      await page.evaluate(() => { document.getElementById('loops').open = true; });
      await until(() => document.querySelector('#freq-chart svg') && document.querySelector('#locus-chart svg'));
      const [, , calls] = await drawn();
      assert.ok(calls >= 2 && calls <= 3, `${calls} calls`);
      // the pin's model response in its colour, the keys named
      const keys = await page.$$eval('#freq-chart g.key text', (all) => all.map((t) => t.textContent));
      assert.ok(keys.includes('pin 1, model') && keys.includes('designed response'), keys.join(' | '));
      assert.equal(await page.$eval('#freq-readout', (e) => e.getAttribute('aria-live')), 'polite');
      // the tab order: the chart and the select come after the inner disclosure's summary
      await page.focus('#loops-more-toggle');
      await page.keyboard.press('Tab');
      assert.equal(await page.evaluate(() => document.activeElement.id), 'freq-chart');
      await page.keyboard.press('Tab');
      assert.equal(await page.evaluate(() => document.activeElement.id), 'locus-quantity');
      noProblems();
    });

    once('frequency response: the cursor by keys and pointer reads the core, the design and the batch runner\'s figures', async () => {
      await fresh();
      await page.evaluate(() => { document.getElementById('loops-more').open = true; });
      const sets = ['contact=spring', 'period=0.02', 'zeta2=0.5'];
      await freqFor(sets);
      const shown = await page.evaluate(() => hybridsim.response({ width: Math.max(240, document.getElementById('view').offsetWidth) }));
      const [lo, hi] = [Math.min(...shown.loops.map((l) => Math.log10(l.low))), Math.max(...shown.loops.map((l) => Math.log10(l.high)))];
      assert.equal(shown.sampled, true);
      assert.match(await page.$eval('#freq-text', (e) => e.textContent), /Dotted: the sampled force loop/);
      // keys: Home, then three steps of a twentieth of a decade, Shift a decade, End
      await page.focus('#freq-chart');
      const hz = () => page.$eval('#freq-chart', (c) => Number(c.dataset.hz));
      // (log10 and powers of ten may differ in the last bit between the browser and here)
      const near = (a, b) => Math.abs(a - b) <= 1e-9;
      await page.keyboard.press('Home');
      await until((x) => Math.abs(Math.log10(Number(document.getElementById('freq-chart').dataset.hz)) - x) < 1e-9, lo);
      for (let k = 0; k < 3; ++k) await page.keyboard.press('ArrowRight');
      await until((x) => Math.abs(Math.log10(Number(document.getElementById('freq-chart').dataset.hz)) - x) < 1e-9, lo + 3 / 20);
      await page.keyboard.down('Shift');
      await page.keyboard.press('ArrowRight');
      await page.keyboard.up('Shift');
      assert.ok(near(Math.log10(await hz()), lo + 3 / 20 + 1));
      await page.keyboard.press('End');
      assert.ok(near(Math.log10(await hz()), hi));
      // a line through every panel whose range holds the cursor
      assert.equal(await page.$$eval('#freq-chart .freq-cursor line', (l) => l.length),
        shown.panels.filter((p) => hi <= p.hi + 1e-12).length);
      // the readout: the core's values at the cursor's frequency, as the text shows them rounded
      const check = async () => {
        const [at, values, text] = await page.evaluate(() => {
          const c = document.getElementById('freq-chart');
          const r = document.getElementById('freq-readout');
          return [Number(c.dataset.hz), JSON.parse(r.dataset.values), r.textContent];
        });
        const core = await page.evaluate((f) => [hybridsim.loopResponseAt(1, f), hybridsim.loopResponseAt(2, f)], at);
        assert.deepEqual(values, core);
        const force = core[1];
        if (force.model) assert.ok(text.includes(`model ${force.model.dB.toFixed(2)} dB, ${force.model.deg.toFixed(1)}°`), text);
        return [at, core];
      };
      await check();
      // the pointer at the batch runner's bandwidth and peak of the force loop, in its |H| panel
      const rows = batchRows(...withSets(sets), '--loops', '--format', 'csv').filter((r) => r.system === '2');
      const model = rows.find((r) => r.kind === 'model');
      const designed = rows.find((r) => r.kind === 'designed');
      const panel = shown.panels.find((p) => p.system === 2 && p.magnitude);
      const pointAt = async (f) => {
        const box = await page.$eval('#freq-chart svg', (s) => { const b = s.getBoundingClientRect(); return [b.left, b.top, b.width]; });
        const scale = box[2] / shown.width;
        const u = panel.x0 + (panel.x1 - panel.x0) * (Math.log10(f) - panel.lo) / (panel.hi - panel.lo);
        return [box[0] + u * scale, box[1] + ((panel.y0 + panel.y1) / 2) * scale];
      };
      const bw = Number(model.bandwidth_hz);
      await page.mouse.move(...await pointAt(bw));
      await until((f) => Math.abs(Math.log10(Number(document.getElementById('freq-chart').dataset.hz) / f)) < 0.01, bw);
      const [atBw, coreBw] = await check();
      // within a pixel of the bandwidth: 3 dB below 0 Hz's 0 dB (the slope there some 20 dB a decade)
      assert.ok(Math.abs(coreBw[1].model.dB + 3) < 25 * Math.abs(Math.log10(atBw / bw)) + 0.01, `${coreBw[1].model.dB} at ${atBw}`);
      // the designed reading is the design's H written out from fn2, zeta2 and alpha2, to 0.01 dB
      assert.ok(Math.abs(coreBw[1].designed.dB - designedDb(20, 0.5, 2, atBw)) < 0.01);
      const pf = Number(designed.peak_hz);
      await page.mouse.move(...await pointAt(pf));
      await until((f) => Math.abs(Math.log10(Number(document.getElementById('freq-chart').dataset.hz) / f)) < 0.01, pf);
      const [atPeak, corePeak] = await check();
      assert.ok(Math.abs(corePeak[1].designed.dB - Number(designed.peak_db)) < 0.05, `${corePeak[1].designed.dB}`);
      assert.ok(Math.abs(corePeak[1].designed.dB - designedDb(20, 0.5, 2, atPeak)) < 0.01);
      // the same in Japanese
      await page.click('#language');
      await until(() => document.getElementById('freq-readout').textContent.includes('力制御系 (2)'));
      await page.click('#language');
      // arguments of the wrong kind
      for (const [expression, call] of [['hybridsim.loopResponseAt(3, 1)', 'loopResponseAt'],
        ['hybridsim.loopResponseAt(2, -1)', 'loopResponseAt'], ['hybridsim.locus({ quantity: "zeta2" })', 'locus'],
        ['hybridsim.response({ width: 0 })', 'response']]) {
        const thrown = await thrownBy(expression);
        assert.equal(thrown?.[0], 'TypeError', expression);
        assert.match(thrown[1], new RegExp(`^hybridsim\\.${call}: expected .+, not `), expression);
      }
      noProblems();
    });

    once('root locus: the select\'s quantities, the poles in force the batch runner\'s, the sampled loop in the z-plane', async () => {
      await fresh();
      await page.evaluate(() => { document.getElementById('loops-more').open = true; });
      await freqFor([]);
      const options = () => page.$$eval('#locus-quantity option', (all) => all.map((o) => o.value));
      assert.deepEqual(await options(), ['fn2', 'alpha2']);
      assert.match(await page.$eval('#locus-chart .panel-title', (t) => t.textContent), /^model force loop, fn2 from 2 to 200/);
      assert.match(await page.$eval('#locus-text', (e) => e.textContent), /as fn2 goes from a tenth to ten times its value.*20 Hz now/);
      const sets = ['contact=spring', 'period=0.02'];
      await freqFor(sets);
      assert.deepEqual(await options(), ['fn2', 'alpha2', 'ratio', 'period']);
      await page.select('#locus-quantity', 'period');
      await until(() => document.getElementById('locus-chart').dataset.quantity === 'period');
      assert.match(await page.$eval('#locus-chart .panel-title', (t) => t.textContent), /^sampled force loop, T from 0.002 to 0.2 s/);
      assert.ok(await page.$$eval('#locus-chart path.series', (all) => all.some((p) => p.dataset.label === '|z| = 1')));
      // the poles in force: the batch runner's sampled rows
      const locus = await page.evaluate(() => hybridsim.locus({ quantity: 'period' }));
      const sampled = batchRows(...withSets(sets), '--loops', '--format', 'csv').filter((r) => r.kind === 'sampled');
      assert.equal(locus.at.length, sampled.length);
      for (const r of sampled)
        assert.ok(locus.at.some(([re, im]) => Math.abs(re - Number(r.re)) < 1e-12 && Math.abs(im - Number(r.im)) < 1e-12), r.re);
      assert.equal(locus.values[50], 0.02);
      // the ratio: the batch runner's r in the middle of the sweep
      await page.select('#locus-quantity', 'ratio');
      await until(() => document.getElementById('locus-chart').dataset.quantity === 'ratio');
      const ratio = await page.evaluate(() => hybridsim.locus({ quantity: 'ratio' }).current);
      assert.equal(ratio, Number(sampled[0].ratio));
      assert.match(await page.$eval('#locus-text', (e) => e.textContent), /linearized about the start/);
      // back to a rigid contact: the quantities that no longer apply leave, fn2 shown again
      await freqFor([]);
      assert.deepEqual(await options(), ['fn2', 'alpha2']);
      assert.equal(await page.$eval('#locus-quantity', (s) => s.value), 'fn2');
      // a quantity at 0 has no range about it: said so
      await page.select('#locus-quantity', 'alpha2');
      await freqFor(['alpha2=0']);
      assert.match(await page.$eval('#locus-text', (e) => e.textContent), /^No root locus: alpha2 is 0/);
      // the names in Japanese
      await page.click('#language');
      await until(() => document.querySelector('#locus-quantity option').textContent === 'fn2（力制御系）');
      await page.click('#language');
      noProblems();
    });

    test('downloads: the CSV as the batch runner writes it, the frame as an 800 x 800 PNG', async () => {
      await fresh();
      await page.evaluate(() => { hybridsim.frame = 60; });
      // (named after the task: the default task is robot b's sine under the default method)
      const folder = await downloads(launched[kind], page, ['scara-sine.csv', 'scara-sine-frame-060.png'], async () => {
        await page.click('#download-csv');
        await page.click('#download-png');
      });
      try {
        const saved = fs.readFileSync(path.join(folder, 'scara-sine.csv'), 'utf8');
        assertSameCsv(saved, batchOut('--csv', '-'));
        assert.equal(saved, await seenCsv('the default task'), 'the file is hybridsim.csv(), byte for byte');
        const png = fs.readFileSync(path.join(folder, 'scara-sine-frame-060.png'));
        assert.equal(png.subarray(1, 4).toString(), 'PNG');
        assert.equal(png.readUInt32BE(16), 800, 'width');
        assert.equal(png.readUInt32BE(20), 800, 'height');
      } finally {
        fs.rmSync(folder, { recursive: true, force: true });
      }
      noProblems();
    });

    once('the page as one file: hybridsim.html alone in a folder opens from file://, the same run as the site', async () => {
      assert.ok(fs.statSync(oneFile).size <= 600000, `${oneFile}: ${fs.statSync(oneFile).size} bytes`);
      await fresh();
      const siteCsv = await csv();
      const alone = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-one-file-'));
      const own = [];
      let one;
      try {
        fs.copyFileSync(oneFile, path.join(alone, 'hybridsim.html'));
        // any file it named would be missing here: a failed request
        one = await openPage(launched[kind].context, pathToFileURL(path.join(alone, 'hybridsim.html')).href, own,
                             deadline);
        assert.equal(await one.evaluate(() => hybridsim.csv()), siteCsv);
        assert.equal(await one.evaluate(() => hybridsim.report()), await report());
        assert.deepEqual(own, [], 'console, page, request or dialog trouble in the one file');
      } finally {
        if (one) await one.close();
        fs.rmSync(alone, { recursive: true, force: true });
      }
      noProblems();
    });

    once('the animation: a GIF of every sample, with progress; one at a time; Cancel leaves the page as it was', async () => {
      await fresh();
      const shown = () => page.evaluate(() => [document.getElementById('gif-progress').hidden,
                                               document.getElementById('download-gif').disabled]);
      const folder = await downloads(launched[kind], page, ['scara-sine.gif'], async () => {
        await page.click('#download-gif');
        await until(() => document.getElementById('gif-bar').value >= 2);
        assert.deepEqual(await shown(), [false, true], 'the progress shown, the button resting');
        assert.match(await page.$eval('#gif-count', (e) => e.textContent), /^frame \d+ of 201$/);
        // a second request while it is made: refused at once
        const second = await page.evaluate(() => hybridsim.gif().then(() => 'made', (e) => e.message));
        assert.equal(second, 'hybridsim.gif: an animation is being made already: wait for it, or cancelGif()');
      });
      try {
        assertRunGif(fs.readFileSync(path.join(folder, 'scara-sine.gif')));
      } finally {
        fs.rmSync(folder, { recursive: true, force: true });
      }
      await until(() => !hybridsim.gifBusy);
      assert.deepEqual(await shown(), [true, false]);

      // cancelled by the script: the promise rejects at once, nothing is
      // left being made, and the page takes settings as before
      const cancelled = await page.evaluate(async () => {
        let third;
        const reached = new Promise((r) => { third = r; });
        const made = hybridsim.gif({ onProgress: (done) => { if (done >= 3) third(); } });
        await reached;
        const answer = hybridsim.cancelGif();
        const error = await made.then(() => null, (e) => [e.name, e.message]);
        return { answer, error, busy: hybridsim.gifBusy, again: hybridsim.cancelGif(), set: hybridsim.set('Fn', 20) };
      });
      assert.deepEqual(cancelled, { answer: true, error: ['AbortError', 'hybridsim.gif: cancelled'], busy: false,
                                    again: false, set: { ok: true, message: '' } });
      // cancelled by the button: the page says so, the bar goes, the button is back
      await page.click('#download-gif');
      await until(() => document.getElementById('gif-bar').value >= 1);
      await page.click('#gif-cancel');
      await until(() => document.getElementById('message').textContent === 'The animation was cancelled.');
      assert.deepEqual(await shown(), [true, false]);
      assert.equal(await page.evaluate(() => hybridsim.gifBusy), false);
      assertSameCsv(await csv(), batchOut('--set', 'Fn=20', '--csv', '-'));
      noProblems();
    });

    test('settings by name: a value taken runs as a task file holding it, a refused one keeps the run', async () => {
      await fresh();
      assert.deepEqual(await page.evaluate(() => hybridsim.set('Fn', 20)), { ok: true, message: '' });
      const fn20 = nativeTaskFile('Fn=20');
      assert.match(fs.readFileSync(fn20, 'utf8'), /\n20\n$/);
      assertSameCsv(await seenCsv('Fn=20'), batchOut(fn20, '--csv', '-'));
      assert.equal(await report(), englishReport(fn20));
      assert.equal(await shownReport(), englishReport(fn20));
      assert.equal(await page.evaluate(() => hybridsim.summary()), batchOut(fn20, '--summary'));
      // the summary panel shows it once in view
      await page.$eval('#summary', (e) => e.scrollIntoView());
      await until((want) => document.getElementById('summary').textContent === want, batchOut(fn20, '--summary'));
      assert.equal(await page.$eval('#summary', (e) => e.classList.contains('stale')), false);

      // refused: the desktop's words, and nothing changes
      const kept = [await csv(), await report(), await shownReport()];
      for (const [name, value] of [['KH1', -1], ['Fn', 'ten'], ['r', 0.1], ['method', '9'], ['Fn', ''],
                                   ['tf', '1e999'], ['speed', 2], ['l2', '1e-17']]) {
        const r = await page.evaluate((n, v) => hybridsim.set(n, v), name, value);
        assert.deepEqual(r, { ok: false, message: nativeRefusal('Fn=20', `${name}=${value}`) }, `${name}=${value}`);
        assert.deepEqual([await csv(), await report(), await shownReport()], kept, `${name}=${value}`);
      }
      // a zero byte inside a value is part of it, as in a task file's token;
      // the message shows it, and a line end, escaped, and a megabyte short
      const zero = await page.evaluate(() => hybridsim.set('KH1', '5\u00000'));
      assert.deepEqual(zero,
                       { ok: false, message: 'KH1=5\\x000: expected a number for the spring constant KH1 [N/m]' });
      const twoLines = await page.evaluate(() => hybridsim.set('KH1', '10\n'));
      assert.deepEqual(twoLines, { ok: false, message: nativeRefusal('Fn=20', 'KH1=10\n') });
      const megabyte = await page.evaluate(() => hybridsim.set('Fn', '9'.repeat(1 << 20)));
      assert.deepEqual(megabyte,
                       { ok: false, message: `Fn=${'9'.repeat(60)}...: expected a number for the contact force Fn [N]` });
      assert.deepEqual([await csv(), await report(), await shownReport()], kept);

      // a positioning time longer than the run: one notice in the page, no dialog
      assert.equal((await page.evaluate(() => hybridsim.set('tf', 10))).ok, true);
      await until(() => !document.getElementById('short-notice').hidden);
      const notice = await page.$eval('#short-notice', (e) => e.textContent);
      assert.match(notice, /only part of the contour/);
      assert.match(notice, /tf=10\.000\[s\] が計算時間  8\.000\[s\]/);
      assert.equal((notice.match(/!!!/g) || []).length, 1, notice);
      assert.equal(await page.evaluate(() => hybridsim.set('tf', 4).ok), true);
      assert.equal(await page.$eval('#short-notice', (e) => e.hidden), true);
      // a force loop too fast for the integration step: from which sample and why, in both languages
      assert.equal((await page.evaluate(() => hybridsim.set('fn2', 1e5))).ok, true);
      await until(() => !document.getElementById('fault-notice').hidden);
      const fault = await page.$eval('#fault-notice', (e) => e.textContent);
      assert.match(fault, /^From sample 1 \(t = 0\.04 s\) on, .* too fast for the integration step h = 0\.0004 s/);
      assert.match(fault, /\n!!! サンプル 1 \(t=0\.04\[s\]\) から計算値が数値でなくなります：法線力制御系/);
      assert.equal(await page.evaluate(() => hybridsim.set('fn2', 20).ok), true);
      assert.equal(await page.$eval('#fault-notice', (e) => e.hidden), true);
      noProblems();
    });

    once('the scripting interface: a wrong argument is a TypeError naming the call and changes nothing', async () => {
      await fresh();
      await page.evaluate(() => { hybridsim.frame = 37; });
      const state = () => page.evaluate(() => JSON.stringify([hybridsim.taskText(), hybridsim.frame, hybridsim.playing,
                                                              hybridsim.speed, hybridsim.shapes().length,
                                                              hybridsim.studyWidth, hybridsim.gifBusy]));
      const before = await state();
      // [call, expression]: each throws before it changes anything
      const wrong = [
        ['step', "hybridsim.step('toString')"], ['step', "hybridsim.step('__proto__')"], ['step', 'hybridsim.step()'],
        ['on', "hybridsim.on('constructor', () => {})"], ['on', "hybridsim.on('hasOwnProperty', () => {})"],
        ['on', "hybridsim.on('run', 'x')"], ['on', "hybridsim.on('frame')"],
        ['frame', 'hybridsim.frame = NaN'], ['frame', "hybridsim.frame = '100'"], ['frame', 'hybridsim.frame = null'],
        ['time', 'hybridsim.time(-1)'], ['time', 'hybridsim.time(201)'], ['time', 'hybridsim.time(2 ** 32 + 5)'],
        ['time', 'hybridsim.time(1.5)'], ['time', "hybridsim.time('3')"], ['time', 'hybridsim.time(NaN)'],
        ['scrubDrag', 'hybridsim.scrubDrag(NaN)'], ['scrubDrag', "hybridsim.scrubDrag('0.5')"],
        ['scrubPress', 'hybridsim.scrubPress(0.5, NaN)'], ['inGraph', 'hybridsim.inGraph(undefined, 0)'],
        ['set', "hybridsim.set({}, 1)"], ['set', "hybridsim.set('Fn', null)"], ['set', "hybridsim.set('Fn', [20])"],
        ['set', "hybridsim.set('Fn')"], ['setSetErrorMm', 'hybridsim.setSetErrorMm(true)'],
        ['loadTask', 'hybridsim.loadTask(42)'], ['loadTask', "hybridsim.loadTask('b', 7)"],
        ['loadBytes', "hybridsim.loadBytes('b 0.5 0.5')"], ['loadBytes', 'hybridsim.loadBytes([98, 32])'],
        ['loadBytes', 'hybridsim.loadBytes(new Uint8Array(4), {})'], ['key', 'hybridsim.key(115)'],
        ['get', 'hybridsim.get(1)'],
        ['studyCursor', 'hybridsim.studyCursor(1.5)'], ['studyCursor', 'hybridsim.studyCursor(201)'],
        ['studyCursor', "hybridsim.studyCursor('7')"], ['studySampleAt', 'hybridsim.studySampleAt(NaN)'],
        ['studySampleAt', "hybridsim.studySampleAt('100')"], ['studyInGraph', 'hybridsim.studyInGraph(100)'],
        ['studyWidth', 'hybridsim.studyWidth = 0'], ['studyWidth', "hybridsim.studyWidth = '390'"],
        ['studyWidth', 'hybridsim.studyWidth = Infinity'], ['on', "hybridsim.on('graph', () => {})"],
        ['unpin', 'hybridsim.unpin(0)'], ['unpin', "hybridsim.unpin('0')"],
        ['draw', "hybridsim.draw(null, 100)"], ['overlay', "hybridsim.overlay = 'on'"], ['overlay', 'hybridsim.overlay = 1'],
        ['language', "hybridsim.language = 'fr'"], ['language', 'hybridsim.language = null'],
        ['openLink', 'hybridsim.openLink(5)'], ['openLink', 'hybridsim.openLink()'],
        ['draw', "hybridsim.draw(document.createElement('canvas').getContext('2d'), 0)"],
        ['gif', 'hybridsim.gif(null)'], ['gif', "hybridsim.gif({ onProgress: 'x' })"],
        ['addGoal', 'hybridsim.addGoal(5)'], ['removeGoal', 'hybridsim.removeGoal(0)'],
        ['addShownGoal', "hybridsim.addShownGoal(5, '<', 1)"], ['addShownGoal', "hybridsim.addShownGoal('Fn_N', null, 1)"],
        ['addShownGoal', "hybridsim.addShownGoal('Fn_N', '<')"], ['report', "hybridsim.report('fr')"],
        ['report', 'hybridsim.report(null)'],
        ['openLesson', 'hybridsim.openLesson(99)'], ['openLesson', "hybridsim.openLesson('1')"], ['lessonCard', 'hybridsim.lessonCard(-1)'],
      ];
      for (const [call, expression] of wrong) {
        const thrown = await thrownBy(expression);
        assert.ok(thrown, `${expression} throws`);
        assert.equal(thrown[0], 'TypeError', `${expression}: ${thrown[1]}`);
        assert.match(thrown[1], new RegExp(`^hybridsim\\.${call}: expected .+, not `), expression);
        assert.equal(await state(), before, `${expression} changed nothing`);
      }

      // taken: infinities clamp as large numbers do; a sample's time is the
      // CSV's; a file's bytes in any buffer
      const frames = await page.evaluate(() => [Infinity, -Infinity, 1e300, -1e300, 120.9].map((f) => {
        hybridsim.frame = f;
        return hybridsim.frame;
      }));
      assert.deepEqual(frames, [200, 0, 200, 0, 120]);
      const times = await page.evaluate(() => [hybridsim.time(0), hybridsim.time(200)]);
      const rows = (await csv()).trim().split('\n');
      assert.deepEqual(times, [Number(rows[1].split(',')[1]), Number(rows[201].split(',')[1])]);
      assert.equal(await page.evaluate(() => hybridsim.get('KH1')), '500');
      assert.equal(await page.evaluate(() => hybridsim.get('Ox')), null);
      const line = fs.readFileSync(tasks.robotALine, 'utf8');
      for (const wrap of ['buffer', 'view', 'part']) {
        await loadTask(tasks.robotBCircle);
        const r = await page.evaluate((text, how) => {
          const bytes = new TextEncoder().encode(text);
          const padded = new Uint8Array(bytes.length + 8);
          padded.set(bytes, 4);
          const data = how === 'buffer' ? bytes.buffer : how === 'view' ? new DataView(bytes.buffer)
            : new Uint8Array(padded.buffer, 4, bytes.length);
          return hybridsim.loadBytes(data, 'line.dat');
        }, line, wrap);
        assert.deepEqual(r, { ok: true, message: '' }, wrap);
        assert.equal(await report(), englishReport(tasks.robotALine), wrap);
      }
      noProblems();
    });

    once('listeners: one that throws stops neither the page nor the other listeners', async () => {
      await fresh();
      await page.evaluate(() => {
        window.heard = { run: 0, frame: 0 };
        hybridsim.on('run', () => { throw new Error('a listener in trouble'); });
        hybridsim.on('run', () => { ++window.heard.run; });
        hybridsim.on('frame', () => { throw new Error('a listener in trouble'); });
        hybridsim.on('frame', () => { ++window.heard.frame; });
      });
      // a setting is taken, and said to be, once
      assert.deepEqual(await page.evaluate(() => hybridsim.set('Fn', 20)), { ok: true, message: '' });
      await until(() => /Fn=20\.000/.test(document.getElementById('report').textContent));
      assert.equal(await page.evaluate(() => window.heard.run), 1);
      // playing goes on to the end (30 samples, 1.2 s), the page showing each frame
      await page.evaluate(() => {
        hybridsim.frame = 170;
        hybridsim.play();
      });
      await until(() => hybridsim.frame === 200 && !hybridsim.playing &&
                  document.getElementById('readout').textContent.startsWith('sample 200 /'));
      assert.ok(await page.evaluate(() => window.heard.frame) >= 2, 'the other listener heard the frames');
      assert.equal(await page.$eval('#play', (e) => e.textContent), 'Play');
      // each error is reported as an uncaught one would be (the browser's
      // report of it may come after the call), and nothing else
      const reported = () => problems.filter((p) => /a listener in trouble/.test(p)).length;
      for (const until = Date.now() + deadline; reported() < 2;) {
        assert.ok(Date.now() < until, `the listeners' errors reported: ${problems.join('; ')}`);
        await new Promise((done) => setTimeout(done, 20));
      }
      assert.deepEqual(problems.filter((p) => !/a listener in trouble/.test(p)), []);
      problems.length = 0;
    });

    test('the panel: a typed value runs at once, a refusal shows beside its field, contours, English', async () => {
      await fresh();
      // the dialogue's sections in its order, with its words (the page in Japanese, and
      // its report the console's)
      await page.click('#language');
      assert.deepEqual(await page.$$eval('.settings legend', (all) => all.map((e) => e.textContent)), [
        '(1-1) ロボットタイプ', '(1-6) ハンドばね定数', '(2-1) hybrid制御方法', '(2-2) 制御ゲイン',
        '(3-2) 物体輪郭', '(3-3) 物体設置誤差', '(3-4) 接触力（法線力）']);
      const sineFields = ['KH1', 'KH2', 'fn1', 'alpha1', 'zeta1', 'fn2', 'alpha2', 'zeta2', 'S.x0', 'S.y0', 'S.L', 'S.A', 'S.tf',
                          'seterror', 'Fn'];
      assert.deepEqual(await shownFields(), sineFields);

      // a value typed: the run of a task file holding it, without a button
      await typeInto('Fn', '15');
      await until(() => /Fn=15\.000/.test(document.getElementById('report').textContent));
      const fn15 = nativeTaskFile('Fn=15');
      assert.equal(await shownReport(), batchOut(fn15, '--report'));
      assertSameCsv(await seenCsv('Fn=15 typed in the panel'), batchOut(fn15, '--csv', '-'));

      // a refused value: the desktop's message beside the field, its text kept, the run kept
      // (every part typed is refused too: 'o', 'o5', 'o50')
      const kept = await csv();
      await typeInto('KH1', 'o50');
      assert.deepEqual(await fieldState('KH1'), { text: 'o50', message: nativeRefusal('KH1=o50'), refused: true });
      assert.equal(await csv(), kept);
      assert.equal(await shownReport(), batchOut(fn15, '--report'));

      // the setting error in millimetres, every digit typed counting: stored
      // as mm / 1000 to the bit, as the dialogue stores it (and as --set
      // seterror=0.0012345678 gives it)
      await typeInto('seterror', '1.2345678');
      await page.keyboard.press('Enter');
      const stored = Number(await page.evaluate(() => hybridsim.get('seterror')));
      assert.equal(stored, 1.2345678 / 1000);
      assert.equal(stored, 0.0012345678);
      assertSameCsv(await csv(), batchOut('--set', 'Fn=15', '--set', 'seterror=0.0012345678', '--csv', '-'));
      assert.equal((await fieldState('seterror')).text, '1.2345678');
      // a refusal names the unit typed
      await typeInto('seterror', '7.5');
      await page.keyboard.press('Enter');  // the edit ends: 7.5 is the value from before the next
      await until(() => /e =   7\.50\[mm\]/.test(document.getElementById('report').textContent));
      assertSameCsv(await csv(), batchOut(nativeTaskFile('Fn=15', 'seterror_mm=7.5'), '--csv', '-'));
      await typeInto('seterror', '7.5mm');
      const mm = await fieldState('seterror');
      assert.equal(mm.message, nativeRefusal('seterror_mm=7.5mm'));
      assert.match(mm.message, /^seterror=7\.5mm: .*\[mm\]$/);
      // Escape brings the value in force back
      await page.keyboard.press('Escape');
      assert.deepEqual(await fieldState('seterror'), { text: '7.5', message: '', refused: false });

      // another contour: its own fields and values, the run of its task file
      await page.select('select[data-field="contour"]', 'C');
      await until(() => /円輪郭/.test(document.getElementById('report').textContent));
      assert.deepEqual(await shownFields(), ['KH1', 'KH2', 'fn1', 'alpha1', 'zeta1', 'fn2', 'alpha2', 'zeta2', 'C.Ox', 'C.Oy', 'C.r',
                                             'C.tf', 'seterror', 'Fn']);
      const circle = nativeTaskText('Fn=15', 'seterror_mm=7.5', 'contour=C');
      const fieldNumbers = (ids) => Promise.all(ids.map(async (id) => Number((await fieldState(id)).text)));
      const closeTo = (got, want, what) => want.forEach((w, i) =>
        assert.ok(Math.abs(got[i] - w) <= 1e-14 * Math.abs(w), `${what} ${i}: ${got[i]} against ${w}`));
      const numbersOfLine = (text, line) => text.split('\n')[line].split(' ').slice(1).map(Number);
      closeTo(await fieldNumbers(['C.Ox', 'C.Oy', 'C.r', 'C.tf']), numbersOfLine(circle, 3), 'circle');
      assert.equal(await shownReport(), batchOut(nativeTaskFile('Fn=15', 'seterror_mm=7.5', 'contour=C'), '--report'));
      // the refused spring constant still shows what was typed: its value in force is the same
      assert.deepEqual(await fieldState('KH1'), { text: 'o50', message: nativeRefusal('KH1=o50'), refused: true });

      // a new method brings its own stored gains
      await page.select('select[data-field="method"]', '7');
      await until(() => /hybrid7/.test(document.getElementById('report').textContent));
      const method7 = nativeTaskText('Fn=15', 'seterror_mm=7.5', 'contour=C', 'method=7');
      closeTo(await fieldNumbers(['fn1', 'alpha1', 'fn2', 'alpha2']), numbersOfLine(method7, 2), 'gains of method 7');

      // a damping ratio typed goes to the task's tail; one that leaves Kv1 zero (alpha1 is 0) is refused
      await typeInto('zeta2', '0.5');
      await page.keyboard.press('Enter');
      await until(() => /\nzeta2 0\.5\n$/.test(hybridsim.taskText()));
      assert.equal(await page.evaluate(() => hybridsim.taskText()),
                   nativeTaskText('Fn=15', 'seterror_mm=7.5', 'contour=C', 'method=7', 'zeta2=0.5'));
      await typeInto('zeta1', '0');
      assert.deepEqual(await fieldState('zeta1'), { text: '0', message: nativeRefusal('zeta1=0'), refused: true });
      await page.keyboard.press('Escape');
      await typeInto('zeta2', '1');
      await page.keyboard.press('Enter');
      await until(() => !/zeta/.test(hybridsim.taskText()));

      // English labels, and back
      const labels = () => page.evaluate(() => [
        document.querySelector('[data-section="springs"] legend').textContent,
        document.querySelector('[data-field="KH1"]').closest('.field').querySelector('.label').textContent,
        document.querySelector('select[data-field="robot"] option[value="a"]').textContent,
        document.getElementById('language').textContent, document.getElementById('settings').lang]);
      await page.click('#language');
      assert.deepEqual(await labels(), ['(1-6) the hand springs', 'the spring constant KH1',
                                        'a: cylindrical-coordinate robot', '日本語', 'en']);
      await page.click('#language');
      assert.deepEqual(await labels(), ['(1-6) ハンドばね定数', 'KH1', 'a: 円筒座標ロボット', 'English', 'ja']);

      // a task file: the panel shows its values, the refusal is gone
      await loadTask(tasks.robotALine);
      assert.deepEqual(await page.$$eval('select[data-field]', (all) => all.map((e) => e.value)), ['a', '7', 'L', 'ideal']);
      assert.deepEqual(await fieldState('KH1'), { text: '500', message: '', refused: false });
      assert.deepEqual(await Promise.all(['L.x0', 'L.yf', 'L.tf', 'Fn'].map(async (id) => (await fieldState(id)).text)),
                       ['0.3', '0.3', '4', '10']);
      noProblems();
    });

    once('the picture: every segment, polygon and text of the drawing painted once, in its colour and width, in ' +
         "the painter's order (spring contact, the desktop's shapes; four pins and the overlay)", async () => {
      await fresh();
      // the page's draw on an 800-pixel canvas whose calls are recorded, and the shapes it drew
      const drawn = () => page.evaluate(() => {
        const canvas = document.createElement('canvas');
        canvas.width = 800;
        canvas.height = 800;
        const real = canvas.getContext('2d');
        const log = [];
        const paths = ['beginPath', 'moveTo', 'lineTo', 'closePath'];
        const ctx = new Proxy(real, {
          get(t, p) {
            const v = t[p];
            if (typeof v !== 'function') return v;
            return (...a) => {
              if (p === 'stroke') log.push([p, ...a, t.strokeStyle, t.lineWidth]);
              else if (p === 'fill' || p === 'fillText') log.push([p, ...a, t.fillStyle]);
              else if (paths.includes(p)) log.push([p, ...a]);
              return v.apply(t, a);
            };
          },
          set(t, p, v) {
            t[p] = v;
            return true;
          },
        });
        hybridsim.draw(ctx, 800);
        return { log, shapes: hybridsim.shapes() };
      });
      // a shape's colour as the canvas reads its style back
      const css = (s) => (s.lighting ? '#0a0a0a' : '#' + s.color.slice(0, 3).map((v) =>
        Math.min(255, Math.max(0, Math.round(v * 255))).toString(16).padStart(2, '0')).join(''));

      assert.deepEqual(await page.evaluate(() => hybridsim.set('contact', 'spring')), { ok: true, message: '' });
      const spring = nativeTaskFile('contact=spring');
      for (const frame of [60, 200]) {
        await page.evaluate((f) => { hybridsim.frame = f; }, frame);
        const d = await drawn();
        assertSameShapes(d.shapes, nativeShapes(frame, spring).items);
        assert.deepEqual(paintedAsShapes(d.log, d.shapes, 800, css), [], `contact=spring, frame ${frame}`);
      }
      await page.evaluate(() => {
        hybridsim.set('contact', 'ideal');
        for (let k = 0; k < 4; ++k) {
          hybridsim.set('Fn', 5 + 10 * k);
          hybridsim.pin();
        }
        hybridsim.set('Fn', 10);
        hybridsim.overlay = true;
        hybridsim.frame = hybridsim.lastFrame;
      });
      const d = await drawn();
      assert.ok(d.shapes.filter((s) => s.kind === 'lines').length > 1400, 'the pins and the graphs drawn');
      assert.deepEqual(paintedAsShapes(d.log, d.shapes, 800, css), [], 'four pins and the overlay');
      noProblems();
    });

    once('the Contact group: closed at first, nothing else changed; spring, KW and period run as the batch runner ' +
         'runs them; a refused period changes nothing; a link with contact=spring opens it', async () => {
      await fresh();
      const group = () => page.evaluate(() => {
        const d = document.querySelector('[data-section="contact"]');
        const sections = [...document.querySelectorAll('#settings .section')];
        return { tag: d.tagName, open: d.open, last: sections[sections.length - 1] === d,
                 choice: d.querySelector('select[data-field="contact"]').value,
                 heading: d.querySelector('summary').textContent };
      });
      assert.deepEqual(await group(), { tag: 'DETAILS', open: false, last: true, choice: 'ideal', heading: 'Contact' });
      // nothing else changed: the link the batch runner's, the picture the desktop's drawing
      const fragment = () => page.evaluate(() => hybridsim.link().replace(/^[^#]*/, ''));
      assert.equal(await fragment(), batchOut('--link').trim());
      await page.evaluate(() => { hybridsim.frame = 100; });
      assertSameShapes(await page.evaluate(() => hybridsim.shapes()), nativeShapes(100).items);
      const picture = () => page.evaluate(() => {
        hybridsim.frame = 100;  // redrawn
        const c = document.getElementById('view');
        const data = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let hash = 0;
        for (let i = 0; i < data.length; ++i) hash = (Math.imul(hash, 31) + data[i]) | 0;
        return [c.width, c.height, hash];
      });
      const ideal = await picture();

      // opened: spring, KW 5000 and a 1 ms period typed, each a run
      await page.click('#contact-toggle');
      assert.equal((await group()).open, true);
      await page.select('select[data-field="contact"]', 'spring');
      await typeInto('KW', '5000');
      await typeInto('period', '0.001');
      await page.keyboard.press('Enter');  // the edit ends: 0.001 is the value from before the next
      const sets = ['contact=spring', 'KW=5000', 'period=0.001'];
      const batchSets = sets.flatMap((x) => ['--set', x]);
      await until((want) => hybridsim.summary() === want, batchOut(...batchSets, '--summary'));
      // every figure of --summary --format csv, the contact columns among them, to the last bit
      const [header, row] = batchOut(...batchSets, '--summary', '--format', 'csv').trim().split('\n')
        .map((l) => l.split(','));
      const figures = header.filter((c) => !['robot', 'method', 'contour'].includes(c));
      assert.ok(['off_surface_samples', 'contact_lost_t_s', 'force_max_N'].every((c) => figures.includes(c)), header);
      const pageFigures = await page.evaluate((names) => names.map((name) => {
        hybridsim.addGoal(`${name} < 0`);
        const actual = hybridsim.goals()[0].actual;
        hybridsim.removeGoal(0);
        return actual;
      }), figures);
      figures.forEach((c, i) => assert.equal(pageFigures[i], row[header.indexOf(c)] === 'nan' ? null : Number(row[header.indexOf(c)]), c));
      // the report shows the contact lines, the CSV has force_cmd, the link carries the three
      assert.equal(await shownReport(), englishReport(...sets));
      assert.match(await shownReport(), /\(4-1\) contact model/);
      const springCsv = await seenCsv('contact=spring KW=5000 period=0.001 typed in the panel');
      assertSameCsv(springCsv, batchOut(...batchSets, '--csv', '-'));
      assert.match(springCsv.split('\n')[0], /,force_cmd$/);
      // (the page at sample 100 since the picture above)
      const springLink = batchOut(...batchSets, '--link').trim() + '&frame=100';
      assert.equal(springLink, '#v=1&contact=spring&KW=5000&period=0.001&frame=100');
      assert.equal(await fragment(), springLink);
      await until((l) => location.hash === l, springLink);

      // a period below the shortest: the core's message beside the field, the run and link kept
      const kept = [await csv(), await fragment(), await shownReport()];
      await typeInto('period', '0.00001');
      assert.deepEqual(await fieldState('period'),
                       { text: '0.00001', message: nativeRefusal(...sets, 'period=0.00001'), refused: true });
      assert.match((await fieldState('period')).message, /^period=0\.00001: the control period \[s\] must be 0/);
      assert.deepEqual([await csv(), await fragment(), await shownReport()], kept);
      await page.keyboard.press('Escape');
      assert.deepEqual(await fieldState('period'), { text: '0.001', message: '', refused: false });

      // ideal again and the group closed: the picture and the link of the start
      await page.select('select[data-field="contact"]', 'ideal');
      for (const [field, text] of [['KW', 'inf'], ['period', '0']]) await typeInto(field, text);
      await page.click('#contact-toggle');
      assert.equal(await fragment(), batchOut('--link').trim() + '&frame=100');
      assert.deepEqual(await picture(), ideal);

      // a link with contact=spring: the group open, showing spring and the link's KW
      await page.close();
      page = await openPage(launched[kind].context, url() + '#v=1&contact=spring&KW=5000', problems, deadline);
      assert.deepEqual(await group(), { tag: 'DETAILS', open: true, last: true, choice: 'spring', heading: 'Contact' });
      assert.deepEqual(await fieldState('KW'), { text: '5000', message: '', refused: false });
      assert.equal(await shownReport(), englishReport('contact=spring', 'KW=5000'));
      // in Japanese, the report's words
      await page.click('#language');
      assert.equal(await page.$eval('#contact-toggle', (e) => e.textContent), '接触モデル');
      assert.equal(await page.$eval('select[data-field="contact"] option[value="spring"]', (e) => e.textContent),
                   'spring: 力ループは計測した接触力を帰還');
      noProblems();
    });

    // --- the page's language and units ---
    // (the scripts of the console's Japanese: kana, kanji and the full-width forms)
    const japanese = /[\u3000-\u30ff\u4e00-\u9fff\uff00-\uffef]/;
    // a figure of hybridsim-batch --summary --format csv
    const batchFigure = (column, ...args) => {
      const [header, row] = batchOut(...args, '--summary', '--format', 'csv').trim().split('\n').map((l) => l.split(','));
      return Number(row[header.indexOf(column)]);
    };

    once('the report in the page\'s language: its English rendering, the console\'s own on the Japanese page', async () => {
      await fresh();
      await page.evaluate(() => hybridsim.set('Fn', 12.5));
      await until(() => /Fn=12\.500/.test(document.getElementById('report').textContent));
      const shown = () => page.$eval('#report', (e) => ({ text: e.textContent, lang: e.lang }));
      assert.deepEqual(await shown(), { text: englishReport('Fn=12.5'), lang: 'en' });
      assert.doesNotMatch((await shown()).text, japanese);
      await page.click('#language');
      assert.deepEqual(await shown(), { text: batchOut('--set', 'Fn=12.5', '--report'), lang: 'ja' });
      // a new run on the Japanese page: the console's report of it
      await page.evaluate(() => hybridsim.set('contour', 'C'));
      assert.deepEqual(await shown(), { text: batchOut('--set', 'Fn=12.5', '--set', 'contour=C', '--report'), lang: 'ja' });
      await page.click('#language');
      assert.deepEqual(await shown(), { text: englishReport('Fn=12.5', 'contour=C'), lang: 'en' });
      noProblems();
    });

    once('unreachable points: the notice counts the samples without a posture, in the page\'s language', async () => {
      await fresh();
      const notice = () => page.$eval('#notice', (e) => ({
        hidden: e.hidden, text: e.textContent, langs: [...e.querySelectorAll('[lang]')].map((s) => s.lang) }));
      // a circle about (3, 3) m, every sample out of reach; a circle partly out of reach
      const circles = [
        [tasks.farCircle, () => loadTask(tasks.farCircle), [tasks.farCircle]],
        ['Ox=0.75 Oy=0.2 r=0.3', () => page.evaluate(() => {
          hybridsim.resetDefaults();
          for (const [n, v] of [['contour', 'C'], ['Ox', 0.75], ['Oy', 0.2], ['r', 0.3]]) hybridsim.set(n, v);
        }), ['--set', 'contour=C', '--set', 'Ox=0.75', '--set', 'Oy=0.2', '--set', 'r=0.3']],
      ];
      for (const [what, open, args] of circles) {
        await page.evaluate(() => { hybridsim.language = 'en'; });
        await open();
        const samples = batchFigure('nan_samples', ...args);
        assert.ok(samples > 0 && samples <= 201, `${what}: ${samples}`);
        const english = await notice();
        assert.equal(english.hidden, false, what);
        const [line, detail] = english.text.split('\n');
        assert.equal(line, `${samples} samples of this run have no posture: robot b cannot reach their points, ` +
                           'and they hold not-a-number.', what);
        assert.match(detail, /^The first point out of reach: \(x, y\) = \(-?\d+\.\d{3}, -?\d+\.\d{3}\) m, /, what);
        assert.doesNotMatch(english.text, japanese, what);
        assert.deepEqual(english.langs, ['en'], what);
        // the Japanese page: its line with the same count, then the console's own lines
        await page.click('#language');
        const ja = await notice();
        const consoleLines = await page.evaluate(() => hybridsim.notice().text.trim());
        assert.equal(ja.text, `この実行の ${samples} サンプルは、ロボット b が点に届かないため姿勢がありません。` +
                              `それらのサンプルは非数 (NaN) です。\n${consoleLines}`, what);
        assert.match(consoleLines, /^!!! 逆運動学の解なし/);
        assert.deepEqual(ja.langs, ['ja'], what);
      }
      noProblems();
    });

    once('method switching: a note names the gains that came with the method, as the settings hold them', async () => {
      await fresh();
      const note = () => page.$eval('[data-section="method"] .field-note', (e) => (e.hidden ? '' : e.textContent));
      // the gains of a method as the task file of its task holds them: method fn1 alpha1 fn2 alpha2
      const gains = (...settings) => {
        const [, fn1, alpha1, fn2, alpha2] = nativeTaskText(...settings).split('\n')[2].trim().split(/\s+/).map(Number);
        return { fn1, alpha1, fn2, alpha2 };
      };
      const english = (m, g, other) => `Method ${m} brings its own gains: fn1 = ${g.fn1} Hz, α1 = ${g.alpha1} 1/s, ` +
        `fn2 = ${g.fn2} Hz, α2 = ${g.alpha2} 1/s (method ${other}'s are kept for when you switch back).`;
      assert.equal(await note(), '');
      await page.select('select[data-field="method"]', '7');
      const seven = gains('method=7');
      assert.deepEqual(seven, { fn1: 5, alpha1: 0, fn2: 10, alpha2: 5 });
      assert.equal(await note(), english(7, seven, 8));
      // a gain typed anew: the note no longer holds and goes
      await typeInto('fn2', '12');
      assert.equal(await note(), '');
      // back to method 8: its own gains; then 7 again brings the 12 Hz it keeps
      await page.select('select[data-field="method"]', '8');
      assert.equal(await note(), english(8, gains('method=7', 'fn2=12', 'method=8'), 7));
      assert.deepEqual(gains('method=7', 'fn2=12', 'method=8'), { fn1: 5, alpha1: 0, fn2: 20, alpha2: 2 });
      await page.select('select[data-field="method"]', '7');
      const kept = gains('method=7', 'fn2=12', 'method=8', 'method=7');
      assert.equal(kept.fn2, 12);
      assert.equal(await note(), english(7, kept, 8));
      // in Japanese, the same values
      await page.click('#language');
      assert.equal(await note(), `方法7 にはそれ自身のゲインがあります：fn1 = 5 Hz、α1 = 0 1/s、fn2 = 12 Hz、α2 = 5 1/s` +
                                 '（方法8 のゲインは戻したときのために保存してあります）。');
      noProblems();
    });

    once('goals in the page\'s units: a goal typed in mm is checked as --require checks it in metres', async () => {
      await fresh();
      // the figures offered: by title and unit, none of the task's own settings
      const offered = await page.$$eval('#goal-name option', (all) => all.map((o) => [o.value, o.textContent]));
      assert.deepEqual(offered.find(([v]) => v === 'pos_err_max_m'), ['pos_err_max_m', 'largest |posErr| [mm]']);
      assert.deepEqual(offered.find(([v]) => v === 'nan_samples'), ['nan_samples', 'samples without a posture']);
      for (const column of ['seterror_m', 'Fn_N', 'samples']) assert.ok(!offered.some(([v]) => v === column), column);
      const addGoal = async (column, op, typed) => {
        await page.select('#goal-name', column);
        await page.select('#goal-op', op);
        await page.$eval('#goal-value', (e, v) => { e.value = v; }, typed);
        await page.click('#add-goal');
      };
      await page.select('#goal-name', 'pos_err_max_m');
      assert.equal(await page.$eval('#goal-unit', (e) => e.textContent), 'mm');
      await addGoal('pos_err_max_m', '<=', '5');
      await addGoal('pos_err_max_m', '>=', '1');
      assert.equal(await page.$eval('#message', (e) => e.textContent), 'Added the goal largest |posErr| ≥ 1 mm.');
      // the link carries them in metres; the batch runner checks them so
      const link = decodeURIComponent(await page.evaluate(() => hybridsim.link()));
      const linked = [...link.matchAll(/[#&]goal=([^&]*)/g)].map((m) => m[1]);
      assert.deepEqual(linked, ['pos_err_max_m<=0.005', 'pos_err_max_m>=0.001']);
      const r = spawnSync(batch, linked.flatMap((g) => ['--require', g]), { encoding: 'utf8' });
      const verdicts = r.stdout.trim().split('\n').map((l) => l.slice(0, 4));
      assert.deepEqual(verdicts, ['pass', 'pass']);
      assert.equal(r.status, 0);
      // the page's lines: the same verdicts, the figure in mm
      const posErr = batchFigure('pos_err_max_m');
      const lines = await page.$$eval('#goal-list .goal-line', (all) => all.map((e) => e.textContent));
      const mm = Number((1000 * posErr).toPrecision(3));
      assert.deepEqual(lines, [`pass  largest |posErr| = ${mm} mm ≤ 5 mm`, `pass  largest |posErr| = ${mm} mm ≥ 1 mm`]);
      // a goal the run fails, as the batch runner fails it
      await addGoal('pos_err_max_m', '<', '2');
      const third = await page.$eval('#goal-list li:nth-child(3) .goal-line', (e) => e.textContent);
      assert.equal(third, `FAIL  largest |posErr| = ${mm} mm < 2 mm`);
      assert.equal(spawnSync(batch, ['--require', 'pos_err_max_m<0.002'], { encoding: 'utf8' }).status, 1);

      // a value that is not a number: refused in the page's words, nothing added
      await addGoal('pos_err_max_m', '<=', 'five');
      assert.equal(await page.$eval('#message', (e) => e.textContent),
                   '“five” is not a number: type the goal\'s value in mm with digits, such as 5 or 0.25.');
      assert.equal(await page.$eval('#message', (e) => e.classList.contains('error')), true);
      await page.click('#language');
      assert.equal(await page.$eval('#message', (e) => e.textContent),
                   '「five」は数値ではありません。目標の値を mm 単位の半角数字（5 や 0.25 など）で入力してください。');
      assert.equal((await page.evaluate(() => hybridsim.goals())).length, 3);
      noProblems();
    });

    once('the panel: while a field shows a refusal, the task from before its edit is in force everywhere', async () => {
      await fresh();
      const inForce = async () => ({ task: await page.evaluate(() => hybridsim.taskText()), csv: await csv(),
                                     report: await shownReport() });
      const start = await inForce();
      assert.equal(start.task, nativeTaskText());
      // [field, typed, its name natively, the value shown again by Escape]: each
      // part typed that reads as a number ('6', '1e40', '-10', '5', '2.5', '0.25')
      // was taken on the way
      const rows = [['KH1', '6,5', 'KH1', '500'], ['Fn', '1e400', 'Fn', '10'], ['Fn', '-10x', 'Fn', '10'],
                    ['KH1', '5e', 'KH1', '500'], ['seterror', '2.5mmm', 'seterror_mm', '5'],
                    ['S.x0', '0.25.', 'x0', '0.2']];
      for (const [id, typed, name, shows] of rows) {
        await typeInto(id, typed);
        assert.deepEqual(await fieldState(id), { text: typed, message: nativeRefusal(`${name}=${typed}`), refused: true });
        assert.deepEqual(await inForce(), start, `${id} ${typed}: the task, the CSV and the report from before`);
        if (id === 'KH1' && typed === '6,5') {
          // the summary and the saved file too; the field keeps its refusal when left
          await page.$eval('#summary', (e) => e.scrollIntoView());
          await until((want) => document.getElementById('summary').textContent === want &&
                      !document.getElementById('summary').classList.contains('stale'), batchOut('--summary'));
          const folder = await downloads(launched[kind], page, ['scara-sine.dat'], () => page.click('#save-task'));
          try {
            assert.equal(fs.readFileSync(path.join(folder, 'scara-sine.dat'), 'utf8'), start.task);
          } finally {
            fs.rmSync(folder, { recursive: true, force: true });
          }
          assert.equal((await fieldState(id)).refused, true);
          await page.focus(`[data-field="${id}"]`);
        }
        // Escape shows the value from before the edit
        await page.keyboard.press('Escape');
        assert.deepEqual(await fieldState(id), { text: shows, message: '', refused: false }, `${id} ${typed}`);
        assert.deepEqual(await inForce(), start);
      }

      // a valid value still runs at once; after Enter the next edit starts from it
      await typeInto('Fn', '15');
      assert.equal(await page.evaluate(() => hybridsim.taskText()), nativeTaskText('Fn=15'));
      await page.keyboard.press('Enter');
      await typeInto('Fn', '2x');
      assert.equal(await page.evaluate(() => hybridsim.taskText()), nativeTaskText('Fn=15'));
      await page.keyboard.press('Escape');
      assert.equal((await fieldState('Fn')).text, '15');
      await typeInto('KH1', '65');
      assert.equal(await page.evaluate(() => hybridsim.taskText()), nativeTaskText('Fn=15', 'KH1=65'));
      assert.equal(await shownReport(), englishReport(nativeTaskFile('Fn=15', 'KH1=65')));
      noProblems();
    });

    test('playback: End, Left, Space plays and pauses, buttons, speed, a press and a drag in the time graphs', async () => {
      // counts the page's requests for a display frame
      await fresh(1, () => {
        const request = window.requestAnimationFrame.bind(window);
        window.displayFrame = request;
        window.frameRequests = 0;
        window.requestAnimationFrame = (fn) => {
          ++window.frameRequests;
          return request(fn);
        };
      });
      const state = () => page.evaluate(() => ({
        frame: hybridsim.frame, playing: hybridsim.playing,
        readout: document.getElementById('readout').textContent,
        slider: Number(document.getElementById('frame').value),
      }));
      await page.keyboard.press('End');
      assert.deepEqual(await state(),
                       { frame: 200, playing: false, readout: 'sample 200 / 200, t = 8.00 s', slider: 200 });
      await page.keyboard.press('ArrowLeft');
      assert.deepEqual(await state(),
                       { frame: 199, playing: false, readout: 'sample 199 / 200, t = 7.96 s', slider: 199 });
      // Time passes (a dozen display frames, 0.3 s at least: 7 samples at
      // speed 1): nothing moves, and the page asks for no display frame.
      const stillWhileTimePasses = async (why) => {
        const paused = await state();
        const requests = await page.evaluate(() => window.frameRequests);
        await page.evaluate(() => {
          window.framesSeen = 0;
          window.pausedAt = performance.now();
          const count = () => {
            ++window.framesSeen;
            window.displayFrame(count);
          };
          window.displayFrame(count);
        });
        await until(() => window.framesSeen >= 12 && performance.now() - window.pausedAt >= 300);
        assert.deepEqual(await state(), paused, why);
        assert.equal(await page.evaluate(() => window.frameRequests), requests, `${why}: display frames asked for`);
        return paused;
      };
      // Space plays to the last sample and stops there; Space again plays from the first
      await page.keyboard.press(' ');
      await until(() => hybridsim.frame === 200 && !hybridsim.playing);
      await stillWhileTimePasses('stopped at the end');
      await page.keyboard.press(' ');
      await until(() => hybridsim.playing && hybridsim.frame >= 5);
      await page.keyboard.press(' ');
      const paused = await stillWhileTimePasses('paused');
      assert.equal(paused.playing, false);
      assert.equal(paused.readout, `sample ${paused.frame} / 200, t = ${(paused.frame * 0.04).toFixed(2)} s`);

      // the speed: '+' and '=' double it, '-' halves it
      const speed = () => page.$eval('#speed', (e) => e.textContent);
      await page.keyboard.press('Equal');
      await page.keyboard.type('+');
      assert.equal(await speed(), 'speed ×4');
      for (let i = 0; i < 3; ++i) await page.keyboard.press('Minus');
      assert.equal(await speed(), 'speed ×1/2');
      await page.click('#faster');
      assert.equal(await speed(), 'speed ×1');

      // the buttons: play, then a step pauses; first and last
      await page.click('#play');
      await until(() => hybridsim.playing);
      await page.click('#forward');
      const stepped = await state();
      assert.equal(stepped.playing, false);
      await page.click('#back');
      assert.equal((await state()).frame, stepped.frame - 1);
      await page.click('#last');
      assert.equal((await state()).frame, 200);
      await page.click('#first');
      assert.equal((await state()).frame, 0);

      // the time graphs
      const [x100, y] = await graphs(100);
      const [x150] = await graphs(150);
      const css = await canvasPoint();
      // the keys with no control focused: the button clicked last would take Space itself
      await page.evaluate(() => document.activeElement.blur());
      await page.keyboard.press('Home');
      await page.keyboard.press(' ');
      await until(() => hybridsim.playing);
      await page.mouse.move(...css(x100, y));
      await page.mouse.down();
      assert.deepEqual(await state(),
                       { frame: 100, playing: false, readout: 'sample 100 / 200, t = 4.00 s', slider: 100 });
      await page.mouse.move(...css(x150, y + 0.2), { steps: 4 });
      assert.equal((await state()).frame, 150);
      await page.mouse.up();
      await page.mouse.move(...css(x100, y));
      assert.equal((await state()).frame, 150, 'released: moving does not scrub');
      // a press on the robot's side of the picture is no scrub
      await page.mouse.click(...css(-0.5, -0.5));
      assert.equal((await state()).frame, 150);

      // the slider scrubs too, and pauses
      await page.keyboard.press(' ');
      await until(() => hybridsim.playing);
      await page.$eval('#frame', (s) => {
        s.value = '42';
        s.dispatchEvent(new Event('input', { bubbles: true }));
      });
      assert.deepEqual(await state(),
                       { frame: 42, playing: false, readout: 'sample 42 / 200, t = 1.68 s', slider: 42 });

      // 'w' zooms the robot out, 'W' back in
      const robot = () => page.evaluate(() => hybridsim.shapes().filter((s) => s.kind !== 'text')[0]);
      const before = await robot();
      await page.keyboard.press('w');
      assert.notDeepEqual(await robot(), before);
      await page.keyboard.press('W');
      const back = await robot();
      back.vertices.forEach((v, i) => assert.ok(Math.abs(v[0] - before.vertices[i][0]) < 1e-12));

      // the page's keys are the window's key table's but for the dialogue keys, ESC and 'x';
      // 's' and Right one sample on, '0' the first, each pausing
      assert.deepEqual(Object.keys(await page.evaluate(() => hybridsim.keys())).sort(),
                       [' ', '+', '-', '0', '=', 'ArrowLeft', 'ArrowRight', 'End', 'Home', 'P', 'W', 'p', 's', 'v', 'w'].sort());
      await page.keyboard.press('s');
      await page.keyboard.press('ArrowRight');
      assert.deepEqual(await state(),
                       { frame: 44, playing: false, readout: 'sample 44 / 200, t = 1.76 s', slider: 44 });
      await page.keyboard.press(' ');
      await until(() => hybridsim.playing);
      await page.keyboard.press('s');
      assert.equal((await state()).playing, false);
      await page.keyboard.press('0');
      assert.deepEqual(await state(),
                       { frame: 0, playing: false, readout: 'sample 0 / 200, t = 0.00 s', slider: 0 });
      noProblems();
    });

    once('pins: kept through new runs, each its task\'s batch CSV, in the picture and the study graphs; the defaults again', async () => {
      await fresh();
      await studyInView();
      const plain = await page.evaluate(() => JSON.stringify(hybridsim.shapes()));
      const listed = () => page.$$eval('#pin-list li', (all) => all.map((li) =>
        [li.querySelector('.pin-label').textContent, li.querySelector('button').getAttribute('aria-label')]));
      // the button pins the default run, the key p the run of Fn = 20 N, the call that of 30 N
      await page.click('#pin');
      await until(() => document.querySelectorAll('#pin-list li').length === 1 &&
                  document.getElementById('message').textContent === 'pinned as pin 1.');
      assert.equal(await page.evaluate(() => hybridsim.set('Fn', 20).ok), true);
      await page.keyboard.press('p');
      await until(() => document.querySelectorAll('#pin-list li').length === 2);
      assert.deepEqual(await page.evaluate(() => [hybridsim.set('Fn', 30).ok, hybridsim.pin()]),
        [true, { ok: true, message: 'pinned as pin 3', pin: 3, replaced: false }]);
      assert.equal(await page.evaluate(() => hybridsim.set('Fn', 40).ok), true);
      const pins = await page.evaluate(() => hybridsim.pins());
      const labels = ['pin 1: Fn = 10 N (now 40 N)', 'pin 2: Fn = 20 N (now 40 N)', 'pin 3: Fn = 30 N (now 40 N)'];
      assert.deepEqual(pins.map((p) => p.label), labels);
      await until((n) => document.querySelector('#pin-list li .pin-label').textContent.endsWith(n), '(now 40 N)');
      assert.deepEqual(await listed(), labels.map((l, i) => [l, `Remove pin ${i + 1}`]));
      // each pin's CSV is the batch runner's of the pin's own task
      for (const p of pins) {
        const file = path.join(scratch, `pin${++scratchFiles}.dat`);
        fs.writeFileSync(file, p.taskText);
        assertSameCsv(p.csv, batchOut(file, '--csv', '-'));
      }
      assert.equal(pins[0].taskText, nativeTaskText());
      // the picture draws each legend line; the graphs draw each pin in its colour,
      // its values at the cursor those of its CSV
      const shown = await page.evaluate(() => hybridsim.shapes().filter((s) => s.kind === 'text').map((s) => s.text));
      for (const l of labels) assert.ok(shown.includes(l), l);
      await page.evaluate(() => { hybridsim.frame = 57; });
      const g = await page.evaluate(() => hybridsim.studyGraphs());
      assert.deepEqual(g.runs.slice(1), pins.map((p) => ({ label: p.label, colour: p.colour })));
      assert.deepEqual(pins.map((p) => p.colour), ['#ff9900', '#cc00cc', '#009999']);
      pins.forEach((p, k) => {
        const [head, ...rows] = p.csv.trim().split('\n').map((l) => l.split(','));
        const row = rows[57];
        const r = g.cursor.runs[k + 1];
        for (const [key, column] of [['t', 't'], ['force', 'force'], ['sErr', 's_err'], ['tipX', 'tip_x']])
          assert.equal(r[key], Number(row[head.indexOf(column)]), `${p.label}: ${key}`);
      });
      // (the graphs are drawn while in view; clicking Pin may have scrolled them away)
      await studyInView();
      assert.ok(await page.$eval('#study-graphs svg', (e, l) => e.textContent.includes(l), labels[2]));
      // a fourth, then a fifth in place of the oldest
      assert.equal((await page.evaluate(() => hybridsim.pin())).message, 'pinned as pin 4');
      assert.deepEqual(await page.evaluate(() => hybridsim.pin()),
        { ok: true, message: 'pinned as pin 1 in place of the oldest pin', pin: 1, replaced: true });
      assert.equal((await page.evaluate(() => hybridsim.pins()))[0].label, 'pin 1: same task as now');
      // the button on four pins: the page says which it took, in place of the oldest
      await page.click('#pin');
      await until(() => document.getElementById('message').textContent === 'pinned as pin 2 in place of the oldest pin.');
      // removed by its button and by the call, the others keep their slots
      await page.click('[aria-label="Remove pin 2"]');
      await until(() => document.querySelectorAll('#pin-list li').length === 3);
      await page.evaluate(() => hybridsim.unpin(2));
      assert.deepEqual((await page.evaluate(() => hybridsim.pins())).map((p) => p.slot), [0, 2]);
      // the defaults again, paused at the first sample; the pins stay, named against them
      await page.click('#reset-defaults');
      assert.equal(await page.evaluate(() => hybridsim.taskText()), nativeTaskText());
      assertSameCsv(await csv(), batchOut('--csv', '-'));
      assert.deepEqual(await page.evaluate(() => [hybridsim.frame, hybridsim.pins().map((p) => p.label)]),
        [0, ['pin 1: Fn = 40 N (now 10 N)', 'pin 3: Fn = 30 N (now 10 N)']]);
      await until(() => document.querySelector('#pin-list li .pin-label').textContent.endsWith('(now 10 N)'));
      // none left: the picture as before any pin, to the value
      await page.click('#clear-pins');
      assert.deepEqual(await page.evaluate(() => hybridsim.pins()), []);
      assert.equal(await page.evaluate(() => JSON.stringify(hybridsim.shapes())), plain);
      assert.equal(await page.$eval('#pin-list', (e) => e.hidden), true);
      assert.equal((await page.evaluate(() => hybridsim.studyGraphs())).runs.length, 1);
      noProblems();
    });

    // Chromium only (a link is the page's own state, the same in every browser)
    if (chromium) once('links: a fresh page opens the same run, pins, frame, overlay and language; a bad part ' +
                       'skipped with one notice; every kind of task from hybridsim-batch --link', async () => {
      await fresh();
      const entries = await page.evaluate(() => history.length);
      // changes of every kind: settings, pins (one removed: a free slot), overlay, frame, language
      await page.evaluate(() => hybridsim.set('Fn', 20));
      await page.click('#pin');
      await page.evaluate(() => hybridsim.set('KH1', '0.30000000000000004'));
      await page.click('#pin');
      await page.evaluate(() => hybridsim.set('method', '7'));
      await page.click('#pin');
      await page.evaluate(() => hybridsim.unpin(0));
      await page.evaluate(() => hybridsim.set('contour', 'C'));
      await page.click('#overlay');
      await page.click('#language');
      await page.evaluate(() => { hybridsim.frame = 123; });
      const state = () => page.evaluate(() => JSON.stringify([hybridsim.csv(), hybridsim.pins(), hybridsim.frame,
        hybridsim.overlay, hybridsim.language, document.documentElement.lang]));
      const made = await state();
      const link = await page.evaluate(() => hybridsim.link());
      assert.match(link, /^file:.*#v=1&KH1=0\.30000000000000004&method=7&contour=C&Fn=20&frame=123&overlay=1&lang=ja&pin=2,/);
      // the address follows, with no history entry
      await until((l) => location.href === l, link);
      assert.equal(await page.evaluate(() => history.length), entries);
      // Copy link (from file://: the run alone): the clipboard's interface, else a selection copied; and says so
      const fragment = link.slice(link.indexOf('#'));
      await page.evaluate(() => {
        navigator.clipboard.writeText = (t) => { window.copied = t; return Promise.resolve(); };
      });
      await page.click('#copy-link');
      await page.click('#copy-fragment');
      await until(() => document.getElementById('link-choice-said').textContent ===
                  '実行の状態（#v=1…）をクリップボードにコピーしました。このページのアドレスの後ろに貼り付けてください。');
      assert.equal(await page.evaluate(() => window.copied), fragment);
      await page.evaluate(() => {
        Object.defineProperty(navigator, 'clipboard', { value: undefined });
        document.execCommand = (what) => { window.copied = [what, document.activeElement.value]; return true; };
      });
      await page.click('#copy-fragment');
      await until(() => Array.isArray(window.copied));
      assert.deepEqual(await page.evaluate(() => window.copied), ['copy', fragment]);

      // a fresh page at the link: the same everything, in Japanese
      await page.close();
      page = await openPage(launched[kind].context, link, problems, deadline);
      assert.equal(await state(), made);
      assert.deepEqual(await page.evaluate(() => [document.getElementById('pin').textContent,
        document.querySelector('.settings legend').textContent, document.getElementById('readout').textContent,
        document.getElementById('language').textContent, document.title, document.documentElement.lang]),
      ['ピン留め', '(1-1) ロボットタイプ', 'サンプル 123 / 200、t = 4.92 s', 'English', 'hybridsim：運動・力ハイブリッド制御',
       'ja']);
      assert.equal(await page.evaluate(() => hybridsim.link()), link);
      // a reload keeps it
      await page.reload({ waitUntil: 'load' });
      await until(() => document.body.dataset.ready === 'true');
      assert.equal(await state(), made);

      // one bad part: the rest applied (in English: the link names no language), one notice naming it in
      // the words of --set
      await page.evaluate(() => { location.hash = 'v=1&KH1=-1&Fn=20&frame=7'; });
      await until(() => !document.getElementById('link-notice').hidden);
      assert.deepEqual(await page.evaluate(() => [hybridsim.get('KH1'), hybridsim.get('Fn'), hybridsim.frame,
        hybridsim.pins().length, document.getElementById('link-notice').textContent,
        [...document.querySelectorAll('.notice')].filter((e) => !e.hidden).length]),
      ['500', '20', 7, 0, 'One part of this link was skipped; the rest is applied:\n' + nativeRefusal('KH1=-1'), 1]);
      // the address keeps the link as it was typed until something changes (the links' table below)
      assert.equal(await page.evaluate(() => location.hash), '#v=1&KH1=-1&Fn=20&frame=7');
      // a megabyte of link: not read, and said so
      assert.deepEqual(await page.evaluate(() => {
        const r = hybridsim.openLink('v=1&' + 'Fn=1&'.repeat(200000));
        return [r.ok, r.refused, hybridsim.get('Fn')];
      }), [false, 'the link is 1000004 characters long, more than a link of this page can be (16384)', '10']);

      // every kind of task, by hybridsim-batch --link: the batch runner's run, and the page's own link the same
      const contours = [['contour=L', 'x0=0.31', 'y0=-0.02', 'xf=0.29', 'yf=0.33', 'tf=3.7'],
                        ['contour=C', 'Ox=0.41', 'Oy=0.03', 'r=0.23', 'tf=5.3'],
                        ['contour=S', 'x0=0.21', 'y0=0.29', 'L=0.57', 'A=0.17', 'tf=4.4']];
      for (const robot of ['a', 'b']) {
        for (const method of ['7', '8']) {
          for (const contour of contours) {
            const sets = [`robot=${robot}`, `method=${method}`, robot === 'a' ? 'l=0.65' : 'l2=0.57', 'KH2=876.5',
                          'fn1=4.3', 'alpha2=3.3', 'Fn=10.000000000000002', ...contour]
              .flatMap((x) => ['--set', x]);
            const fragment = batchOut(...sets, '--link').trim();
            await page.evaluate((f) => { location.hash = f; }, fragment);
            await until((f) => hybridsim.link().endsWith(f), fragment);
            assertSameCsv(await page.evaluate(() => hybridsim.csv()), batchOut(...sets, '--csv', '-'));
          }
        }
      }
      // and tasks at the edges of what the model takes (a soft hand's 73 m deflection, the smallest
      // and largest forces, loops that blow up, gains near 0 and past the doubles, a method's gain
      // set before it, points out of reach): the same to the byte
      for (const extreme of [['robot=a', 'KH1=0.1', 'method=7', 'contour=L', 'Fn=7.3'],
                             ['KH2=1e+300', 'seterror=-0', 'Fn=5e-324'],
                             ['robot=a', 'method=7', 'contour=C'],
                             ['robot=b', 'method=8', 'contour=S', 'KH1=100', 'KH2=100'],
                             ['Fn=1e308'], ['Fn=5e-324'], ['fn2=1e9'], ['fn2=1e300'], ['fn1=1e-300', 'alpha1=0'],
                             ['method=7', 'fn2=12'], ['robot=b', 'contour=C', 'Ox=0.6']]) {
        const sets = extreme.flatMap((x) => ['--set', x]);
        const fragment = batchOut(...sets, '--link').trim();
        await page.evaluate((f) => { location.hash = f; }, fragment);
        await until((f) => hybridsim.link().endsWith(f), fragment);
        assertSameCsv(await page.evaluate(() => hybridsim.csv()), batchOut(...sets, '--csv', '-'));
      }
      // a fragment put in the address while the page's own address is due to be written (a run just
      // made, its write waiting for its gap) is opened, not written over. The browser delivers the
      // fragment's hashchange after the write's timer here: the address changed without an event,
      // the timer let run (the page marks a write still due), then the event
      for (const fn of ['21', '22']) {
        await page.evaluate((f) => {
          hybridsim.set('Fn', '11');
          hybridsim.set('Fn', '12');
          history.replaceState(history.state, '', '#' + f);
        }, `v=1&Fn=${fn}`);
        await until(() => !('linkDue' in document.body.dataset));
        await page.evaluate(() => window.dispatchEvent(new HashChangeEvent('hashchange')));
        await until((v) => hybridsim.get('Fn') === v && location.hash === new URL(hybridsim.link()).hash, fn);
      }
      // tasks compared by the batch runner are the page's pins
      const linked = batchOut(tasks.robotALine, '--link', 'https://h/i.html', '--compare', tasks.robotBCircle).trim();
      await page.evaluate((f) => { location.hash = f; }, linked.slice(linked.indexOf('#')));
      await until(() => hybridsim.pins().length === 1);
      assertSameCsv(await page.evaluate(() => hybridsim.csv()), batchOut(tasks.robotALine, '--csv', '-'));
      assertSameCsv(await page.evaluate(() => hybridsim.pins()[0].csv), batchOut(tasks.robotBCircle, '--csv', '-'));
      noProblems();
    });

    // Links typed or followed, one row each: what the page shows of them and
    // what stays in the address.  A link read whole is written in the
    // page's own words at once; a refused one, or one with a part skipped,
    // stays as it was typed until something changes, so that it can be
    // mended there or copied on.  Values at the edges of the doubles give
    // charts in numbers (not-a-number in an SVG attribute is a console
    // error of the browser) and a caption that says what has no figure.
    // A notice quotes characters of other scripts as they are.
    once('links: each row\'s charts in numbers and its caption; a refused or skipped link kept in the address ' +
         'until a change; a notice in its own characters', async () => {
      await fresh();
      const rows = [
        { link: 'v=1&Fn=5e-324', caption: /the recorded force lies within 5e-324 N of it\.$/ },
        { link: 'v=1&Fn=1e308', caption: /only sample 0 is in reach, where both start at 0, so there is no recorded force/ },
        { link: 'v=1&KH1=1e308', caption: /only sample 0 is in reach/ },
        { link: 'v=1&fn2=1e300', caption: /poles −6\.28318530717958e\+300, −6\.28318530717958e\+300 and −2\.0 become poles that have no figure: its gains are beyond the range of numbers\./ },
        { link: 'v=1&fn1=1e-300', caption: /the recorded force lies within|only sample 0/ },
        { link: 'v=1&Fn=2.2e-308&fn2=1e-300', caption: /\.$/ },
        { link: 'v=1&KH1=-1&Fn=20&frame=7', kept: true,
          notice: 'One part of this link was skipped; the rest is applied:\n' + nativeRefusal('KH1=-1') },
        { link: 'v=9&Fn=3', kept: true, notice: /^This link was not read \(the link is of format version '9'/ },
        // (the Japanese page: the link names its language)
        { link: 'v=1&Fn=%EF%BC%91%EF%BC%90&frame=7&lang=ja', kept: true,
          notice: 'このリンクの 1 個の項目を読み飛ばし、残りを適用しました：\nFn=１０: expected a number for the contact force Fn [N]' },
      ];
      // what is wrong with the SVGs of the loops and the study graphs: a coordinate that is no finite number
      const svgFaults = () => page.evaluate(() => {
        const faults = [];
        const geometry = ['x', 'y', 'x1', 'y1', 'x2', 'y2', 'cx', 'cy', 'r', 'width', 'height', 'd', 'transform'];
        for (const svg of document.querySelectorAll('#loops-chart svg, #study-graphs svg')) {
          for (const e of svg.querySelectorAll('*')) {
            for (const a of e.attributes) {
              const numbers = a.value.match(/[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?/g) || [];
              if (/nan|inf/i.test(a.value) || (geometry.includes(a.name) && numbers.some((n) => !Number.isFinite(Number(n)))))
                faults.push(`<${e.tagName} ${a.name}="${a.value.slice(0, 40)}">`);
            }
          }
        }
        return faults;
      });
      for (const row of rows) {
        const t = await page.evaluate((f) => {
          const now = performance.now();
          location.hash = f;
          return now;
        }, row.link);
        await until((after) => (performance.getEntriesByName('hybridsim-loops-drawn')[0]?.startTime ?? 0) > after, t);
        await studyInView();
        assert.deepEqual(await svgFaults(), [], row.link);
        const [caption, notice, noticeHidden, hash] = await page.evaluate(() => [
          document.getElementById('loops-text').textContent, document.getElementById('link-notice').textContent,
          document.getElementById('link-notice').hidden, location.hash]);
        if (row.caption) assert.match(caption, row.caption, row.link);
        assert.doesNotMatch(caption, /NaN|Infinity|within (0|inf) N/, row.link);
        if (row.notice instanceof RegExp) assert.match(notice, row.notice, row.link);
        else if (row.notice) assert.equal(notice, row.notice, row.link);
        else assert.equal(noticeHidden, true, row.link);
        assert.doesNotMatch(notice, /\\x[0-9a-f]{2}/, row.link);
        if (row.kept) {
          // as typed, through the page's own writes after a run, until a change
          assert.equal(hash, '#' + row.link, row.link);
          await until(() => !('linkDue' in document.body.dataset));
          assert.equal(await page.evaluate(() => location.hash), '#' + row.link, row.link);
          await page.evaluate(() => hybridsim.set('Fn', '12'));
        }
        await until(() => location.hash === new URL(hybridsim.link()).hash);
      }
      noProblems();
    });

    once('links, part by part: a method before its gains in either order, at most 12 goals, the step goals of a ' +
         'run that blew up fail, values as read', async () => {
      await fresh();
      const goals = (n) => Array.from({ length: n }, (_, k) => `goal=overshoot_pct%3C${k + 1}`).join('&');
      // [link, [method, fn2, goals kept], the address the page writes, the parts skipped]
      const rows = [
        ['#v=1&fn2=12&method=7', ['7', '12', 0], '#v=1&method=7&fn2=12', []],
        ['#v=1&method=7&fn2=12', ['7', '12', 0], '#v=1&method=7&fn2=12', []],
        ['#v=1&pin=1,fn2:12,method:7', ['8', '20', 0], '#v=1&pin=1,method:7,fn2:12', []],
        [`#v=1&${goals(13)}`, ['8', '20', 12], `#v=1&${goals(12)}`,
         ['goal=overshoot_pct<13: a link holds at most 12 goals']],
        ['#v=1&goal=overshoot_pct%3C0x10', ['8', '20', 1], '#v=1&goal=overshoot_pct%3C16', []],
        ['#v=1&pin=1,Fn:~P_4AAAAAAAA', ['8', '20', 0], '#v=1', ['pin=1,Fn:~P_4AAAAAAAA: ' + nativeRefusal('Fn=nan')]],
        ['#v=1&fn2=1e9&goal=overshoot_pct%3C%3D3', ['8', '1000000000', 1],
         '#v=1&fn2=1000000000&goal=overshoot_pct%3C%3D3', []],
      ];
      for (const [link, held, address, skipped] of rows) {
        const r = await page.evaluate((l) => hybridsim.openLink(l), link);
        assert.deepEqual([r.ok, r.skipped], [skipped.length === 0, skipped], link);
        assert.deepEqual(await page.evaluate(() => [hybridsim.get('method'), hybridsim.get('fn2'),
          hybridsim.goals().length]), held, link);
        await until((a) => location.hash === a, address);
      }
      // the last: a run whose numbers blow up after sample 0 holds no step; its step goal fails on
      // "none", in the goals list as the batch runner has it
      const [goal] = await page.evaluate(() => hybridsim.goals());
      const batchRun = spawnSync(batch, ['--set', 'fn2=1e9', '--require', 'overshoot_pct <= 3'], { encoding: 'utf8' });
      assert.deepEqual([goal.pass, goal.actual, goal.line, batchRun.status, batchRun.stdout],
        [false, null, 'FAIL  overshoot_pct = none <= 3', 1, 'FAIL  overshoot_pct = none <= 3\n']);
      await until(() => document.querySelector('#goal-list li')?.className === 'fail');
      assert.equal(await page.$eval('#goal-list .goal-line', (e) => e.textContent), goal.shownLine);
      assert.match(goal.shownLine, /^FAIL {2}.* = none ≤ 3 %$/);
      noProblems();
    });

    once('goals, the loops panel and the lessons: the batch runner\'s lines and runs, goals in the link', async () => {
      await fresh();
      // the loops' charts: the force with its closed form, and the poles
      await until(() => document.querySelectorAll('#loops-chart svg g.panel').length === 2);
      const loops = await page.evaluate(() => [document.getElementById('loops-text').textContent,
        Number(document.getElementById('loops-chart').dataset.forceError), hybridsim.loops().forceError]);
      assert.match(loops[0], /the recorded force lies within [0-9.e-]+ N of it\.$/);
      assert.ok(loops[1] > 0 && loops[1] === loops[2], String(loops));
      // a goal from the form: the batch runner's verdict and figure for the run (in the
      // page's words and unit), anew after every run
      await page.select('#goal-name', 'overshoot_pct');
      await page.select('#goal-op', '<=');
      await page.$eval('#goal-value', (e) => { e.value = '5'; });
      await page.click('#add-goal');
      const lines = () => page.evaluate(() => [...document.querySelectorAll('#goal-list li')].map((e) =>
        [e.className, e.querySelector('.goal-line').textContent]));
      const required = (...sets) => {
        const r = spawnSync(batch, [...sets.flatMap((x) => ['--set', x]), '--require', 'overshoot_pct <= 5'],
          { encoding: 'utf8' });
        const verdict = r.stdout.trim().startsWith('pass') ? 'pass' : 'fail';
        const figure = Number(batchFigure('overshoot_pct', ...sets.flatMap((x) => ['--set', x])).toPrecision(3));
        return [verdict, `${verdict === 'pass' ? 'pass' : 'FAIL'}  force overshoot = ${figure} % ≤ 5 %`];
      };
      await until(() => document.querySelectorAll('#goal-list li').length === 1);
      assert.deepEqual(await lines(), [required()]);
      await page.evaluate(() => hybridsim.set('fn2', 60));
      await until((l) => document.querySelector('#goal-list .goal-line').textContent === l, required('fn2=60')[1]);
      assert.deepEqual(await lines(), [required('fn2=60')]);
      // a value that is none: said, nothing added
      await page.$eval('#goal-value', (e) => { e.value = 'five'; });
      await page.click('#add-goal');
      assert.deepEqual(await page.evaluate(() => [document.getElementById('message').textContent,
        hybridsim.goals().length]), ['“five” is not a number: type the goal\'s value in % with digits, such as 5 or 0.25.', 1]);
      // the goal travels in the link
      const link = await page.evaluate(() => hybridsim.link());
      assert.match(link, /&goal=overshoot_pct%3C%3D5/);
      await page.close();
      page = await openPage(launched[kind].context, link, problems, deadline);
      assert.deepEqual(await lines(), [required('fn2=60')]);
      // its remove button
      await page.click('#goal-list button');
      await until(() => hybridsim.goals().length === 0 && document.getElementById('goal-list').hidden);
      // a thirteenth goal from the form: refused, the page saying how many are kept
      await page.evaluate(() => { for (let k = 1; k <= 12; ++k) hybridsim.addGoal(`overshoot_pct < ${k}`); });
      await page.$eval('#goal-value', (e) => { e.value = '5'; });
      await page.click('#add-goal');
      assert.deepEqual(await page.evaluate(() => [document.getElementById('message').textContent,
        hybridsim.goals().length]), ['At most 12 goals are kept: remove one first.', 12]);
      await page.evaluate(() => { while (hybridsim.goals().length > 0) hybridsim.removeGoal(0); });

      // every lesson: its title in the menu, its run the batch runner's run of its settings
      const lessons = JSON.parse(fs.readFileSync(path.join(root, 'lessons', 'lessons.json'), 'utf8')).lessons;
      assert.deepEqual(await page.$$eval('#lesson-pick option', (o) => o.map((e) => e.textContent)),
        lessons.map((l, i) => `${i + 1}. ${l.title.en}`));
      for (let i = 0; i < lessons.length; ++i) {
        await page.select('#lesson-pick', String(i));
        await page.click('#open-lesson');
        await until((t) => document.getElementById('lesson-title').textContent === t,
          `Lesson ${i + 1}: ${lessons[i].title.en}`);
        const got = await page.evaluate(() => [hybridsim.csv(), hybridsim.pins().map((p) => p.csv),
          hybridsim.goals().length, hybridsim.overlay, document.getElementById('lesson').hidden,
          document.getElementById('lesson-text').textContent]);
        assertSameCsv(got[0], batchOut(...lessons[i].set.flatMap((x) => ['--set', x]), '--csv', '-'));
        assert.equal(got[1].length, (lessons[i].pins || []).length);
        (lessons[i].pins || []).forEach((pin, k) =>
          assertSameCsv(got[1][k], batchOut(...pin.flatMap((x) => ['--set', x]), '--csv', '-')));
        // the text with its figures filled in, as hybridsim-batch --lesson N --summary writes it
        // (exit status 1: a goal of the lesson fails as it opens)
        const lessonRun = spawnSync(batch, ['--lesson', String(i + 1), '--summary'], { encoding: 'utf8' });
        assert.ok(lessonRun.status === 0 || lessonRun.status === 1, lessonRun.stderr);
        const written = lessonRun.stdout.split('\n');
        const text = written.slice(1, written.findIndex((l, k) => k > 0 && (l === '' || l.startsWith('To try: '))))
          .join(' ');
        assert.deepEqual(got.slice(2), [(lessons[i].goals || []).length, Boolean(lessons[i].overlay), false, text]);
      }
      // in Japanese: the menu and the text follow, filled in as in English
      await page.click('#language');
      const ja = await page.$eval('#lesson-text', (e) => e.textContent);
      assert.equal(ja, await page.evaluate((n) => hybridsim.lessonCard(n).text, lessons.length - 1));
      assert.ok(/[\u3040-\u30ff]/.test(ja) && !/[{}]/.test(ja), ja);
      // the help in the language in force, the other hidden
      assert.deepEqual(await page.$$eval('#help .help-body', (b) => b.map((e) => [e.lang, e.hidden])),
        [['en', true], ['ja', false]]);
      await page.click('#close-lesson');
      assert.ok(await page.$eval('#lesson', (e) => e.hidden));
      noProblems();
    });

    // --- the lesson card, the start card, every screen, the downloads' names, Copy link from a file ---

    const lessonList = () => JSON.parse(fs.readFileSync(path.join(root, 'lessons', 'lessons.json'), 'utf8')).lessons;
    // a fresh page at a screen's size: a phone's by Chromium's emulation of one (390 x 844), else a window's
    const freshAt = async ([width, height]) => {
      await fresh();
      if (chromium && width === 390) await page.emulate(KnownDevices['iPhone 12 Pro']);
      else await page.setViewport({ width, height });
      await page.reload({ waitUntil: 'load' });
      await until(() => document.body.dataset.ready === 'true');
    };
    const screens = [[1280, 800], [768, 1024], [390, 844]];
    // a panel field's text replaced by typing `text` key by key, the field focused by the page (no click: a
    // panel being laid out anew can move it from under one)
    const typeFocused = async (id, text) => {
      await page.$eval(`[data-field="${id}"]`, (e) => { e.focus(); e.select(); });
      await page.keyboard.type(text);
    };
    const openLessonByMenu = async (i) => {
      await page.select('#lesson-pick', String(i));
      await page.click('#open-lesson');
      await until((n) => document.getElementById('lesson-title').textContent.startsWith(`Lesson ${n}: `), i + 1);
    };
    // where the card, its title and Pin this run, the picture and the picture's column end lie on the screen
    const cardPlace = () => page.evaluate(() => {
      const at = (id) => {
        const b = document.getElementById(id).getBoundingClientRect();
        return { left: Math.round(b.left), top: Math.round(b.top), right: Math.round(b.right), bottom: Math.round(b.bottom) };
      };
      return { card: at('lesson'), title: at('lesson-title'), pin: at('lesson-pin-button'), canvas: at('view'),
               pins: at('pins'), height: innerHeight };
    });
    // the batch runner's verdict on `goal` for a task of settings: [pass or fail, its line]
    const verdict = (goal, ...sets) => {
      const line = spawnSync(batch, [...sets.flatMap((x) => ['--set', x]), '--require', goal], { encoding: 'utf8' })
        .stdout.trim();
      return [line.startsWith('pass') ? 'pass' : 'fail', line];
    };

    once('the lesson card: beside the picture on a wide screen, right under it on a narrow one, in view as it opens; ' +
         'its goals, Pin this run, the hint, the language', async () => {
      const lessons = lessonList();
      for (const screen of screens) {
        const where = screen.join(' x ');
        await freshAt(screen);
        await openLessonByMenu(0);
        const at = await cardPlace();
        const inView = (b) => b.top >= 0 && b.bottom <= at.height;
        const seen = `${where}: ${JSON.stringify(at)}`;
        // the title and Pin this run in view, and the picture's top
        assert.ok(inView(at.title) && inView(at.pin) && at.canvas.top >= 0, seen);
        if (screen[0] >= 1000) {
          assert.ok(at.card.left > at.canvas.right && at.card.top === at.canvas.top, `beside the picture: ${seen}`);
        } else {
          assert.ok(at.card.left === at.canvas.left && at.card.top > at.pins.bottom && at.card.top - at.pins.bottom <= 16,
                    `right under the picture: ${seen}`);
        }
        // where both fit, the whole card and the whole picture (a phone shows the card's beginning under the picture)
        if (screen[0] !== 390) assert.ok(inView(at.card) && inView(at.canvas), `the card and the picture whole: ${seen}`);
      }

      await fresh();
      await openLessonByMenu(0);
      const lesson = lessons[0];
      const goal = lesson.goals[0];
      // each goal's verdict as the batch runner gives it, its line as the Goals panel shows it (the page's unit)
      const cardGoals = () => page.$$eval('#lesson-goals li', (all) => all.map((e) => [e.className, e.textContent]));
      const panelLines = () => page.evaluate(() => hybridsim.goals().map((g) => g.shownLine));
      const expectCard = async (...sets) => {
        const lines = await panelLines();
        assert.deepEqual(await cardGoals(), lesson.goals.map((g, k) => [verdict(g, ...sets)[0], lines[k]]));
        lines.forEach((l, k) => assert.equal(l.slice(0, 4).toLowerCase(), verdict(lesson.goals[k], ...sets)[0]));
      };
      // the lesson opens failing its goal, as the batch runner has it
      await expectCard(...lesson.set);
      assert.equal(verdict(goal, ...lesson.set)[0], 'fail');
      assert.match((await cardGoals())[0][1], /^FAIL {2}largest \|posErr\| = [0-9.]+ mm ≤ 5 mm$/);
      // the hint, closed until asked for
      assert.deepEqual(await page.evaluate(() => [document.getElementById('lesson-hint').hidden,
        document.getElementById('lesson-hint').open, document.getElementById('lesson-hint-text').textContent]),
      [false, false, lesson.hint.en]);
      // Pin this run, from the keyboard: the live run pinned, said, the button gone
      const live = await csv();
      await page.focus('#lesson-pin-button');
      await page.keyboard.press('Enter');
      await until(() => document.getElementById('lesson-pin-button').hidden);
      const pins = await page.evaluate(() => hybridsim.pins());
      assert.equal(pins.length, lesson.pins.length + 1);
      assert.equal(pins.at(-1).csv, live, 'the pin is the run the lesson opened');
      assert.deepEqual(await page.evaluate(() => [document.getElementById('lesson-pin-said').textContent,
        document.activeElement.id, document.getElementById('lesson-pin').hidden]),
      ['Pinned as pin 2: now change a setting and compare the two runs.', 'lesson-pin-said', false]);
      // a setting changed: the prompt goes, and the goal follows the new run
      await typeFocused('seterror', '0');
      await until(() => document.getElementById('lesson-pin').hidden);
      await until(() => document.querySelector('#lesson-goals li').className === 'pass');
      await expectCard(...lesson.set, ...lesson.fix);
      // opened again, it offers Pin this run again, and a change takes the offer away unused
      await openLessonByMenu(0);
      assert.equal(await page.$eval('#lesson-pin-button', (e) => !e.hidden && e.offsetParent !== null), true);
      await page.evaluate(() => hybridsim.set('Fn', 12));
      await until(() => document.getElementById('lesson-pin').hidden);
      assert.equal((await page.evaluate(() => hybridsim.pins())).length, lesson.pins.length);

      // a lesson with no hint shows none; with two goals, both
      await openLessonByMenu(2);
      assert.equal(await page.$eval('#lesson-hint', (e) => e.hidden), true);
      const twoLines = await panelLines();
      assert.deepEqual(await cardGoals(), lessons[2].goals.map((g, k) => [verdict(g, ...lessons[2].set)[0], twoLines[k]]));
      // axe-core finds nothing serious with the card open, its hint too
      await openLessonByMenu(0);
      await page.click('#lesson-hint summary');
      assert.deepEqual(await axeFindings(page), []);
      // in Japanese: the title, text, hint and prompt follow
      await page.click('#language');
      const ja = await page.evaluate(() => [document.getElementById('lesson-title').textContent,
        document.getElementById('lesson-text').textContent, document.getElementById('lesson-hint-text').textContent,
        document.getElementById('lesson-pin-said').textContent, hybridsim.lessonCard(0), HybridsimTexts.t('pinThisRunWhy')]);
      assert.deepEqual(ja.slice(0, 4), [`レッスン 1：${lessons[0].title.ja}`, ja[4].text, lesson.hint.ja, ja[5]]);
      assert.match(ja[3], /^何かを変える前に/);
      assert.deepEqual(await axeFindings(page), [], 'in Japanese');
      await page.click('#close-lesson');
      assert.deepEqual(await page.evaluate(() => [document.getElementById('lesson').hidden, document.activeElement.id]),
                       [true, 'open-lesson']);
      noProblems();
    });

    once('the start card: on a first visit, not once put away, not from a link; Start lesson 1; Help at the top; ' +
         'a browser that refuses storage', async () => {
      await fresh();
      const contexts = [];
      const trouble = [];
      // a visitor with nothing stored: a browser context of its own
      const visitor = async (address = url(), beforeLoad = null) => {
        const context = await launched[kind].browser.createBrowserContext();
        contexts.push(context);
        return openPage(context, address, trouble, deadline, 1, beforeLoad);
      };
      const startShown = (p) => p.$eval('#start', (e) => {
        const b = e.getBoundingClientRect();
        return !e.hidden && b.height > 0 && b.top >= 0 && b.bottom <= innerHeight;
      });
      const reload = async (p) => {
        await p.reload({ waitUntil: 'load' });
        await p.waitForFunction(() => document.body.dataset.ready === 'true', { timeout: deadline });
      };
      try {
        // a first visit: the card in view, put away by Close, and away for good
        let p = await visitor();
        assert.equal(await startShown(p), true);
        assert.equal(await p.$eval('#start-title', (e) => e.textContent), 'New here?');
        assert.deepEqual(await axeFindings(p), [], 'the start card');
        await p.click('#start-close');
        assert.deepEqual(await p.evaluate(() => [document.getElementById('start').hidden, document.activeElement.id,
          localStorage.getItem('hybridsim.startDismissed')]), [true, 'lesson-pick', '1']);
        await reload(p);
        assert.equal(await p.$eval('#start', (e) => e.hidden), true, 'a second visit');

        // a link opens its state, and no card
        p = await visitor(url() + '#v=1&Fn=20');
        assert.deepEqual(await p.evaluate(() => [document.getElementById('start').hidden, hybridsim.get('Fn')]),
                         [true, '20']);

        // Start lesson 1: lesson 1 opens, the focus on its title; the card does not come back
        p = await visitor();
        await p.click('#start-lesson');
        assert.deepEqual(await p.evaluate(() => [document.getElementById('start').hidden,
          document.getElementById('lesson').hidden, document.getElementById('lesson-title').textContent,
          document.activeElement.id]), [true, false, `Lesson 1: ${lessonList()[0].title.en}`, 'lesson-title']);
        assertSameCsv(await p.evaluate(() => hybridsim.csv()),
                      batchOut(...lessonList()[0].set.flatMap((x) => ['--set', x]), '--csv', '-'));
        await reload(p);
        assert.equal(await p.$eval('#start', (e) => e.hidden), true);

        // Help, from the top of the page: the help opened, in view, the focus on it
        await p.click('#help-button');
        assert.deepEqual(await p.evaluate(() => {
          const b = document.getElementById('help-toggle').getBoundingClientRect();
          return [document.getElementById('help').open, document.activeElement.id, b.top >= 0 && b.bottom <= innerHeight];
        }), [true, 'help-toggle', true]);

        // storage refused (blocked, or a file:// page in some browsers): the card still comes and goes, and a
        // typed address for links is kept while the page is open
        p = await visitor(url(), () => {
          Object.defineProperty(window, 'localStorage', {
            configurable: true,
            get() { throw new DOMException('storage is blocked', 'SecurityError'); },
          });
        });
        assert.equal(await startShown(p), true);
        await p.click('#start-close');
        assert.equal(await p.$eval('#start', (e) => e.hidden), true);
        if (origin === 'file://') {
          await p.evaluate(() => {
            navigator.clipboard.writeText = (t) => { window.copied = t; return Promise.resolve(); };
          });
          await p.click('#copy-link');
          await p.type('#link-base', 'https://example.org/hybridsim.html');
          await p.click('#copy-with-base');
          await p.waitForFunction(() => typeof window.copied === 'string', { timeout: deadline });
          await p.click('#link-choice-close');
          await p.$eval('#link-base', (e) => { e.value = ''; });
          await p.click('#copy-link');
          assert.equal(await p.$eval('#link-base', (e) => e.value), 'https://example.org/hybridsim.html');
        }
      } finally {
        for (const c of contexts) await c.close();
      }
      assert.deepEqual(trouble, [], 'console, page, request or dialog trouble');
      noProblems();
    });

    once('every screen: no sideways scroll at 1280 x 800, 1280 x 1024, 768 x 1024 and 390 x 844 with the panels ' +
         'open; the run summary whole beside the picture', async () => {
      // (at 1280 x 1024 the picture is larger and the summary's column narrower than its lines)
      for (const screen of [...screens, [1280, 1024]]) {
        const where = screen.join(' x ');
        await freshAt(screen);
        // a lesson with pins, every disclosure open, a refused field, Copy link's choice, a new run
        await openLessonByMenu(1);
        await page.evaluate(() => {
          for (const d of document.querySelectorAll('details')) d.open = true;
          hybridsim.pin();
          hybridsim.set('Fn', 12);
        });
        await typeFocused('KH1', '5o0');
        if (origin === 'file://') await page.click('#copy-link');
        await page.$eval('#summary', (e) => e.scrollIntoView());
        await until(() => !document.getElementById('summary').classList.contains('stale') &&
                    document.getElementById('summary').textContent !== '');
        await page.$eval('#study', (e) => e.scrollIntoView());
        await until(() => document.querySelector('#study-graphs svg .cursor-line') !== null &&
                    !document.getElementById('study-graphs').dataset.stale);
        const sizes = await page.evaluate(() => {
          const s = document.getElementById('summary');
          return { page: [document.documentElement.scrollWidth, document.documentElement.clientWidth],
                   summary: [s.scrollWidth, s.clientWidth] };
        });
        assert.ok(sizes.page[0] <= sizes.page[1], `${where}: the page ${sizes.page[0]} px wide in ${sizes.page[1]} px`);
        // beside the picture the summary wraps rather than hides what does not fit
        if (screen[0] >= 1000) {
          assert.ok(sizes.summary[0] <= sizes.summary[1], `${where}: the summary ${sizes.summary[0]} px in ${sizes.summary[1]}`);
        }
      }
      noProblems();
    });

    once('downloads named after what is shown: the lesson open, else the task file read, else robot, contour, method', async () => {
      await fresh();
      // the CSV, the task file and the frame, named `base` (the frame's sample after it)
      const saved = async (base) => {
        const frame = String(await page.evaluate(() => hybridsim.frame)).padStart(3, '0');
        const want = [`${base}.csv`, `${base}.dat`, `${base}-frame-${frame}.png`];
        const folder = await downloads(launched[kind], page, want, async () => {
          for (const button of ['#download-csv', '#save-task', '#download-png']) await page.click(button);
        });
        try {
          assert.deepEqual(fs.readdirSync(folder).sort(), want.sort());
        } finally {
          fs.rmSync(folder, { recursive: true, force: true });
        }
      };
      await page.evaluate(() => {
        hybridsim.set('robot', 'a');
        hybridsim.set('method', '7');
        hybridsim.set('contour', 'L');
      });
      await saved('cylindrical-line-method7');
      await page.evaluate(() => { hybridsim.set('method', '8'); hybridsim.set('contour', 'C'); });
      await saved('cylindrical-circle');
      // a lesson: its number, the animation too
      await openLessonByMenu(1);
      await page.evaluate(() => { hybridsim.frame = 40; });
      await saved('lesson-2');
      const folder = await downloads(launched[kind], page, ['lesson-2.gif'], () => page.click('#download-gif'));
      try {
        assert.ok(fs.statSync(path.join(folder, 'lesson-2.gif')).size > 0);
      } finally {
        fs.rmSync(folder, { recursive: true, force: true });
      }
      // its card closed: the task it left
      await page.click('#close-lesson');
      await saved('scara-sine');
      // a task file read through the picker: its name, through a change of a setting too
      await (await page.$('#task-file')).uploadFile(tasks.robotALine);
      await until(() => document.getElementById('message').textContent === 'Read robot_a_line.dat.');
      await page.evaluate(() => hybridsim.set('Fn', 12));
      await saved('robot_a_line');
      // the defaults again
      await page.click('#reset-defaults');
      await saved('scara-sine');
      noProblems();
    });

    test('Copy link: from a page opened from a file, the run alone or a link on a typed address; ' +
         'from a server, the whole address', async () => {
      await fresh();
      await page.evaluate(() => {
        hybridsim.set('Fn', 15);
        navigator.clipboard.writeText = (t) => { window.copied = t; return Promise.resolve(); };
      });
      const link = await page.evaluate(() => hybridsim.link());
      const fragment = link.slice(link.indexOf('#'));
      await page.click('#copy-link');
      if (origin !== 'file://') {
        await until((l) => window.copied === l, link);
        assert.deepEqual(await page.evaluate(() => [document.getElementById('link-choice').hidden,
          document.getElementById('message').textContent]), [true, 'The link is on the clipboard.']);
        noProblems();
        return;
      }
      // it says why, and copies nothing until asked
      assert.deepEqual(await page.evaluate(() => [document.getElementById('link-choice').hidden,
        document.getElementById('link-choice-why').textContent, document.activeElement.id, 'copied' in window]),
      [false, 'This page was opened from a file on this computer, so a link to it would open only here.',
       'copy-fragment', false]);
      // the run alone, which after the page's address on a server opens the same run
      await page.click('#copy-fragment');
      await until((f) => window.copied === f, fragment);
      assert.equal(await page.$eval('#link-choice-said', (e) => e.textContent),
                   'The run alone (#v=1…) is on the clipboard: paste it after the address of this page.');
      const elsewhere = [];
      const served = await openPage(launched[kind].context, server.url + fragment, elsewhere, deadline);
      try {
        assert.equal(await served.evaluate(() => hybridsim.csv()), await csv());
      } finally {
        await served.close();
      }
      assert.deepEqual(elsewhere, []);
      // a typed address: a web address only, its own fragment replaced, and kept for the next visit
      await page.type('#link-base', 'ftp://example.org/hybridsim.html');
      await page.click('#copy-with-base');
      assert.equal(await page.$eval('#link-choice-said', (e) => e.textContent),
                   'Type the address of this page on the web, beginning with https:// or http://.');
      assert.equal(await page.evaluate(() => document.activeElement.id), 'link-base');
      await page.$eval('#link-base', (e) => { e.value = ''; });
      await page.type('#link-base', 'https://example.org/course/hybridsim.html#v=1&Fn=3');
      await page.keyboard.press('Enter');
      const base = 'https://example.org/course/hybridsim.html';
      await until((l) => window.copied === l, base + fragment);
      assert.deepEqual(await page.evaluate(() => [document.getElementById('link-choice-said').textContent,
        localStorage.getItem('hybridsim.linkBase')]),
      [`The link on ${base} is on the clipboard.`, base]);
      await page.click('#link-choice-close');
      assert.deepEqual(await page.evaluate(() => [document.getElementById('link-choice').hidden, document.activeElement.id]),
                       [true, 'copy-link']);
      await fresh();
      await page.click('#copy-link');
      assert.equal(await page.$eval('#link-base', (e) => e.value), base);
      noProblems();
    });

    once('the study graphs: the values at the cursor are the CSV\'s, pointers scrub, the force scale stays while typing, a phone', async () => {
      await fresh();
      await studyInView();
      const rows = (await csv()).trim().split('\n').slice(1).map((l) => l.split(',').map(Number));
      // i t ref_x ref_y tip_x tip_y err_x err_y joint1 joint2 defl1 defl2 force force_err s_err spring_force
      const mm = (v) => (1000 * v).toFixed(3) + ' mm';
      for (const frame of [0, 37, 100, 163, 200]) {
        const c = await page.evaluate((f) => {
          hybridsim.frame = f;
          return hybridsim.studyCursor();
        }, frame);
        const row = rows[frame];
        const r = c.runs[0];
        assert.deepEqual([c.sample, r.sample, r.t, r.refX, r.refY, r.tipX, r.tipY, r.force, r.sErr, r.Fn],
                         [frame, frame, row[1], row[2], row[3], row[4], row[5], row[12], row[14], 10], `sample ${frame}`);
        // on the page, as the summary writes them
        const head = `t = ${row[1].toFixed(3)} s (sample ${frame})`;
        assert.deepEqual(await page.$$eval('#study-graphs .cursor-text', (all) => all.map((t) => t.textContent)), [
          head, `F ${row[12].toFixed(3)} N, Fc ${row[15].toFixed(3)} N, Fn 10.000 N`, head, `sErr ${mm(row[14])}`,
          head, mm(r.distance),
          head, `tip ${mm(row[4])}, command ${mm(row[2])}`, head, `tip ${mm(row[5])}, command ${mm(row[3])}`,
        ], `sample ${frame}`);
      }
      // the distance from a circle: | |tip - O| - r |
      await loadTask(tasks.robotBCircle);
      const circle = (await csv()).trim().split('\n').slice(1).map((l) => l.split(',').map(Number));
      const [ox, oy, radius] = await page.evaluate(() => ['Ox', 'Oy', 'r'].map((n) => Number(hybridsim.get(n))));
      for (const frame of [20, 120]) {
        const d = (await page.evaluate((f) => hybridsim.studyCursor(f), frame)).runs[0].distance;
        const want = Math.abs(Math.hypot(circle[frame][4] - ox, circle[frame][5] - oy) - radius);
        assert.ok(Math.abs(d - want) <= 1e-15, `distance of sample ${frame}: ${d}, not ${want}`);
      }
      await loadTask(path.join(root, 'tests', 'task', 'data', 'default_task.dat'));

      // the SVG is XML, its cursor too
      const parsed = await page.evaluate(() => {
        const g = hybridsim.studyGraphs();
        const text = g.svg.replace('<g class="cursor"></g>', `<g class="cursor">${hybridsim.studyCursorSvg()}</g>`);
        const doc = new DOMParser().parseFromString(text, 'image/svg+xml');
        return [doc.getElementsByTagName('parsererror').length, doc.documentElement.localName,
                doc.querySelectorAll('g.panel').length, doc.querySelectorAll('g.cursor-panel').length, g.width,
                document.getElementById('view').offsetWidth];
      });
      assert.deepEqual(parsed.slice(0, 4), [0, 'svg', 5, 5]);
      assert.equal(parsed[4], parsed[5], 'as wide as the picture');

      // a press in a plot area jumps to the sample under it, by the time axis's ticks; a drag scrubs
      await studyInView();
      const axes = await studyAxes();
      const [[t0, x0], [t1, x1]] = [axes.ticks[0], axes.ticks[axes.ticks.length - 1]];
      const xOf = (t) => x0 + ((t - t0) * (x1 - x0)) / (t1 - t0);
      const under = (x) => {
        const t = t0 + ((x - x0) * (t1 - t0)) / (x1 - x0);
        let best = 0;
        rows.forEach((row, i) => { if (Math.abs(row[1] - t) < Math.abs(rows[best][1] - t)) best = i; });
        return best;
      };
      const middle = (p) => (p.top + p.bottom) / 2;
      const state = () => page.evaluate(() => [hybridsim.frame, hybridsim.playing,
                                               document.getElementById('readout').textContent]);
      await page.evaluate(() => { document.activeElement.blur(); hybridsim.play(); });
      const xa = Math.round(xOf(2.1));
      await page.mouse.move(xa, middle(axes.panels[2]));
      await page.mouse.down();
      assert.deepEqual(await state(), [under(xa), false, `sample ${under(xa)} / 200, t = ${rows[under(xa)][1].toFixed(2)} s`]);
      const xb = Math.round(xOf(6.3));
      await page.mouse.move(xb, middle(axes.panels[0]), { steps: 5 });
      assert.equal((await state())[0], under(xb));
      await page.mouse.move(axes.panels[0].right + 30, middle(axes.panels[1]), { steps: 3 });
      assert.equal((await state())[0], 200, 'right of the axis: the last sample');
      await page.mouse.move(axes.panels[0].left - 30, middle(axes.panels[1]), { steps: 3 });
      assert.equal((await state())[0], 0, 'left of the axis: the first sample');
      await page.mouse.up();
      await page.mouse.move(xb, middle(axes.panels[2]));
      assert.equal((await state())[0], 0, 'released: moving does not scrub');
      // the cursor's line stands where the sample is
      await page.mouse.click(xb, middle(axes.panels[2]));
      const line = await page.$eval('#study-graphs .cursor-line', (l) => {
        const m = l.ownerSVGElement.getScreenCTM();
        return m.e + m.a * l.x1.baseVal.value;
      });
      assert.ok(Math.abs(line - xOf(rows[under(xb)][1])) < 0.1, `cursor at ${line}, sample at ${xOf(rows[under(xb)][1])}`);
      // a press above the panels (their legend) is no scrub
      await page.mouse.click(xa, axes.panels[0].top - 30);
      assert.equal((await state())[0], under(xb));

      // the force scale stays while Fn is typed, 10 to 20 (20 N twice as high as 10 N), and grows when a value leaves it
      const start = await studyAxes();
      assert.equal(start.forceTicks[0], '0');
      const typeFn = async (keys, expect) => {
        await page.$eval('[data-field="Fn"]', (e) => { e.focus(); e.select(); });
        const seen = [];
        let typed = '';
        for (const k of keys) {
          await page.keyboard.type(k);
          typed += k;
          await until((v) => hybridsim.get('Fn') === v, String(Number(typed)));
          await studyDrawn();
          seen.push(await studyAxes());
        }
        if (expect) assert.deepEqual(seen.map((a) => a.forceTicks), seen.map(() => expect), `typing ${keys}`);
        return seen[seen.length - 1];
      };
      const grown = await typeFn('20');  // 20 N leaves the scale of the default run
      assert.notDeepEqual(grown.forceTicks, start.forceTicks);
      assert.ok(Number(grown.forceTicks.at(-1)) >= 20, grown.forceTicks.join(' '));
      const ten = await typeFn('10', grown.forceTicks);
      const twenty = await typeFn('20', grown.forceTicks);
      assert.ok(Math.abs(twenty.fnHeight - 2 * ten.fnHeight) < 0.15, `Fn 20: ${twenty.fnHeight} px, Fn 10: ${ten.fnHeight} px`);
      assert.match(twenty.note, new RegExp(`^Force scale 0 to ${grown.forceTicks.at(-1)} N: it stays while`));
      const fifty = await typeFn('50');
      assert.ok(Number(fifty.forceTicks.at(-1)) >= 50, fifty.forceTicks.join(' '));
      await typeFn('10', fifty.forceTicks);
      // drawn piece by piece while typing (a panel's lines alone where its axes stay), the graphs
      // on the page are those the core writes whole
      const asWhole = await page.evaluate(() => {
        const flat = (root) => [...root.querySelectorAll('*')].filter((e) => !e.closest('g.cursor')).map((e) =>
          e.localName + [...e.attributes].map((a) => ` ${a.name}=${a.value}`).sort().join('') + ' | ' +
          (e.children.length ? '' : e.textContent));
        const shown = flat(document.querySelector('#study-graphs svg'));
        const whole = flat(new DOMParser().parseFromString(hybridsim.studyGraphs().svg, 'image/svg+xml').documentElement);
        return whole.map((e, i) => (e === shown[i] ? null : [shown[i], e])).filter(Boolean).slice(0, 3)
          .concat(shown.length === whole.length ? [] : [`${shown.length} elements, not ${whole.length}`]);
      });
      assert.deepEqual(asWhole, []);
      // it shrinks back when asked, and when a task file is read
      await page.click('#fit-force');
      assert.deepEqual((await studyAxes()).forceTicks, start.forceTicks);
      await typeFn('50');
      await loadTask(path.join(root, 'tests', 'task', 'data', 'default_task.dat'));
      await studyInView();
      assert.deepEqual((await studyAxes()).forceTicks, start.forceTicks);

      // hidden or shown, the picture is the same (fitted anew to the window, seen from the top)
      const picture = () => page.evaluate(() => {
        window.scrollTo(0, 0);
        window.dispatchEvent(new Event('resize'));
        const c = document.getElementById('view');
        // the pixels as one number (FNV-1a), so that a difference reads short
        const pixels = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let hash = 2166136261;
        for (let i = 0; i < pixels.length; ++i) hash = Math.imul(hash ^ pixels[i], 16777619) >>> 0;
        return [c.width, c.style.width, hash];
      });
      const open = await picture();
      await page.click('#study-toggle');
      assert.equal(await page.$eval('#study', (d) => d.open), false);
      assert.deepEqual(await picture(), open);
      await page.click('#study-toggle');
      await studyInView();

      // on a phone's width every text is 11 px or larger, and the graphs fit
      await page.setViewport({ width: 390, height: 844 });
      await until(() => document.getElementById('view').offsetWidth < innerWidth &&
                  hybridsim.studyWidth === document.getElementById('view').offsetWidth &&
                  document.querySelector('#study-graphs svg').width.baseVal.value === hybridsim.studyWidth);
      const phone = await page.evaluate(() => {
        const svg = document.querySelector('#study-graphs svg');
        const scale = svg.getBoundingClientRect().width / svg.width.baseVal.value;
        const sizes = [...svg.querySelectorAll('text')].map((t) => parseFloat(getComputedStyle(t).fontSize) * scale);
        return [Math.min(...sizes), svg.getBoundingClientRect().right, document.documentElement.clientWidth, sizes.length];
      });
      assert.ok(phone[0] >= 11, `smallest text ${phone[0]} px`);
      assert.ok(phone[1] <= phone[2], `the graphs end at ${phone[1]} px of ${phone[2]}`);
      assert.ok(phone[3] > 60);
      noProblems();
    });

    test("saving the task: the desktop writer's file, which the page reads back to the same run", async () => {
      await fresh();
      const settings = [['contour', 'C'], ['r', 0.15], ['Fn', 12.5], ['method', 7], ['fn1', 4], ['seterror', -0.002]];
      for (const [n, v] of settings)
        assert.deepEqual(await page.evaluate((name, value) => hybridsim.set(name, value), n, v),
                         { ok: true, message: '' });
      const want = nativeTaskText(...settings.map(([n, v]) => `${n}=${v}`));
      assert.equal(await page.evaluate(() => hybridsim.taskText()), want);
      const saved = [await csv(), await report()];

      const folder = await downloads(launched[kind], page, ['scara-circle-method7.dat'], () => page.click('#save-task'));
      try {
        const file = path.join(folder, 'scara-circle-method7.dat');
        assert.equal(fs.readFileSync(file, 'utf8'), want);
        assertSameCsv(saved[0], batchOut(file, '--csv', '-'));
        csvSeen[kind].set('a circle, method 7, saved', saved[0]);

        // another task, then the saved file through the file picker: the same run
        await loadTask(tasks.robotALine);
        await (await page.$('#task-file')).uploadFile(file);
        await until(() => document.getElementById('message').textContent === 'Read scara-circle-method7.dat.');
        assert.deepEqual([await csv(), await report()], saved);
        assert.equal(await page.$eval('select[data-field="contour"]', (e) => e.value), 'C');
        assert.equal((await fieldState('seterror')).text, '-2');
      } finally {
        fs.rmSync(folder, { recursive: true, force: true });
      }
      noProblems();
    });

    // --- the design map in the control loops' panel ---
    once('design map: drawn only while open, by the figure and the plane; the ring dragged or the map clicked sets fn2 and alpha2; a goal outlined', async () => {
      await fresh();
      await until(() => document.querySelectorAll('#loops-chart svg').length >= 2);
      const state = () => page.evaluate(() => {
        const c = document.getElementById('design-map-chart');
        const axis = c.querySelector('.axis-y');
        return { drawn: Number(c.dataset.drawn || 0), figure: c.dataset.figure, plane: c.dataset.plane,
                 outline: c.querySelector('.pass-outline') !== null, axis: axis ? axis.textContent : '' };
      });
      // (the page's own wait: the display frame, then a task of its own)
      const afterPicture = () => page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0))));
      assert.equal((await state()).drawn, 0, 'closed: no map');
      await page.click('#design-map-toggle');
      await until(() => document.querySelector('#design-map-chart svg.design-map') !== null);
      let s = await state();
      assert.deepEqual([s.drawn, s.figure, s.plane, s.outline], [1, 'overshoot_pct', 'alpha', false]);
      assert.match(s.axis, /^alpha2/);
      assert.match(await page.$eval('#design-map-text', (e) => e.textContent), /force overshoot of the model's force step/);

      // the figure's select and the plane's switch draw it anew
      await page.select('#design-map-figure', 'settling_t_s');
      await until(() => document.getElementById('design-map-chart').dataset.figure === 'settling_t_s');
      await page.click('#design-map-plane');
      await until(() => document.getElementById('design-map-chart').dataset.plane === 'zeta');
      assert.match((await state()).axis, /^zeta2/);
      await page.click('#design-map-plane');
      await until(() => document.getElementById('design-map-chart').dataset.plane === 'alpha');
      // a goal on the force step: its pass region outlined
      await page.evaluate(() => hybridsim.addGoal('overshoot_pct <= 3'));
      await until(() => document.querySelector('#design-map-chart .pass-outline') !== null);

      // a place of the plot area, (a, b) its shares from the lower left, on the screen
      const screenAt = (a, b) => page.evaluate((a, b) => {
        const svg = document.querySelector('#design-map-chart svg');
        const r = svg.querySelector('.plot-area');
        const [x, y, w, h] = ['x', 'y', 'width', 'height'].map((k) => Number(r.getAttribute(k)));
        const p = new DOMPoint(x + a * w, y + (1 - b) * h).matrixTransform(svg.getScreenCTM());
        return [p.x, p.y];
      }, a, b);
      const ranges = () => page.$eval('#design-map-chart', (c) => [c.dataset.x, c.dataset.y].map((t) => t.split(' ').map(Number)));
      const [[xLo, xHi], [yLo, yHi]] = await ranges();
      // the panels above the map are drawn anew with every run, which may
      // move the map on the screen: the pointer's place in the map's plane
      // when it was let go or clicked, as the page saw it
      await page.evaluate(() => {
        // (a click's place is in whole pixels, a pointer's not)
        const seen = (e) => {
          const svg = document.querySelector('#design-map-chart svg');
          const r = svg.querySelector('.plot-area');
          const [x, y, w, h] = ['x', 'y', 'width', 'height'].map((k) => Number(r.getAttribute(k)));
          const p = new DOMPoint(e.clientX, e.clientY).matrixTransform(svg.getScreenCTM().inverse());
          window.mapPointer = window.mapPointer || {};
          window.mapPointer[e.type] = [(p.x - x) / w, 1 - (p.y - y) / h];
        };
        document.addEventListener('pointerup', seen, true);
        document.addEventListener('click', seen, true);
      });
      const designSeen = async (type) => {
        const [a, b] = await page.evaluate((t) => window.mapPointer[t], type);
        return [xLo * Math.pow(xHi / xLo, a), yLo + b * (yHi - yLo)];
      };
      const setNow = () => page.evaluate(() => [Number(hybridsim.get('fn2')), Number(hybridsim.get('alpha2'))]);
      // as typed with four significant digits
      const near = ([fn, alpha], [wantFn, wantAlpha], what) => {
        assert.ok(Math.abs(fn / wantFn - 1) < 1e-3, `${what}: fn2 ${fn}, the pointer's ${wantFn}`);
        assert.ok(Math.abs(alpha - wantAlpha) < 1e-3 * Math.abs(wantAlpha) + 1e-9, `${what}: alpha2 ${alpha}, the pointer's ${wantAlpha}`);
      };
      const drawnNow = async () => (await state()).drawn;
      // the ring dragged to about (0.7, 0.3) of the plane
      await page.$eval('#design-map-chart svg', (svg) => svg.scrollIntoView({ block: 'center' }));
      const ring = await page.evaluate(() => {
        const r = document.querySelector('#design-map-chart .design-point').getBoundingClientRect();
        return [r.left + r.width / 2, r.top + r.height / 2];
      });
      const to = await screenAt(0.7, 0.3);
      let before = await drawnNow();
      await page.mouse.move(ring[0], ring[1]);
      await page.mouse.down();
      await page.mouse.move((ring[0] + to[0]) / 2, (ring[1] + to[1]) / 2, { steps: 4 });
      await page.mouse.move(to[0], to[1], { steps: 4 });
      await page.mouse.up();
      // drawn anew once the drag is over, on the same ranges
      await until((n) => Number(document.getElementById('design-map-chart').dataset.drawn) > n, before);
      near(await setNow(), await designSeen('pointerup'), 'dragged');
      assert.deepEqual(await ranges(), [[xLo, xHi], [yLo, yHi]]);
      const dragged = await setNow();
      assert.ok(dragged[0] > 20 && dragged[1] > 2, `dragged up and right: ${dragged}`);
      // the value under the pointer shown; a click elsewhere on the map: the design there
      await page.$eval('#design-map-chart svg', (svg) => svg.scrollIntoView({ block: 'center' }));
      const there = await screenAt(0.2, 0.8);
      await page.mouse.move(there[0], there[1]);
      await until(() => /^fn2 .+ Hz, α2 .+: force settling time/.test(document.getElementById('design-map-value').textContent));
      before = await drawnNow();
      await page.mouse.click(there[0], there[1]);
      await until((n) => Number(document.getElementById('design-map-chart').dataset.drawn) > n, before);
      near(await setNow(), await designSeen('click'), 'clicked');
      const clicked = await setNow();
      assert.ok(clicked[0] < dragged[0] && clicked[1] > dragged[1], `clicked up and left: ${clicked}`);
      // the settings panel shows the values set
      assert.equal(await page.$eval('[data-field="fn2"]', (e) => e.value), String(await page.evaluate(() => hybridsim.get('fn2'))));

      // the control loops' panel closed: a new run draws no map
      const drawn = (await state()).drawn;
      await page.$eval('#loops', (d) => { d.open = false; });
      await page.evaluate(() => hybridsim.set('fn2', 30));
      await afterPicture();
      await afterPicture();
      assert.equal((await state()).drawn, drawn, 'no map while the panel is closed');
      // opened again: drawn for the run in force
      await page.$eval('#loops', (d) => { d.open = true; });
      await until((n) => Number(document.getElementById('design-map-chart').dataset.drawn) > n, drawn);
      for (const expression of ['hybridsim.designMap({ plane: "x" })', 'hybridsim.designMap({ figure: "s_err_max_m" })',
                                'hybridsim.designMap({ width: 0 })', 'hybridsim.designMap({ xRange: [1] })']) {
        const thrown = await thrownBy(expression);
        assert.equal(thrown?.[0], 'TypeError', expression);
        assert.match(thrown[1], /^hybridsim\.designMap: expected .+, not /, expression);
      }
      noProblems();
    });

    if (chromium && origin === 'file://') {
      test('a fuzz run: random keys, clicks and values leave no error and a run on screen', async () => {
        await fresh();
        await fuzz(page, problems);
      });
    }
  });
}

// The two browsers side by side (each its own process, with its own focus
// and keyboard), their tests one after the other in each (a suite's
// subtests would take its concurrency).
describe('the page', { concurrency: true }, () => {
  for (const kind of browserKinds) {
    describe(kind, { concurrency: 1 }, () => {
      for (const [k, origin, url] of runs) if (k === kind) pageTests(kind, origin, url);
    });
  }
});

// the runs both browsers computed: the same numbers to the last bit
if (browserKinds.includes('chromium') && browserKinds.includes('firefox')) {
  test('Chromium and Firefox: the same CSV of every run both computed, byte for byte', () => {
    const both = [...csvSeen.firefox.keys()].filter((label) => csvSeen.chromium.has(label));
    assert.ok(both.length >= 7, `runs computed in both browsers: ${both.join(', ')}`);
    for (const label of both) {
      const [c, f] = [csvSeen.chromium.get(label), csvSeen.firefox.get(label)];
      if (c === f) continue;
      const line = c.split('\n').findIndex((l, i) => l !== f.split('\n')[i]);
      assert.fail(`${label}: line ${line} differs:\n  Chromium ${c.split('\n')[line]}\n  Firefox  ${f.split('\n')[line]}`);
    }
  });
}
