// The forms of the entries, one per kind: the fields a builder fills in, read from an entry's
// line and written back as the exact data.cfg line. Pure: the page draws them (app.js).
//
// A kind: {id, part, label, fields, read(fields) -> values, write(values) -> {lines, settings,
// errors}}; lines are the entry lines' fields, settings the A lines the entry needs (an R entry
// for a held command, S for a slowed encoder, Q for a square-law lever).

import { readInput, readOutput } from './cfgmodel.js';

const NUMBER = /^-?(\d+\.?\d*|\.\d+)$/;
const WHOLE = /^\d+$/;
const blank = (v) => v === undefined || v === null || String(v).trim() === '';
const s = (v) => (v === undefined || v === null ? '' : String(v).trim());

// Commands the plug-in always holds while the button is held (no R entry needed).
export function alwaysHeld(name) {
  return ['corvane/starter_ignition', 'engage_starter', 'annunciator/test', 'autopilot/test_auto_annunciators'].some(
    (part) => name.includes(part),
  );
}

function check(errors, ok, message) {
  if (!ok) errors.push(message);
}

// A step with its limits: '0.01+', '0.01+,1', '1+,0,360'. `stop` is the limit of a step that
// stops (the upper one when it adds, the lower one when it subtracts).
function stepValue(v, sign, stop, errors) {
  check(errors, NUMBER.test(s(v.step)) && !s(v.step).startsWith('-'), 'the step is a number, such as 1 or 0.01');
  let out = s(v.step) + sign;
  if (v.limit === 'stop') {
    check(errors, NUMBER.test(s(stop)), 'the limit is a number');
    out += ',' + s(stop);
  } else if (v.limit === 'wrap') {
    check(errors, NUMBER.test(s(v.low)) && NUMBER.test(s(v.high)), 'the wrap range is two numbers');
    out += ',' + s(v.low) + ',' + s(v.high);
  }
  return out;
}

// Reads '1+,0,360' into {step, stepSign, limit, stop, low, high}.
function readStep(values) {
  const parts = values.split(',');
  const step = parts[0].replace(/[+-]$/, '');
  const stepSign = parts[0].endsWith('-') ? '-' : '+';
  if (parts.length >= 3) return { step, stepSign, limit: 'wrap', low: parts[1], high: parts[2] };
  if (parts.length === 2) return { step, stepSign, limit: 'stop', stop: parts[1] };
  return { step, stepSign, limit: 'none' };
}
const isStep = (values) => /[+-]$/.test(values.split(',')[0]);

const ACTIONS = [
  ['command', 'run a command'],
  ['held', 'hold a command while pressed'],
  ['dataref', 'set a dataref to a value'],
  ['step', 'step a dataref'],
];
const LIMITS = [
  ['none', 'no limit'],
  ['stop', 'stop at a limit'],
  ['wrap', 'wrap around a range'],
];

// The action of an input line: name, values and element, by action.
function inputAction(v, errors) {
  check(errors, !blank(v.name), 'give a command or dataref name');
  const out = [s(v.name)];
  if (v.action === 'dataref') {
    if (!blank(v.value) || !blank(v.element)) out.push(blank(v.value) ? '1' : s(v.value));
    if (!blank(v.value)) check(errors, NUMBER.test(s(v.value)), 'the value is a number');
  } else if (v.action === 'step') out.push(stepValue(v, v.stepSign === '-' ? '-' : '+', v.stop, errors));
  if ((v.action === 'dataref' || v.action === 'step') && !blank(v.element)) {
    check(errors, WHOLE.test(s(v.element)) && Number(v.element) >= 1, 'the element is a whole number from 1');
    out.push(s(v.element));
  }
  return out;
}

// ctx.dataref: the name is a dataref (a line with no value may name either).
function readAction(e, ctx) {
  const v = { name: e.name, element: e.element };
  if (e.values && isStep(e.values)) Object.assign(v, { action: 'step' }, readStep(e.values));
  else if (e.values || e.element || ctx.dataref) Object.assign(v, { action: 'dataref', value: e.values });
  else v.action = ctx.heldTags && ctx.heldTags.includes(e.tag) && !alwaysHeld(e.name) ? 'held' : 'command';
  return v;
}

