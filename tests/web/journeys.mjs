// The web edition played end to end in headless Chromium, as a person would:
// on a desktop window with the mouse and with keys only, on a phone with taps
// in both orientations, and again with the network gone. Button and tile
// positions come from the game's own layout (the native oracle); the board is
// played honestly, by turning tiles and remembering the pictures the canvas
// shows. Every journey fails on any console error or uncaught exception.
//   node journeys.mjs SITE_DIR      (MNEMORA_WEB_ORACLE, MNEMORA_WEB_SHOTS)
import {existsSync, mkdirSync, mkdtempSync} from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {canvasInfo, canvasShot, compare, cut, difference, launchBrowser, oracle, saveShot, settingsRect, sleep, slot, spread, waitForFirstFrame, watchConsole,} from './browser.mjs';
import {startServer} from './serve.mjs';

// Mean differences per channel taken as "the same" and "clearly different".
const kSame = 10;
const kDifferent = 20;

const site = process.argv[2];
const shots =
    process.env.MNEMORA_WEB_SHOTS || mkdtempSync(path.join(os.tmpdir(), 'mnemora-web-shots-'));
mkdirSync(shots, {recursive: true});

class Failure extends Error {}
function check(condition, message) {
    if (!condition) throw new Failure(message);
}

// One game page and what the journey has learnt about its screens.
class Game {
    constructor(page, name, input) {
        this.page = page;
        this.name = name;
        this.input = input;  // 'mouse' or 'touch'
        this.keys = false;   // tiles turned with the arrows and Enter
        this.menu = null;    // the main menu as first seen at this size
    }

    async layout() {
        this.canvas = await canvasInfo(this.page);
        this.o = oracle(this.canvas.width, this.canvas.height);
        return this.o;
    }

    async shot(save) {
        const s = await canvasShot(this.page);
        if (save) await saveShot(shots, `${this.name}_${save}`, s);
        return s;
    }

    // A click or a tap in the middle of a rectangle in canvas pixels; the mouse
    // then rests in a corner so no hover look stays behind.
    async press([l, t, r, b]) {
        const c = this.canvas;
        const x = c.left + (l + r) / 2 / c.dpr;
        const y = c.top + (t + b) / 2 / c.dpr;
        if (this.input === 'touch') {
            // Held for a few frames, like the click below.
            await this.page.touchscreen.touchStart(x, y);
            await sleep(80);
            await this.page.touchscreen.touchEnd();
            await sleep(150);
        } else {
            // The game takes a click where the pointer was last seen moving:
            // the move, the press and the release each get frames of their own.
            await this.page.mouse.move(x, y);
            await sleep(100);
            await this.page.mouse.down();
            await sleep(60);
            await this.page.mouse.up();
            await sleep(150);
            await this.page.mouse.move(c.left + c.cssWidth - 2, c.top + c.cssHeight - 2);
        }
    }

    // Held for a few frames: the game reads the keyboard once a frame.
    async key(name) { await this.page.keyboard.press(name, {delay: 60}); }

    // Screenshots until `test` holds, or fails with `what` after `timeout` ms.
    async waitFor(what, test, timeout = 20000) {
        const end = Date.now() + timeout;
        let s;
        for (;;) {
            s = await this.shot();
            if (test(s)) return s;
            check(Date.now() < end, `${this.name}: ${what}`);
            await sleep(150);
        }
    }

    // A screen that has settled: its regions differ on average by more than
    // `threshold` from `before` (when given) and look the same in two shots
    // in a row.
    async waitForSettled(what, rects, before, {timeout = 20000, threshold = kDifferent} = {}) {
        let last = null;
        return this.waitFor(what, (s) => {
            const previous = last;
            last = s;
            if (before &&
                rects.reduce((sum, r) => sum + difference(s, before, r), 0) / rects.length <=
                    threshold)
                return false;
            return previous !== null && rects.every((r) => difference(s, previous, r) < 2);
        }, timeout);
    }

    buttons() { return [1, 2, 3, 4, 5].map((n) => slot(this.o.mainMenu, n)); }

