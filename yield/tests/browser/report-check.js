// Opens a yield HTML report in Debian's Chromium through the DevTools protocol and checks the
// page as the browser built it: no markup came from the data, the repair queue lists the failed
// boards of the JSON report, every chart has its axes and legend, no label is cut off by its
// chart's edge, zero failures stand apart from "no runs", and no histogram draws a within-limits
// reading outside its limit lines. Keeps a screenshot of the whole page.
// Usage: node report-check.js --report R.html --json R.json --out DIR [--selection]
//        [--host TEXT]...   (TEXT: a host name that must be on the page as text)
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const BROWSER = '/usr/bin/chromium';
const BROWSER_FLAGS = ['--headless', '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--hide-scrollbars'];
const VIEWPORT = {width: 1280, height: 1000};
const LOAD_TIMEOUT_MS = 60000;
const HEADING = 'devuzeV7 yield report';
const REPAIR_TITLE_START = 'Repair queue';
const SCREENSHOT = 'report.png';
const DOM_COPY = 'report.dom.html';
// Every element the report writer makes; the browser adds tbody.
const ALLOWED_ELEMENTS = ['html', 'head', 'meta', 'title', 'style', 'body', 'h1', 'h2', 'h3', 'p',
    'table', 'thead', 'tbody', 'tr', 'th', 'td', 'svg', 'rect', 'line', 'text',
    'polyline', 'circle', 'defs', 'pattern'];
const LABEL_CHARS = 20;    // kChartLabelChars
const LEGEND_ENTRIES = 7;  // no runs, the five failure rate classes, flagged
const PIXEL_SLACK = 0.5;
const MARKS_AT_LEAST = 10;  // bars and cells on a factory day's charts
const HEAD_ROWS = 50;  // kHeadRows: the rows of a long list people see

function parseArgs(argv) {
    const args = {hosts: [], selection: false};
    for (let i = 0; i < argv.length; ++i) {
        const a = argv[i];
        if (a === '--selection') args.selection = true;
        else if (a === '--host') args.hosts.push(argv[++i]);
        else if (['--report', '--json', '--out'].includes(a)) args[a.slice(2)] = argv[++i];
        else throw new Error(`unknown argument ${a}`);
    }
    for (const need of ['report', 'json', 'out'])
        if (!args[need]) throw new Error(`--${need} is missing`);
    return args;
}

// Runs in the page: what the checks need, read from the live DOM.
function readPage(allowed, repairTitle) {
    const texts = (root) => [...root.querySelectorAll('text')].map((t) => t.textContent);
    const box = (el) => {
        const r = el.getBoundingClientRect();
        return {left: r.left, right: r.right, top: r.top, bottom: r.bottom};
    };
    const page = {};
    page.heading = document.querySelector('h1')?.textContent ?? '';
    page.strange = [...new Set([...document.querySelectorAll('*')]
        .map((e) => e.localName).filter((n) => !allowed.includes(n)))];
    page.handlers = [...document.querySelectorAll('*')].flatMap((e) =>
        [...e.attributes].filter((a) => a.name.startsWith('on')).map((a) => e.localName + ' ' + a.name));
    page.bodyText = document.body.textContent;
    page.marks = document.querySelectorAll('rect.bar, rect.cell').length;
    page.selection = document.getElementById('selection')?.textContent ?? null;
    const repairHeading = [...document.querySelectorAll('h2')]
        .find((h) => h.textContent.startsWith(repairTitle));
    const repairTable = repairHeading?.nextElementSibling;
    page.repairs = repairTable?.localName === 'table'
        ? [...repairTable.querySelectorAll('tr')].slice(1).map((tr) => tr.cells[0].textContent)
        : null;
    page.charts = [...document.querySelectorAll('svg')].map((svg) => ({
        id: svg.id, cls: svg.getAttribute('class'), box: box(svg), texts: texts(svg),
        outside: [...svg.querySelectorAll('text')].filter((t) => {
            const r = t.getBoundingClientRect(), s = svg.getBoundingClientRect();
            return r.width > 0 && (r.left < s.left - 1 || r.right > s.right + 1 ||
                r.top < s.top - 1 || r.bottom > s.bottom + 1);
        }).map((t) => t.textContent),
        bars: svg.querySelectorAll('rect.bar').length,
        legend: svg.querySelectorAll('rect.legend').length,
    }));
    page.histograms = [...document.querySelectorAll('svg.chart-histogram')].map((svg) => ({
        input: svg.getAttribute('data-input'),
        low: parseFloat(svg.getAttribute('data-low')),
        high: parseFloat(svg.getAttribute('data-high')),
        limits: [...svg.querySelectorAll('line.limit')].map((l) => {
            const b = l.getBBox();
            return {value: parseFloat(l.getAttribute('data-limit')), x: b.x + b.width / 2};
        }),
        bars: [...svg.querySelectorAll('rect.bar')].map((r) => {
            const b = r.getBBox();
            return {value: parseFloat(r.getAttribute('data-value')), from: b.x, to: b.x + b.width};
        }),
    }));
    const heat = document.getElementById('chart-heatmap');
    const fill = (el) => getComputedStyle(el).fill;
    page.heat = heat && {
        background: getComputedStyle(heat).backgroundColor,
        noRunsFill: [...heat.querySelectorAll('rect.legend')].map(fill)[0] ?? null,
        zeroFills: [...new Set([...heat.querySelectorAll('rect.cell[data-failures="0"]')].map(fill))],
        failingFills: [...new Set([...heat.querySelectorAll('rect.cell:not([data-failures="0"])')]
            .map(fill))],
        labels: [...heat.querySelectorAll('text')].filter((t) => t.querySelector('title'))
            .map((t) => ({shown: t.lastChild.textContent, whole: t.querySelector('title').textContent})),
    };
    return page;
}