const stepping = (v) => v.action === 'step';
const ACTION_FIELDS = [
  { key: 'action', label: 'What it does', type: 'select', options: ACTIONS },
  { key: 'name', label: 'Command or dataref', type: 'name', nameKind: (v) => (v.action === 'command' || v.action === 'held' ? 'command' : 'dataref') },
  { key: 'value', label: 'Value to write', type: 'text', show: (v) => v.action === 'dataref', placeholder: '1' },
  { key: 'step', label: 'Step', type: 'text', show: stepping, placeholder: '1' },
  { key: 'stepSign', label: 'Each step', type: 'select', options: [['+', 'adds (+)'], ['-', 'subtracts (-)']], show: stepping },
  { key: 'limit', label: 'Limit', type: 'select', options: LIMITS, show: stepping },
  { key: 'stop', label: 'Stop at', type: 'text', show: (v) => stepping(v) && v.limit === 'stop' },
  { key: 'low', label: 'Range from', type: 'text', show: (v) => stepping(v) && v.limit === 'wrap' },
  { key: 'high', label: 'Range to', type: 'text', show: (v) => stepping(v) && v.limit === 'wrap' },
  { key: 'element', label: 'Array element (from 1)', type: 'text', show: (v) => v.action === 'dataref' || stepping(v) },
];

const pinCheck = (errors, v, what = 'pin') =>
  check(errors, WHOLE.test(s(v.number)) && Number(v.number) <= 255, `the ${what} is a whole number`);

// ---- Inputs ----

const button = {
  id: 'button',
  part: 'I',
  label: 'Button or switch position',
  learn: 'press',
  fields: [
    { key: 'letter', label: 'Contact', type: 'select', options: [['D', 'a pin (D)'], ['B', 'a matrix button (B)']] },
    { key: 'number', label: 'Pin or button number', type: 'text', inputmode: 'numeric' },
    { key: 'sign', label: 'When', type: 'select', options: [['+', 'pressed / switched on (+)'], ['-', 'released / switched off (-)']] },
    ...ACTION_FIELDS,
    { key: 'repeat', label: 'Repeat while held', type: 'check', show: (v) => v.action === 'dataref' || v.action === 'step' },
  ],
  read(fields, ctx = {}) {
    const e = readInput(fields);
    const v = { letter: e.letter || 'D', number: e.number ?? '', sign: e.sign || '+', group: e.group, ...readAction(e, ctx) };
    v.repeat = !!(ctx.heldTags && ctx.heldTags.includes(e.tag) && v.action !== 'held' && v.action !== 'command');
    return v;
  },
  write(v) {
    const errors = [];
    pinCheck(errors, v);
    const tag = s(v.letter) + s(v.number) + (v.group ? '/' + v.group : '') + v.sign;
    const line = [tag, ...inputAction(v, errors)];
    const settings = [];
    if ((v.action === 'held' && !alwaysHeld(s(v.name))) || (v.repeat && v.sign === '+')) settings.push(['R', tag]);
    return { lines: [line], settings, errors, heldTag: settings.length ? tag : null };
  },
};

