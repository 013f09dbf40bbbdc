// Corvane Studio: the boards, the entries of the file in edit, its text, the checker's verdicts,
// learning, the live values and the log; saving, applying and the backups.

import { api, ApiError, liveFeed } from './api.js';
import * as T from './cfgtext.js';
import * as M from './cfgmodel.js';
import { LAYOUTS, pinUses, drawBoard, useWord } from './boards.js';
import { KINDS, ADD_INPUT, ADD_OUTPUT, kindOf } from './forms.js';
import { startLearning, learnStep, learnTick, existingEntry } from './learn.js';

const $ = (id) => document.getElementById(id);
const esc = (t) => String(t ?? '').replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' })[c]);

const S = {
  state: null,
  files: [],
  name: 'data.cfg',
  version: '',
  saved: '', // the text as last loaded or saved
  lines: [],
  model: M.analyze([]),
  check: null,
  checkedText: null,
  selected: null, // board ID of the board shown
  history: [],
  inputs: new Map(), // 'board:tag' -> {value, at}
  outputs: new Map(), // 'board:tag' -> {text, at}
  learn: null, // {state, want, form}
  form: null,
};

const text = () => T.joinLines(S.lines);
const dirty = () => text() !== S.saved;

// ---- Small helpers ----

function banner(message, kind = 'info') {
  const b = $('banner');
  b.textContent = message;
  b.className = 'banner ' + kind;
  b.hidden = !message;
}

function ask(message, yes = 'OK', other = null) {
  return new Promise((resolve) => {
    const d = $('ask-dialog');
    $('ask-text').textContent = message;
    $('ask-yes').textContent = yes;
    $('ask-other').hidden = !other;
    if (other) $('ask-other').textContent = other;
    const done = (answer) => {
      d.close();
      resolve(answer);
    };
    $('ask-yes').onclick = () => done('yes');
    $('ask-other').onclick = () => done('other');
    $('ask-no').onclick = () => done('no');
    d.oncancel = () => done('no');
    d.showModal();
  });
}

function ago(at) {
  const s = Math.max(0, Math.round((Date.now() - at) / 1000));
  if (s < 60) return s + ' s ago';
  if (s < 3600) return Math.floor(s / 60) + ' min ago';
  return Math.floor(s / 3600) + ' h ago';
}

// The board index of the found board with this ID, or -1.
function boardIndex(id) {
  const b = S.state && S.state.boards.find((x) => x.id === id && x.kind !== 'panel');
  return b ? b.index : -1;
}

// ---- The lines ----

// Every change of the text goes through here: model, text area, views, the checker.
function setLines(lines, { keepRaw = false, remember = true } = {}) {
  if (remember) {
    S.history.push(S.lines);
    if (S.history.length > 100) S.history.shift();
  }
  S.lines = lines;
  S.model = M.analyze(lines);
  if (!keepRaw) $('raw').value = T.shownText(lines);
  $('undo').disabled = !S.history.length;
  renderTop();
  renderBoards();
  renderBoard();
  renderGutter();
  scheduleCheck();
}

function loadText(name, textValue, version) {
  S.name = name;
  S.version = version;
  S.saved = textValue;
  S.history = [];
  S.check = null;
  setLines(T.splitLines(textValue), { remember: false });
  $('undo').disabled = true;
}

// ---- The checker, at most 300 ms after the last change ----

let checkTimer = 0;
let checkSeq = 0;
function scheduleCheck() {
  clearTimeout(checkTimer);
  checkTimer = setTimeout(runCheck, 300);
}
async function runCheck() {
  if (S.checkOff) return;
  const t = text();
  if (t === S.checkedText && S.check) return;
  const seq = ++checkSeq;
  try {
    const verdict = await api.check(S.name, t);
    if (seq !== checkSeq) return;
    S.checkTooLarge = false;
    S.check = verdict;
    S.checkedText = t;
    renderGutter();
    renderProblems();
    renderBoard();
  } catch (err) {
    if (seq !== checkSeq) return;
    if (err instanceof ApiError && err.status === 501) {
      // A plug-in whose checker is not built in: the page works without the verdicts.
      S.checkOff = true;
      renderProblems();
      lineNote();
    } else if (err instanceof ApiError && err.status === 413) {
      // Checked as you type only up to the plug-in's limit: corvane-check reads any size.
      S.checkTooLarge = true;
      S.check = null;
      renderProblems();
      lineNote();
    } else banner('The checker did not answer: ' + err.message, 'error');
  }
}

// Notes and issues of line index i (0-based) in the last verdict, if it was made of this text.
function verdictOf(i) {
  if (!S.check || S.checkedText !== text()) return { notes: [], issues: [] };
  const line = S.check.lines.find((l) => l.line === i + 1);
  return { notes: line ? line.notes : [], issues: S.check.issues.filter((x) => x.line === i + 1) };
}
function detailOf(i) {
  if (!S.check || S.checkedText !== text()) return '';
  for (const b of S.check.boards || [])
    for (const e of [...(b.inputs || []), ...(b.outputs || [])]) if (e.line === i + 1 && e.detail) return e.detail;
  return '';
}

// ---- Header ----

function renderTop() {
  const sel = $('file-select');
  const names = S.files.map((f) => f.name);
  if (!names.includes(S.name)) names.push(S.name);
  const options = names
    .map((n) => {
      const f = S.files.find((x) => x.name === n);
      const mark = f && f.in_force ? ' (in force)' : f ? '' : ' (new)';
      return `<option value="${esc(n)}"${n === S.name ? ' selected' : ''}>${esc(n + mark)}</option>`;
    })
    .join('');
  // Drawn anew only when it changed: a list the builder has open stays as it is.
  if (sel.dataset.options !== options) {
    sel.innerHTML = options;
    sel.dataset.options = options;
  }
  sel.value = S.name;
  $('dirty').hidden = !dirty();
  document.title = (dirty() ? '• ' : '') + S.name + ' — Corvane Studio';
  const st = S.state;
  if (!st) return;
  const air = st.aircraft ? esc(st.aircraft.file) : 'no aircraft loaded';
  const profile = st.aircraft ? 'profiles/' + st.aircraft.file.replace(/\.acf$/i, '') + '.cfg' : '';
  const canMake = profile && !S.files.some((f) => f.name === profile) && S.name !== profile;
  $('sim').innerHTML =
    `<span title="The aircraft loaded">✈ ${air}</span> · <span>in force: <b>${esc(st.config_file)}</b></span>` +
    (canMake ? ` <button type="button" id="new-profile" class="small">New profile for this aircraft</button>` : '');
  if (canMake) $('new-profile').onclick = () => newProfile(profile);
}

