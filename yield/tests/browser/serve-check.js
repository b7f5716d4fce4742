// The line screen in Debian's Chromium: `serve` over an empty database, the dashboard opened, then
// boards ingested while it stays open. Checks that the page shows them without a reload, that a
// host name made of markup stays text, that the alert command ran once for the flagged station and its alarm clears,
// that the CSP header is sent and the page runs under it, and that a page that lost the server
// says so and catches up once the server is back. The wall screen at 1920x1080: an empty day said as
// such, then tiles coloured against the target, figures of 80 px and more, nothing past the screen.
// Usage: node serve-check.js --tool TOOL --db DB --logs DIR --alert SCRIPT --alerts FILE
//        --host TEXT
'use strict';

const {execFileSync} = require('child_process');
const path = require('path');
const screen = require('./lineScreen');

const NAME = 'serve-check';
const ARGS = ['tool', 'db', 'logs', 'alert', 'alerts', 'host'];
const DAY = '2026-12-07';
const FLAGGED = ['flagged-port', 'fixture-bad', 'DI-5'];
const BOARDS = 9;  // four bad, four good, one with a hostile host name
const WALL = {width: 1920, height: 1080};
const WALL_FIGURE_PX = 80;
const WALL_BANDS = {'fixture-good': 'good', 'fixture-bad': 'bad'};  // 100 % and 0 % against 95 %

function startServe(args, listen) {
    return screen.startServe(args.tool, ['--db', args.db, '--listen', listen, '--day', DAY,
        '--alarm-boards', '4', '--alarm-yield', '0', '--on-alert', `${args.alert} ${args.alerts}`]);
}

async function openWall(browser, port, c) {
    const page = await browser.newPage();
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(e.message));
    await page.setViewport(WALL);
    await page.goto(`http://127.0.0.1:${port}/wall`, {waitUntil: 'load'});
    await screen.waitFor(page, () => document.getElementById('day').textContent !== '', null,
        'the wall\'s first figures', c);
    return page;
}

// Runs in the page: what would not fit the screen, the figures' sizes, the tiles' colours.
function readWall() {
    const outside = [...document.querySelectorAll('header, .tile, #trend, #queue tr, #empty')]
        .filter((e) => e.offsetParent !== null || e.localName === 'header')
        .filter((e) => {
            const r = e.getBoundingClientRect();
            return r.bottom > window.innerHeight + 1 || r.right > window.innerWidth + 1;
        }).map((e) => e.id || e.className);
    const root = document.documentElement;
    return {
        outside,
        scrolls: root.scrollHeight > root.clientHeight || root.scrollWidth > root.clientWidth,
        empty: document.getElementById('empty').hidden ? '' : document.getElementById('empty').textContent,
        tiles: [...document.querySelectorAll('.tile')].map((t) => {
            const figure = t.querySelector('.figure');
            const f = figure.getBoundingClientRect(), box = t.getBoundingClientRect();
            const cut = [...t.children].some((e) => e.getBoundingClientRect().bottom > box.bottom + 1);
            return {station: t.dataset.station, band: t.dataset.band, cls: t.className,
                colour: getComputedStyle(t).backgroundColor, text: figure.textContent, cut,
                height: f.height,
                font: parseFloat(getComputedStyle(figure).fontSize)};
        }),
    };
}

function checkWallFits(seen, c) {
    c.expect(!seen.scrolls, 'the wall scrolls at 1920x1080');
    c.expect(seen.outside.length === 0, `past the wall's screen: ${seen.outside.join(', ')}`);
}

async function checkWallEmpty(wall, c) {
    const seen = await wall.evaluate(readWall);
    checkWallFits(seen, c);
    c.expect(/^No boards tested/.test(seen.empty), `the empty day reads "${seen.empty}"`);
}

async function checkWall(wall, c) {
    await screen.waitFor(wall, (n) => document.querySelectorAll('.tile[data-band="bad"]').length >= n,
        1, 'the wall\'s tiles', c);
    const seen = await wall.evaluate(readWall);
    checkWallFits(seen, c);
    c.expect(seen.empty === '', `the wall says "${seen.empty}" on a day with boards`);
    for (const [station, band] of Object.entries(WALL_BANDS)) {
        const t = seen.tiles.find((x) => x.station === station);
        c.expect(t && t.band === band && t.cls.includes(`band-${band}`),
            `wall tile ${station}: ${JSON.stringify(t)}, expected ${band}`);
        if (t) c.expect(t.height >= WALL_FIGURE_PX && t.font >= WALL_FIGURE_PX && !t.cut,
            `wall tile ${station}: figure ${t.height} px high, font ${t.font} px, cut ${t.cut}`);
    }
    const colours = new Set(seen.tiles.filter((t) => t.band !== 'none').map((t) => t.colour));
    c.expect(colours.size === 2, `the good and bad tiles share a colour: ${[...colours]}`);
    c.expect(wall.errors.length === 0, `errors in the wall: ${wall.errors.join('; ')}`);
}

function ingest(args, folder, station) {
    execFileSync(args.tool, ['ingest', '--db', args.db, '--station', station,
        path.join(args.logs, folder)], {stdio: ['ignore', 'ignore', 'inherit']});
}

const latestRows = () => document.querySelectorAll('#latest tbody tr').length;