// A switch: both positions, one line each (added together; each line is then edited alone).
const toggle = {
  id: 'switch',
  part: 'I',
  label: 'Switch (both positions)',
  learn: 'switch',
  addOnly: true,
  fields: [
    { key: 'number', label: 'Pin', type: 'text', inputmode: 'numeric' },
    { key: 'action', label: 'What it does', type: 'select', options: [['dataref', 'set a dataref'], ['command', 'run a command each way']] },
    { key: 'name', label: 'Dataref, or the command when switched on', type: 'name', nameKind: (v) => (v.action === 'command' ? 'command' : 'dataref') },
    { key: 'offName', label: 'Command when switched off', type: 'name', nameKind: () => 'command', show: (v) => v.action === 'command' },
    { key: 'on', label: 'Value when on', type: 'text', placeholder: '1', show: (v) => v.action === 'dataref' },
    { key: 'off', label: 'Value when off', type: 'text', placeholder: '0', show: (v) => v.action === 'dataref' },
    { key: 'element', label: 'Array element (from 1)', type: 'text', show: (v) => v.action === 'dataref' },
  ],
  read() {
    return { number: '', action: 'dataref', on: '1', off: '0' };
  },
  write(v) {
    const errors = [];
    pinCheck(errors, v);
    check(errors, !blank(v.name), 'give a dataref or command name');
    const tag = (sign) => 'D' + s(v.number) + sign;
    if (v.action === 'command') {
      check(errors, !blank(v.offName), 'give the command for the off position');
      return { lines: [[tag('+'), s(v.name)], [tag('-'), s(v.offName)]], settings: [], errors };
    }
    const on = blank(v.on) ? '1' : s(v.on);
    const off = blank(v.off) ? '0' : s(v.off);
    check(errors, NUMBER.test(on) && NUMBER.test(off), 'the values are numbers');
    const el = blank(v.element) ? [] : [s(v.element)];
    return { lines: [[tag('+'), s(v.name), on, ...el], [tag('-'), s(v.name), off, ...el]], settings: [], errors };
  },
};

const encoderFields = [
  { key: 'number', label: 'Pin (A; B is the next pin)', type: 'text', inputmode: 'numeric' },
  { key: 'second', label: 'Second kind (one step per half cycle: e)', type: 'check' },
  { key: 'group', label: 'Mode (1 to 9, for one encoder of several settings; empty for none)', type: 'text', inputmode: 'numeric' },
];

const encoder = {
  id: 'encoder',
  part: 'I',
  label: 'Rotary encoder',
  learn: 'turn',
  addOnly: true,
  fields: [
    ...encoderFields,
    { key: 'upSign', label: 'Turning up reports', type: 'select', options: [['+', '+ (A ahead of B)'], ['-', '-']] },
    { key: 'action', label: 'What it does', type: 'select', options: [['step', 'step a dataref'], ['command', 'run a command per step']] },
    { key: 'name', label: 'Dataref, or the command turning up', type: 'name', nameKind: (v) => (v.action === 'command' ? 'command' : 'dataref') },
    { key: 'downName', label: 'Command turning down', type: 'name', nameKind: () => 'command', show: (v) => v.action === 'command' },
    { key: 'step', label: 'Step', type: 'text', placeholder: '1', show: (v) => v.action === 'step' },
    { key: 'limit', label: 'Range', type: 'select', options: LIMITS, show: (v) => v.action === 'step' },
    { key: 'low', label: 'Lowest value', type: 'text', show: (v) => v.action === 'step' && v.limit !== 'none' },
    { key: 'high', label: 'Highest value', type: 'text', show: (v) => v.action === 'step' && v.limit !== 'none' },
    { key: 'element', label: 'Array element (from 1)', type: 'text', show: (v) => v.action === 'step' },
    { key: 'slow', label: 'Steps per count (S entry: count one in so many)', type: 'text', inputmode: 'numeric' },
  ],
  read() {
    return { number: '', upSign: '+', action: 'step', step: '1', limit: 'none' };
  },
  write(v) {
    const errors = [];
    pinCheck(errors, v);
    check(errors, blank(v.group) || /^[1-9]$/.test(s(v.group)), 'the mode is a digit from 1 to 9');
    const base = (v.second ? 'e' : 'E') + s(v.number) + (blank(v.group) ? '' : '/' + s(v.group));
    const up = v.upSign === '-' ? '-' : '+';
    const down = up === '+' ? '-' : '+';
    const lines = [];
    if (v.action === 'command') {
      check(errors, !blank(v.name) && !blank(v.downName), 'give the commands of both directions');
      lines.push([base + up, s(v.name)], [base + down, s(v.downName)]);
    } else {
      check(errors, !blank(v.name), 'give a dataref name');
      const el = blank(v.element) ? [] : [s(v.element)];
      // The step's sign says whether it adds (+) or subtracts (-); the tag's sign is the turn's.
      lines.push([base + up, s(v.name), stepValue(v, '+', v.high, errors), ...el]);
      lines.push([base + down, s(v.name), stepValue(v, '-', v.low, errors), ...el]);
    }
    const settings = [];
    if (!blank(v.slow)) {
      check(errors, WHOLE.test(s(v.slow)) && Number(v.slow) >= 1, 'the steps per count are a whole number');
      settings.push(['S', 'E' + s(v.number) + ',' + s(v.slow)]);
    }
    return { lines, settings, errors };
  },
};

