// The Studio page's logic that needs no browser: the byte-for-byte line model of data.cfg, what
// each line is to the plug-in, the forms' lines, the pins the entries claim and learning.
// Run: node --test tests/studio/
import test from 'node:test';
import assert from 'node:assert/strict';

import * as T from '../../studio/cfgtext.js';
import * as M from '../../studio/cfgmodel.js';
import { KINDS, kindOf } from '../../studio/forms.js';
import * as B from '../../studio/boards.js';
import { startLearning, learnStep, learnTick, existingEntry } from '../../studio/learn.js';

const FILES = {
  empty: '',
  'one line, no line feed': '*1',
  'LF with final line feed': '*1\n[I]\nD5+ sim/a 1\n',
  'CRLF without final line feed': '# notes\r\n*1\r\n[I]\r\nD5+ sim/a 1',
  'mixed ends, blanks, tabs, a lone CR': '*1\r\n\n  [I]\t\n\tD5+\tsim/a  1 \r\nodd\rline\n\n\n',
  'byte order mark and unknown lines': '\uFEFF*2\nfree\n[X]\nwhatever\n@info\ntext\n[O]\n13L 0 sim/b\n',
  'only line ends': '\n\r\n\n',
};

test('the lines come back byte for byte', () => {
  for (const [what, text] of Object.entries(FILES)) {
    assert.equal(T.joinLines(T.splitLines(text)), text, what);
    const lines = T.splitLines(text);
    // The text area's text, given back unchanged, changes no byte.
    assert.equal(T.joinLines(T.applyShownText(lines, T.shownText(lines))), text, what);
  }
});

test('an edit in the text area rewrites only the lines it touched', () => {
  const rows = [
    // [file, shown text after the edit, the file after it]
    ['a\r\nb\r\nc\r\n', 'a\nB\nc\n', 'a\r\nB\r\nc\r\n'],
    ['a\r\nb\r\nc', 'a\nb\nc\nd', 'a\r\nb\r\nc\r\nd'],
    ['a\nb\r\nc\n', 'a\nx\ny\nc\n', 'a\nx\ny\nc\n'],
    ['a\nb\r\nc\n', 'a\nB\nc\n', 'a\nB\r\nc\n'],
    ['a\nb\n', 'a\n', 'a\n'],
    ['a\nb', 'a\nb\n', 'a\nb\n'],
    ['x\ry\n*1\n', 'xy\n*1\n*2\n', 'x\ry\n*1\n*2\n'],
    ['', 'new\n', 'new\n'],
  ];
  for (const [file, shown, want] of rows) {
    const lines = T.splitLines(file);
    assert.equal(T.joinLines(T.applyShownText(lines, shown)), want, JSON.stringify([file, shown]));
  }
});

test('inserting and deleting keep the file\u2019s line ends and its final line feed or none', () => {
  const rows = [
    ['*1\r\n[I]\r\n', 2, ['D5+ x'], '*1\r\n[I]\r\nD5+ x\r\n'],
    ['*1\n[I]', 2, ['D5+ x'], '*1\n[I]\nD5+ x'],
    ['*1\n[I]\n', 1, ['# c'], '*1\n# c\n[I]\n'],
    ['', 0, ['*1', '[I]'], '*1\n[I]\n'],
  ];
  for (const [file, at, texts, want] of rows)
    assert.equal(T.joinLines(T.insertLines(T.splitLines(file), at, texts)), want, file);
  assert.equal(T.joinLines(T.deleteLines(T.splitLines('a\nb\nc'), 2)), 'a\nb');
  assert.equal(T.joinLines(T.deleteLines(T.splitLines('a\r\nb\r\nc\r\n'), 1)), 'a\r\nc\r\n');
  assert.equal(T.joinLines(T.replaceLine(T.splitLines('a\r\nb'), 0, 'A')), 'A\r\nb');
});

