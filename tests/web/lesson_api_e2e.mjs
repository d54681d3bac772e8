// The page's scripting interface for a teacher's lessons, in headless
// Chromium and Firefox: a lesson file read through hybridsim.readLessons,
// its lesson opened with its locks (a refused set), a lesson made from the
// page's state, the goals' results, and a link that carries the lesson
// opened in a fresh page.  Run by scripts/test-stages.sh web with the page
// tests' options (--site; the others are not needed here).
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchBrowser, openPage, pathOption, root } from './browser.mjs';

const site = pathOption('--site', path.join(root, 'build-web', 'site'));
const deadline = 30000;
const browserKinds = (process.env.HYBRIDSIM_BROWSERS || 'chromium,firefox').split(',');
const page0 = pathToFileURL(path.join(site, 'index.html')).href;

// a lesson that frees the force loop's design only
const lessonFile = JSON.stringify({
  version: 1,
  lessons: [{
    title: { en: 'Own lesson', ja: '自作のレッスン' },
    text: { en: 'Overshoot {overshoot_pct}.', ja: '行き過ぎ {overshoot_pct}。' },
    set: ['method=7', 'fn2=10'],
    goals: ['overshoot_pct<=5'],
    free: ['fn2', 'alpha2'],
  }],
});

const launched = {};
before(async () => {
  await Promise.all(browserKinds.map(async (kind) => {
    launched[kind] = await launchBrowser(kind);
  }));
});
after(async () => {
  for (const b of Object.values(launched)) await b.close();
});

describe('lessons through window.hybridsim', { concurrency: true }, () => {
  for (const kind of browserKinds) {
    test(kind, async () => {
      const problems = [];
      const page = await openPage(launched[kind].context, page0, problems, deadline);
      const builtIn = await page.evaluate(() => hybridsim.lessons().length);

      // a refused file: an Error with the reader's line, nothing added
      const refused = await page.evaluate(() => {
        try {
          hybridsim.readLessons('{"version": 2, "lessons": []}');
          return null;
        } catch (e) {
          return [e.constructor.name, e.message];
        }
      });
      assert.deepEqual(refused, ['Error', 'lessons of version 2: this program reads version 1']);

      // read, listed after the built-in lessons once, opened with its card and locks
      const read = await page.evaluate((text) => {
        let heard = 0;
        hybridsim.on('lessons', () => ++heard);
        const first = hybridsim.readLessons(text);
        const again = hybridsim.readLessons(text);
        return { first, again, heard, lessons: hybridsim.lessons() };
      }, lessonFile);
      assert.equal(read.first.first, builtIn);
      assert.equal(read.first.added, 1);
      assert.equal(read.again.added, 0);
      assert.equal(read.heard, 1);
      assert.equal(read.lessons.length, builtIn + 1);
      assert.deepEqual([read.lessons[builtIn].title, read.lessons[builtIn].own, read.lessons[0].own],
        ['Own lesson', true, false]);

      const opened = await page.evaluate((i) => {
        hybridsim.openLesson(i);
        const locked = hybridsim.lockedSettings();
        const fn = hybridsim.set('Fn', 20);
        const all = hybridsim.setAll({ fn2: 20, KH1: 100 });
        const free = hybridsim.set('fn2', 12);
        return { card: hybridsim.lessonCard(i), locked, fn, all, free, fn2: hybridsim.get('fn2'),
                 goals: hybridsim.goalResults(), link: hybridsim.link() };
      }, builtIn);
      assert.match(opened.card.text, /^Overshoot (?:[0-9.]+\u00a0%|none)\.$/);
      assert.ok(opened.locked.includes('Fn') && !opened.locked.includes('fn2'), opened.locked.join(' '));
      assert.deepEqual(opened.fn, { ok: false, message: 'Fn is locked by the lesson' });
      assert.deepEqual(opened.all, { ok: false, message: 'KH1 is locked by the lesson' });
      assert.equal(opened.free.ok, true);
      assert.equal(opened.fn2, '12');
      assert.equal(opened.goals.total, 1);
      assert.equal(opened.goals.goals[0].figure, 'overshoot_pct');
      assert.equal(opened.goals.fraction, opened.goals.goals[0].pass ? 1 : 0);
      assert.match(opened.link, /&lesson=%7B/);

      // a lesson from the page's state: made, added, written as a file
      const made = await page.evaluate(() => {
        const lesson = hybridsim.lessonFromState({
          title: { en: 'Made', ja: '作成' }, text: { en: 'fn2 {fn2}', ja: 'fn2 {fn2}' }, fix: [], free: null,
        });
        let error = null;
        try {
          hybridsim.lessonFromState({ title: { en: 'Made', ja: '作成' }, text: { en: '{nothing}', ja: 'x' } });
        } catch (e) {
          error = e.message;
        }
        const index = hybridsim.addLesson(lesson);
        return { lesson, error, index, file: hybridsim.lessonFile([index]) };
      });
      assert.deepEqual(made.lesson.set, ['method=7', 'fn2=12']);
      assert.equal(made.index, builtIn + 1);
      assert.equal(made.error, "the en text or hint: {nothing}: no figure, setting or poles named 'nothing'");
      assert.equal(JSON.parse(made.file).lessons[0].title.ja, '作成');
      assert.deepEqual(problems, []);
      await page.close();

      // the link opens the lesson, its locks and its state in a fresh page
      const fresh = [];
      const other = await openPage(launched[kind].context, opened.link, fresh, deadline);
      const there = await other.evaluate(() => ({
        fn2: hybridsim.get('fn2'), locked: hybridsim.lockedSettings().length, fn: hybridsim.set('Fn', 20).ok,
        own: hybridsim.lessons().filter((l) => l.own).length,
      }));
      assert.deepEqual(there, { fn2: '12', locked: opened.locked.length, fn: false, own: 1 });
      assert.deepEqual(fresh, []);
      await other.close();
    });
  }
});