// One encoder line (the page adds encoders two lines at a time; each is edited alone).
const encoderLine = {
  id: 'encoder-line',
  part: 'I',
  label: 'Encoder, one direction',
  learn: 'turn',
  fields: [
    ...encoderFields,
    { key: 'sign', label: 'Direction reported', type: 'select', options: [['+', '+'], ['-', '-']] },
    ...ACTION_FIELDS.filter((f) => f.key !== 'value').map((f) =>
      f.key === 'action' ? { ...f, options: [['command', 'run a command per step'], ['step', 'step a dataref']] } : f,
    ),
  ],
  read(fields, ctx = {}) {
    const e = readInput(fields);
    const v = { number: e.number ?? '', second: e.small, group: e.group ?? '', sign: e.sign || '+', ...readAction(e, ctx) };
    if (v.action === 'dataref') Object.assign(v, e.values ? { action: 'step', step: e.values, stepSign: '+', limit: 'none' } : { action: 'command' });
    return v;
  },
  write(v) {
    const errors = [];
    pinCheck(errors, v);
    check(errors, blank(v.group) || /^[1-9]$/.test(s(v.group)), 'the mode is a digit from 1 to 9');
    const tag = (v.second ? 'e' : 'E') + s(v.number) + (blank(v.group) ? '' : '/' + s(v.group)) + v.sign;
    return { lines: [[tag, ...inputAction(v, errors)]], settings: [], errors };
  },
};

const lever = {
  id: 'lever',
  part: 'I',
  label: 'Analog lever',
  learn: 'move',
  fields: [
    { key: 'number', label: 'Analog channel (A0 is 0)', type: 'text', inputmode: 'numeric' },
    { key: 'name', label: 'Dataref', type: 'name', nameKind: () => 'dataref' },
    { key: 'low', label: 'Value at one end', type: 'text', placeholder: '0' },
    { key: 'high', label: 'Value at the other end', type: 'text', placeholder: '1' },
    { key: 'element', label: 'Array element (from 1)', type: 'text' },
    { key: 'threshold', label: 'Threshold, thousandths of travel (board setting)', type: 'text' },
    { key: 'from', label: 'Travel starts at % (board setting)', type: 'text' },
    { key: 'to', label: 'Travel ends at % (board setting)', type: 'text' },
    { key: 'square', label: 'Square law (Q entry)', type: 'check' },
  ],
  read(fields, ctx = {}) {
    const e = readInput(fields);
    const [low = '', high = ''] = e.values.split(',');
    return {
      number: e.number ?? '', name: e.name, low, high, element: e.element,
      threshold: e.settings[0] || '', from: e.settings[1] || '', to: e.settings[2] || '',
      square: !!(ctx.squareTags && ctx.squareTags.includes(e.tag)), rest: e.sign + e.rest,
    };
  },
  write(v) {
    const errors = [];
    check(errors, WHOLE.test(s(v.number)) && Number(v.number) <= 15, 'the channel is a whole number from 0 to 15');
    check(errors, !blank(v.name), 'give a dataref name');
    const low = blank(v.low) ? '0' : s(v.low);
    const high = blank(v.high) ? '1' : s(v.high);
    check(errors, NUMBER.test(low) && NUMBER.test(high), 'the two ends are numbers');
    const tag = 'A' + s(v.number) + (v.rest || '');
    const line = [tag, s(v.name), low + ',' + high];
    const settings = [s(v.threshold), s(v.from), s(v.to)];
    while (settings.length && !settings[settings.length - 1]) settings.pop();
    for (const x of settings) check(errors, WHOLE.test(x), 'the board settings are whole numbers');
    if (settings.length || !blank(v.element)) line.push(blank(v.element) ? '1' : s(v.element));
    line.push(...settings);
    return { lines: [line], settings: v.square ? [['Q', tag]] : [], errors, squareTag: v.square ? tag : null };
  },
};