    // The main menu. The first time at a size it is told from the splash (the
    // first frame) by its buttons having drawn content that differs from it and
    // stays put; afterwards it must look as it did then.
    async waitForMainMenu(save = 'main_menu', timeout = 60000) {
        await this.layout();
        const buttons = this.buttons();
        let s;
        if (this.menu && this.menu.width === this.canvas.width &&
            this.menu.height === this.canvas.height) {
            s = await this.waitFor(
                'the main menu did not come back',
                // A tap leaves the pointer where it was: one button may show
                // its hover look.
                (shot) => buttons.filter((r) => difference(shot, this.menu, r) < kSame).length >=
                    buttons.length - 1,
                timeout);
        } else {
            const first = this.splash || (await this.shot());
            s = await this.waitForSettled('the main menu did not show', buttons, first, {timeout});
            s = await this.shot();
            check(
                buttons.every((r) => spread(s, r) > 4),
                `${this.name}: a main-menu button is blank`);
            this.menu = s;
        }
        await saveShot(shots, `${this.name}_${save}`, s);
        return s;
    }

    // From the main menu to the level map.
    async openMap(save = 'map') {
        await this.press(slot(this.o.mainMenu, 1));
        const levels = this.o.levels.slice(1, 13);
        const s =
            await this.waitForSettled('the level map did not show', levels.slice(0, 3), this.menu, {
                threshold: 5,
            });
        const map = await this.shot(save);
        return map || s;
    }

    // Screenshots until every tile shows the same picture (the back).
    async waitForDealt(level, save) {
        await this.layout();
        const tiles = this.o.tiles[String(level)];
        check(
            tiles && tiles.length > 0, `${this.name}: the oracle has no tiles for level ${level}`);
        const s = await this.waitFor(
            `level ${level} was not dealt at ${this.canvas.width}x${this.canvas.height}`,
            (shot) => {
                const first = cut(shot, this.view(tiles[0]));
                return spread(shot, this.view(tiles[0])) > 1 &&
                    tiles.every((r) => compare(cut(shot, this.view(r)), first) < 3);
            },
            30000);
        this.back = cut(s, this.view(tiles[0]));
        this.dealt = s;
        if (save) await saveShot(shots, `${this.name}_${save}`, s);
        return s;
    }

    // Played with keys, the focused tile carries a frame along its edge: the
    // tiles are then looked at inside it.
    view([l, t, r, b]) {
        if (!this.keys) return [l, t, r, b];
        const m = Math.floor(((r - l) * 12) / 100);
        return [l + m, t + m, r - m, b - m];
    }

    // The tile whose edge shows the focus frame's yellow, -1 for none.
    static focusedTile(shot, tiles) {
        let best = -1;
        let bestCount = 0;
        tiles.forEach(([l, t, r, b], i) => {
            const band = Math.max(2, Math.floor(((r - l) * 9) / 100));
            let count = 0;
            let total = 0;
            for (let y = t; y < b; ++y) {
                for (let x = l; x < r; ++x) {
                    if (x >= l + band && x < r - band && y >= t + band && y < b - band) continue;
                    ++total;
                    const p = (y * shot.width + x) * 4;
                    if (shot.data[p] > 200 && shot.data[p + 1] > 170 && shot.data[p + 2] < 90)
                        ++count;
                }
            }
            if (count > total / 8 && count > bestCount) {
                bestCount = count;
                best = i;
            }
        });
        return best;
    }

    // Turns a tile: a click or tap, or with keys the arrows towards it (rows
    // first, then along the row), looking where the focus stands after each,
    // then Enter.
    async turn(tiles, tile) {
        if (!this.keys) {
            await this.press(tiles[tile]);
            return;
        }
        for (let step = 0; step < 24; ++step) {
            // The frame may be missing while a tile turns or a pair fades,
            // and the game hides it after a turn until the next arrow key: looked
            // for again, then an arrow brings it back (where it then stands is
            // read from the screen).
            let at = -1;
            for (let look = 0; look < 10 && at < 0; ++look) {
                if (look > 0) await sleep(150);
                if (look === 3) await this.key('ArrowRight');
                at = Game.focusedTile(await this.shot(look === 9 ? 'no_focus' : undefined), tiles);
            }
            check(at >= 0, `${this.name}: no focus frame on the board`);
            if (at === tile) {
                await this.key('Enter');
                return;
            }
            const a = tiles[at];
            const b = tiles[tile];
            if (a[1] !== b[1])
                await this.key(b[1] > a[1] ? 'ArrowDown' : 'ArrowUp');
            else
                await this.key(b[0] > a[0] ? 'ArrowRight' : 'ArrowLeft');
            await sleep(250);  // drawn before the next look, so no step is taken twice
        }
        check(false, `${this.name}: the focus did not reach tile ${tile}`);
    }