async function newProfile(name) {
  if (!(await leaveOk())) return;
  try {
    const base = await api.file('data.cfg');
    loadText(name, '', '');
    setLines(T.splitLines(base.text));
    banner(`${name} is new: a copy of data.cfg. Change what differs in this aircraft and save.`);
  } catch (err) {
    banner('Could not read data.cfg: ' + err.message, 'error');
  }
}

// ---- Boards list ----

function boardsShown() {
  const out = [];
  const st = S.state;
  for (const b of st ? st.boards : []) out.push({ id: b.id, found: b, section: b.kind === 'panel' ? null : M.sectionOf(S.model, b.id) });
  for (const s of S.model.sections)
    if (s.used && !out.some((x) => x.id === s.id)) out.push({ id: s.id, found: null, section: s });
  return out.sort((a, b) => a.id - b.id);
}

function renderBoards() {
  const list = boardsShown();
  if (S.selected === null && list.length) S.selected = list[0].id;
  $('board-list').innerHTML = list
    .map((b) => {
      const f = b.found;
      const link = f ? (f.link.type === 'serial' ? f.link.port : f.link.address) : '';
      const status = !f ? 'not found' : f.connected ? 'connected' : 'lost';
      const traffic = f ? `in ${f.traffic.messages_in} · out ${f.traffic.messages_out}` : '';
      const kind = f && f.kind === 'panel' ? 'Helvan panel' : (b.section && M.boardKindOf(b.section.kind || '')) || 'Arduino';
      return `<li><button type="button" class="board-item${b.id === S.selected ? ' selected' : ''}" data-board="${b.id}" aria-current="${b.id === S.selected}">
        <span class="dot ${status.replace(' ', '-')}" aria-hidden="true"></span>
        <span class="b-title">${f && f.kind === 'panel' ? 'Panel' : 'Board ID ' + b.id}</span>
        <span class="b-sub">${esc(kind)}${link ? ' · ' + esc(link) : ''} · ${status}</span>
        <span class="b-sub traffic" data-traffic="${f ? f.index : ''}">${traffic}</span></button></li>`;
    })
    .join('');
}

// ---- One board ----

function sectionEntries(section, part) {
  return S.model.lines.filter((l) => l.kind === 'entry' && l.section === section.number && l.part === part);
}

function liveCell(board, info) {
  if (board < 0) return '';
  if (info.part === 'I') {
    const e = M.readInput(info.fields);
    const base = e.letter + (e.number ?? '');
    let best = null;
    for (const [k, v] of S.inputs) {
      const [b, tag] = [Number(k.split(':')[0]), k.slice(k.indexOf(':') + 1)];
      if (b !== board) continue;
      const t = M.readInput([tag]);
      if (t.letter + (t.number ?? '') === base && (t.sign === e.sign || !e.sign) && (!best || v.at > best.at)) best = { ...v, tag };
    }
    return best ? `<span class="live-value">${esc(best.tag)}${best.value ? ' ' + esc(best.value) : ''}</span> <span class="ago" data-at="${best.at}">${ago(best.at)}</span>` : '<span class="muted">—</span>';
  }
  if (info.part === 'O') {
    const got = S.outputs.get(board + ':' + info.fields[0]);
    return got ? `sent <span class="live-value">${esc(got.text)}</span> <span class="ago" data-at="${got.at}">${ago(got.at)}</span>` : '<span class="muted">—</span>';
  }
  return '';
}

function entryRows(section, part, board) {
  const rows = sectionEntries(section, part);
  if (!rows.length) return '<p class="muted">None yet.</p>';
  return `<table class="entries"><thead><tr><th scope="col">Line</th><th scope="col">Entry</th><th scope="col">What the plug-in makes of it</th>${part === 'A' ? '' : '<th scope="col">Live</th>'}<th scope="col"><span class="sr-only">Actions</span></th></tr></thead><tbody>` +
    rows
      .map((info) => {
        const v = verdictOf(info.index);
        const notes = v.notes.filter((n) => n.kind === 'entry').map((n) => `<div>${esc(n.text)}</div>`).join('');
        const detail = detailOf(info.index);
        const issues = v.issues.map((x) => `<div class="issue ${x.severity}">${esc(x.severity)}: ${esc(x.message)}</div>`).join('');
        const tag = info.fields[0];
        let act = `<button type="button" class="small" data-edit="${info.index}" aria-label="Edit line ${info.index + 1}">Edit</button>`;
        if (part === 'I' && board >= 0) act += ` <button type="button" class="small" data-try="${info.index}" title="Apply it as if the board had sent it" aria-label="Try ${esc(tag)}">Try</button>`;
        if (part === 'O' && board >= 0)
          act += ` <input class="test-value" size="4" aria-label="Value to show on ${esc(tag)}" value="${/[Ll]$/.test(tag) ? '1' : '8888'}"> <button type="button" class="small" data-test="${info.index}" title="Shows the value on the board for 5 s" aria-label="Test ${esc(tag)}">Test</button>`;
        return `<tr id="row-${info.index}" data-line="${info.index}" class="${v.issues.length ? 'has-issue' : ''}">
          <td class="ln"><a href="#" data-goto="${info.index}">${info.index + 1}</a></td>
          <td><code>${esc(M.trim(S.lines[info.index].text))}</code></td>
          <td class="says">${notes}${detail ? `<div class="muted">${esc(detail)}</div>` : ''}${issues}</td>
          ${part === 'A' ? '' : `<td class="live" data-live="${info.index}">${liveCell(board, info)}</td>`}
          <td class="act">${act}</td></tr>`;
      })
      .join('') +
    '</tbody></table>';
}

