// Learning a control from what a board sends: the next press, a switch by both its positions,
// an encoder and the direction it turned, a lever once it moved more than noise. Pure: the page
// feeds it the live feed's input events ({board, tag, value}).

import { readInput } from './cfgmodel.js';

// How far, in thousandths of a lever's travel, a reading has to move from the first one seen
// before the lever counts as moved: boards report every channel once after a configuration, and
// an unconnected channel wanders by a few thousandths.
export const LEVER_NOISE = 30;

// While the plug-in learns controls, an encoder on pins that no entry names reports as two plain
// contacts, its A pin and the next one (its B pin): turned, both close one after the other, the
// one that closes first telling the direction (A first: up). A second contact beside the first
// within this many milliseconds makes an encoder of the two.
export const ENCODER_WINDOW = 400;

// What a learner waits for: press (a button), switch (both positions of a contact), turn (an
// encoder), move (a lever) or any (the first of these that comes).
export function startLearning(want) {
  return { want, seen: {}, pending: null };
}

// A contact that closed, waiting for its neighbour to close too (then it was an encoder).
function closeContact(state, event, e, now) {
  const p = state.pending;
  if (p && p.board === event.board && e.letter === 'D' && p.letter === 'D' && Math.abs(p.number - e.number) === 1 && now - p.at <= ENCODER_WINDOW) {
    const a = Math.min(p.number, e.number);
    const sign = p.number === a ? '+' : '-';
    return { state: { ...state, pending: null }, result: { board: event.board, number: a, letter: 'E', kind: 'encoder', sign, tag: 'E' + a + sign } };
  }
  if (p && state.want === 'any')
    // Another contact, not its neighbour: the first was a button.
    return { state: { ...state, pending: null }, result: { board: p.board, number: p.number, letter: p.letter, kind: 'button', tag: p.letter + p.number + '+' } };
  return { state: { ...state, pending: { board: event.board, letter: e.letter, number: e.number, at: now } } };
}

// Feeds one input event that came at time now (milliseconds). Returns {state, result} once
// learnt, else {state, note} with a note for the builder (or none). A result: {board, kind, tag,
// number, ...}:
//   press:  {kind: 'button', letter, tag: 'D5+'}
//   switch: {kind: 'switch', on: 'D5+', off: 'D5-'}
//   turn:   {kind: 'encoder', sign: '+' | '-', tag: 'E6+'}  (the direction it was turned)
//   move:   {kind: 'lever', tag: 'A2'}
// A press while waiting for anything is learnt once ENCODER_WINDOW has passed without a
// neighbour (learnTick), as is an encoder of two contacts at once.
export function learnStep(state, event, now = 0) {
  const e = readInput([event.tag || '']);
  const key = event.board + ':' + e.letter + e.number;
  const base = { board: event.board, number: e.number, letter: e.letter };
  if (e.number === null) return { state };
  const want = state.want;
  if ((e.letter === 'D' || e.letter === 'B') && e.rest === '') {
    if (want === 'switch') {
      if (e.letter !== 'D' || !e.sign) return { state };
      const seen = { ...state.seen, [key]: { ...(state.seen[key] || {}), [e.sign]: true } };
      const next = { ...state, seen };
      if (seen[key]['+'] && seen[key]['-'])
        return { state: next, result: { ...base, kind: 'switch', on: 'D' + e.number + '+', off: 'D' + e.number + '-', tag: 'D' + e.number + '+' } };
      return { state: next, note: `pin ${e.number}: one position learnt, now the other` };
    }
    if (want === 'press' && e.sign === '+') return { state, result: { ...base, kind: 'button', tag: e.letter + e.number + '+' } };
    if ((want === 'any' || want === 'turn') && e.sign === '+') return closeContact(state, event, e, now);
    return { state };
  }
  if (e.letter === 'E' && e.sign && (want === 'turn' || want === 'any'))
    return { state, result: { ...base, kind: 'encoder', sign: e.sign, tag: 'E' + e.number + e.sign } };
  if (e.letter === 'A' && (want === 'move' || want === 'any')) {
    const reading = Number.parseFloat(event.value);
    if (!Number.isFinite(reading)) return { state };
    const first = state.seen[key];
    if (first === undefined) return { state: { ...state, seen: { ...state.seen, [key]: reading } } };
    if (Math.abs(reading - first) > LEVER_NOISE)
      return { state, result: { ...base, kind: 'lever', tag: 'A' + e.number } };
    return { state };
  }
  return { state };
}

// The time goes on (now, milliseconds): a press waited for by `any` that no neighbour followed
// within ENCODER_WINDOW is learnt as a button.
export function learnTick(state, now) {
  const p = state.pending;
  if (!p || now - p.at <= ENCODER_WINDOW) return { state };
  const next = { ...state, pending: null };
  if (state.want !== 'any') return { state: next };
  return { state: next, result: { board: p.board, number: p.number, letter: p.letter, kind: 'button', tag: p.letter + p.number + '+' } };
}

// The entry line of the section's I part that already handles this control, or -1: the same
// tag first (D5+ for D5+), else any entry of the same contact, encoder or channel (D5-, E3/2+).
export function existingEntry(model, section, tag) {
  const want = readInput([tag]);
  if (want.number === null) return -1;
  let any = -1;
  for (const info of model.lines) {
    if (info.kind !== 'entry' || info.part !== 'I' || info.section !== section.number) continue;
    if (info.fields.length < 2 || info.fields[1] === 'not_selected') continue;
    const e = readInput(info.fields);
    if (e.letter !== want.letter || e.number !== want.number || e.rest !== want.rest) continue;
    if (e.sign === want.sign) return info.index;
    if (any < 0) any = info.index;
  }
  return any;
}
