// The workbench page's layout editor, over workbench.js: the selection drawn over the picture (never
// into it), moving and resizing with the mouse or the arrow keys, a snapping grid and guides to the
// other controls, zoom and pan, the palette of widgets, and the edits that add, copy, delete and
// reorder. Every change goes to the server, which keeps the scene, the picture and the history.
'use strict';

const layout = {
  controls: [], // as the server last said, but for the one being dragged
  width: 0,
  height: 0,
  scale: 1,
  drag: null, // { kind: 'move' | 'pan' | a handle, name, start: {x, y, width, height}, from: point }
  frame: -1,
};

// A field with an undo of its own (text typed); a slider, picker or select has none.
const editable = (el) => el && (el.tagName === 'TEXTAREA' ||
  (el.tagName === 'INPUT' && ['text', 'number', 'search', ''].includes(el.type)));

function controlNamed(name) { return layout.controls.find((c) => c.name === name) || null; }

// A pointer event's place in canvas pixels.
function canvasPoint(ev) {
  const r = $('frame').getBoundingClientRect();
  return { x: (ev.clientX - r.left) / layout.scale, y: (ev.clientY - r.top) / layout.scale };
}

// The control drawn last (so on top) under a canvas point.
function topmostAt(p) {
  for (let i = layout.controls.length - 1; i >= 0; --i) {
    const c = layout.controls[i];
    if (p.x >= c.x && p.x < c.x + c.width && p.y >= c.y && p.y < c.y + c.height) return c;
  }
  return null;
}

function place(el, x, y, w, h) {
  const s = layout.scale;
  Object.assign(el.style, { left: x * s + 'px', top: y * s + 'px', width: w * s + 'px', height: h * s + 'px' });
}

// ---- zoom, pan and the grid -------------------------------------------------------------------

function applyZoom() {
  if (!layout.width) return;
  const zoom = $('zoom').value;
  const stage = $('stage');
  layout.scale = zoom === 'fit'
    ? Math.max(0.05, Math.min((stage.clientWidth - 4) / layout.width, (window.innerHeight - 160) / layout.height))
    : Number(zoom);
  const w = layout.width * layout.scale, h = layout.height * layout.scale;
  for (const el of [$('frame'), $('overlay'), $('board')]) Object.assign(el.style, { width: w + 'px', height: h + 'px' });
  // At 400 % the pixels show as a grid of their own.
  $('overlay').classList.toggle('pixel-grid', layout.scale >= 4);
  $('overlay').style.setProperty('--pixel', layout.scale + 'px');
  const grid = gridSize();
  $('overlay').classList.toggle('snap-grid', grid > 0);
  $('overlay').style.setProperty('--grid', grid * layout.scale + 'px');
  drawSelection();
}

// The snapping grid's size in canvas pixels, 0 when off.
function gridSize() {
  const size = Math.round(Number($('grid-size').value));
  return $('grid').checked && size >= 2 ? size : 0;
}

for (const id of ['zoom', 'grid', 'grid-size']) $(id).addEventListener('change', applyZoom);
window.addEventListener('resize', applyZoom);

// ---- the selection ----------------------------------------------------------------------------

function drawSelection() {
  const box = $('selection');
  const c = controlNamed(selected);
  box.hidden = !c;
  if (c) place(box, c.x, c.y, c.width, c.height);
  const fields = $('geometry');
  fields.hidden = !c;
  if (!c) return;
  for (const key of ['x', 'y', 'width', 'height']) {
    const input = $('geo-' + key);
    if (document.activeElement !== input) input.value = c[key];
  }
}

hooks.select.push(() => drawSelection());

hooks.state.push((state) => {
  const held = layout.drag && layout.drag.name ? controlNamed(layout.drag.name) : null;
  layout.controls = state.controls.map((c) => (held && c.name === held.name ? held : { ...c }));
  if (state.width !== layout.width || state.height !== layout.height) {
    layout.width = state.width || 0;
    layout.height = state.height || 0;
    applyZoom();
  }
  drawSelection();
  if (state.frame !== layout.frame) {
    layout.frame = state.frame;
    showDamage(state.damage || []);
  }
});

// What the last frame repainted, flashed over the picture when asked for.
function showDamage(rects) {
  const layer = $('damage');
  if (!$('show-damage').checked) return layer.replaceChildren();
  layer.replaceChildren(...rects.map(([x1, y1, x2, y2]) => {
    const d = element('div', { className: 'repaint' });
    place(d, x1, y1, x2 - x1 + 1, y2 - y1 + 1);
    return d;
  }));
}

// ---- moving and resizing ----------------------------------------------------------------------

// Geometry changes, the latest waiting while one is on its way; a drag's later places join its
// first in the server's history.
const geometrySending = { busy: false, next: null };

function sendGeometry(rect, merge) {
  const pending = geometrySending.next;
  const change = { control: rect.name, x: rect.x, y: rect.y, width: rect.width, height: rect.height };
  // A new gesture's first place must not be merged away by its second.
  change.merge = merge && (pending ? pending.merge : true);
  geometrySending.next = change;
  if (!geometrySending.busy) flushGeometry();
}