function renderBoard() {
  const pane = $('pane-board');
  const id = S.selected;
  if (id === null) {
    pane.innerHTML = `<div class="empty"><p>No board has been found, and ${esc(S.name)} has no board section yet.</p><p>Connect a board, or add a section for one with “Add a board section”.</p></div>`;
    return;
  }
  const found = S.state && S.state.boards.find((b) => b.id === id);
  if (found && found.kind === 'panel') {
    pane.innerHTML = panelView(found);
    return;
  }
  const section = M.sectionOf(S.model, id);
  const board = boardIndex(id);
  const kindName = section ? M.boardKindOf(section.kind || '') : null;
  const layout = kindName ? LAYOUTS[kindName] : null;
  let drawing = '';
  if (layout && section) {
    const uses = pinUses(layout, M.pinClaims(S.model, S.lines, section));
    const legend = ['input', 'analog', 'output', 'display', 'servo', 'stepper', 'ledport', 'matrix', 'conflict', 'free']
      .map((u) => `<li><span class="swatch use-${u}"></span>${esc(useWord(u))}</li>`)
      .join('');
    const missing = uses.missing.map((m) => `<li>Line <a href="#" data-goto="${m.claim.line}">${m.claim.line + 1}</a> (<code>${esc(m.claim.text)}</code>): ${esc(m.reason)}.</li>`).join('');
    drawing = `<figure class="drawing">${drawBoard(layout, uses)}<figcaption><ul class="legend">${legend}</ul></figcaption></figure>
      <p id="pin-note" class="pin-note" aria-live="polite">Hover or tap a pin to see what uses it.</p>
      ${missing ? `<ul class="warnings" role="alert">${missing}</ul>` : ''}`;
  }
  const kinds = M.BOARD_KINDS.map((k) => `<option${k === kindName ? ' selected' : ''}>${esc(k)}</option>`).join('');
  const chooser = `<label>Board <select id="board-kind"><option value="">not said</option>${kinds}</select></label>`;
  const status = found ? `${found.connected ? 'connected' : 'lost'} on ${esc(found.link.type === 'serial' ? found.link.port : found.link.address)}${found.library ? ', library ' + esc(found.library) : ''}` : 'not found: it has not answered';
  const addIn = ADD_INPUT.map((k) => `<button type="button" class="small" data-add="${k}">${esc(KINDS[k].label)}</button>`).join(' ');
  const addOut = ADD_OUTPUT.map((k) => `<button type="button" class="small" data-add="${k}">${esc(KINDS[k].label)}</button>`).join(' ');
  pane.innerHTML = `<div class="board-head"><h2>Board ID ${id}</h2><span class="muted">${status}</span>${chooser}</div>
    ${section ? '' : `<p class="warnings">${esc(S.name)} has no section for board ID ${id}: the board gets no inputs and no outputs. Adding an entry adds the section.</p>`}
    ${layout ? drawing : `<p class="muted">Say which board this is to see its drawing; the file keeps it as the comment <code># board: …</code>.</p>`}
    <h3>Inputs</h3>${section ? entryRows(section, 'I', board) : ''}<div class="add" role="group" aria-label="Add an input">Add: ${addIn}</div>
    <h3>Outputs</h3>${section ? entryRows(section, 'O', board) : ''}<div class="add" role="group" aria-label="Add an output">Add: ${addOut}</div>
    <h3>Board settings</h3>${section ? entryRows(section, 'A', board) : ''}<div class="add"><button type="button" class="small" data-add="setting">Add a board setting</button></div>`;
  $('board-kind').onchange = (e) => {
    if (e.target.value) setLines(M.setBoardKind(S.lines, id, e.target.value));
  };
}

function panelView(b) {
  const seen = [...S.inputs].filter(([k]) => Number(k.split(':')[0]) === b.index);
  const sent = [...S.outputs].filter(([k]) => Number(k.split(':')[0]) === b.index);
  const li = (list, f) => list.map(([k, v]) => `<li><code>${esc(k.slice(k.indexOf(':') + 1))}</code> ${f(v)} <span class="ago" data-at="${v.at}">${ago(v.at)}</span></li>`).join('') || '<li class="muted">nothing yet</li>';
  return `<div class="board-head"><h2>Helvan panel</h2><span class="muted">${esc(b.link.address || b.link.port)} · ${b.inputs} inputs, ${b.outputs} outputs</span></div>
    <p>The panel carries its configuration itself; what it sent and received since this page opened:</p>
    <h3>Inputs</h3><ul class="plain">${li(seen, (v) => esc(v.value))}</ul><h3>Outputs</h3><ul class="plain">${li(sent, (v) => 'sent ' + esc(v.text))}</ul>`;
}

// ---- Text view ----

function renderGutter() {
  const out = [];
  for (let i = 0; i < Math.max(1, S.lines.length); i++) {
    const v = verdictOf(i);
    const mark = v.issues.length ? (v.issues.some((x) => x.severity === 'skipped') ? '✕' : '!') : ' ';
    out.push(`<span class="g${v.issues.length ? ' bad' : ''}" data-gline="${i + 1}" title="${esc(v.issues.map((x) => x.message).join('\n'))}">${mark}${String(i + 1).padStart(4)}</span>`);
  }
  $('gutter').innerHTML = out.join('\n') + '\n ';
  lineNote();
}

function caretLine() {
  const raw = $('raw');
  return raw.value.slice(0, raw.selectionStart).split('\n').length - 1;
}
function lineNote() {
  const i = caretLine();
  const v = verdictOf(i);
  const says = [...v.notes.filter((n) => n.kind === 'entry' || n.kind === 'comment').map((n) => n.text), ...v.issues.map((x) => x.severity + ': ' + x.message + (x.suggestion && !x.message.includes(x.suggestion) ? ` (did you mean ${x.suggestion}?)` : ''))];
  $('line-note').textContent = `Line ${i + 1}: ` + (says.join(' · ') || (S.checkedText === text() ? 'nothing to say' : S.checkOff ? 'not checked: this plug-in has no checker yet' : S.checkTooLarge ? 'not checked: the file is over 8 KB' : 'checking…'));
}

function gotoLine(i) {
  selectTab('text');
  const raw = $('raw');
  const lines = raw.value.split('\n');
  let at = 0;
  for (let k = 0; k < i && k < lines.length; k++) at += lines[k].length + 1;
  raw.focus();
  raw.setSelectionRange(at, at + (lines[i] || '').length);
  const lh = parseFloat(getComputedStyle(raw).lineHeight) || 18;
  raw.scrollTop = Math.max(0, (i - 4) * lh);
  $('gutter').scrollTop = raw.scrollTop;
  lineNote();
}

function renderProblems() {
  if (S.checkOff) {
    $('problem-count').textContent = '–';
    $('problems').innerHTML = '<li class="muted">This plug-in does not check the text yet: its verdicts come with a later version.</li>';
    return;
  }
  if (S.checkTooLarge) {
    $('problem-count').textContent = '–';
    $('problems').innerHTML = '<li class="muted">This file is larger than the Studio checks as you type (8 KB): run corvane-check on it, or work in a profile.</li>';
    return;
  }
  const issues = (S.check && S.checkedText === text() && S.check.issues) || [];
  $('problem-count').textContent = issues.length;
  $('problem-count').className = 'count' + (issues.length ? ' bad' : '');
  $('problems').innerHTML = issues.length
    ? issues
        .map((x) => `<li class="${x.severity}"><a href="#" data-goto="${x.line - 1}">line ${x.line}</a> <b>${esc(x.severity)}</b>: ${esc(x.message)}${x.suggestion ? ` <button type="button" class="small" data-suggest="${x.line - 1}" data-name="${esc(x.suggestion)}">use ${esc(x.suggestion)}</button>` : ''}</li>`)
        .join('')
    : '<li class="muted">No problems.</li>';
}

function selectTab(name) {
  for (const t of ['board', 'text', 'problems', 'log']) {
    $('tab-' + t).setAttribute('aria-selected', String(t === name));
    $('pane-' + t).hidden = t !== name;
  }
}

// ---- Forms ----

let previewTimer = 0;
let nameTimer = 0;

function formContext(section) {
  const tags = (letter) => {
    const out = [];
    if (!section) return out;
    for (const l of sectionEntries(section, 'A')) if (l.fields[0] === letter) out.push(...l.fields.slice(1));
    return out;
  };
  return { heldTags: tags('R'), squareTags: tags('Q') };
}

// Opens the form of `kind` for a new entry of board `id`, or for the entry on line `index`.
function openForm(kindId, id, index = -1, values = null) {
  const kind = KINDS[kindId];
  const section = M.sectionOf(S.model, id);
  const ctx = formContext(section);
  if (index >= 0) {
    const fields = M.fieldsOf(S.lines[index].text);
    const v = verdictOf(index);
    ctx.dataref = v.notes.some((n) => /dataref/.test(n.text)) || !!detailOf(index).match(/^writes|^adds|^maps/);
    values = kind.read(fields, ctx);
  }
  S.form = { kind, id, index, values: { ...(values || kind.read([], ctx)) }, part: index >= 0 ? S.model.lines[index].part : kind.part };
  $('form-title').textContent = (index >= 0 ? `Line ${index + 1}: ` : 'New: ') + kind.label + ` · board ID ${id}`;
  $('form-delete').hidden = index < 0;
  $('form-learn-button').hidden = !kind.learn;
  $('form-learn').hidden = true;
  drawFields();
  $('form-dialog').showModal();
  const first = $('form-fields').querySelector('input,select');
  if (first && index < 0) first.focus();
}

function drawFields() {
  const { kind, values } = S.form;
  const box = $('form-fields');
  box.innerHTML = kind.fields
    .map((f) => {
      const hidden = f.show && !f.show(values) ? ' hidden' : '';
      const id = 'f-' + f.key;
      const v = values[f.key] ?? '';
      if (f.type === 'select')
        return `<div class="field"${hidden}><label for="${id}">${esc(f.label)}</label><select id="${id}" data-key="${f.key}">${f.options.map(([o, l]) => `<option value="${esc(o)}"${String(v) === o ? ' selected' : ''}>${esc(l)}</option>`).join('')}</select></div>`;
      if (f.type === 'check')
        return `<div class="field check"${hidden}><input type="checkbox" id="${id}" data-key="${f.key}"${v ? ' checked' : ''}><label for="${id}">${esc(f.label)}</label></div>`;
      const list = f.type === 'name' ? ` list="${id}-names" autocomplete="off" autocapitalize="off" spellcheck="false" class="name"` : '';
      return `<div class="field${f.type === 'name' ? ' wide' : ''}"${hidden}><label for="${id}">${esc(f.label)}</label><input id="${id}" data-key="${f.key}" value="${esc(v)}"${f.placeholder ? ` placeholder="${esc(f.placeholder)}"` : ''}${f.inputmode ? ` inputmode="${f.inputmode}"` : ''}${list}>${f.type === 'name' ? `<datalist id="${id}-names"></datalist><div class="name-note" id="${id}-note"></div>` : ''}</div>`;
    })
    .join('');
  updatePreview();
}

function formOutput() {
  const out = S.form.kind.write(S.form.values);
  const old = S.form.index >= 0 ? S.lines[S.form.index].text : '';
  out.texts = out.lines.map((f, k) => M.entryLine(f, k === 0 ? old : ''));
  return out;
}

// The lines the form would give, for the preview and its verdict.
function updatePreview() {
  const out = formOutput();
  $('form-preview').textContent = [...out.texts, ...out.settings.map((f) => '[A] ' + f.join(' '))].join('\n');
  $('form-errors').innerHTML = out.errors.map((e) => `<li>${esc(e)}</li>`).join('');
  $('form-ok').disabled = out.errors.length > 0;
  clearTimeout(previewTimer);
  $('form-verdict').innerHTML = '';
  if (out.errors.length) return;
  if (S.checkOff) return;
  previewTimer = setTimeout(async () => {
    const { lines, at } = applyForm(S.lines, out);
    try {
      const verdict = await api.check(S.name, T.joinLines(lines));
      if (!S.form) return;
      const says = [];
      for (let k = 0; k < out.texts.length; k++) {
        const ln = verdict.lines.find((l) => l.line === at[k] + 1);
        for (const n of ln ? ln.notes : []) says.push(`<li class="${n.kind}">${esc(n.text)}</li>`);
      }
      $('form-verdict').innerHTML = says.join('');
    } catch {
      /* the preview's verdict is a help only */
    }
  }, 300);
}

// The lines with the form's entry: a new entry into its part (its settings into [A]), or the
// edited line rewritten where it is; {lines, at: the index of each entry line}.
function applyForm(lines, out) {
  const { id, index, kind } = S.form;
  let next = lines;
  let at = [];
  const settings = out.settings.map((f) => f.join(' ')).filter((t) => !hasSetting(next, id, t));
  if (index >= 0) {
    if (out.texts[0] !== lines[index].text) next = T.replaceLine(next, index, out.texts[0]);
    at = [index];
  } else {
    const r = M.addEntries(next, id, kind.part, out.texts);
    next = r.lines;
    at = out.texts.map((_, k) => r.at + k);
  }
  if (settings.length) {
    const before = next.length;
    const r = M.addEntries(next, id, 'A', settings);
    next = r.lines;
    const added = next.length - before;
    at = at.map((a) => (a >= r.at ? a + added : a));
  }
  return { lines: next, at };
}

function hasSetting(lines, id, t) {
  const section = M.sectionOf(M.analyze(lines), id);
  if (!section) return false;
  const [letter, ...items] = t.split(' ');
  const have = [];
  for (const l of M.analyze(lines).lines)
    if (l.kind === 'entry' && l.part === 'A' && l.section === section.number && l.fields[0] === letter) have.push(...l.fields.slice(1));
  return items.every((x) => have.includes(x));
}

async function suggestNames(input) {
  if (!S.form) return;
  const f = S.form.kind.fields.find((x) => x.key === input.dataset.key);
  const kind = f.nameKind ? f.nameKind(S.form.values) : '';
  const prefix = input.value.trim();
  const note = $(input.id + '-note');
  if (prefix.length < 2) {
    note.textContent = '';
    return;
  }
  try {
    const r = await api.names(prefix, kind, 50);
    $(input.id + '-names').innerHTML = r.names
      .map((n) => `<option value="${esc(n.name)}" label="${esc(n.kind === 'command' ? 'command' : n.type + (n.writable ? ', writable' : ', read-only'))}"></option>`)
      .join('');
    const exact = r.names.find((n) => n.name === prefix);
    if (exact) note.textContent = exact.kind === 'command' ? 'a command' : `a dataref: ${exact.type}, ${exact.writable ? 'writable' : 'read-only'}`;
    else if (!r.names.length) note.textContent = `'${prefix}' is not a command or dataref of the simulator`;
    else note.textContent = '';
    note.className = 'name-note' + (exact ? '' : r.names.length ? '' : ' bad');
  } catch {
    note.textContent = '';
  }
}

function formInput(e) {
  const el = e.target;
  if (!el.dataset || !el.dataset.key) return;
  S.form.values[el.dataset.key] = el.type === 'checkbox' ? el.checked : el.value;
  if (el.tagName === 'SELECT' || el.type === 'checkbox') {
    const focused = el.id;
    drawFields();
    $(focused).focus();
  } else {
    for (const f of S.form.kind.fields) {
      const box = $('f-' + f.key).closest('.field');
      box.hidden = !!(f.show && !f.show(S.form.values));
    }
    updatePreview();
  }
  if (el.classList.contains('name')) {
    clearTimeout(nameTimer);
    nameTimer = setTimeout(() => suggestNames(el), 150);
  }
}

function closeForm() {
  S.form = null;
  clearTimeout(nameTimer);
  if (S.learn && S.learn.form) stopLearning();
  clearTimeout(previewTimer);
  $('form-dialog').close();
}

function submitForm(e) {
  e.preventDefault();
  const out = formOutput();
  if (out.errors.length) return;
  const { lines, at } = applyForm(S.lines, out);
  const id = S.form.id;
  closeForm();
  S.selected = id;
  setLines(lines);
  flashRow(at[0]);
}

function flashRow(i) {
  const row = $('row-' + i);
  if (!row) return;
  row.scrollIntoView({ block: 'center', behavior: 'instant' });
  row.classList.add('flash');
  setTimeout(() => row.classList.remove('flash'), 1600);
}

// ---- Learning ----

function setLearn(learn) {
  const was = !!S.learn;
  S.learn = learn;
  if (learn && !was) plugInLearns(true);
  else if (!learn && was) plugInLearns(false);
  const on = !!(learn && !learn.form);
  $('learn').setAttribute('aria-pressed', String(on));
  $('learn').textContent = on ? 'Listening… press, turn or move a control' : 'Press a control';
  document.body.classList.toggle('learning', !!learn);
}
function stopLearning() {
  setLearn(null);
  $('form-learn').hidden = true;
}

// While the page listens, the plug-in learns controls: every Arduino board is configured again
// to report its free pins too. Listening starts once each connected board got that upload and
// works with it, which its first report after the upload shows (while learning a board reads
// every analog channel and reports each once), or after 5 s; the plug-in is asked again before
// its 120 s run out, and told when the page stops.
let learnKeep = 0;
let learnWait = 0;
function plugInLearns(on) {
  clearTimeout(learnKeep);
  clearTimeout(learnWait);
  if (!on) {
    // Each board now gets its normal upload: the next upload told of each is that one.
    S.normalDue = new Set((S.state ? S.state.boards : []).filter((b) => b.kind !== 'panel').map((b) => b.index));
    S.normalDueAt = performance.now();
    delete document.body.dataset.learning;
    api.learn(false).catch(() => {});
    return;
  }
  const boards = (S.state ? S.state.boards : []).filter((b) => b.kind !== 'panel');
  S.learnWaiting = new Set(boards.map((b) => b.index));
  S.learnConfigured = new Set();
  // A normal upload still due from learning that ended just before: told first, it does not
  // count. (Any later upload does, even one told before the plug-in's answer: the feed is
  // another connection.)
  if (S.normalDue && performance.now() - S.normalDueAt > 2000) S.normalDue = null;
  document.body.dataset.learning = 'preparing';
  learnNote(S.learnWaiting.size ? 'Getting the boards ready: each reports its free pins too…' : null);
  learnWait = setTimeout(learnReady, 5000);
  if (!S.learnWaiting.size) learnReady();
  api
    .learn(true)
    .then((r) => {
      keepLearning(r);
    })
    .catch((err) => {
      learnReady();
      if (S.learn) learnNote(`The plug-in does not learn free pins (${err.message}): only the pins the file in force names report.`);
    });
}
// The plug-in learns for 120 s from the last time it was asked: asked again 30 s before.
function keepLearning(answer) {
  clearTimeout(learnKeep);
  if (!S.learn) return;
  learnKeep = setTimeout(() => {
    if (S.learn) api.learn(true).then(keepLearning).catch(() => {});
  }, Math.max(10, answer.seconds_left - 30) * 1000);
}
function learnReady() {
  if (!S.learn || document.body.dataset.learning === 'ready') return;
  clearTimeout(learnWait);
  S.learnWaiting = new Set();
  document.body.dataset.learning = 'ready';
  learnNote(S.learn.form ? LEARN_SAYS[S.learn.state.want] : LISTENING);
}
// A board configured while the page waits for it.
function learnBoardConfigured(index) {
  if (S.normalDue && S.normalDue.delete(index)) return;
  if (S.learn && S.learnWaiting && S.learnWaiting.has(index)) S.learnConfigured.add(index);
}
// A report of a board: once configured for learning, it works with that upload.
function learnBoardReports(index) {
  if (!S.learn || !S.learnConfigured || !S.learnConfigured.has(index) || !S.learnWaiting.delete(index)) return;
  if (!S.learnWaiting.size) learnReady();
}
function learnNote(message) {
  if (!S.learn || !message) return;
  if (S.learn.form) {
    $('form-learn').hidden = false;
    $('form-learn').textContent = message;
  } else banner(message);
}

const LISTENING = 'Listening: press a button, flip a switch, turn an encoder (slowly, on a pin no entry names) or move a lever on any board.';

const LEARN_SAYS = {
  press: 'Press the button on the board (its release is not learnt).',
  switch: 'Flip the switch to one position, then to the other.',
  turn: 'Turn the encoder one click the way that should go up.',
  move: 'Move the lever well beyond its rest.',
};

function learnEvent(event) {
  const st = S.state && S.state.boards.find((b) => b.index === event.board);
  if (!st || st.kind === 'panel') return;
  const step = learnStep(S.learn.state, event, Date.now());
  S.learn.state = step.state;
  if (S.learn.form && step.note) $('form-learn').textContent = step.note;
  if (step.result) learnt(step.result);
}

// A press waited for alone long enough is a button.
function learnTime() {
  if (!S.learn) return;
  const step = learnTick(S.learn.state, Date.now());
  S.learn.state = step.state;
  if (step.result) learnt(step.result);
}

function learnt(r) {
  const st = S.state && S.state.boards.find((b) => b.index === r.board);
  if (!st) return;
  const id = st.id;
  const section = M.sectionOf(S.model, id);
  const line = section ? existingEntry(S.model, section, r.tag) : -1;
  const form = S.learn.form;
  stopLearning();
  if (line >= 0) {
    // The control already has an entry: go to it rather than write a second one.
    if (form) closeForm();
    S.selected = id;
    renderBoards();
    renderBoard();
    selectTab('board');
    banner(`${r.tag} on board ID ${id} already has an entry: line ${line + 1}.`);
    flashRow(line);
    return;
  }
  const values = form ? S.form.values : null;
  const fill = {
    button: { letter: r.letter, number: String(r.number), sign: '+' },
    switch: { number: String(r.number) },
    encoder: { number: String(r.number), upSign: r.sign },
    lever: { number: String(r.number) },
  }[r.kind];
  if (form) {
    if (S.form.kind.id === 'encoder-line') fill.sign = r.sign;
    Object.assign(values, fill);
    S.form.id = id;
    $('form-title').textContent = 'New: ' + S.form.kind.label + ` · board ID ${id}`;
    drawFields();
    $('form-learn').hidden = false;
    $('form-learn').textContent = `Learnt ${r.kind === 'switch' ? r.on + ' and ' + r.off : r.tag} from board ID ${id}.`;
    return;
  }
  banner('');
  S.selected = id;
  renderBoards();
  renderBoard();
  const kindId = { button: 'button', switch: 'switch', encoder: 'encoder', lever: 'lever' }[r.kind];
  openForm(kindId, id, -1, { ...KINDS[kindId].read([]), ...(kindId === 'button' ? { action: 'command' } : {}), ...fill });
  $('form-learn').hidden = false;
  $('form-learn').textContent = `Learnt ${r.tag} from board ID ${id}.`;
}

// ---- Live feed ----

let stateTimer = 0;
let stateDue = false;
// The board list's state again, at most every 2 s, and only when the feed told of a change.
function refreshState() {
  if (stateTimer) {
    stateDue = true;
    return;
  }
  stateTimer = setTimeout(async () => {
    stateTimer = 0;
    try {
      S.state = await api.state();
      renderTop();
      renderBoards();
      if (!document.activeElement || !document.activeElement.closest('#pane-board')) renderBoard();
    } catch {
      /* the feed tells when it is back */
    }
    if (stateDue) {
      stateDue = false;
      refreshState();
    }
  }, 2000);
}

function updateLiveCells(board) {
  const st = S.state && S.state.boards.find((b) => b.index === board);
  if (!st || st.id !== S.selected) return;
  if (st.kind === 'panel') {
    renderBoard();
    return;
  }
  for (const cell of document.querySelectorAll('[data-live]')) {
    const info = S.model.lines[Number(cell.dataset.live)];
    if (info) cell.innerHTML = liveCell(board, info);
  }
}

function logLine(t) {
  const log = $('log');
  const atEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.append(t + '\n');
  while (log.childNodes.length > 1000) log.firstChild.remove();
  if (atEnd) log.scrollTop = log.scrollHeight;
}

function onEvent(e) {
  switch (e.event) {
    case 'input': {
      S.inputs.set(e.board + ':' + e.tag, { value: e.value, at: Date.now() });
      const b = S.state && S.state.boards.find((x) => x.index === e.board);
      if (b) {
        b.traffic.messages_in++;
        const t = document.querySelector(`[data-traffic="${e.board}"]`);
        if (t) t.textContent = `in ${b.traffic.messages_in} · out ${b.traffic.messages_out}`;
      }
      if (S.learn) {
        learnBoardReports(e.board);
        learnEvent(e);
      }
      updateLiveCells(e.board);
      flashPin(e);
      break;
    }
    case 'output':
      S.outputs.set(e.board + ':' + e.tag, { text: e.text, at: Date.now() });
      updateLiveCells(e.board);
      break;
    case 'log':
      logLine(e.text);
      break;
    case 'board':
      logLine(`[studio] board ${e.board} (ID ${e.id}) ${e.state}`);
      if (e.state === 'configured') learnBoardConfigured(e.board);
      refreshState();
      break;
    case 'aircraft':
      if (S.state) Object.assign(S.state, { aircraft: { file: e.file, path: e.path }, config_file: e.config_file });
      renderTop();
      api.files().then((f) => {
        S.files = f.files;
        renderTop();
      });
      break;
    case 'names':
      S.checkedText = null;
      scheduleCheck();
      break;
    case 'dropped':
      logLine(`[studio] board ${e.board}: ${e.count} more events in one call were not shown`);
      break;
  }
}

function flashPin(e) {
  const st = S.state && S.state.boards.find((b) => b.index === e.board);
  if (!st || st.id !== S.selected) return;
  const t = M.readInput([e.tag]);
  if (t.number === null) return;
  const key = t.letter === 'A' ? 'A' + t.number : String(t.number);
  const el = document.querySelector(`.board [data-key="${key}"]`);
  if (!el) return;
  el.classList.add('active');
  setTimeout(() => el.classList.remove('active'), 500);
}

// ---- Files: open, save, apply, backups ----

async function leaveOk() {
  if (!dirty()) return true;
  const a = await ask(`${S.name} has unsaved changes.`, 'Save them', 'Throw them away');
  if (a === 'yes') return save();
  return a === 'other';
}

async function openFile(name) {
  try {
    const f = await api.file(name);
    loadText(name, f.text, f.version);
    banner('');
  } catch (err) {
    if (err instanceof ApiError && err.status === 404) {
      loadText(name, '', '');
      banner(`${name} does not exist yet: it is made when you save.`);
    } else banner('Could not open ' + name + ': ' + err.message, 'error');
  }
}

async function save() {
  const t = text();
  try {
    const r = await api.save(S.name, t, S.version);
    S.version = r.version;
    S.saved = t;
    if (r.check) {
      S.check = r.check;
      S.checkedText = t;
    }
    S.files = (await api.files()).files;
    renderTop();
    renderProblems();
    renderGutter();
    banner(`Saved ${S.name}. Apply to configure the boards from it${S.state && S.state.config_file !== S.name ? ' (it is not the file in force)' : ''}.`, 'ok');
    return true;
  } catch (err) {
    if (err instanceof ApiError && err.status === 409 && err.body) return conflict(err.body);
    banner('Not saved: ' + err.message, 'error');
    return false;
  }
}

// A save refused because the file changed: both texts side by side; the builder chooses.
function conflict(now) {
  return new Promise((resolve) => {
    const d = $('conflict-dialog');
    $('conflict-name').textContent = S.name;
    // Each side's lines that the other side lacks are marked.
    const side = (own, other) => {
      const have = new Map();
      for (const l of other.split('\n')) have.set(l, (have.get(l) || 0) + 1);
      return own.split('\n').map((l) => {
        const n = have.get(l) || 0;
        if (n) have.set(l, n - 1);
        return n ? esc(l) : `<span class="only">${esc(l) || ' '}</span>`;
      }).join('\n');
    };
    $('conflict-mine').innerHTML = side(text(), now.text);
    $('conflict-theirs').innerHTML = side(now.text, text());
    const done = (r) => {
      d.close();
      resolve(r);
    };
    $('conflict-cancel').onclick = () => {
      banner(`Not saved: ${S.name} changed on disk. Your version is still here.`, 'error');
      done(false);
    };
    $('conflict-theirs-button').onclick = () => {
      loadText(S.name, now.text, now.version);
      banner(`Took ${S.name} as it is now; your changes were dropped.`);
      done(false);
    };
    $('conflict-mine-button').onclick = async () => {
      d.close();
      S.version = now.version;
      resolve(await save());
    };
    d.oncancel = () => done(false);
    d.showModal();
  });
}

async function apply() {
  if (dirty() && !(await save())) return;
  try {
    await api.apply();
    banner('The boards are being configured again.', 'ok');
  } catch (err) {
    banner('Apply failed: ' + err.message, 'error');
  }
}

async function showBackups() {
  const d = $('backup-dialog');
  const list = $('backup-list');
  list.innerHTML = '<li class="muted">…</li>';
  d.showModal();
  try {
    const r = await api.backups(S.name);
    list.innerHTML = r.backups.length
      ? r.backups.map((b) => `<li><span>${esc(new Date(b.saved).toLocaleString())} · ${b.size} bytes</span> <button type="button" class="small" data-backup="${esc(b.id)}">Open</button></li>`).join('')
      : '<li class="muted">No earlier versions of this file yet.</li>';
  } catch (err) {
    list.innerHTML = `<li class="error">${esc(err.message)}</li>`;
  }
}

async function openBackup(id) {
  try {
    const b = await api.backup(S.name, id);
    $('backup-dialog').close();
    setLines(T.splitLines(b.text));
    banner(`Opened the version of ${S.name} saved before ${id}. Save to restore it; Undo goes back.`);
  } catch (err) {
    banner('Could not open it: ' + err.message, 'error');
  }
}

// ---- Wiring ----

function clicks(e) {
  const t = e.target.closest('[data-goto],[data-edit],[data-try],[data-test],[data-add],[data-board],[data-suggest],[data-backup],.board [data-key]');
  if (!t) return;
  if (t.dataset.goto !== undefined) {
    e.preventDefault();
    gotoLine(Number(t.dataset.goto));
  } else if (t.dataset.edit !== undefined) {
    const i = Number(t.dataset.edit);
    const info = S.model.lines[i];
    openForm(kindOf(info.part, info.fields), S.selected, i);
  } else if (t.dataset.try !== undefined) {
    const i = Number(t.dataset.try);
    const tag = M.readInput(S.model.lines[i].fields);
    const value = tag.letter === 'A' ? '500' : '';
    api.tryInput(boardIndex(S.selected), tag.tag.replace(/^[db]/, (c) => c.toUpperCase()), value)
      .then((r) => banner(`Tried ${tag.tag}: ${r.matched.length} entr${r.matched.length === 1 ? 'y' : 'ies'} applied.`, 'ok'))
      .catch((err) => banner('Try failed: ' + err.message, 'error'));
  } else if (t.dataset.test !== undefined) {
    const i = Number(t.dataset.test);
    const value = t.parentElement.querySelector('.test-value').value;
    api.testOutput(boardIndex(S.selected), S.model.lines[i].fields[0], value, 5)
      .then(() => banner(`Showing ${value} on ${S.model.lines[i].fields[0]} for 5 s.`, 'ok'))
      .catch((err) => banner('Test failed: ' + err.message, 'error'));
  } else if (t.dataset.add !== undefined) openForm(t.dataset.add, S.selected);
  else if (t.dataset.board !== undefined) {
    S.selected = Number(t.dataset.board);
    renderBoards();
    renderBoard();
    selectTab('board');
  } else if (t.dataset.suggest !== undefined) {
    // The checker's closest name takes the place of the name field nearest to it.
    const i = Number(t.dataset.suggest);
    const want = t.dataset.name;
    const fields = M.fieldsOf(S.lines[i].text).filter((f) => f.includes('/') && f !== want);
    const common = (f) => [...f].findIndex((c, k) => c !== want[k]);
    const field = fields.sort((a, b) => (common(b) < 0 ? b.length : common(b)) - (common(a) < 0 ? a.length : common(a)))[0];
    if (field) setLines(T.replaceLine(S.lines, i, S.lines[i].text.replace(field, want)));
  } else if (t.dataset.backup !== undefined) openBackup(t.dataset.backup);
  else if (t.dataset.key !== undefined) pinNote(t);
}

function pinNote(el) {
  const note = $('pin-note');
  if (note) note.textContent = el.getAttribute('aria-label');
}

async function start() {
  document.addEventListener('click', clicks);
  document.addEventListener('mouseover', (e) => {
    const p = e.target.closest && e.target.closest('.board [data-key]');
    if (p) pinNote(p);
  });
  document.addEventListener('focusin', (e) => {
    const p = e.target.closest && e.target.closest('.board [data-key]');
    if (p) pinNote(p);
  });
  document.addEventListener('keydown', (e) => {
    const p = e.target.closest && e.target.closest('.board [data-key]');
    if (p && (e.key === 'Enter' || e.key === ' ')) pinNote(p);
  });
  for (const t of ['board', 'text', 'problems', 'log']) $('tab-' + t).onclick = () => selectTab(t);
  $('raw').addEventListener('input', () => setLines(T.applyShownText(S.lines, $('raw').value), { keepRaw: true }));
  $('raw').addEventListener('scroll', () => ($('gutter').scrollTop = $('raw').scrollTop));
  for (const ev of ['keyup', 'click']) $('raw').addEventListener(ev, lineNote);
  $('undo').onclick = () => {
    if (!S.history.length) return;
    setLines(S.history.pop(), { remember: false });
  };
  $('save').onclick = save;
  $('apply').onclick = apply;
  $('backups').onclick = showBackups;
  $('backup-close').onclick = () => $('backup-dialog').close();
  $('learn').onclick = () => {
    if (S.learn && !S.learn.form) return stopLearning(), banner('');
    setLearn({ state: startLearning('any'), form: false });
  };
  $('file-select').onchange = async (e) => {
    const name = e.target.value;
    if (name === S.name) return;
    if (!(await leaveOk())) {
      renderTop();
      return;
    }
    await openFile(name);
  };
  $('add-section').onclick = () => {
    const used = new Set(S.model.sections.map((s) => s.id));
    for (const b of S.state ? S.state.boards : []) used.add(b.id);
    const id = [1, 2, 3, 4, 5, 6, 7, 8, 9].find((n) => !used.has(n));
    if (!id) return banner('Every board ID from 1 to 9 has a section or a board already.', 'error');
    S.selected = id;
    setLines(M.addSection(S.lines, id));
  };
  const form = $('entry-form');
  form.addEventListener('input', formInput);
  form.addEventListener('change', (e) => e.target.tagName === 'SELECT' || e.target.type === 'checkbox' ? formInput(e) : null);
  form.addEventListener('submit', submitForm);
  $('form-cancel').onclick = closeForm;
  $('form-dialog').addEventListener('cancel', () => {
    S.form = null;
    if (S.learn) stopLearning();
  });
  $('form-delete').onclick = () => {
    const i = S.form.index;
    closeForm();
    setLines(T.deleteLines(S.lines, i));
    banner(`Deleted line ${i + 1}. Undo brings it back.`);
  };
  $('form-learn-button').onclick = () => {
    const want = S.form.kind.learn;
    setLearn({ state: startLearning(want), form: true });
    $('form-learn').hidden = false;
    $('form-learn').textContent = document.body.dataset.learning === 'ready' ? LEARN_SAYS[want] : 'Getting the boards ready: each reports its free pins too…';
  };
  setInterval(learnTime, 100);
  // Leaving while listening: the plug-in stops learning, even as the page goes.
  window.addEventListener('pagehide', () => {
    if (S.learn) api.learn(false, true).catch(() => {});
  });
  window.addEventListener('beforeunload', (e) => {
    if (dirty()) {
      e.preventDefault();
      e.returnValue = '';
    }
  });
  setInterval(() => {
    for (const el of document.querySelectorAll('.ago')) el.textContent = ago(Number(el.dataset.at));
  }, 1000);

  try {
    const [state, files] = await Promise.all([api.state(), api.files()]);
    S.state = state;
    S.files = files.files;
    await openFile(state.config_file || 'data.cfg');
  } catch (err) {
    if (err instanceof ApiError && err.status === 401)
      banner('This page needs the address with its token: open it from the plug-in (Plugins > Corvane > Open Studio, or the address in Log.txt).', 'error');
    else banner('The plug-in does not answer: ' + err.message, 'error');
    return;
  }
  liveFeed(onEvent, (status) => {
    $('feed').textContent = status === 'open' ? '● live' : '○ reconnecting…';
    $('feed').className = 'feed ' + status;
    if (status === 'open') refreshState();
  });
  performance.mark('studio-ready');
  document.body.dataset.ready = '1';
}

start();
