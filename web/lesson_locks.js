// The settings a lesson locks, shown locked in the settings panel: while
// hybridsim.lockedSettings() holds a setting, its field is read-only (its
// selector disabled), marked aria-disabled, with a lock mark and the
// description "locked by the lesson".  The core refuses the change anyway
// (set, setAll, the pole handles and the design map say so with its
// message); this shows it before anyone tries.  The locks end when another
// task is read, and with them the marks.
(function (global) {
  'use strict';

  // Marks the controls of the settings panel in `container` (built by
  // settings_panel.js) for `sim` (window.hybridsim, ready).
  function attach(container, sim) {
    const T = global.HybridsimTexts.t;
    // the panel's controls by the --set name they change
    const controls = new Map();
    const add = (name, field) => {
      const e = container.querySelector(`[data-field="${CSS.escape(field)}"]`);
      if (e) controls.set(name, e);
    };
    for (const section of sim.panelLayout()) {
      if (section.selector) add(section.selector.name, section.selector.name);
      for (const group of section.groups) for (const f of group.fields) add(f.name, f.id);
    }
    // the words every locked control is described by
    const said = document.createElement('span');
    said.id = 'locked-by-lesson';
    said.hidden = true;
    container.append(said);

    function lock(control, locked) {
      const mark = control.parentElement.querySelector('.lock-mark');
      if (control.tagName === 'SELECT') control.disabled = locked;
      else control.readOnly = locked;
      if (locked) {
        control.setAttribute('aria-disabled', 'true');
        control.setAttribute('aria-describedby', said.id);
        control.title = said.textContent;
        if (!mark) {
          // a padlock, drawn (a font may have no glyph for one)
          const m = document.createElement('span');
          m.className = 'lock-mark';
          m.setAttribute('aria-hidden', 'true');
          m.innerHTML = '<svg width="10" height="12" viewBox="0 0 10 12"><path d="M2.5 5.5V3.5a2.5 2.5 0 0 1 5 0v2" ' +
            'fill="none" stroke="currentColor" stroke-width="1.4"/><rect x="0.5" y="5.5" width="9" height="6" rx="1" ' +
            'fill="currentColor"/></svg>';
          m.title = said.textContent;
          control.after(m);
        } else {
          mark.title = said.textContent;
        }
      } else {
        control.removeAttribute('aria-disabled');
        control.removeAttribute('aria-describedby');
        control.removeAttribute('title');
        if (mark) mark.remove();
      }
    }

    function show() {
      said.textContent = T('lockedByLesson');
      const locked = new Set(sim.lockedSettings());
      for (const [name, control] of controls) lock(control, locked.has(name));
    }
    sim.on('run', show);
    sim.on('language', show);
    show();
  }

  global.HybridsimLessonLocks = { attach };
})(window);