// Runs in the page.
function readPage(host) {
    const cells = [...document.querySelectorAll('#latest td')].map((td) => td.textContent);
    return {
        hostAsText: cells.includes(host),
        strange: [...document.querySelectorAll('img, b, script:not([src])')].length,
        alarms: [...document.querySelectorAll('#alarms tbody tr')].map((tr) =>
            [...tr.querySelectorAll('td')].map((td) => td.textContent)),
        flags: [...document.querySelectorAll('#flags tbody tr')].length,
        stations: [...document.querySelectorAll('#stations tbody tr')].length,
        hours: [...document.querySelectorAll('#hours tbody tr')].length,
    };
}

async function checkLive(page, args, c) {
    ingest(args, 'good', 'fixture-good');
    ingest(args, 'bad', 'fixture-bad');
    ingest(args, 'hostile', 'fixture-good');
    if (!await screen.waitFor(page, (n) => document.querySelectorAll('#latest tbody tr').length >= n,
        BOARDS, `the ${BOARDS} new runs on the page`, c)) return;
    await screen.waitFor(page, () => document.querySelectorAll('#alarms tbody tr').length > 0, null,
        'the alarm on the page', c);
    const seen = await page.evaluate(readPage, args.host);
    c.expect(await screen.notReloaded(page), 'the page was reloaded');
    c.expect(seen.hostAsText, 'the hostile host name is not on the page as text');
    c.expect(seen.strange === 0, `markup from the data made ${seen.strange} elements`);
    c.expect(seen.flags === 1, `${seen.flags} fixture flags, expected 1`);
    c.expect(seen.stations === 2, `${seen.stations} stations, expected 2`);
    c.expect(seen.hours >= 2, `${seen.hours} rows in the hour table`);
    c.expect(seen.alarms.length === 1 && FLAGGED.every((t) => seen.alarms[0].includes(t)),
        `alarms on the page: ${JSON.stringify(seen.alarms)}`);
}

function checkAlert(args, c) {
    const calls = screen.readAlerts(args.alerts);
    c.expect(calls.length === 1, `the alert command ran ${calls.length} times`);
    const call = calls[0] || {args: [], env: {}};
    c.expect(FLAGGED.every((t, i) => call.args[i] === t) && call.env.KIND === FLAGGED[0],
        `the alert's arguments: ${JSON.stringify(call)}`);
}

// Clear without a name is refused and said; with one, the alarm leaves the page, stays off while
// its condition holds, and the history says who cleared it.
async function checkClear(page, c) {
    const clear = '#alarms tbody button:last-child';
    // Found and clicked in one step of the page's own: an update drawn between the two would
    // leave the click on a button no longer there.
    const clickClear = () => page.evaluate((s) => document.querySelector(s).click(), clear);
    await clickClear();
    await screen.waitFor(page, () => !document.getElementById('alarm-refused').hidden, null,
        'a clear without a name refused', c);
    await page.type('#alarm-by', 'line lead');
    await clickClear();
    await screen.waitFor(page, () => document.querySelectorAll('#alarms tbody tr').length === 0 &&
        document.getElementById('alarms-section').hidden, null, 'the alarm cleared', c);
    await screen.waitFor(page, () => document.querySelector('#alarm-history tbody')
        .textContent.includes('line lead'), null, 'who cleared it in the history', c);
}

// The server goes away: the page says so; it comes back with more runs: the page shows them.
async function checkReconnect(page, args, serve, port, c) {
    await screen.stop(serve);
    await screen.waitFor(page, () => !document.getElementById('banner').hidden, null,
        'the lost-connection banner', c);
    const before = await page.evaluate(latestRows);
    // A new board, ingested while the server was away.
    ingest(args, 'again', 'fixture-good');
    const [back] = await startServe(args, `127.0.0.1:${port}`);
    try {
        await screen.waitFor(page, () => document.getElementById('banner').hidden, null,
            'the banner gone once the server is back', c);
        await screen.waitFor(page, (n) => document.querySelectorAll('#latest tbody tr').length > n,
            before, 'the runs ingested while away', c);
    } finally {
        await screen.stop(back);
    }
}

// Shares as the report spells them (C's printf: an exact half to the even digit), against the
// page's own spelling.
const REPORT_PERCENTS = [[1 / 16, '6.2%'], [3 / 16, '18.8%'], [0.934, '93.4%'], [1, '100.0%']];

async function checkPercents(page, c) {
    const shown = await page.evaluate((ratios) => ratios.map((r) => percent(r)),
        REPORT_PERCENTS.map(([r]) => r));
    REPORT_PERCENTS.forEach(([r, want], i) =>
        c.expect(shown[i] === want, `the page shows ${r} as ${shown[i]}, the report as ${want}`));
}

async function main() {
    const args = screen.parseArgs(process.argv.slice(2), ARGS);
    const [serve, port] = await startServe(args, '127.0.0.1:0');
    const chromium = await screen.launchBrowser();
    const c = new screen.Checks();
    let running = serve;
    try {
        const page = await screen.openScreen(chromium.browser, port, c);
        const wall = await openWall(chromium.browser, port, c);
        await checkWallEmpty(wall, c);
        await checkLive(page, args, c);
        await checkWall(wall, c);
        await wall.close();
        await checkPercents(page, c);
        checkAlert(args, c);
        await checkClear(page, c);
        running = null;
        await checkReconnect(page, args, serve, port, c);
        c.expect(page.errors.length === 0, `errors in the page: ${page.errors.join('; ')}`);
    } finally {
        await chromium.close();
        if (running) await screen.stop(running);
    }
    c.finish(NAME, 'the line screen works as it should');
}

main().catch((e) => {
    console.error(`${NAME}: ${e.stack || e}`);
    process.exitCode = 2;
});
