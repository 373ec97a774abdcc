// SPDX-License-Identifier: GPL-3.0-or-later
// The browser page played end to end in Debian's chromium: the screens against the golden images at device
// The browser page played end to end in Debian's chromium: the screens against the golden images at device
// scales 1 and 2, the picture crisp and fitted to any window, a round with its keys, sounds and TIME UP, the tune's
// seam, the music switch, the menu bar by keys, the about box, keys typed during START's pause, Esc, the keys the
// browser must not act on, axe-core's accessibility rules, a round with game controllers, phones and tablets (the
// page fitted in either orientation and a round played by touch alone through a turn of the phone), the loading on a
// slow network and a failed load; then, in a profile of its own, the page installed and played with no network
// (offline.js).
//
// usage: node play.js <site folder> <golden folder> <output folder> [folder of the desktop's .wav files]
// ZUBOTTA_E2E_PARTS=screens,round,controllers,sizes,touch,loading,offline runs only those parts; ZUBOTTA_E2E_FAIL_FAST=1 stops
// at the first failing check.
// Exits 77 (skipped) when the site, playwright-core or chromium is missing.
'use strict';
const fs = require('fs');
const path = require('path');
const {chromiumPath, serve, launch} = require('./page_server');
const offline = require('./offline');
const {handles, shownWidth, shownHeight, moleArea, hang, skip, skipUnlessBuilt, check, stopped, report, watchPage,
       watchEvents, fakePads, heldPads, padRound, checkGolden, signature, startsOf, now, until, untilChanged, proportionalMessage,
       tuneSeam} = require('./page_checks');

const [siteArg, goldenArg, outputArg, wavesArg] = process.argv.slice(2);
const site = path.resolve(siteArg || 'build-web/site');
const golden = path.resolve(goldenArg || path.join(__dirname, '..', '..', 'golden'));
const output = path.resolve(outputArg || 'e2e-browser');

skipUnlessBuilt(site);
let chromium;
let axeScript;
try {
    ({chromium} = require('playwright-core'));
    axeScript = require.resolve('axe-core/axe.min.js');
} catch (error) {
    skip('playwright-core or axe-core is not installed (npm ci in tests/e2e/browser)');
}
if (!fs.existsSync(chromiumPath))
    skip(`no chromium at ${chromiumPath}`);

// Areas of the screen in logical pixels: the score and best score digits, TIME UP's line.
const scoreArea = {x: 56, y: 5, width: 44, height: 20};
const bestArea = {x: 56, y: 25, width: 44, height: 20};
const timeUpArea = {x: 133, y: 67, width: 144, height: 43};
// The centre of the picture's key button of a hole, in logical pixels.
const holeButtonCentre = (hole) => ({x: ((hole + 0.2) * 970 + 300) / 15, y: (2.6 * 1580 + 375) / 15});
// A page in a context of its own, with playwright's context options (viewport, deviceScaleFactor, hasTouch...), and
// as many of the test's game controllers plugged in before it loads as asked.
async function openPage(browser, url, options, pads = 0) {
    const context = await browser.newContext(options);
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    if (pads)
        await page.addInitScript(fakePads, pads);
    await page.addInitScript(watchPage);
    await page.goto(url);
    await until(page, 'the opening screen', () => typeof Module !== 'undefined' && Module.calledRun && audit.draws.length > 0);
    return {context, page, errors};
}

// axe-core's rules run in the page as it stands.
async function checkAxe(page, where) {
    await page.addScriptTag({path: axeScript});
    const violations = await page.evaluate(async () => (await axe.run()).violations.map((v) => `${v.id} (${v.impact})`));
    check(`axe-core finds no violation on ${where}`, violations.length === 0, violations.join(', '));
}

// The picture as the screen shows it, from a screenshot in device pixels, against a golden image of what it
// shows, in an area of the picture given in logical pixels: its box in device pixels, and how many of the device
// pixels there differ from the golden's colour where all the golden pixels under them have one colour. Those that
// lie across an edge between two colours may blend them, and are counted apart.
async function shownPicture(page, goldenName, area = {x: 0, y: 0, width: shownWidth, height: shownHeight}) {
    const png = (await page.screenshot()).toString('base64');
    const goldenPng = fs.readFileSync(path.join(golden, goldenName)).toString('base64');
    return page.evaluate(async ({png, golden, area, shownWidth}) => {
        const screen = await pngPicture(png);
        const art = (await pngPicture(golden)).canvas;
        const want = art.getContext('2d').getImageData(0, 0, art.width, art.height).data;
        const rect = document.getElementById('game').getBoundingClientRect();
        const box = [rect.left, rect.top, rect.width, rect.height].map((v) => v * devicePixelRatio);
        // Layout keeps 1/64 of a CSS pixel.
        const whole = box.every((v) => Math.abs(v - Math.round(v)) < 0.05);
        const [left, top, width, height] = box.map(Math.round);
        const shown = screen.getImageData(left, top, width, height).data;
        // Golden pixels per device pixel, across and down.
        const scale = art.height / 437;
        const [across, down] = [shownWidth * scale / width, 437 * scale / height];
        const colour = (u, v) => (want[(v * art.width + u) * 4] << 16) | (want[(v * art.width + u) * 4 + 1] << 8) |
                                 want[(v * art.width + u) * 4 + 2];
        let probes = 0, blended = 0, differing = 0, first = null;
        for (let y = Math.ceil(area.y * scale / down); y < (area.y + area.height) * scale / down; ++y) {
            for (let x = Math.ceil(area.x * scale / across); x < (area.x + area.width) * scale / across; ++x) {
                const [u0, u1] = [Math.floor(x * across), Math.ceil((x + 1) * across - 1e-9)];
                const [v0, v1] = [Math.floor(y * down), Math.ceil((y + 1) * down - 1e-9)];
                const c = colour(u0, v0);
                let one = true;
                for (let v = v0; v < v1 && one; ++v)
                    for (let u = u0; u < u1 && one; ++u)
                        one = colour(u, v) === c;
                if (!one) {
                    ++blended;
                    continue;
                }
                ++probes;
                const i = (y * width + x) * 4;
                const is = [shown[i], shown[i + 1], shown[i + 2]];
                if (is.some((value, k) => value !== (c >> (16 - 8 * k) & 255))) {
                    ++differing;
                    first = first || {at: [x, y], is, want: c.toString(16)};
                }
            }
        }
        return {box: box.map((v) => +v.toFixed(2)), whole, probes, blended, differing, first};
    }, {png, golden: goldenPng, area, shownWidth});
}