    // Plays the dealt level to its end as a person would: turns a tile it has
    // not seen, looks, turns its partner when it has seen it before, and
    // otherwise a second unseen tile; remembers every picture it saw. A pair
    // taken but still seen face down later (a lost click) goes back into play.
    async playLevel(level) {
        const tiles = this.o.tiles[String(level)];
        const onBoard = new Set(tiles.map((_, i) => i));
        const seen = new Map();
        const taken = new Set();
        let shot;
        let looks = 0;
        const checkTaken = () => {
            for (const i of [...taken]) {
                if (compare(cut(shot, this.view(tiles[i])), this.back) < kSame) {
                    onBoard.add(i);
                    taken.delete(i);
                }
            }
        };
        // A turn is drawn a frame or two after it is made: a look that still
        // shows the back is taken again shortly before it counts as lost.
        // A face counts once two looks in a row agree: a look taken while the
        // tile is still turning shows part of it, or none (on a slow machine,
        // a larger board takes longer to draw).
        const look = async (tile) => {
            let face;
            let last = null;
            for (let attempt = 0; attempt < 6; ++attempt) {
                ++looks;
                shot = await this.shot(
                    looks === Math.floor(tiles.length / 2) ? `level${level}_midway` : undefined);
                face = cut(shot, this.view(tiles[tile]));
                const turned = compare(face, this.back) >= kDifferent;
                if (turned && last && compare(face, last) < kSame) break;
                last = turned ? face : null;
                await sleep(turned ? 60 : 100);
            }
            checkTaken();
            return face;
        };
        const partnerOf = (tile) => {
            for (const [other, face] of seen) {
                if (other !== tile && onBoard.has(other) && compare(face, seen.get(tile)) < kSame)
                    return other;
            }
            return -1;
        };
        const takePair = async (a, b, turnBoth) => {
            if (turnBoth) await this.turn(tiles, a);
            await this.turn(tiles, b);
            for (const i of [a, b]) {
                onBoard.delete(i);
                taken.add(i);
            }
            await sleep(1300);  // the pair fades out before the board takes turns again
        };
        const unseen = (skip) => [...onBoard].find((i) => i !== skip && !seen.has(i)) ?? -1;

        for (;;) {
            if (onBoard.size === 0) {
                // Every pair taken: make sure the board agrees.
                await sleep(500);
                shot = await this.shot();
                ++looks;
                checkTaken();
                if (onBoard.size === 0) break;
            }
            check(looks < 12 * tiles.length, `${this.name}: too many looks at level ${level}`);
            const known = [...onBoard].find((i) => seen.has(i) && partnerOf(i) >= 0);
            if (known !== undefined) {
                await takePair(known, partnerOf(known), true);
                continue;
            }
            let a = unseen(-1);
            if (a < 0) {
                // Every tile seen and no pair known: a look went wrong (a
                // picture caught as it faded out). Look at them all again.
                seen.clear();
                a = unseen(-1);
            }
            check(a >= 0, `${this.name}: no tile left to turn`);
            await this.turn(tiles, a);
            const face = await look(a);
            if (compare(face, this.back) < kDifferent) continue;  // the turn was lost: again
            seen.set(a, face);
            const partner = partnerOf(a);
            if (partner >= 0) {
                await takePair(a, partner, false);
                continue;
            }
            const b = unseen(a);
            check(b >= 0, `${this.name}: a picture without its partner`);
            await this.turn(tiles, b);
            const second = await look(b);
            const first = cut(shot, this.view(tiles[a]));
            if (compare(first, face) < kSame) {
                // Both still up: a mismatch, unless the second turn was lost.
                if (compare(second, this.back) >= kDifferent) seen.set(b, second);
                await sleep(1500);  // the mismatch turns back
            } else if (compare(first, this.back) >= kDifferent) {
                // The first tile is fading: the two were a pair.
                for (const i of [a, b]) {
                    onBoard.delete(i);
                    taken.add(i);
                }
                await sleep(1000);
            }
        }
        console.log(`  ${this.name}: level ${level}: ${tiles.length} tiles, ${looks} looks`);
    }

