// The page around window.hybridsim: the canvas, the panels, the notices,
// opening task files (picker and drag-and-drop), saving the task and the
// downloads, the page's state in its address (a link: opened at the start
// and when the fragment is edited, kept up to date by history.replaceState,
// copied by *Copy link*), the language; the settings panel
// (settings_panel.js), the playback bar (playback_bar.js) and the study
// graphs (study_graphs.js) once the core is ready.  The page's own words
// come from page_texts.js.
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

  // the task shown, for the names of downloaded files
  let taskName = 'default';
  let ready = false;

  // --- the picture: a square that fits the viewport, sharp at any pixel ratio ---
  function fitCanvas() {
    const box = canvas.parentElement.getBoundingClientRect();
    const below = bar.getBoundingClientRect().height + 36;
    // on a wide screen the panels keep their place beside the picture
    const width = document.documentElement.clientWidth;
    const panels = width >= 1000 ? 440 : 0;
    const room = Math.min(width - 36 - panels, window.innerHeight - box.top - below);
    const side = Math.max(240, Math.floor(room));
    const pixels = Math.round(side * (window.devicePixelRatio || 1));
    canvas.style.width = side + 'px';
    canvas.style.height = side + 'px';
    if (canvas.width !== pixels || canvas.height !== pixels) {
      canvas.width = pixels;
      canvas.height = pixels;
    }
  }

  function redraw() {
    if (!ready) return;
    sim.draw(ctx, canvas.width);
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
    showPins();
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
    file.arrayBuffer().then((buffer) => {
      if (mine !== chosen) return;
      const r = sim.loadBytes(buffer, file.name);
      if (r.ok) {
        taskName = file.name.replace(/\.[^.]*$/, '') || 'task';
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
    download(new Blob([sim.csv()], { type: 'text/csv' }), taskName + '.csv');
  });

  // the task as a robot data file, as the window's 'x' writes it
  $('save-task').addEventListener('click', () => {
    if (!ready) return;
    download(new Blob([sim.taskText()], { type: 'text/plain' }), taskName + '.dat');
  });

  // the frame as the window shows it: 800 x 800 pixels whatever the screen
  $('download-png').addEventListener('click', () => {
    if (!ready) return;
    const off = document.createElement('canvas');
    off.width = HybridsimShapeView.windowPixels;
    off.height = HybridsimShapeView.windowPixels;
    sim.draw(off.getContext('2d'), off.width);
    const name = taskName + '_frame_' + String(sim.frame).padStart(3, '0') + '.png';
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
    const name = taskName + '.gif';
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
  $('pin').addEventListener('click', () => {
    if (!ready) return;
    const pinned = sim.pin().message;
    const slot = Number(/pin (\d+)/.exec(pinned)[1]);
    say(() => T(/oldest/.test(pinned) ? 'pinnedInstead' : 'pinned', slot), false);
  });
  $('clear-pins').addEventListener('click', () => {
    if (ready) sim.clearPins();
  });
  $('reset-defaults').addEventListener('click', () => {
    if (!ready) return;
    sim.resetDefaults();
    taskName = 'default';
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
  function writeLink() {
    clearTimeout(linkTimer);
    linkTimer = 0;
    linkAt = performance.now();
    const address = sim.link();
    written = address.slice(address.indexOf('#') + 1);
    if (address !== location.href) {
      try {
        history.replaceState(history.state, '', address);
      } catch (e) {
        // (a browser that refuses it keeps the old address; Copy link still gives the new one)
      }
    }
    return address;
  }
  function linkLater() {
    if (!ready || linkTimer) return;
    const wait = linkAt + linkGap - performance.now();
    if (wait <= 0) writeLink();
    else linkTimer = setTimeout(writeLink, wait);
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
  function openLink(address) {
    linkSaid = sim.openLink(address);
    taskName = 'link';
    showLinkNotice();
    writeLink();
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
  $('copy-link').addEventListener('click', async () => {
    if (!ready) return;
    const address = writeLink();
    let ok = false;
    try {
      if (navigator.clipboard && typeof navigator.clipboard.writeText === 'function') {
        // (a clipboard that asks for a permission nobody gives is not waited for)
        await Promise.race([navigator.clipboard.writeText(address),
          new Promise((done, fail) => setTimeout(() => fail(new Error('no answer')), 2000))]);
        ok = true;
      }
    } catch (e) {
      ok = false;
    }
    if (!ok) ok = copyBySelection(address);
    $('copy-link').focus();
    linkCopy.hidden = ok;
    if (!ok) {
      linkField.value = address;
      linkField.select();
    }
    say(() => T(ok ? 'copied' : 'notCopied'), !ok);
  });

  // --- the language: the page's words, <html lang>, the link ---
  function showLanguage() {
    window.HybridsimTexts.apply(sim.language);
    if (saying) say(saying, message.classList.contains('error'));
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
    HybridsimLessonsMenu.attach(sim);
    // a link opens its run; a page without one shows the default task
    if (location.hash.length > 1) openLink(location.href);
    showLanguage();
    // the first picture is on the canvas (docs/performance.md measures to here)
    performance.mark('hybridsim-first-picture');
    document.body.dataset.ready = 'true';
  }, (e) => say(() => T('noStart', e.message), true));
})();
