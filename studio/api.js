// The plug-in's Studio interface: JSON calls with the page's token, and the live feed.

// The token comes with the address the plug-in gives (?token=…); it is kept for this tab, so a
// reload still works, and taken out of the address bar.
const params = new URLSearchParams(location.search);
export const token = params.get('token') || sessionStorage.getItem('corvane_token') || '';
if (params.has('token')) {
  sessionStorage.setItem('corvane_token', token);
  params.delete('token');
  const rest = params.toString();
  history.replaceState(null, '', location.pathname + (rest ? '?' + rest : '') + location.hash);
}

// An answer that is not 2xx: status, and the body the server gave.
export class ApiError extends Error {
  constructor(status, body) {
    super((body && (body.detail || body.error)) || 'HTTP ' + status);
    this.status = status;
    this.body = body;
  }
}

async function call(method, path, body, keepalive = false) {
  const init = { method, headers: { 'X-Corvane-Token': token }, cache: 'no-store', keepalive };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const answer = await fetch(path, init);
  let data = null;
  try {
    data = await answer.json();
  } catch {
    data = null;
  }
  if (!answer.ok) throw new ApiError(answer.status, data);
  return data;
}

const q = (name) => encodeURIComponent(name);
export const api = {
  state: () => call('GET', '/api/state'),
  files: () => call('GET', '/api/files'),
  file: (name) => call('GET', '/api/file?name=' + q(name)),
  save: (name, text, base) => call('PUT', '/api/file?name=' + q(name), { text, base_version: base }),
  backups: (name) => call('GET', '/api/backups?name=' + q(name)),
  backup: (name, id) => call('GET', '/api/backup?name=' + q(name) + '&id=' + q(id)),
  check: (name, text) => call('POST', '/api/check', { name, text }),
  names: (prefix, kind, limit = 50) =>
    call('GET', `/api/names?prefix=${q(prefix)}${kind ? '&kind=' + kind : ''}&limit=${limit}`),
  apply: () => call('POST', '/api/apply', {}),
  testOutput: (board, tag, text, seconds = 5) => call('POST', '/api/test-output', { board, tag, text, seconds }),
  tryInput: (board, tag, value = '') => call('POST', '/api/try-input', { board, tag, value }),
  // Learning controls on or off; keepalive: the request outlives the page (it is leaving).
  learn: (on, keepalive = false) => call('POST', '/api/learn', { on }, keepalive),
};

// The live feed: calls onEvent with each event, onStatus with 'open' or 'closed'; opens again
// after a loss, waiting longer each time (1 s up to 10 s).
export function liveFeed(onEvent, onStatus) {
  let wait = 1000;
  const open = () => {
    const ws = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/api/live');
    ws.onopen = () => {
      wait = 1000;
      onStatus('open');
    };
    ws.onmessage = (m) => {
      let event;
      try {
        event = JSON.parse(m.data);
      } catch {
        return;
      }
      onEvent(event);
    };
    ws.onclose = () => {
      onStatus('closed');
      setTimeout(open, wait);
      wait = Math.min(wait * 2, 10000);
    };
  };
  open();
}