    // The level-finished dialog: its buttons drawn over the board and settled.
    async waitForLevelFinished(save) {
        const rects = [slot(this.o.levelFinished, 1), slot(this.o.levelFinished, 2)];
        // The emptied board settles before the dialog comes: the buttons must
        // have drawn content, differ from the dealt board and stay put.
        let last = null;
        await this.waitFor('the level-finished dialog did not show', (s) => {
            const previous = last;
            last = s;
            return rects.every((r) => spread(s, r) > 4 && difference(s, this.dealt, r) > 5) &&
                previous !== null && rects.every((r) => difference(s, previous, r) < 2);
        });
        return this.shot(save);
    }

    // From the main menu: the map, level 1, dealt, played and finished.
    async winLevelOne(save) {
        await this.openMap(`${save}_map`);
        await this.press(this.o.levels[1]);
        await this.waitForDealt(1, `${save}_dealt`);
        await this.playLevel(1);
        await this.waitForLevelFinished(`${save}_finished`);
    }
}

// Opens the game in a fresh browser; `setup` prepares the page (viewport,
// throttling) before it is opened.
async function openGame(url, name, input, setup) {
    const browser = await launchBrowser();
    const page = await browser.browser.newPage();
    const errors = [];
    const log = [];
    watchConsole(page, errors, log);
    if (setup) await setup(page);
    const game = new Game(page, name, input);
    await page.goto(url, {waitUntil: 'domcontentloaded'});
    return {browser, page, errors, log, game};
}

async function firstFrame(game) {
    await waitForFirstFrame(game.page);
    game.splash = await game.shot('first_frame');
}

