// What the web journeys and the bench share: Debian's Chromium started
// headless with a fresh profile, the game page opened and watched for console
// errors, the canvas read back as pixels, and the native layout oracle.
import {execFileSync} from 'node:child_process';
import {promises as fsp} from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {PNG} from 'pngjs';
import puppeteer from 'puppeteer-core';

export const chromium = process.env.MNEMORA_CHROMIUM || '/usr/bin/chromium';
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A browser with a profile of its own, removed again by close().
export async function launchBrowser() {
    const profile = await fsp.mkdtemp(path.join(os.tmpdir(), 'mnemora-web-profile-'));
    const browser = await puppeteer.launch({
        executablePath: chromium,
        headless: true,
        userDataDir: profile,
        protocolTimeout: 120000,
        args: [
            '--use-angle=swiftshader',
            '--enable-unsafe-swiftshader',
            '--no-sandbox',
            '--disable-background-networking',
            '--disable-component-update',
            '--disable-default-apps',
            '--disable-sync',
            '--no-first-run',
            '--disable-features=Translate,MediaRouter,OptimizationHints',
        ],
    });
    return {
        browser,
        close: async () => {
            await browser.close().catch(() => {});
            await fsp.rm(profile, {recursive: true, force: true});
        },
    };
}

// Console errors and uncaught exceptions of a page, collected into `errors`;
// everything else the page logs goes to `log` (the program's own output).
export function watchConsole(page, errors, log = []) {
    page.on('console', (m) => {
        const where = m.location() && m.location().url ? ` (${m.location().url})` : '';
        if (m.type() === 'error')
            errors.push(`console error: ${m.text()}${where}`);
        else
            log.push(`${m.type()}: ${m.text()}`);
    });
    page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
}

// Resolves to performance.now() of the program's first frame.
export async function waitForFirstFrame(page, timeout = 120000) {
    await page.waitForFunction(
        () => window.mnemoraTimes && window.mnemoraTimes.firstFrame !== undefined, {
            timeout,
            polling: 100,
        });
    return page.evaluate(() => window.mnemoraTimes.firstFrame);
}

// The canvas: its pixel size, its place on the page and the device pixel ratio.
export async function canvasInfo(page) {
    return page.evaluate(() => {
        const c = document.getElementById('canvas');
        const r = c.getBoundingClientRect();
        return {
            width: c.width,
            height: c.height,
            left: r.left,
            top: r.top,
            cssWidth: r.width,
            cssHeight: r.height,
            dpr: window.devicePixelRatio,
        };
    });
}

// The canvas as the screen shows it, read back from the compositor (a WebGL
// canvas cannot be read from the page): { width, height, data (RGBA), png }.
export async function canvasShot(page) {
    const c = await canvasInfo(page);
    // Captured as the page stands: a capture beyond the viewport lays the page
    // out again for a moment, and the browser's pointer event that follows
    // reads to the game as the mouse moving (which hides the keys' focus).
    const png = await page.screenshot({
        type: 'png',
        clip: {x: c.left, y: c.top, width: c.cssWidth, height: c.cssHeight},
        captureBeyondViewport: false,
    });
    const image = PNG.sync.read(Buffer.from(png));
    return {width: image.width, height: image.height, data: image.data, png};
}

export async function saveShot(folder, name, shot) {
    await fsp.writeFile(path.join(folder, `${name}.png`), shot.png);
}

// A piece of a picture, clipped to it.
export function cut(shot, [l, t, r, b]) {
    l = Math.max(0, l);
    t = Math.max(0, t);
    r = Math.min(shot.width, r);
    b = Math.min(shot.height, b);
    const w = Math.max(0, r - l);
    const h = Math.max(0, b - t);
    const data = Buffer.alloc(w * h * 4);
    for (let y = 0; y < h; ++y)
        shot.data.copy(
            data, y * w * 4, ((t + y) * shot.width + l) * 4, ((t + y) * shot.width + r) * 4);
    return {width: w, height: h, data};
}

// Mean difference per colour channel (0..255) of two pictures over the size
// they share.
export function compare(a, b) {
    const w = Math.min(a.width, b.width);
    const h = Math.min(a.height, b.height);
    if (w === 0 || h === 0) return 255;
    let sum = 0;
    for (let y = 0; y < h; ++y) {
        for (let x = 0; x < w; ++x) {
            const i = (y * a.width + x) * 4;
            const j = (y * b.width + x) * 4;
            sum += Math.abs(a.data[i] - b.data[j]) + Math.abs(a.data[i + 1] - b.data[j + 1]) +
                Math.abs(a.data[i + 2] - b.data[j + 2]);
        }
    }
    return sum / (w * h * 3);
}

export const difference = (a, b, rect) => compare(cut(a, rect), cut(b, rect));

// The spread (standard deviation) of a region's brightness: near 0 when blank.
export function spread(shot, rect) {
    const p = cut(shot, rect);
    const n = p.width * p.height;
    if (n === 0) return 0;
    let sum = 0;
    let squares = 0;
    for (let i = 0; i < n * 4; i += 4) {
        const v = (p.data[i] + p.data[i + 1] + p.data[i + 2]) / 3;
        sum += v;
        squares += v * v;
    }
    const mean = sum / n;
    return Math.sqrt(Math.max(0, squares / n - mean * mean));
}

// The layout of the game at a canvas size, from the native oracle program.
const oracles = new Map();
export function oracle(width, height) {
    const key = `${width}x${height}`;
    if (!oracles.has(key)) {
        const program = process.env.MNEMORA_WEB_ORACLE;
        const out = execFileSync(
            program, [String(width), String(height)], {encoding: 'utf8', maxBuffer: 1 << 24});
        const o = JSON.parse(out);
        if (o.width !== width || o.height !== height)
            throw new Error(`the oracle answered for ${o.width}x${o.height}, not ${key}`);
        oracles.set(key, o);
    }
    return oracles.get(key);
}

// Slot n (1 = first) of a list of buttons, whether the list keeps an unused
// entry 0 (as the game's slot arrays do) or starts at the first button.
export function slot(list, n) {
    const [l, t, r, b] = list[0] || [0, 0, 0, 0];
    return (r - l) * (b - t) <= 0 ? list[n] : list[n - 1];
}

// The settings row or button whose name matches, from the oracle's
// "settingsNames" (else the given slot).
export function settingsRect(o, pattern, fallback) {
    const names = o.settingsNames || [];
    const at = names.findIndex((n) => pattern.test(n));
    return at >= 0 ? o.settings[at] : slot(o.settings, fallback);
}