// On a computer the screen shows every pixel of the game's, enlarged by a whole factor at most.
async function checkCrisp(page, where, goldenName) {
    const shown = await shownPicture(page, goldenName);
    check(`${where}: the picture's edges lie on whole device pixels and the screen shows its every pixel as a ` +
          'whole square', shown.whole && shown.blended === 0 && shown.differing === 0 && shown.probes > 0,
          JSON.stringify(shown));
}

// On a touch screen the picture may be reduced to its room, and stays sharp: against the art itself (the opening
// screen's hammer man, sky, ground and holes, where no text lies), each edge blends over at most the device pixel
// it crosses. A picture smoothly enlarged, or reduced with mipmaps, blends the pixels beside an edge too.
async function checkSharp(page, where) {
    const shown = await shownPicture(page, 'opening-scale1.png', {x: 110, y: 0, width: 180, height: 260});
    check(`${where}: the picture's edges lie on whole device pixels, and only pixels across an edge of the art blend`,
          shown.whole && shown.differing === 0 && shown.probes > shown.blended, JSON.stringify(shown));
}

// A part of the picture shown alone, as the game shows what it changed, is what the whole picture shown at once
// is, but for the resampling's rounding (a 16th of a step): here the prompt that a click brings.
async function checkPartShown(page, where) {
    const drawn = await page.evaluate(() => audit.draws.length);
    const box = await page.locator('#game').boundingBox();
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 4);
    await until(page, 'the prompt', (n) => audit.draws.length > n, drawn);
    const differing = await page.evaluate(({shownWidth, shownHeight}) => {
        const game = document.getElementById('game');
        const context = game.getContext('2d');
        const shown = context.getImageData(0, 0, game.width, game.height).data;
        const scale = audit.draws[0].width / shownWidth;
        zubotta.showPixels(0, 0, shownWidth * scale, shownHeight * scale);
        const whole = context.getImageData(0, 0, game.width, game.height).data;
        return shown.filter((value, i) => Math.abs(value - whole[i]) > 16).length;
    }, {shownWidth, shownHeight});
    check(`${where}: the prompt shown alone is as the whole picture shown at once`, differing === 0,
          `${differing} colour values differ`);
}

// The page's layout: the game's device scale, the picture's size and its share of the room it could have, and
// what lies out of view, covers the picture or is too small a target for a finger.
async function layoutOf(page) {
    return page.evaluate(() => {
        const rect = (element) => element.getBoundingClientRect();
        const picture = rect(document.getElementById('game'));
        const inView = (r) => r.left >= 0 && r.top >= 0 && r.right <= innerWidth + 0.01 && r.bottom <= innerHeight + 0.01;
        const overlaps = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
        const visible = (selector) => [...document.querySelectorAll(selector)].filter((e) => e.getClientRects().length);
        const name = (e) => e.id || e.textContent.trim();
        const keys = visible('.key');
        const targets = visible('#menubar > .menu > .title, #menubar > .title, .menu.open button, .key, #ended a, #message[open] button');
        const shown = ['#menubar', '#game', '#notice', '.key', '#ended'].flatMap(visible);
        const root = document.documentElement;
        const belowMenus = innerHeight - rect(document.getElementById('menubar')).bottom;
        const selectable = (e) => !['none', undefined].includes(getComputedStyle(e).userSelect) &&
                                  getComputedStyle(e).webkitUserSelect !== 'none';
        return {scale: audit.draws[0].width / 400, width: +picture.width.toFixed(2), height: +picture.height.toFixed(2),
                widthShare: +(picture.width / innerWidth).toFixed(3), heightShare: +(picture.height / belowMenus).toFixed(3),
                keys: keys.map((key) => key.textContent),
                outOfView: shown.filter((e) => !inView(rect(e))).map(name),
                covering: keys.filter((key) => overlaps(rect(key), picture)).map(name),
                small: targets.filter((e) => rect(e).width < 44 || rect(e).height < 44).map(name),
                selectable: visible('#notice, #ended p, .key, #menubar').filter(selectable).map(name),
                scrolls: root.scrollWidth > innerWidth || root.scrollHeight > innerHeight || scrollY !== 0,
                zoomed: visualViewport.scale !== 1 || innerWidth > screen.width};
    });
}