async function flushGeometry() {
  const change = geometrySending.next;
  geometrySending.next = null;
  if (!change) return;
  geometrySending.busy = true;
  try {
    showState(await call('POST', '/api/geometry', change));
    showError('');
  } catch (e) {
    showError(e.message);
  }
  geometrySending.busy = false;
  if (geometrySending.next) flushGeometry();
  else select(selected); // the form follows an undo of any kind, and the fields their control
}

// Snap one coordinate: to another control's edge or centre (or the canvas's) when near one, with
// its guide, else to the grid. `offsets` are the moving edges' distances from `value`.
function snap(value, offsets, targets, guides, axis) {
  const near = 6 / layout.scale;
  let best = null;
  for (const off of offsets)
    for (const t of targets) {
      const d = Math.abs(value + off - t);
      if (d <= near && (!best || d < best.d)) best = { d, value: t - off, at: t };
    }
  if (best) {
    guides.push({ axis, at: best.at });
    return Math.round(best.value);
  }
  const grid = gridSize();
  return grid ? Math.round(value / grid) * grid : Math.round(value);
}

function targets(name, axis) {
  const out = axis === 'x' ? [0, layout.width / 2, layout.width] : [0, layout.height / 2, layout.height];
  for (const c of layout.controls) {
    if (c.name === name) continue;
    const [p, size] = axis === 'x' ? [c.x, c.width] : [c.y, c.height];
    out.push(p, p + size / 2, p + size);
  }
  return out;
}

function drawGuides(guides) {
  $('guides').replaceChildren(...guides.map((g) => {
    const line = element('div', { className: 'guide ' + g.axis });
    if (g.axis === 'x') place(line, g.at, 0, 0, layout.height);
    else place(line, 0, g.at, layout.width, 0);
    return line;
  }));
}

// The dragged rectangle for a pointer at canvas point p.
function dragged(drag, p) {
  const s = drag.start, dx = p.x - drag.from.x, dy = p.y - drag.from.y;
  const guides = [];
  const r = { name: drag.name, x: s.x, y: s.y, width: s.width, height: s.height };
  if (drag.kind === 'move') {
    r.x = snap(s.x + dx, [0, s.width / 2, s.width], targets(drag.name, 'x'), guides, 'x');
    r.y = snap(s.y + dy, [0, s.height / 2, s.height], targets(drag.name, 'y'), guides, 'y');
  } else {
    const h = drag.kind;
    if (h.includes('e')) r.width = Math.max(1, snap(s.x + s.width + dx, [0], targets(drag.name, 'x'), guides, 'x') - s.x);
    if (h.includes('s')) r.height = Math.max(1, snap(s.y + s.height + dy, [0], targets(drag.name, 'y'), guides, 'y') - s.y);
    if (h.includes('w')) {
      const left = Math.min(s.x + s.width - 1, snap(s.x + dx, [0], targets(drag.name, 'x'), guides, 'x'));
      r.width = s.x + s.width - left;
      r.x = left;
    }
    if (h.includes('n')) {
      const top = Math.min(s.y + s.height - 1, snap(s.y + dy, [0], targets(drag.name, 'y'), guides, 'y'));
      r.height = s.y + s.height - top;
      r.y = top;
    }
  }
  drawGuides(guides);
  return r;
}

const overlay = $('overlay');

overlay.addEventListener('pointerdown', (ev) => {
  $('stage').focus({ preventScroll: true });
  // The middle button, or Alt with the left, pans.
  if (ev.button === 1 || (ev.button === 0 && ev.altKey)) {
    layout.drag = { kind: 'pan', from: { x: ev.clientX, y: ev.clientY } };
    overlay.setPointerCapture(ev.pointerId);
    ev.preventDefault();
    return;
  }
  if (ev.button !== 0) return;
  const p = canvasPoint(ev);
  const handle = ev.target.dataset ? ev.target.dataset.handle : undefined;
  let target = handle ? controlNamed(selected) : topmostAt(p);
  if (!target) return;
  if (target.name !== selected) select(target.name);
  layout.drag = { kind: handle || 'move', name: target.name, start: { ...target }, from: p, moved: false };
  overlay.setPointerCapture(ev.pointerId);
  ev.preventDefault();
});

overlay.addEventListener('pointermove', (ev) => {
  const drag = layout.drag;
  if (drag && drag.kind === 'pan') {
    const stage = $('stage');
    stage.scrollLeft -= ev.clientX - drag.from.x;
    stage.scrollTop -= ev.clientY - drag.from.y;
    drag.from = { x: ev.clientX, y: ev.clientY };
    return;
  }
  if (drag) {
    const r = dragged(drag, canvasPoint(ev));
    const c = controlNamed(drag.name);
    if (!c || (r.x === c.x && r.y === c.y && r.width === c.width && r.height === c.height)) return;
    Object.assign(c, r);
    drawSelection();
    // The picture follows while dragging: each place is a change the server redraws.
    sendGeometry(r, drag.moved);
    drag.moved = true;
    return;
  }
  // Hovering names the control under the pointer.
  const c = topmostAt(canvasPoint(ev));
  const hover = $('hover');
  hover.hidden = !c;
  overlay.title = c ? `${c.name} (${c.widget})` : '';
  if (!c) return;
  hover.textContent = `${c.name} (${c.widget})`;
  const r = $('board').getBoundingClientRect();
  Object.assign(hover.style, { left: ev.clientX - r.left + 12 + 'px', top: ev.clientY - r.top + 12 + 'px' });
});

