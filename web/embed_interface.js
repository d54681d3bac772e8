// The page inside a course platform's frame (docs/embedding.md): its state,
// opening a state and its grade, as calls on the frame's window and as
// messages, and its grade posted to the parent after every run.
//
// Only in a frame (window.parent !== window):
//   getState()    -> the link's fragment ('v=1&...'): the task, view, goals, pins
//   setState(s)   opens a link or its fragment -> {ok, refused, skipped, skippedCount}
//   getGrade()    -> hybridsim.goalResults() as a JSON string
// A frame of another origin (sandbox="allow-scripts": an opaque origin)
// cannot be called directly, so the same calls go by message as well:
//   parent -> page  {type: 'hybridsim-call', id, method: 'getState' | 'setState' | 'getGrade', args: [...]}
//   page -> parent  {type: 'hybridsim-answer', id, result} or {type: 'hybridsim-answer', id, error}
// and after every run (a setting, a task, a link, the start) and every goal
// added or removed, once the page is ready:
//   page -> parent  {type: 'hybridsim-grade', grade, state}   (grade: getGrade()'s text)
// Messages are taken from the parent alone; they are posted to it with the
// target origin '*', since an opaque origin has no name to give (the grade
// and the state are the student's work, no secret of the page's).
(function (global) {
  'use strict';

  if (global.parent === global || !global.parent) return;
  const sim = global.hybridsim;
  let ready = false;

  function needReady(call) {
    if (!ready) throw new Error(`${call}: the page is not ready yet (wait for its first 'hybridsim-grade' message)`);
  }

  function getState() {
    needReady('getState');
    const address = sim.link();
    return address.slice(address.indexOf('#') + 1);
  }

  function setState(state) {
    needReady('setState');
    if (typeof state !== 'string') throw new TypeError(`setState takes a link or its fragment (a string), not ${typeof state}`);
    return sim.openLink(state);
  }

  function getGrade() {
    needReady('getGrade');
    return JSON.stringify(sim.goalResults());
  }

  const methods = { getState, setState, getGrade };

  function post(message) {
    try {
      global.parent.postMessage(message, '*');
    } catch (e) {
      // (a parent gone, or a result that cannot be cloned: nothing to tell it)
    }
  }

  // a call by message: answered once the page is ready, with its result or its error's message
  global.addEventListener('message', (event) => {
    const m = event.data;
    if (event.source !== global.parent || !m || typeof m !== 'object' || m.type !== 'hybridsim-call') return;
    sim.ready.then(() => {
      const method = Object.prototype.hasOwnProperty.call(methods, m.method) ? methods[m.method] : null;
      try {
        if (!method) throw new Error(`no method '${String(m.method)}': the methods are getState, setState and getGrade`);
        const args = Array.isArray(m.args) ? m.args : [];
        post({ type: 'hybridsim-answer', id: m.id, result: method(...args) });
      } catch (e) {
        post({ type: 'hybridsim-answer', id: m.id, error: e && e.message ? e.message : String(e) });
      }
    }, (e) => post({ type: 'hybridsim-answer', id: m.id, error: `the page did not start: ${e && e.message}` }));
  });

  // the grade after a run, once for the events one change makes (a link
  // opened is a run, then its goals)
  let due = false;
  function gradeLater() {
    if (!ready || due) return;
    due = true;
    queueMicrotask(() => {
      due = false;
      post({ type: 'hybridsim-grade', grade: getGrade(), state: getState() });
    });
  }

  global.getState = getState;
  global.setState = setState;
  global.getGrade = getGrade;
  sim.ready.then(() => {
    ready = true;
    sim.on('run', gradeLater);
    sim.on('goals', gradeLater);
    // the page's first run, with the link it opened (the page opens it after this: it is a run of its own)
    gradeLater();
  }, () => {});
})(window);
