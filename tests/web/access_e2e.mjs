// The page for every student, in Chromium and Firefox headless: the picture
// in words in its live region holds the figures of hybridsim-batch --csv at
// the sample shown, is said at most twice a second while the run plays and
// says the last sample when it stops; a goal's change of pass or FAIL is
// said; the study graphs' and the loops' tables are reached by Tab and hold
// the figures of the CSV and of --loops; the force error's sound makes no
// audio context before its switch and then follows the error; with reduced
// motion nothing moves by itself and Play still plays (Firefox runs the whole
// file with reduced motion, Chromium emulates it for its test); axe-core finds
// nothing serious with all of it open.
//
//   node tests/web/access_e2e.mjs --site build-web/site --one-file build-web/hybridsim.html \
//       --batch build/app/hybridsim-batch --dump ... --task-text ...
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { launchBrowser, openPage, pathOption, root } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = pathOption('--site', path.join(root, 'build-web', 'site'));
const batch = pathOption('--batch', path.join(root, 'build', 'app', 'hybridsim-batch'));
const deadline = 30000;

const lineTask = path.join(root, 'tests', 'task', 'data', 'robot_a_line.dat');
const farCircle = path.join(here, 'data', 'far_circle.dat');

const batchOut = (...args) => execFileSync(batch, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });

// the CSV of a task as rows of named numbers (nan as NaN)
function csvRows(text) {
  const [head, ...lines] = text.trim().split('\n');
  const names = head.split(',');
  return lines.map((l) => Object.fromEntries(l.split(',').map((v, i) => [names[i], Number(v)])));
}
const three = (v) => v.toFixed(3);

// Before the page's scripts: the audio contexts made, and every frequency an
// oscillator is set to with the frame shown then; the live region's changes
// with their times.
function spies() {
  window.audioSpy = { contexts: 0, pitches: [], stops: 0 };
  const Original = window.AudioContext;
  if (Original) {
    window.AudioContext = class extends Original {
      constructor(...args) {
        super(...args);
        window.audioSpy.contexts += 1;
        const make = this.createOscillator.bind(this);
        this.createOscillator = () => {
          const o = make();
          const set = o.frequency.setValueAtTime.bind(o.frequency);
          o.frequency.setValueAtTime = (v, at) => {
            window.audioSpy.pitches.push([v, window.hybridsim.frame]);
            return set(v, at);
          };
          const stop = o.stop.bind(o);
          o.stop = (...a) => {
            window.audioSpy.stops += 1;
            return stop(...a);
          };
          return o;
        };
      }
    };
  }
  window.saidTimes = [];
  document.addEventListener('DOMContentLoaded', () => {
    const region = document.getElementById('described');
    new MutationObserver(() => window.saidTimes.push(performance.now()))
      .observe(region, { childList: true, characterData: true, subtree: true });
  });
}

const browserKinds = (process.env.HYBRIDSIM_BROWSERS || 'chromium,firefox').split(',');
const launched = {};
before(async () => {
  assert.ok(fs.existsSync(path.join(site, 'index.html')), `no page in ${site}: make web`);
  // (Firefox cannot emulate reduced motion on a page: it runs every test of
  // this file with it, Play among them)
  await Promise.all(browserKinds.map(async (kind) => {
    launched[kind] = await launchBrowser(kind, { 'ui.prefersReducedMotion': 1 });
  }));
});
after(async () => {
  for (const b of Object.values(launched)) await b.close();
});

