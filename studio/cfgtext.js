// The text of a data.cfg as a list of lines, each with its own line end, so that the file comes
// back byte for byte: comments, blank lines, unknown lines, CRLF or LF, a final line feed or
// none. Only the lines an edit touches are written anew.

// A line: {text, eol}; eol is "\n", "\r\n" or "" (the last line of a file without a final line
// feed). A carriage return in the middle of a line stays part of its text.
export function splitLines(text) {
  const lines = [];
  let from = 0;
  while (from < text.length) {
    const lf = text.indexOf('\n', from);
    if (lf < 0) {
      lines.push({ text: text.slice(from), eol: '' });
      break;
    }
    const cr = lf > from && text[lf - 1] === '\r';
    lines.push({ text: text.slice(from, cr ? lf - 1 : lf), eol: cr ? '\r\n' : '\n' });
    from = lf + 1;
  }
  return lines;
}

export function joinLines(lines) {
  let out = '';
  for (const line of lines) out += line.text + line.eol;
  return out;
}

// The line end that new lines get: the file's first one, or a line feed.
export function usualEol(lines) {
  for (const line of lines) if (line.eol) return line.eol;
  return '\n';
}

// The text a browser's text area shows: line feeds only (it would turn every carriage return
// into one), with a final line feed where the file has one.
export function shownText(lines) {
  let out = '';
  for (const line of lines) out += line.text.replace(/\r/g, '') + (line.eol ? '\n' : '');
  return out;
}

// The lines after the builder edited the shown text: lines that read as before keep their bytes
// (their line ends and carriage returns); only the changed run between the unchanged start and
// end is new, and a changed line keeps the line end it had.
export function applyShownText(lines, shown) {
  const oldChunks = lines.map((l) => l.text.replace(/\r/g, '') + (l.eol ? '\n' : ''));
  const newChunks = [];
  for (let from = 0; from < shown.length; ) {
    const lf = shown.indexOf('\n', from);
    const end = lf < 0 ? shown.length : lf + 1;
    newChunks.push(shown.slice(from, end));
    from = end;
  }
  let head = 0;
  while (head < oldChunks.length && head < newChunks.length && oldChunks[head] === newChunks[head])
    head++;
  let tail = 0;
  while (
    tail < oldChunks.length - head &&
    tail < newChunks.length - head &&
    oldChunks[oldChunks.length - 1 - tail] === newChunks[newChunks.length - 1 - tail]
  )
    tail++;
  const eol = usualEol(lines);
  const oldMiddle = lines.slice(head, lines.length - tail);
  const middle = newChunks.slice(head, newChunks.length - tail).map((chunk, k) => {
    const ends = chunk.endsWith('\n');
    const was = oldMiddle.length === newChunks.length - head - tail ? oldMiddle[k] : null;
    return {
      text: ends ? chunk.slice(0, -1) : chunk,
      eol: ends ? (was && was.eol) || eol : '',
    };
  });
  return lines.slice(0, head).concat(middle, lines.slice(lines.length - tail));
}

// A copy with line `index` reading `text`; its line end stays.
export function replaceLine(lines, index, text) {
  const out = lines.slice();
  out[index] = { text, eol: lines[index].eol };
  return out;
}

export function deleteLines(lines, index, count = 1) {
  const out = lines.slice();
  const wasLast = index + count >= lines.length;
  out.splice(index, count);
  // A file without a final line feed keeps none: the new last line loses its line end.
  if (wasLast && out.length && lines[lines.length - 1].eol === '' && index > 0)
    out[out.length - 1] = { text: out[out.length - 1].text, eol: '' };
  return out;
}

// A copy with `texts` inserted before line `index` (at the end for lines.length). Inserted at
// the end of a file without a final line feed, the new last line has none either.
export function insertLines(lines, index, texts) {
  if (!texts.length) return lines.slice();
  const eol = usualEol(lines);
  const out = lines.slice();
  const added = texts.map((text) => ({ text, eol }));
  if (index >= lines.length && lines.length && lines[lines.length - 1].eol === '') {
    out[out.length - 1] = { text: out[out.length - 1].text, eol };
    added[added.length - 1].eol = '';
  }
  out.splice(index, 0, ...added);
  return out;
}