test('each line is what the plug-in makes of it', () => {
  const text = [
    'notes before', // 0 before
    '*1', // 1 section
    '# board: Mega 2560', // 2 comment (the board's kind)
    'not read', // 3 ignored: before the first header
    '[A]', // 4 header
    'R D9+', // 5 entry A
    '[I', // 6 too short for a header: I lines stay under [A]
    'D5+ sim/a 1', // 7 entry A
    '[I]', // 8
    '', // 9 blank
    '  D5- sim/a 0', // 10 entry I
    'ab', // 11 ignored: too short
    '@info', // 12 marker
    'free text', // 13 info
    '[O]', // 14
    '13L 0 sim/b', // 15 entry O
    '[X]', // 16
    '13L 0 sim/c', // 17 ignored
    '[0]', // 18
    '14L 0 sim/d', // 19 ignored
    '*0', // 20 section of the panel
    '[I]', // 21
    'D1+ sim/e', // 22 ignored: ID 0 is not read
    '*1', // 23 the same ID again: not used
    '*', // 24 no ID
  ].join('\n');
  const model = M.analyze(T.splitLines(text));
  const kinds = model.lines.map((l) => l.kind + (l.part ? ':' + l.part : ''));
  assert.deepEqual(kinds, [
    'before', 'section', 'comment', 'ignored', 'header', 'entry:A', 'header', 'entry:A', 'header', 'blank',
    'entry:I', 'ignored', 'marker', 'info', 'header', 'entry:O', 'header', 'ignored', 'header', 'ignored',
    'section', 'header', 'ignored', 'section', 'section',
  ]);
  const [s1, s0, again, none] = model.sections;
  assert.equal(s1.kind, 'Mega 2560');
  assert.equal(M.boardKindOf(s1.kind), 'Mega 2560');
  assert.deepEqual([s1.used, s0.used, again.used, none.used, none.id], [true, false, false, false, null]);
  assert.deepEqual(s1.parts.I, { header: 8, from: 9, to: 12 });
  assert.deepEqual(s1.parts.O, { header: 14, from: 15, to: 16 });
  assert.equal(M.sectionOf(model, 1), s1);
});

test('entries read into their fields', () => {
  const rows = [
    ['D12/2+ sim/x 1', { kind: 'contact', letter: 'D', number: 12, group: 2, sign: '+', name: 'sim/x', values: '1' }],
    ['e6- sim/y 1-,0,360', { kind: 'encoder', letter: 'E', small: true, number: 6, sign: '-', values: '1-,0,360' }],
    ['A2 sim/t 0,1 1 250 3 7', { kind: 'lever', number: 2, element: '1', settings: ['250', '3', '7'] }],
    ['M12 sim/f 3', { kind: 'memory', number: 12 }],
  ];
  for (const [line, want] of rows) {
    const got = M.readInput(M.fieldsOf(line));
    for (const [k, v] of Object.entries(want)) assert.deepEqual(got[k], v, line + ' ' + k);
  }
  const outs = [
    ['13L 0 sim/a', { kind: 'lamp', number: 13 }],
    ['3l 0 sim/a', { kind: 'portled', number: 3 }],
    ['30N 0 sim/a 1 6 3 d', { kind: 'display', range1: '6', range2: '3', extra: 'd' }],
    ['60 1 sim/a', { kind: 'value', letter: 'D', number: 60 }],
    ['44L E3=1', { kind: 'modelamp', mode: 'E3=1' }],
    ['45g 0 sim/h 1 0,360 0,400 400', { kind: 'stepper', letter: 'g', extra: '400' }],
  ];
  for (const [line, want] of outs) {
    const got = M.readOutput(M.fieldsOf(line));
    for (const [k, v] of Object.entries(want)) assert.deepEqual(got[k], v, line + ' ' + k);
  }
});