// A touch screen's page: all of it in view, nothing to scroll or zoom, every target a finger's size, the five keys
// clear of the picture, which is drawn at the scale expected and fills its room: upright 90 % of the screen's width,
// turned 85 % of the height below the menu bar.
async function checkFit(page, where, scale) {
    const layout = await layoutOf(page);
    const upright = await page.evaluate(() => innerHeight > innerWidth);
    const fills = upright ? layout.widthShare >= 0.9 : layout.heightShare >= 0.85;
    console.log(`      ${where}: device scale ${layout.scale}, picture ${layout.width}x${layout.height} CSS px, ` +
                `${(100 * (upright ? layout.widthShare : layout.heightShare)).toFixed(1)} % of the ${upright ? 'width' : 'height'}`);
    const share = upright ? 'the picture fills 90 % of the width' : 'the picture fills 85 % of the height';
    check(`${where}: device scale ${scale}, ${share}, everything in view, no scroll or zoom, targets of 44 px, ` +
          'no text beside the game to select, five keys beside the picture',
          layout.scale === scale && fills && layout.outOfView.length === 0 && layout.covering.length === 0 &&
          layout.small.length === 0 && layout.selectable.length === 0 && layout.keys.join() === 'Space,A,S,D,F' &&
          !layout.scrolls && !layout.zoomed,
          JSON.stringify(layout));
}

// A phone or tablet, with the browser's bars taking room where a screen larger than the page is given.
const phone = (width, height, ratio, screen = {width, height}) =>
    ({viewport: {width, height}, screen, deviceScaleFactor: ratio, isMobile: true, hasTouch: true});

async function screensAtScale(browser, url, scale) {
    const {context, page, errors} = await openPage(browser, url, {deviceScaleFactor: scale, viewport: {width: 640, height: 560}});
    console.log(`-- the screens at device scale ${scale}`);
    const canvasSize = await page.evaluate(() => [document.getElementById('game').width, document.getElementById('game').height]);
    check(`canvas holds ${shownWidth}x${shownHeight} logical pixels at scale ${scale}`,
          canvasSize[0] === shownWidth * scale && canvasSize[1] === shownHeight * scale, canvasSize.join('x'));
    await checkGolden(page, golden, `opening-scale${scale}.png`);
    await page.screenshot({path: path.join(output, `page-scale${scale}.png`), fullPage: true});
    await checkCrisp(page, `640x560 at scale ${scale}`, `opening-scale${scale}.png`);
    check(`no touch keys without a touch screen at scale ${scale}`, (await layoutOf(page)).keys.length === 0);
    await page.click('#game', {position: {x: 100, y: 100}});
    await until(page, 'the prompt', () => audit.draws.length > 1);
    await checkGolden(page, golden, `prompt-scale${scale}.png`);
    // The picture enlarged by a whole factor in a large window: twice at scale 1, 4 times at 2.
    await page.setViewportSize({width: 1920, height: 1080});
    await until(page, 'the picture enlarged', () => document.getElementById('game').getBoundingClientRect().width === 800);
    await checkCrisp(page, `1920x1080 at scale ${scale}`, `prompt-scale${scale}.png`);

    await page.setViewportSize({width: 640, height: 560});
    await until(page, 'the picture pixel for pixel', () => document.getElementById('game').getBoundingClientRect().width === 400);
    const before = await page.evaluate(() => audit.draws.length);
    await page.keyboard.press('Space');
    // START is the second picture of the start: the opening first, then START over it, then the pause.
    await until(page, 'START', (n) => audit.draws.length >= n + 2, before);
    const inPause = await page.evaluate((n) => audit.draws.length === n + 2, before);
    await checkGolden(page, golden, `start-scale${scale}.png`);
    check(`START read during its pause at scale ${scale}`, inPause && (await page.evaluate((n) => audit.draws.length === n + 2, before)));
    const space = await page.evaluate(() => audit.keys.filter((k) => k.key === ' ').map((k) => k.prevented));
    check('Space is kept from the browser', space.length === 1 && space[0], JSON.stringify(space));

    // Smaller than the game.
    await page.setViewportSize({width: 360, height: 300});
    await until(page, 'the picture shrunk', () => document.getElementById('game').getBoundingClientRect().width < 360);
    const small = await layoutOf(page);
    check('a window smaller than the game shows all of it, shrunk, and nothing scrolls',
          small.outOfView.length === 0 && !small.scrolls && small.width < 360, JSON.stringify(small));
    check(`no script errors at scale ${scale}`, errors.length === 0, errors.join('; '));
    await context.close();
}

