'use strict';
// Fills the line screen from the events the server sends, and from the screen's JSON after an
// alarm is cleared. The paths, the event's name and the clear header are the server's, handed in
// the body's data attributes; each table's columns come with the data (the alarms' with the page).
// Data is written with textContent only.
const ROUTES = document.body.dataset;
const BOARD_KEY = 'chip_id';
const VERDICT_KEY = 'verdict';
const PASSED = 'OK';
const FAILED_CLASS = 'fail';
const RETRY_CLOSED_MS = 5000;

const TIE_DIGITS = 60;

// `x` with `digits` decimals as the report writes it (printf): an exact half goes to the even
// digit, where toFixed would round it up (6.25 is "6.2").
function fixed(x, digits) {
  const exact = x.toFixed(Math.min(100, digits + TIE_DIGITS));
  const kept = exact.slice(0, exact.length - TIE_DIGITS).replace(/\.$/, '');
  const halfway = /^50*$/.test(exact.slice(exact.length - TIE_DIGITS));
  return halfway && Number(kept.slice(-1)) % 2 === 0 ? kept : x.toFixed(digits);
}

// A ratio (0 to 1) as the report shows it: "93.4%".
const percent = (r) => fixed(r * 100, 1) + '%';

// A cell's text by its column's kind; an absent value is an empty cell.
const SHOWN = {
  text: (v) => String(v),
  integer: (v) => String(v),
  ratio: percent,
  flag: (v) => (v ? 'yes' : ''),
  decimals: (v, column) => fixed(Number(v), column.decimals || 0),
  time: (v) => new Date(v).toLocaleString(),  // the server's UTC, in the screen's local time
};

// A board's time in the repair queue as the report writes it: "40 min", "5 h", "3 d".
const QUEUE_KEY = 'queue_seconds';
const HOUR_S = 3600;
const DAY_S = 86400;
function queueText(seconds) {
  if (seconds < HOUR_S) return Math.floor(seconds / 60) + ' min';
  if (seconds < 2 * DAY_S) return Math.floor(seconds / HOUR_S) + ' h';
  return Math.floor(seconds / DAY_S) + ' d';
}

function cellText(value, column) {
  if (value === null || value === undefined) return '';
  if (column.key === QUEUE_KEY) return queueText(Number(value));
  const show = SHOWN[column.kind] || SHOWN.text;
  return show(value, column);
}

function boardLink(td, id) {
  const a = document.createElement('a');
  a.href = ROUTES.board + encodeURIComponent(id);
  a.textContent = id;
  td.appendChild(a);
}

function cell(tr, item, column) {
  const td = document.createElement('td');
  const value = item[column.key];
  if (column.key === BOARD_KEY && value) boardLink(td, String(value));
  else td.textContent = cellText(value, column);
  if (column.key === VERDICT_KEY && value !== PASSED) td.className = FAILED_CLASS;
  tr.appendChild(td);
}

function headings(table, columns) {
  const row = table.querySelector('thead tr');
  row.replaceChildren(...columns.map((column) => {
    const th = document.createElement('th');
    th.textContent = column.heading;
    th.dataset.key = column.key;
    return th;
  }));
}

// Rows of `items` under `columns`; `more(tr, item)` may add cells after them.
function rows(table, columns, items, more) {
  table.querySelector('tbody').replaceChildren(...items.map((item) => {
    const tr = document.createElement('tr');
    columns.forEach((column) => cell(tr, item, column));
    if (more) more(tr, item);
    return tr;
  }));
}

// A table of the data under the columns the data names for it; the page has a place for each.
function drawTable(data, name) {
  const table = document.getElementById(name);
  if (!table) return;
  const columns = data.columns[name];
  headings(table, columns);
  rows(table, columns, data[name] || []);
}

// The alarms' columns are the page's own headings.
function alarmColumns(table) {
  return [...table.querySelectorAll('thead th[data-key]')].map((th) =>
    ({key: th.dataset.key, kind: th.dataset.kind}));
}

// The desk's secret this browser keeps (a board page asked for it), or ''.
function deskSecret() {
  try {
    return window.localStorage.getItem(ROUTES.deskKey) || '';
  } catch {
    return '';
  }
}

