// What the plug-in makes of each line of a data.cfg, read the way it reads the file: board
// sections, their headers and parts, comments, markers and free text, and the entries of the
// A, I and O parts with their fields. Also the pins each entry of an Arduino board claims.

import { insertLines, replaceLine } from './cfgtext.js';


const TRIMMED = /^[ \t\r\n]+|[ \t\r\n]+$/g;
export const trim = (text) => text.replace(TRIMMED, '');
export const fieldsOf = (text) => {
  const t = trim(text);
  return t ? t.split(/[ \t]+/) : [];
};
const isComment = (t) => t[0] === '#' || t[0] === '/' || t[0] === '!';
const BOARD_KIND = /^#\s*board\s*:\s*(.*?)\s*$/i;

// The board kinds a drawing exists for, as the comment `# board: KIND` names them.
export const BOARD_KINDS = ['Uno', 'Nano', 'Mega 2560'];
export function boardKindOf(comment) {
  const want = comment.toLowerCase().replace(/\s+/g, ' ');
  return BOARD_KINDS.find((k) => k.toLowerCase() === want) || null;
}

// Reads the lines ({text, eol}) as the plug-in does. Each line gets a kind:
//   blank, before (ahead of the first section), section, header, comment, marker, info (free
//   text after @info), entry (with part 'A', 'I' or 'O'), ignored (not read: too short, before
//   the section's first header, under an unknown header or [0], in a section of ID 0)
// and sections come with their parts: {A|I|O: {header, from, to}} (to: exclusive, where reading
// of that part stops).
export function analyze(lines) {
  const out = [];
  const sections = [];
  let section = null;
  let loadLetter = '0'; // what the file reader stores: carries over a section line
  let readLetter = '0'; // what the section reader reads: starts anew in every section
  let afterInfo = false;
  let open = null; // the part being filled: {letter, info}
  const closePart = (at) => {
    if (open && open.to === undefined) open.to = at;
    open = null;
  };
  lines.forEach((line, index) => {
    let t = trim(index === 0 ? line.text.replace(/^\uFEFF/, '') : line.text);
    const info = { index, kind: 'blank', section: section ? section.number : -1, part: null };
    out.push(info);
    if (t[0] === '*') {
      closePart(index);
      if (section) section.end = index;
      const c = t.charCodeAt(1);
      const id = c >= 48 && c <= 57 ? c - 48 : null;
      section = { number: sections.length, id, line: index, end: lines.length, parts: {}, kind: null, kindLine: -1 };
      section.used = id !== null && id !== 0 && !sections.some((s) => s.id === id);
      sections.push(section);
      info.section = section.number;
      info.kind = 'section';
      readLetter = '0';
      afterInfo = false;
      return;
    }
    if (!t) return;
    if (!section) {
      info.kind = isComment(t) ? 'comment' : 'before';
      return;
    }
    if (t[0] === '[') {
      loadLetter = t[1] || '0';
      afterInfo = false;
      info.kind = 'header';
      if (t.length >= 3) {
        closePart(index);
        readLetter = t[1];
        if ('AIO'.includes(readLetter) && loadLetter !== '0' && !section.parts[readLetter]) {
          open = section.parts[readLetter] = { header: index, from: index + 1 };
        }
      }
      return;
    }
    if (t[0] === '@') {
      info.kind = 'marker';
      if (trim(t.slice(1)) === 'info') {
        loadLetter = '0';
        afterInfo = true;
        closePart(index);
      }
      return;
    }
    if (isComment(t)) {
      info.kind = 'comment';
      const m = BOARD_KIND.exec(t);
      if (m && section.kindLine < 0) {
        section.kind = m[1];
        section.kindLine = index;
      }
      return;
    }
    const stored = loadLetter !== '0' && section.id !== 0;
    if (!stored) {
      info.kind = afterInfo ? 'info' : 'ignored';
      return;
    }
    if (t.length < 3 || !'AIO'.includes(readLetter)) {
      info.kind = 'ignored';
      return;
    }
    info.kind = 'entry';
    info.part = readLetter;
    info.fields = t.split(/[ \t]+/);
  });
  closePart(lines.length);
  return { lines: out, sections };
}

