// The Goals panel (study/goals.h through window.hybridsim): goals on the
// run summary's figures, added from a figure, a comparison and a value,
// each shown as pass or FAIL with the figure of the run shown, checked
// anew after every run.  Goals travel in the page's link.
//
// The panel speaks the page's units: it offers the figures that make sense
// as goals by their titles with the unit shown ("largest |posErr| [mm]"),
// reads a value typed in that unit (5 mm: the goal pos_err_max_m <= 0.005,
// as links and hybridsim-batch --require carry it) and shows each result in
// it ("pass  largest |posErr| = 3.89 mm ≤ 5 mm"); a refusal is worded in
// the page's language.
//
// The list is checked after the display frame that shows a run's picture
// (so that no key typed waits for it), once for a burst of runs.
(function (global) {
  'use strict';

  function attach(sim, say) {
    const $ = (id) => document.getElementById(id);
    const T = global.HybridsimTexts.t;
    const form = $('goal-form');
    const name = $('goal-name');
    const op = $('goal-op');
    const value = $('goal-value');
    const list = $('goal-list');
    const tally = $('goal-tally');

    const unit = $('goal-unit');
    const figures = new Map(sim.goalFigures().map((f) => [f.column, f]));
    for (const f of figures.values()) name.add(new Option(f.unit ? `${f.title} [${f.unit}]` : f.title, f.column));
    // the figure the core names as the form's first choice
    name.value = Array.from(figures.values()).find((f) => f.start).column;
    // the unit the value is typed in, beside it
    const showUnit = () => {
      unit.textContent = figures.get(name.value).unit;
    };
    name.addEventListener('change', showUnit);
    showUnit();

    function show() {
      const goals = sim.goals();
      list.replaceChildren(...goals.map((g, i) => {
        const item = document.createElement('li');
        item.className = g.pass ? 'pass' : 'fail';
        const line = document.createElement('span');
        line.className = 'goal-line';
        line.lang = 'en';
        line.textContent = g.shownLine;
        const remove = document.createElement('button');
        remove.type = 'button';
        remove.textContent = '×';
        remove.setAttribute('aria-label', T('removeGoal', g.shown));
        remove.addEventListener('click', () => {
          const next = list.children[i + 1] ? i : i - 1;
          sim.removeGoal(i);
          const again = list.querySelectorAll('button')[next];
          (again || value).focus();
        });
        item.append(line, ' ', remove);
        return item;
      }));
      list.hidden = goals.length === 0;
      const failed = goals.filter((g) => !g.pass).length;
      tally.textContent = goals.length === 0 ? T('noGoals')
        : failed === 0 ? T('goalsPass', goals.length) : T('goalsFail', failed, goals.length);
      tally.className = goals.length === 0 ? '' : failed === 0 ? 'pass' : 'fail';
    }

    const showLater = global.HybridsimAfterPicture.later(show);

    // a refusal in the page's words: what to type, and in which unit
    function refusal(r, typed, inUnit) {
      if (r.refused === 'value') return typed === '' ? () => T('goalNoValue', inUnit) : () => T('goalNotNumber', typed, inUnit);
      if (r.refused === 'full') return () => T('goalsFull', r.most);
      return () => T('goalRefused', r.message);
    }

    form.addEventListener('submit', (e) => {
      e.preventDefault();
      const typed = value.value.trim();
      const r = sim.addShownGoal(name.value, op.value, typed);
      if (!r.ok) {
        say(refusal(r, typed, figures.get(name.value).unit), true);
        value.focus();
        return;
      }
      say(() => T('goalAdded', r.shown), false);
    });
    sim.on('goals', show);
    sim.on('run', showLater);
    sim.on('language', show);
    show();
  }

  global.HybridsimGoalsPanel = { attach };
})(window);