test('each form writes the exact line of the guide', () => {
  const rows = [
    ['button', { letter: 'D', number: '6', sign: '+', action: 'command', name: 'sim/lights/taxi_lights_toggle' }, ['D6+ sim/lights/taxi_lights_toggle'], []],
    ['button', { letter: 'D', number: '5', sign: '-', action: 'dataref', name: 'sim/l', value: '0' }, ['D5- sim/l 0'], []],
    ['button', { letter: 'D', number: '17', sign: '+', action: 'dataref', name: 'sim/key', value: '4', element: '1' }, ['D17+ sim/key 4 1'], []],
    ['button', { letter: 'D', number: '7', sign: '+', action: 'step', name: 'sim/trim', step: '0.01', stepSign: '+', limit: 'stop', stop: '1', repeat: true }, ['D7+ sim/trim 0.01+,1'], ['R D7+']],
    ['button', { letter: 'D', number: '9', sign: '+', action: 'held', name: 'sim/flight_controls/brakes_regular' }, ['D9+ sim/flight_controls/brakes_regular'], ['R D9+']],
    ['button', { letter: 'D', number: '8', sign: '+', action: 'held', name: 'corvane/starter_ignition_1' }, ['D8+ corvane/starter_ignition_1'], []],
    ['button', { letter: 'B', number: '3', sign: '+', action: 'command', name: 'sim/c' }, ['B3+ sim/c'], []],
    ['switch', { number: '5', action: 'dataref', name: 'sim/cockpit2/switches/landing_lights_on', on: '1', off: '0' },
      ['D5+ sim/cockpit2/switches/landing_lights_on 1', 'D5- sim/cockpit2/switches/landing_lights_on 0'], []],
    ['switch', { number: '4', action: 'command', name: 'sim/down', offName: 'sim/up' }, ['D4+ sim/down', 'D4- sim/up'], []],
    ['encoder', { number: '6', upSign: '+', action: 'step', name: 'sim/com', step: '1000', limit: 'stop', low: '118000', high: '136975', slow: '4' },
      ['E6+ sim/com 1000+,136975', 'E6- sim/com 1000-,118000'], ['S E6,4']],
    ['encoder', { number: '3', group: '1', upSign: '-', action: 'step', name: 'sim/hdg', step: '1', limit: 'wrap', low: '0', high: '360' },
      ['E3/1- sim/hdg 1+,0,360', 'E3/1+ sim/hdg 1-,0,360'], []],
    ['encoder', { number: '8', second: true, upSign: '+', action: 'command', name: 'sim/baro_up', downName: 'sim/baro_down' }, ['e8+ sim/baro_up', 'e8- sim/baro_down'], []],
    ['lever', { number: '0', name: 'sim/thr', low: '0', high: '1' }, ['A0 sim/thr 0,1'], []],
    ['lever', { number: '2', name: 'sim/prop', low: '0', high: '1', threshold: '1', from: '250', to: '3', square: true }, ['A2 sim/prop 0,1 1 1 250 3'], ['Q A2']],
    ['lamp', { letter: 'L', number: '13', dataref: 'sim/lights', lit: 'one' }, ['13L 0 sim/lights'], []],
    ['lamp', { letter: 'L', number: '40', dataref: 'sim/hs', lit: 'between', low: '1', high: '2' }, ['40L 0 sim/hs 1 1 2'], []],
    ['lamp', { letter: 'l', number: '3', dataref: 'sim/strobe', lit: 'value', at: '2', element: '' }, ['3l 0 sim/strobe 1 2'], []],
    ['display', { number: '30', precision: '0', dataref: 'sim/com1', element: '1', digits: '6', point: '3', opt_d: true }, ['30N 0 sim/com1 1 6 3 d'], []],
    ['servo', { number: '11', dataref: 'sim/flap', range1: '0,1', range2: '600,2400' }, ['11S 0 sim/flap 1 0,1 600,2400'], []],
    ['servo', { number: '12', dataref: 'sim/trim', range1: '-1,1' }, ['12S 0 sim/trim 1 -1,1'], []],
    ['stepper', { letter: 'G', number: '44', dataref: 'sim/ias', range1: '0,200', range2: '0,300', steps: '2048' }, ['44G 0 sim/ias 1 0,200 0,300 2048'], []],
    ['pwm', { number: '9', dataref: 'sim/panel', range1: '0,1' }, ['9P 0 sim/panel 1 0,1'], []],
    ['value', { number: '62', letter: 'T', precision: '8', dataref: 'sim/nav_id' }, ['62T 8 sim/nav_id'], []],
    ['setting', { letter: 'B', args: '30 33 40 41 44' }, ['B 30 33 40 41 44'], []],
  ];
  for (const [kind, values, lines, settings] of rows) {
    const out = KINDS[kind].write(values);
    const what = kind + ' ' + JSON.stringify(values);
    assert.deepEqual(out.errors, [], what);
    assert.deepEqual(out.lines.map((f) => f.join(' ')), lines, what);
    assert.deepEqual(out.settings.map((f) => f.join(' ')), settings, what);
  }
});

