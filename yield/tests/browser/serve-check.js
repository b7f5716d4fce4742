// The line screen in Debian's Chromium: `serve` over an empty database, the dashboard opened, then
// boards ingested while it stays open. Checks that the page shows them without a reload, that a
// host name made of markup stays text, that the alert command ran once for the flagged station and its alarm clears,
// that the CSP header is sent and the page runs under it, and that a page that lost the server
// says so and catches up once the server is back.
// Usage: node serve-check.js --tool TOOL --db DB --logs DIR --alert SCRIPT --alerts FILE
//        --host TEXT
'use strict';

const {spawn, execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const BROWSER = '/usr/bin/chromium';
const BROWSER_FLAGS = ['--headless', '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-proxy-server'];
const DAY = '2026-12-07';
const LIVE_WITHIN_MS = 10000;  // commit to page: the server promises 2 s, the browser adds some
const START_TIMEOUT_MS = 15000;
const CSP = "default-src 'none'; script-src 'self'; connect-src 'self'; style-src 'self'";
const FLAGGED = ['flagged-port', 'fixture-bad', 'DI-5'];
const BOARDS = 9;  // four bad, four good, one with a hostile host name

function parseArgs(argv) {
    const args = {};
    for (let i = 0; i < argv.length; i += 2) {
        const name = argv[i].replace(/^--/, '');
        if (!['tool', 'db', 'logs', 'alert', 'alerts', 'host'].includes(name))
            throw new Error(`unknown argument ${argv[i]}`);
        args[name] = argv[i + 1];
    }
    return args;
}

// Starts serve and resolves with [process, port] once it says where it listens.
function startServe(args, listen) {
    const proc = spawn(args.tool, ['serve', '--db', args.db, '--listen', listen, '--day', DAY,
        '--alarm-boards', '4', '--alarm-yield', '0', '--on-alert', `${args.alert} ${args.alerts}`],
    {stdio: ['ignore', 'pipe', 'inherit']});
    return new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error('serve did not start')), START_TIMEOUT_MS);
        let out = '';
        proc.stdout.on('data', (d) => {
            out += d;
            const m = out.match(/listening on http:\/\/127\.0\.0\.1:(\d+)\//);
            if (!m) return;
            clearTimeout(timer);
            resolve([proc, Number(m[1])]);
        });
        proc.on('exit', (code) => reject(new Error(`serve ended with ${code}`)));
    });
}

function stopServe(proc) {
    return new Promise((resolve) => {
        proc.on('exit', resolve);
        proc.kill('SIGTERM');
    });
}

function ingest(args, folder, station) {
    execFileSync(args.tool, ['ingest', '--db', args.db, '--station', station,
        path.join(args.logs, folder)], {stdio: ['ignore', 'ignore', 'inherit']});
}

class Checks {
    constructor() { this.failures = []; }
    expect(ok, what) { if (!ok) this.failures.push(what); }
}

const latestRows = () => document.querySelectorAll('#latest tbody tr').length;

async function waitFor(page, fn, arg, what, c) {
    try {
        await page.waitForFunction(fn, {timeout: LIVE_WITHIN_MS, polling: 100}, arg);
        return true;
    } catch (e) {
        c.expect(false, `${what} within ${LIVE_WITHIN_MS} ms`);
        return false;
    }
}

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
        notReloaded: window.sameLoad === true,
    };
}

function alertLines(file) {
    return fs.existsSync(file) ? fs.readFileSync(file, 'utf8').split('\n').filter(Boolean) : [];
}