class Checks {
    constructor() { this.failures = []; }
    expect(ok, what) { if (!ok) this.failures.push(what); }
}

function checkPage(page, args, report, c) {
    c.expect(page.heading === HEADING, `the page did not load (heading "${page.heading}")`);
    c.expect(page.strange.length === 0, `elements from the data: ${page.strange.join(' ')}`);
    c.expect(page.handlers.length === 0, `event handler attributes: ${page.handlers.join(', ')}`);
    for (const host of args.hosts)
        c.expect(page.bodyText.includes(host), `host name not on the page as text: ${host}`);
    if (args.selection)
        c.expect(page.selection !== null && page.selection.trim() !== '', 'no selection line');
    checkRepairs(page, report, c);
}

function checkRepairs(page, report, c) {
    c.expect(page.repairs !== null, `no table after the "${REPAIR_TITLE_START}" heading`);
    if (page.repairs === null) return;
    const failed = report.repair_queue.map((r) => r.chip_id);
    c.expect(failed.length > 0, 'the JSON report queues no board: the factory day has failures');
    const head = failed.slice(0, HEAD_ROWS);
    c.expect(JSON.stringify(page.repairs) === JSON.stringify(head),
        `repair queue lists ${JSON.stringify(page.repairs)}, the JSON report ${JSON.stringify(head)}`);
}

function chart(page, id) { return page.charts.find((ch) => ch.id === id); }

function expectTexts(ch, name, wanted, c) {
    for (const w of wanted)
        c.expect(ch.texts.some((t) => t.includes(w)), `${name}: no label "${w}"`);
}

function checkCharts(page, c) {
    const days = chart(page, 'chart-days'), pareto = chart(page, 'chart-pareto');
    const heat = chart(page, 'chart-heatmap');
    c.expect(days && pareto && heat, 'a chart is missing (yield, Pareto or heat map)');
    if (!days || !pareto || !heat) return;
    expectTexts(days, 'yield chart', ['first pass (%)', 'boards', 'target 95.0%', '100%', '0%'], c);
    // Each bar's first-pass yield (n/a without boards), the five ticks and the target.
    const written = days.texts.filter((t) => /%$|^n\/a$/.test(t)).length;
    c.expect(days.bars > 0 && written >= days.bars + 6,
        'yield chart: bars without their yield written beside them');
    expectTexts(pareto, 'Pareto chart', ['boards', 'cum.', 'cumulative share'], c);
    expectTexts(heat, 'heat map', ['failure rate', '0 failures', 'no runs', 'flagged', 'port',
        'fixture'], c);
    c.expect(page.marks >= MARKS_AT_LEAST, `only ${page.marks} bars and cells in the charts`);
    c.expect(heat.legend === LEGEND_ENTRIES, `heat map: ${heat.legend} legend entries`);
    for (const ch of page.charts) {
        const name = ch.id || ch.cls;
        c.expect(ch.outside.length === 0, `${name}: labels cut off at its edge: ${ch.outside}`);
    }
    const histograms = page.charts.filter((ch) => ch.cls === 'chart-histogram');
    c.expect(histograms.length >= 1, 'no analogue histogram');
    for (const h of histograms) expectTexts(h, 'histogram', ['readings', 'reading (V)', 'limit'], c);
}

