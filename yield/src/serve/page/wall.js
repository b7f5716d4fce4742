'use strict';
// Draws the wall screen from the screen's events (the same JSON as the desk's page): the line's
// figure and each station's tile coloured against the line's target, the hourly first-pass
// trend, the head of the repair queue and the station tiles paging by themselves, the alarms,
// a clock and each station's last logs. Times are the server's local time: the clock and the
// alarms take the offset the server states. Data is written with textContent only.
const ROUTES = document.body.dataset;
const SVG_NS = 'http://www.w3.org/2000/svg';
const TILES_PER_PAGE = 8;
const QUEUE_ROWS = 7;
const PAGE_MS = 8000;
const TICK_MS = 1000;
const REDRAW_TICKS = 15;  // quiet stations are weighed again this often, new data or not
const RETRY_CLOSED_MS = 5000;
const MINUTE_MS = 60000;
const SHOWN_ALARMS = 3;
const BAND_WORDS = {good: 'on target', warn: 'below target', bad: 'far below target', none: 'no boards yet'};
const TREND_COLOURS = ['#4fc3f7', '#ffb74d', '#ba68c8', '#81c784', '#f06292', '#fff176', '#90a4ae', '#a1887f'];
const TREND = {left: 70, right: 940, top: 20, bottom: 330, width: 960};
const LEGEND_CHAR_PX = 12;  // a legend character's width at the trend's font, generously

let shown = null;  // the last screen received
let page = 0;      // grows every PAGE_MS; each list shows page modulo its pages
let ticks = 0;

function byId(id) { return document.getElementById(id); }

