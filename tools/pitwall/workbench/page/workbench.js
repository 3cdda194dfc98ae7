// The workbench page: polls the server's state, shows the picture, and turns the selected control's
// attribute table into a form whose changes go straight to the server.
'use strict';

const $ = (id) => document.getElementById(id);

let shown = { revision: -1, frame: -1, version: '', unsaved: false };
let selected = null; // the selected control's name
// What layout.js adds: called with every state shown, and with every control selected.
const hooks = { state: [], select: [] };

// The run's token, written into the page by the server: every change carries it, which a page
// from another site cannot read and so cannot send.
const token = document.querySelector('meta[name="pitwall-token"]').content;

function showError(text) {
  const box = $('error');
  box.textContent = text || '';
  box.hidden = !text;
}

// A failed call: the server's message, its status and the rest of its reply.
class CallError extends Error {
  constructor(message, status, reply) {
    super(message);
    this.status = status;
    this.reply = reply;
  }
}

async function call(method, url, body) {
  const init = { method, headers: {} };
  if (method !== 'GET') {
    init.body = JSON.stringify(body === undefined ? {} : body);
    init.headers['Content-Type'] = 'application/json';
    init.headers['X-Pitwall-Token'] = token;
  }
  const res = await fetch(url, init);
  const reply = await res.json().catch(() => ({ error: 'the server answered ' + res.status }));
  if (!res.ok) throw new CallError(reply.error || 'the server answered ' + res.status, res.status, reply);
  return reply;
}

// ---- the picture and the state ----------------------------------------------------------------

function showState(state) {
  $('scene-name').textContent = state.scene;
  $('time').textContent = state.time.toFixed(1);
  $('duration').textContent = state.duration.toFixed(1);
  $('frame-ms').textContent = state.frame_ms.toFixed(2);
  $('play').disabled = state.playing;
  $('pause').disabled = !state.playing;
  const scrubber = $('scrubber');
  scrubber.max = state.duration;
  if (document.activeElement !== scrubber) scrubber.value = state.time;
  $('speed').value = String(state.speed);
  $('undo').disabled = !state.undo;
  $('undo').title = state.undo ? 'Undo ' + state.undo + ' (Ctrl-Z)' : 'Nothing to undo';
  $('redo').disabled = !state.redo;
  $('redo').title = state.redo ? 'Redo ' + state.redo + ' (Ctrl-Shift-Z)' : 'Nothing to redo';
  // Tracked values in the form follow the player's time.
  if (state.time !== shown.time) {
    shown.time = state.time;
    if (selected !== null && document.querySelector('#attributes .row.tracked')) refreshTracked();
  }
  const failures = $('failures');
  failures.replaceChildren(...state.failures.map((f) => {
    const li = document.createElement('li');
    li.textContent = `control "${f.control}" (${f.widget}) failed to draw: result ${f.result}`;
    return li;
  }));
  if (state.frame !== shown.frame) {
    shown.frame = state.frame;
    $('frame').src = '/frame.png?frame=' + state.frame;
  }
  shown.unsaved = state.unsaved;
  shown.version = state.version;
  showConflict(state.conflict);
  if (state.revision !== shown.revision) {
    shown.revision = state.revision;
    // A reload: a scene that failed to load says why; one that loaded clears the old message.
    showError(state.error);
    shown.names = null;
  }
  // The list follows adds, deletes, renames and the drawing order.
  const names = state.controls.map((c) => c.name + '\u0000' + c.widget).join('\u0001');
  if (names !== shown.names) {
    shown.names = names;
    showControls(state.controls);
  }
  for (const h of hooks.state) h(state);
}

async function poll() {
  try {
    showState(await call('GET', '/api/state'));
  } catch (e) {
    showError('lost the server: ' + e.message);
  }
  setTimeout(poll, 250);
}

function showControls(controls) {
  const list = $('controls');
  list.replaceChildren(...controls.map((c) => {
    const li = document.createElement('li');
    const b = document.createElement('button');
    b.type = 'button';
    b.dataset.control = c.name;
    b.append(c.name + ' ');
    const small = document.createElement('small');
    small.textContent = c.widget;
    b.append(small);
    b.addEventListener('click', () => select(c.name));
    li.append(b);
    return li;
  }));
  const still = controls.some((c) => c.name === selected);
  select(still ? selected : controls.length ? controls[0].name : null);
}

