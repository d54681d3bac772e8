// The Lessons menu (study/lessons.h through window.hybridsim), the lesson
// card and the start card, which stand beside the picture (under it on a
// narrow screen).
//
// The menu lists the lessons that come with the program by title in the
// page's language; *Open lesson* opens the one chosen as its link opens
// (its task, pins, overlay, sample and goals in place of the page's).  Its
// card shows the title, the text with the figures of the lesson's runs,
// the goals with pass or FAIL and the figure of the run shown, the hint,
// and, until a setting changes, *Pin this run*, so that the run the lesson
// starts from stays to compare with.  It stands until it is closed or
// another task is read.
//
// The start card greets a first visit (not one that opens a link): what
// the page is, *Start lesson 1* and where help is; once dismissed it stays
// away (HybridsimStore).
(function (global) {
  'use strict';

  // `placed(opened)` is called after a card came, went or changed its
  // words; `opened`: a card just came, to be brought into view.
  function attach(sim, placed = () => {}) {
    const $ = (id) => document.getElementById(id);
    const T = global.HybridsimTexts.t;
    const pick = $('lesson-pick');
    const open = $('open-lesson');
    const box = $('lesson');
    const title = $('lesson-title');
    const words = $('lesson-text');
    const goalsHead = $('lesson-goals-head');
    const goals = $('lesson-goals');
    const pinBox = $('lesson-pin');
    const pinSaid = $('lesson-pin-said');
    const pinButton = $('lesson-pin-button');
    const hint = $('lesson-hint');
    const hintText = $('lesson-hint-text');
    const start = $('start');
    let shown = -1;  // the lesson whose card stands, or -1
    // the pin prompt: 'offer' (Pin this run), a message of the pin made, or '' (gone)
    let prompt = '';
    let pinnedAs = null;  // [key of the words, pin number]

    // the goals on the run shown, each with its verdict and figure in the page's unit, as the Goals panel shows them
    function showGoals() {
      if (shown < 0) return;
      const list = sim.goals();
      goalsHead.hidden = list.length === 0;
      goals.hidden = list.length === 0;
      goals.replaceChildren(...list.map((g) => {
        const item = document.createElement('li');
        item.className = g.pass ? 'pass' : 'fail';
        item.lang = 'en';
        item.textContent = g.shownLine;
        return item;
      }));
    }
    const showGoalsLater = global.HybridsimAfterPicture.later(showGoals);

    function showPrompt() {
      pinBox.hidden = prompt === '';
      pinButton.hidden = prompt !== 'offer';
      pinSaid.textContent = prompt === 'offer' ? T('pinThisRunWhy') : prompt === 'pinned' ? T(...pinnedAs) : '';
    }

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
        hint.hidden = card.hint === '';
        hintText.textContent = card.hint;
        showGoals();
        showPrompt();
      }
    }

    // the start card away, for good
    function dismissStart() {
      start.hidden = true;
      global.HybridsimStore.set('startDismissed', '1');
    }

    function openLesson(i) {
      sim.openLesson(i);
      shown = i;
      prompt = 'offer';
      hint.open = false;
      pick.value = String(i);
      if (!start.hidden) dismissStart();
      fill();
      placed(true);
    }

    open.addEventListener('click', () => {
      const i = Number(pick.value);
      if (!Number.isInteger(i) || i < 0) return;
      openLesson(i);
    });
    $('close-lesson').addEventListener('click', () => {
      shown = -1;
      fill();
      placed(false);
      open.focus();
    });
    // Pin this run: the run as the lesson opened it, kept; the prompt says so
    pinButton.addEventListener('click', () => {
      const made = sim.pin();
      pinnedAs = [made.replaced ? 'lessonPinnedInstead' : 'lessonPinned', made.pin];
      prompt = 'pinned';
      showPrompt();
      pinSaid.focus();  // the button is gone: the focus on what it did
    });

    $('start-lesson').addEventListener('click', () => {
      openLesson(0);
      title.focus();
    });
    $('start-close').addEventListener('click', () => {
      dismissStart();
      placed(false);
      pick.focus();
    });
    // a first visit, not from a link: the start card
    start.hidden = global.location.hash.length > 1 || global.HybridsimStore.get('startDismissed') === '1';

    sim.on('run', (cause) => {
      if (shown < 0) return;
      if (cause === 'file' || cause === 'defaults') {
        shown = -1;
        fill();
        placed(false);
        return;
      }
      // a new run after the lesson's own: the prompt has done its work
      if (prompt !== '') {
        prompt = '';
        showPrompt();
      }
      showGoalsLater();
    });
    sim.on('goals', showGoals);
    // a lesson file read or a lesson made: the menu lists it
    sim.on('lessons', fill);
    sim.on('language', () => {
      fill();
      if (shown >= 0) placed(false);
    });
    fill();

    return {
      // the lesson whose card stands, or -1
      get shown() {
        return shown;
      },
      open: openLesson,
    };
  }

  global.HybridsimLessonsMenu = { attach };
})(window);
