// What the checks of the line screen share: `serve` and `watch` started and stopped as processes,
// Debian's Chromium with the screen open in it, waits on the page, the tables read by their
// headings, and the lines the alert command (record-alert.sh) wrote.
'use strict';

const {spawn} = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const BROWSER = '/usr/bin/chromium';
const BROWSER_FLAGS = ['--headless', '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-proxy-server'];
const PROFILE_PREFIX = 'yield-serve-';
const LIVE_WITHIN_MS = 10000;  // commit to page: the server promises 2 s, the browser adds some
const START_TIMEOUT_MS = 15000;
const POLL_MS = 100;
const CSP = "default-src 'none'; script-src 'self'; connect-src 'self'; style-src 'self'";
const LISTENING = /listening on http:\/\/127\.0\.0\.1:(\d+)\//;
// The variables record-alert.sh writes after the alert's arguments, in its order.
const ALERT_VARIABLES = ['KIND', 'STATION', 'PORT', 'FAILURE_RATE', 'FIRST_PASS_YIELD', 'BOARDS', 'ID'];

// The processes started here, stopped when this script ends early (a timeout's SIGTERM).
const children = new Set();
process.once('exit', () => {
    for (const proc of children) proc.kill('SIGTERM');
});
for (const signal of ['SIGTERM', 'SIGINT']) process.once(signal, () => process.exit(2));

function track(proc) {
    children.add(proc);
    proc.on('exit', () => children.delete(proc));
    return proc;
}

// --name value pairs; only `names` are taken.
function parseArgs(argv, names) {
    const args = {};
    for (let i = 0; i < argv.length; i += 2) {
        const name = argv[i].replace(/^--/, '');
        if (!names.includes(name)) throw new Error(`unknown argument ${argv[i]}`);
        args[name] = argv[i + 1];
    }
    return args;
}

class Checks {
    constructor() { this.failures = []; }
    expect(ok, what) { if (!ok) this.failures.push(what); }
    // Prints the failures under `name`, or `success`; sets the exit status.
    finish(name, success) {
        for (const f of this.failures) console.error(`${name}: ${f}`);
        if (this.failures.length === 0) console.log(`${name}: ${success}`);
        process.exitCode = this.failures.length === 0 ? 0 : 1;
    }
}

// Starts `serve` with `serveArgs` (which name --listen) and resolves with [process, port] once
// it says where it listens.
function startServe(tool, serveArgs) {
    const proc = track(spawn(tool, ['serve', ...serveArgs], {stdio: ['ignore', 'pipe', 'inherit']}));
    return new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error('serve did not start')), START_TIMEOUT_MS);
        let out = '';
        proc.stdout.on('data', (d) => {
            out += d;
            const m = out.match(LISTENING);
            if (!m) return;
            clearTimeout(timer);
            resolve([proc, Number(m[1])]);
        });
        proc.on('exit', (code) => reject(new Error(`serve ended with ${code}`)));
    });
}

// A child whose standard error goes to ours; its exit is remembered for stop().
function startChild(tool, args) {
    const proc = track(spawn(tool, args, {stdio: ['ignore', 'ignore', 'inherit']}));
    proc.ended = new Promise((resolve) => {
        proc.on('exit', (code, signal) => resolve(signal ? `signal ${signal}` : code));
    });
    return proc;
}

// Sends SIGTERM and resolves with the exit status (or "signal NAME").
function stop(proc) {
    const ended = proc.ended || new Promise((resolve) => {
        proc.on('exit', (code, signal) => resolve(signal ? `signal ${signal}` : code));
    });
    if (proc.exitCode === null && proc.signalCode === null) proc.kill('SIGTERM');
    return ended;
}

// Chromium with a profile of its own, removed by close().
async function launchBrowser() {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), PROFILE_PREFIX));
    const flags = [...BROWSER_FLAGS, `--user-data-dir=${profile}`];
    if (process.getuid() === 0) flags.push('--no-sandbox');
    // Required here, so that a driver without a browser needs no node modules.
    const puppeteer = require('puppeteer-core');
    const browser = await puppeteer.launch({executablePath: BROWSER, headless: true, args: flags,
        userDataDir: profile});
    return {
        browser,
        close: async () => {
            await browser.close();
            fs.rmSync(profile, {recursive: true, force: true});
        },
    };
}

// Waits until `fn(arg)` holds in the page; a failure names `what`.
async function waitFor(page, fn, arg, what, c, ms = LIVE_WITHIN_MS) {
    try {
        await page.waitForFunction(fn, {timeout: ms, polling: POLL_MS}, arg);
        return true;
    } catch (e) {
        c.expect(false, `${what} within ${ms} ms`);
        return false;
    }
}