// 1. Desktop: a 1280 x 720 window; level 1 won with keys only and with the
// mouse, a setting changed; after a reload level 2 is open and the setting
// kept; quit from the main menu, and played again.
async function desktop(url, run) {
    run.ctx = await openGame(url, 'desktop', 'mouse', async (page) => {
        await page.setViewport({width: 1280, height: 720, deviceScaleFactor: 1});
        // Slowed to about 6 MB/s so the loading view is seen and measured.
        await page.emulateNetworkConditions({download: 6e6, upload: 1e6, latency: 20});
    });
    const {page, game} = run.ctx;
    let fullest = 0;
    let loadingSaved = false;
    while ((await page.evaluate(() => window.mnemoraTimes && window.mnemoraTimes.firstFrame)) ===
           undefined) {
        const now = await page.evaluate(() => {
            const bar = document.querySelector('#loading .bar');
            const view = document.getElementById('loading');
            return bar && !view.classList.contains('hidden') ?
                Number(bar.getAttribute('aria-valuenow') || 0) :
                -1;
        });
        if (now > 5 && now < 95 && !loadingSaved) {
            await page.screenshot({path: path.join(shots, 'desktop_loading.png')});
            loadingSaved = true;
        }
        fullest = Math.max(fullest, now);
        await sleep(100);
    }
    await page.emulateNetworkConditions(null);
    check(loadingSaved, 'desktop: the progress bar was never seen part-way');
    check(fullest >= 95, `desktop: the progress bar stopped at ${fullest} %`);
    check(
        await page.$eval('#loading', (e) => e.classList.contains('hidden')),
        'desktop: the loading view stayed after the first frame');
    game.splash = await game.shot('first_frame');
    await game.layout();
    check(
        game.canvas.width === 1280 && game.canvas.height === 720,
        `desktop: the canvas is ${game.canvas.width}x${game.canvas.height}`);
    const o = game.o;

    await game.waitForMainMenu();
    // The map before any win: how locked levels look.
    const locked = await game.openMap('map_first');
    await game.key('Escape');
    await game.waitForMainMenu('main_menu_from_map');

    // Level 1 with keys only: Down shows the focus on Start, Enter opens the
    // map, Enter deals the level the arrow points at.
    await game.key('ArrowDown');
    await sleep(300);
    await game.key('Enter');
    await sleep(800);
    await game.key('Enter');
    game.keys = true;
    await game.waitForDealt(1, 'keys_dealt');
    await game.playLevel(1);
    await game.waitForLevelFinished('keys_finished');
    await game.key('Escape');
    game.keys = false;
    await game.waitForMainMenu('main_menu_after_keys');

    // Level 1 with the mouse, then the dialog's menu button.
    await game.winLevelOne('mouse');
    await game.press(slot(o.levelFinished, 2));
    await game.waitForMainMenu('main_menu_after_win');

    // Sound effects switched over in the settings, confirmed with OK.
    const sounds = settingsRect(o, /sound/i, 3);
    await game.press(slot(o.mainMenu, 2));
    const before = await game.waitForSettled(
        'the settings did not show', [sounds, settingsRect(o, /^ok$/i, 6)], game.menu, {
            threshold: 5,
        });
    await game.shot('settings');
    await game.press(sounds);
    const after = await game.waitForSettled(
        'the sound-effects row did not change', [sounds], before, {threshold: 0.2});
    await game.shot('settings_changed');
    await game.press(settingsRect(o, /^ok$/i, 6));
    await game.waitForMainMenu('main_menu_after_settings');
    await sleep(1000);

    // The same profile again: the win and the setting were kept.
    await page.reload({waitUntil: 'domcontentloaded'});
    game.splash = null;
    await firstFrame(game);
    await game.waitForMainMenu('main_menu_reloaded');
    const map = await game.openMap('map_reloaded');
    const l2 = o.levels[2];
    const l3 = o.levels[3];
    check(
        difference(map, locked, l2) > 5,
        `desktop: level 2 still looks locked after the reload (${
            difference(map, locked, l2).toFixed(1)})`);
    check(
        difference(map, locked, l3) < kSame,
        `desktop: level 3 changed its look (${difference(map, locked, l3).toFixed(1)})`);
    await game.key('Escape');
    await game.waitForMainMenu('main_menu_last');
    await game.press(slot(o.mainMenu, 2));
    const again = await game.waitForSettled(
        'the settings did not show after the reload', [sounds], game.menu, {threshold: 5});
    const kept = difference(again, after, sounds);
    const old = difference(again, before, sounds);
    check(
        kept < old / 2 && kept < 2,
        `desktop: the sound setting was not kept (${kept.toFixed(2)} from the changed look, ${
            old.toFixed(2)} from the old)`);
    await game.key('Escape');
    await game.waitForMainMenu('main_menu_end');

    // Quit and its Yes: the program ends, the page says so, and Play again
    // starts the game anew.
    await game.press(slot(o.mainMenu, 5));
    await sleep(800);
    await game.press(slot(o.quit, 1));
    await page.waitForSelector('#ended:not(.hidden)', {timeout: 20000});
    check(
        await page.$eval('#canvas', (c) => c.classList.contains('hidden')),
        'desktop: the canvas stayed after the game ended');
    await page.screenshot({path: path.join(shots, 'desktop_ended.png')});
    await Promise.all([page.waitForNavigation(), page.click('#play-again')]);
    await firstFrame(game);
    await game.waitForMainMenu('main_menu_played_again');
}

// Every rectangle of a screen inside the canvas.
function allInside(o, list, what) {
    for (const r of list) {
        const [l, t, rr, b] = r;
        if (rr - l <= 0 && b - t <= 0) continue;  // an unused entry 0
        check(
            l >= 0 && t >= 0 && rr <= o.width && b <= o.height,
            `phone: ${what} [${r}] lies outside ${o.width}x${o.height}`);
    }
}