test('a line read into its form and written back is the same line', () => {
  const rows = [
    ['I', 'D5+ sim/cockpit2/switches/landing_lights_on 1'],
    ['I', 'D7+ sim/cockpit2/controls/elevator_trim 0.01+,1'],
    ['I', 'D17- sim/cockpit2/engine/actuators/ignition_key 3 1'],
    ['I', 'D6+ sim/lights/taxi_lights_toggle'],
    ['I', 'E3/1+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360'],
    ['I', 'E6- sim/cockpit2/radios/actuators/com1_frequency_hz_833 1000-,118000'],
    ['I', 'e8- sim/instruments/barometer_down'],
    ['I', 'A2 sim/cockpit2/engine/actuators/prop_ratio_all 0,1 1 250 3 7'],
    ['I', 'A4 sim/cockpit2/engine/actuators/throttle_ratio 0,1 2'],
    ['O', '13L 0 sim/cockpit2/switches/landing_lights_on'],
    ['O', '22L 0 sim/flightmodel2/gear/deploy_ratio 1 0,1 0,1'],
    ['O', '25L 0 sim/flightmodel2/gear/deploy_ratio 1 0.01 0.99'],
    ['O', '2l 0 sim/cockpit2/switches/navigation_lights_on'],
    ['O', '35N 0 sim/cockpit2/radios/actuators/transponder_code 1 4 0 e'],
    ['O', '33N 2 sim/cockpit2/gauges/actuators/barometer_setting_in_hg_pilot 1 4 2'],
    ['O', '45G 0 sim/cockpit2/gauges/indicators/heading_electric_deg_mag_pilot 1 360 400'],
    ['O', '9P 0 sim/cockpit2/switches/panel_brightness_ratio 1 0,1'],
    ['O', '61A 0 sim/cockpit2/gauges/indicators/airspeed_kts_pilot 1 0,200 0,270'],
    ['O', '60D 1 sim/cockpit2/temperature/outside_air_temp_degc'],
    ['O', '44L E3=1'],
    ['A', 'S E7,4'],
  ];
  for (const [part, line] of rows) {
    const fields = M.fieldsOf(line);
    const kind = KINDS[kindOf(part, fields)];
    const out = kind.write(kind.read(fields, { dataref: true }));
    assert.deepEqual(out.errors, [], line);
    assert.equal(out.lines[0].join(' '), line, line);
  }
});

test('a form refuses what the plug-in would not read', () => {
  const rows = [
    ['button', { letter: 'D', number: 'x5', sign: '+', action: 'command', name: 'sim/a' }],
    ['button', { letter: 'D', number: '5', sign: '+', action: 'command', name: '' }],
    ['display', { number: '30', dataref: 'sim/a', digits: '9', point: '0' }],
    ['display', { number: '30', dataref: 'sim/a', digits: '4', point: '5' }],
    ['display', { number: '30', precision: '0.1', dataref: 'sim/a', digits: '4', point: '2' }],
    ['lever', { number: '16', name: 'sim/a' }],
    ['encoder', { number: '3', group: '12', action: 'command', name: 'a', downName: 'b' }],
    ['servo', { number: '11', dataref: 'sim/a', range1: '0,1', range2: '600' }],
    ['setting', { letter: 'S', args: 'E7' }],
  ];
  for (const [kind, values] of rows) assert.notDeepEqual(KINDS[kind].write(values).errors, [], kind + JSON.stringify(values));
});

test('new entries go into their part, a new part where the plug-in reads it', () => {
  const rows = [
    ['*1\n[I]\nD5+ a\n\n[O]\n13L 0 b\n', 1, 'I', 'D6+ c', '*1\n[I]\nD5+ a\nD6+ c\n\n[O]\n13L 0 b\n'],
    ['*1\n[I]\nD5+ a\n[O]\n13L 0 b\n', 1, 'A', 'R D5+', '*1\n[A]\nR D5+\n[I]\nD5+ a\n[O]\n13L 0 b\n'],
    ['*1\n[O]\n13L 0 b\n', 1, 'I', 'D5+ a', '*1\n[I]\nD5+ a\n[O]\n13L 0 b\n'],
    ['*1\n[I]\nD5+ a\n@info\nnotes\n', 1, 'I', 'D6+ c', '*1\n[I]\nD5+ a\nD6+ c\n@info\nnotes\n'],
    ['*1\r\n[I]\r\nD5+ a', 2, 'O', '13L 0 b', '*1\r\n[I]\r\nD5+ a\r\n\r\n*2\r\n[O]\r\n13L 0 b'],
    ['*1\n[I]\nD5+ a\n*2\n[I]\n', 1, 'O', '13L 0 b', '*1\n[I]\nD5+ a\n[O]\n13L 0 b\n*2\n[I]\n'],
  ];
  for (const [file, id, letter, line, want] of rows) {
    const { lines } = M.addEntries(T.splitLines(file), id, letter, [line]);
    assert.equal(T.joinLines(lines), want, JSON.stringify([file, letter]));
  }
  assert.equal(T.joinLines(M.setBoardKind(T.splitLines('*1\n[I]\n'), 1, 'Uno')), '*1\n# board: Uno\n[I]\n');
  assert.equal(T.joinLines(M.setBoardKind(T.splitLines('*1\n# board: Uno\n'), 1, 'Nano')), '*1\n# board: Nano\n');
});