function checkHeatColours(heat, c) {
    if (!heat) return;
    c.expect(heat.zeroFills.length > 0, 'heat map: no cell without failures on a factory day');
    for (const f of heat.zeroFills) {
        c.expect(f !== heat.noRunsFill, `heat map: zero failures drawn like "no runs" (${f})`);
        c.expect(!heat.failingFills.includes(f), `heat map: zero failures drawn like failures (${f})`);
    }
    for (const l of heat.labels) {
        c.expect([...l.shown].length <= LABEL_CHARS, `heat map: label "${l.shown}" too long`);
        c.expect(l.shown === l.whole || (l.shown.endsWith('\u2026') &&
            l.whole.startsWith(l.shown.slice(0, -1))), `heat map: "${l.shown}" for "${l.whole}"`);
    }
}

// A bar is drawn at its value when its middle sits between the limit lines exactly when the
// value is within the limits, and the bars go left to right in the order of their values.
function checkHistogram(h, c) {
    const name = `histogram ${h.input}`;
    const low = h.limits.find((l) => l.value === h.low), high = h.limits.find((l) => l.value === h.high);
    c.expect(low && high, `${name}: limit lines for ${h.low} and ${h.high} missing`);
    c.expect(h.bars.length > 0, `${name}: no bars`);
    if (!low || !high) return;
    for (const b of h.bars) {
        const middle = (b.from + b.to) / 2;
        const drawnInside = middle >= low.x - PIXEL_SLACK && middle <= high.x + PIXEL_SLACK;
        const inSpec = b.value >= h.low && b.value <= h.high;
        c.expect(drawnInside === inSpec, `${name}: ${b.value} V drawn at ${b.from}..${b.to}, ` +
            `limits at ${low.x} and ${high.x}`);
        if (inSpec) c.expect(b.from < high.x && b.to > low.x,
            `${name}: within-limits ${b.value} V drawn wholly beyond a limit line`);
    }
    const byValue = [...h.bars].sort((a, b) => a.value - b.value);
    for (let i = 1; i < byValue.length; ++i)
        c.expect(byValue[i].from >= byValue[i - 1].to - PIXEL_SLACK,
            `${name}: ${byValue[i].value} V not right of ${byValue[i - 1].value} V`);
}

async function main() {
    const args = parseArgs(process.argv.slice(2));
    const report = JSON.parse(fs.readFileSync(args.json, 'utf8'));
    fs.mkdirSync(args.out, {recursive: true});
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'yield-browser-'));
    const flags = [...BROWSER_FLAGS, `--user-data-dir=${profile}`];
    // Chromium refuses to run as root inside its own sandbox.
    if (process.getuid() === 0) flags.push('--no-sandbox');
    const browser = await puppeteer.launch({executablePath: BROWSER, headless: true, args: flags,
        defaultViewport: VIEWPORT, userDataDir: profile});
    const c = new Checks();
    try {
        const page = await browser.newPage();
        const errors = [];
        page.on('pageerror', (e) => errors.push(e.message));
        await page.goto('file://' + path.resolve(args.report),
            {waitUntil: 'load', timeout: LOAD_TIMEOUT_MS});
        fs.writeFileSync(path.join(args.out, DOM_COPY), await page.content());
        await page.screenshot({path: path.join(args.out, SCREENSHOT), fullPage: true});
        const seen = await page.evaluate(readPage, ALLOWED_ELEMENTS, REPAIR_TITLE_START);
        c.expect(errors.length === 0, `errors in the page: ${errors.join('; ')}`);
        checkPage(seen, args, report, c);
        checkCharts(seen, c);
        checkHeatColours(seen.heat, c);
        for (const h of seen.histograms) checkHistogram(h, c);
        const bars = seen.histograms.reduce((n, h) => n + h.bars.length, 0);
        console.log(`report-check: ${seen.charts.length} charts, ${seen.histograms.length} ` +
            `histograms with ${bars} bars, ${seen.repairs?.length ?? 0} boards to repair; ` +
            `screenshot ${path.join(args.out, SCREENSHOT)}`);
    } finally {
        await browser.close();
        fs.rmSync(profile, {recursive: true, force: true});
    }
    for (const f of c.failures) console.error(`report-check: ${f}`);
    if (c.failures.length === 0) console.log('report-check: the report renders as it should');
    process.exitCode = c.failures.length === 0 ? 0 : 1;
}

main().catch((e) => {
    console.error(`report-check: ${e.stack || e}`);
    process.exitCode = 2;
});