function element(name, cls, text) {
  const e = document.createElement(name);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

// The server's UTC offset in minutes, from its local time "...+01:00".
function serverOffset(wall) {
  const m = /([+-])(\d\d):(\d\d)$/.exec((wall && wall.now) || '');
  if (!m) return -new Date().getTimezoneOffset();
  return (m[1] === '-' ? -1 : 1) * (Number(m[2]) * 60 + Number(m[3]));
}

// An instant as the server's local "YYYY-MM-DD HH:MM:SS".
function serverTime(ms, wall) {
  return new Date(ms + serverOffset(wall) * MINUTE_MS).toISOString().slice(0, 19).replace('T', ' ');
}

function serverToday(wall) { return serverTime(Date.now(), wall).slice(0, 10); }

// A time the server sent, as the wall shows it: the clock time, with its day when not today.
function clockText(iso, wall) {
  const ms = Date.parse(iso);
  if (Number.isNaN(ms)) return String(iso);
  const local = serverTime(ms, wall);
  return local.slice(0, 10) === serverToday(wall) ? local.slice(11, 16) : local.slice(0, 16);
}

function tick() {
  const wall = shown && shown.data && shown.data.wall;
  byId('clock').textContent = serverTime(Date.now(), wall).slice(11, 19);
  if (++ticks % REDRAW_TICKS === 0) draw();
}

// The slice of `items` on the current page, and the pager's words.
function paged(items, size) {
  const pages = Math.max(1, Math.ceil(items.length / size));
  const at = page % pages;
  return {items: items.slice(at * size, at * size + size), words: pages > 1 ? (at + 1) + ' / ' + pages : ''};
}

function minutesSince(iso) { return Math.floor((Date.now() - Date.parse(iso)) / MINUTE_MS); }

// An expected station is quiet once it brought no logs for the line's quiet minutes.
function uploadLine(station, wall) {
  const p = element('p', 'upload');
  if (!station.last_upload) {
    p.textContent = 'no logs in the last days';
    if (station.expected) p.classList.add('quiet');
    return p;
  }
  const minutes = minutesSince(station.last_upload);
  const quiet = station.expected && minutes >= wall.quiet_minutes;
  p.textContent = (quiet ? 'QUIET ' + minutes + ' min: ' : '') + 'last logs ' + clockText(station.last_upload, wall);
  if (quiet) p.classList.add('quiet');
  return p;
}

function tile(station, wall) {
  const t = element('div', 'tile band-' + station.band);
  t.dataset.station = station.station;
  t.dataset.band = station.band;
  t.appendChild(element('p', 'name', station.station));
  t.appendChild(element('p', 'figure', station.first_pass || '\u2014'));
  const sub = station.boards > 0
    ? station.boards + ' boards, final ' + station.final + ': ' + BAND_WORDS[station.band]
    : BAND_WORDS.none;
  t.appendChild(element('p', 'sub', sub));
  const upload = uploadLine(station, wall);
  if (upload.classList.contains('quiet')) t.classList.add('quiet');
  t.appendChild(upload);
  return t;
}

function drawTiles(data) {
  const wall = data.wall;
  const slice = paged(wall.stations, TILES_PER_PAGE);
  byId('tiles').replaceChildren(...slice.items.map((s) => tile(s, wall)));
  const more = wall.stations_total - wall.stations.length;
  byId('tiles-page').textContent = [slice.words, more > 0 ? more + ' more stations not shown' : '']
      .filter(Boolean).join('; ');
}

// The whole line's first pass, or that the day has no boards.
function drawLine(data) {
  const line = data.wall.line;
  const box = byId('line');
  box.className = 'band-' + line.band;
  box.dataset.band = line.band;
  const empty = byId('empty');
  empty.hidden = line.boards > 0;
  const today = data.day === serverToday(data.wall);
  empty.textContent = today ? 'No boards tested today' : 'No boards tested on ' + data.day;
  byId('line-figure').textContent = line.boards > 0 ? line.first_pass : '';
  byId('line-words').textContent = line.boards > 0
    ? 'first pass, ' + line.boards + ' boards (target ' + data.wall.target_text + ')' : '';
}

// `text` cut to `chars` characters, the last an ellipsis when cut.
function cut(text, chars) {
  const all = [...text];
  return all.length <= chars ? text : all.slice(0, Math.max(1, chars - 1)).join('') + '\u2026';
}

function svg(name, attrs, text) {
  const e = document.createElementNS(SVG_NS, name);
  Object.keys(attrs).forEach((k) => e.setAttribute(k, attrs[k]));
  if (text !== undefined) e.textContent = text;
  return e;
}

function trendAxes(g, x, y, hours, target) {
  [0, 0.5, 1].forEach((v) => {
    g.appendChild(svg('line', {x1: TREND.left, x2: TREND.right, y1: y(v), y2: y(v), stroke: '#39424c'}));
    g.appendChild(svg('text', {x: TREND.left - 8, y: y(v) + 7, 'text-anchor': 'end'}, (v * 100) + '%'));
  });
  hours.forEach((h) => g.appendChild(svg('text', {x: x(h), y: TREND.bottom + 26, 'text-anchor': 'middle'}, String(h))));
  g.appendChild(svg('line', {class: 'target', x1: TREND.left, x2: TREND.right, y1: y(target), y2: y(target),
    stroke: '#fff', 'stroke-dasharray': '8 6'}));
}

// One polyline per station of the tiles' order, over the hours of the day that have boards.
function drawTrend(data) {
  const hours = [...new Set(data.hours.map((h) => h.hour))].sort((a, b) => a - b);
  const g = svg('g', {});
  const first = hours[0] || 0, last = hours[hours.length - 1] || 0;
  const x = (h) => TREND.left + (last > first ? (h - first) / (last - first) : 0.5) * (TREND.right - TREND.left);
  const y = (v) => TREND.bottom - v * (TREND.bottom - TREND.top);
  trendAxes(g, x, y, hours, data.wall.target);
  const names = data.wall.stations.map((s) => s.station).slice(0, TREND_COLOURS.length);
  names.forEach((name, i) => {
    const points = data.hours.filter((h) => h.station === name);
    if (points.length === 0) return;
    const colour = TREND_COLOURS[i];
    g.appendChild(svg('polyline', {fill: 'none', stroke: colour, 'stroke-width': 4,
      points: points.map((p) => x(p.hour) + ',' + y(p.first_pass_yield)).join(' ')}));
    points.forEach((p) => g.appendChild(svg('circle', {cx: x(p.hour), cy: y(p.first_pass_yield), r: 6, fill: colour})));
    const room = (TREND.width - TREND.left) / names.length;
    g.appendChild(svg('text', {x: TREND.left + i * room, y: 372, fill: colour}, cut(name, Math.floor(room / LEGEND_CHAR_PX))));
  });
  byId('trend').replaceChildren(g);
  byId('trend-target').textContent = '(dashed: target ' + data.wall.target_text + ')';
}

// A queued board's failures: the text the screen carries, or a list of failures.
function failureText(failures) {
  if (!Array.isArray(failures)) return failures ? String(failures) : '';
  return failures.map((f) => (typeof f === 'object' && f) ? [f.port, f.message].filter(Boolean).join(' ') : String(f)).join('; ');
}

function drawQueue(data) {
  const slice = paged(data.repairs, QUEUE_ROWS);
  byId('queue').querySelector('tbody').replaceChildren(...slice.items.map((r) => {
    const tr = element('tr');
    tr.appendChild(element('td', 'id', r.chip_id));
    tr.appendChild(element('td', 'station', r.station));
    tr.appendChild(element('td', 'failures', r.status === 'failed' ? failureText(r.failures) : r.status));
    return tr;
  }));
  byId('queue-title').textContent = data.repairs_total === 0 ? 'Repair queue: empty'
    : 'Repair queue: ' + data.repairs_total + ' boards';
  byId('queue-page').textContent = slice.words;
}

function drawAlarms(alarms, wall) {
  const box = byId('alarms');
  box.hidden = alarms.length === 0;
  const lines = alarms.slice(0, SHOWN_ALARMS).map((a) => element('p', 'alarm',
      clockText(a.raised_at, wall) + '  ' + a.station + ': ' + a.kind + (a.port ? ' ' + a.port : '')));
  if (alarms.length > SHOWN_ALARMS) lines.push(element('p', 'alarm', (alarms.length - SHOWN_ALARMS) + ' more alarms: see the desk'));
  box.replaceChildren(...lines);
}

function draw() {
  const data = shown && shown.data;
  if (!data || !data.wall) return;
  byId('day').textContent = data.day;
  drawLine(data);
  drawTiles(data);
  drawTrend(data);
  drawQueue(data);
  drawAlarms(shown.alarms || [], data.wall);
}

function show(d) {
  const data = d.data;
  if (!data) return;  // the server has not read the database yet
  const unreadable = byId('unreadable');
  unreadable.hidden = !data.unreadable;
  if (data.unreadable) {
    unreadable.textContent = 'The database cannot be read: ' + data.unreadable + '. The figures may be out of date.';
    return;
  }
  shown = d;
  draw();
}

function listen() {
  const events = new EventSource(ROUTES.events);
  const banner = byId('banner');
  events.addEventListener('open', () => { banner.hidden = true; });
  events.addEventListener(ROUTES.event, (e) => show(JSON.parse(e.data)));
  events.addEventListener('error', () => {
    banner.hidden = false;
    if (events.readyState === EventSource.CLOSED) setTimeout(listen, RETRY_CLOSED_MS);
  });
}

setInterval(tick, TICK_MS);
setInterval(() => { ++page; draw(); }, PAGE_MS);
tick();
listen();
