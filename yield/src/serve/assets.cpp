#include "assets.h"

namespace yield {

const char kDashboardHtml[] = R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>devuzeV7 line</title>
<link rel="stylesheet" href="/dashboard.css">
<script src="/dashboard.js" defer></script>
</head>
<body>
<div id="banner" class="banner" hidden>Connection to the server lost: reconnecting. The figures below may be out of date.</div>
<div id="unreadable" class="banner" hidden></div>
<h1>devuzeV7 line <span id="day"></span></h1>
<section id="alarms-section">
<h2>Alarms</h2>
<table id="alarms"><thead><tr><th>Raised</th><th>Kind</th><th>Station</th><th>Port</th><th>Rate</th><th>Boards</th><th></th></tr></thead><tbody></tbody></table>
</section>
<p id="summary"></p>
<h2>Yield per station</h2>
<table id="stations"><thead><tr><th>Station</th><th>Runs</th><th>Boards</th><th>First pass</th><th>Final</th></tr></thead><tbody></tbody></table>
<h2>Yield per hour</h2>
<table id="hours"><thead><tr><th>Station</th><th>Hour</th><th>Boards</th><th>First pass</th><th>Final</th></tr></thead><tbody></tbody></table>
<h2>Repair queue</h2>
<table id="repairs"><thead><tr><th>Processor ID</th><th>Station</th><th>Start</th><th>Status</th><th>Failures</th></tr></thead><tbody></tbody></table>
<p id="repairs-more" hidden><span></span> <a>The whole queue is in the day's report.</a></p>
<h2>Fixture flags</h2>
<table id="flags"><thead><tr><th>Station</th><th>Port</th><th>Runs</th><th>Failures</th><th>Rate</th><th>Others</th></tr></thead><tbody></tbody></table>
<h2>Latest runs</h2>
<table id="latest"><thead><tr><th>Processor ID</th><th>Station</th><th>Host</th><th>Start</th><th>Verdict</th><th>Failing</th></tr></thead><tbody></tbody></table>
</body>
</html>
)HTML";

const char kDashboardCss[] = R"CSS(body{font-family:sans-serif;margin:1.5em;color:#222}
table{border-collapse:collapse;margin:.5em 0 1.5em}
td,th{border:1px solid #bbb;padding:.2em .6em;text-align:left}
th{background:#eee}
.banner{background:#c00;color:#fff;padding:.6em;font-weight:bold}
#alarms td{background:#fcc;font-weight:bold}
.fail{color:#a00;font-weight:bold}
)CSS";

const char kDashboardJs[] = R"JS('use strict';
// Fills the page from the events of /events, and from /dashboard.json after an alarm is cleared.
// Data is written with textContent only.
const CLEAR_HEADER = 'X-Devuze-Clear';
const percent = (r) => (r * 100).toFixed(1) + ' %';

function cell(row, text, cls) {
  const td = document.createElement('td');
  td.textContent = String(text);
  if (cls) td.className = cls;
  row.appendChild(td);
  return td;
}

function fill(id, items, addCells) {
  const body = document.querySelector('#' + id + ' tbody');
  const rows = items.map((item) => {
    const tr = document.createElement('tr');
    addCells(tr, item);
    return tr;
  });
  body.replaceChildren(...rows);
}

function boardLink(td, id) {
  td.textContent = '';
  const a = document.createElement('a');
  a.href = '/board/' + encodeURIComponent(id);
  a.textContent = id;
  td.appendChild(a);
}

function clearButton(td, alarm) {
  const b = document.createElement('button');
  b.textContent = 'Clear';
  b.addEventListener('click', async () => {
    await fetch('/alarms/' + alarm.id + '/clear', {method: 'POST', headers: {[CLEAR_HEADER]: '1'}});
    refresh();
  });
  td.appendChild(b);
}

// The screen lists the head of a long queue; the rest are counted and linked.
function moreRepairs(data) {
  const more = data.repairs_total - data.repairs.length;
  const p = document.getElementById('repairs-more');
  p.hidden = more <= 0;
  p.querySelector('span').textContent = more + ' more boards wait for repair.';
  const day = encodeURIComponent(data.day);
  p.querySelector('a').href = '/report?format=html&since=' + day + '&until=' + day;
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
  const s = data.summary;
  document.getElementById('summary').textContent = s.boards + ' boards, ' + s.runs +
      ' runs; first pass ' + percent(s.first_pass_yield) + ', final ' + percent(s.final_yield);
  document.getElementById('alarms-section').hidden = d.alarms.length === 0;
  fill('alarms', d.alarms, (tr, a) => {
    [a.raised_at, a.kind, a.station, a.port, percent(a.rate), a.boards].forEach((t) => cell(tr, t));
    clearButton(cell(tr, ''), a);
  });
  fill('stations', data.stations, (tr, r) => {
    [r.station, r.runs, r.boards, percent(r.first_pass_yield), percent(r.final_yield)]
        .forEach((t) => cell(tr, t));
  });
  fill('hours', data.hours, (tr, r) => {
    [r.station, String(r.hour).padStart(2, '0') + ':00', r.boards, percent(r.first_pass_yield),
        percent(r.final_yield)].forEach((t) => cell(tr, t));
  });
  fill('repairs', data.repairs, (tr, r) => {
    boardLink(cell(tr, ''), r.chip_id);
    [r.station, r.start_stamp, r.status, r.failures].forEach((t) => cell(tr, t));
  });
  moreRepairs(data);
  fill('flags', data.flags, (tr, r) => {
    [r.station, r.port, r.runs, r.failures, percent(r.rate), percent(r.others_rate)]
        .forEach((t) => cell(tr, t));
  });
  fill('latest', data.latest, (tr, r) => {
    boardLink(cell(tr, ''), r.chip_id);
    [r.station, r.host, r.start_stamp].forEach((t) => cell(tr, t));
    cell(tr, r.verdict, r.verdict === 'OK' ? '' : 'fail');
    cell(tr, r.failing);
  });
}

// Fetches overlap when changes come fast: only the latest one asked for is shown.
let asked = 0;
async function refresh() {
  const mine = ++asked;
  try {
    const response = await fetch('/dashboard.json', {cache: 'no-store'});
    const d = response.ok ? await response.json() : null;
    if (d && mine === asked) show(d);
  } catch (e) {
    document.getElementById('banner').hidden = false;
  }
}

const RETRY_CLOSED_MS = 5000;

// Each event carries the whole screen. A stream the browser gave up on (the server refused it:
// too many screens, say) is opened again after a while.
function listen() {
  const events = new EventSource('/events');
  const banner = document.getElementById('banner');
  events.addEventListener('open', () => { banner.hidden = true; });
  events.addEventListener('dashboard', (e) => {
    ++asked;  // a fetch still under way would show older figures
    show(JSON.parse(e.data));
  });
  events.addEventListener('error', () => {
    banner.hidden = false;
    if (events.readyState === EventSource.CLOSED) setTimeout(listen, RETRY_CLOSED_MS);
  });
}

listen();
)JS";

}  // namespace yield
