// The Arduino boards the page draws, with every pin by the name printed beside it on the board,
// and the drawing itself: an SVG of the board with each pin coloured by its use. Lengths are in
// tenths of a millimetre; headers have the 2.54 mm pitch of the real boards.

const PITCH = 25.4;
const pin = (label, number, pwm = false) => ({ label, pin: number, pwm });
const analog = (channel, number) => ({ label: 'A' + channel, channel, pin: number });
const power = (label) => ({ label, power: true });
const digits = (from, to, pwmPins = []) => {
  const out = [];
  for (let n = from; from <= to ? n <= to : n >= to; n += from <= to ? 1 : -1)
    out.push(pin((pwmPins.includes(n) ? '~' : '') + n, n, pwmPins.includes(n)));
  return out;
};
const analogs = (from, to, base, only = []) => {
  const out = [];
  for (let c = from; c <= to; c++) out.push(analog(c, only.includes(c) ? null : base + c));
  return out;
};

// A header: its first pin at (x, y), the next ones along dx, dy; labels on the side `side`.
const header = (x, y, dx, dy, side, pins) => ({ x, y, dx, dy, side, pins });

const UNO_PWM = [3, 5, 6, 9, 10, 11];
const topUno = [
  header(188, 30, PITCH, 0, 'below', [power('SCL'), power('SDA'), power('AREF'), power('GND'), ...digits(13, 8, UNO_PWM)]),
  header(457.2, 30, PITCH, 0, 'below', [...digits(7, 2, UNO_PWM), pin('TX\u21921', 1), pin('RX\u21900', 0)]),
];

export const LAYOUTS = {
  Uno: {
    name: 'Arduino Uno',
    width: 686,
    height: 534,
    analogBase: 14,
    channels: 6,
    usb: { x: -15, y: 95, w: 160, h: 120 },
    jack: { x: -18, y: 375, w: 140, h: 90 },
    chip: { x: 300, y: 330, w: 340, h: 90, label: 'ATmega328P' },
    headers: [
      ...topUno,
      header(279.4, 504, PITCH, 0, 'above', ['', 'IOREF', 'RESET', '3.3V', '5V', 'GND', 'GND', 'Vin'].map(power)),
      header(508, 504, PITCH, 0, 'above', analogs(0, 5, 14)),
    ],
  },
  Nano: {
    name: 'Arduino Nano',
    width: 432,
    height: 180,
    analogBase: 14,
    channels: 8,
    analogOnly: [20, 21],
    usb: { x: -12, y: 55, w: 80, h: 70 },
    chip: { x: 190, y: 60, w: 70, h: 60, label: '328P' },
    headers: [
      header(40, 20, PITCH, 0, 'below', [pin('D13', 13), power('3V3'), power('REF'), ...analogs(0, 7, 14, [6, 7]), power('5V'), power('RST'), power('GND'), power('VIN')]),
      header(40, 160, PITCH, 0, 'above', [...digits(12, 2, UNO_PWM).map((p) => ({ ...p, label: 'D' + p.pin })), power('GND'), power('RST'), pin('RX0', 0), pin('TX1', 1)]),
    ],
  },
  'Mega 2560': {
    name: 'Arduino Mega 2560',
    width: 1016,
    height: 534,
    analogBase: 54,
    channels: 16,
    usb: { x: -15, y: 95, w: 160, h: 120 },
    jack: { x: -18, y: 375, w: 140, h: 90 },
    chip: { x: 420, y: 250, w: 150, h: 150, label: 'ATmega2560' },
    headers: [
      header(188, 30, PITCH, 0, 'below', [power('SCL'), power('SDA'), power('AREF'), power('GND'), ...digits(13, 8, [13, 12, 11, 10, 9, 8])]),
      header(457.2, 30, PITCH, 0, 'below', [...digits(7, 2, [7, 6, 5, 4, 3, 2]), pin('TX0\u21921', 1), pin('RX0\u21900', 0)]),
      header(685.8, 30, PITCH, 0, 'below', [
        pin('TX3 14', 14), pin('RX3 15', 15), pin('TX2 16', 16), pin('RX2 17', 17),
        pin('TX1 18', 18), pin('RX1 19', 19), pin('SDA 20', 20), pin('SCL 21', 21),
      ]),
      header(279.4, 504, PITCH, 0, 'above', ['', 'IOREF', 'RESET', '3.3V', '5V', 'GND', 'GND', 'Vin'].map(power)),
      header(508, 504, PITCH, 0, 'above', analogs(0, 7, 54)),
      header(736.6, 504, PITCH, 0, 'above', analogs(8, 15, 54)),
      header(943, 60, 0, PITCH, 'left', [power('5V'), ...digits(22, 52).filter((n) => n.pin % 2 === 0).map((p) => ({ ...p, pwm: p.pin >= 44 && p.pin <= 46, label: (p.pin >= 44 && p.pin <= 46 ? '~' : '') + p.pin })), power('GND')]),
      header(980, 60, 0, PITCH, 'right', [power('5V'), ...digits(23, 53).filter((n) => n.pin % 2 === 1).map((p) => ({ ...p, pwm: p.pin === 45, label: (p.pin === 45 ? '~' : '') + p.pin })), power('GND')]),
    ],
  },
};

