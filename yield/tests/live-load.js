// The live screen under load: `serve` over a database, many pages holding its events open as a
// browser's EventSource does, and several ingests committing at once. For each commit and each
// page it measures the time from the commit (its ingest process ending) to the first event at
// that page whose run count includes it. Prints the pages connected and refused, that latency's
// median and 99th percentile, and the server's memory and threads; ends non-zero when a page was
// refused or lost its stream, or did not see the final count.
// Usage: node live-load.js --tool TOOL --db DB --day DAY --logs DIR [--clients 200]
//        [--streams 4] [--batch-files 2] [--quiet]
// DIR's *.log files (by path) are dealt out to the streams in batches of --batch-files; each
// stream ingests its batches one after the other. Every log must be a new run of DAY.
// --quiet prints only what failed.
'use strict';

const {spawn} = require('child_process');
const fs = require('fs');
const http = require('http');
const path = require('path');
const {performance} = require('perf_hooks');
// Only the process helpers: the browser's client is not needed here.
const screen = require('./browser/lineScreen');

const LISTEN = '127.0.0.1:0';
const RUNS_NEW = /(\d+) runs new/;
// For every page to see the base count at the start and the final count at the end.
const SETTLE_TIMEOUT_MS = 30000;
const SAMPLE_EVERY_MS = 100;
// Pages opening at once: the server's listen queue is short, and a line's screens open one by
// one.
const CONNECTING_AT_ONCE = 8;
const SUMMARY_KEY = '"summary":';
const LOG_SUFFIX = '.log';
const PERCENTILE = 0.99;
const DEFAULTS = {clients: '200', streams: '4', 'batch-files': '2'};
const OPTIONS = ['tool', 'db', 'day', 'logs', 'clients', 'streams', 'batch-files'];
const FLAGS = ['quiet'];

function parseArgs(argv) {
    const args = {...DEFAULTS};
    for (let i = 0; i < argv.length; ++i) {
        const name = argv[i].replace(/^--/, '');
        if (FLAGS.includes(name)) {
            args[name] = true;
        } else if (OPTIONS.includes(name) && i + 1 < argv.length) {
            args[name] = argv[++i];
        } else {
            throw new Error(`unknown argument ${argv[i]}`);
        }
    }
    for (const name of ['tool', 'db', 'day', 'logs'])
        if (!args[name]) throw new Error(`--${name} is needed`);
    for (const name of ['clients', 'streams', 'batch-files']) {
        args[name] = Number(args[name]);
        if (!Number.isInteger(args[name]) || args[name] < 1) throw new Error(`--${name} takes a count`);
    }
    return args;
}

// The run count of a dashboard event's data, or null before the first read of the database.
// Only the summary is parsed: a page's own parse of the whole body is not the server's
// time, and the driver reads every body of every page.
function runsOf(data) {
    const at = data.indexOf(SUMMARY_KEY);
    if (at < 0) return null;
    const from = at + SUMMARY_KEY.length;
    return JSON.parse(data.slice(from, data.indexOf('}', from) + 1)).runs;
}

// One Server-Sent Events block: its event name and data lines.
function parseEvent(block) {
    const ev = {name: 'message', data: []};
    for (const line of block.split('\n')) {
        if (line.startsWith(':')) continue;
        const colon = line.indexOf(':');
        const field = colon < 0 ? line : line.slice(0, colon);
        const value = colon < 0 ? '' : line.slice(colon + 1).replace(/^ /, '');
        if (field === 'event') ev.name = value;
        else if (field === 'data') ev.data.push(value);
    }
    return ev;
}

// A page on /events: the run counts it was sent, with when.
class Page {
    // `routes`: the screen's, as screen.readRoutes gives them.
    constructor(port, routes) {
        this.port = port;
        this.routes = routes;
        this.events = [];  // {t, runs}
        this.refused = null;
        this.lost = false;
        this.closing = false;
        this.buffer = '';
    }

    open() {
        return new Promise((resolve) => {
            this.req = http.get({host: '127.0.0.1', port: this.port, path: this.routes.events, agent: false,
                headers: {'Accept': 'text/event-stream', 'Cache-Control': 'no-cache'}}, (res) => {
                if (res.statusCode !== 200) {
                    this.refused = `status ${res.statusCode}`;
                    res.resume();
                    return resolve();
                }
                res.setEncoding('utf8');
                res.on('data', (chunk) => this.take(chunk));
                res.on('end', () => { this.lost = !this.closing; });
                resolve();
            });
            this.req.on('error', (e) => {
                if (this.closing) return;
                if (this.events.length === 0 && this.refused === null) this.refused = e.message;
                else this.lost = true;
                resolve();
            });
        });
    }