async function select(name) {
  const again = name === selected;
  selected = name;
  for (const b of document.querySelectorAll('#controls button'))
    b.classList.toggle('selected', b.dataset.control === name);
  for (const h of hooks.select) h(name);
  const form = $('attributes');
  if (name === null) {
    $('form-title').textContent = 'No controls';
    form.replaceChildren();
    return;
  }
  try {
    const table = await call('GET', '/api/control?name=' + encodeURIComponent(name));
    // Another control was selected while this one's form was on its way: that one's form shows.
    if (selected !== name) return;
    // Selected again (a list rebuilt): the form stays unless it changed, so that typing goes on.
    if (!(again && JSON.stringify(table) === shown.table)) showForm(table);
    shown.table = JSON.stringify(table);
  } catch (e) {
    showError(e.message);
  }
}

// The values the tracks give at the player's time, into the read-only rows.
async function refreshTracked() {
  try {
    const name = selected;
    const table = await call('GET', '/api/control?name=' + encodeURIComponent(name));
    if (selected !== name) return;
    for (const field of table.attributes) {
      if (!field.tracked) continue;
      const out = document.querySelector(`#attributes .row[data-attr="${CSS.escape(field.name)}"] output.tracked-value`);
      if (out) out.textContent = JSON.stringify(field.value);
    }
  } catch (e) {
    showError(e.message);
  }
}

// ---- the form ---------------------------------------------------------------------------------

// Sends one attribute change; while one is on its way, only the latest next value waits, so that
// a slider dragged fast sends what it ends on without queueing every step.
const sending = { busy: false, next: null };

function send(control, attribute, value, row, format, merge) {
  sending.next = { control, attribute, value, row, format, merge };
  if (!sending.busy) flush();
}

// The body of a change: with a format, the server writes the number as the format's text.
function changeBody(change) {
  const body = { control: change.control, attribute: change.attribute, value: change.value };
  if (change.format !== undefined) body.format = change.format;
  if (change.merge) body.merge = true;
  return body;
}

async function flush() {
  const change = sending.next;
  sending.next = null;
  if (!change) return;
  sending.busy = true;
  try {
    const state = await call('POST', '/api/set', changeBody(change));
    change.row.classList.remove('failed');
    showError('');
    showState(state);
  } catch (e) {
    change.row.classList.add('failed');
    showError(e.message);
  }
  sending.busy = false;
  if (sending.next) flush();
}

// What a number box holds, as the scene file would write it: a number when it reads as one, else
// the text itself (the server says what it makes of "nan" or of a typo).
function numberOrText(text) {
  const t = text.trim();
  return t !== '' && Number.isFinite(Number(t)) ? Number(t) : t;
}

function hex6(n) { return '#' + (n & 0xffffff).toString(16).padStart(6, '0'); }