// Opens the screen served on `port`, checks its CSP header and marks the window, so that
// notReloaded() tells whether the page was loaded again since. Errors in the page, a CSP refusal
// and dialogs (an alert() from the data) are collected in page.errors.
async function openScreen(browser, port, c) {
    const page = await browser.newPage();
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(e.message));
    page.on('console', (m) => {
        if (/Content Security Policy/.test(m.text())) page.errors.push(m.text());
    });
    page.on('dialog', (d) => { page.errors.push(`a dialog: ${d.message()}`); d.dismiss(); });
    const response = await page.goto(`http://127.0.0.1:${port}/`, {waitUntil: 'load'});
    c.expect(response.headers()['content-security-policy'] === CSP,
        `CSP header: ${response.headers()['content-security-policy']}`);
    await page.evaluate(() => { window.sameLoad = true; });
    await waitFor(page, () => document.getElementById('day').textContent !== '', null,
        'the first figures', c);
    return page;
}

function notReloaded(page) {
    return page.evaluate(() => window.sameLoad === true);
}

// The routes the server hands the screen: the data attributes of its page's body, by name
// (data-clear-header: clearHeader), as the page's own script reads them.
function readRoutes(port) {
    return new Promise((resolve, reject) => {
        http.get({host: '127.0.0.1', port, path: '/', agent: false}, (res) => {
            let html = '';
            res.setEncoding('utf8');
            res.on('data', (d) => { html += d; });
            res.on('end', () => {
                const body = /<body([^>]*)>/.exec(html);
                if (res.statusCode !== 200 || !body) return reject(new Error('no screen at /'));
                const routes = {};
                for (const [, name, value] of body[1].matchAll(/data-([a-z-]+)="([^"]*)"/g))
                    routes[name.replace(/-([a-z])/g, (m, c) => c.toUpperCase())] = value;
                resolve(routes);
            });
        }).on('error', reject);
    });
}

// Runs in the page: the rows of table `id`, each an object from its columns' keys (the screen's
// JSON members, which the page gives each heading) to the cells' text (a column without a key is
// left out).
function tableRows(id) {
    const heads = [...document.querySelectorAll(`#${id} thead th`)].map((th) => th.dataset.key);
    return [...document.querySelectorAll(`#${id} tbody tr`)].map((tr) => {
        const row = {};
        [...tr.querySelectorAll('td')].forEach((td, i) => {
            if (heads[i]) row[heads[i]] = td.textContent;
        });
        return row;
    });
}

function readTable(page, id) {
    return page.evaluate(tableRows, id);
}

// A share as the page shows it ("66.7%") against a ratio: equal to the digits shown.
function samePercent(shown, ratio) {
    const m = /^(-?\d+(?:\.(\d+))?)\s*%$/.exec(String(shown).trim());
    if (!m) return false;
    const halfStep = 0.5 * 10 ** -(m[2] ? m[2].length : 0);
    return Math.abs(Number(m[1]) - ratio * 100) <= halfStep + 1e-9;
}

// The calls of the alert command so far: each its arguments and its DEVUZE_ALERT_* variables.
function readAlerts(file) {
    if (!fs.existsSync(file)) return [];
    return fs.readFileSync(file, 'utf8').split('\n').filter(Boolean).map((line) => {
        const fields = line.split('\t');
        const args = fields.slice(0, fields.length - ALERT_VARIABLES.length);
        const env = {};
        fields.slice(args.length).forEach((f, i) => {
            const [name, ...value] = f.split('=');
            env[ALERT_VARIABLES[i]] = name === ALERT_VARIABLES[i] ? value.join('=') : undefined;
        });
        return {args, env};
    });
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Reads with `read` until `differences(seen)` lists none; a failure names `what` and the
// differences of the last reading.
async function waitUntilSame(read, differences, what, c, ms = LIVE_WITHIN_MS) {
    const deadline = Date.now() + ms;
    for (;;) {
        const left = differences(await read());
        if (left.length === 0) return true;
        if (Date.now() >= deadline) {
            c.expect(false, `${what} within ${ms} ms: ${left.join('; ')}`);
            return false;
        }
        await sleep(POLL_MS);
    }
}

module.exports = {
    LIVE_WITHIN_MS, POLL_MS, Checks, parseArgs, startServe, startChild, stop, launchBrowser,
    waitFor, waitUntilSame, openScreen, notReloaded, readTable, readRoutes, samePercent, readAlerts,
    sleep,
};
