// `serve` under hostile load: many live pages on /events and slowloris connections (a header
// line every few seconds) at once, while an ordinary page is asked for twice a second; then
// bursts of chunked, ranged and oversized requests. Prints the live pages connected and refused,
// the slow connections dropped, the ordinary page's time to answer (median, max), and the
// server's peak and final memory and threads after each phase. Ends non-zero when an ordinary
// request was not answered 200.
// Usage: node serve-load.js --tool TOOL --db DB [--pages 1000] [--slow 300] [--seconds 20]
'use strict';

const http = require('http');
const net = require('net');
const fs = require('fs');
const {performance} = require('perf_hooks');
// Only the process helpers: no browser is needed here.
const screen = require('../../yield/tests/browser/lineScreen');

const HOST = '127.0.0.1';
const LISTEN = `${HOST}:0`;
const SLOW_LINE_EVERY_MS = 3000;
const ASK_EVERY_MS = 500;
const OPENING_AT_ONCE = 50;
const BURST = 20;  // requests of each hostile kind at once
const CHUNKED_MIB = 64;  // what each chunked request tries to send
const CHUNK = Buffer.alloc(64 * 1024, 'x');
const RANGES = 2000;
const DEFAULTS = {pages: 1000, slow: 300, seconds: 20};

function parseArgs(argv) {
    const args = {...DEFAULTS};
    for (let i = 0; i + 1 < argv.length; i += 2) args[argv[i].replace(/^--/, '')] = argv[i + 1];
    for (const name of ['pages', 'slow', 'seconds']) args[name] = Number(args[name]);
    if (!args.tool || !args.db) throw new Error('--tool and --db are needed');
    return args;
}

function serverUsage(pid) {
    const text = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
    const field = (name) => Number((text.match(new RegExp(`^${name}:\\s+(\\d+)`, 'm')) || [])[1]);
    return {hwmMiB: (field('VmHWM') / 1024).toFixed(1), rssMiB: (field('VmRSS') / 1024).toFixed(1),
        threads: field('Threads')};
}

function openPage(port, counts) {
    return new Promise((resolve) => {
        const req = http.get({host: HOST, port, path: '/events', agent: false}, (res) => {
            if (res.statusCode === 200) ++counts.connected; else ++counts.refused;
            res.on('data', () => {});
            res.on('end', () => ++counts.lost);
            resolve(req);
        });
        req.on('error', () => { ++counts.refused; resolve(req); });
    });
}

async function openPages(port, n, counts) {
    const reqs = [];
    let next = 0;
    async function opener() {
        while (next++ < n) reqs.push(await openPage(port, counts));
    }
    await Promise.all(Array.from({length: OPENING_AT_ONCE}, opener));
    return reqs;
}

// A slowloris client: a request line, then a header line every SLOW_LINE_EVERY_MS, never done;
// connects again when dropped, until `slow.stopping`.
function openSlow(port, counts, slow) {
    const s = net.connect(port, HOST, () => s.write(`GET / HTTP/1.1\r\nHost: ${HOST}:${port}\r\n`));
    const timer = setInterval(() => s.write('X-Slow: 1\r\n'), SLOW_LINE_EVERY_MS);
    slow.sockets.add(s);
    s.on('error', () => {});
    s.on('close', () => {
        clearInterval(timer);
        slow.sockets.delete(s);
        if (slow.stopping) return;
        ++counts.slowDropped;
        openSlow(port, counts, slow);
    });
}

function ask(port, path) {
    return new Promise((resolve) => {
        const t = performance.now();
        const req = http.get({host: HOST, port, path, agent: false}, (res) => {
            res.on('data', () => {});
            res.on('end', () => resolve({status: res.statusCode, ms: performance.now() - t}));
        });
        req.on('error', () => resolve({status: 0, ms: performance.now() - t}));
    });
}

// One hostile request per call: sends `head` and then `body()` chunks until the server ends it.
function hostile(port, head, body) {
    return new Promise((resolve) => {
        const s = net.connect(port, HOST, () => {
            s.write(head);
            let sent = 0;
            const more = () => {
                while (body && sent < CHUNKED_MIB * 16) {
                    ++sent;
                    if (!s.write(`${CHUNK.length.toString(16)}\r\n`) || !s.write(CHUNK) ||
                        !s.write('\r\n')) return s.once('drain', more);
                }
            };
            more();
        });
        let status = '';
        s.on('data', (d) => { if (!status) status = d.toString().slice(9, 12); });
        s.on('error', () => {});
        s.on('close', () => resolve(status));
    });
}

