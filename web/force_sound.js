// The force error as sound, for a student who follows the run by ear: while
// the run plays, one tone whose pitch is the force error F - Fn of the frame
// shown, an octave up per Fn of error (down below Fn), A4 (440 Hz)
// where F = Fn, clamped to two octaves either way; silent at a sample without
// a posture (no force to hear).  Off by default, its own switch; no audio
// context is made and nothing sounds before the switch is first turned on,
// and the tone stops when the playback stops or the switch goes off.
// docs/web.md writes down the mapping.
(function (global) {
  'use strict';

  const middle = 440;   // [Hz] at F = Fn
  const octaves = 2;    // the most either way
  const level = 0.08;   // the tone's gain: quiet under a screen reader's voice

  // The pitch [Hz] of force F against Fn: 440 · 2^((F − Fn)/|Fn|), the
  // exponent clamped to ±2; |Fn| below 1 N counts as 1 N; null without a force.
  function pitch(F, Fn) {
    if (typeof F !== 'number' || typeof Fn !== 'number' || !Number.isFinite(F) || !Number.isFinite(Fn)) return null;
    const unit = Math.max(Math.abs(Fn), 1);
    const up = Math.min(octaves, Math.max(-octaves, (F - Fn) / unit));
    return middle * 2 ** up;
  }

  function attach(sim) {
    const toggle = document.getElementById('force-sound');
    let context = null;
    let tone = null;  // {oscillator, gain} while sounding

    function stop() {
      if (!tone) return;
      tone.gain.gain.setValueAtTime(0, context.currentTime);
      tone.oscillator.stop();
      tone = null;
    }
    // the tone at the frame shown, while on and playing
    function follow() {
      if (!toggle.checked || !sim.playing) {
        stop();
        return;
      }
      const run = sim.studyCursor().runs[0];
      const f = run ? pitch(run.force, run.Fn) : null;
      if (!tone) {
        const oscillator = context.createOscillator();
        const gain = context.createGain();
        oscillator.type = 'sine';
        oscillator.connect(gain).connect(context.destination);
        gain.gain.setValueAtTime(0, context.currentTime);
        oscillator.start();
        tone = { oscillator, gain };
      }
      if (f !== null) tone.oscillator.frequency.setValueAtTime(f, context.currentTime);
      tone.gain.gain.setValueAtTime(f === null ? 0 : level, context.currentTime);
    }

    toggle.addEventListener('change', () => {
      if (toggle.checked && !context) {
        const Context = global.AudioContext || global.webkitAudioContext;
        if (!Context) {
          // (a browser without Web Audio: the switch says so and rests)
          toggle.checked = false;
          toggle.disabled = true;
          const why = document.createElement('span');
          why.textContent = global.HybridsimTexts.t('noSound');
          toggle.closest('label').after(' ', why);
          return;
        }
        context = new Context();
      }
      if (context && toggle.checked && context.state === 'suspended') context.resume();
      follow();
    });
    sim.on('frame', follow);
    sim.on('playback', follow);
    sim.on('run', follow);
  }

  global.HybridsimForceSound = { attach, pitch };
})(window);