describe('the page for every student', { concurrency: true }, () => {
  for (const kind of browserKinds) {
    describe(kind, { concurrency: 1 }, () => {
      let page;
      const problems = [];
      const until = (fn, ...args) => page.waitForFunction(fn, { timeout: deadline, polling: 20 }, ...args);
      const said = () => page.$eval('#described', (e) => e.textContent);
      const loadTask = (file) =>
        page.evaluate((text, name) => hybridsim.loadTask(text, name), fs.readFileSync(file, 'utf8'), file);
      // Tab from `from` until `id` has the focus (at most `most` presses)
      const tabTo = async (from, id, most = 12) => {
        await page.focus(`#${from}`);
        for (let i = 0; i < most; ++i) {
          await page.keyboard.press('Tab');
          if ((await page.evaluate(() => document.activeElement.id)) === id) return;
        }
        assert.fail(`${id} not reached by Tab from ${from}`);
      };

      before(async () => {
        const url = pathToFileURL(path.join(site, 'index.html')).href;
        // a returning visitor: the start card put away
        const first = await openPage(launched[kind].context, url, problems, deadline);
        await first.evaluate(() => localStorage.setItem('hybridsim.startDismissed', '1'));
        await first.close();
        page = await openPage(launched[kind].context, url, problems, deadline, 1, spies);
      });
      after(async () => {
        if (page) await page.close();
      });

      test('the picture in words: the figures of the CSV at three samples, out of reach counted, Japanese', async () => {
        await loadTask(lineTask);
        const rows = csvRows(batchOut(lineTask, '--csv', '-'));
        const Fn = 10;
        let contact = 0;
        for (const frame of [0, 40, 150]) {
          await page.evaluate((f) => { hybridsim.frame = f; }, frame);
          // the words of this run at this sample (a throttled update may still show the task before)
          await until((f) => hybridsim.frame === f && document.getElementById('described').textContent === hybridsim.describe(), frame);
          const text = await said();
          const r = rows[frame];
          // the line x = 0.3 m: the tip's distance from it, and from the command point
          const fromContour = three(1000 * Math.abs(r.tip_x - 0.3));
          const fromCommand = three(1000 * Math.hypot(r.err_x, r.err_y));
          assert.ok(text.startsWith(`t = ${three(r.t)} s, sample ${frame} / ${rows.length - 1}.`), text);
          assert.ok(text.includes(`F = ${three(r.force)} N against Fn = ${three(Fn)} N (F − Fn = ${three(r.force_err)} N)`), text);
          assert.ok(text.includes(`tip is ${fromContour} mm from the workpiece contour and ${fromCommand} mm from the command point`), text);
          // the ideal contact models none: F is the force loop's state, never read as a contact
          assert.ok(!text.includes('contact (F') && text.includes('no contact is modelled'), text);
          contact += r.force > 0 ? 1 : 0;
          assert.ok(text.endsWith('No point is out of reach.'), text);
        }
        assert.equal(contact, 2, 'the first sample is before the force rises, the others after');

        // robot b's far circle: the samples without a posture counted as the CSV leaves them
        await loadTask(farCircle);
        const far = csvRows(batchOut(farCircle, '--csv', '-'));
        const without = far.filter((r) => Number.isNaN(r.joint1)).length;
        const first = far.findIndex((r) => Number.isNaN(r.joint1));
        assert.ok(without > 0 && first >= 0);
        await page.evaluate((f) => { hybridsim.frame = f; }, first);
        await until((f) => hybridsim.frame === f && document.getElementById('described').textContent === hybridsim.describe(), first);
        const text = await said();
        assert.ok(text.includes(`${without} of the ${far.length} samples have no posture`), text);
        assert.ok(text.includes('This sample is one of them.'), text);

        // the page in Japanese: the region in it
        await page.click('#language');
        await until(() => /サンプル/.test(document.getElementById('described').textContent));
        assert.ok((await said()).includes(`${far.length} サンプルのうち ${without} サンプル`));
        await page.click('#language');
        await until(() => /^t = .*sample/.test(document.getElementById('described').textContent));
        assert.deepEqual(problems, []);
      });

      test('while the run plays the region is said at most twice a second, and the last sample once it stops',
        async () => {
          await loadTask(lineTask);
          await until(() => document.getElementById('described').textContent === hybridsim.describe());
          const start = await page.evaluate(() => {
            window.saidTimes.length = 0;
            hybridsim.play();
            return performance.now();
          });
          // a stretch of the playback, then a pause where it stands
          await until(() => hybridsim.frame >= 60 || !hybridsim.playing);
          const [stop, frame] = await page.evaluate(() => {
            hybridsim.pause();
            return [performance.now(), hybridsim.frame];
          });
          await until((f) => document.getElementById('described').textContent.includes(`sample ${f} /`), frame);
          const times = await page.evaluate((s, e) => window.saidTimes.filter((t) => t >= s && t <= e), start, stop);
          const seconds = (stop - start) / 1000;
          assert.ok(seconds > 0.5, `played ${seconds} s`);
          assert.ok(times.length >= 1, 'said while playing');
          assert.ok(times.length <= 2 * seconds + 1, `${times.length} updates in ${seconds} s`);
          for (let i = 1; i < times.length; ++i) assert.ok(times[i] - times[i - 1] >= 490, `updates ${times[i] - times[i - 1]} ms apart`);
        });

      test('a goal\'s change of pass or FAIL is said', async () => {
        await page.evaluate(() => {
          hybridsim.resetDefaults();
          hybridsim.addGoal('Fn_N <= 15');
        });
        const goalSaid = () => page.$eval('#goal-said', (e) => e.textContent);
        await page.evaluate(() => hybridsim.set('Fn', 20));
        await until(() => document.getElementById('goal-said').textContent.includes('FAILS'));
        assert.equal(await goalSaid(), 'Goal now FAILS: commanded force Fn ≤ 15 N. ');
        await page.evaluate(() => hybridsim.set('Fn', 12));
        await until(() => document.getElementById('goal-said').textContent.includes('now met'));
        assert.equal(await goalSaid(), 'Goal now met: commanded force Fn ≤ 15 N. ');
        // a run that changes no goal says nothing new
        await page.evaluate(() => {
          document.getElementById('goal-said').textContent = '';
          hybridsim.set('Fn', 11);
        });
        await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => setTimeout(() => setTimeout(done)))));
        assert.equal(await goalSaid(), '');
        await page.evaluate(() => {
          hybridsim.removeGoal(0);
          hybridsim.resetDefaults();
        });
      });

      test('the tables: reached by Tab, the graphs\' values of the CSV at the cursor, the poles of --loops', async () => {
        await loadTask(lineTask);
        await page.evaluate(() => { hybridsim.frame = 120; });
        await page.evaluate(() => hybridsim.pin());
        await tabTo('fit-force', 'study-table-toggle');
        await page.keyboard.press('Enter');
        await until(() => document.querySelectorAll('#study-table tbody tr').length === 2);
        const study = await page.$eval('#study-table', (t) => ({
          caption: t.caption.textContent,
          head: [...t.querySelectorAll('thead th')].map((h) => [h.scope, h.textContent]),
          rows: [...t.querySelectorAll('tbody tr')].map((r) => [...r.children].map((c) => [c.tagName, c.textContent])),
        }));
        const r = csvRows(batchOut(lineTask, '--csv', '-'))[120];
        assert.match(study.caption, /sample 120, t = /);
        assert.ok(study.head.every(([scope]) => scope === 'col'));
        const column = (name) => study.head.findIndex(([, h]) => h === name);
        for (const row of study.rows) {
          assert.equal(row[0][0], 'TH');
          assert.equal(row[column('t')][1], `${three(r.t)} s`);
          assert.equal(row[column('F')][1], `${three(r.force)} N`);
          assert.equal(row[column('tip X')][1], `${three(1000 * r.tip_x)} mm`);
          assert.equal(row[column('command Y')][1], `${three(1000 * r.ref_y)} mm`);
        }
        assert.deepEqual(study.rows.map((row) => row[0][1]), ['current run', 'pin 1: same task as now']);

        // the loops' poles against --loops --format csv, a complex pair among them
        assert.equal((await page.evaluate(() => hybridsim.set('zeta2', 0.5))).ok, true);
        await tabTo('loops-range', 'loops-table-toggle', 20);
        await page.keyboard.press('Enter');
        await until(() => document.querySelectorAll('#loops-table tbody tr').length > 0);
        const shown = await page.$$eval('#loops-table tbody tr', (rows) => rows.map((r) => [...r.children].map((c) => c.textContent)));
        const wanted = batchOut(lineTask, '--set', 'zeta2=0.5', '--loops', '--format', 'csv').trim().split('\n').slice(1)
          .map((l) => l.split(',')).map(([system, kind, re, im]) => [system, kind, Number(re), Number(im)]);
        assert.equal(shown.length, wanted.length);
        assert.ok(wanted.some(([, , , im]) => im !== 0), 'a complex pair');
        for (const [i, [system, kind, re, im]] of wanted.entries()) {
          const [loop, poles, shownRe, shownIm] = shown[i];
          assert.ok(loop.startsWith(system + ':'), `${loop} is system ${system}`);
          assert.equal(poles, kind);
          assert.ok(Math.abs(Number(shownRe) - re) <= 1e-5 * Math.max(1, Math.abs(re)), `${shownRe} ~ ${re}`);
          assert.ok(Math.abs(Number(shownIm) - im) <= 1e-5 * Math.max(1, Math.abs(im)), `${shownIm} ~ ${im}`);
        }

        // axe-core with the tables and the picture's words shown, wide and narrow
        await page.click('#describe-shown');
        await until(() => !document.getElementById('described').classList.contains('visually-hidden'));
        await page.addScriptTag({ path: path.join(here, 'node_modules', 'axe-core', 'axe.min.js') });
        for (const width of [1280, 360]) {
          await page.setViewport({ width, height: 900 });
          const findings = await page.evaluate(async () => {
            const found = await axe.run(document, {
              preload: false,
              runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice',
                                                'experimental'] },
            });
            return found.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
              .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
          });
          assert.deepEqual(findings, [], `${width} px wide`);
        }
        await page.setViewport({ width: 1280, height: 900 });
        await page.click('#describe-shown');
        await page.evaluate(() => hybridsim.clearPins());
        assert.deepEqual(problems, []);
      });

      test('the force error as sound: no audio context before its switch, then a pitch that follows the error',
        async () => {
          await loadTask(lineTask);
          // a stretch played without the switch: nothing made
          await page.evaluate(() => { hybridsim.frame = 0; hybridsim.play(); });
          await until(() => hybridsim.frame >= 10 || !hybridsim.playing);
          await page.evaluate(() => hybridsim.pause());
          assert.equal(await page.evaluate(() => window.audioSpy.contexts), 0);

          await page.click('#force-sound');
          await page.evaluate(() => { hybridsim.frame = 0; hybridsim.play(); });
          await until(() => hybridsim.frame >= 40 || !hybridsim.playing);
          await page.evaluate(() => hybridsim.pause());
          const spy = await page.evaluate(() => window.audioSpy);
          assert.equal(spy.contexts, 1);
          assert.ok(spy.stops >= 1, 'the tone stops with the playback');
          const rows = csvRows(batchOut(lineTask, '--csv', '-'));
          const heard = spy.pitches.filter(([, frame]) => frame > 0);
          assert.ok(heard.length >= 3, `${heard.length} pitches`);
          for (const [f, frame] of heard) {
            // an octave per Fn of error, two at most either way
            const up = Math.min(2, Math.max(-2, rows[frame].force_err / 10));
            assert.ok(Math.abs(f - 440 * 2 ** up) < 1e-6, `frame ${frame}: ${f} Hz`);
          }
          assert.ok(new Set(heard.map(([f]) => f)).size >= 2, 'the pitch changes with the error');
          // off: nothing more is set while playing
          await page.click('#force-sound');
          const before = await page.evaluate(() => window.audioSpy.pitches.length);
          await page.evaluate(() => { hybridsim.frame = 0; hybridsim.play(); });
          await until(() => hybridsim.frame >= 10 || !hybridsim.playing);
          await page.evaluate(() => hybridsim.pause());
          assert.equal(await page.evaluate(() => window.audioSpy.pitches.length), before);
          assert.deepEqual(problems, []);
        });

      test('reduced motion: nothing moves by itself after a lesson or a link is opened, Play still plays', async () => {
        if (kind === 'chromium') await page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: 'reduce' }]);
        assert.equal(await page.evaluate(() => matchMedia('(prefers-reduced-motion: reduce)').matches), true);
        const still = async () => {
          const frame = await page.evaluate(() => hybridsim.frame);
          // two display frames and a task later
          await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(done)))));
          return page.evaluate((f) => !hybridsim.playing && hybridsim.frame === f, frame);
        };
        await page.evaluate(() => hybridsim.openLesson(0));
        assert.equal(await still(), true, 'a lesson opened');
        await page.evaluate(() => hybridsim.openLink(hybridsim.link()));
        assert.equal(await still(), true, 'a link opened');
        assert.deepEqual(await page.evaluate(() => [getComputedStyle(document.documentElement).scrollBehavior,
          getComputedStyle(document.getElementById('play')).transitionDuration]), ['auto', '0s']);
        // the student still plays
        await page.evaluate(() => { hybridsim.frame = 0; });
        await page.click('#play');
        await until(() => hybridsim.frame > 5);
        await page.evaluate(() => hybridsim.pause());
        if (kind === 'chromium') await page.emulateMediaFeatures([]);
        assert.deepEqual(problems, []);
      });
    });
  }
});