// 2. A phone held upright, then turned: taps only.
async function phone(url, run) {
    const phoneView = (width, height) =>
        ({width, height, deviceScaleFactor: 3, isMobile: true, hasTouch: true});
    run.ctx =
        await openGame(url, 'phone', 'touch', (page) => page.setViewport(phoneView(390, 844)));
    const {page, game} = run.ctx;
    await firstFrame(game);
    await game.layout();
    check(
        game.canvas.width === 1170 && game.canvas.height === 2532,
        `phone: the canvas is ${game.canvas.width}x${game.canvas.height}`);
    const o = game.o;
    allInside(o, o.mainMenu, 'a main-menu button');
    allInside(o, o.settings, 'a settings row');
    allInside(o, o.levels, 'a level button');
    allInside(o, o.tiles['1'], 'a level-1 tile');
    allInside(o, o.levelFinished, 'a level-finished button');

    await game.waitForMainMenu();
    await game.winLevelOne('portrait');
    await game.press(slot(o.levelFinished, 2));
    await game.waitForMainMenu('main_menu_after_win');

    // Level 1 again, dealt upright, then the phone turned: the board is laid
    // out for the wide screen, every tile where the wide screen's layout puts
    // it, and is played to a win there.
    await game.openMap('map_again');
    await game.press(o.levels[1]);
    await game.waitForDealt(1, 'portrait_dealt_again');
    await page.setViewport(phoneView(844, 390));
    await page.waitForFunction(() => {
        const c = document.getElementById('canvas');
        return c.width === 2532 && c.height === 1170;
    }, {timeout: 20000, polling: 100});
    await sleep(500);
    await game.waitForDealt(1, 'landscape_dealt');
    await game.playLevel(1);
    await game.waitForLevelFinished('landscape_finished');
}

// 3. Offline: the first visit keeps the site; with the network and the server
// gone, a reload starts the game, and level 1 is played and won.
async function offline(url, run, server) {
    run.ctx = await openGame(
        url, 'offline', 'mouse',
        (page) => page.setViewport({width: 1280, height: 720, deviceScaleFactor: 1}));
    const {page, game} = run.ctx;
    await firstFrame(game);
    await game.waitForMainMenu('main_menu_online');
    await page.evaluate(() => navigator.serviceWorker.ready.then(() => undefined));
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, {timeout: 20000});
    await page.setOfflineMode(true);
    await server.close();
    await page.reload({waitUntil: 'domcontentloaded'});
    game.splash = null;
    game.menu = null;
    await firstFrame(game);
    await game.waitForMainMenu('main_menu_offline');
    await game.winLevelOne('offline');
}

async function main() {
    if (!site || !existsSync(path.join(site, 'index.html')) ||
        !existsSync(path.join(site, 'mnemora.js'))) {
        console.error(`no web site in ${site} (build it with "make web")`);
        process.exit(1);
    }
    if (!process.env.MNEMORA_WEB_ORACLE || !existsSync(process.env.MNEMORA_WEB_ORACLE)) {
        console.error(`no layout oracle at ${
            process.env.MNEMORA_WEB_ORACLE} (build the Linux tests: make build)`);
        process.exit(1);
    }
    const only =
        process.env.MNEMORA_WEB_JOURNEYS ? process.env.MNEMORA_WEB_JOURNEYS.split(',') : null;
    const journeys = {desktop, phone, offline};
    let failed = 0;
    for (const [name, journey] of Object.entries(journeys)) {
        if (only && !only.includes(name)) continue;
        const server = await startServer(site);
        const run = {};
        const started = Date.now();
        let problem = null;
        try {
            await journey(server.url, run, server);
        } catch (e) {
            problem = e instanceof Failure ? e.message : e.stack || String(e);
        }
        const errors = run.ctx ? run.ctx.errors : [];
        if (run.ctx) await run.ctx.browser.close();
        await server.close();
        const seconds = ((Date.now() - started) / 1000).toFixed(0);
        if (problem || errors.length) {
            ++failed;
            console.log(`FAIL ${name} (${seconds} s)`);
            if (problem) console.log(`  ${problem}`);
            for (const e of errors)
                console.log(`  ${e}`);
            if (run.ctx && run.ctx.log.length)
                console.log(`  last page output:\n    ${run.ctx.log.slice(-15).join('\n    ')}`);
        } else {
            console.log(`ok   ${name} (${seconds} s)`);
        }
    }
    console.log(`screenshots: ${shots}`);
    process.exit(failed ? 1 : 0);
}

await main();