test('the pins each entry claims', () => {
  const text = '*1\n[A]\nL 14\nN 2\nG 12\nB 30 31 40 40 44\n[I]\nD5+ a 1\nD5- a 0\nE6+ b\nd7+ c\nA3 d 0,1\nD4+ not_selected\n[O]\n13L 0 e\n3l 0 f\n4N 0 g 1 4 0\n9S 0 h 1 0,1\n8G 0 i 1 0,1 0,1 200\n60D 1 j\n44L E3=1\n';
  const lines = T.splitLines(text);
  const model = M.analyze(lines);
  const claims = M.pinClaims(model, lines, model.sections[0]);
  const got = claims.map((c) => ('pin' in c.at ? c.at.pin : 'A' + c.at.channel) + ' ' + c.use + ' ' + c.what);
  assert.deepEqual(got, [
    '14 ledport L port', '15 ledport L port', '16 ledport L port', '2 display N common', '3 display N common',
    '12 stepper G direction', '30 matrix B matrix', '31 matrix B matrix', '40 matrix B matrix', '44 matrix B matrix',
    '5 input D5', '5 input D5', '6 input E6', '7 input E6', '7 input D7', 'A3 analog A3',
    '13 output 13L', '4 display 4N', '9 servo 9S', '8 stepper 8G', '44 output 44L',
  ]);
});

test('learning takes the press, both positions, the turn and a lever that moved', () => {
  const ev = (tag, value = '', at = 0) => ({ board: 0, tag, value, at });
  const rows = [
    // [what it waits for, the events, the result (null: still learning, also 1 s after the last)]
    ['press', [ev('D5-'), ev('D5+')], { kind: 'button', tag: 'D5+' }],
    ['any', [ev('D5-'), ev('D5+')], { kind: 'button', tag: 'D5+' }],
    ['any', [ev('D9-', '', 0), ev('D9+', '', 10), ev('D9-', '', 90)], { kind: 'button', tag: 'D9+' }],
    // An encoder on free pins: its two contacts close one after the other, the first tells the way.
    ['any', [ev('D8+', '', 0), ev('D9+', '', 20), ev('D8-', '', 40)], { kind: 'encoder', tag: 'E8+' }],
    ['any', [ev('D9+', '', 0), ev('D8+', '', 20)], { kind: 'encoder', tag: 'E8-' }],
    ['turn', [ev('D11+', '', 0), ev('D12+', '', 30)], { kind: 'encoder', tag: 'E11+' }],
    ['turn', [ev('D11+', '', 0)], null],
    ['any', [ev('D8+', '', 0), ev('D9+', '', 500)], { kind: 'button', tag: 'D8+' }],
    ['any', [ev('D8+', '', 0), ev('D10+', '', 20)], { kind: 'button', tag: 'D8+' }],
    ['press', [ev('D8+', '', 0), ev('D9+', '', 20)], { kind: 'button', tag: 'D8+' }],
    ['press', [ev('D5-')], null],
    ['press', [ev('B3+')], { kind: 'button', tag: 'B3+' }],
    ['switch', [ev('D5+')], null],
    ['switch', [ev('D5-'), ev('D6+'), ev('D5+')], { kind: 'switch', on: 'D5+', off: 'D5-' }],
    ['turn', [ev('D5+'), ev('E6-', '\u0003')], { kind: 'encoder', sign: '-', tag: 'E6-' }],
    ['move', [ev('A2', '500'), ev('A2', '520')], null],
    ['move', [ev('A2', '500'), ev('A2', '520'), ev('A2', '560')], { kind: 'lever', tag: 'A2' }],
    ['move', [ev('A2', '500'), ev('A1', '900')], null],
    ['any', [ev('A0', '10'), ev('D9-'), ev('E4+', '\u0001')], { kind: 'encoder', tag: 'E4+' }],
    ['any', [ev('M12')], null],
  ];
  for (const [want, events, result] of rows) {
    let state = startLearning(want);
    let got = null;
    for (const event of [...events, null]) {
      // After the last event the time goes on: a press that stayed alone is learnt then.
      const tick = learnTick(state, event ? event.at : events.at(-1).at + 1000);
      const step = tick.result || !event ? tick : learnStep(tick.state, event, event.at);
      state = step.state;
      if (step.result) {
        got = step.result;
        break;
      }
    }
    const what = want + ' ' + events.map((e) => e.tag + ' ' + e.value).join(', ');
    if (!result) assert.equal(got, null, what);
    else for (const [k, v] of Object.entries(result)) assert.equal(got && got[k], v, what + ' ' + k);
  }
});

