// Teachers' own lessons in the built page, in headless Chromium and Firefox
// ESR: a teacher makes a lesson in the editor by keyboard (goals, a pin,
// two settings left free, the others locked), and it opens the same --
// the same CSV, the same goals' results, the same locked controls -- from
// its saved lesson file, from its link and from the downloaded page with
// the lesson inside (opened from file://, and downloaded again from there
// without growing); a malformed lesson file is refused whole; the open
// editor has no serious or critical finding of axe-core.
//
//   node tests/web/lessons_e2e.mjs --site build-web/site --one-file build-web/hybridsim.html \
//       --batch build/app/hybridsim-batch \
//       --dump build/tests/web/web_shape_dump --task-text build/tests/web/web_task_text
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { downloads, launchBrowser, openPage, pathOption, root, serveFolder } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = pathOption('--site', path.join(root, 'build-web', 'site'));

// deadline of each wait in the page [ms]
const deadline = 30000;

// the serious and critical findings of axe-core in `page`, as `id: where` lines
async function axeFindings(page) {
  await page.addScriptTag({ path: path.join(here, 'node_modules', 'axe-core', 'axe.min.js') });
  return page.evaluate(async () => {
    const r = await axe.run(document, {
      preload: false,
      runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice',
                                        'experimental'] },
    });
    return r.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
      .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

const browserKinds = (process.env.HYBRIDSIM_BROWSERS || 'chromium,firefox').split(',');
let server;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-lessons-e2e-'));
before(async () => {
  assert.ok(fs.existsSync(path.join(site, 'index.html')), `no page in ${site}: make web`);
  server = await serveFolder(site);
});
after(async () => {
  if (server) await server.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

// the two settings the lesson leaves free
const free = ['fn2', 'alpha2'];

for (const kind of browserKinds) {
  describe(`${kind}: a teacher's lesson`, { concurrency: 1 }, () => {
    let browser;
    let page;
    let problems = [];
    const noProblems = () => assert.deepEqual(problems, [], 'console, page, request or dialog trouble');
    const until = (fn, ...args) => page.waitForFunction(fn, { timeout: deadline, polling: 20 }, ...args);
    const open = async (url) => {
      if (page) await page.close();
      problems = [];
      page = await openPage(browser.context, url, problems, deadline);
    };
    // what a student sees of the lesson open: the run, the goals, the locks in the panel
    const state = () => page.evaluate(() => {
      const controls = [...document.querySelectorAll('#settings [data-field]')];
      return {
        csv: hybridsim.csv(),
        goals: hybridsim.goalResults(),
        locked: hybridsim.lockedSettings(),
        shownLocked: controls.filter((c) => c.getAttribute('aria-disabled') === 'true' &&
                                     (c.readOnly || c.disabled) && c.parentElement.querySelector('.lock-mark'))
          .map((c) => c.dataset.field),
        card: document.getElementById('lesson').hidden ? '' : document.getElementById('lesson-title').textContent,
      };
    });
    // the teacher's lesson, as it opened in the teacher's page, and its hand-outs
    let made;
    let index;
    let link;
    let folder;

    before(async () => {
      browser = await launchBrowser(kind);
    });
    after(async () => {
      if (page) await page.close();
      if (browser) await browser.close();
    });

    test('the editor: typed by keyboard, a refused placeholder named, the card previewed, three hand-outs', async () => {
      await open(server.url);
      // the state the lesson takes: a task, a pin, the overlay, a sample, two goals
      await page.evaluate(() => {
        hybridsim.setAll({ fn2: 12, alpha2: 4 });
        hybridsim.pin();
        hybridsim.set('fn2', 8);
        hybridsim.overlay = true;
        hybridsim.frame = 60;
        hybridsim.addGoal('overshoot_pct <= 5');
        hybridsim.addGoal('pos_err_max_m <= 0.01');
      });
      await page.focus('#new-lesson');
      await page.keyboard.press('Enter');
      await until(() => document.getElementById('lesson-editor').open &&
                  document.activeElement.id === 'lesson-title-en');
      assert.match(await page.$eval('#lesson-editor-takes', (e) => e.textContent), /pins \(1\), the goals \(2\), Forces and frames \(on\) and the sample shown \(60\)/);
      assert.deepEqual(await axeFindings(page), [], 'the editor open');
      await page.keyboard.type('Slow force loop');
      await page.keyboard.press('Tab');
      await page.keyboard.type('遅い力制御系');
      await page.keyboard.press('Tab');
      // a figure nobody can fill: refused with the core's line, nothing added
      await page.keyboard.type('Overshoot {overshoot_pct}, pin 1 {pin1.overshoot_pct}, {no_such_figure}.');
      const before = await page.evaluate(() => hybridsim.lessons().length);
      await page.click('#lesson-add');
      await until(() => !document.getElementById('lesson-editor-said').hidden);
      assert.match(await page.$eval('#lesson-editor-said', (e) => e.textContent), /no_such_figure/);
      assert.equal(await page.evaluate(() => hybridsim.lessons().length), before);
      assert.ok(await page.$eval('#lesson-preview', (e) => e.hidden), 'no card of a refused lesson');
      // the text mended: the figure gone by keyboard
      await page.focus('#lesson-text-en');
      await page.keyboard.press('End');
      for (let i = 0; i < ' {no_such_figure}.'.length; ++i) await page.keyboard.press('Backspace');
      await page.keyboard.type('.');
      await page.focus('#lesson-fix');
      await page.keyboard.type('fn2=40');
      // the other settings locked, fn2 and alpha2 left free
      await page.focus('#lesson-lock-others');
      await page.keyboard.press(' ');
      for (const name of free) {
        await page.focus(`#lesson-free-${name}`);
        await page.keyboard.press(' ');
      }
      await page.focus('#lesson-add');
      await page.keyboard.press('Enter');
      await until(() => !document.getElementById('lesson-preview').hidden);
      index = await page.evaluate(() => hybridsim.lessons().length - 1);
      // the card as the student reads it: the figures of the runs filled in
      const card = await page.evaluate((i) => hybridsim.lessonCard(i), index);
      assert.equal(await page.$eval('#lesson-preview-text', (e) => e.textContent), card.text);
      assert.doesNotMatch(card.text, /[{}]/);
      assert.deepEqual(await page.evaluate((i) => hybridsim.lessons()[i].own, index), true);
      // listed in the Lessons menu
      assert.ok(await page.$eval('#lesson-pick', (s, i) => s.options[i].textContent.includes('Slow force loop'), index));

      // the three hand-outs: the file and the page downloaded, the link to the clipboard
      folder = await downloads(browser, page, ['lesson.json', 'lesson.html'], async () => {
        await page.click('#editor-save-file');
        await page.click('#editor-save-page');
      });
      assert.match(await page.$eval('#lesson-share-said', (e) => e.textContent), /lesson\.html holds the page with 1 lesson/);
      await page.evaluate(() => {
        navigator.clipboard.writeText = async (text) => { window.copiedText = text; };
      });
      await page.click('#editor-copy-link');
      await until(() => typeof window.copiedText === 'string');
      link = await page.evaluate(() => window.copiedText);
      assert.match(link, /^http:\/\/127\.0\.0\.1:\d+\/index\.html#.*lesson=/);

      // Escape closes the editor, the focus back on its button
      await page.keyboard.press('Escape');
      await until(() => !document.getElementById('lesson-editor').open && document.activeElement.id === 'new-lesson');
      // the lesson as the teacher's page opens it, from the Lessons menu
      await page.select('#lesson-pick', String(index));
      await page.click('#open-lesson');
      await until(() => !document.getElementById('lesson').hidden);
      made = await state();
      assert.deepEqual(made.locked.filter((n) => free.includes(n)), []);
      assert.ok(made.locked.includes('fn1') && made.locked.includes('Fn'), made.locked.join(' '));
      assert.ok(made.shownLocked.includes('fn1') && !made.shownLocked.includes('fn2'), made.shownLocked.join(' '));
      assert.equal(made.goals.total, 2);
      noProblems();
    });

    test('from its lesson file: a malformed one refused whole, then the same run, goals and locks', async () => {
      assert.ok(made, 'the lesson was made');
      await open(server.url);
      const start = await page.evaluate(() => [hybridsim.csv(), hybridsim.lessons().length]);
      // a lesson file cut short: refused, nothing listed or changed
      const broken = path.join(scratch, `${kind}-broken.json`);
      const text = fs.readFileSync(path.join(folder, 'lesson.json'), 'utf8');
      fs.writeFileSync(broken, text.replace('"free"', '"freed"'));
      await (await page.$('#lesson-file')).uploadFile(broken);
      await until(() => document.getElementById('message').classList.contains('error'));
      assert.match(await page.$eval('#message', (e) => e.textContent), /broken\.json: .*freed/);
      assert.deepEqual(await page.evaluate(() => [hybridsim.csv(), hybridsim.lessons().length]), start);
      // the file as saved: read, its lesson open
      await (await page.$('#lesson-file')).uploadFile(path.join(folder, 'lesson.json'));
      await until(() => !document.getElementById('lesson').hidden);
      const got = await state();
      assert.deepEqual(got, made);
      // a locked setting refused where it is changed: the panel, the pole handle
      await until(() => document.getElementById('pole-1-pair') !== null);
      await page.$eval('#pole-1-pair', (e) => e.focus());
      await page.keyboard.press('ArrowRight');
      await until(() => !document.getElementById('loops-drag-message').hidden);
      assert.match(await page.$eval('#loops-drag-message', (e) => e.textContent), /fn1 is locked by the lesson/);
      assert.equal(await page.evaluate(() => hybridsim.csv()), made.csv);
      noProblems();
    });

    test('from its link', async () => {
      assert.ok(link, 'the link was copied');
      await open(link.replace(/^http:\/\/[^/]+\/index\.html/, server.url));
      await until(() => !document.getElementById('lesson').hidden);
      const got = await state();
      assert.deepEqual(got, made);
      noProblems();
    });

    test('from the downloaded page opened from file://, which downloads itself again without growing', async () => {
      assert.ok(folder, 'the page was downloaded');
      const first = fs.readFileSync(path.join(folder, 'lesson.html'), 'utf8');
      // (the element, not the scripts' words about it)
      assert.equal(first.match(/<script type="application\/json" id="hybridsim-course">\n/g).length, 1);
      await open(pathToFileURL(path.join(folder, 'lesson.html')).href);
      await until(() => !document.getElementById('lesson').hidden);
      const got = await state();
      assert.deepEqual(got, made);
      // the own lesson's card hands it out too: the page again, the same page
      assert.equal(await page.$eval('#lesson-share', (e) => e.hidden), false);
      const again = await downloads(browser, page, ['lesson.html'], () => page.click('#lesson-save-page'));
      try {
        assert.equal(fs.readFileSync(path.join(again, 'lesson.html'), 'utf8'), first);
      } finally {
        fs.rmSync(again, { recursive: true, force: true });
        fs.rmSync(folder, { recursive: true, force: true });
      }
      noProblems();
    });
  });
}