// The section a board of this ID is configured from: the first with its ID.
export function sectionOf(model, id) {
  return model.sections.find((s) => s.id === id) || null;
}

// ---- Entries ----

const TAG = /^([A-Za-z])(\d*)(?:\/(\d+))?([+-]?)(.*)$/;

// An I entry: {kind, letter, number, group, sign, name, values, element, settings, tag}.
// kind: contact (D and B), encoder (E), lever (A), memory (M and P) or other.
export function readInput(fields) {
  const tag = fields[0] || '';
  const m = TAG.exec(tag) || [];
  const letter = (m[1] || '').toUpperCase();
  const kind =
    { D: 'contact', B: 'contact', E: 'encoder', A: 'lever', M: 'memory', P: 'memory' }[letter] || 'other';
  return {
    kind,
    tag,
    letter,
    small: !!m[1] && m[1] !== letter, // e6+: an encoder of the second kind
    number: m[2] === '' || m[2] === undefined ? null : Number(m[2]),
    group: m[3] ? Number(m[3]) : null,
    sign: m[4] || '',
    rest: m[5] || '',
    name: fields[1] || '',
    values: fields[2] || '',
    element: fields[3] || '',
    settings: fields.slice(4),
  };
}

// An O entry: {kind, number, letter, precision, dataref, element, range1, range2, extra, mode}.
// kind: lamp, portled, display, servo, stepper, pwm, value or modelamp (two fields).
export function readOutput(fields) {
  const tag = fields[0] || '';
  const m = /^(\d*)(.*)$/.exec(tag);
  const last = tag[tag.length - 1] || '';
  const letter = /[0-9]/.test(last) ? 'D' : last;
  const number = m[1] === '' ? null : Number(m[1]);
  if (fields.length === 2) return { kind: 'modelamp', tag, number, letter, mode: fields[1] };
  const kind =
    { L: 'lamp', l: 'portled', N: 'display', S: 'servo', G: 'stepper', g: 'stepper', P: 'pwm' }[letter] || 'value';
  return {
    kind,
    tag,
    number,
    letter,
    precision: fields[1] || '',
    dataref: fields[2] || '',
    element: fields[3] || '',
    range1: fields[4] || '',
    range2: fields[5] || '',
    extra: fields[6] || '',
    more: fields.slice(7),
  };
}

// ---- Pins ----

// What each entry of a section claims on an Arduino board: [{at, use, line, what}], where at is
// {pin: n} for a digital pin number or {channel: n} for an analog channel, use one of input,
// analog, output, display, servo, stepper, ledport, matrix, and `what` the claim's identity: two
// claims of one pin conflict when their identities differ (D5+ and D5- are one contact).
export function pinClaims(model, lines, section) {
  const claims = [];
  const add = (at, use, line, what) => claims.push({ at, use, line, what, text: trim(lines[line].text) });
  const num = (s) => (/^\d+$/.test(s || '') ? Number(s) : null);
  for (const info of model.lines) {
    if (info.kind !== 'entry' || info.section !== section.number) continue;
    const f = info.fields;
    const at = info.index;
    if (info.part === 'A') {
      const letter = f[0][0];
      const n = f.slice(1).map(num);
      if (letter === 'B' && f.length >= 6) {
        for (const [lo, hi] of [[n[0], n[1]], [n[2], n[3]]])
          if (lo !== null && hi !== null && hi >= lo && hi - lo < 70)
            for (let p = lo; p <= hi; p++) add({ pin: p }, 'matrix', at, 'B matrix');
        if (n[4] !== null) add({ pin: n[4] }, 'matrix', at, 'B matrix');
      } else if (letter === 'G' && n[0] !== null) add({ pin: n[0] }, 'stepper', at, 'G direction');
      else if (letter === 'L' && n[0] !== null)
        for (let k = 0; k < 3; k++) add({ pin: n[0] + k }, 'ledport', at, 'L port');
      else if (letter === 'N' && n[0] !== null)
        for (let k = 0; k < 2; k++) add({ pin: n[0] + k }, 'display', at, 'N common');
    } else if (info.part === 'I') {
      if (f.length < 2 || f[1] === 'not_selected') continue;
      const e = readInput(f);
      if (e.number === null) continue;
      if (e.letter === 'D') add({ pin: e.number }, 'input', at, 'D' + e.number);
      else if (e.letter === 'E') {
        add({ pin: e.number }, 'input', at, 'E' + e.number);
        add({ pin: e.number + 1 }, 'input', at, 'E' + e.number);
      } else if (e.letter === 'A') add({ channel: e.number }, 'analog', at, 'A' + e.number);
    } else if (info.part === 'O') {
      if (f.length > 2 && f[2] === 'not_selected') continue;
      const e = readOutput(f);
      if (e.number === null) continue;
      const use = { L: 'output', P: 'output', N: 'display', S: 'servo', G: 'stepper', g: 'stepper' }[e.letter];
      if (use) add({ pin: e.number }, use, at, e.number + e.letter);
    }
  }
  return claims;
}