// The page before and through one round, then Esc.
async function round(browser, url) {
    const {context, page, errors} = await openPage(browser, url, {deviceScaleFactor: 1, viewport: {width: 640, height: 560}});
    const rest = {};
    for (const hole of [1, 2, 3, 4])
        rest[hole] = await signature(page, moleArea(hole));
    const openingBest = await signature(page, bestArea);

    console.log('-- sound before and after the first key');
    // The page's worker makes them while the game starts; each comes to the sound library as it is made.
    await until(page, 'the seven sounds made', () => [...zubotta.sound.sounds.values()].every((sound) => sound.buffer));
    const loaded = await page.evaluate(() => [...zubotta.sound.sounds.keys()]);
    check('the seven sounds load', loaded.length === 7, JSON.stringify(loaded));
    if (wavesArg) {
        // The page makes its sounds into the game's folder: the very files the desktop plays.
        const differing = [];
        for (const name of Object.keys(handles)) {
            const shown = Buffer.from(await page.evaluate((n) => Array.from(Module.FS.readFile(`${n}.wav`)), name));
            if (!shown.equals(fs.readFileSync(path.join(wavesArg, `${name}.wav`))))
                differing.push(name);
        }
        check('the seven .wav files are the desktop\'s, byte for byte', differing.length === 0, differing.join(', '));
    }
    const seam = await page.evaluate(tuneSeam);
    check('the tune\'s buffer is its whole loop, 16 bars, and steps across the seam no more than beside it',
          seam.frames === 16 * 73500 && seam.rate === 44100 && seam.channels.every((c) => c.seam <= c.beside),
          JSON.stringify(seam));
    const before = await page.evaluate(() => ({state: zubotta.sound.context.state, bgm: zubotta.sound.sounding(4),
                                              notice: document.getElementById('notice').textContent}));
    check('no sound before the first key, and the page says why',
          before.state === 'suspended' && before.bgm === 0 && before.notice !== '', JSON.stringify(before));
    await page.keyboard.press('x');
    await until(page, 'the tune after the first key',
                () => zubotta.sound.context.state === 'running' && zubotta.sound.sounding(4) === 1);
    const tune = await startsOf(page, handles.BGM);
    check('the tune starts looping after the first key', tune.length === 1 && tune[0].loop, JSON.stringify(tune));
    check('the notice goes once sound runs', (await page.textContent('#notice')) === '');

    console.log('-- the music switch');
    await page.keyboard.press('F1');
    await until(page, 'the check mark cleared by F1',
                () => document.getElementById('bgm').getAttribute('aria-checked') === 'false');
    check('F1 clears the check mark and stops the tune', (await page.evaluate(() => zubotta.sound.sounding(4))) === 0);
    await page.keyboard.press('F1');
    await until(page, 'the check mark set by F1',
                () => document.getElementById('bgm').getAttribute('aria-checked') === 'true');
    const again = await startsOf(page, handles.BGM);
    check('F1 again sets the check mark and loops the tune again',
          (await page.evaluate(() => zubotta.sound.sounding(4))) === 1 && again.length === 2 && again[1].loop);
    const f1 = await page.evaluate(() => audit.keys.filter((k) => k.key === 'F1').map((k) => k.prevented));
    check('F1 is kept from the browser', f1.length === 2 && f1.every(Boolean), JSON.stringify(f1));
    // A key held down: the keyboard repeats it, and the page hands the game one key-down.
    await page.evaluate(watchEvents);
    for (let i = 0; i < 4; ++i)
        await page.keyboard.down('F1');
    await page.keyboard.up('F1');
    await until(page, 'the check mark cleared by a held F1',
                () => document.getElementById('bgm').getAttribute('aria-checked') === 'false');
    await page.waitForTimeout(300);
    const held = await page.evaluate(() => audit.events.filter((e) => e.startsWith('key_down')));
    check('a held F1 switches the music once', held.join() === 'key_down 112', JSON.stringify(held));
    await page.keyboard.press('F1');
    await until(page, 'the check mark set again', () => document.getElementById('bgm').getAttribute('aria-checked') === 'true');

    console.log('-- the menu bar by keys');
    const drawnBefore = await page.evaluate(() => audit.draws.length);
    await page.click('#menubar .title >> nth=0');
    await page.keyboard.press('Escape');
    await page.waitForTimeout(300);
    const closed = await page.evaluate(() => ({open: document.querySelectorAll('.menu.open').length,
                                              focus: document.activeElement.id,
                                              ended: !document.getElementById('ended').hidden}));
    check('Esc closes an open menu and gives the keys back to the game, which goes on',
          closed.open === 0 && closed.focus === 'game' && !closed.ended, JSON.stringify(closed));
    const focused = () => page.evaluate(() => document.activeElement.textContent);
    const walk = [];
    await page.focus('#menubar .title >> nth=0');
    for (const key of ['Space', 'ArrowDown', 'ArrowRight', 'ArrowLeft']) {
        await page.keyboard.press(key);
        walk.push(await focused());
    }
    check('Space on a menu title opens its menu, the arrows walk the menu bar', walk.join() === '開始,終了,BGM,開始',
          walk.join());
    await checkAxe(page, 'a computer\'s page with a menu open');
    await page.keyboard.press('Escape');
    const menuKeys = await page.evaluate((n) => ({drawn: audit.draws.length - n, focus: document.activeElement.id,
                                                  open: document.querySelectorAll('.menu.open').length}), drawnBefore);
    check('no key typed in the menu bar reaches the game', menuKeys.drawn === 0 && menuKeys.focus === 'game' &&
          menuKeys.open === 0, JSON.stringify(menuKeys));

    console.log('-- keys typed during START\'s pause');
    const prompted = await page.evaluate(() => audit.draws.length);
    await page.click('#game', {position: {x: 100, y: 100}});
    await until(page, 'the prompt', (n) => audit.draws.length > n, prompted);
    const mark = await page.evaluate(() => audit.draws.length);
    await page.keyboard.press('Space');
    await until(page, 'START', (n) => audit.draws.length >= n + 2, mark);
    await page.keyboard.press('s');
    await page.keyboard.press('Space');
    const typed = await page.evaluate(() => audit.keys.at(-1).at);
    await untilChanged(page, 'the mole of hole 2 rising after the pause', moleArea(2), rest[2]);
    const draws = await page.evaluate((n) => audit.draws.slice(n), mark);
    const [, startPicture, roundPicture] = draws;
    const isFull = (d) => d && d.x === 0 && d.y === 0 && d.width === shownWidth && d.height === shownHeight;
    check('the keys are typed during the pause', roundPicture && isFull(roundPicture) && typed < roundPicture.at,
          JSON.stringify({typed, roundPicture}));
    const sameAsStart = (d) => d.x === startPicture.x && d.y === startPicture.y && d.width === startPicture.width &&
                               d.height === startPicture.height;
    check('a second Space during the pause starts no further pause', draws.filter(sameAsStart).length === 1,
          `${draws.filter(sameAsStart).length} START pictures`);
    console.log(`      START shown for ${((roundPicture.at - startPicture.at) / 1000).toFixed(2)} s`);
    const others = [await signature(page, moleArea(1)), await signature(page, moleArea(3))];
    check('the S typed in the pause raises the mole of hole 2 after it, and no other',
          others[0] === rest[1] && others[1] === rest[3]);
    check('the mole sound starts on the letter', (await startsOf(page, handles.モグラ)).length === 1);

    console.log('-- the round');
    for (const key of ['a', 'd', 'f'])
        await page.keyboard.press(key);
    await untilChanged(page, 'the mole of hole 4 rising', moleArea(4), rest[4]);
    check('A, D and F raise their moles', (await signature(page, moleArea(1))) !== rest[1] &&
          (await signature(page, moleArea(3))) !== rest[3]);
    check('the mole sound starts on each letter', (await startsOf(page, handles.モグラ)).length === 4);
    await page.click('#game', {position: holeButtonCentre(2)});
    await page.waitForTimeout(300);
    check('a mouse click on a hole\'s key button does nothing during a round',
          (await startsOf(page, handles.モグラ)).length === 4);

    console.log('-- the about box');
    const aboutAt = await now(page);
    await page.click('#menubar [data-item="3"]');
    await until(page, 'the about box', () => document.getElementById('message').open);
    const box = await page.evaluate(() => ({title: document.getElementById('message-title').textContent,
                                           lines: document.getElementById('message-text').textContent.split('\n'),
                                           modal: document.getElementById('message').matches(':modal')}));
    check('その他 shows a modal box titled Zubotta with seven lines',
          box.modal && box.title === 'Zubotta' && box.lines.length === 7 && box.lines[0].startsWith('Zubotta  Version'),
          JSON.stringify(box));
    check('the about box sets its text in a proportional face', await page.evaluate(proportionalMessage));
    check('the about box sounds', (await startsOf(page, handles.その他, aboutAt)).length === 1);
    // A round's ticks draw every 70 ms; while the box is open none comes.
    const [drawnWhileOpen, eventsWhileOpen] = await page.evaluate(() => [audit.draws.length, audit.events.length]);
    await page.waitForTimeout(1200);
    check('the game waits while the box is open', (await page.evaluate(() => audit.draws.length)) === drawnWhileOpen);
    for (const key of ['s', 'F2', 'F1'])
        await page.keyboard.press(key);
    await page.click('#message button');
    await until(page, 'the round going on after OK', (n) => audit.draws.length > n + 3, drawnWhileOpen);
    const afterBox = await page.evaluate((n) => ({focus: document.activeElement && document.activeElement.id,
                                                 events: audit.events.slice(n)}), eventsWhileOpen);
    check('after OK the round goes on with the focus on the canvas, and no key typed in the box reaches the game',
          afterBox.focus === 'game' && afterBox.events.length === 0, JSON.stringify(afterBox));
    // Keys with Ctrl, Alt or Meta are the browser's.
    const eventsBefore = await page.evaluate(() => audit.events.length);
    await page.keyboard.press('Control+Space');
    await page.keyboard.press('Alt+KeyS');
    await page.waitForTimeout(200);
    const shortcuts = await page.evaluate((n) => ({events: audit.events.slice(n),
                                                   prevented: audit.keys.slice(-2).map((k) => k.prevented)}), eventsBefore);
    check('Ctrl and Alt with a key keep their browser meaning and reach no game',
          shortcuts.events.length === 0 && shortcuts.prevented.join() === 'false,false', JSON.stringify(shortcuts));

    console.log('-- TIME UP');
    // TIME UP's sound starts before its picture is put on the canvas.
    await until(page, 'TIMEOUT\'s sound', () => audit.starts.some((e) => e.handle === 6), null, 60000);
    await until(page, 'the end of the round', () => !Module._zubotta_round_running());
    await page.screenshot({path: path.join(output, 'round-end.png')});
    const white = [255, 255, 255];
    const lettering = await page.evaluate(({area: {x, y, width, height}, colour}) => countColour(x, y, width, height, colour),
                                          {area: timeUpArea, colour: white});
    check('TIME UP is shown in white', lettering > 300, `${lettering} white pixels`);
    const best = await signature(page, bestArea);
    const score = await page.evaluate(({x, y, width, height}) => areaSignature(x, y + 20, width, height), scoreArea);
    check('the best score shows the round\'s score, above 0', best === score && best !== openingBest);
    const blows = (await startsOf(page, handles.打音)).length + (await startsOf(page, handles.空振)).length;
    check('the hammer\'s blows sound during the round', blows > 0, `${blows} blows`);
    check('TIMEOUT sounds at the end', (await startsOf(page, handles.TIMEOUT)).length === 1);
    check('the tune still loops', (await page.evaluate(() => zubotta.sound.sounding(4))) === 1);

    console.log('-- Esc');
    await page.keyboard.press('Escape');
    await until(page, 'the page\'s word that the game ended', () => !document.getElementById('ended').hidden);
    const after = await page.evaluate(() => ({contexts: audit.contexts.map((c) => c.state),
                                             sounding: audit.starts.filter((e) => !e.over).length,
                                             again: document.querySelector('#ended a[href]') !== null}));
    check('Esc stops every sound and closes the audio', after.sounding === 0 && after.contexts.length === 1 &&
          after.contexts[0] === 'closed', JSON.stringify(after));
    check('the page says the game ended and offers to start again', after.again);
    const drawn = await page.evaluate(() => [audit.draws.length, areaSignature(0, 0, 400, 437)]);
    await page.keyboard.press('Space');
    await page.keyboard.press('s');
    await page.click('#game', {position: {x: 100, y: 100}});
    await page.waitForTimeout(500);
    const still = await page.evaluate(() => [audit.draws.length, areaSignature(0, 0, 400, 437)]);
    check('nothing is drawn after Esc', still[0] === drawn[0] && still[1] === drawn[1]);
    await page.screenshot({path: path.join(output, 'ended.png'), fullPage: true});
    check('no script errors in the round', errors.length === 0, errors.join('; '));
    await context.close();
}

