// The page for every student, a screen reader's too: the picture in words
// in a polite live region (the core's description of the frame shown,
// study/sample_description.h), said when the run or the sample changes and
// at most twice a second while the run plays, the last state always said;
// shown as a caption under the picture when asked for (the picture itself
// stays as it is); each goal's pass or FAIL said when it changes; and the
// study graphs and the loops panel as tables (a disclosure each), made from
// the core's JSON those panels get: the values at the cursor of every run
// drawn, and both loops' poles, designed and as the model integrates them.
(function (global) {
  'use strict';

  // the least time between two descriptions said [ms]
  const describeGap = 500;

  const $ = (id) => document.getElementById(id);
  const T = (key, ...args) => global.HybridsimTexts.t(key, ...args);

  // --- the picture in words ---
  function attachWords(sim) {
    const described = $('described');
    const shownSwitch = $('describe-shown');
    let saidAt = -Infinity;
    let timer = 0;
    function describe() {
      clearTimeout(timer);
      timer = 0;
      saidAt = performance.now();
      const text = sim.describe();
      if (described.textContent !== text) described.textContent = text;
    }
    // at once when the last was said long enough ago, else once the gap is over
    function describeSoon() {
      if (timer) return;
      const wait = saidAt + describeGap - performance.now();
      if (wait <= 0) describe();
      else timer = setTimeout(describe, wait);
    }
    shownSwitch.addEventListener('change', () => {
      described.classList.toggle('visually-hidden', !shownSwitch.checked);
    });
    for (const event of ['run', 'frame', 'language']) sim.on(event, describeSoon);
    describe();
  }

  // --- each goal's change of pass or FAIL, said ---
  function attachGoals(sim) {
    const goalSaid = $('goal-said');
    let passes = new Map();  // goal -> pass, as last said or seen
    const goalState = () => new Map(sim.goals().map((g) => [g.goal, g]));
    function sayGoals() {
      const now = goalState();
      const changed = [...now.values()].filter((g) => passes.has(g.goal) && passes.get(g.goal) !== g.pass);
      passes = new Map([...now.values()].map((g) => [g.goal, g.pass]));
      if (changed.length === 0) return;
      const lines = changed.map((g) => {
        const line = document.createElement('span');
        const shown = document.createElement('span');
        shown.lang = 'en';  // the core's words
        shown.textContent = g.shown;
        line.append(T(g.pass ? 'goalNowMet' : 'goalNowFailed'), shown, '. ');
        return line;
      });
      goalSaid.replaceChildren(...lines);
    }
    // a goal added or removed is said by the panel's tally: only remembered here
    sim.on('goals', () => {
      passes = new Map([...goalState().values()].map((g) => [g.goal, g.pass]));
    });
    sim.on('run', global.HybridsimAfterPicture.later(sayGoals));
    sayGoals();
  }

  // --- tables: a caption, a row of column headers, the rows ---
  const cell = (tag, text, scope) => {
    const c = document.createElement(tag);
    c.textContent = text;
    if (scope) c.scope = scope;
    return c;
  };
  const row = (...cells) => {
    const r = document.createElement('tr');
    r.append(...cells);
    return r;
  };
  function fill(table, caption, head, rows) {
    const c = document.createElement('caption');
    c.textContent = caption;
    const thead = document.createElement('thead');
    thead.append(row(...head.map((h) => cell('th', h, 'col'))));
    const tbody = document.createElement('tbody');
    tbody.append(...rows);
    table.replaceChildren(c, thead, tbody);
  }

  // the study graphs' values at the cursor, one row a run
  function attachStudyTable(sim) {
    const studyBox = $('study-table-box');
    const studyTable = $('study-table');
    const studyColumns = ['t', 'force', 'springForce', 'Fn', 'sErr', 'distance', 'tipX', 'tipY', 'refX', 'refY'];
    let studyDue = false;
    function showStudyTable() {
      studyDue = false;
      if (!studyBox.open) return;
      const cursor = sim.studyCursor();
      const runs = cursor.runs;
      fill(studyTable, T('studyTableCaption', cursor.sample, runs.length ? runs[0].text.t : ''),
        [T('studyTableRun'), ...studyColumns.map((k) => T('studyColumn_' + k))],
        runs.map((r) => {
          const label = cell('th', r.label, 'row');
          label.lang = 'en';  // the core's words
          return row(label, ...studyColumns.map((k) => cell('td', r.text[k])));
        }));
    }
    // once a display frame at most
    function studyTableLater() {
      if (studyDue || !studyBox.open) return;
      studyDue = true;
      requestAnimationFrame(showStudyTable);
    }
    studyBox.addEventListener('toggle', showStudyTable);
    for (const event of ['run', 'frame', 'pins', 'language']) sim.on(event, studyTableLater);
  }

  // the loops' poles, one row a pole, from the loops panel's drawing
  function attachLoopsTable(sim) {
    const loopsBox = $('loops-table-box');
    const loopsTable = $('loops-table');
    let loops = null;
    const number = (v) => (v === null ? '–' : String(Number(v.toPrecision(6))));
    function showLoopsTable() {
      if (!loopsBox.open || !loops) return;
      const rows = [];
      for (const l of loops.poles) {
        for (const kind of ['designed', 'model']) {
          const loop = T(l.system === 1 ? 'loopPosition' : 'loopForce');
          if (l[kind].length === 0) {
            const none = cell('td', l.modelNone);
            none.colSpan = 2;
            none.lang = 'en';  // the core's words
            rows.push(row(cell('th', loop, 'row'), cell('td', T('poles_' + kind)), none));
          }
          for (const [re, im] of l[kind])
            rows.push(row(cell('th', loop, 'row'), cell('td', T('poles_' + kind)), cell('td', number(re)), cell('td', number(im))));
        }
      }
      fill(loopsTable, T('loopsTableCaption'), [T('loopsTableLoop'), T('loopsTableKind'), T('loopsTableRe'),
        T('loopsTableIm')], rows);
    }
    global.HybridsimLoopsPanel.onDrawn((l) => {
      loops = l;
      showLoopsTable();
    });
    loopsBox.addEventListener('toggle', showLoopsTable);
    sim.on('language', showLoopsTable);
  }

  function attach(sim) {
    attachWords(sim);
    attachGoals(sim);
    attachStudyTable(sim);
    attachLoopsTable(sim);
  }

  global.HybridsimAccess = { attach };
})(window);
