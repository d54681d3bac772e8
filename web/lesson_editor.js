// Teachers' own lessons in the page: *New lesson from this state* (the
// editor, a dialog), *Open lesson file…* (and a .json dropped on the page),
// and the three ways to hand a lesson out -- *Save lesson file*, *Copy
// link*, *Download page with this lesson* -- from the editor and from the
// card of one's own lesson.
//
// A lesson is made by the core from the page's state as it stands (the
// task, the pins, the overlay, the sample shown, the goals:
// hybridsim.lessonFromState) and the editor's words; *Add to the lessons*
// puts it in the Lessons menu and shows its card as the student reads it,
// or the core's line of what it refused.  A lesson file and the page hold
// every lesson of one's own in the menu (made here or read from a file
// since the page opened), in the menu's order; a link holds one.
//
// The page with the lessons is this page's own text, as page_snapshot.js
// recorded it before anything ran, with the later scripts' texts put back
// (from the site's files over HTTP, the style sheet too), and the lessons
// in <script type="application/json" id="hybridsim-course">.  A page that
// holds such lessons reads them as it opens and opens the first, unless
// its address holds a link.
(function (global) {
  'use strict';

  // Longest link fragment the page reads (task/task_link.h, linkMostCharacters).
  const linkMostCharacters = 16384;

  // a script's text as it may stand inside <script> in a page: "</script"
  // would end it and "<!--" change how the rest is read
  const scriptSafe = (code) => code.replace(/<\/(script)/gi, '<\\/$1').replace(/<!--/g, '<\\!--');
  // a lesson file's text inside <script type="application/json">: the same
  // string to JSON.parse
  const jsonSafe = (text) => text.replace(/<\//g, '<\\/').replace(/<!--/g, '<\\u0021--');

  // The core's WebAssembly packed as the page as one file carries it
  // (web/pack_core.py): its data address emptied, the module as gzip in
  // base64 in front, which hybridsim.js unpacks.  A script without exactly
  // one such address stays as it is.
  async function packCore(code) {
    const found = [...code.matchAll(/(wasmBinaryFile="data:application\/octet-stream;base64,)([A-Za-z0-9+/=]*)"/g)];
    if (found.length !== 1) return code;
    const [whole, prefix, data] = found[0];
    const module = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const gzip = new Blob([module]).stream().pipeThrough(new CompressionStream('gzip'));
    const bytes = new Uint8Array(await new Response(gzip).arrayBuffer());
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return `window.hybridsimPackedCore = "${btoa(binary)}";\n` + code.replace(whole, `${prefix}"`);
  }

  async function fetchText(url) {
    const r = await fetch(url);
    if (!r.ok) throw new Error(`${url}: HTTP ${r.status}`);
    return r.text();
  }

  // This page as one file holding the lesson file `fileText`, opening on
  // its first lesson.  Throws when the site's files cannot be fetched.
  async function pageWithLessons(fileText) {
    const snapshot = global.HybridsimSnapshot;
    const doc = new DOMParser().parseFromString(snapshot.html, 'text/html');
    const scripts = doc.querySelectorAll('script');
    // the snapshot ends with its own script; the lessons go before it
    const first = scripts[scripts.length - 1];
    // (the lessons held before go, with the line break put after them)
    for (const old of doc.querySelectorAll('#hybridsim-course')) {
      if (old.nextSibling && old.nextSibling.nodeType === Node.TEXT_NODE && old.nextSibling.data === '\n') old.nextSibling.remove();
      old.remove();
    }
    const course = doc.createElement('script');
    course.type = 'application/json';
    course.id = 'hybridsim-course';
    course.text = '\n' + jsonSafe(fileText) + '\n';
    first.before(course, '\n');
    // the site's files put inside
    for (const sheet of doc.querySelectorAll('link[rel="stylesheet"]')) {
      const style = doc.createElement('style');
      style.textContent = await fetchText(new URL(sheet.getAttribute('href'), location.href).href);
      sheet.replaceWith(style);
    }
    for (const s of doc.querySelectorAll('script[src]')) {
      const inline = doc.createElement('script');
      inline.text = scriptSafe(await fetchText(new URL(s.getAttribute('src'), location.href).href));
      s.replaceWith(inline);
    }
    // the scripts after the first, as the page holds them
    for (let e = snapshot.script.nextElementSibling; e; e = e.nextElementSibling) {
      if (e.tagName !== 'SCRIPT' || e.type === 'application/json') continue;
      const inline = doc.createElement('script');
      inline.text = e.src ? scriptSafe(await packCore(await fetchText(e.src))) : e.text;
      doc.body.append(inline, '\n');
    }
    return '<!DOCTYPE html>\n' + doc.documentElement.outerHTML + '\n';
  }

  // `menu`: the Lessons menu (lessons_menu.js); `say(words, isError)` the
  // page's message; `download(blob, name)`; `copy(text, back)` -> whether
  // it went to the clipboard.
  function attach(sim, { menu, say, download, copy }) {
    const $ = (id) => document.getElementById(id);
    const T = global.HybridsimTexts.t;
    const dialog = $('lesson-editor');
    const opener = $('new-lesson');
    const takes = $('lesson-editor-takes');
    const lockOthers = $('lesson-lock-others');
    const freeBox = $('lesson-free');
    const said = $('lesson-editor-said');
    const preview = $('lesson-preview');
    const share = $('lesson-editor-share');
    const shareSaid = $('lesson-share-said');
    const cardShare = $('lesson-share');
    const words = ['title', 'text', 'hint'];
    let made = -1;  // the lesson the editor added last, or -1

    // the settings the student may keep free: a box for each --set name of the panel
    const names = [];
    for (const section of sim.panelLayout()) {
      if (section.selector) names.push(section.selector.name);
      for (const group of section.groups) for (const f of group.fields) names.push(f.name);
    }
    const freeBoxes = [...new Set(names)].map((name) => {
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.value = name;
      box.id = 'lesson-free-' + name.replace(/[^A-Za-z0-9_-]/g, '_');
      const label = document.createElement('label');
      label.append(box, ' ', name);
      freeBox.append(label);
      return box;
    });
    const showFree = () => {
      for (const box of freeBoxes) box.disabled = !lockOthers.checked;
      freeBox.classList.toggle('off', !lockOthers.checked);
    };
    lockOthers.addEventListener('change', showFree);
    showFree();

    // The draft of the editor's fields.  A lesson holds both languages: one
    // left empty takes the other's words (a hint empty in both is none).
    function draft() {
      const d = {};
      for (const w of words) {
        const [en, ja] = ['en', 'ja'].map((l) => $(`lesson-${w}-${l}`).value);
        d[w] = { en: en.trim() === '' ? ja : en, ja: ja.trim() === '' ? en : ja };
      }
      d.fix = $('lesson-fix').value.split(/\s+/).filter(Boolean);
      d.free = lockOthers.checked ? freeBoxes.filter((b) => b.checked).map((b) => b.value) : null;
      return d;
    }

    function showTakes() {
      takes.textContent = T('lessonTakes', sim.pins().length, sim.goals().length, sim.overlay, sim.frame);
    }
    function tell(box, words, isError) {
      box.textContent = words;
      box.hidden = words === '';
      box.classList.toggle('fail', Boolean(isError));
    }

    // the card of lesson i as the student reads it
    function showPreview(i) {
      preview.hidden = i < 0;
      share.hidden = i < 0;
      if (i < 0) return;
      const card = sim.lessonCard(i);
      $('lesson-preview-title').textContent = T('lessonTitle', i + 1, card.title);
      $('lesson-preview-text').textContent = card.text;
      $('lesson-preview-hint').textContent = card.hint === '' ? '' : T('lessonPreviewHint', card.hint);
    }

    // the editor's buttons say what they did beside them (the card's, in the page's message)
    let shareSaying = null;
    function sayInEditor([words, isError]) {
      shareSaying = words;
      tell(shareSaid, words(), isError);
    }

    opener.addEventListener('click', () => {
      showTakes();
      tell(said, '');
      dialog.showModal();
      $('lesson-title-en').focus();
    });
    $('lesson-editor-close').addEventListener('click', () => dialog.close());
    // closed by its button or Escape: the focus back where it came from
    dialog.addEventListener('close', () => opener.focus());
    // an edit makes the card shown an earlier one: the preview goes until added again
    dialog.addEventListener('input', (e) => {
      if (e.target.closest('fieldset')) {
        made = -1;
        showPreview(-1);
      }
    });

    $('lesson-add').addEventListener('click', () => {
      let lesson;
      try {
        lesson = sim.lessonFromState(draft());
        made = sim.addLesson(lesson);
      } catch (e) {
        tell(said, e.message, true);
        said.lang = 'en';  // the core's words
        return;
      }
      tell(said, '');
      showPreview(made);
      const n = made + 1;
      sayInEditor([() => T('lessonAdded', n), false]);
      showCardShare();
    });

    // --- handing out ---
    const ownLessons = () => sim.lessons().map((l, i) => (l.own ? i : -1)).filter((i) => i >= 0);

    function saveFile() {
      const own = ownLessons();
      download(new Blob([sim.lessonFile(own)], { type: 'application/json' }), 'lesson.json');
      return () => T('lessonFileSaved', own.length);
    }

    // lesson i's link: the address of this page with the lesson inside
    async function copyLink(i, back) {
      const link = sim.lessons()[i].link;
      const fragment = link.slice(link.indexOf('#') + 1);
      if (fragment.length > linkMostCharacters) return [() => T('lessonLinkTooLong', fragment.length, linkMostCharacters), true];
      const ok = await copy(location.href.split('#')[0] + '#' + fragment, back);
      if (!ok) return [() => T('notCopied'), true];
      return [() => (location.protocol === 'file:' ? T('lessonLinkFromFile') : T('copied')), false];
    }

    async function savePage() {
      if (location.protocol === 'file:' && document.querySelector('script[src]'))
        return [() => T('lessonPageFromSite'), true];
      const own = ownLessons();
      let page;
      try {
        page = await pageWithLessons(sim.lessonFile(own));
      } catch (e) {
        return [() => T('lessonPageFailed', e.message), true];
      }
      download(new Blob([page], { type: 'text/html' }), 'lesson.html');
      return [() => T('lessonPageSaved', own.length), false];
    }

    $('editor-save-file').addEventListener('click', () => sayInEditor([saveFile(), false]));
    $('editor-copy-link').addEventListener('click', async () => sayInEditor(await copyLink(made, $('editor-copy-link'))));
    $('editor-save-page').addEventListener('click', async () => sayInEditor(await savePage()));
    $('lesson-save-file').addEventListener('click', () => say(saveFile(), false));
    $('lesson-copy-link').addEventListener('click', async () => {
      if (menu.shown < 0) return;
      say(...await copyLink(menu.shown, $('lesson-copy-link')));
    });
    $('lesson-save-page').addEventListener('click', async () => say(...await savePage()));

    // the card of one's own lesson offers the three ways
    function showCardShare() {
      const i = menu.shown;
      const lessons = sim.lessons();
      cardShare.hidden = !(i >= 0 && i < lessons.length && lessons[i].own);
    }

    // --- reading lessons: a file, and the page's own ---
    // Whole or nothing: read (said unless `quiet`), the index of its first
    // lesson; refused, the reader's line and nothing changed, -1.
    function read(text, name, quiet = false) {
      let r;
      try {
        r = sim.readLessons(text);
      } catch (e) {
        say(`${name}: ${e.message}`, true);
        return -1;
      }
      if (!quiet) say(() => T('lessonsRead', r.count, name), false);
      return r.first;
    }
    let chosen = 0;
    function openFile(file) {
      const mine = ++chosen;
      file.text().then((text) => {
        if (mine !== chosen) return;
        const first = read(text, file.name);
        if (first >= 0) menu.open(first);
      }, (e) => {
        if (mine === chosen) say(() => T('cannotRead', file.name, e.message), true);
      });
    }
    $('open-lesson-file').addEventListener('click', () => $('lesson-file').click());
    $('lesson-file').addEventListener('change', (e) => {
      if (e.target.files[0]) openFile(e.target.files[0]);
      e.target.value = '';  // the same file can be read again
    });

    sim.on('language', () => {
      if (!dialog.open) return;
      showTakes();
      if (made >= 0) showPreview(made);
      if (shareSaying) tell(shareSaid, shareSaying(), shareSaid.classList.contains('fail'));
    });
    for (const event of ['pins', 'goals', 'overlay', 'frame']) sim.on(event, () => {
      if (dialog.open) showTakes();
    });

    // A link that holds one's own lesson opens it (the core reads it, adds
    // it to lessons() and holds its locks): its card, found by the lesson
    // in the link, which the lesson's own link holds in the same words.
    const lessonPart = (link) => link.slice(link.indexOf('#') + 1).split('&').find((p) => p.startsWith('lesson='));
    sim.on('run', (cause) => {
      if (cause !== 'link') return;
      const part = lessonPart(sim.link());
      if (part === undefined) return;
      const i = sim.lessons().findIndex((l) => l.own && lessonPart(l.link) === part);
      if (i >= 0 && i !== menu.shown) menu.showCard(i);
    });

    // a page that holds lessons: read, listed, the first open unless a link is
    const course = document.getElementById('hybridsim-course');
    if (course) {
      const first = read(course.textContent, 'hybridsim-course', true);
      if (first >= 0 && location.hash.length <= 1) menu.open(first);
      showCardShare();  // (the page hears of the card only once this returns)
    }

    return {
      // a lesson file dropped on the page
      openFile,
      // the lesson card came, went or changed
      cardChanged: showCardShare,
    };
  }

  global.HybridsimLessonEditor = { attach, pageWithLessons };
})(window);
