// The page around window.hybridsim: the canvas, the panels, the notices,
// opening task files (picker and drag-and-drop), saving the task and the
// downloads, the page's state in its address (a link: opened at the start
// and when the fragment is edited, kept up to date by history.replaceState,
// copied by *Copy link*; from file:// the run alone or a link on the page's
// address on the web), the language, the Help button; the settings panel
// (settings_panel.js), the playback bar (playback_bar.js) and the study
// graphs (study_graphs.js), the goals, loops and lessons (with the lesson
// and start cards) once the core is ready.  The page's own words come from
// page_texts.js, what it remembers from page_store.js.
(function () {
  'use strict';

  const sim = window.hybridsim;
  const T = window.HybridsimTexts.t;
  const $ = (id) => document.getElementById(id);
  const canvas = $('view');
  const ctx = canvas.getContext('2d');
  const bar = $('playback');
  const message = $('message');
  const notice = $('notice');
  const shortNotice = $('short-notice');
  const faultNotice = $('fault-notice');
  const dropHint = $('drop-hint');
  const linkNotice = $('link-notice');

  const lessonCard = $('lesson');
  const startCard = $('start');
  // the task file read, for the names of downloaded files (null: none, or
  // another task since: a link, a lesson, the defaults)
  let fileName = null;
  // the method of the built-in task, which names of downloads leave out
  let defaultMethod = null;
  let lessons = null;  // the lessons menu, once the core is ready
  let lessonEditor = null;  // teachers' lessons (lesson_editor.js), once the core is ready
  let ready = false;

  // --- the picture: a square that fits the viewport, sharp at any pixel ratio ---
  // (the style sheet's width, from which the cards and the panels stand beside it)
  const wideScreen = window.matchMedia('(min-width: 1000px)');
  function fitCanvas() {
    const box = canvas.getBoundingClientRect();
    let top = box.top + window.scrollY;
    const below = bar.getBoundingClientRect().height + 36;
    // on a wide screen the panels and the cards keep their place beside the picture
    const width = document.documentElement.clientWidth;
    const wide = wideScreen.matches;
    const panels = wide ? 440 : 0;
    // (the start card above the picture of a narrow screen takes nothing from it)
    if (!wide && !startCard.hidden) top -= startCard.getBoundingClientRect().height + 12;
    let room = Math.min(width - 36 - panels, window.innerHeight - top - below);
    // On a narrow screen the lesson card stands under the picture: the
    // picture leaves it room, the header scrolled away, where it keeps
    // 240 px at least; else it stays and the card's beginning shows under it.
    if (!wide && !lessonCard.hidden) {
      const under = lessonCard.getBoundingClientRect().bottom - box.bottom + 8;
      if (window.innerHeight - under - 8 >= 240) room = Math.min(room, window.innerHeight - under - 8);
    }
    const side = Math.max(240, Math.floor(room));
    const pixels = Math.round(side * (window.devicePixelRatio || 1));
    canvas.style.width = side + 'px';
    canvas.style.height = side + 'px';
    // the width of the picture's column (the canvas and its border)
    document.documentElement.style.setProperty('--picture', side + canvas.offsetWidth - canvas.clientWidth + 'px');
    if (canvas.width !== pixels || canvas.height !== pixels) {
      canvas.width = pixels;
      canvas.height = pixels;
    }
  }

  function redraw() {
    if (!ready) return;
    sim.draw(ctx, canvas.width);
  }

  // A card came, went or changed: the picture fitted to it.  A lesson card
  // that just came is brought into view: wholly, the picture's top kept in
  // view as far as it can be, and at least down to its Pin this run.
  function cardPlaced(opened) {
    fitCanvas();
    redraw();
    if (!opened || lessonCard.hidden) return;
    const card = lessonCard.getBoundingClientRect();
    const pictureTop = canvas.getBoundingClientRect().top - 8;
    if (card.bottom > window.innerHeight) window.scrollBy(0, Math.min(card.bottom - window.innerHeight + 8, pictureTop));
    const prompt = $('lesson-pin').getBoundingClientRect();
    if (prompt.bottom > window.innerHeight) window.scrollBy(0, prompt.bottom - window.innerHeight + 8);
    const title = lessonCard.getBoundingClientRect();
    if (title.top < 0) window.scrollBy(0, title.top - 8);
  }

  // --- the panels of a new run ---
  // The summary of the latest run, when its panel is in view and after the
  // picture of the run is on the screen (a display frame, then a task), so
  // that no key typed waits for it. Runs that follow one another quickly
  // get one summary.
  const summary = $('summary');
  let summaryStale = true;
  let summaryInView = false;
  const askForSummary = HybridsimAfterPicture.later(() => {
    if (!summaryStale) return;
    summaryStale = false;
    summary.textContent = sim.summary();
    summary.classList.remove('stale');
  });
  function showSummaryLater() {
    summaryStale = true;
    summary.classList.add('stale');
    if (summaryInView) askForSummary();
  }
  new IntersectionObserver((seen) => {
    summaryInView = seen[seen.length - 1].isIntersecting;
    if (summaryInView && summaryStale && ready) showSummaryLater();
  }).observe(summary);

  // an element with its text in `lang`
  function spanIn(lang, text) {
    const words = document.createElement('span');
    words.lang = lang;
    words.textContent = text;
    return words;
  }

  // A notice: a line of the page's (or the core's English line, `english`),
  // then the console's own lines (Japanese).
  function showNotice(box, line, consoleLines, english = false) {
    box.hidden = consoleLines === '';
    if (consoleLines === '') {
      box.textContent = '';
      return;
    }
    box.replaceChildren(english ? spanIn('en', line) : line, '\n', spanIn('ja', consoleLines.trim()));
  }

  // The unreachable points: the page's line with the samples left without
  // a posture, then the first point -- in English on the English page, the
  // console's own lines on the Japanese one.
  function showReach(n) {
    notice.hidden = n.text === '';
    if (notice.hidden) {
      notice.textContent = '';
      return;
    }
    const detail = sim.language === 'ja' ? spanIn('ja', n.text.trim()) : spanIn('en', n.detail);
    notice.replaceChildren(T('unreachable', n.samples), '\n', detail);
  }

  function showRun() {
    // the report in the page's language: the console's own, or its English rendering
    const report = $('report');
    report.textContent = sim.report();
    report.lang = sim.language;
    showSummaryLater();
    const n = sim.notice();
    showReach(n);
    showNotice(shortNotice, T('runTooShort'), n.runTooShort);
    // a run that blew up: its English line, then the console's
    const fault = n.runFault.indexOf('\n');
    showNotice(faultNotice, fault < 0 ? n.runFault : n.runFault.slice(0, fault),
      fault < 0 ? '' : n.runFault.slice(fault + 1), true);
    redraw();
    // the new run's picture is on the canvas (docs/performance.md measures to here)
    performance.clearMarks('hybridsim-run-drawn');
    performance.mark('hybridsim-run-drawn');
    // the pins' legend lines name their differences from the new task
    // (after the picture is on the screen: with four pins their lines and
    // list take a few milliseconds that no key needs to wait for)
    showPinsLater();
  }

  // A message: the page's own words as a function of no arguments (said
  // anew in another language), or a text of the core's (English).
  let saying = null;
  function say(words, isError) {
    saying = typeof words === 'function' ? words : null;
    const text = saying ? saying() : words;
    message.hidden = text === '';
    message.textContent = text;
    if (saying) message.removeAttribute('lang');
    else message.lang = 'en';
    message.classList.toggle('error', Boolean(isError));
  }

  // --- task files ---
  // The file chosen last is the one read: a file still being read when
  // another is chosen is dropped when its bytes arrive.
  let chosen = 0;
  function openFile(file) {
    if (!ready || !file) return;
    const mine = ++chosen;
    // a lesson file (.json) is read as one
    if (/\.json$/i.test(file.name)) {
      lessonEditor.openFile(file);
      return;
    }
    file.arrayBuffer().then((buffer) => {
      if (mine !== chosen) return;
      const r = sim.loadBytes(buffer, file.name);
      if (r.ok) {
        fileName = file.name.replace(/\.[^.]*$/, '').replace(/[\\/:*?"<>|\u0000-\u001f]/g, '_') || 'task';
        say(() => T('read', file.name), false);
      } else {
        say(r.message, true);  // the previous run stays on screen
      }
    }, (e) => {
      if (mine === chosen) say(() => T('cannotRead', file.name, e.message), true);
    });
  }

  // the button opens the browser's file picker (the input itself is hidden)
  $('open-task').addEventListener('click', () => $('task-file').click());
  $('task-file').addEventListener('change', (e) => {
    openFile(e.target.files[0]);
    e.target.value = '';  // the same file can be read again
  });

  let dragDepth = 0;
  const isFileDrag = (e) => e.dataTransfer && Array.from(e.dataTransfer.types).includes('Files');
  document.addEventListener('dragenter', (e) => {
    if (!isFileDrag(e)) return;
    e.preventDefault();
    ++dragDepth;
    dropHint.hidden = false;
  });
  document.addEventListener('dragover', (e) => {
    if (isFileDrag(e)) e.preventDefault();
  });
  document.addEventListener('dragleave', () => {
    dragDepth = Math.max(0, dragDepth - 1);
    if (dragDepth === 0) dropHint.hidden = true;
  });
  document.addEventListener('drop', (e) => {
    if (!isFileDrag(e)) return;
    e.preventDefault();
    dragDepth = 0;
    dropHint.hidden = true;
    const files = e.dataTransfer.files;
    if (files.length === 1) {
      openFile(files[0]);
    } else {
      // none is read, and a file still being read is dropped too
      ++chosen;
      const count = files.length;
      say(() => (count === 0 ? T('droppedNothing') : T('droppedMany', count)), true);
    }
  });

  // --- downloads ---
  // Named after what is shown: the lesson open (lesson-2), else the task
  // file read, else the task: its robot, its contour and its method where
  // it is not the built-in task's (scara-sine, cylindrical-line-method7).
  const robotWords = { a: 'cylindrical', b: 'scara' };
  const contourWords = { L: 'line', C: 'circle', S: 'sine' };
  function downloadName() {
    if (lessons && lessons.shown >= 0) return 'lesson-' + (lessons.shown + 1);
    if (fileName !== null) return fileName;
    const [robot, contour, method] = ['robot', 'contour', 'method'].map((n) => sim.get(n));
    return [robotWords[robot] || 'robot-' + robot, contourWords[contour] || 'contour-' + contour,
      method === defaultMethod ? '' : 'method' + method].filter(Boolean).join('-');
  }

  function download(blob, name) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  }

  $('download-csv').addEventListener('click', () => {
    if (!ready) return;
    download(new Blob([sim.csv()], { type: 'text/csv' }), downloadName() + '.csv');
  });

  // the task as a robot data file, as the window's 'x' writes it
  $('save-task').addEventListener('click', () => {
    if (!ready) return;
    download(new Blob([sim.taskText()], { type: 'text/plain' }), downloadName() + '.dat');
  });

  // the frame as the window shows it: 800 x 800 pixels whatever the screen
  $('download-png').addEventListener('click', () => {
    if (!ready) return;
    const off = document.createElement('canvas');
    off.width = HybridsimShapeView.windowPixels;
    off.height = HybridsimShapeView.windowPixels;
    sim.draw(off.getContext('2d'), off.width);
    const name = downloadName() + '-frame-' + String(sim.frame).padStart(3, '0') + '.png';
    off.toBlob((blob) => {
      if (blob) download(blob, name);
      else say(() => T('noPicture'), true);
    }, 'image/png');
  });

  // the run as an animated GIF, every sample, made frame by frame by the
  // core's encoder (hybridsim.gif) with a progress bar and Cancel; the
  // button rests while it is made
  const gifButton = $('download-gif');
  const gifProgress = $('gif-progress');
  const gifBar = $('gif-bar');
  const gifCount = $('gif-count');
  const gifCancel = $('gif-cancel');
  const showGifProgress = (done, total) => {
    gifBar.max = total;
    gifBar.value = done;
    gifCount.textContent = T('gifCount', done, total);
  };
  gifButton.addEventListener('click', () => {
    if (!ready || gifButton.disabled) return;
    const name = downloadName() + '.gif';
    // the focus, on the button that rests, goes to Cancel and back
    const focused = document.activeElement === gifButton;
    gifButton.disabled = true;
    showGifProgress(0, sim.lastFrame + 1);
    gifProgress.hidden = false;
    if (focused) gifCancel.focus();
    sim.gif({ onProgress: showGifProgress }).then((bytes) => {
      download(new Blob([bytes], { type: 'image/gif' }), name);
    }, (e) => {
      say(() => (e.name === 'AbortError' ? T('gifCancelled') : T('gifFailed', e.message)), e.name !== 'AbortError');
    }).finally(() => {
      const refocus = document.activeElement === gifCancel;
      gifProgress.hidden = true;
      gifButton.disabled = false;
      if (refocus) gifButton.focus();
    });
  });
  gifCancel.addEventListener('click', () => sim.cancelGif());

  // --- pins: the runs kept under the live one, each with its legend line ---
  const pinList = $('pin-list');
  function showPins() {
    if (!ready) return;
    const pins = sim.pinLabels();
    pinList.hidden = pins.length === 0;
    pinList.replaceChildren(...pins.map((p, i) => {
      const item = document.createElement('li');
      const swatch = document.createElement('span');
      swatch.className = 'swatch';
      swatch.style.background = p.colour;
      const label = document.createElement('span');
      label.className = 'pin-label';
      label.textContent = p.label;
      label.lang = 'en';  // the core's words
      const remove = document.createElement('button');
      remove.type = 'button';
      remove.textContent = '×';
      remove.setAttribute('aria-label', T('removePin', p.slot + 1));
      remove.addEventListener('click', () => sim.unpin(i));
      item.replaceChildren(swatch, label, remove);
      return item;
    }));
  }
  const showPinsLater = HybridsimAfterPicture.later(showPins);
  $('pin').addEventListener('click', () => {
    if (!ready) return;
    const made = sim.pin();
    say(() => T(made.replaced ? 'pinnedInstead' : 'pinned', made.pin), false);
  });
  $('clear-pins').addEventListener('click', () => {
    if (ready) sim.clearPins();
  });
  $('reset-defaults').addEventListener('click', () => {
    if (!ready) return;
    sim.resetDefaults();
    say(() => T('defaultsAgain'), false);
  });

  // the teaching overlay: the checkbox and 'v' (or a script) keep each other
  const overlaySwitch = $('overlay');
  overlaySwitch.addEventListener('change', () => {
    if (ready) sim.overlay = overlaySwitch.checked;
  });

  window.addEventListener('resize', () => {
    fitCanvas();
    redraw();
  });
  // a new pixel ratio (the window moved to another screen) without a resize
  function watchPixelRatio() {
    const query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
    query.addEventListener('change', () => {
      fitCanvas();
      redraw();
      watchPixelRatio();
    }, { once: true });
  }
  watchPixelRatio();

  // --- links: the page's state in its address ---
  // The address follows every change by history.replaceState (no history
  // entry: Back leaves the page, a reload keeps the state), at most once in
  // linkGap ms -- a drag of the slider is many frames -- and not while the
  // run plays (its pause writes the frame it stopped at).
  const linkGap = 250;
  let linkTimer = 0;
  let linkAt = -Infinity;
  let written = null;  // the fragment last put in the address
  // A write waiting for its gap is marked on the body (data-link-due), so
  // that a test can wait for it instead of for a guessed time.
  function cancelLinkWrite() {
    clearTimeout(linkTimer);
    linkTimer = 0;
    delete document.body.dataset.linkDue;
  }
  function writeLink() {
    cancelLinkWrite();
    linkAt = performance.now();
    const address = sim.link();
    // (as the address will hold it: the browser's own spelling of the fragment)
    written = new URL(address, location.href).hash.slice(1);
    if (address !== location.href) {
      try {
        history.replaceState(history.state, '', address);
      } catch (e) {
        // (a browser that refuses it keeps the old address; Copy link still gives the new one)
      }
    }
    return address;
  }
  // A fragment put in the address by someone else (typed, or a link
  // followed) and not yet opened -- its hashchange still to come -- is not
  // written over: the page's own state would replace it, and it would never
  // be opened.  Its opening writes the address.
  function writeLinkUnlessChanged() {
    if (written !== null && location.hash.slice(1) !== written) {
      cancelLinkWrite();
      return;
    }
    writeLink();
  }
  function linkLater() {
    if (!ready || linkTimer) return;
    const wait = linkAt + linkGap - performance.now();
    if (wait <= 0) writeLinkUnlessChanged();
    else {
      linkTimer = setTimeout(writeLinkUnlessChanged, wait);
      document.body.dataset.linkDue = 'true';
    }
  }

  // What opening a link said, as one notice: why it was not read, or the
  // parts it skipped with their reasons (the core's words, English).
  let linkSaid = null;
  function showLinkNotice() {
    const r = linkSaid;
    linkNotice.hidden = !r || (r.refused === '' && r.skippedCount === 0);
    if (linkNotice.hidden) {
      linkNotice.textContent = '';
      return;
    }
    if (r.refused !== '') {
      const [before, after] = T('linkNotRead', '\u0000').split('\u0000');
      linkNotice.replaceChildren(before, spanIn('en', r.refused), after);
      return;
    }
    const lines = r.skipped.map((why) => ['\n', spanIn('en', why)]).flat();
    const more = r.skippedCount - r.skipped.length;
    linkNotice.replaceChildren(T('linkSkipped', r.skippedCount), ...lines, ...(more > 0 ? ['\n', T('linkMore', more)] : []));
  }
  // A link refused, or with parts skipped, stays in the address as it was
  // typed until something changes, so that a typo can be mended there and
  // a link of a newer page copied on: the page takes it as its own address
  // for now (its hashchange opens nothing) and writes its state over it at
  // the next change.  A link read whole is written in the page's own words.
  function openLink(address) {
    linkSaid = sim.openLink(address);
    showLinkNotice();
    if (linkSaid.refused === '' && linkSaid.skippedCount === 0) {
      writeLink();
      return;
    }
    cancelLinkWrite();
    written = location.hash.slice(1);
  }
  // a fragment typed into the address bar (or a link followed to this page) is opened
  window.addEventListener('hashchange', () => {
    if (ready && location.hash.slice(1) !== written) openLink(location.href);
  });

  // Copy link: the whole address to the clipboard, by the clipboard's
  // interface or else (file://, an older browser) by a selected text and the
  // copy command; where neither works, the address in a field to copy by hand.
  const linkCopy = $('link-copy');
  const linkField = $('link-field');
  function copyBySelection(text) {
    const area = document.createElement('textarea');
    area.value = text;
    area.setAttribute('readonly', '');
    area.style.position = 'fixed';
    area.style.left = '-10000px';
    document.body.append(area);
    area.select();
    let ok = false;
    try {
      ok = document.execCommand('copy');
    } catch (e) {
      ok = false;
    }
    area.remove();
    return ok;
  }
  // `text` to the clipboard, the field under the header holding it where it
  // could not be put there; `back` takes the focus again (the field's
  // selection stays the field's): whether it was put there
  async function copy(text, back) {
    let ok = false;
    try {
      if (navigator.clipboard && typeof navigator.clipboard.writeText === 'function') {
        // (a clipboard that asks for a permission nobody gives is not waited for)
        await Promise.race([navigator.clipboard.writeText(text),
          new Promise((done, fail) => setTimeout(() => fail(new Error('no answer')), 2000))]);
        ok = true;
      }
    } catch (e) {
      ok = false;
    }
    if (!ok) ok = copyBySelection(text);
    back.focus();
    linkCopy.hidden = ok;
    if (!ok) {
      linkField.value = text;
      linkField.select();
    }
    return ok;
  }

  // From a page opened from a file a link names a file nobody else can
  // open: Copy link says so, and offers the run alone (the fragment, which
  // opens the same state after any address of the page) or a link on the
  // page's address on the web, typed once and remembered.
  const fromFile = location.protocol === 'file:';
  const linkChoice = $('link-choice');
  const linkBase = $('link-base');
  const choiceSaid = $('link-choice-said');
  let choiceSaying = null;  // the words said there, as a function (said anew in another language)
  function sayInChoice(words, isError) {
    choiceSaying = words;
    choiceSaid.textContent = words ? words() : '';
    choiceSaid.classList.toggle('fail', Boolean(isError));
  }
  $('copy-link').addEventListener('click', async () => {
    if (!ready) return;
    const address = writeLink();
    if (fromFile) {
      linkChoice.hidden = false;
      sayInChoice(null);
      if (linkBase.value === '') linkBase.value = HybridsimStore.get('linkBase') || '';
      $('copy-fragment').focus();
      return;
    }
    const ok = await copy(address, $('copy-link'));
    say(() => T(ok ? 'copied' : 'notCopied'), !ok);
  });
  $('copy-fragment').addEventListener('click', async () => {
    const address = writeLink();
    const ok = await copy(address.slice(address.indexOf('#')), $('copy-fragment'));
    sayInChoice(() => T(ok ? 'fragmentCopied' : 'notCopied'), !ok);
  });
  $('link-base-form').addEventListener('submit', async (e) => {
    e.preventDefault();
    let base = null;
    try {
      base = new URL(linkBase.value.trim());
    } catch (error) {
      base = null;
    }
    if (!base || (base.protocol !== 'http:' && base.protocol !== 'https:')) {
      sayInChoice(() => T('baseNotWeb'), true);
      linkBase.focus();
      return;
    }
    base.hash = '';
    const at = base.href.replace(/#$/, '');
    linkBase.value = at;
    HybridsimStore.set('linkBase', at);
    const address = writeLink();
    const ok = await copy(at + address.slice(address.indexOf('#')), $('copy-with-base'));
    sayInChoice(() => (ok ? T('baseCopied', at) : T('notCopied')), !ok);
  });
  $('link-choice-close').addEventListener('click', () => {
    linkChoice.hidden = true;
    linkCopy.hidden = true;
    $('copy-link').focus();
  });

  // Help, from the top of the page: the help section opened, the focus on it
  $('help-button').addEventListener('click', () => {
    $('help').open = true;
    $('help-toggle').focus();
  });

  // --- the language: the page's words, <html lang>, the link ---
  function showLanguage() {
    window.HybridsimTexts.apply(sim.language);
    if (saying) say(saying, message.classList.contains('error'));
    if (choiceSaying) sayInChoice(choiceSaying, choiceSaid.classList.contains('fail'));
    showRun();
    showLinkNotice();
  }
  $('language').addEventListener('click', () => {
    if (ready) sim.language = sim.language === 'ja' ? 'en' : 'ja';
  });

  sim.on('run', (cause) => {
    if (cause === 'file' || cause === 'defaults') {
      linkSaid = null;
      showLinkNotice();
    }
    // (a file read names the downloads once its reading is done)
    if (cause !== 'setting') fileName = null;
  });
  sim.on('run', showRun);
  sim.on('language', showLanguage);
  for (const event of ['run', 'pins', 'overlay', 'language', 'goals', 'playback']) sim.on(event, linkLater);
  sim.on('frame', () => {
    if (ready && !sim.playing) linkLater();
  });
  sim.on('frame', redraw);
  sim.on('pins', () => {
    redraw();
    showPins();
  });
  sim.on('overlay', () => {
    overlaySwitch.checked = sim.overlay;
    redraw();
  });
  fitCanvas();
  sim.ready.then(() => {
    ready = true;
    overlaySwitch.checked = sim.overlay;
    HybridsimSettingsPanel.attach($('settings'), sim);
    HybridsimPlaybackBar.attach(sim, canvas);
    HybridsimStudyGraphs.attach(sim, canvas);
    HybridsimGoalsPanel.attach(sim, say);
    HybridsimLoopsPanel.attach(sim);
    HybridsimPoleDrag.attach(sim);
    HybridsimDesignMap.attach(sim);
    HybridsimResponsePanel.attach(sim);
    HybridsimAccess.attach(sim);
    HybridsimForceSound.attach(sim);
    defaultMethod = sim.get('method');
    HybridsimLessonLocks.attach($('settings'), sim);
    lessons = HybridsimLessonsMenu.attach(sim, (opened) => {
      cardPlaced(opened);
      if (lessonEditor) lessonEditor.cardChanged();
    });
    lessonEditor = HybridsimLessonEditor.attach(sim, { menu: lessons, say, download, copy });
    fitCanvas();
    // a link opens its run; a page without one shows the default task
    if (location.hash.length > 1) openLink(location.href);
    showLanguage();
    // the first picture is on the canvas (docs/performance.md measures to here)
    performance.mark('hybridsim-first-picture');
    document.body.dataset.ready = 'true';
  }, (e) => say(() => T('noStart', e.message), true));
})();
