// The page around window.hybridsim: the canvas, the panels, the notices,
// opening task files (picker and drag-and-drop), saving the task and the
// downloads; the settings panel (settings_panel.js), the playback bar
// (playback_bar.js) and the study graphs (study_graphs.js) once the core is
// ready.
(function () {
  'use strict';

  const sim = window.hybridsim;
  const $ = (id) => document.getElementById(id);
  const canvas = $('view');
  const ctx = canvas.getContext('2d');
  const bar = $('playback');
  const message = $('message');
  const notice = $('notice');
  const shortNotice = $('short-notice');
  const faultNotice = $('fault-notice');
  const dropHint = $('drop-hint');

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
  let summaryDue = false;
  function showSummaryLater() {
    summaryStale = true;
    summary.classList.add('stale');
    if (!summaryInView || summaryDue) return;
    summaryDue = true;
    requestAnimationFrame(() => setTimeout(() => {
      summaryDue = false;
      if (!summaryStale) return;
      summaryStale = false;
      summary.textContent = sim.summary();
      summary.classList.remove('stale');
    }, 0));
  }
  new IntersectionObserver((seen) => {
    summaryInView = seen[seen.length - 1].isIntersecting;
    if (summaryInView && summaryStale && ready) showSummaryLater();
  }).observe(summary);

  // a notice: a line of the page's, then the console's own lines (Japanese)
  function showNotice(box, line, consoleLines) {
    box.hidden = consoleLines === '';
    if (consoleLines === '') {
      box.textContent = '';
      return;
    }
    const words = document.createElement('span');
    words.lang = 'ja';
    words.textContent = consoleLines.trim();
    box.replaceChildren(line + '\n', words);
  }

  function showRun() {
    $('report').textContent = sim.report();
    showSummaryLater();
    const n = sim.notice();
    showNotice(notice, 'Robot b cannot reach ' + n.count + (n.count === 1 ? ' point' : ' points') +
      ' of this run; their samples hold not-a-number.', n.count === 0 ? '' : n.text);
    showNotice(shortNotice, 'The positioning time is longer than the run: only part of the contour is traced.',
      n.runTooShort);
    // a run that blew up: its English line, then the console's
    const fault = n.runFault.indexOf('\n');
    showNotice(faultNotice, fault < 0 ? n.runFault : n.runFault.slice(0, fault),
      fault < 0 ? '' : n.runFault.slice(fault + 1));
    redraw();
    // the new run's picture is on the canvas (docs/performance.md measures to here)
    performance.clearMarks('hybridsim-run-drawn');
    performance.mark('hybridsim-run-drawn');
    // the pins' legend lines name their differences from the new task
    showPins();
  }

  function say(text, isError) {
    message.hidden = text === '';
    message.textContent = text;
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
        say('Read ' + file.name + '.', false);
      } else {
        say(r.message, true);  // the previous run stays on screen
      }
    }, (e) => {
      if (mine === chosen) say(file.name + ': cannot read: ' + e.message, true);
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
      say(files.length === 0 ? 'Nothing to read was dropped: drop one task file.'
        : files.length + ' files were dropped and none was read: drop one task file at a time.', true);
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
      else say('The picture could not be made.', true);
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
    gifCount.textContent = 'frame ' + done + ' of ' + total;
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
      say(e.name === 'AbortError' ? 'The animation was cancelled.'
        : 'The animation could not be made: ' + e.message, e.name !== 'AbortError');
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
      const remove = document.createElement('button');
      remove.type = 'button';
      remove.textContent = '×';
      remove.setAttribute('aria-label', 'Remove pin ' + (p.slot + 1));
      remove.addEventListener('click', () => sim.unpin(i));
      item.replaceChildren(swatch, label, remove);
      return item;
    }));
  }
  $('pin').addEventListener('click', () => {
    if (ready) say(sim.pin().message + '.', false);
  });
  $('clear-pins').addEventListener('click', () => {
    if (ready) sim.clearPins();
  });
  $('reset-defaults').addEventListener('click', () => {
    if (!ready) return;
    sim.resetDefaults();
    taskName = 'default';
    say('The task is the built-in default again.', false);
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

  sim.on('run', showRun);
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
    showRun();
    // the first picture is on the canvas (docs/performance.md measures to here)
    performance.mark('hybridsim-first-picture');
    document.body.dataset.ready = 'true';
  }, (e) => say('The simulator could not start: ' + e.message, true));
})();