    take(chunk) {
        const t = performance.now();
        // A screen comes in many chunks: each is searched once for the end of an event.
        let from = Math.max(0, this.buffer.length - 1);
        this.buffer += chunk;
        let end;
        while ((end = this.buffer.indexOf('\n\n', from)) >= 0) {
            const ev = parseEvent(this.buffer.slice(0, end));
            this.buffer = this.buffer.slice(end + 2);
            from = 0;
            if (ev.name !== this.routes.event) continue;
            const runs = runsOf(ev.data.join('\n'));
            if (runs !== null) this.events.push({t, runs});
        }
    }

    lastRuns() { return this.events.length ? this.events[this.events.length - 1].runs : null; }

    // When this page was first sent a count of at least `runs`.
    firstAtLeast(runs) {
        const ev = this.events.find((e) => e.runs >= runs);
        return ev ? ev.t : null;
    }

    close() {
        this.closing = true;
        if (this.req) this.req.destroy();
    }
}

async function openPages(port, n) {
    const routes = await screen.readRoutes(port);
    const pages = Array.from({length: n}, () => new Page(port, routes));
    let next = 0;
    async function opener() {
        while (next < pages.length) await pages[next++].open();
    }
    await Promise.all(Array.from({length: CONNECTING_AT_ONCE}, opener));
    return pages;
}

// The server's memory (kB) and threads as /proc shows them now, the peaks kept in `seen`.
function sampleServer(pid, seen) {
    let text;
    try {
        text = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
    } catch (e) {
        return;
    }
    const field = (name) => Number((text.match(new RegExp(`^${name}:\\s+(\\d+)`, 'm')) || [])[1]);
    seen.hwmKb = field('VmHWM');
    seen.rssKb = field('VmRSS');
    seen.threads = field('Threads');
    seen.peakThreads = Math.max(seen.peakThreads || 0, seen.threads);
}

function logFiles(dir) {
    const out = [];
    for (const entry of fs.readdirSync(dir, {withFileTypes: true})) {
        const p = path.join(dir, entry.name);
        if (entry.isDirectory()) out.push(...logFiles(p));
        else if (entry.isFile() && entry.name.endsWith(LOG_SUFFIX)) out.push(p);
    }
    return out.sort();
}

// Batches of `size` files dealt out to `streams` streams in turn.
function dealBatches(files, size, streams) {
    const out = Array.from({length: streams}, () => []);
    for (let i = 0, b = 0; i < files.length; i += size, ++b)
        out[b % streams].push(files.slice(i, i + size));
    return out;
}

// One ingest; resolves with when it ended and the runs it stored.
function ingestBatch(args, files) {
    return new Promise((resolve, reject) => {
        const proc = spawn(args.tool, ['ingest', '--db', args.db, ...files],
            {stdio: ['ignore', 'pipe', 'inherit']});
        let out = '';
        proc.stdout.on('data', (d) => { out += d; });
        proc.on('close', (code) => {
            const t = performance.now();
            const m = out.match(RUNS_NEW);
            if (code !== 0 || !m) return reject(new Error(`ingest ended with ${code}: ${out.trim()}`));
            resolve({t, runsNew: Number(m[1])});
        });
    });
}

async function runStream(args, batches, commits) {
    for (const files of batches) commits.push(await ingestBatch(args, files));
}

function waitUntil(test, timeoutMs) {
    return new Promise((resolve) => {
        const start = performance.now();
        const timer = setInterval(() => {
            const ok = test();
            if (!ok && performance.now() - start < timeoutMs) return;
            clearInterval(timer);
            resolve(ok);
        }, SAMPLE_EVERY_MS);
    });
}

// Per commit (in the order the ingests ended) and page: ms from the commit to the page's first
// event counting at least every run stored by then; 0 when the event came before the process
// had ended. Commits that stored no run change no count and are left out.
function latencies(pages, commits, base) {
    const out = [];
    let runs = base;
    for (const c of [...commits].sort((a, b) => a.t - b.t)) {
        runs += c.runsNew;
        if (c.runsNew === 0) continue;
        for (const p of pages) {
            const t = p.firstAtLeast(runs);
            if (t !== null) out.push(Math.max(0, t - c.t));
        }
    }
    return out.sort((a, b) => a - b);
}

