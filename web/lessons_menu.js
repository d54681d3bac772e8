// The Lessons menu (study/lessons.h through window.hybridsim): the lessons
// that come with the program, by title in the page's language; *Open
// lesson* opens the one chosen as its link opens (its task, pins, overlay,
// sample and goals in place of the page's), and its text of what to try and
// what to look for stands above the settings until it is closed or another
// task is read.
(function (global) {
  'use strict';

  function attach(sim) {
    const $ = (id) => document.getElementById(id);
    const T = global.HybridsimTexts.t;
    const pick = $('lesson-pick');
    const open = $('open-lesson');
    const box = $('lesson');
    const title = $('lesson-title');
    const words = $('lesson-text');
    let shown = -1;  // the lesson whose text stands, or -1

    function fill() {
      const chosen = pick.value;
      const lessons = sim.lessons();
      pick.replaceChildren(...lessons.map((l, i) => new Option(`${i + 1}. ${l.title}`, String(i))));
      if (chosen !== '') pick.value = chosen;
      box.hidden = shown < 0;
      if (shown >= 0) {
        const card = sim.lessonCard(shown);
        title.textContent = T('lessonTitle', shown + 1, card.title);
        words.textContent = card.text;
      }
    }

    open.addEventListener('click', () => {
      const i = Number(pick.value);
      if (!Number.isInteger(i) || i < 0) return;
      sim.openLesson(i);
      shown = i;
      fill();
    });
    $('close-lesson').addEventListener('click', () => {
      shown = -1;
      fill();
      open.focus();
    });
    sim.on('run', (cause) => {
      if (cause === 'file' || cause === 'defaults') {
        shown = -1;
        fill();
      }
    });
    sim.on('language', fill);
    fill();
  }

  global.HybridsimLessonsMenu = { attach };
})(window);
