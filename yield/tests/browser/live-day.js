// The factory day live on the line screen: `serve` over an empty database, one `watch` over the
// line folder (the fixtures with station markers and the repair desk) and one `watch --station
// fixture-B` over fixture B's folder, the screen open in Chromium; then the day's gathered pile
// dropped into the watched folders station by station, as an operator would. Without a reload the
// page must come to show the day's report: each station's runs, boards, first-pass and final
// yields, the repair queue, the flagged fixture as a flag and an alarm; the alert command must
// have run once for it, naming its station and port; host names made of markup stay text. Serve
// and the watchers must end with status 0 at SIGTERM.
// Usage: node live-day.js --tool TOOL --db DB --pile DIR --report REPORT.json --work DIR
//        --alert SCRIPT --alerts FILE
'use strict';

const {execFileSync} = require('child_process');
const fs = require('fs');
const path = require('path');
const screen = require('./lineScreen');
const figures = require('./dayFigures');

const NAME = 'live-day';
const ARGS = ['tool', 'db', 'pile', 'report', 'work', 'alert', 'alerts'];
const MARKER = 'devuzeV7-station';
const STAGING = 'staging';
// A drop of a whole station's archives reaches the page within this; the machine is shared.
const DROP_WITHIN_MS = 20000;
// The watched folders (in the work folder) and the options of their `watch`.
const WATCHES = {'line': [], 'fixture-B': ['--station', 'fixture-B']};
// The operator's drops, in order: a folder of the pile into a watched folder, copied file by file
// (a station marker may come after the logs it names), or moved in whole once copied beside it:
// fixture C's cut cable then shows at once, so its flags are raised once and never drop out
// half-way through the copy.
const DROPS = [
    {folder: 'fixture-A', into: 'line', how: 'copy'},
    {folder: 'fixture-B', into: 'fixture-B', how: 'copy'},
    {folder: 'fixture-C', into: 'line', how: 'move'},
    {folder: 'desk-D', into: 'line', how: 'copy'},
];
const STOPPED = 0;

function startWatchers(args) {
    return Object.entries(WATCHES).map(([folder, options]) => {
        const dir = path.join(args.work, folder);
        fs.mkdirSync(dir, {recursive: true});
        return screen.startChild(args.tool, ['watch', '--db', args.db, ...options, dir]);
    });
}

// With cp and find: names from the logs need not be UTF-8, which node's file names must be.
function copy(from, to) {
    execFileSync('cp', ['-r', from, to], {stdio: ['ignore', 'ignore', 'inherit']});
}

function dropIn(args, drop) {
    const from = path.join(args.pile, drop.folder);
    const to = path.join(args.work, drop.into, drop.folder);
    if (drop.how === 'copy') {
        copy(from, to);
        return;
    }
    const staged = path.join(args.work, STAGING, drop.folder);
    fs.mkdirSync(path.dirname(staged), {recursive: true});
    copy(from, staged);
    fs.renameSync(staged, to);
}

// The names the station markers under `folder` give, one marker a line.
function markersUnder(folder) {
    const names = execFileSync('find', [folder, '-type', 'f', '-name', MARKER, '-exec', 'cat', '{}', '+'],
        {encoding: 'utf8'});
    return names.split('\n').map((n) => n.trim()).filter(Boolean);
}

// The stations a drop's runs count under: its watch's --station, else its markers' names;
// without either its runs go by host name: the report's stations that no drop names.
function stationsOf(drop, args, report) {
    const named = (d) => {
        const options = WATCHES[d.into];
        const i = options.indexOf('--station');
        return i >= 0 ? [options[i + 1]] : markersUnder(path.join(args.pile, d.folder));
    };
    const own = new Set(named(drop));
    if (own.size === 0) {
        const all = new Set(DROPS.flatMap(named));
        return report.stations.filter((s) => !all.has(s.station));
    }
    return report.stations.filter((s) => own.has(s.station));
}

function readStations(page) { return screen.readTable(page, 'stations'); }

