// The page in a course platform's frame, in Debian's Chromium and Firefox
// ESR, headless: a parent page beside a copy of the one-file page embeds it
// sandboxed (sandbox="allow-scripts", an opaque origin), opens a link with
// goals by message, reads its state and grade back (the grade the same
// object as hybridsim-batch --goals-format json of the same task), hears the
// grade posted after each run, gets an error for a call it does not know;
// and a parent of the same origin calls the frame's window directly.  No
// console error, page error, failed request or dialog on the way.
//
//   node tests/web/embed_e2e.mjs --site build-web/site --one-file build-web/hybridsim.html \
//       --batch build/app/hybridsim-batch
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, openPage, pathOption, root, serveFolder } from './browser.mjs';

const site = pathOption('--site', path.join(root, 'build-web', 'site'));
const batch = pathOption('--batch', path.join(root, 'build', 'app', 'hybridsim-batch'));
const oneFile = pathOption('--one-file', path.join(site, '..', 'hybridsim.html'));

// deadline of each wait in the page [ms]
const deadline = 30000;

// The parent page: the frame (sandboxed or not), calls by message as
// promises, and every message the frame posted kept in `posted`; the body
// is marked ready at the first grade.
function parentPage(sandbox) {
  return `<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>course</title><link rel="icon" href="data:,"></head>
<body>
<iframe id="sim" src="hybridsim.html" ${sandbox ? 'sandbox="allow-scripts"' : ''} width="1100" height="800"
        title="simulation"></iframe>
<script>
  const frame = document.getElementById('sim');
  window.posted = [];
  const waiting = new Map();
  let next = 0;
  window.call = (method, ...args) => {
    const id = 'call-' + (++next);
    frame.contentWindow.postMessage({ type: 'hybridsim-call', id, method, args }, '*');
    // (a call never answered fails within the deadline, with what it was)
    return new Promise((resolve) => {
      waiting.set(id, resolve);
      setTimeout(() => resolve({ error: 'no answer to ' + method + ' within ${deadline} ms' }), ${deadline});
    });
  };
  window.addEventListener('message', (event) => {
    if (event.source !== frame.contentWindow) return;
    const m = event.data;
    window.posted.push(m);
    if (m.type === 'hybridsim-answer' && waiting.has(m.id)) {
      waiting.get(m.id)(m);
      waiting.delete(m.id);
    }
    if (m.type === 'hybridsim-grade') document.body.dataset.ready = 'true';
  });
</script>
</body></html>
`;
}