function endDrag() {
  layout.drag = null;
  drawGuides([]);
}
overlay.addEventListener('pointerup', endDrag);
overlay.addEventListener('pointercancel', endDrag);
overlay.addEventListener('pointerleave', () => { $('hover').hidden = true; });

// The position and size fields.
for (const key of ['x', 'y', 'width', 'height'])
  $('geo-' + key).addEventListener('change', () => {
    const c = controlNamed(selected);
    const v = Number($('geo-' + key).value);
    if (!c || !Number.isInteger(v)) return showError(`${key} is a whole number of pixels`);
    sendGeometry({ ...c, [key]: v }, false);
  });

// ---- the keyboard -----------------------------------------------------------------------------

async function post(url, body) {
  try {
    const state = await call('POST', url, body);
    showState(state);
    showError('');
    return state;
  } catch (e) {
    showError(e.message);
    return null;
  }
}

async function stepHistory(which) {
  if (await post('/api/' + which)) select(selected);
}

document.addEventListener('keydown', (ev) => {
  const mod = ev.ctrlKey || ev.metaKey;
  if (editable(document.activeElement)) return; // a field's own keys, its own undo included
  if (mod && (ev.key === 'z' || ev.key === 'Z')) {
    ev.preventDefault();
    stepHistory(ev.shiftKey ? 'redo' : 'undo');
    return;
  }
  if (mod && (ev.key === 'y' || ev.key === 'Y')) {
    ev.preventDefault();
    stepHistory('redo');
    return;
  }
  if (document.activeElement !== $('stage')) return;
  // Tab stays on the canvas to go through the controls; Escape leaves it.
  if (ev.key === 'Escape') {
    $('stage').blur();
    return;
  }
  if (ev.key === 'Tab' && layout.controls.length) {
    ev.preventDefault();
    const i = layout.controls.findIndex((c) => c.name === selected);
    const n = layout.controls.length;
    select(layout.controls[(i + (ev.shiftKey ? n - 1 : 1) + (i < 0 ? 1 : 0)) % n].name);
    return;
  }
  const c = controlNamed(selected);
  if (!c) return;
  const step = ev.shiftKey ? 10 : 1;
  const by = { ArrowLeft: [-step, 0], ArrowRight: [step, 0], ArrowUp: [0, -step], ArrowDown: [0, step] }[ev.key];
  if (by) {
    ev.preventDefault();
    const r = { ...c, x: c.x + by[0], y: c.y + by[1] };
    Object.assign(c, r);
    drawSelection();
    sendGeometry(r, false);
  } else if (ev.key === 'Delete') {
    ev.preventDefault();
    layoutEdit('delete');
  }
});

// ---- add, duplicate, delete, reorder ----------------------------------------------------------

async function layoutEdit(op, extra) {
  if (op !== 'add' && selected === null) return;
  const state = await post('/api/layout', { op, control: selected || '', ...extra });
  if (state && state.added) select(state.added);
}

$('duplicate').addEventListener('click', () => layoutEdit('duplicate'));
$('delete').addEventListener('click', () => layoutEdit('delete'));
$('forward').addEventListener('click', () => layoutEdit('forward'));
$('back').addEventListener('click', () => layoutEdit('back'));

async function showPalette() {
  try {
    const widgets = await call('GET', '/api/widgets');
    $('palette').replaceChildren(...widgets.map((w) => {
      const b = element('button', { type: 'button', draggable: true, title: 'Add a ' + w.name + ' (or drag it onto the canvas)' });
      b.dataset.widget = w.name;
      if (w.thumbnail) b.append(element('img', { src: '/thumbnail.png?widget=' + encodeURIComponent(w.name), alt: '' }));
      b.append(element('span', { textContent: w.name }));
      b.addEventListener('click', () => layoutEdit('add', { widget: w.name }));
      b.addEventListener('dragstart', (ev) => ev.dataTransfer.setData('application/x-pitwall-widget', w.name));
      const li = element('li', {});
      li.append(b);
      return li;
    }));
  } catch (e) {
    showError(e.message);
  }
}

$('stage').addEventListener('dragover', (ev) => {
  if (ev.dataTransfer.types.includes('application/x-pitwall-widget')) ev.preventDefault();
});
$('stage').addEventListener('drop', (ev) => {
  const widget = ev.dataTransfer.getData('application/x-pitwall-widget');
  if (!widget) return;
  ev.preventDefault();
  const p = canvasPoint(ev), grid = gridSize();
  const at = (v) => (grid ? Math.round(v / grid) * grid : Math.round(v));
  layoutEdit('add', { widget, x: at(p.x), y: at(p.y) });
});

showPalette();