async function dropStations(page, args, report, c) {
    for (const drop of DROPS) {
        const stations = stationsOf(drop, args, report);
        c.expect(stations.length > 0, `${drop.folder}: no station of the report is its`);
        dropIn(args, drop);
        await screen.waitUntilSame(() => readStations(page),
            (rows) => figures.runsDifferences(stations, rows), `${drop.folder}'s runs on the page`, c,
            DROP_WITHIN_MS);
    }
}

async function checkFigures(page, report, c) {
    await screen.waitUntilSame(() => readStations(page),
        (rows) => figures.stationDifferences(report, rows), 'the report\'s station table', c);
    await screen.waitUntilSame(() => screen.readTable(page, 'repairs'),
        (rows) => figures.repairDifferences(report, rows), 'the report\'s repair queue', c);
    const flagged = figures.flaggedCells(report);
    await screen.waitUntilSame(() => screen.readTable(page, 'flags'),
        (rows) => figures.flagDifferences(flagged, rows), 'the report\'s fixture flags', c);
    await screen.waitUntilSame(() => screen.readTable(page, 'alarms'),
        (rows) => figures.alarmDifferences(flagged, rows),
        'the flagged fixture\'s alarm', c);
    return screen.readTable(page, 'alarms');
}

// Runs in the page: the elements named `tags` but the page's own script, and the station names
// of `texts` that are not a station cell's whole text.
function readMarkup(tags, texts) {
    const made = tags.length === 0 ? [] : [...document.querySelectorAll(tags.join(','))]
        .filter((e) => !(e.localName === 'script' && e.hasAttribute('src')));
    const cells = new Set([...document.querySelectorAll('#stations td')].map((td) => td.textContent));
    return {made: made.map((e) => e.outerHTML), missing: texts.filter((t) => !cells.has(t))};
}

async function checkMarkupStaysText(page, report, c) {
    const texts = figures.markupStations(report);
    c.expect(texts.length > 0, 'no station of the report is named with markup');
    const seen = await page.evaluate(readMarkup, figures.markupTags(texts), texts);
    c.expect(seen.made.length === 0, `elements made from the data: ${seen.made.join(' ')}`);
    c.expect(seen.missing.length === 0, `not on the page as text: ${JSON.stringify(seen.missing)}`);
}

// Stops every process; each must end with status 0.
async function stopAll(procs, c) {
    for (const [what, proc] of procs) {
        const status = await screen.stop(proc);
        c.expect(status === STOPPED, `${what} ended with ${status} at SIGTERM`);
    }
}

async function main() {
    const args = screen.parseArgs(process.argv.slice(2), ARGS);
    const report = JSON.parse(fs.readFileSync(args.report, 'utf8'));
    const day = figures.theDay(report);
    const flagged = figures.flaggedCells(report);
    if (flagged.length === 0) throw new Error('the report flags no fixture');
    const c = new screen.Checks();
    const [serve, port] = await screen.startServe(args.tool, ['--db', args.db, '--listen',
        '127.0.0.1:0', '--day', day, '--alarm-yield', '0', '--on-alert',
        `${args.alert} ${args.alerts}`]);
    const procs = [['serve', serve], ...startWatchers(args).map((w, i) => [`watch ${i + 1}`, w])];
    const chromium = await screen.launchBrowser().catch(async (e) => {
        await stopAll(procs, c);
        throw e;
    });
    let alarms = [];
    try {
        const page = await screen.openScreen(chromium.browser, port, c);
        await dropStations(page, args, report, c);
        alarms = await checkFigures(page, report, c);
        await checkMarkupStaysText(page, report, c);
        c.expect(await screen.notReloaded(page), 'the page was reloaded');
        c.expect(page.errors.length === 0, `errors in the page: ${page.errors.join('; ')}`);
    } finally {
        await chromium.close();
        await stopAll(procs, c);
    }
    // Read once serve has ended: an alert it started late is in the file too.
    const calls = screen.readAlerts(args.alerts);
    for (const d of figures.alertDifferences(flagged, calls, alarms))
        c.expect(false, d);
    c.finish(NAME, `the factory day of ${day} reached the screen as the report has it`);
}

main().catch((e) => {
    console.error(`${NAME}: ${e.stack || e}`);
    process.exitCode = 2;
});
