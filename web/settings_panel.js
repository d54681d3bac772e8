// The settings panel: the console dialogue's sections as a form, built from
// the core's description of them (web/settings_panel.h), in the page's
// language (hybridsim.language): in Japanese with the console dialogue's
// own words, or in English.  A section the dialogue does not have (the
// contact model) comes last, folded and closed at first; a task file or a
// link that chooses other than its first choice opens it.
//
// Every change goes to the core's setTaskSetting (hybridsim.set; the setting
// error in millimetres through hybridsim.setSetErrorMm): nothing is checked
// here.  A value taken recomputes the run at once; a refused one puts the
// field's value from before the edit back in force (hybridsim.get kept it,
// to the bit), and its field keeps the text typed, marked, with the
// desktop's message beside it, until the field is typed in again, Escape
// brings the value in force back, the value in force changes (another
// method or contour) or a task file is read.  An edit begins with the first
// change typed into a field and ends when the field is left or Enter or
// Escape is pressed.
(function (global) {
  'use strict';

  // an element with attributes and children
  function el(tag, attrs = {}, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs)) {
      if (k === 'className') e.className = v;
      else e.setAttribute(k, v);
    }
    for (const c of children) if (c) e.append(c);
    return e;
  }

  const show = (message, text) => {
    message.textContent = text;
    message.hidden = text === '';
  };

  // the gains a method brings with it, which its note names
  const gainIds = ['fn1', 'alpha1', 'fn2', 'alpha2'];

  // The panel's state: the elements it made and what it remembers of the
  // edits, for `sim` (window.hybridsim, ready).
  function newPanel(container, sim) {
    const p = {
      container,
      sim,
      // elements whose text follows the language: [element, ja, en]
      texts: [],
      // selectors and fields by id: {input, row, message, name, millimetres}
      selects: {},
      fields: {},
      groups: [],  // [element, contour, [field ids]]
      folds: [],  // the folded sections: [element, their selector's name, its first choice]
      // a refused field's text waits for the value that was in force then
      refused: {},
      // the value of a field being edited from before its edit, as hybridsim.get gives it
      editFrom: {},
      values: sim.panelValues(),
      typing: null,  // the input whose change runs now
      head: el('div', { className: 'settings-head' },
        el('h2', { 'data-text': 'settingsHead' }, global.HybridsimTexts.t('settingsHead'))),
      // A method chosen here brings its own stored gains: a note says which,
      // with the values in force after the change, in the page's language,
      // until the method or one of those gains changes again.
      methodNote: el('div', { className: 'field-note', role: 'status' }),
      noted: null,  // {method, gains: {fn1, alpha1, fn2, alpha2}} as the note says them
    };
    p.say = (e, ja, en) => {
      p.texts.push([e, ja, en]);
      return e;
    };
    p.methodNote.hidden = true;
    return p;
  }

  function showMethodNote(p) {
    p.methodNote.hidden = p.noted === null;
    p.methodNote.textContent = p.noted === null ? ''
      : global.HybridsimTexts.t('methodGains', p.noted.method, p.noted.gains, p.noted.method === '7' ? '8' : '7');
  }

  function noteMethod(p) {
    const gains = {};
    for (const id of gainIds) gains[id] = p.values.values[id];
    p.noted = { method: p.values.method, gains };
    showMethodNote(p);
  }

  // a section's selector (the robot, the method, the contour) into `box`
  function addSelector(p, section, box) {
    const name = section.selector.name;
    const select = el('select', { 'data-field': name, 'aria-label': section.en });
    for (const o of section.selector.options)
      select.append(p.say(el('option', { value: o.key }), o.key + ': ' + o.ja, o.key + ': ' + o.en));
    // the desktop's messages are English whatever the panel's language
    const message = el('div', { className: 'field-message', role: 'alert', lang: 'en' });
    message.hidden = true;
    box.append(el('div', { className: 'selector' }, select), message);
    p.selects[name] = { select, message };
    if (name === 'method') box.append(p.methodNote);
    select.addEventListener('change', () => {
      const r = p.sim.set(name, select.value);
      show(message, r.ok ? '' : r.message);
      if (!r.ok) select.value = p.values[name];
      else if (name === 'method') noteMethod(p);
    });
  }

  // a group of fields, its heading when it belongs to one contour
  function groupOf(p, group) {
    const g = el('div', { className: 'group' });
    if (group.contour) g.append(p.say(el('h3'), group.ja, group.en));
    const ids = [];
    for (const f of group.fields) {
      const input = el('input', {
        type: 'text', inputmode: 'decimal', spellcheck: 'false', autocomplete: 'off',
        'data-field': f.id,
      });
      const label = p.say(el('span', { className: 'label' }), f.ja, f.en);
      const message = el('div', { className: 'field-message', role: 'alert', lang: 'en' });
      message.hidden = true;
      const unit = el('span', { className: 'unit' }, f.unit);
      const row = el('label', { className: 'field' }, label, input, unit);
      g.append(row, message);
      p.fields[f.id] = { input, row, message, name: f.name, millimetres: f.millimetres };
      ids.push(f.id);
      wire(p, f.id);
    }
    p.groups.push([g, group.contour, ids]);
    return g;
  }

  // a field's changes: each edit goes to the core at once
  function wire(p, id) {
    const f = p.fields[id];
    const sim = p.sim;
    f.input.addEventListener('input', () => {
      if (!(id in p.editFrom)) p.editFrom[id] = sim.get(f.name);
      p.typing = f.input;
      const r = f.millimetres ? sim.setSetErrorMm(f.input.value) : sim.set(f.name, f.input.value);
      // refused: the task from before the edit, not the last part typed that was taken
      if (!r.ok && p.editFrom[id] !== null && sim.get(f.name) !== p.editFrom[id]) sim.set(f.name, p.editFrom[id]);
      p.typing = null;
      if (r.ok) {
        delete p.refused[id];
      } else {
        p.refused[id] = p.values.values[id];
      }
      mark(p, id, r.ok ? '' : r.message);
    });
    // a value taken shows as the core holds it once the field is left
    f.input.addEventListener('change', () => {
      if (!(id in p.refused) && id in p.values.values) f.input.value = p.values.values[id];
    });
    f.input.addEventListener('blur', () => {
      delete p.editFrom[id];
    });
    f.input.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') delete p.editFrom[id];
      if (e.key !== 'Escape' || !(id in p.values.values)) return;
      delete p.editFrom[id];
      delete p.refused[id];
      f.input.value = p.values.values[id];
      mark(p, id, '');
    });
  }

  function mark(p, id, message) {
    const f = p.fields[id];
    show(f.message, message);
    f.input.classList.toggle('refused', message !== '');
    f.input.setAttribute('aria-invalid', message !== '' ? 'true' : 'false');
  }

  // the values of a new run; the fields of another robot or contour hidden
  function refresh(p, cause) {
    const values = p.values = p.sim.panelValues();
    // a task file or a link replaces every value, refused ones too
    if (cause === 'file' || cause === 'link') {
      for (const id of Object.keys(p.refused)) p.refused[id] = null;
      for (const id of Object.keys(p.editFrom)) delete p.editFrom[id];
    }
    for (const [name, s] of Object.entries(p.selects)) {
      s.select.value = values[name];
      show(s.message, '');
    }
    for (const [id, f] of Object.entries(p.fields)) {
      const shown = id in values.values;
      f.row.hidden = !shown;
      if (id in p.refused && p.refused[id] !== values.values[id]) {
        delete p.refused[id];
        mark(p, id, '');
      }
      if (!shown) {
        f.message.hidden = true;
        continue;
      }
      if (f.input !== p.typing && !(id in p.refused)) f.input.value = values.values[id];
    }
    for (const [g, , ids] of p.groups) g.hidden = !ids.some((id) => id in values.values);
    // a task file or a link that chooses other than a folded section's first
    // choice opens it, so that what the run depends on is in view
    if (cause === 'file' || cause === 'link')
      for (const [box, name, first] of p.folds) if (values[name] !== first) box.open = true;
    // the note holds while what it says holds
    const noted = p.noted;
    if (noted && (values.method !== noted.method || gainIds.some((id) => values.values[id] !== noted.gains[id]))) {
      p.noted = null;
      showMethodNote(p);
    }
  }

  // the page's language: the dialogue's words or the English ones
  function applyLanguage(p) {
    const language = p.sim.language;
    p.container.lang = language;
    for (const [e, ja, en] of p.texts) e.textContent = language === 'ja' ? ja : en;
    p.head.querySelector('h2').textContent = global.HybridsimTexts.t('settingsHead');
    showMethodNote(p);
  }

  // Builds the panel in `container` for `sim` (window.hybridsim, ready).
  function attach(container, sim) {
    const p = newPanel(container, sim);
    container.append(p.head);
    for (const section of sim.panelLayout()) {
      // a section the dialogue does not have folds, closed until opened
      const box = section.folded
        ? el('details', { className: 'section folded', 'data-section': section.id })
        : el('fieldset', { className: 'section', 'data-section': section.id });
      box.append(p.say(section.folded ? el('summary', { id: section.id + '-toggle' }) : el('legend'),
                       section.ja, section.en));
      if (section.folded && section.selector) p.folds.push([box, section.selector.name, section.selector.options[0].key]);
      if (section.selector) addSelector(p, section, box);
      for (const group of section.groups) box.append(groupOf(p, group));
      if (section.note) box.append(p.say(el('div', { className: 'field-note' }), section.note.ja, section.note.en));
      container.append(box);
    }
    sim.on('language', () => applyLanguage(p));
    applyLanguage(p);
    refresh(p);
    sim.on('run', (cause) => refresh(p, cause));
  }

  global.HybridsimSettingsPanel = { attach };
})(window);