// the batch runner's output for `args`
function batchOut(...args) {
  return execFileSync(batch, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// a task and its goals: the link's fragment and the grade the batch runner gives
function exercise(...sets) {
  const args = [];
  for (const s of sets) args.push('--set', s);
  args.push('--require', 'overshoot_pct <= 5', '--require', 'settling_t_s < 0.3');
  const fragment = batchOut(...args, '--link').trim().replace(/^#/, '');
  // (status 1 when a goal fails: the JSON is written all the same)
  let json;
  try {
    json = batchOut(...args, '--goals-format', 'json');
  } catch (e) {
    json = e.stdout;
  }
  return { fragment, grade: JSON.parse(json) };
}

const browserKinds = (process.env.HYBRIDSIM_BROWSERS || 'chromium,firefox').split(',');
const launched = {};
let server;
let folder;
let base;
before(async () => {
  assert.ok(fs.existsSync(oneFile), `no page as one file at ${oneFile}: make web`);
  folder = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-embed-'));
  fs.copyFileSync(oneFile, path.join(folder, 'hybridsim.html'));
  fs.writeFileSync(path.join(folder, 'sandboxed.html'), parentPage(true));
  fs.writeFileSync(path.join(folder, 'same_origin.html'), parentPage(false));
  await Promise.all(browserKinds.map(async (kind) => {
    launched[kind] = await launchBrowser(kind);
  }));
  server = await serveFolder(folder);
  base = server.url.replace(/index\.html$/, '');
});
after(async () => {
  for (const b of Object.values(launched)) await b.close();
  if (server) await server.close();
  if (folder) fs.rmSync(folder, { recursive: true, force: true });
});

function embedTests(kind) {
  test(`${kind}: sandboxed, the calls and the grade go by message`, async () => {
    const problems = [];
    const page = await openPage(launched[kind].context, base + 'sandboxed.html', problems, deadline);
    try {
      // the frame's origin is opaque: the parent cannot reach into it
      const reachable = await page.evaluate(() => {
        try {
          return typeof document.getElementById('sim').contentWindow.getState === 'function';
        } catch (e) {
          return false;
        }
      });
      assert.equal(reachable, false, 'a sandboxed frame is no same-origin window');
      // the first grade: the defaults, no goals
      const first = await page.evaluate(() => window.posted.find((m) => m.type === 'hybridsim-grade'));
      assert.deepEqual(JSON.parse(first.grade), { passed: 0, total: 0, fraction: null, goals: [] });

      // a link with goals opened by message: its state and grade as the batch runner's
      const slow = exercise('fn2=10');
      const opened = await page.evaluate((f) => window.call('setState', f), slow.fragment);
      assert.equal(opened.error, undefined, `setState: ${opened.error}`);
      assert.equal(opened.result.ok, true, JSON.stringify(opened.result));
      const state = (await page.evaluate(() => window.call('getState'))).result;
      assert.equal(state, slow.fragment, 'the state is the link the batch runner makes of the same task');
      const grade = (await page.evaluate(() => window.call('getGrade'))).result;
      assert.equal(typeof grade, 'string', 'getGrade gives a JSON text');
      assert.deepEqual(JSON.parse(grade), slow.grade);
      assert.equal(slow.grade.passed, 1, 'one goal of the slow loop fails');
      // the run posted its grade and state
      await page.waitForFunction((s) => window.posted.some((m) => m.type === 'hybridsim-grade' && m.state === s),
        { timeout: deadline }, state);
      const posted = await page.evaluate((s) => window.posted.filter((m) => m.type === 'hybridsim-grade' && m.state === s),
        state);
      assert.equal(posted.length, 1, 'one message for one change');
      assert.equal(posted[0].grade, grade);

      // a setting changed in the page is a run: its grade comes without being asked for
      const fast = exercise('fn2=40');
      const count = await page.evaluate(() => window.posted.length);
      await page.evaluate((f) => window.call('setState', '#' + f), fast.fragment);
      await page.waitForFunction((n) => window.posted.slice(n).some((m) => m.type === 'hybridsim-grade'),
        { timeout: deadline }, count);
      const latest = await page.evaluate(() => window.posted.filter((m) => m.type === 'hybridsim-grade').at(-1));
      assert.deepEqual(JSON.parse(latest.grade), fast.grade);
      assert.equal(fast.grade.passed, 2);
      assert.equal(latest.state, fast.fragment);

      // a call it does not know, and an argument of the wrong kind: errors, answered
      const unknown = await page.evaluate(() => window.call('deleteEverything'));
      assert.match(unknown.error, /no method 'deleteEverything'/);
      const wrong = await page.evaluate(() => window.call('setState', 42));
      assert.match(wrong.error, /setState takes a link/);
      assert.deepEqual(problems, [], 'console, page, request or dialog trouble');
    } finally {
      await page.close();
    }
  });

  test(`${kind}: of the same origin, the frame's window is called directly`, async () => {
    const problems = [];
    const page = await openPage(launched[kind].context, base + 'same_origin.html', problems, deadline);
    try {
      const slow = exercise('fn2=10');
      const direct = await page.evaluate((f) => {
        const w = document.getElementById('sim').contentWindow;
        const opened = w.setState(f);
        return { opened, state: w.getState(), grade: w.getGrade() };
      }, slow.fragment);
      assert.equal(direct.opened.ok, true);
      assert.equal(direct.state, slow.fragment);
      assert.deepEqual(JSON.parse(direct.grade), slow.grade);
      await page.waitForFunction((s) => window.posted.some((m) => m.type === 'hybridsim-grade' && m.state === s),
        { timeout: deadline }, slow.fragment);
      assert.deepEqual(problems, [], 'console, page, request or dialog trouble');
    } finally {
      await page.close();
    }
  });
}

// the browsers side by side, each its tests one after the other
describe('the page in a frame', { concurrency: true }, () => {
  for (const kind of browserKinds) describe(kind, { concurrency: 1 }, () => embedTests(kind));
});