// ---- Outputs ----

const datarefFields = [
  { key: 'dataref', label: 'Dataref', type: 'name', nameKind: () => 'dataref' },
  { key: 'element', label: 'Array element (from 1)', type: 'text', placeholder: '1' },
];

function outputHead(v, letter, errors) {
  pinCheck(errors, v);
  check(errors, !blank(v.dataref), 'give a dataref name');
  const precision = blank(v.precision) ? '0' : s(v.precision);
  check(errors, /^-?\d+$/.test(precision), 'the precision is a whole number of decimals (0 for whole numbers)');
  return [s(v.number) + letter, precision, s(v.dataref)];
}
const element = (v) => (blank(v.element) ? '1' : s(v.element));

const lamp = {
  id: 'lamp',
  part: 'O',
  label: 'LED',
  fields: [
    { key: 'letter', label: 'Lamp', type: 'select', options: [['L', 'on a pin (L)'], ['l', 'on the LED port (l)']] },
    { key: 'number', label: 'Pin, or LED number on the port (1 to 64)', type: 'text', inputmode: 'numeric' },
    ...datarefFields,
    {
      key: 'lit', label: 'Lit when the value', type: 'select',
      options: [['one', 'is exactly 1'], ['value', 'is exactly …'], ['between', 'lies from … to …'], ['table', 'maps to exactly 1 (ranges)']],
    },
    { key: 'at', label: 'Value that lights it', type: 'text', show: (v) => v.lit === 'value' },
    { key: 'low', label: 'From', type: 'text', show: (v) => v.lit === 'between' },
    { key: 'high', label: 'To', type: 'text', show: (v) => v.lit === 'between' },
    { key: 'range1', label: 'Dataref values (comma-separated)', type: 'text', show: (v) => v.lit === 'table' },
    { key: 'range2', label: 'Output values (comma-separated)', type: 'text', show: (v) => v.lit === 'table' },
  ],
  read(fields) {
    const e = readOutput(fields);
    const v = { letter: e.letter === 'l' ? 'l' : 'L', number: e.number ?? '', precision: e.precision, dataref: e.dataref, element: e.element };
    if (!e.range1) v.lit = 'one';
    else if (!e.range2 && !e.range1.includes(',')) Object.assign(v, { lit: 'value', at: e.range1 });
    else if (!e.range1.includes(',') && !e.range2.includes(',')) Object.assign(v, { lit: 'between', low: e.range1, high: e.range2 });
    else Object.assign(v, { lit: 'table', range1: e.range1, range2: e.range2 });
    return v;
  },
  write(v) {
    const errors = [];
    const line = outputHead(v, v.letter === 'l' ? 'l' : 'L', errors);
    if (v.lit === 'one') {
      if (!blank(v.element) && s(v.element) !== '1') line.push(s(v.element));
    } else if (v.lit === 'value') {
      check(errors, NUMBER.test(s(v.at)), 'the value that lights it is a number');
      line.push(element(v), s(v.at));
    } else if (v.lit === 'between') {
      check(errors, NUMBER.test(s(v.low)) && NUMBER.test(s(v.high)), 'from and to are numbers');
      line.push(element(v), s(v.low), s(v.high));
    } else {
      check(errors, s(v.range1).split(',').length === s(v.range2).split(',').length, 'both ranges have as many values');
      line.push(element(v), s(v.range1), s(v.range2));
    }
    return { lines: [line], settings: [], errors };
  },
};

const OPTIONS = [
  ['d', 'fixed point (d)'],
  ['z', 'leading zeros (z)'],
  ['f', 'no lone leading zero (f)'],
  ['e', 'dashes for zero (e)'],
  ['r', 'digits reversed (r)'],
  ['c', 'common anode (c)'],
];