async function hostileBursts(port) {
    const host = `Host: ${HOST}:${port}\r\n`;
    const chunked = `POST /alarms/999/clear HTTP/1.1\r\n${host}X-Devuze-Clear: 1\r\n` +
        'Transfer-Encoding: chunked\r\n\r\n';
    const ranged = `GET /report?format=html HTTP/1.1\r\n${host}Range: bytes=0-` +
        ',0-'.repeat(RANGES - 1) + '\r\nConnection: close\r\n\r\n';
    const oversized = `POST /alarms/999/clear HTTP/1.1\r\n${host}X-Devuze-Clear: 1\r\n` +
        `Content-Length: ${CHUNKED_MIB * 1024 * 1024}\r\n\r\n`;
    const burst = (head, body) => Promise.all(Array.from({length: BURST},
        () => hostile(port, head, body)));
    return {chunked: await burst(chunked, true), ranged: await burst(ranged, false),
        oversized: await burst(oversized, true)};
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function main() {
    const args = parseArgs(process.argv.slice(2));
    const [serve, port] = await screen.startServe(args.tool, ['--db', args.db, '--listen', LISTEN]);
    const counts = {connected: 0, refused: 0, lost: 0, slowDropped: 0};
    const idle = serverUsage(serve.pid);
    const slow = {sockets: new Set(), stopping: false};
    for (let i = 0; i < args.slow; ++i) openSlow(port, counts, slow);
    const pages = await openPages(port, args.pages, counts);
    const loaded = serverUsage(serve.pid);
    const times = [];
    let failed = 0;
    for (let t = 0; t < args.seconds * 1000; t += ASK_EVERY_MS) {
        const r = await ask(port, '/dashboard.json');
        if (r.status !== 200) ++failed;
        times.push(r.ms);
        await sleep(ASK_EVERY_MS);
    }
    const during = serverUsage(serve.pid);
    const bursts = await hostileBursts(port);
    const after = serverUsage(serve.pid);
    const last = await ask(port, '/');
    slow.stopping = true;
    slow.sockets.forEach((s) => s.destroy());
    pages.forEach((p) => p.destroy());
    const exit = await screen.stop(serve);
    times.sort((a, b) => a - b);
    const ms = (v) => `${v.toFixed(1)} ms`;
    const tally = (list) => Object.entries(list.reduce((m, s) => ({...m, [s || 'none']:
        (m[s || 'none'] || 0) + 1}), {})).map(([k, v]) => `${v}x ${k}`).join(', ');
    console.log([
        `live pages: ${counts.connected} connected, ${counts.refused} refused, ` +
            `${counts.lost} lost; slowloris: ${args.slow} at a time, ${counts.slowDropped} ` +
            'dropped at their deadline and connected again',
        `ordinary page under that load: ${times.length} asked, ${failed} not 200; ` +
            `median ${ms(times[times.length >> 1])}, max ${ms(times[times.length - 1])} (goal under 1 s)`,
        `server idle: ${idle.rssMiB} MiB, ${idle.threads} threads; with the load: ` +
            `${loaded.rssMiB} MiB; after ${args.seconds} s: peak ${during.hwmMiB} MiB, ` +
            `${during.threads} threads`,
        `bursts of ${BURST}: chunked ${CHUNKED_MIB} MiB bodies (${tally(bursts.chunked)}), ` +
            `${RANGES} ranges on /report?format=html (${tally(bursts.ranged)}), ` +
            `Content-Length ${CHUNKED_MIB} MiB (${tally(bursts.oversized)})`,
        `server after the bursts: peak ${after.hwmMiB} MiB, now ${after.rssMiB} MiB; ` +
            `then / answered ${last.status}; serve ended with ${exit}`,
    ].join('\n'));
    process.exit(failed === 0 && last.status === 200 && exit === 0 ? 0 : 1);
}

main().catch((e) => {
    console.error(`serve-load: ${e.message}`);
    process.exit(2);
});