// A colour value ("#rrggbb", "#aarrggbb" or a number) as the picker's "#rrggbb" and its alpha prefix.
function splitColour(value) {
  if (typeof value === 'string' && /^#[0-9a-fA-F]{8}$/.test(value)) return { rgb: '#' + value.slice(3), alpha: value.slice(1, 3) };
  if (typeof value === 'string' && /^#[0-9a-fA-F]{6}$/.test(value)) return { rgb: value.toLowerCase(), alpha: '' };
  if (typeof value === 'number') {
    const top = Math.floor(value / 0x1000000) & 0xff;
    return { rgb: hex6(value), alpha: top ? top.toString(16).padStart(2, '0') : '' };
  }
  return { rgb: '#000000', alpha: '' };
}

function element(tag, props) { return Object.assign(document.createElement(tag), props); }

// The format typed for each control's text attribute, kept while the page is open.
const formats = new Map();

function editor(field, control, row) {
  const edit = element('span', { className: 'edit' });
  const put = (value, merge) => send(control, field.name, value, row, undefined, merge);
  const value = field.value;

  if (field.tracked) {
    // A track drives it: the value at the player's time, not edited here.
    edit.append(element('output', { className: 'tracked-value', textContent: JSON.stringify(value) }),
      element('small', { textContent: ' (tracked)' }));
    return edit;
  }
  if (field.kind === 'float') {
    const current = typeof value === 'number' ? value : 0;
    const range = element('input', { type: 'range', min: field.min, max: field.max, step: (field.max - field.min) / 1000 });
    range.value = Math.min(Math.max(current, field.min), field.max);
    const box = element('input', { type: 'text', className: 'number', value: value === null ? '' : String(value) });
    box.inputMode = 'decimal';
    // One drag of the slider is one undo step.
    let dragging = false;
    range.addEventListener('input', () => { box.value = range.value; put(Number(range.value), dragging); dragging = true; });
    range.addEventListener('change', () => { dragging = false; });
    box.addEventListener('change', () => {
      const v = numberOrText(box.value);
      if (typeof v === 'number') range.value = v;
      put(v);
    });
    edit.append(range, box);
  } else if (field.kind === 'colour') {
    const parts = splitColour(value);
    const picker = element('input', { type: 'color', value: parts.rgb });
    const label = element('code', { textContent: value === null ? '(unset)' : '#' + parts.alpha + parts.rgb.slice(1) });
    picker.addEventListener('input', () => {
      const text = '#' + parts.alpha + picker.value.slice(1);
      label.textContent = text;
      put(text);
    });
    edit.append(picker, label);
  } else if (field.kind === 'palette') {
    const select = element('select', {});
    const colour = field.palette.find((p) => p.index === value || p.name === value);
    if (!colour)
      select.append(element('option', { value: '', textContent: value === null ? '(unset)' : String(value) + ' (no colour)' }));
    for (const p of field.palette) {
      const option = element('option', { value: String(p.index), textContent: p.index + ' ' + p.name });
      option.style.background = hex6(p.rgb);
      option.style.color = (p.rgb & 0xff00) > 0x8000 ? '#000' : '#fff';
      select.append(option);
    }
    select.value = colour ? String(colour.index) : '';
    const swatch = element('span', { className: 'swatch' });
    const paint = () => {
      const p = field.palette.find((q) => String(q.index) === select.value);
      swatch.style.background = p ? hex6(p.rgb) : 'transparent';
    };
    paint();
    select.addEventListener('change', () => { paint(); put(Number(select.value)); });
    edit.append(select, swatch);
  } else if (field.kind === 'choice') {
    // The named values; a number without a name stays selectable as itself.
    const select = element('select', {});
    const named = field.choices.find((c) => c.value === value || c.name === value);
    if (!named) select.append(element('option', { value: '', textContent: value === null ? '(unset)' : String(value) }));
    for (const c of field.choices)
      select.append(element('option', { value: String(c.value), textContent: c.name + ' (' + c.value + ')' }));
    select.value = named ? String(named.value) : '';
    select.addEventListener('change', () => { if (select.value !== '') put(Number(select.value)); });
    edit.append(select);
  } else if (field.kind === 'int') {
    const box = element('input', { type: 'text', className: 'number', value: value === null ? '' : String(value) });
    box.inputMode = 'numeric';
    box.addEventListener('change', () => put(numberOrText(box.value)));
    edit.append(box);
  } else if (field.takes_format) {
    // A text, or a number written through a format such as m:ss.SSS or %.1f km/h; the format
    // stays for the attribute while the page is open.
    const key = control + '\u0000' + field.name;
    const box = element('input', { type: 'text', className: 'text', value: value === null ? '' : String(value) });
    if (value === null) box.placeholder = '(null)';
    const format = element('input', {
      type: 'text', className: 'format', value: formats.get(key) || '', placeholder: 'format',
      title: 'Optional: a number in the box written as m:ss.SSS, h:mm:ss, ss.S or one printf conversion (%.1f km/h)',
    });
    format.setAttribute('aria-label', field.name + ' format');
    const apply = () => {
      const f = format.value.trim();
      formats.set(key, f);
      if (f === '') send(control, field.name, box.value, row);
      else if (box.value.trim() !== '') send(control, field.name, numberOrText(box.value), row, f);
    };
    box.addEventListener('change', apply);
    format.addEventListener('change', apply);
    edit.append(box, format);
  } else {
    const box = element('input', { type: 'text', className: 'text', value: value === null ? '' : String(value) });
    if (value === null) box.placeholder = '(null)';
    box.addEventListener('change', () => put(box.value));
    edit.append(box);
  }
  return edit;
}

function showForm(table) {
  $('form-title').textContent = `${table.control} (${table.widget})`;
  const own = document.createDocumentFragment();
  const common = element('details', {});
  common.append(element('summary', { textContent: 'Common attributes' }));
  for (const field of table.attributes) {
    const row = element('div', { className: 'row' });
    row.dataset.attr = field.name;
    row.dataset.kind = field.kind;
    if (field.tracked) row.classList.add('tracked');
    const label = element('label', {
      textContent: field.name,
      title: `id ${field.id}, ${field.type}` + (field.help ? `: ${field.help}` : ''),
    });
    const edit = editor(field, table.control, row);
    // The catalog's range and unit beside the box, its description as the label's tooltip.
    if (field.kind === 'int' && field.min !== undefined)
      for (const box of edit.querySelectorAll('input.number')) box.title = `${field.min} to ${field.max}`;
    if (field.unit) edit.append(element('small', { className: 'unit', textContent: field.unit }));
    // A plug-in's attribute its description file leaves out says so where it is edited.
    if (field.undescribed) edit.append(element('small', { className: 'undescribed', textContent: 'undescribed' }));
    row.append(label, edit);
    (field.common ? common : own).append(row);
  }
  $('attributes').replaceChildren(own, common);
}

// ---- the player, saving and conflicts with the file on disk ------------------------------------

function button(id, action) {
  $(id).addEventListener('click', async () => {
    try {
      showState(await action());
    } catch (e) {
      showError(e.message);
    }
  });
}

button('play', () => call('POST', '/api/play'));
button('pause', () => call('POST', '/api/pause'));
button('step', () => call('POST', '/api/step'));
button('undo', () => call('POST', '/api/undo'));
button('redo', () => call('POST', '/api/redo'));
$('scrubber').addEventListener('input', async () => {
  try {
    showState(await call('POST', '/api/seek', { time: Number($('scrubber').value) }));
  } catch (e) {
    showError(e.message);
  }
});
$('speed').addEventListener('change', async () => {
  try {
    showState(await call('POST', '/api/speed', { speed: Number($('speed').value) }));
  } catch (e) {
    showError(e.message);
  }
});

// The file changed on disk while edits were unsaved: the server keeps the edits and says so here,
// with the two ways out.
function showConflict(text) {
  $('conflict-text').textContent = text || '';
  $('conflict').hidden = !text;
}

async function save(overwrite, as) {
  $('save-result').textContent = '';
  const name = as !== undefined ? as : $('save-name').value.trim();
  try {
    const reply = await call('POST', '/api/save', { name, version: shown.version, overwrite });
    $('save-result').textContent = 'saved ' + reply.saved;
    showError('');
  } catch (e) {
    if (e.reply && e.reply.exists && !overwrite && confirm(e.message + '. Replace it?')) return save(true, name);
    showError(e.message);
    if (e.status === 409 && !e.reply.exists) {
      showConflict(e.message);
      $('save-name').focus();
    }
  }
}

$('save').addEventListener('click', () => save(false));
$('save-as').addEventListener('click', () => {
  const name = prompt('Save as (a .json file in the scene\'s folder):', $('save-name').value.trim() || 'copy.json');
  if (name) {
    $('save-name').value = name;
    save(false, name.trim());
  }
});

$('reload').addEventListener('click', async () => {
  if (shown.unsaved && !confirm('Show the file as it is on disk? Undo (Ctrl-Z) brings your edits back.')) return;
  try {
    showState(await call('POST', '/api/reload'));
  } catch (e) {
    showError(e.message);
  }
});

// Leaving or reloading the page loses nothing: the edits live in the server until saved.

$('attributes').addEventListener('submit', (e) => e.preventDefault());
poll();