const display = {
  id: 'display',
  part: 'O',
  label: '7-segment display',
  fields: [
    { key: 'number', label: 'Pin (its LOAD)', type: 'text', inputmode: 'numeric' },
    { key: 'precision', label: 'Precision (decimals)', type: 'text', placeholder: '0' },
    ...datarefFields,
    { key: 'digits', label: 'Digits (1 to 8)', type: 'text', inputmode: 'numeric' },
    { key: 'point', label: 'Digits before the point (0: no point)', type: 'text', inputmode: 'numeric' },
    ...OPTIONS.map(([key, label]) => ({ key: 'opt_' + key, label, type: 'check' })),
  ],
  read(fields) {
    const e = readOutput(fields);
    const v = { number: e.number ?? '', precision: e.precision, dataref: e.dataref, element: e.element, digits: e.range1, point: e.range2 };
    for (const [k] of OPTIONS) v['opt_' + k] = e.extra.includes(k);
    v.other = e.extra.replace(/[dzfer c]/g, '');
    return v;
  },
  write(v) {
    const errors = [];
    const line = outputHead(v, 'N', errors);
    check(errors, /^[1-8]$/.test(s(v.digits)), 'the digits are 1 to 8');
    check(errors, WHOLE.test(s(v.point)) && Number(v.point) <= Number(v.digits), 'the point is 0 to the digit count');
    line.push(element(v), s(v.digits), s(v.point));
    const opts = OPTIONS.map(([k]) => k).filter((k) => v['opt_' + k]).join('') + (v.other || '');
    if (opts) line.push(opts);
    return { lines: [line], settings: [], errors };
  },
};

function rangeOutput(id, label, letterOptions, defaults, extraFields = []) {
  return {
    id,
    part: 'O',
    label,
    fields: [
      ...(letterOptions ? [{ key: 'letter', label: 'Kind', type: 'select', options: letterOptions }] : []),
      { key: 'number', label: id === 'value' ? 'Pin or channel' : 'Pin', type: 'text', inputmode: 'numeric' },
      ...(id === 'value' ? [{ key: 'letter', label: 'Type letter (D, A, T, ...)', type: 'text' }, { key: 'precision', label: 'Precision (decimals)', type: 'text', placeholder: '0' }] : []),
      ...datarefFields,
      { key: 'range1', label: 'Dataref values (comma-separated)', type: 'text', placeholder: defaults.r1 || '' },
      { key: 'range2', label: defaults.r2label || 'Output values (comma-separated)', type: 'text', placeholder: defaults.r2 || '' },
      ...extraFields,
    ],
    read(fields) {
      const e = readOutput(fields);
      return { letter: e.letter, number: e.number ?? '', precision: e.precision, dataref: e.dataref, element: e.element, range1: e.range1, range2: e.range2, steps: e.extra };
    },
    write(v) {
      const errors = [];
      const letter = s(v.letter) || defaults.letter;
      check(errors, /^[A-Za-z]$/.test(letter), 'the type letter is one letter');
      const line = outputHead(v, letter, errors);
      const r1 = s(v.range1), r2 = s(v.range2);
      if (r1 || r2 || !blank(v.steps)) {
        check(errors, !!r1, 'give the dataref values');
        line.push(element(v), r1);
        if (r2 || !blank(v.steps)) line.push(r2 || defaults.r2);
        if (r1 && (r2 || defaults.r2)) check(errors, r1.split(',').length === (r2 || defaults.r2).split(',').length, 'both ranges have as many values');
        if (!blank(v.steps)) {
          check(errors, WHOLE.test(s(v.steps)), 'the steps per revolution are a whole number');
          line.push(s(v.steps));
        }
      } else if (!blank(v.element) && s(v.element) !== '1') line.push(s(v.element));
      return { lines: [line], settings: [], errors };
    },
  };
}