function percentile(sorted, q) {
    if (sorted.length === 0) return NaN;
    return sorted[Math.min(sorted.length - 1, Math.ceil(q * sorted.length) - 1)];
}

const seconds = (ms) => (ms / 1000).toFixed(3);
const mib = (kb) => (kb / 1024).toFixed(1);

function report(r, quiet) {
    const lines = [
        `pages: ${r.connected} connected, ${r.refused} refused, ${r.lost} lost`,
        `commits: ${r.commits} by ${r.streams} ingest streams, ${r.final - r.base} runs` +
            ` (${r.base} to ${r.final} on the screen)`,
        `update latency, commit to page: median ${seconds(r.median)} s,` +
            ` 99th percentile ${seconds(r.p99)} s, max ${seconds(r.max)} s` +
            ` (${r.samples} commit-page pairs)`,
        `server: peak memory ${mib(r.server.hwmKb)} MiB (VmHWM), final ${mib(r.server.rssKb)} MiB` +
            ` (VmRSS); threads ${r.server.threads}, at most ${r.server.peakThreads}`,
        `pages that saw the final count: ${r.sawFinal} of ${r.connected}`,
    ];
    if (!quiet) console.log(lines.join('\n'));
}

function failures(r, pages) {
    const out = [];
    const refused = pages.filter((p) => p.refused !== null);
    if (refused.length) out.push(`${refused.length} pages refused (${refused[0].refused})`);
    if (r.lost) out.push(`${r.lost} pages lost their stream`);
    if (!r.baseAgreed) out.push('the pages were not all sent one screen to start from');
    if (r.sawFinal < pages.length)
        out.push(`${pages.length - r.sawFinal} pages never saw the final count ${r.final}`);
    if (r.serveExit !== 0) out.push(`serve ended with ${r.serveExit}`);
    return out;
}

let serving = null;  // stopped however the run ends

async function main() {
    const args = parseArgs(process.argv.slice(2));
    const batches = dealBatches(logFiles(args.logs), args['batch-files'], args.streams);
    const [serve, port] = await screen.startServe(args.tool,
        ['--db', args.db, '--listen', LISTEN, '--day', args.day]);
    serving = serve;
    const server = {peakThreads: 0};
    const sampler = setInterval(() => sampleServer(serve.pid, server), SAMPLE_EVERY_MS);
    const pages = await openPages(port, args.clients);
    const live = () => pages.filter((p) => p.refused === null);
    await waitUntil(() => live().every((p) => p.lastRuns() !== null), SETTLE_TIMEOUT_MS);
    const bases = new Set(live().map((p) => p.lastRuns()));
    const baseAgreed = bases.size === 1 && !bases.has(null);
    const base = baseAgreed ? [...bases][0] : 0;

    const commits = [];
    await Promise.all(batches.map((b) => runStream(args, b, commits)));
    const final = base + commits.reduce((n, c) => n + c.runsNew, 0);
    await waitUntil(() => live().every((p) => p.lastRuns() >= final || p.lost), SETTLE_TIMEOUT_MS);
    sampleServer(serve.pid, server);
    clearInterval(sampler);

    const lat = latencies(live(), commits, base);
    const r = {
        connected: live().length, refused: pages.length - live().length,
        lost: pages.filter((p) => p.lost).length, commits: commits.length,
        streams: args.streams, base, baseAgreed, final,
        median: percentile(lat, 0.5), p99: percentile(lat, PERCENTILE),
        max: lat.length ? lat[lat.length - 1] : NaN, samples: lat.length, server,
        sawFinal: live().filter((p) => p.lastRuns() >= final).length,
    };
    pages.forEach((p) => p.close());
    r.serveExit = await screen.stop(serve);
    report(r, args.quiet);
    const failed = failures(r, pages);
    for (const f of failed) console.error(`live-load: ${f}`);
    process.exit(failed.length ? 1 : 0);
}

main().catch((e) => {
    console.error(`live-load: ${e.message}`);
    if (serving) serving.kill('SIGTERM');
    process.exit(2);
});
