// The repair desk in Debian's Chromium at 1920x1080: `serve` with a desk secret over a day with
// failing boards, the line screen open beside a board page. A disposition sent from the board
// page without the secret is refused and the board stays queued; sent with it, the board leaves
// the screen's queue without a reload.
// Usage: node desk-check.js --tool TOOL --db DB --secret-file FILE --secret TEXT --chip ID
'use strict';

const screen = require('./lineScreen');

const NAME = 'desk-check';
const ARGS = ['tool', 'db', 'secret-file', 'secret', 'chip'];
const DAY = '2026-12-07';
const VIEWPORT = {width: 1920, height: 1080};

// Runs in the page: whether the repair queue lists `chip`.
function queued(chip) {
    return [...document.querySelectorAll('#repairs tbody td')].some((td) => td.textContent === chip);
}

async function openBoard(browser, port, chip) {
    const page = await browser.newPage();
    await page.setViewport(VIEWPORT);
    await page.goto(`http://127.0.0.1:${port}/board/${encodeURIComponent(chip)}`, {waitUntil: 'load'});
    return page;
}

// Fills the form and sends it; the text the page shows for the answer.
async function dispose(board, secret, c) {
    await board.select('#desk select[name=status]', 'scrapped');
    await board.type('#desk input[name=by]', 'desk-check');
    await board.type('#desk input[name=note]', 'cracked case');
    if (secret) await board.type('#desk input[name=secret]', secret);
    await board.click('#desk button[type=submit]');
    try {
        const shown = await board.waitForFunction(() => {
            const text = document.getElementById('desk-result').textContent;
            return /^(recorded|refused)/.test(text) ? text : false;
        }, {timeout: screen.LIVE_WITHIN_MS, polling: screen.POLL_MS});
        return await shown.jsonValue();
    } catch (e) {
        c.expect(false, `the answer to the form: ${e.message}`);
        return '';
    }
}

async function main() {
    const args = screen.parseArgs(process.argv.slice(2), ARGS);
    const [serve, port] = await screen.startServe(args.tool, ['--db', args.db, '--listen',
        '127.0.0.1:0', '--day', DAY, '--desk-secret-file', args['secret-file']]);
    const chromium = await screen.launchBrowser();
    const c = new screen.Checks();
    try {
        const page = await screen.openScreen(chromium.browser, port, c);
        await page.setViewport(VIEWPORT);
        await screen.waitFor(page, queued, args.chip, 'the failing board in the queue', c);

        const refused = await openBoard(chromium.browser, port, args.chip);
        const answer = await dispose(refused, '', c);
        c.expect(answer.startsWith('refused'), `without the secret the page says: ${answer}`);
        await screen.sleep(1500);
        c.expect(await page.evaluate(queued, args.chip), 'a refused disposition took the board out');
        await refused.close();

        const board = await openBoard(chromium.browser, port, args.chip);
        const recorded = await dispose(board, args.secret, c);
        c.expect(recorded.startsWith('recorded'), `with the secret the page says: ${recorded}`);
        await screen.waitFor(page, (chip) => ![...document.querySelectorAll('#repairs tbody td')]
            .some((td) => td.textContent === chip), args.chip,
        'the scrapped board gone from the queue', c);
        c.expect(await screen.notReloaded(page), 'the line screen was reloaded');
        c.expect(page.errors.length === 0, `errors in the page: ${page.errors.join('; ')}`);
    } finally {
        await chromium.close();
        await screen.stop(serve);
    }
    c.finish(NAME, 'a disposition with the desk secret takes the board out of the queue live');
}

main().catch((e) => {
    console.error(`${NAME}: ${e.stack || e}`);
    process.exitCode = 2;
});