const servo = rangeOutput('servo', 'Servo', null, { letter: 'S', r1: '0,1', r2: '500,2500', r2label: 'Pulse lengths in µs (default 500,2500)' });
const stepper = rangeOutput(
  'stepper', 'Stepper', [['G', 'a needle with a stop (G)'], ['g', 'a card that turns without end (g)']],
  { letter: 'G', r1: '0,200', r2: '0,300', r2label: 'Degrees (comma-separated)' },
  [{ key: 'steps', label: 'Steps per revolution', type: 'text', inputmode: 'numeric' }],
);
const pwm = rangeOutput('pwm', 'Analog output (PWM)', null, { letter: 'P', r1: '0,1', r2: '0,255', r2label: 'Duty 0 to 255 (default 0,255)' });
const value = rangeOutput('value', 'Value or text', null, { letter: 'D' });

// ---- Additional settings ----

const SETTINGS = [
  ['B', 'B: button matrix pins (five numbers)'],
  ['G', 'G: steppers\u2019 direction pin'],
  ['L', 'L: LED port pin'],
  ['N', 'N: 7-segment displays\u2019 common pin'],
  ['T', 'T: tags of a group that takes turns'],
  ['R', 'R: tags that repeat / hold while held'],
  ['S', 'S: encoder tag,count (slowed encoder)'],
  ['Q', 'Q: analog tags with square law'],
];
const setting = {
  id: 'setting',
  part: 'A',
  label: 'Board setting',
  fields: [
    { key: 'letter', label: 'Setting', type: 'select', options: SETTINGS },
    { key: 'args', label: 'Values, separated by blanks', type: 'text' },
  ],
  read(fields) {
    return { letter: (fields[0] || 'B')[0], args: fields.slice(1).join(' ') };
  },
  write(v) {
    const errors = [];
    const args = s(v.args).split(/[ \t]+/).filter(Boolean);
    const counts = { B: 5, G: 1, L: 1, N: 1 };
    if (counts[v.letter]) {
      check(errors, args.length === counts[v.letter] && args.every((a) => WHOLE.test(a)), counts[v.letter] === 1 ? 'give one pin number' : 'give five pin numbers');
    } else check(errors, args.length > 0, 'give at least one tag');
    if (v.letter === 'S') check(errors, args.every((a) => /^[^,]+,\d+$/.test(a)), 'each item is tag,count such as E7,4');
    return { lines: [[v.letter, ...args]], settings: [], errors };
  },
};

// Any line, as text: for the entries no form above knows (mode lamps, the memory, internal names).
const raw = {
  id: 'raw',
  part: null,
  label: 'Line',
  fields: [{ key: 'text', label: 'The line', type: 'text' }],
  read(fields) {
    return { text: fields.join(' ') };
  },
  write(v) {
    return { lines: [s(v.text).split(/[ \t]+/)], settings: [], errors: blank(v.text) ? ['the line is empty'] : [] };
  },
};

export const KINDS = { button, switch: toggle, encoder, 'encoder-line': encoderLine, lever, lamp, display, servo, stepper, pwm, value, setting, raw };
export const ADD_INPUT = ['button', 'switch', 'encoder', 'lever'];
export const ADD_OUTPUT = ['lamp', 'display', 'servo', 'stepper', 'pwm', 'value'];

// The form that edits an existing entry line of part `part` (fields as read from the line).
export function kindOf(part, fields) {
  if (part === 'A') return 'setting';
  if (part === 'I') {
    const e = readInput(fields);
    if (e.kind === 'contact' && e.rest === '') return 'button';
    if (e.kind === 'encoder' && e.rest === '' && e.sign && (!e.values || /[+-]$/.test(e.values.split(',')[0])))
      return 'encoder-line';
    if (e.kind === 'lever' && e.values.split(',').length === 2) return 'lever';
    return 'raw';
  }
  if (part === 'O') {
    const e = readOutput(fields);
    if (e.number === null) return 'raw';
    return { lamp: 'lamp', portled: 'lamp', display: 'display', servo: 'servo', stepper: 'stepper', pwm: 'pwm', value: 'value' }[e.kind] || 'raw';
  }
  return 'raw';
}
