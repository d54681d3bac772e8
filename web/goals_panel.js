// The Goals panel (study/goals.h through window.hybridsim): goals on the
// run summary's figures, added from a figure, a comparison and a value,
// each shown as pass or FAIL with the figure of the run shown, checked
// anew after every run.  Goals travel in the page's link.
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

    for (const n of sim.goalNames()) name.add(new Option(n, n));
    name.value = 'overshoot_pct';

    function show() {
      const goals = sim.goals();
      list.replaceChildren(...goals.map((g, i) => {
        const item = document.createElement('li');
        item.className = g.pass ? 'pass' : 'fail';
        const line = document.createElement('span');
        line.className = 'goal-line';
        line.lang = 'en';
        line.textContent = g.line;
        const remove = document.createElement('button');
        remove.type = 'button';
        remove.textContent = '×';
        remove.setAttribute('aria-label', T('removeGoal', g.goal));
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

    form.addEventListener('submit', (e) => {
      e.preventDefault();
      const goal = name.value + ' ' + op.value + ' ' + value.value.trim();
      const r = sim.addGoal(goal);
      if (!r.ok) {
        say(r.message, true);
        value.focus();
        return;
      }
      say(() => T('goalAdded', goal), false);
    });
    sim.on('goals', show);
    sim.on('run', showLater);
    sim.on('language', show);
    show();
  }

  global.HybridsimGoalsPanel = { attach };
})(window);
