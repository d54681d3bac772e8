// The built page in Debian's Chromium, headless, from file:// and from a
// local HTTP server: the same numbers, texts and shapes as the desktop
// program, task files taken whole or refused with the desktop's message,
// the unreachable-point notice, the downloads; and no console error, page
// error, failed request or dialog on the way.
//
//   node tests/web/page_e2e.mjs --site build-web/site --batch build/app/hybridsim-batch \
//       --dump build/tests/web/web_shape_dump
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { launchBrowser, openPage, serveFolder } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..', '..');
const option = (name, fallback) => {
  const i = process.argv.indexOf(name);
  return path.resolve(i > 0 ? process.argv[i + 1] : fallback);
};
const site = option('--site', path.join(root, 'build-web', 'site'));
const batch = option('--batch', path.join(root, 'build', 'app', 'hybridsim-batch'));
const dump = option('--dump', path.join(root, 'build', 'tests', 'web', 'web_shape_dump'));

// deadline of each wait in the page [ms]
const deadline = 30000;

const tasks = {
  robotALine: path.join(root, 'tests', 'core', 'data', 'robot_a_line.dat'),
  robotBCircle: path.join(root, 'tests', 'core', 'data', 'circle_method7.dat'),
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

function nativeShapes(frame, file) {
  const args = file ? [file, String(frame)] : [String(frame)];
  return JSON.parse(execFileSync(dump, args, { encoding: 'utf8', maxBuffer: 64 << 20 }));
}

// --- comparisons ---

// Two CSV texts: the same header and rows, every number within 1e-12
// relative plus 1e-15 absolute (for values that are 0 natively, and for
// differences such as err_x that cancel to far below their operands), nan
// where the native run has nan.
function assertSameCsv(got, want) {
  const rows = (t) => t.trimEnd().split('\n').map((l) => l.split(','));
  const g = rows(got);
  const w = rows(want);
  assert.deepEqual(g[0], w[0], 'header');
  assert.equal(g.length, w.length, 'rows');
  for (let r = 1; r < w.length; ++r) {
    assert.equal(g[r].length, w[r].length, `fields of row ${r}`);
    for (let c = 0; c < w[r].length; ++c) {
      const a = Number(g[r][c]);
      const b = Number(w[r][c]);
      const where = `row ${r} ${w[0][c]}: ${g[r][c]} against ${w[r][c]}`;
      if (Number.isNaN(b)) {
        assert.ok(Number.isNaN(a), where);
        continue;
      }
      const tol = 1e-12 * Math.abs(b) + 1e-15;
      assert.ok(Math.abs(a - b) <= tol, where);
    }
  }
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

// --- the page, from both origins ---

let chromium;
let server;
before(async () => {
  assert.ok(fs.existsSync(path.join(site, 'index.html')), `no page in ${site}: make web`);
  chromium = await launchBrowser();
  server = await serveFolder(site);
});
after(async () => {
  if (chromium) await chromium.close();
  if (server) await server.close();
});

const origins = [
  ['file://', () => pathToFileURL(path.join(site, 'index.html')).href],
  ['http://127.0.0.1', () => server.url],
];

for (const [origin, url] of origins) {
  describe(`page from ${origin}`, () => {
    let page;
    let problems;
    // a fresh page for each test, whose problems fail it
    const fresh = async (pixelRatio = 1) => {
      if (page) await page.close();
      problems = [];
      page = await openPage(chromium.browser, url(), problems, deadline, pixelRatio);
    };
    const noProblems = () => assert.deepEqual(problems, [], 'console, page, request or dialog trouble');
    const loadTask = (file) =>
      page.evaluate((text, name) => hybridsim.loadTask(text, name), fs.readFileSync(file, 'utf8'), file);

    after(async () => {
      if (page) await page.close();
    });

    test('the default run: CSV, report and summary as hybridsim-batch gives them', async () => {
      await fresh();
      assertSameCsv(await page.evaluate(() => hybridsim.csv()), batchOut('--csv', '-'));
      assert.equal(await page.evaluate(() => hybridsim.report()), batchOut('--report'));
      assert.equal(await page.evaluate(() => hybridsim.summary()), batchOut('--summary'));
      // the panels show the same texts, the readout frame 0
      assert.equal(await page.$eval('#report', (e) => e.textContent), batchOut('--report'));
      assert.match(await page.$eval('#readout', (e) => e.textContent), /^frame 0 \/ 200, t = 0\.00 s$/);
      noProblems();
    });

    test('tasks loaded with loadTask: robot a line, robot b circle', async () => {
      await fresh();
      for (const file of [tasks.robotALine, tasks.robotBCircle]) {
        const r = await loadTask(file);
        assert.deepEqual(r, { ok: true, message: '' }, file);
        assertSameCsv(await page.evaluate(() => hybridsim.csv()), batchOut(file, '--csv', '-'));
        assert.equal(await page.evaluate(() => hybridsim.report()), batchOut(file, '--report'));
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
      assert.equal(seen.readout, 'frame 100 / 200, t = 4.00 s');
      // writing the frame clamps it
      assert.equal(await page.evaluate(() => { hybridsim.frame = 999; return hybridsim.frame; }), 200);
      assert.equal(await page.evaluate(() => { hybridsim.frame = -5; return hybridsim.frame; }), 0);
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
      assert.equal(await page.$eval('#report', (e) => e.textContent), batchOut(tasks.robotBCircle, '--report'));
      // a file dropped on the page is read the same way
      await page.evaluate((text) => {
        const files = new DataTransfer();
        files.items.add(new File([text], 'dropped.dat'));
        for (const type of ['dragenter', 'dragover', 'drop'])
          document.body.dispatchEvent(new DragEvent(type, { dataTransfer: files, bubbles: true, cancelable: true }));
      }, fs.readFileSync(tasks.robotALine, 'utf8'));
      await page.waitForFunction(() => document.getElementById('message').textContent === 'Read dropped.dat.',
                                  { timeout: deadline });
      assert.equal(await page.$eval('#report', (e) => e.textContent), batchOut(tasks.robotALine, '--report'));
      assert.equal(await page.$eval('#drop-hint', (e) => e.hidden), true);
      noProblems();
    });

    test('unreachable points: one notice in the page with the count, no dialog', async () => {
      await fresh();
      const r = await loadTask(tasks.farCircle);
      assert.equal(r.ok, true);
      assertSameCsv(await page.evaluate(() => hybridsim.csv()), batchOut(tasks.farCircle, '--csv', '-'));
      await page.waitForFunction(() => !document.getElementById('notice').hidden, { timeout: deadline });
      const notice = await page.$eval('#notice', (e) => e.textContent);
      assert.match(notice, /cannot reach 404 points/);
      assert.equal((notice.match(/!!!/g) || []).length, 1, notice);
      assert.equal(await page.$$eval('.notice', (all) => all.filter((e) => !e.hidden).length), 1);
      // a reachable task takes the notice away
      await loadTask(tasks.robotALine);
      assert.equal(await page.$eval('#notice', (e) => e.hidden), true);
      noProblems();
    });

    test('downloads: the CSV as the batch runner writes it, the frame as an 800 x 800 PNG', async () => {
      await fresh();
      const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-downloads-'));
      try {
        const cdp = await page.createCDPSession();
        await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
        await page.evaluate(() => { hybridsim.frame = 60; });
        await page.click('#download-csv');
        await page.click('#download-png');
        // the browser writes the files by itself: wait for both, whole
        const whole = (name) => fs.existsSync(path.join(folder, name));
        const until = Date.now() + deadline;
        while (!(whole('default.csv') && whole('default_frame_060.png'))) {
          assert.ok(Date.now() < until, `downloads missing: ${fs.readdirSync(folder)}`);
          await new Promise((done) => setTimeout(done, 20));  // poll, bounded by the deadline
        }
        assertSameCsv(fs.readFileSync(path.join(folder, 'default.csv'), 'utf8'), batchOut('--csv', '-'));
        const png = fs.readFileSync(path.join(folder, 'default_frame_060.png'));
        assert.equal(png.subarray(1, 4).toString(), 'PNG');
        assert.equal(png.readUInt32BE(16), 800, 'width');
        assert.equal(png.readUInt32BE(20), 800, 'height');
      } finally {
        fs.rmSync(folder, { recursive: true, force: true });
      }
      noProblems();
    });
  });
}