async function checkLive(page, args, c) {
    ingest(args, 'good', 'fixture-good');
    ingest(args, 'bad', 'fixture-bad');
    ingest(args, 'hostile', 'fixture-good');
    if (!await waitFor(page, (n) => document.querySelectorAll('#latest tbody tr').length >= n,
        BOARDS, `the ${BOARDS} new runs on the page`, c)) return;
    await waitFor(page, () => document.querySelectorAll('#alarms tbody tr').length > 0, null,
        'the alarm on the page', c);
    const seen = await page.evaluate(readPage, args.host);
    c.expect(seen.notReloaded, 'the page was reloaded');
    c.expect(seen.hostAsText, 'the hostile host name is not on the page as text');
    c.expect(seen.strange === 0, `markup from the data made ${seen.strange} elements`);
    c.expect(seen.flags === 1, `${seen.flags} fixture flags, expected 1`);
    c.expect(seen.stations === 2, `${seen.stations} stations, expected 2`);
    c.expect(seen.hours >= 2, `${seen.hours} rows in the hour table`);
    c.expect(seen.alarms.length === 1 && FLAGGED.every((t) => seen.alarms[0].includes(t)),
        `alarms on the page: ${JSON.stringify(seen.alarms)}`);
}

function checkAlert(args, c) {
    const lines = alertLines(args.alerts);
    c.expect(lines.length === 1, `the alert command ran ${lines.length} times: ${lines}`);
    const words = (lines[0] || '').split('\t');
    c.expect(FLAGGED.every((t, i) => words[i] === t) && words[4] === 'env:flagged-port',
        `the alert's arguments: ${JSON.stringify(words)}`);
}

// The Clear button takes the alarm off the page, and it stays off while its condition holds.
async function checkClear(page, c) {
    await page.click('#alarms tbody button');
    await waitFor(page, () => document.querySelectorAll('#alarms tbody tr').length === 0 &&
        document.getElementById('alarms-section').hidden, null, 'the alarm cleared', c);
}

// The server goes away: the page says so; it comes back with more runs: the page shows them.
async function checkReconnect(page, args, serve, port, c) {
    await stopServe(serve);
    await waitFor(page, () => !document.getElementById('banner').hidden, null,
        'the lost-connection banner', c);
    const before = await page.evaluate(latestRows);
    // A new board, ingested while the server was away.
    ingest(args, 'again', 'fixture-good');
    const [back] = await startServe(args, `127.0.0.1:${port}`);
    try {
        await waitFor(page, () => document.getElementById('banner').hidden, null,
            'the banner gone once the server is back', c);
        await waitFor(page, (n) => document.querySelectorAll('#latest tbody tr').length > n,
            before, 'the runs ingested while away', c);
    } finally {
        await stopServe(back);
    }
}

async function main() {
    const args = parseArgs(process.argv.slice(2));
    const [serve, port] = await startServe(args, '127.0.0.1:0');
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'yield-serve-'));
    const flags = [...BROWSER_FLAGS, `--user-data-dir=${profile}`];
    if (process.getuid() === 0) flags.push('--no-sandbox');
    const browser = await puppeteer.launch({executablePath: BROWSER, headless: true, args: flags,
        userDataDir: profile});
    const c = new Checks();
    let running = serve;
    try {
        const page = await browser.newPage();
        const errors = [];
        page.on('pageerror', (e) => errors.push(e.message));
        page.on('console', (m) => { if (/Content Security Policy/.test(m.text())) errors.push(m.text()); });
        page.on('dialog', (d) => { errors.push(`a dialog: ${d.message()}`); d.dismiss(); });
        const response = await page.goto(`http://127.0.0.1:${port}/`, {waitUntil: 'load'});
        c.expect(response.headers()['content-security-policy'] === CSP,
            `CSP header: ${response.headers()['content-security-policy']}`);
        await page.evaluate(() => { window.sameLoad = true; });
        await waitFor(page, () => document.getElementById('day').textContent !== '', null,
            'the first figures', c);
        await checkLive(page, args, c);
        checkAlert(args, c);
        await checkClear(page, c);
        running = null;
        await checkReconnect(page, args, serve, port, c);
        c.expect(errors.length === 0, `errors in the page: ${errors.join('; ')}`);
    } finally {
        await browser.close();
        if (running) await stopServe(running);
        fs.rmSync(profile, {recursive: true, force: true});
    }
    for (const f of c.failures) console.error(`serve-check: ${f}`);
    if (c.failures.length === 0) console.log('serve-check: the line screen works as it should');
    process.exitCode = c.failures.length === 0 ? 0 : 1;
}

main().catch((e) => {
    console.error(`serve-check: ${e.stack || e}`);
    process.exitCode = 2;
});
