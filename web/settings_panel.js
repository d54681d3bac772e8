// The settings panel: the console dialogue's sections as a form, built from
// the core's description of them (web/settings_panel.h), in the page's
// language (hybridsim.language): in Japanese with the console dialogue's
// own words, or in English.
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

  // Builds the panel in `container` for `sim` (window.hybridsim, ready).
  function attach(container, sim) {
    // elements whose text follows the language: [element, ja, en]
    const texts = [];
    const say = (e, ja, en) => {
      texts.push([e, ja, en]);
      return e;
    };
    // selectors and fields by id: {input, row, message, name, millimetres}
    const selects = {};
    const fields = {};
    const groups = [];  // [element, contour, [field ids]]
    // a refused field's text waits for the value that was in force then
    const refused = {};
    // the value of a field being edited from before its edit, as hybridsim.get gives it
    const editFrom = {};
    let values = sim.panelValues();
    let typing = null;  // the input whose change runs now

    const head = el('div', { className: 'settings-head' },
      el('h2', { 'data-text': 'settingsHead' }, global.HybridsimTexts.t('settingsHead')));
    container.append(head);

    const show = (message, text) => {
      message.textContent = text;
      message.hidden = text === '';
    };

    // A method chosen here brings its own stored gains: a note says which,
    // with the values in force after the change, in the page's language,
    // until the method or one of those gains changes again.
    const gainIds = ['fn1', 'alpha1', 'fn2', 'alpha2'];
    const methodNote = el('div', { className: 'field-note', role: 'status' });
    methodNote.hidden = true;
    let noted = null;  // {method, gains: {fn1, alpha1, fn2, alpha2}} as the note says them
    function showMethodNote() {
      methodNote.hidden = noted === null;
      methodNote.textContent = noted === null ? ''
        : global.HybridsimTexts.t('methodGains', noted.method, noted.gains, noted.method === '7' ? '8' : '7');
    }
    function noteMethod() {
      const gains = {};
      for (const id of gainIds) gains[id] = values.values[id];
      noted = { method: values.method, gains };
      showMethodNote();
    }

    for (const section of sim.panelLayout()) {
      const box = el('fieldset', { className: 'section', 'data-section': section.id });
      box.append(say(el('legend'), section.ja, section.en));
      if (section.selector) {
        const name = section.selector.name;
        const select = el('select', { 'data-field': name, 'aria-label': section.en });
        for (const o of section.selector.options)
          select.append(say(el('option', { value: o.key }), o.key + ': ' + o.ja, o.key + ': ' + o.en));
        // the desktop's messages are English whatever the panel's language
        const message = el('div', { className: 'field-message', role: 'alert', lang: 'en' });
        message.hidden = true;
        box.append(el('div', { className: 'selector' }, select), message);
        selects[name] = { select, message };
        if (name === 'method') box.append(methodNote);
        select.addEventListener('change', () => {
          const r = sim.set(name, select.value);
          show(message, r.ok ? '' : r.message);
          if (!r.ok) select.value = values[name];
          else if (name === 'method') noteMethod();
        });
      }
      for (const group of section.groups) {
        const g = el('div', { className: 'group' });
        if (group.contour) g.append(say(el('h3'), group.ja, group.en));
        const ids = [];
        for (const f of group.fields) {
          const input = el('input', {
            type: 'text', inputmode: 'decimal', spellcheck: 'false', autocomplete: 'off',
            'data-field': f.id,
          });
          const label = say(el('span', { className: 'label' }), f.ja, f.en);
          const message = el('div', { className: 'field-message', role: 'alert', lang: 'en' });
          message.hidden = true;
          const unit = el('span', { className: 'unit' }, f.unit);
          const row = el('label', { className: 'field' }, label, input, unit);
          g.append(row, message);
          fields[f.id] = { input, row, message, name: f.name, millimetres: f.millimetres };
          ids.push(f.id);
          wire(f.id);
        }
        groups.push([g, group.contour, ids]);
        box.append(g);
      }
      container.append(box);
    }

    // a field's changes: each edit goes to the core at once
    function wire(id) {
      const f = fields[id];
      f.input.addEventListener('input', () => {
        if (!(id in editFrom)) editFrom[id] = sim.get(f.name);
        typing = f.input;
        const r = f.millimetres ? sim.setSetErrorMm(f.input.value) : sim.set(f.name, f.input.value);
        // refused: the task from before the edit, not the last part typed that was taken
        if (!r.ok && editFrom[id] !== null && sim.get(f.name) !== editFrom[id]) sim.set(f.name, editFrom[id]);
        typing = null;
        if (r.ok) {
          delete refused[id];
        } else {
          refused[id] = values.values[id];
        }
        mark(id, r.ok ? '' : r.message);
      });
      // a value taken shows as the core holds it once the field is left
      f.input.addEventListener('change', () => {
        if (!(id in refused) && id in values.values) f.input.value = values.values[id];
      });
      f.input.addEventListener('blur', () => {
        delete editFrom[id];
      });
      f.input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') delete editFrom[id];
        if (e.key !== 'Escape' || !(id in values.values)) return;
        delete editFrom[id];
        delete refused[id];
        f.input.value = values.values[id];
        mark(id, '');
      });
    }

    function mark(id, message) {
      const f = fields[id];
      show(f.message, message);
      f.input.classList.toggle('refused', message !== '');
      f.input.setAttribute('aria-invalid', message !== '' ? 'true' : 'false');
    }

    // the values of a new run; the fields of another robot or contour hidden
    function refresh(cause) {
      values = sim.panelValues();
      // a task file or a link replaces every value, refused ones too
      if (cause === 'file' || cause === 'link') {
        for (const id of Object.keys(refused)) refused[id] = null;
        for (const id of Object.keys(editFrom)) delete editFrom[id];
      }
      for (const [name, s] of Object.entries(selects)) {
        s.select.value = values[name];
        show(s.message, '');
      }
      for (const [id, f] of Object.entries(fields)) {
        const shown = id in values.values;
        f.row.hidden = !shown;
        if (id in refused && refused[id] !== values.values[id]) {
          delete refused[id];
          mark(id, '');
        }
        if (!shown) {
          f.message.hidden = true;
          continue;
        }
        if (f.input !== typing && !(id in refused)) f.input.value = values.values[id];
      }
      for (const [g, , ids] of groups) g.hidden = !ids.some((id) => id in values.values);
      // the note holds while what it says holds
      if (noted && (values.method !== noted.method || gainIds.some((id) => values.values[id] !== noted.gains[id]))) {
        noted = null;
        showMethodNote();
      }
    }

    // the page's language: the dialogue's words or the English ones
    function applyLanguage() {
      const language = sim.language;
      container.lang = language;
      for (const [e, ja, en] of texts) e.textContent = language === 'ja' ? ja : en;
      head.querySelector('h2').textContent = global.HybridsimTexts.t('settingsHead');
      showMethodNote();
    }
    sim.on('language', applyLanguage);

    applyLanguage();
    refresh();
    sim.on('run', refresh);
  }

  global.HybridsimSettingsPanel = { attach };
})(window);