// ---- Writing lines ----

// The line of an entry from its fields: one blank between fields, the line's indentation kept.
export function entryLine(fields, oldText = '') {
  const indent = /^[ \t]*/.exec(oldText.replace(/^\uFEFF/, ''))[0];
  const bom = oldText.startsWith('\uFEFF') ? '\uFEFF' : '';
  return bom + indent + fields.filter((f) => f !== undefined).join(' ');
}

// Where a new line of part `letter` goes in `section`, and the lines to add before it when the
// part has no header yet: {at, header}. A is read before I, so a new A part goes before [I].
export function placeInPart(model, lines, section, letter) {
  const part = section.parts[letter];
  const lastFilled = (from, to) => {
    let at = from;
    for (let i = from; i < to; i++) if (trim(lines[i].text)) at = i + 1;
    return at;
  };
  if (part) return { at: lastFilled(part.from, part.to), header: false };
  const { I, O } = section.parts;
  let at;
  if (letter === 'A' && (I || O)) at = (I || O).header;
  else if (letter === 'I' && O) at = O.header;
  else at = lastFilled(section.line + 1, section.end);
  return { at, header: true };
}

// Adds entry lines to part `letter` of the section of board `id` (a new section at the end of
// the file when there is none): {lines, at}, at the index of the first line added.
export function addEntries(lines, id, letter, texts, kind = null) {
  const model = analyze(lines);
  const section = sectionOf(model, id);
  if (!section) {
    const head = [];
    if (lines.length && trim(lines[lines.length - 1].text)) head.push('');
    head.push('*' + id);
    if (kind) head.push('# board: ' + kind);
    head.push('[' + letter + ']');
    return { lines: insertLines(lines, lines.length, head.concat(texts)), at: lines.length + head.length };
  }
  const place = placeInPart(model, lines, section, letter);
  const head = place.header ? ['[' + letter + ']'] : [];
  return { lines: insertLines(lines, place.at, head.concat(texts)), at: place.at + head.length };
}

// Writes the board's kind into its section as the comment `# board: KIND` (rewriting the one
// there, or adding it under the section line).
export function setBoardKind(lines, id, kind) {
  const section = sectionOf(analyze(lines), id);
  if (!section) return addSection(lines, id, kind);
  if (section.kindLine >= 0) return replaceLine(lines, section.kindLine, '# board: ' + kind);
  return insertLines(lines, section.line + 1, ['# board: ' + kind]);
}

export function addSection(lines, id, kind = null) {
  const head = [];
  if (lines.length && trim(lines[lines.length - 1].text)) head.push('');
  head.push('*' + id);
  if (kind) head.push('# board: ' + kind);
  return insertLines(lines, lines.length, head);
}