// Acknowledges or clears an alarm as the name and note above the table say; what the server
// refuses (no name, a step taken before, no desk secret where the server has one) is said under
// the table.
async function takeStep(alarm, suffix) {
  const form = new URLSearchParams({
    by: document.getElementById('alarm-by').value,
    note: document.getElementById('alarm-note').value,
  });
  const headers = {[ROUTES.clearHeader]: '1'};
  const secret = deskSecret();
  if (secret) headers[ROUTES.deskHeader] = secret;
  const answer = await fetch(ROUTES.alarms + encodeURIComponent(alarm.id) + suffix,
      {method: 'POST', headers, body: form});
  const refused = document.getElementById('alarm-refused');
  refused.hidden = answer.ok;
  refused.textContent = answer.ok ? '' : await answer.text();
  refresh();
}

function stepButtons(tr, alarm) {
  const td = document.createElement('td');
  const steps = [['Acknowledge', ROUTES.acknowledge], ['Clear', ROUTES.clear]];
  steps.forEach(([label, suffix]) => {
    if (label === 'Acknowledge' && alarm.acknowledged_at) return;
    const b = document.createElement('button');
    b.textContent = label;
    b.addEventListener('click', () => takeStep(alarm, suffix));
    td.appendChild(b);
  });
  tr.appendChild(td);
}

// The alarms as last drawn: rows drawn again at every update took their buttons from under a
// click that was on its way.
let drawnAlarms = null;

function drawAlarms(alarms) {
  const text = JSON.stringify(alarms);
  if (text === drawnAlarms) return;
  drawnAlarms = text;
  const table = document.getElementById('alarms');
  document.getElementById('alarms-section').hidden = alarms.length === 0;
  rows(table, alarmColumns(table), alarms, stepButtons);
}

// Every alarm of late, cleared or not: who acknowledged and cleared it, and why.
function drawAlarmHistory(history) {
  const table = document.getElementById('alarm-history');
  document.getElementById('alarm-history-section').hidden = history.length === 0;
  rows(table, alarmColumns(table), history);
}

// The screen lists the head of each long list; the rest are counted and linked to the day's report.
const MORE_WORDS = {
  repairs: ' more boards wait for repair.',
  stations: ' more stations tested this day.',
  flags: ' more fixture flags.',
};
function moreRows(data, name) {
  const more = (data[name + '_total'] || 0) - (data[name] || []).length;
  const p = document.getElementById(name + '-more');
  if (!p) return;
  p.hidden = more <= 0;
  p.querySelector('span').textContent = more + MORE_WORDS[name];
  const query = new URLSearchParams({format: 'html', since: data.day, until: data.day});
  p.querySelector('a').href = ROUTES.report + '?' + query;
}

function showSummary(s) {
  document.getElementById('summary').textContent = s.boards + ' boards, ' + s.runs +
      ' runs; first pass ' + percent(s.first_pass_yield) + ', final ' + percent(s.final_yield);
}

function show(d) {
  const data = d.data;
  if (!data) return;  // the server has not read the database yet: its next event will have it
  const unreadable = document.getElementById('unreadable');
  unreadable.hidden = !data.unreadable;
  if (data.unreadable) {
    unreadable.textContent = 'The database cannot be read: ' + data.unreadable +
        '. The figures below may be out of date.';
    return;
  }
  document.getElementById('day').textContent = data.day;
  showSummary(data.summary);
  drawAlarms(d.alarms);
  drawAlarmHistory(d.alarm_history || []);
  Object.keys(data.columns || {}).forEach((name) => drawTable(data, name));
  Object.keys(MORE_WORDS).forEach((name) => moreRows(data, name));
}

// Fetches overlap when changes come fast: only the latest one asked for is shown.
let asked = 0;
async function refresh() {
  const mine = ++asked;
  try {
    const response = await fetch(ROUTES.screenJson, {cache: 'no-store'});
    const d = response.ok ? await response.json() : null;
    if (d && mine === asked) show(d);
  } catch {
    document.getElementById('banner').hidden = false;
  }
}

// Each event carries the whole screen. A stream the browser gave up on (the server refused it:
// too many screens, say) is opened again after a while.
function listen() {
  const events = new EventSource(ROUTES.events);
  const banner = document.getElementById('banner');
  events.addEventListener('open', () => { banner.hidden = true; });
  events.addEventListener(ROUTES.event, (e) => {
    ++asked;  // a fetch still under way would show older figures
    show(JSON.parse(e.data));
  });
  events.addEventListener('error', () => {
    banner.hidden = false;
    if (events.readyState === EventSource.CLOSED) setTimeout(listen, RETRY_CLOSED_MS);
  });
}

listen();