// A round with game controllers the test holds, the first plugged in before the page loaded. Playwright's
// evaluations count as the player's gesture, as a pad's press does in Chromium, so the press may start the sound
// here: what is checked is that the page asks for it.
async function controllers(browser, url) {
    const {context, page} = await openPage(browser, url, {viewport: {width: 640, height: 560}}, 1);
    await until(page, 'the seven sounds made', () => [...zubotta.sound.sounds.values()].every((sound) => sound.buffer));
    await padRound(page, heldPads(page), {first: 0, soundByPad: true, pressKey: (key) => page.keyboard.press(key),
                                          screenshot: () => page.screenshot({path: path.join(output, 'pad.png')})});
    await context.close();
}

// The page on a slow network: from its first paint a progress bar that rises as the game's code arrives, gone
// with the opening screen; then a load that fails, said plainly, and tried again.
async function loading(browser, url) {
    console.log('-- loading');
    // Without the service worker, which would serve a second load from its cache.
    const context = await browser.newContext({viewport: {width: 640, height: 560}, serviceWorkers: 'block'});
    const page = await context.newPage();
    await page.addInitScript(() => {
        window.seen = [];
        const look = () => {
            const bar = document.getElementById('loading');
            const drawn = typeof Module !== 'undefined' && Module.calledRun;
            if (bar && (!seen.length || seen.at(-1).value !== bar.value || seen.at(-1).hidden !== bar.hidden))
                seen.push({value: bar.value, max: bar.max, hidden: bar.hidden, drawn});
            if (!drawn)
                requestAnimationFrame(look);
        };
        document.addEventListener('DOMContentLoaded', look);
    });
    const cdp = await context.newCDPSession(page);
    await cdp.send('Network.emulateNetworkConditions',
                   {offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 750e3 / 8});
    await page.goto(url);
    await until(page, 'the opening screen on a slow network', () => Module.calledRun && seen.at(-1).drawn);
    const seen = await page.evaluate(() => seen);
    const rising = seen.filter((s) => !s.hidden && s.value > 0 && s.value < s.max);
    check('a progress bar shows from the first paint and rises with the bytes until the opening screen',
          !seen[0].hidden && seen[0].value < seen[0].max && rising.length >= 3 &&
          rising.every((s, i) => i === 0 || s.value > rising[i - 1].value) && seen.at(-1).hidden,
          JSON.stringify(seen.map((s) => s.hidden ? 'hidden' : s.value)));
    await cdp.send('Network.emulateNetworkConditions', {offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1});

    await page.route('**/zubotta.wasm', (route) => route.fulfill({status: 404, body: ''}));
    await page.reload();
    await until(page, 'the word that the game did not load', () => !document.getElementById('failure').hidden);
    const failure = await page.evaluate(() => ({
        said: document.querySelector('#failure[role="alert"]').textContent,
        notice: document.getElementById('notice').hidden, bar: document.getElementById('loading').hidden}));
    check('a failed load is said plainly, with a way to try again, and nothing else is promised',
          /could not be loaded/.test(failure.said) && /404/.test(failure.said) && /Try again/.test(failure.said) &&
          failure.notice && failure.bar, JSON.stringify(failure));
    await page.unroute('**/zubotta.wasm');
    await page.click('#try-again');
    await until(page, 'the opening screen after trying again', () => typeof Module !== 'undefined' && Module.calledRun);
    await context.close();
}

