// The web edition's figures against their targets: what a first visit
// downloads (per file and in all, raw and as gzip level 6 would send it), the
// time from navigation to the program's first frame and to the main menu in
// headless Chromium (three fresh profiles, median), and the program's wasm
// heap at the main menu. Missed targets are reported, not failed; only a
// missing site is an error.
//   node bench.mjs SITE_DIR      (MNEMORA_WEB_ORACLE for the menu's layout)
import {existsSync, promises as fsp} from 'node:fs';
import path from 'node:path';
import {gzipSync} from 'node:zlib';

import {canvasInfo, canvasShot, difference, launchBrowser, oracle, sleep, slot, spread, waitForFirstFrame, watchConsole} from './browser.mjs';
import {startServer} from './serve.mjs';

const MB = 1000 * 1000;
const targets = {
    gzipTotal: 9 * MB,
    gzipProgram: 1.5 * MB
};
const runs = 3;

const site = process.argv[2];
const mb = (n) => `${(n / MB).toFixed(2)} MB`;
const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const verdict = (ok) => (ok ? 'met' : 'MISSED');

// The main-menu buttons of the oracle's layout, or none when there is no
// oracle (the menu is then the first picture that stays put for a second).
function menuButtons(width, height) {
    try {
        const o = oracle(width, height);
        return [1, 2, 3, 4, 5].map((n) => slot(o.mainMenu, n));
    } catch {
        return null;
    }
}

// One first visit in a fresh profile: { firstFrame, mainMenu (ms since
// navigation), heap (bytes), sent (bytes per file), errors }.
async function visit(url, server) {
    const browser = await launchBrowser();
    const errors = [];
    try {
        const page = await browser.browser.newPage();
        watchConsole(page, errors);
        await page.setViewport({width: 1280, height: 720, deviceScaleFactor: 1});
        server.sent.clear();
        await page.goto(url, {waitUntil: 'domcontentloaded'});
        const firstFrame = await waitForFirstFrame(page);
        const c = await canvasInfo(page);
        const whole = [[0, 0, c.width, c.height]];
        const rects = menuButtons(c.width, c.height) || whole;
        const splash = await canvasShot(page);
        // Each shot is stamped with the page's clock as it is asked for; the
        // menu counts from the first of two alike shots that differ from the
        // splash (the oracle's buttons drawn), at the polling's resolution.
        let previous = null;
        let mainMenu = null;
        const end = Date.now() + 60000;
        while (mainMenu === null && Date.now() < end) {
            const at = await page.evaluate(() => performance.now());
            const s = await canvasShot(page);
            const away = rects.reduce((sum, r) => sum + difference(s, splash, r), 0) / rects.length;
            const drawn = rects.every((r) => spread(s, r) > 4);
            if (previous && away > 20 && drawn &&
                rects.every((r) => difference(s, previous.s, r) < 2)) {
                mainMenu = previous.at;
            }
            previous = away > 20 && drawn ? {s, at} : null;
            if (mainMenu === null) await sleep(50);
        }
        const heap = await page.evaluate(
            () => (window.Module && window.Module.HEAP8 ? window.Module.HEAP8.length : 0));
        return {firstFrame, mainMenu, heap, sent: new Map(server.sent), errors};
    } finally {
        await browser.close();
    }
}

async function main() {
    if (!site || !existsSync(path.join(site, 'index.html'))) {
        console.error(`no web site in ${site} (build it with "make web")`);
        process.exit(1);
    }
    const server = await startServer(site);
    const results = [];
    for (let i = 0; i < runs; ++i) {
        const r = await visit(server.url, server);
        results.push(r);
        console.log(`run ${i + 1}: first frame ${r.firstFrame.toFixed(0)} ms, main menu ${
            r.mainMenu === null ? 'not seen' : r.mainMenu.toFixed(0) + ' ms'}, wasm heap ${
            mb(r.heap)}${r.errors.length ? ', console errors: ' + r.errors.join('; ') : ''}`);
    }
    await server.close();

    // Sizes: every file of the site, what the first visit fetched of it, and
    // its size raw and gzipped.
    const names = (await fsp.readdir(site, {recursive: true, withFileTypes: true}))
                      .filter((e) => e.isFile())
                      .map((e) => path.relative(site, path.join(e.parentPath || e.path, e.name)))
                      .sort();
    const sent = results[0].sent;
    let raw = 0, gzip = 0, sentTotal = 0, programGzip = 0;
    console.log(
        '\nfile                                    sent (1st visit)         raw        gzip -6');
    for (const name of names) {
        const bytes = await fsp.readFile(path.join(site, name));
        const packed = gzipSync(bytes, {level: 6}).length;
        const s = sent.get(name) || 0;
        raw += bytes.length;
        gzip += packed;
        sentTotal += s;
        if (name === 'mnemora.wasm' || name === 'mnemora.js') programGzip += packed;
        console.log(`${name.padEnd(40)}${String(s).padStart(16)}${
            String(bytes.length).padStart(12)}${String(packed).padStart(15)}`);
    }
    console.log(`${'total'.padEnd(40)}${String(sentTotal).padStart(16)}${String(raw).padStart(12)}${
        String(gzip).padStart(15)}`);
    console.log(
        `(the first visit fetches the page's files twice: once for the page and once for the ` +
        `service worker's cache, which this server does not tell apart)`);

    const frames = results.map((r) => r.firstFrame);
    const menus = results.map((r) => r.mainMenu).filter((t) => t !== null);
    const heaps = results.map((r) => r.heap);
    console.log(
        '\nfigure: download, gzip, in all: ' + mb(gzip) +
        ` (target at most ${mb(targets.gzipTotal)}: ${verdict(gzip <= targets.gzipTotal)})`);
    console.log(
        'figure: download, gzip, mnemora.wasm + mnemora.js: ' + mb(programGzip) +
        ` (target at most ${mb(targets.gzipProgram)}: ${
            verdict(programGzip <= targets.gzipProgram)})`);
    console.log(`figure: download, raw, in all: ${mb(raw)}`);
    console.log(`figure: navigation to first frame, median of ${runs}: ${
        median(frames).toFixed(0)} ms (${frames.map((t) => t.toFixed(0)).join(', ')})`);
    console.log(`figure: navigation to main menu, median of ${menus.length}: ${
        menus.length ? median(menus).toFixed(0) + ' ms' :
                       'not seen'} (${menus.map((t) => t.toFixed(0)).join(', ')})`);
    console.log(
        `figure: wasm heap at the main menu: ${mb(median(heaps))} (${heaps.join(', ')} bytes)`);
}

await main();
