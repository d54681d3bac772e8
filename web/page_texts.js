// The page's own words in English and in Japanese: one table, the only
// place where the page's labels, buttons, headings and messages are written.
// What is not the page's own stays as it is in both languages: the console's
// Japanese texts (the console's lines of the notices on the Japanese page,
// the panel's Japanese labels, which are the dialogue's), and the English
// words of the C++ core (the messages of --set and of the task-file reader,
// the pins' legend lines, the texts of the picture and of the study graphs,
// the goals' lines), which the page marks lang="en".  The settings report
// and the unreachable point's detail come from the core in either language:
// the console's own on the Japanese page, English on the English one.
//
// In index.html an element names its words by key: data-text (its text),
// data-text-title (its title), data-text-label (its aria-label).
// HybridsimTexts.t(key, ...args) gives the words of the language in force;
// HybridsimTexts.apply(language) puts a language in force on the page.
(function (global) {
  'use strict';

  // --- the control loops' caption: the run's poles in its sentences ---
  // A real part as the caption writes a pole: one decimal from 1 up, two
  // significant digits below, a minus sign for the negative, a plus for the
  // positive (a pole right of the axis) unless `plus` is false.
  function poleNumber(v, plus = true) {
    if (v === 0) return '0';
    const a = Math.abs(v);
    const digits = a >= 1 ? a.toFixed(1) : String(Number(a.toPrecision(2)));
    return (v < 0 ? '−' : plus ? '+' : '') + digits;
  }
  // a pole [re, im]; a part a millionth of the other is rounding
  function poleWords([re, im]) {
    if (Math.abs(im) <= 1e-6 * Math.abs(re)) return poleNumber(re);
    return `${poleNumber(re)} ± ${poleNumber(Math.abs(im), false)}i`;
  }
  // the poles, a complex pair once: 'a, b and c' or 'a、b、c'
  function poleList(poles, japanese) {
    const words = poles.filter((p, i) => i === 0 || !(p[1] !== 0 && p[0] === poles[i - 1][0] &&
                                                      p[1] === -poles[i - 1][1])).map(poleWords);
    if (japanese) return words.join('、');
    return words.length < 2 ? words.join('') : `${words.slice(0, -1).join(', ')} and ${words[words.length - 1]}`;
  }
  const alphaWords = (alpha) => (alpha > 0 ? '−' : '') + String(Math.abs(alpha));
  const threeDigits = (v) => String(Number(v.toPrecision(3)));
  // The last sentence: how near the recorded force lies to the closed
  // form, or why that has no figure (none: forceErrorNone).
  function agreementEn(error, none) {
    const start = "The grey dashed line is the model's force step in closed form";
    if (error !== null) return `${start}; the recorded force lies within ${threeDigits(error)} N of it.`;
    if (none === 'oneSample') {
      return `${start}; only sample 0 is in reach, where both start at 0, so there is no recorded force to set ` +
        'against it.';
    }
    if (none === 'notFinite') {
      return `${start}; the recorded force or the closed form is beyond the range of numbers at a sample in reach, ` +
        'so their difference has no figure.';
    }
    return `${start}; no sample is in reach, so there is no recorded force to set against it.`;
  }
  function agreementJa(error, none) {
    const start = '灰色の破線はモデルの力のステップ応答の閉形式';
    if (error !== null) return `${start}で、記録した力はそこから ${threeDigits(error)} N 以内にあります。`;
    if (none === 'oneSample') return `${start}です。届くサンプルはどちらも 0 から始まるサンプル 0 だけのため、比べる記録の力はありません。`;
    if (none === 'notFinite') return `${start}です。届くサンプルで記録した力か閉形式が数値の範囲を超えるため、その差は数値で表せません。`;
    return `${start}です。届くサンプルがないため、比べる記録の力はありません。`;
  }
  // the model's poles, or why there are none in numbers (c.modelNone)
  const modelNoneEn = {
    gains: 'its gains are beyond the range of numbers', range: 'a root lies beyond the largest number',
    unreached: "the contour's start is out of reach, so r has no figure",
  };
  const modelNoneJa = {
    gains: 'ゲインが数値の範囲を超えています', range: '根が最大の数値を超えています',
    unreached: '輪郭の始点に届かず r が定まりません',
  };
  // contact=spring: the ratio r, and the sampled force loop (c.sampled) in the z-plane
  function springEn(c) {
    if (!c.spring) return '';
    let text = c.ratio === null ? '' : `Under contact=spring the force loop feeds back the measured force, which ` +
      `grows r = ${threeDigits(c.ratio)} N per N of command at the start's posture. `;
    const z = c.sampled;
    if (z) {
      text += `Sampled every T = ${z.period} s, its poles in the z-plane are ${poleList(z.poles)}: ` +
        (z.unstable ? `|z| = ${threeDigits(z.largest)} lies outside the unit circle, so linearised about the start ` +
          'the sampled loop is unstable' : 'inside the unit circle, so linearised about the start the sampled loop ' +
          'is stable') + (z.limit === null ? '' : ` (for T below ${threeDigits(z.limit)} s)`) + '. ';
    }
    if (c.servo > 0) text += `These poles leave out the servo lag of ${c.servo} s, which moves that bound either way. `;
    return text;
  }
  function springJa(c) {
    if (!c.spring) return '';
    let text = c.ratio === null ? '' : 'contact=spring では力制御系は測定した力を帰還し、その力は開始の姿勢で指令 ' +
      `1 N あたり r = ${threeDigits(c.ratio)} N 変わります。`;
    const z = c.sampled;
    if (z) {
      text += `制御周期 T = ${z.period} s で標本化した力制御系の z 平面の極は ${poleList(z.poles, true)} で、` +
        (z.unstable ? `|z| = ${threeDigits(z.largest)} が単位円の外にあるため、開始点まわりの線形化で不安定です`
          : '単位円の内側にあり、開始点まわりの線形化で安定です') +
        (z.limit === null ? '' : `（T が ${threeDigits(z.limit)} s より短いとき安定）`) + '。';
    }
    if (c.servo > 0) text += `これらの極にはサーボの遅れ ${c.servo} s が含まれず、遅れは境界をどちらにも動かします。`;
    return text;
  }
  // c: hybridsim.loops().caption, the facts; error: its forceError [N] or
  // null, none: its forceErrorNone
  function loopsCaptionEn(c, error, none) {
    const n = c.modelNone ? 2 : c.model.length;
    const model = c.spring ? 'Kv s² + (Kp − 1) s + Ki, with r (Kp − 1) and r Ki in the force loop'
      : 'Kv s² + (Kp − 1) s + Ki';
    let text = 'Crosses are the poles the gains were designed for, (s² + 2ζωn s + ωn²)(s + α); rings are the poles ' +
      `of the loop the model integrates, ${model} (green the position loop, red the force loop, ` +
      `pins in their colours). That loop has no mass term, so it has ${['no pole', 'one pole', 'two poles'][Math.min(n, 2)]}, ` +
      'not three: ';
    if (c.doubleToHalf && (c.slowStays || c.originStays)) {
      text += `the force loop's designed double pole at ${poleNumber(c.designed[0][0])} becomes one pole at ` +
        `${poleWords(c.model[0])}, near −ωn/2 = ${poleNumber(-c.wn / 2)}, and ` +
        (c.slowStays ? `the slow pole near −α = ${alphaWords(c.alpha)} stays, at ${poleWords(c.model[1])}`
          : 'the pole at the origin stays');
    } else if (c.modelNone) {
      text += `the force loop's designed poles ${poleList(c.designed)} become poles that have no figure: ` +
        modelNoneEn[c.modelNone];
    } else {
      text += `the force loop's designed poles ${poleList(c.designed)} ` + (n ? `become ${poleList(c.model)}` : 'have none');
    }
    if (c.unstablePole !== null) {
      text += `: the pole at ${poleNumber(c.unstablePole)} lies right of the imaginary axis, so the model's force loop ` +
        `is unstable${c.designStable ? ', though its design is stable' : ''}`;
    }
    text += '. ' + springEn(c);
    const [position, force] = c.originUnused;
    if (position && force) {
      text += "With α = 0 (both loops here) the rings at the origin are the loops' integral states, which they do " +
        'not use (Ki = 0): no sign of marginal stability. ';
    } else if (position || force) {
      text += `With α = 0 (the ${position ? 'position' : 'force'} loop here) the ring at the origin is the loop's ` +
        'integral state, which it does not use (Ki = 0): no sign of marginal stability. ';
    }
    return text + agreementEn(error, none);
  }
  function loopsCaptionJa(c, error, none) {
    const n = c.modelNone ? 2 : c.model.length;
    const model = c.spring ? 'Kv s² + (Kp − 1) s + Ki（力制御系では r (Kp − 1) と r Ki）' : 'Kv s² + (Kp − 1) s + Ki';
    let text = `× は設計の極 (s² + 2ζωn s + ωn²)(s + α)、○ はモデルが積分するループ ${model} の極です` +
      '（緑は位置制御系、赤は力制御系、ピンはその色）。このループには質量の項がないため' +
      ['極はなく', '極は 3 つでなく 1 つで', '極は 3 つでなく 2 つで'][Math.min(n, 2)] + '、';
    if (c.doubleToHalf && (c.slowStays || c.originStays)) {
      text += `力制御系の設計の 2 重の極 ${poleNumber(c.designed[0][0])} は −ωn/2 = ${poleNumber(-c.wn / 2)} に近い ` +
        `1 つの極 ${poleWords(c.model[0])} になり、` +
        (c.slowStays ? `−α = ${alphaWords(c.alpha)} に近い遅い極は ${poleWords(c.model[1])} のまま残ります`
          : '原点の極はそのまま残ります');
    } else if (c.modelNone) {
      text += `力制御系の設計の極 ${poleList(c.designed, true)} は数値で表せない極になります（${modelNoneJa[c.modelNone]}）`;
    } else {
      text += `力制御系の設計の極 ${poleList(c.designed, true)} は ` +
        (n ? `${poleList(c.model, true)} になります` : 'なくなります');
    }
    if (c.unstablePole !== null) {
      text += `。右半平面の極 ${poleNumber(c.unstablePole)} のため、モデルの力制御系は不安定です` +
        (c.designStable ? '（設計は安定です）' : '');
    }
    text += '。' + springJa(c);
    const [position, force] = c.originUnused;
    if (position || force) {
      text += `α = 0 の${position && force ? '両方の制御系' : position ? '位置制御系' : '力制御系'}では、原点の ○ は` +
        'ループが使わない積分の状態 (Ki = 0) で、安定限界を示すものではありません。';
    }
    return text + agreementJa(error, none);
  }

  // --- the loops' frequency response and root locus ---
  // one curve's reading {dB, deg} (texts already rounded) or null: outside its range
  const readingEn = (r) => (r ? `${r.dB} dB, ${r.deg}°` : 'none here');
  const readingJa = (r) => (r ? `${r.dB} dB、${r.deg}°` : 'この周波数ではなし');
  // a loop's readings {designed, model, sampled}
  function loopReadingEn(l) {
    return `designed ${readingEn(l.designed)}, model ${readingEn(l.model)}` +
      (l.sampled ? `, sampled ${readingEn(l.sampled)}` : '');
  }
  function loopReadingJa(l) {
    return `設計 ${readingJa(l.designed)}、モデル ${readingJa(l.model)}` + (l.sampled ? `、サンプル値系 ${readingJa(l.sampled)}` : '');
  }
  const locusNames = {
    fn2: ['fn2', 'fn2'], alpha2: ['α2', 'α2'], ratio: ['the stiffness ratio r', '剛性比 r'], period: ['the control period T', '制御周期 T'],
  };
  const locusUnits = { fn2: ' Hz', alpha2: ' 1/s', ratio: '', period: ' s' };
  const shortNumber = (v) => String(Number(v.toPrecision(4)));
  function locusCaptionEn(q, current) {
    const value = `${shortNumber(current)}${locusUnits[q]}`;
    const ends = 'from a tenth to ten times its value (the ends labelled x0.1 and x10)';
    if (q === 'period') {
      return `The rings are the sampled force loop's poles z now, the line where they go as the control period T goes ${ends}, ` +
        `${value} now, the gains and r kept; pins' poles in their colours; an end outside the view is unlabelled. With both poles inside the unit circle ` +
        '(dashed) the sampled loop, linearized about the start and without the servo lag, is stable.';
    }
    const poly = "the roots of the model's Kv s² + r (Kp − 1) s + r Ki (r = 1 without contact=spring)";
    if (q === 'ratio') {
      return `The rings are the force loop's model poles now, ${poly}; the line is where they go as r, the stiffness ratio ` +
        `linearized about the start (the measured force's growth per newton of command there), goes ${ends}, ${value} now, ` +
        "put straight into the polynomial, the gains kept; pins' poles in their colours.";
    }
    return `The rings are the force loop's model poles now, ${poly}; the line is where they go as ${locusNames[q][0]} goes ` +
      `${ends}, ${value} now, the gains designed anew from it, the other values kept; pins' poles in their colours. ` +
      'These are the model\'s two poles, not the three designed ones.';
  }
  function locusCaptionJa(q, current) {
    const value = `${shortNumber(current)}${locusUnits[q]}`;
    const ends = '現在の値の 1/10 倍から 10 倍まで（端に x0.1 と x10 の印）';
    if (q === 'period') {
      return `○ は現在のサンプル値系の力制御系の極 z、線は制御周期 T（現在 ${value}）を${ends}変えたときの極の動きです` +
        '（ゲインと r はそのまま、ピンの極はその色、表示範囲外の端は印なし）。2 つの極が単位円（破線）の内側にあれば、' +
        '開始点のまわりで線形化したサンプル値系（サーボの遅れを含まない）は安定です。';
    }
    const poly = 'モデルの Kv s² + r (Kp − 1) s + r Ki の根（contact=spring 以外では r = 1）';
    if (q === 'ratio') {
      return `○ は現在の力制御系のモデルの極で、${poly}です。線は、開始点のまわりで線形化した剛性比 r（そこでの指令 1 N あたりの` +
        `測定力の増え方、現在 ${value}）を${ends}多項式に直接入れて変えたときの極の動きです（ゲインはそのまま、ピンの極はその色）。`;
    }
    return `○ は現在の力制御系のモデルの極で、${poly}です。線は ${locusNames[q][1]}（現在 ${value}）を${ends}変え、` +
      'ゲインをそこから設計し直したときの極の動きです（他の値はそのまま、ピンの極はその色）。設計の 3 つの極ではなく、' +
      'モデルの 2 つの極です。';
  }
  // why a locus is none, in Japanese: the core's English reason (study/root_locus.cpp) recognised by its start
  function locusNoneJa(why, quantity, current) {
    const reasons = [
      ['the stiffness ratio r enters', '剛性比 r が力制御系に入るのは contact=spring のときだけです'],
      ['the force loop is sampled', '力制御系がサンプルされるのは contact=spring で制御周期があるときだけです'],
      ['the start of the contour is out of reach', '経路の始点に届かず、剛性比 r がありません'],
    ];
    for (const [start, ja] of reasons) if (why.startsWith(start)) return `根軌跡なし：${ja}。`;
    if (/no range of a tenth to ten times it$/.test(why) && quantity in locusNames) {
      return `根軌跡なし：${locusNames[quantity][1]} が ${current} で、1/10〜10 倍の範囲がとれません。`;
    }
    return `根軌跡なし：${why}。`;
  }
  function freqCaptionEn(sampled) {
    return 'Dashed: the response the gains were designed for, (Kv s² + Kp s + Ki) / (s³ + Kv s² + Kp s + Ki), a PID ' +
      'control of a unit mass. Solid: the loop the model integrates. The force loop from Fn to the force is ' +
      '((Kp − 1) s + Ki) / (Kv s² + (Kp − 1) s + Ki); under contact=spring, to the measured force, ' +
      'r ((Kp − 1) s + Ki) / (Kv s² + r (Kp − 1) s + r Ki), r the stiffness ratio linearized about the start. ' +
      "The position loop's is 1 at every frequency: its law adds ds_r/dt, so its error does not depend on the command. " +
      (sampled ? 'Dotted: the sampled force loop (linearized about the start, without the servo lag), command and ' +
        'measured force held over each control period T, up to the Nyquist frequency 1/(2T). ' : '') +
      "Marked on |H|: the bandwidth, the lowest frequency 3 dB below the 0 Hz value, and the peak, the largest |H| above " +
      "it. Pins: their model (and sampled) responses in their colours.";
  }
  function freqCaptionJa(sampled) {
    return '破線：ゲインの設計が意図した応答 (Kv s² + Kp s + Ki) / (s³ + Kv s² + Kp s + Ki)（単位質量の PID 制御）。' +
      '実線：モデルが積分するループ。力制御系の Fn から力への応答は ((Kp − 1) s + Ki) / (Kv s² + (Kp − 1) s + Ki)、' +
      'contact=spring では測定力への r ((Kp − 1) s + Ki) / (Kv s² + r (Kp − 1) s + r Ki)（r は開始点のまわりで線形化した剛性比）です。' +
      '位置制御系のモデルはすべての周波数で 1 です（制御則が ds_r/dt を加えるため、誤差は指令によりません）。' +
      (sampled ? '点線：サンプル値系の力制御系（開始点のまわりで線形化、サーボの遅れは含まない。指令と測定力を制御周期 T ごとに保持）、' +
        'ナイキスト周波数 1/(2T) まで。' : '') +
      '|H| の印：帯域幅（0 Hz の値より 3 dB 下がる最も低い周波数）とピーク（0 Hz の値を超える最大の |H|）。ピンはそのモデル（とサンプル）の応答をその色で示します。';
  }

  // key: [English, Japanese]; a function takes the numbers it names
  // --- the design map's caption and hover (m: hybridsim.designMap()) ---
  const mapOther = (name) => (name === 'alpha2' ? 'α2' : 'ζ2');
  const mapNumber = (v) => (v === null || !Number.isFinite(v) ? null : Number(v.toPrecision(3)).toString());
  function designMapCaptionEn(m) {
    let text = `Each cell: the ${m.figure.title} of the model's force step with that cell's fn2 and ` +
      `${mapOther(m.y.name)} and every other setting as it is, computed in closed form from the model's ` +
      'characteristic polynomial Kv s² + (Kp − 1) s + Ki (not the designed (s² + 2ζωn s + ωn²)(s + α)), over the run\'s time and ' +
      'read as the run\'s summary reads the recorded force. Hatched grey: none, where the summary says none ' +
      '(not within 2 % of Fn at the run\'s end, or never at 90 % of Fn, or Fn = 0). ';
    if (m.spring) {
      text += 'Under contact=spring each cell is the measured force\'s step of the loop linearized about the start\'s ' +
        'rest state, Kv s² + r (Kp − 1) s + r Ki, without the servo lag' +
        (m.sampled ? ' and without the sampling of the control period' : '') + ': the run may differ. ';
    }
    text += m.checked.length > 0 ? `Outlined: the designs that meet ${m.checked.join(', ')}. `
      : 'A goal on the force step (overshoot, settling, rise or peak) outlines the designs that meet it. ';
    if (m.leftOut.length > 0) text += `Not checked here (no figure of the force step): ${m.leftOut.join(', ')}. `;
    return text + `Drag the ring, click the map or use the arrow keys on the ring to set fn2 and ${mapOther(m.y.name)}.`;
  }
  function designMapCaptionJa(m) {
    let text = `各セルは、そのセルの fn2 と ${mapOther(m.y.name)}（ほかの設定はそのまま）でのモデルの力のステップ応答の` +
      `${mapFigureJa[m.figure.column]}です。設計の特性多項式 (s² + 2ζωn s + ωn²)(s + α) ではなく、モデルの特性多項式 ` +
      'Kv s² + (Kp − 1) s + Ki から応答を実行時間にわたり閉じた式で求め、実行のまとめが記録された力を読むのと同じように' +
      '読んでいます。灰色の斜線は、まとめが none とする値です（実行の終わりに Fn の 2 % 以内にない、または Fn の 90 % に' +
      '届かない、または Fn = 0）。';
    if (m.spring) {
      text += 'contact=spring では、各セルは開始点の静止状態のまわりで線形化したループ Kv s² + r (Kp − 1) s + r Ki の' +
        '測定力のステップ応答です。サーボの遅れ' + (m.sampled ? 'と制御周期のサンプリング' : '') +
        'は含みません。実行とは異なることがあります。';
    }
    text += m.checked.length > 0 ? `囲んだ領域は ${m.checked.join('、')} を満たす設計です。`
      : '力のステップ応答の目標（オーバーシュート、整定時間、立ち上がり時間、ピーク）を置くと、それを満たす設計を囲みます。';
    if (m.leftOut.length > 0) text += `ここでは確かめない目標（力のステップ応答の数値でない）：${m.leftOut.join('、')}。`;
    return text + `リングのドラッグ、マップのクリック、リング上の矢印キーで fn2 と ${mapOther(m.y.name)} を設定できます。`;
  }
  // the figures' names without their units, for Japanese sentences
  const mapFigureJa = { overshoot_pct: 'オーバーシュート', settling_t_s: '整定時間', force_rise_t_s: '立ち上がり時間' };
  const mapValueJa = (figure, v) => (mapNumber(v) === null ? 'なし' : `${mapNumber(v)}${figure.unit === '%' ? ' %' : ' ' + figure.unit}`);
  const mapValueEn = (figure, v) => (mapNumber(v) === null ? 'none' : `${mapNumber(v)}${figure.unit === '%' ? ' %' : ' ' + figure.unit}`);

  const table = {
    title: ['hybridsim: motion/force hybrid control', 'hybridsim：運動・力ハイブリッド制御'],
    subtitle: ['motion/force hybrid control', '運動・力ハイブリッド制御'],
    openTask: ['Open task file…', 'タスクファイルを開く…'],
    saveTask: ['Save task file', 'タスクファイルを保存'],
    downloadCsv: ['Download CSV', 'CSV をダウンロード'],
    downloadPng: ['Download frame PNG', 'フレームを PNG でダウンロード'],
    copyLink: ['Copy link', 'リンクをコピー'],
    downloadGif: ['Download animation', 'アニメーションをダウンロード'],
    lessons: ['Lessons', 'レッスン'],
    openLesson: ['Open lesson', 'レッスンを開く'],
    closeLesson: ['Close lesson', 'レッスンを閉じる'],
    lessonTitle: [(n, title) => `Lesson ${n}: ${title}`, (n, title) => `レッスン ${n}：${title}`],
    loops: ['Control loops: the force step and the poles', '制御ループ：力のステップ応答と極'],
    loopsWholeRun: ['Show the whole run', '全時間を表示'],
    loopsZoom: ['Show the first five time constants', '時定数の 5 倍までを表示'],
    loopsCaption: [loopsCaptionEn, loopsCaptionJa],
    loopsUndo: ['Undo drag', 'ドラッグを元に戻す'],
    poleHandlePair: [(n) => `${n === 1 ? 'position' : 'force'} loop ${n}: the designed pair, fn${n} and ζ${n}`,
                     (n) => `${n === 1 ? '位置' : '力'}制御系 ${n}：設計した極対、fn${n} と ζ${n}`],
    poleHandleAlpha: [(n) => `${n === 1 ? 'position' : 'force'} loop ${n}: the designed pole −α${n}`,
                      (n) => `${n === 1 ? '位置' : '力'}制御系 ${n}：設計した極 −α${n}`],
    poleValuePair: [(n, fn, zeta) => `fn${n} ${fn} Hz, ζ${n} ${zeta}`, (n, fn, zeta) => `fn${n} ${fn} Hz、ζ${n} ${zeta}`],
    poleValueAlpha: [(n, alpha) => `α${n} ${alpha} 1/s`, (n, alpha) => `α${n} ${alpha} 1/s`],
    help: ['Help', 'ヘルプ'],
    goals: ['Goals', '目標'],
    goalName: ['figure of the run summary', '実行のまとめの数値'],
    goalOp: ['comparison', '比較'],
    goalValue: ['value', '値'],
    addGoal: ['Add goal', '目標を追加'],
    removeGoal: [(goal) => `Remove goal ${goal}`, (goal) => `目標 ${goal} を外す`],
    noGoals: ['No goal yet: choose a figure, a comparison and a value.', '目標はまだありません：数値、比較、値を選んでください。'],
    goalsPass: [(n) => (n === 1 ? 'The goal is met.' : `All ${n} goals are met.`), (n) => `${n} 個の目標をすべて満たしています。`],
    goalsFail: [(failed, n) => `${failed} of ${n} goals ${failed === 1 ? 'is' : 'are'} not met.`,
                (failed, n) => `${n} 個の目標のうち ${failed} 個を満たしていません。`],
    goalAdded: [(goal) => `Added the goal ${goal}.`, (goal) => `目標 ${goal} を追加しました。`],
    goalNoValue: [(unit) => `Type the goal's value${unit ? ' in ' + unit : ''}, such as 5.`,
                  (unit) => `目標の値を${unit ? ' ' + unit + ' 単位で' : ''}入力してください（例：5）。`],
    goalNotNumber: [(typed, unit) => `“${typed}” is not a number: type the goal's value${unit ? ' in ' + unit : ''} ` +
                      'with digits, such as 5 or 0.25.',
                    (typed, unit) => `「${typed}」は数値ではありません。目標の値を${unit ? ' ' + unit + ' 単位の' : ''}` +
                      '半角数字（5 や 0.25 など）で入力してください。'],
    goalsFull: [(n) => `At most ${n} goals are kept: remove one first.`,
                (n) => `目標は ${n} 個までです。先に 1 つ外してください。`],
    goalRefused: [(why) => `The goal was not added: ${why}`, (why) => `目標を追加できません：${why}`],
    gifCancel: ['Cancel', '中止'],
    gifBarLabel: ['the animation being made', '作成中のアニメーション'],
    gifCount: [(done, total) => `frame ${done} of ${total}`, (done, total) => `フレーム ${done}（全 ${total}）`],
    gifCancelled: ['The animation was cancelled.', 'アニメーションの作成を中止しました。'],
    gifFailed: [(why) => `The animation could not be made: ${why}`, (why) => `アニメーションを作成できません：${why}`],
    copyLinkTitle: ['the address of this run, to the clipboard', 'この実行を開くアドレスをクリップボードへ'],
    // the language button names the other language in its own words
    otherLanguage: ['日本語', 'English'],
    otherLanguageCode: ['ja', 'en'],
    languageHint: ['the page in Japanese', 'ページを英語で表示'],
    canvas: ['the robot, the workpiece and the time graphs', 'ロボット、物体と時間グラフ'],
    first: ['first sample (Home)', '最初のサンプル (Home)'],
    back: ['one sample back (Left)', '1 サンプル戻る (Left)'],
    playTitle: ['play / pause (Space)', '再生 / 一時停止 (Space)'],
    forward: ['one sample on (Right)', '1 サンプル進む (Right)'],
    last: ['last sample (End)', '最後のサンプル (End)'],
    slower: ['half the speed (-)', '速度を半分に (-)'],
    faster: ['twice the speed (+)', '速度を 2 倍に (+)'],
    play: ['Play', '再生'],
    pause: ['Pause', '一時停止'],
    slider: ['time: the sample shown', '時間：表示中のサンプル'],
    readout: [(f, last, t) => `sample ${f} / ${last}, t = ${t} s`, (f, last, t) => `サンプル ${f} / ${last}、t = ${t} s`],
    sliderValue: [(f, last, t) => `sample ${f} of ${last}, t = ${t} s`,
                  (f, last, t) => `サンプル ${f}（全 ${last}）、t = ${t} s`],
    speed: [(x) => `speed ×${x}`, (x) => `速度 ×${x}`],
    pin: ['Pin', 'ピン留め'],
    pinTitle: ['pin the run shown (p)', '表示中の実行をピン留め (p)'],
    clearPins: ['Clear pins', 'ピンをすべて外す'],
    clearPinsTitle: ['remove every pin (P)', 'すべてのピンを外す (P)'],
    resetDefaults: ['Reset to defaults', '初期値に戻す'],
    overlay: ['Forces and frames', '力と座標系'],
    // the picture in words, the goals' changes said, the tables, the sound (access.js, force_sound.js)
    describeShown: ['Picture in words', '図を言葉で表示'],
    forceSound: ['Force error as sound', '力の誤差を音で聞く'],
    noSound: ['(this browser plays no sound)', '（このブラウザーは音を出せません）'],
    goalNowMet: ['Goal now met: ', '目標を満たしました：'],
    goalNowFailed: ['Goal now FAILS: ', '目標を満たさなくなりました：'],
    showAsTable: ['Show as a table', '表で表示'],
    showPolesAsTable: ['Show the poles as a table', '極を表で表示'],
    studyTableCaption: [(sample, t) => `The graphs' values at the cursor: sample ${sample}, t = ${t}`,
      (sample, t) => `カーソルでのグラフの値：サンプル ${sample}、t = ${t}`],
    studyTableRun: ['run', '実行'],
    studyColumn_t: ['t', 't'],
    studyColumn_force: ['F', 'F'],
    studyColumn_springForce: ['Fc (hand spring)', 'Fc（ハンドばね）'],
    studyColumn_Fn: ['Fn', 'Fn'],
    studyColumn_sErr: ['sErr', 'sErr'],
    studyColumn_distance: ['distance tip to workpiece', '先端と物体の距離'],
    studyColumn_tipX: ['tip X', '先端 X'],
    studyColumn_tipY: ['tip Y', '先端 Y'],
    studyColumn_refX: ['command X', '指令点 X'],
    studyColumn_refY: ['command Y', '指令点 Y'],
    loopsTableCaption: ['The poles of both loops [1/s], designed and as the model integrates them',
      '両制御系の極 [1/s]：設計の極と、モデルが積分するループの極'],
    loopsTableLoop: ['loop', '制御系'],
    loopsTableKind: ['poles', '極'],
    loopsTableRe: ['real part', '実部'],
    loopsTableIm: ['imaginary part', '虚部'],
    loopPosition: ['1: tangential position', '位置制御系 1（接線方向の位置）'],
    loopForce: ['2: normal force', '力制御系 2（法線方向の力）'],
    poles_designed: ['designed', '設計'],
    poles_model: ['model', 'モデル'],
    overlayTitle: ['the contact frame, the forces, the hand spring and the reach over the robot (v)',
                   '接触座標系、力、ハンドばね、到達範囲をロボットに重ねる (v)'],
    pinList: ['pins', 'ピン'],
    removePin: [(n) => `Remove pin ${n}`, (n) => `ピン ${n} を外す`],
    studyGraphs: ['Study graphs', '学習用グラフ'],
    fitForce: ['Fit force scale', '力の目盛りを合わせる'],
    forceScale: [(lo, hi) => `Force scale ${lo} to ${hi} N: it stays while settings change and grows when a force ` +
                   'leaves it; reading a task file or Fit force scale fits it to the runs shown.',
                 (lo, hi) => `力の目盛り ${lo}〜${hi} N：設定を変えても変わらず、力がはみ出すと広がります。` +
                   'タスクファイルの読み込みか「力の目盛りを合わせる」で表示中の実行に合わせます。'],
    settingsHead: ['Change the settings', '諸元の変更'],
    report: ['Settings report', '諸元レポート'],
    summary: ['Run summary', '実行のまとめ'],
    dropHint: ['Drop a task file to read it', 'タスクファイルをドロップすると読み込みます'],
    read: [(name) => `Read ${name}.`, (name) => `${name} を読み込みました。`],
    cannotRead: [(name, why) => `${name}: cannot read: ${why}`, (name, why) => `${name}：読み込めません：${why}`],
    droppedNothing: ['Nothing to read was dropped: drop one task file.',
                     '読み込むものがドロップされませんでした。タスクファイルを 1 つドロップしてください。'],
    droppedMany: [(n) => `${n} files were dropped and none was read: drop one task file at a time.`,
                  (n) => `${n} 個のファイルがドロップされたため、どれも読み込みませんでした。1 つずつドロップしてください。`],
    defaultsAgain: ['The task is the built-in default again.', 'タスクを組み込みの初期値に戻しました。'],
    pinned: [(n) => `pinned as pin ${n}.`, (n) => `ピン ${n} として留めました。`],
    pinnedInstead: [(n) => `pinned as pin ${n} in place of the oldest pin.`,
                    (n) => `最も古いピンの代わりにピン ${n} として留めました。`],
    noPicture: ['The picture could not be made.', '画像を作れませんでした。'],
    noStart: [(why) => `The simulator could not start: ${why}`, (why) => `シミュレータを開始できませんでした：${why}`],
    unreachable: [(n) => (n === 0
                    ? 'Robot b cannot reach a point of this task; no sample of this run lacks a posture because of it.'
                    : n === 1
                      ? '1 sample of this run has no posture: robot b cannot reach its point, and it holds not-a-number.'
                      : `${n} samples of this run have no posture: robot b cannot reach their points, and they hold ` +
                        'not-a-number.'),
                  (n) => (n === 0
                    ? 'ロボット b はこのタスクの点に届きませんが、そのために姿勢のないサンプルはありません。'
                    : `この実行の ${n} サンプルは、ロボット b が点に届かないため姿勢がありません。それらのサンプルは非数 (NaN) です。`)],
    methodGains: [(m, g, other) => `Method ${m} brings its own gains: fn1 = ${g.fn1} Hz, α1 = ${g.alpha1} 1/s, ` +
                    `fn2 = ${g.fn2} Hz, α2 = ${g.alpha2} 1/s (method ${other}'s are kept for when you switch back).`,
                  (m, g, other) => `方法${m} にはそれ自身のゲインがあります：fn1 = ${g.fn1} Hz、α1 = ${g.alpha1} 1/s、` +
                    `fn2 = ${g.fn2} Hz、α2 = ${g.alpha2} 1/s（方法${other} のゲインは戻したときのために保存してあります）。`],
    runTooShort: ['The positioning time is longer than the run: only part of the contour is traced.',
                  '位置決め時間が実行の時間より長いため、輪郭の一部だけをたどります。'],
    copied: ['The link is on the clipboard.', 'リンクをクリップボードにコピーしました。'],
    notCopied: ['The link could not be put on the clipboard: copy it from the field below.',
                'リンクをクリップボードにコピーできませんでした。下の欄からコピーしてください。'],
    linkField: ['the link of this run', 'この実行のリンク'],
    linkNotRead: [(why) => `This link was not read (${why}): the built-in default task is shown.`,
                  (why) => `このリンクは読み込みませんでした（${why}）。組み込みの初期値のタスクを表示しています。`],
    linkSkipped: [(n) => `${n === 1 ? 'One part' : n + ' parts'} of this link ${n === 1 ? 'was' : 'were'} skipped; ` +
                    'the rest is applied:',
                  (n) => `このリンクの ${n} 個の項目を読み飛ばし、残りを適用しました：`],
    linkMore: [(n) => `… and ${n} more`, (n) => `…ほか ${n} 個`],
    close: ['Close', '閉じる'],
    // the start card of a first visit
    startTitle: ['New here?', 'はじめての方へ'],
    startWhat: ['hybridsim simulates motion/force hybrid control: a two-axis robot traces the contour of a workpiece ' +
                  'with a probe pressed on it, one loop governing the position along the contour, the other the contact ' +
                  'force. Change a setting and the run is computed again at once, in the picture, the graphs and the figures.',
                'hybridsim は、2軸ロボットが接触子を物体に押し当てて輪郭をなぞる運動・力ハイブリッド制御のシミュレータで、' +
                  '一方の制御系が輪郭に沿う位置を、もう一方が接触力を制御します。' +
                  '設定を変えるとすぐに実行を計算し直し、図、グラフ、数値に示します。'],
    startHelp: ['Help: the Help button at the top of the page. Every lesson: the Lessons menu beside it.',
                'ヘルプはページ上部の「ヘルプ」ボタンから、すべてのレッスンはその横の「レッスン」メニューから開けます。'],
    startLesson: ['Start lesson 1', 'レッスン 1 を始める'],
    // the lesson card
    hint: ['Hint', 'ヒント'],
    pinThisRun: ['Pin this run', 'この実行をピン留め'],
    pinThisRunWhy: ['Before you change anything: pin this run, and it stays in the picture and the graphs to compare with.',
                    '何かを変える前に、この実行をピン留めすると、比べるために図とグラフに残ります。'],
    lessonPinned: [(n) => `Pinned as pin ${n}: now change a setting and compare the two runs.`,
                   (n) => `ピン ${n} として留めました。設定を変えて 2 つの実行を比べてください。`],
    lessonPinnedInstead: [(n) => `Pinned as pin ${n} in place of the oldest pin: now change a setting and compare.`,
                          (n) => `最も古いピンの代わりにピン ${n} として留めました。設定を変えて比べてください。`],
    // Copy link on a page opened from a file
    fileLinkWhy: ['This page was opened from a file on this computer, so a link to it would open only here.',
                  'このページはこのコンピュータのファイルから開かれているため、そのリンクはここでしか開けません。'],
    copyFragment: ['Copy the run alone', '実行の状態だけをコピー'],
    copyFragmentWhat: ['(#v=1…: pasted after the address of this page, wherever the page is put, it opens the same run)',
                       '（#v=1…：このページをどこに置いても、そのアドレスの後ろに貼り付けると同じ実行が開きます）'],
    linkBase: ['or a link on the address of this page on the web:', 'または、Web 上のこのページのアドレスでリンクを作る：'],
    copyWithBase: ['Copy link on this address', 'このアドレスでリンクをコピー'],
    fragmentCopied: ['The run alone (#v=1…) is on the clipboard: paste it after the address of this page.',
                     '実行の状態（#v=1…）をクリップボードにコピーしました。このページのアドレスの後ろに貼り付けてください。'],
    baseCopied: [(at) => `The link on ${at} is on the clipboard.`, (at) => `${at} へのリンクをクリップボードにコピーしました。`],
    baseNotWeb: ['Type the address of this page on the web, beginning with https:// or http://.',
                 'Web 上のこのページのアドレスを https:// か http:// から入力してください。'],
    designMap: ['Design map of the force loop', '力制御系の設計マップ'],
    designMapFigureLabel: ['Colour by', '色分けする数値'],
    designMapFigure_overshoot_pct: ['force overshoot [%]', '力のオーバーシュート [%]'],
    designMapFigure_settling_t_s: ['force settling time [s]', '力の整定時間 [s]'],
    designMapFigure_force_rise_t_s: ['force rise time [s]', '力の立ち上がり時間 [s]'],
    designMapToZeta: ['Show ζ2 instead of α2', 'α2 の代わりに ζ2 を表示'],
    designMapToAlpha: ['Show α2 instead of ζ2', 'ζ2 の代わりに α2 を表示'],
    designMapCaption: [designMapCaptionEn, designMapCaptionJa],
    designMapHover: [(fn, other, y, figure, v) => `fn2 ${mapNumber(fn)} Hz, ${mapOther(other)} ${mapNumber(y)}: ` +
                       `${figure.title} ${mapValueEn(figure, v)}`,
                     (fn, other, y, figure, v) => `fn2 ${mapNumber(fn)} Hz、${mapOther(other)} ${mapNumber(y)}：` +
                       `${mapFigureJa[figure.column]} ${mapValueJa(figure, v)}`],
    designMapPoint: [(fn, other, y) => `The design: fn2 ${mapNumber(fn)} Hz, ${mapOther(other)} ${mapNumber(y)} ` +
                       '(drag, or the arrow keys)',
                     (fn, other, y) => `現在の設計：fn2 ${mapNumber(fn)} Hz、${mapOther(other)} ${mapNumber(y)}（ドラッグまたは矢印キー）`],
    // the loops' frequency response and root locus
    loopsMore: ['Frequency response and root locus', '周波数応答と根軌跡'],
    freqChartLabel: ['Frequency response: Left and Right move the cursor, Shift a decade',
                     '周波数応答：左右キーでカーソルを移動、Shift で 1 ディケード（10 倍）ずつ'],
    freqReadoutNone: ['Move the pointer over the chart, or focus it and press Left or Right, to read the responses at one frequency.',
                      'グラフの上にポインタを置くか、グラフを選んで左右キーを押すと、その周波数での応答が読めます。'],
    freqReadout: [(hz, force, position) => `${hz} Hz: force loop (2) ${loopReadingEn(force)}; position loop (1) ` +
                    `${loopReadingEn(position)}.`,
                  (hz, force, position) => `${hz} Hz：力制御系 (2) ${loopReadingJa(force)}；位置制御系 (1) ` +
                    `${loopReadingJa(position)}。`],
    freqCaption: [freqCaptionEn, freqCaptionJa],
    locusLabel: ['Root locus as it varies:', '根軌跡で変える値：'],
    locusOf_fn2: ['fn2 (force loop)', 'fn2（力制御系）'],
    locusOf_alpha2: ['α2 (force loop)', 'α2（力制御系）'],
    locusOf_ratio: ['r, the stiffness ratio (linearized)', 'r、剛性比（線形化）'],
    locusOf_period: ['T, the control period (sampled loop)', 'T、制御周期（サンプル値系）'],
    locusCaption: [locusCaptionEn, locusCaptionJa],
    locusNone: [(why) => `No root locus: ${why}.`, locusNoneJa],
    // teachers' lessons: the editor, lesson files, the page with lessons, locked settings
    openLessonFile: ['Open lesson file…', 'レッスンファイルを開く…'],
    newLesson: ['New lesson from this state', 'この状態から新しいレッスン'],
    lessonTakes: [(pins, goals, overlay, frame) => `The lesson takes the task, the pins (${pins}), the goals (${goals}), ` +
                    `Forces and frames (${overlay ? 'on' : 'off'}) and the sample shown (${frame}) as they stand now.`,
                  (pins, goals, overlay, frame) => `レッスンには現在のタスク、ピン（${pins} 個）、目標（${goals} 個）、` +
                    `力と座標系（${overlay ? 'オン' : 'オフ'}）、表示中のサンプル（${frame}）がそのまま入ります。`],
    lessonWordsHead: ["Title, text and hint (a language left empty shows the other's words; at least one language needs a title)",
                      'タイトル、本文、ヒント（空の言語にはもう一方の言語の文が入ります。タイトルは少なくとも一方の言語で入力してください）'],
    lessonTitleEn: ['Title in English', 'タイトル（英語）'],
    lessonTitleJa: ['Title in Japanese', 'タイトル（日本語）'],
    lessonTextEn: ['Text in English', '本文（英語）'],
    lessonTextJa: ['Text in Japanese', '本文（日本語）'],
    lessonHintEn: ['Hint in English', 'ヒント（英語）'],
    lessonHintJa: ['Hint in Japanese', 'ヒント（日本語）'],
    lessonPlaceholders: ['Figures in braces are filled in from the runs whenever the card is shown: {overshoot_pct} or any ' +
                           'column of the run summary, {fn2} or any setting by its --set name, {pin1.NAME} of pin 1, ' +
                           '{fix.NAME} of the run with the fix; {NAME:2} gives 2 significant digits, {NAME:1f} 1 decimal.',
                         '波かっこの数値はカードを表示するたびに実行から埋められます：{overshoot_pct} など実行のまとめの列、' +
                           '{fn2} など --set の名前の設定、{pin1.NAME} はピン 1 の、{fix.NAME} は修正を加えた実行の値です。' +
                           '{NAME:2} で有効数字 2 桁、{NAME:1f} で小数 1 桁になります。'],
    lessonFixHead: ['The fix (hidden from the student)', '修正（学生には見えません）'],
    lessonFixLabel: ['The change that should make the goals pass, as NAME=VALUE items (one per line or separated by spaces); ' +
                       'not checked: try it before you hand the lesson out; empty: no change is needed',
                     '目標を満たすはずの変更を NAME=VALUE で（1 行に 1 つ、または空白で区切って）。確かめられませんので、渡す前に試してください。空なら変更は要りません'],
    lessonFreeHead: ['What the student may change', '学生が変えてよい設定'],
    lessonLockOthers: ['Lock the other settings', 'ほかの設定を固定する'],
    lessonFreeNote: ['Off: every setting stays free. On: only the settings ticked here may change.',
                     'オフ：すべての設定を変えられます。オン：ここでチェックした設定だけを変えられます。'],
    lessonFreeLabel: ['settings the student may change', '学生が変えてよい設定'],
    lessonAdd: ['Add to the lessons', 'レッスンに加える'],
    lessonAdded: [(n) => `Added as lesson ${n} of the Lessons menu.`, (n) => `レッスンの一覧にレッスン ${n} として加えました。`],
    lessonPreview: ['The card as the student reads it', '学生が読むカード'],
    lessonPreviewHint: [(hint) => `Hint: ${hint}`, (hint) => `ヒント：${hint}`],
    lessonFileRule: ['Save lesson file and Download page hold every lesson of yours in the Lessons menu (made here or read ' +
                       "from a lesson file since the page opened), in the menu's order; Copy link holds this lesson alone.",
                     'レッスンファイルの保存とページのダウンロードには、レッスンの一覧にある自分のレッスン（ページを開いてから' +
                       'ここで作ったもの、レッスンファイルから読んだもの）すべてが一覧の順に入ります。リンクのコピーはこのレッスンだけです。'],
    saveLessonFile: ['Save lesson file', 'レッスンファイルを保存'],
    copyLessonLink: ['Copy link', 'リンクをコピー'],
    saveLessonPage: ['Download page with this lesson', 'このレッスンを入れたページをダウンロード'],
    lessonFileSaved: [(n) => `lesson.json holds ${n === 1 ? '1 lesson' : `${n} lessons`}.`,
                      (n) => `lesson.json にレッスンが ${n} 個入っています。`],
    lessonLinkTooLong: [(length, most) => `The link would be ${length} characters long, more than the ${most} a page reads: ` +
                          'hand the lesson out as a file (Save lesson file) or a page instead.',
                        (length, most) => `リンクは ${length} 文字になり、ページが読める ${most} 文字を超えます。` +
                          'ファイル（レッスンファイルを保存）かページで渡してください。'],
    lessonLinkFromFile: ['The link is on the clipboard; this page was opened from a file on this computer, so it opens ' +
                           'only here: hand the lesson out as a file or a page.',
                         'リンクをコピーしました。このページはこのコンピュータのファイルから開いたので、リンクはここでしか開けません。' +
                           'ファイルかページで渡してください。'],
    lessonPageFromSite: ['This page was opened from a file of the site folder, whose other files it cannot read: the page ' +
                           'as one file (hybridsim.html) can make the page with the lessons.',
                         'このページはサイトのフォルダのファイルから開いたので、ほかのファイルを読めません。' +
                           '1 ファイルのページ（hybridsim.html）ならレッスン入りのページを作れます。'],
    lessonPageFailed: [(why) => `The page with the lessons could not be made: ${why}`,
                       (why) => `レッスン入りのページを作れませんでした：${why}`],
    lessonPageSaved: [(n) => `lesson.html holds the page with ${n === 1 ? '1 lesson' : `${n} lessons`}, opening on the first.`,
                      (n) => `lesson.html はレッスンが ${n} 個入ったページで、最初のレッスンを開きます。`],
    lessonsRead: [(n, name) => `${name}: ${n === 1 ? '1 lesson' : `${n} lessons`} read into the Lessons menu.`,
                  (n, name) => `${name}：${n} 個のレッスンをレッスンの一覧に読み込みました。`],
    lockedByLesson: ['locked by the lesson', 'レッスンで固定されています'],
  };

  let language = 'en';
  const at = () => (language === 'ja' ? 1 : 0);

  function t(key, ...args) {
    const words = table[key][at()];
    return typeof words === 'function' ? words(...args) : words;
  }

  // the page's static words in `language` ('en' or 'ja'), <html lang> with them
  function apply(lang) {
    language = lang === 'ja' ? 'ja' : 'en';
    document.documentElement.lang = language;
    document.title = t('title');
    for (const e of document.querySelectorAll('[data-text]')) e.textContent = t(e.dataset.text);
    for (const e of document.querySelectorAll('[data-text-title]')) e.title = t(e.dataset.textTitle);
    for (const e of document.querySelectorAll('[data-text-label]')) e.setAttribute('aria-label', t(e.dataset.textLabel));
    // texts written whole in each language (the help): the one of the language in force
    for (const e of document.querySelectorAll('[data-language]')) e.hidden = e.dataset.language !== language;
    const button = document.getElementById('language');
    if (button) {
      button.textContent = t('otherLanguage');
      button.lang = t('otherLanguageCode');
    }
  }

  global.HybridsimTexts = {
    t,
    apply,
    get language() {
      return language;
    },
    // the keys, for the tests: every one has both languages
    keys: () => Object.keys(table),
  };
})(window);