// A finger on a phone's page: the middle of an element, a touch starting and ending there.
function fingerOn(page, cdp) {
    const centre = async (selector) => {
        const box = await page.locator(selector).boundingBox();
        return {x: box.x + box.width / 2, y: box.y + box.height / 2};
    };
    const touch = (type, points) => cdp.send('Input.dispatchTouchEvent', {type, touchPoints: points});
    const tap = async (point) => {
        await touch('touchStart', [point]);
        await touch('touchEnd', []);
    };
    return {centre, touch, tap};
}

// Phones and tablets, each started afresh, upright and turned, in full screen and with a browser's bars (the
// screen larger than the page), the 430-pixel phone turned either way after its start: the picture fills its room
// and stays sharp.
async function touchScreenSizes(browser, url) {
    console.log('-- phones and tablets');
    // A computer that was not known to have a touch screen shows the keys from its first touch on.
    {
        const {context, page} = await openPage(browser, url, {viewport: {width: 1280, height: 800}});
        const cdp = await context.newCDPSession(page);
        // Beside the picture, where a touch is no click of the game's.
        await cdp.send('Input.dispatchTouchEvent', {type: 'touchStart', touchPoints: [{x: 20, y: 780}]});
        await cdp.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: []});
        await until(page, 'the touch keys', () => document.querySelector('.key').offsetParent !== null);
        await checkFit(page, 'a computer\'s page after a first touch', 1);
        await checkSharp(page, 'a computer\'s page after a first touch');
        await context.close();
    }
    // Those that fail first where the page does wrong come first.
    const sizes = [
        [430, 932, 3, 4], [1024, 1366, 2, 4], [390, 844, 3, 3], [844, 390, 3, 3], [412, 915, 2.625, 3], [360, 640, 3, 3],
        [375, 667, 2, 2], [320, 568, 2, 2], [390, 664, 3, 3, {width: 390, height: 844}],
        [750, 340, 3, 3, {width: 844, height: 390}], [835, 332, 2.625, 3, {width: 915, height: 412}],
        [720, 280, 3, 3, {width: 780, height: 360}], [1180, 820, 2, 4], [820, 1180, 2, 4], [932, 430, 3, 4]];
    for (const [width, height, ratio, scale, screen] of sizes) {
        const where = `${width}x${height} at ratio ${ratio}${screen ? ' with the browser\'s bars' : ''}`;
        const {context, page, errors} = await openPage(browser, url, phone(width, height, ratio, screen));
        await checkFit(page, where, scale);
        await checkSharp(page, where);
        if (width === 430 || width === 932) {
            const before = await page.evaluate(() => document.getElementById('game').width);
            await page.setViewportSize({width: height, height: width});
            await until(page, 'the page laid out anew', ({turned, before}) => innerWidth === turned &&
                        document.getElementById('game').width !== before, {turned: height, before});
            await checkFit(page, `${where}, turned after its start`, scale);
            await checkSharp(page, `${where}, turned after its start`);
        }
        // Once its screens are checked: a picture enlarged and reduced, and one reduced alone.
        if (width === 1024 || width === 430)
            await checkPartShown(page, where);
        if (width === 390 && !screen) {
            // 終了 by tap: the ended page, its way back in a finger's size.
            const {centre, tap} = fingerOn(page, await context.newCDPSession(page));
            await tap(await centre('#menubar .title >> nth=0'));
            await tap(await centre('#menubar [data-item="1"]'));
            await until(page, 'the page\'s word that the game ended', () => !document.getElementById('ended').hidden);
            await checkFit(page, `${where}, the game ended`, scale);
        }
        check(`no script errors at ${where}`, errors.length === 0, errors.join('; '));
        await context.close();
    }
}