test('a control that has an entry is found by its tag, else by its contact', () => {
  const lines = T.splitLines('*1\n[I]\nD5- a 0\nD5+ a 1\nE3/2+ b\nA2 c 0,1\n*2\n[I]\nD7+ d\n');
  const model = M.analyze(lines);
  const s1 = model.sections[0];
  const rows = [['D5+', 3], ['D5-', 2], ['E3-', 4], ['A2', 5], ['D7+', -1], ['D50+', -1]];
  for (const [tag, line] of rows) assert.equal(existingEntry(model, s1, tag), line, tag);
});

test('each board names its pins, marks conflicts and the pins it lacks', () => {
  const claim = (at, what, use = 'input', line = 1) => ({ at, what, use, line, text: what });
  const rows = [
    // [board, claims, pins with their use, the pins the board lacks]
    ['Uno', [claim({ pin: 5 }, 'D5'), claim({ pin: 5 }, 'D5')], { 5: 'input' }, []],
    ['Uno', [claim({ pin: 6 }, 'E6'), claim({ pin: 7 }, 'E6'), claim({ pin: 7 }, 'D7')], { 6: 'input', 7: 'conflict' }, []],
    ['Uno', [claim({ pin: 14 }, 'D14'), claim({ channel: 0 }, 'A0', 'analog')], { A0: 'conflict' }, []],
    ['Uno', [claim({ pin: 1 }, 'D1')], { 1: 'conflict' }, []],
    ['Uno', [claim({ pin: 22 }, '22L', 'output'), claim({ channel: 6 }, 'A6', 'analog')], {}, ['no pin 22', 'no analog channel A6']],
    ['Nano', [claim({ channel: 7 }, 'A7', 'analog'), claim({ pin: 21 }, 'D21')], { A7: 'analog' }, ['pin 21 (A7) reads analog levers only']],
    ['Mega 2560', [claim({ pin: 53 }, '53L', 'output'), claim({ pin: 69 }, 'D69'), claim({ channel: 16 }, 'A16', 'analog')], { 53: 'output', A15: 'input' }, ['no analog channel A16']],
  ];
  for (const [kind, claims, pins, missing] of rows) {
    const layout = B.LAYOUTS[kind];
    const uses = B.pinUses(layout, claims);
    const got = Object.fromEntries([...uses.pins].map(([k, v]) => [k, v.use]));
    assert.deepEqual(got, Object.fromEntries(Object.entries(pins).map(([k, v]) => [String(k), v])), kind);
    assert.deepEqual(uses.missing.map((m) => m.reason), missing.map((m) => `the ${layout.name} has ${m}`), kind);
    const svg = B.drawBoard(layout, uses);
    for (const key of Object.keys(pins)) assert.match(svg, new RegExp(`class="pin use-${pins[key]}"[^>]*data-key="${key}"`), kind + ' ' + key);
  }
});

test('every pin of each board is drawn once, by its printed name', () => {
  const rows = [['Uno', 20, 6], ['Nano', 20, 8], ['Mega 2560', 70, 16]];
  for (const [kind, digital, channels] of rows) {
    const keys = B.drawBoard(B.LAYOUTS[kind], { pins: new Map() }).match(/data-key="[^"]+"/g);
    const want = [];
    const layout = B.LAYOUTS[kind];
    for (let n = 0; n < layout.analogBase; n++) want.push(`data-key="${n}"`);
    for (let c = 0; c < channels; c++) want.push(`data-key="A${c}"`);
    assert.deepEqual(keys.slice().sort(), want.sort(), kind);
    assert.equal(layout.analogBase + layout.channels - (layout.analogOnly || []).length, digital, kind);
  }
});