// The key of a pin of the drawing: its number for a digital pin, A and the channel for an
// analog one (an Uno's A0 is pin 14 too, and both name the same key).
export function pinKey(layout, at) {
  if ('channel' in at) {
    if (at.channel < 0 || at.channel >= layout.channels) return { missing: `no analog channel A${at.channel}` };
    return { key: 'A' + at.channel };
  }
  const n = at.pin;
  if (layout.analogOnly && layout.analogOnly.includes(n))
    return { missing: `pin ${n} (A${n - layout.analogBase}) reads analog levers only` };
  if (n >= layout.analogBase && n < layout.analogBase + layout.channels) return { key: 'A' + (n - layout.analogBase) };
  if (n >= 0 && n < layout.analogBase) return { key: String(n) };
  return { missing: `no pin ${n}` };
}

const USE_WORDS = {
  input: 'input', analog: 'analog lever', output: 'output', display: '7-segment display', servo: 'servo',
  stepper: 'stepper', ledport: 'LED port', matrix: 'button matrix', serial: 'USB serial line', free: 'free',
};
export const useWord = (use) => USE_WORDS[use] || use;

// Each pin's use from the claims of the entries (cfgmodel.pinClaims): {pins: Map key ->
// {use, claims, conflict}, missing: [{claim, reason}]}. A pin two different entries claim is a
// conflict, and so are pins 0 and 1, which carry the USB serial line.
export function pinUses(layout, claims) {
  const pins = new Map();
  const missing = [];
  for (const claim of claims) {
    const where = pinKey(layout, claim.at);
    if (where.missing) {
      missing.push({ claim, reason: `the ${layout.name} has ${where.missing}` });
      continue;
    }
    const info = pins.get(where.key) || { use: claim.use, claims: [], whats: new Set(), conflict: '' };
    info.claims.push(claim);
    info.whats.add(claim.what);
    if (info.whats.size > 1) {
      info.use = 'conflict';
      info.conflict = 'claimed by ' + [...info.whats].join(' and ');
    }
    if (where.key === '0' || where.key === '1') {
      info.use = 'conflict';
      info.conflict = 'pins 0 and 1 carry the USB serial line: the board never uses them';
    }
    pins.set(where.key, info);
  }
  return { pins, missing };
}

const esc = (t) => String(t).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);

// What hovering or tapping a pin says: the pin, its use and each entry with its line.
export function pinText(p, info) {
  const head = p.power ? p.label : `${p.label}${p.channel === undefined ? '' : ' (analog A' + p.channel + ')'}`;
  if (p.power || !info) return head + (p.power ? '' : ': free');
  const entries = info.claims.map((c) => `line ${c.line + 1}: ${c.text}`).join('; ');
  return `${head}: ${info.use === 'conflict' ? 'CONFLICT, ' + info.conflict : useWord(info.use)}; ${entries}`;
}

// The SVG of a board, each pin a focusable element with data-key, its use as a class, and a
// title that names its entries and lines.
export function drawBoard(layout, uses) {
  const w = layout.width, h = layout.height;
  const out = [];
  out.push(`<svg xmlns="http://www.w3.org/2000/svg" class="board" viewBox="-40 -40 ${w + 80} ${h + 80}" role="group" aria-label="${esc(layout.name)}">`);
  out.push(`<rect class="pcb" x="0" y="0" width="${w}" height="${h}" rx="25"/>`);
  for (const part of ['usb', 'jack']) {
    const r = layout[part];
    if (r) out.push(`<rect class="${part}" x="${r.x}" y="${r.y}" width="${r.w}" height="${r.h}" rx="6"/>`);
  }
  const c = layout.chip;
  out.push(`<rect class="chip" x="${c.x}" y="${c.y}" width="${c.w}" height="${c.h}" rx="4"/>`);
  out.push(`<text class="chip-label" x="${c.x + c.w / 2}" y="${c.y + c.h / 2 + 8}" text-anchor="middle">${esc(c.label)}</text>`);
  out.push(`<text class="board-name" x="${w - 30}" y="${h / 2 + 70}" text-anchor="end">${esc(layout.name.replace('Arduino ', ''))}</text>`);
  for (const hd of layout.headers) {
    const len = hd.pins.length - 1;
    const x0 = hd.x - 14, y0 = hd.y - 14;
    out.push(`<rect class="header" x="${x0}" y="${y0}" width="${hd.dx * len + 28}" height="${hd.dy * len + 28}" rx="3"/>`);
    hd.pins.forEach((p, k) => {
      const x = hd.x + hd.dx * k, y = hd.y + hd.dy * k;
      let key = null, info = null;
      if (!p.power) {
        key = p.channel !== undefined ? 'A' + p.channel : String(p.pin);
        info = uses.pins.get(key) || null;
      }
      const use = p.power ? 'power' : info ? info.use : 'free';
      const text = pinText(p, info);
      const focus = p.power ? '' : ` tabindex="0" role="button" data-key="${esc(key)}" aria-label="${esc(text)}"`;
      out.push(`<g class="pin use-${use}"${focus}><title>${esc(text)}</title>`);
      out.push(`<rect x="${x - 11}" y="${y - 11}" width="22" height="22" rx="${p.power ? 2 : 11}"/>`);
      if (use === 'conflict') out.push(`<text class="mark" x="${x}" y="${y + 7}" text-anchor="middle">!</text>`);
      if (p.label) {
        const [lx, ly, rot, anchor] = {
          below: [x + 6, y + 22, -90, 'end'],
          above: [x + 6, y - 22, -90, 'start'],
          left: [x - 20, y + 6, 0, 'end'],
          right: [x + 20, y + 6, 0, 'start'],
        }[hd.side];
        out.push(`<text class="pin-label" x="${lx}" y="${ly}" text-anchor="${anchor}" transform="rotate(${rot} ${lx} ${ly})">${esc(p.label)}</text>`);
      }
      out.push('</g>');
    });
  }
  out.push('</svg>');
  return out.join('');
}