// A round on a phone played by touch alone: the touch keys, several at once, held, the picture's key buttons,
// the menus and the about box by tap, and a turn of the phone mid-round.
async function touchRound(browser, url) {
    const {context, page, errors} = await openPage(browser, url, phone(390, 844, 3));
    const {centre, touch, tap} = fingerOn(page, await context.newCDPSession(page));
    const keyAt = (letter) => centre(`.key[data-key="${letter}"]`);
    const lit = () => page.evaluate(() => [...document.querySelectorAll('.key.pressed')].map((key) => key.textContent).join());
    const moles = () => startsOf(page, handles.モグラ).then((starts) => starts.length);
    const rest = {};
    for (const hole of [1, 2, 3, 4])
        rest[hole] = await signature(page, moleArea(hole));

    console.log('-- a round by touch on a phone');
    await checkAxe(page, 'a phone\'s page');
    // As iOS has it, a touch lets a page sound only as it ends.
    await page.evaluate(() => {
        const context = zubotta.sound.context;
        const resume = context.resume;
        context.resume = function () {
            return window.event && window.event.type === 'pointerdown' ? Promise.resolve() : resume.call(this);
        };
    });
    const drawn = await page.evaluate(() => audit.draws.length);
    await tap(await keyAt(' '));
    await until(page, 'the round started by touch', () => Module._zubotta_round_running());
    const started = await page.evaluate((n) => ({sound: zubotta.sound.context.state, drawn: audit.draws.length - n,
                                                 notice: document.getElementById('notice').textContent}), drawn);
    check('the first touch starts the sound, and Space by touch starts a round', started.sound === 'running' &&
          started.drawn >= 2 && started.notice === '', JSON.stringify(started));

    console.log('-- sound the system took, and a hidden page');
    // A phone's system takes the sound (a call, a locked screen), as iOS does: "interrupted" until resumed.
    await page.evaluate(async () => {
        const context = zubotta.sound.context;
        const state = Object.getOwnPropertyDescriptor(BaseAudioContext.prototype, 'state').get;
        let interrupted = true;
        Object.defineProperty(context, 'state', {configurable: true, get() { return interrupted ? 'interrupted' : state.call(this); }});
        context.resume = function () {
            interrupted = false;
            return AudioContext.prototype.resume.call(this);
        };
        await AudioContext.prototype.suspend.call(context);
        context.dispatchEvent(new Event('statechange'));
    });
    const taken = await page.evaluate(() => document.getElementById('notice').textContent);
    await tap(await centre('#notice'));
    await until(page, 'the sound back after a touch', () => zubotta.sound.context.state === 'running' &&
                document.getElementById('notice').textContent === '');
    check('sound the system took comes back at the next touch, and the notice asks for it until then',
          /touch/.test(taken), taken);
    // Another tab or app in front: silent, the round going on by the clock; shown again, sounding again.
    const hide = (hidden) => page.evaluate((hidden) => {
        Object.defineProperty(document, 'hidden', {configurable: true, get: () => hidden});
        Object.defineProperty(document, 'visibilityState', {configurable: true, get: () => hidden ? 'hidden' : 'visible'});
        document.dispatchEvent(new Event('visibilitychange'));
    }, hidden);
    await hide(true);
    await until(page, 'silence while hidden', () => zubotta.sound.context.state === 'suspended');
    // The seconds count on.
    const hiddenAt = await page.evaluate(() => audit.draws.length);
    await until(page, 'the round going on while hidden', (n) => audit.draws.length > n, hiddenAt, 3000);
    const silent = await page.evaluate(() => zubotta.sound.context.state);
    await hide(false);
    await until(page, 'the sound back once shown', () => zubotta.sound.context.state === 'running');
    check('hidden, the page falls silent while the round goes on; shown again, it sounds', silent === 'suspended');
    // Each hole's first press in a round: the hammer has not yet struck its mole, which would lock it.
    await touch('touchStart', [await keyAt('a')]);
    await untilChanged(page, 'the mole of hole 1 rising', moleArea(1), rest[1]);
    await page.waitForTimeout(500);
    const held = {lit: await lit(), moles: await moles()};
    await touch('touchEnd', []);
    held.after = await lit();
    check('a touch key raises its mole with its sound; held, it is one press, lit while held',
          held.lit === 'A' && held.moles === 1 && held.after === '', JSON.stringify(held));

    await touch('touchStart', [{...(await keyAt('s')), id: 1}, {...(await keyAt('d')), id: 2}]);
    const bothLit = await lit();
    await touch('touchEnd', []);
    await untilChanged(page, 'the mole of hole 3 rising', moleArea(3), rest[3]);
    check('two keys touched at once both act, both lit',
          (await signature(page, moleArea(2))) !== rest[2] && (await moles()) === 3 && bothLit === 'S,D', bothLit);

    const box = await page.locator('#game').boundingBox();
    const button = holeButtonCentre(4);
    await tap({x: box.x + button.x * box.width / 400, y: box.y + button.y * box.width / 400});
    await untilChanged(page, 'the mole of hole 4 rising', moleArea(4), rest[4]);
    check('a touch on the picture\'s key button works its hole', (await moles()) === 4);

    console.log('-- a turn of the phone mid-round');
    const beforeTurn = await page.evaluate(() => audit.draws.length);
    await page.setViewportSize({width: 844, height: 390});
    await until(page, 'the page laid out anew', () => {
        const [picture, stage] = ['game', 'stage'].map((id) => document.getElementById(id).getBoundingClientRect());
        return innerWidth === 844 && Math.abs(picture.top - stage.top - (stage.height - picture.height) / 2) < 1;
    });
    await checkFit(page, 'turned to 844x390', 3);
    await until(page, 'the round going on after the turn', (n) => audit.draws.length > n + 10, beforeTurn);
    // Space again starts a new round, whose holes are all free again.
    const restart = await page.evaluate(() => audit.draws.length);
    await tap(await keyAt(' '));
    await until(page, 'the new round', (n) => audit.draws.slice(n).filter((d) => d.width === audit.draws[0].width &&
                                                                           d.height === audit.draws[0].height).length >= 2,
                restart);
    await tap(await keyAt('a'));
    await until(page, 'the mole sound after the turn', () => audit.starts.filter((e) => e.handle === 7).length === 5);
    // Pressed with no pointer, as a screen reader or the keyboard presses a button.
    await page.evaluate(() => document.querySelector('.key[data-key="d"]').click());
    await until(page, 'the mole sound of a key pressed by no pointer', () => audit.starts.filter((e) => e.handle === 7).length === 6);
    check('the round goes on through the turn, and the keys still act', await page.evaluate(() => Module._zubotta_round_running()));

    console.log('-- the menus and the about box by tap');
    await tap(await centre('#menubar .title >> nth=1'));
    const bgm = await page.locator('#bgm').boundingBox();
    await tap(await centre('#bgm'));
    await until(page, 'the check mark cleared by a tap',
                () => document.getElementById('bgm').getAttribute('aria-checked') === 'false');
    check('a tap opens ｵﾌﾟｼｮﾝ and a tap on BGM, 44 px tall, stops the tune',
          (await page.evaluate(() => zubotta.sound.sounding(4))) === 0 && bgm.height >= 44, JSON.stringify(bgm));
    await tap(await centre('#menubar [data-item="3"]'));
    await until(page, 'the about box', () => document.getElementById('message').open);
    const ok = await page.locator('#message button').boundingBox();
    await tap(await centre('#message button'));
    await until(page, 'the about box closed', () => !document.getElementById('message').open);
    check('a tap on その他 shows the about box, a tap on its OK, 44 px tall, closes it', ok.height >= 44, JSON.stringify(ok));

    await page.screenshot({path: path.join(output, 'phone-landscape.png')});
    check('no script errors in the round by touch', errors.length === 0, errors.join('; '));
    await context.close();
}

// The parts of the run, all of them unless ZUBOTTA_E2E_PARTS names some, separated by commas.
const parts = {
    screens: async (browser, url) => {
        await screensAtScale(browser, url, 1);
        await screensAtScale(browser, url, 2);
    },
    round,
    controllers,
    sizes: touchScreenSizes,
    touch: touchRound,
    loading,
};
const wanted = (part) => !process.env.ZUBOTTA_E2E_PARTS || process.env.ZUBOTTA_E2E_PARTS.split(',').includes(part);

async function main() {
    fs.mkdirSync(output, {recursive: true});
    const {server, url} = await serve(site);
    const browser = await launch(chromium);
    try {
        for (const [name, part] of Object.entries(parts))
            if (wanted(name))
                await part(browser, url);
    } catch (error) {
        stopped(error);
    } finally {
        await browser.close();
        server.kill();
    }
    if (wanted('offline'))
        await offline(chromium, site).catch(stopped);
    report();
}

main();
