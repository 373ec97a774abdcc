// SPDX-License-Identifier: GPL-3.0-or-later
// The browser page played end to end in Debian's chromium: the screens against the golden images at device
// scales 1 and 2, a round with its keys, sounds and TIME UP, the music switch, the about box, keys typed during
// START's pause, Esc, and the keys the browser must not act on.
//
// usage: node play.js <site folder> <golden folder> <output folder> [folder of the desktop's .wav files]
// Exits 77 (skipped) when the site, playwright-core or chromium is missing.
'use strict';
const fs = require('fs');
const path = require('path');
const {chromiumPath, serve, launch} = require('./page_server');
const {handles, shownWidth, shownHeight, moleArea, skip, skipUnlessBuilt, check, stopped, report, watchPage, checkGolden,
       signature, startsOf, now, until, untilChanged, proportionalMessage} = require('./page_checks');

const [siteArg, goldenArg, outputArg, wavesArg] = process.argv.slice(2);
const site = path.resolve(siteArg || 'build-web/site');
const golden = path.resolve(goldenArg || path.join(__dirname, '..', '..', 'golden'));
const output = path.resolve(outputArg || 'e2e-browser');

skipUnlessBuilt(site);
let chromium;
try {
    ({chromium} = require('playwright-core'));
} catch (error) {
    skip('playwright-core is not installed (npm ci in tests/e2e/browser)');
}
if (!fs.existsSync(chromiumPath))
    skip(`no chromium at ${chromiumPath}`);

// Areas of the screen in logical pixels: the score and best score digits, TIME UP's line.
const scoreArea = {x: 56, y: 5, width: 44, height: 20};
const bestArea = {x: 56, y: 25, width: 44, height: 20};
const timeUpArea = {x: 133, y: 67, width: 144, height: 43};

async function openPage(browser, url, scale, viewport) {
    const context = await browser.newContext({deviceScaleFactor: scale, viewport});
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.addInitScript(watchPage);
    await page.goto(url);
    await until(page, 'the opening screen', () => typeof Module !== 'undefined' && Module.calledRun && audit.draws.length > 0);
    return {context, page, errors};
}

// The screens before a round at one device scale: the opening, the prompt after a click, START in its pause.
async function screensAtScale(browser, url, scale) {
    const {context, page, errors} = await openPage(browser, url, scale, {width: 640, height: 560});
    console.log(`-- the screens at device scale ${scale}`);
    const canvasSize = await page.evaluate(() => [document.getElementById('game').width, document.getElementById('game').height]);
    check(`canvas holds ${shownWidth}x${shownHeight} logical pixels at scale ${scale}`,
          canvasSize[0] === shownWidth * scale && canvasSize[1] === shownHeight * scale, canvasSize.join('x'));
    await checkGolden(page, golden, `opening-scale${scale}.png`);
    await page.screenshot({path: path.join(output, `page-scale${scale}.png`), fullPage: true});
    await page.click('#game', {position: {x: 100, y: 100}});
    await until(page, 'the prompt', () => audit.draws.length > 1);
    await checkGolden(page, golden, `prompt-scale${scale}.png`);

    // Smaller than the game, so that the page could scroll.
    await page.setViewportSize({width: 360, height: 300});
    const before = await page.evaluate(() => audit.draws.length);
    await page.keyboard.press('Space');
    // START is the second picture of the start: the opening first, then START over it, then the pause.
    await until(page, 'START', (n) => audit.draws.length >= n + 2, before);
    const inPause = await page.evaluate((n) => audit.draws.length === n + 2, before);
    await checkGolden(page, golden, `start-scale${scale}.png`);
    check(`START read during its pause at scale ${scale}`, inPause && (await page.evaluate((n) => audit.draws.length === n + 2, before)));
    const view = await page.evaluate(() => ({scrollY: window.scrollY, scrollable: document.documentElement.scrollHeight > window.innerHeight,
                                             space: audit.keys.filter((k) => k.key === ' ').map((k) => k.prevented),
                                             window: document.getElementById('window').getBoundingClientRect()}));
    check('Space does not scroll the page', view.scrollable && view.scrollY === 0 && view.space.every(Boolean),
          JSON.stringify(view));
    // Centred in a large window, but never pushed out of reach above or left of a small one.
    check('a window smaller than the game can scroll to all of it', view.window.top >= 0 && view.window.left >= 0,
          JSON.stringify(view.window));
    check(`no script errors at scale ${scale}`, errors.length === 0, errors.join('; '));
    await context.close();
}

// The page before and through one round, then Esc.
async function round(browser, url) {
    const {context, page, errors} = await openPage(browser, url, 1, {width: 640, height: 560});
    const rest = {};
    for (const hole of [1, 2, 3, 4])
        rest[hole] = await signature(page, moleArea(hole));
    const openingBest = await signature(page, bestArea);

    console.log('-- sound before and after the first key');
    const loaded = await page.evaluate(() => [...zubotta.sound.sounds.keys()]);
    check('the seven sounds load', loaded.length === 7, JSON.stringify(loaded));
    if (wavesArg) {
        // The page unpacks its FLAC into the game's folder: the very files the desktop plays.
        const differing = [];
        for (const name of Object.keys(handles)) {
            const shown = Buffer.from(await page.evaluate((n) => Array.from(Module.FS.readFile(`${n}.wav`)), name));
            if (!shown.equals(fs.readFileSync(path.join(wavesArg, `${name}.wav`))))
                differing.push(name);
        }
        check('the seven .wav files are the desktop\'s, byte for byte', differing.length === 0, differing.join(', '));
    }
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
    const drawnWhileOpen = await page.evaluate(() => audit.draws.length);
    await page.waitForTimeout(1200);
    check('the game waits while the box is open', (await page.evaluate(() => audit.draws.length)) === drawnWhileOpen);
    await page.click('#message button');
    await until(page, 'the round going on after OK', (n) => audit.draws.length > n + 3, drawnWhileOpen);
    check('after OK the round goes on with the focus on the canvas',
          (await page.evaluate(() => document.activeElement && document.activeElement.id)) === 'game');

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

async function main() {
    fs.mkdirSync(output, {recursive: true});
    const {server, url} = await serve(site);
    const browser = await launch(chromium);
    try {
        await screensAtScale(browser, url, 1);
        await screensAtScale(browser, url, 2);
        await round(browser, url);
    } catch (error) {
        stopped(error);
    } finally {
        await browser.close();
        server.kill();
    }
    report();
}

main();
