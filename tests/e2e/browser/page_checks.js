// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser scripts share, whatever drives the browser: the checks and their report, the page's
// watcher, the golden-image comparison, waits on the page, game controllers the test holds and a round played with
// them. A page here is anything with evaluate(function, argument), as Playwright's and Puppeteer's pages have.
'use strict';
const fs = require('fs');
const path = require('path');

// The sound handles in load order, as the game's start-up loads them.
const handles = {その他: 1, 禁止: 2, 打音: 3, BGM: 4, 空振: 5, TIMEOUT: 6, モグラ: 7};
const shownWidth = 400;
const shownHeight = 437;
// The area of a hole's mole in logical pixels.
const moleArea = (hole) => ({x: Math.round(hole * 970 / 15), y: 158, width: 65, height: 105});
// Generous: a wait longer than this is a hang.
const hang = 15000;

function skip(reason) {
    console.log(`SKIP: ${reason}`);
    process.exit(77);
}

function skipUnlessBuilt(site) {
    if (!fs.existsSync(path.join(site, 'index.html')) || !fs.existsSync(path.join(site, 'zubotta.wasm')))
        skip(`no built page in ${site} (./run web --build-only makes it)`);
}

const failures = [];
let passed = 0;
// ZUBOTTA_E2E_FAIL_FAST set, the first check that fails stops the run, as the page's mutants want.
function check(name, ok, detail = '') {
    if (ok) {
        ++passed;
        console.log(`ok    ${name}`);
        return;
    }
    failures.push(name);
    console.log(`FAIL  ${name}${detail ? `: ${detail}` : ''}`);
    if (process.env.ZUBOTTA_E2E_FAIL_FAST)
        throw new Error(`failed: ${name}`);
}

// A run that could not go on: it fails, naming why.
function stopped(error) {
    failures.push(`stopped: ${error.message}`);
    console.log(`FAIL  stopped: ${error.stack}`);
}

// Prints the summary and ends the process with its status.
function report() {
    console.log(`${passed} passed, ${failures.length} failed`);
    if (failures.length)
        console.log(`failed: ${failures.join('; ')}`);
    process.exit(failures.length ? 1 : 0);
}

// Watches the page, from before its scripts run where the driver can, else from now: every sound started and
// stopped, every picture put on the canvas, every key as it reaches the window after the page's own handler,
// the audio contexts and the script errors.
function watchPage() {
    const audit = {starts: [], draws: [], keys: [], contexts: [], errors: []};
    window.audit = audit;
    window.addEventListener('error', (event) => audit.errors.push(event.message));
    window.addEventListener('unhandledrejection', (event) => audit.errors.push(String(event.reason)));
    // zubotta is the page's own top-level constant, there once page.js has run.
    if (typeof zubotta !== 'undefined' && zubotta.sound.context)
        audit.contexts.push(zubotta.sound.context);
    const Context = window.AudioContext;
    // Headless chromium lets a page sound at once; a desktop browser holds its audio until the first key or
    // click, and so does this one.
    window.AudioContext = class extends Context {
        constructor(...args) {
            super(...args);
            this.suspend();
            audit.contexts.push(this);
        }
    };
    const start = AudioBufferSourceNode.prototype.start;
    AudioBufferSourceNode.prototype.start = function (...args) {
        // The page's sounds name the buffer.
        const found = [...zubotta.sound.sounds].find(([, sound]) => sound.buffer === this.buffer);
        const entry = {handle: found ? found[0] : 0, loop: this.loop, at: performance.now(), over: false, source: this};
        audit.starts.push(entry);
        this.addEventListener('ended', () => { entry.over = true; });
        return start.apply(this, args);
    };
    const stop = AudioBufferSourceNode.prototype.stop;
    AudioBufferSourceNode.prototype.stop = function (...args) {
        const entry = audit.starts.find((e) => e.source === this);
        if (entry)
            entry.over = true;
        return stop.apply(this, args);
    };
    // Each area of the game's surface put on its way to the screen, in the surface's device pixels.
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (image, x, y, ...area) {
        const [left, top, width, height] = area.length ? area : [0, 0, image.width, image.height];
        audit.draws.push({at: performance.now(), x: left, y: top, width, height});
        return put.call(this, image, x, y, ...area);
    };
    window.addEventListener('keydown', (event) => {
        audit.keys.push({key: event.key, at: performance.now(), prevented: event.defaultPrevented});
    });
    // A PNG given in base64 on a canvas of its own, as the browser decodes it, with no colour conversion.
    window.pngPicture = async (base64) => {
        const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
        const bitmap = await createImageBitmap(new Blob([bytes], {type: 'image/png'}),
                                               {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
        const picture = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
        picture.drawImage(bitmap, 0, 0);
        return picture;
    };
    // A short signature of an area of the canvas, in logical pixels at the page's device scale.
    window.areaSignature = (x, y, width, height) => {
        const canvas = document.getElementById('game');
        const s = canvas.width / 400;
        const bytes = canvas.getContext('2d').getImageData(x * s, y * s, width * s, height * s).data;
        let hash = 2166136261;
        for (let i = 0; i < bytes.length; ++i)
            hash = Math.imul(hash ^ bytes[i], 16777619);
        return (hash >>> 0).toString(16);
    };
    // Pixels of an area equal to a colour given as [r, g, b].
    window.countColour = (x, y, width, height, [r, g, b]) => {
        const canvas = document.getElementById('game');
        const s = canvas.width / 400;
        const bytes = canvas.getContext('2d').getImageData(x * s, y * s, width * s, height * s).data;
        let count = 0;
        for (let i = 0; i < bytes.length; i += 4)
            count += bytes[i] === r && bytes[i + 1] === g && bytes[i + 2] === b ? 1 : 0;
        return count;
    };
}

// Game controllers the test holds behind navigator.getGamepads(), as a browser shows them: standard pads of 17
// buttons, the first `plugged` of them there before the page's scripts run, the others plugged in and out with the
// browser's events. testPads.press(pad, buttons, pressed) holds or lets go of buttons.
function fakePads(plugged = 0) {
    const slots = [];
    const announce = (type, gamepad) => window.dispatchEvent(Object.assign(new Event(type), {gamepad}));
    navigator.getGamepads = () => slots.map((pad) => pad || null);
    window.testPads = {
        connect(quietly = false) {
            const index = slots.includes(null) ? slots.indexOf(null) : slots.length;
            slots[index] = {id: 'Zubotta test pad (STANDARD GAMEPAD)', index, connected: true, mapping: 'standard',
                            timestamp: performance.now(), axes: [0, 0, 0, 0],
                            buttons: Array.from({length: 17}, () => ({pressed: false, touched: false, value: 0}))};
            if (!quietly)
                announce('gamepadconnected', slots[index]);
            return index;
        },
        press(index, buttons, pressed) {
            for (const button of buttons)
                Object.assign(slots[index].buttons[button], {pressed, touched: pressed, value: pressed ? 1 : 0});
            slots[index].timestamp = performance.now();
        },
        disconnect(index) {
            const pad = slots[index];
            slots[index] = null;
            pad.connected = false;
            announce('gamepaddisconnected', pad);
        },
    };
    for (let i = 0; i < plugged; ++i)
        testPads.connect(true);
}

// The test's pads (fakePads) driven from the test: connect() gives a pad's index.
const heldPads = (page) => ({
    connect: () => page.evaluate(() => testPads.connect()),
    press: (index, buttons, pressed) => page.evaluate((a) => testPads.press(a.index, a.buttons, a.pressed),
                                                      {index, buttons, pressed}),
    disconnect: (index) => page.evaluate((index) => testPads.disconnect(index), index),
});

// Watches, once the page has loaded, each event handed to the game but the timer's ticks, each time the sound is
// asked to resume, and each read of the pads.
function watchEvents() {
    Object.assign(audit, {padReads: 0, events: [], resumes: 0});
    const read = navigator.getGamepads;
    navigator.getGamepads = function () {
        ++audit.padReads;
        return read.call(this);
    };
    const call = Module.ccall;
    Module.ccall = (name, ...rest) => {
        if (name !== 'zubotta_tick')
            audit.events.push(`${name.replace('zubotta_', '')} ${rest[2].join(' ')}`);
        return call(name, ...rest);
    };
    const context = zubotta.sound.context;
    const resume = context.resume;
    context.resume = function () {
        ++audit.resumes;
        return resume.call(this);
    };
}

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The standard mapping's buttons.
const button = {south: 0, east: 1, west: 2, north: 3, back: 8, start: 9, up: 12, down: 13, left: 14, right: 15};
// Shoulders, triggers, the sticks' presses and Home.
const idleButtons = [4, 5, 6, 7, 10, 11, 16];

// A round played with game controllers, from a page just loaded with its sound still waiting: the first pad (one
// plugged in before the page loaded, or else one connected now) starts the round, works holes by d-pad and by face
// button, held for one press, and the music; the other buttons do nothing; south closes the about box and does
// nothing else; unplugged mid-round, the round goes on with the keys, and two pads plugged in, one shown twice, work
// at once and act once; after Esc nothing reads them. soundByPad says what the engine does with a pad's press and the
// sound: true, it starts it; false, it cannot, and the notice asks for a key; absent, the test cannot tell.
async function padRound(page, pads, {first = null, pressKey, screenshot, soundByPad}) {
    console.log('-- a game controller');
    await page.evaluate(watchEvents);
    const events = (since = 0) => page.evaluate((n) => audit.events.slice(n), since);
    const count = (list, event) => list.filter((e) => e === event).length;
    const marks = () => page.evaluate(() => ({events: audit.events.length, reads: audit.padReads,
                                              draws: audit.draws.length}));
    const rest = [];
    for (const hole of [1, 2, 3, 4])
        rest[hole] = await signature(page, moleArea(hole));
    const moles = () => Promise.all([1, 2, 3, 4].map((hole) => signature(page, moleArea(hole))));
    const bgm = () => page.evaluate(() => zubotta.bgmChecked());

    let pad = first;
    if (pad === null) {
        await pause(300);
        check('nothing reads the pads while none is connected', (await marks()).reads === 0);
        pad = await pads.connect();
    }
    await pads.press(pad, [button.start], true);
    await until(page, 'the round started by Start', () => Module._zubotta_round_running());
    await pads.press(pad, [button.start], false);
    const sound = await page.evaluate(() => ({resumes: audit.resumes, state: zubotta.sound.context.state,
                                             notice: document.getElementById('notice').textContent}));
    check('Start starts a round, as Space, and the page asks for the sound', sound.resumes > 0 &&
          count(await events(), 'key_down 32') === 1, JSON.stringify(sound));
    if (soundByPad === false) {
        check('the pad cannot start the sound here, and the notice asks for a key or click',
              sound.state !== 'running' && /game controller/.test(sound.notice) && /key or click/.test(sound.notice),
              JSON.stringify(sound));
    } else if (soundByPad) {
        check('the pad\'s press starts the sound', await until(page, 'the sound started by the pad',
              () => zubotta.sound.context.state === 'running').then(() => true, () => false));
    }

    await pads.press(pad, [button.left], true);
    await untilChanged(page, 'the mole of hole 1 rising by d-pad left', moleArea(1), rest[1]);
    await pause(300);
    await pads.press(pad, [button.left], false);
    await pads.press(pad, [button.north], true);
    await untilChanged(page, 'the mole of hole 3 rising by the top face button', moleArea(3), rest[3]);
    await pads.press(pad, [button.north], false);
    const [, two, , four] = await moles();
    const holes = await events();
    check('d-pad left works hole 1 and, held, is one press; the top face button hole 3; no other hole moves',
          count(holes, 'key_down 65') === 1 && count(holes, 'key_down 68') === 1 && two === rest[2] && four === rest[4],
          JSON.stringify(holes));
    await screenshot();

    const checked = await bgm();
    await pads.press(pad, [button.back], true);
    await until(page, 'the check mark flipped by Back', (was) => zubotta.bgmChecked() !== was, checked);
    await pads.press(pad, [button.back], false);
    const idle = await marks();
    await pads.press(pad, idleButtons, true);
    await pause(300);
    await pads.press(pad, idleButtons, false);
    const idleEvents = await events(idle.events);
    check('Back flips the music\'s check mark, as F1; Home, the shoulders, the triggers and the sticks do nothing',
          count(await events(), 'key_down 112') === 1 && idleEvents.length === 0 &&
          (await page.evaluate(() => document.getElementById('ended').hidden)), JSON.stringify(idleEvents));

    await page.evaluate(() => document.querySelector('[data-item="3"]').click());
    await until(page, 'the about box', () => document.getElementById('message').open);
    const boxed = await marks();
    await pads.press(pad, [button.east, button.start], true);
    await pause(300);
    await pads.press(pad, [button.east, button.start], false);
    const stillOpen = await page.evaluate(() => document.getElementById('message').open);
    await pads.press(pad, [button.south], true);
    await until(page, 'the about box closed by south', () => !document.getElementById('message').open);
    await pads.press(pad, [button.south], false);
    await until(page, 'the round going on after the box', (n) => audit.draws.length > n + 3, boxed.draws);
    const [, twoAfter, , fourAfter] = await moles();
    const boxEvents = await events(boxed.events);
    check('with the about box open other buttons do nothing; south closes it and works no hole',
          stillOpen && boxEvents.length === 0 && twoAfter === rest[2] && fourAfter === rest[4], JSON.stringify(boxEvents));

    await pads.disconnect(pad);
    await pause(100);
    const unplugged = await marks();
    // The seconds count on.
    await until(page, 'the round going on after the unplug', (n) => audit.draws.length > n, unplugged.draws, 3000);
    const later = await marks();
    await pressKey('f');
    await untilChanged(page, 'the mole of hole 4 rising by F', moleArea(4), rest[4]);
    check('unplugged mid-round, nothing reads the pads, the round goes on and the keys work',
          later.reads === unplugged.reads &&
          (await page.evaluate(() => Module._zubotta_round_running())), JSON.stringify({unplugged, later}));
    if (soundByPad === false) {
        check('a key then starts the sound, and the notice goes', await until(page, 'the sound started by a key',
              () => zubotta.sound.context.state === 'running' && document.getElementById('notice').textContent === '')
            .then(() => true, () => false));
    }

    const plugged = await marks();
    const real = await pads.connect();
    const shownTwice = await pads.connect();
    await pads.press(real, [button.south], true);
    await pads.press(shownTwice, [button.south], true);
    await untilChanged(page, 'the mole of hole 2 rising by south', moleArea(2), rest[2]);
    await pads.press(real, [button.south], false);
    await pause(100);
    await pads.press(real, [button.south], true);
    await pause(100);
    await pads.press(real, [button.south], false);
    await pads.press(shownTwice, [button.south], false);
    const twice = await bgm();
    await pads.press(shownTwice, [button.back], true);
    await until(page, 'the check mark flipped by the second pad', (was) => zubotta.bgmChecked() !== was, twice);
    await pads.press(shownTwice, [button.back], false);
    const both = await events(plugged.events);
    check('plugged in again a pad works at once; a pad shown twice acts once, the key held while either holds it; ' +
          'the second pad works alone', count(both, 'key_down 83') === 1 && count(both, 'key_down 112') === 1,
          JSON.stringify(both));

    await pressKey('Escape');
    await until(page, 'the page\'s word that the game ended', () => !document.getElementById('ended').hidden);
    const ended = await marks();
    await pads.press(real, [button.start, button.south], true);
    await pause(300);
    await pads.press(real, [button.start, button.south], false);
    const after = await marks();
    check('after Esc nothing reads the pads and no press acts', after.reads === ended.reads &&
          after.events === ended.events, JSON.stringify({ended, after}));
    const errors = await page.evaluate(() => audit.errors);
    check('no script errors with the game controllers', errors.length === 0, errors.join('; '));
}

// How many pixels of the canvas differ from the left 400 logical pixels of a golden image, and the first one.
async function goldenDifference(page, file) {
    if (!fs.existsSync(file))
        return {missing: true};
    return page.evaluate(async ({png, width, height}) => {
        const golden = (await pngPicture(png)).canvas;
        const canvas = document.getElementById('game');
        const s = canvas.width / width;
        if (golden.height !== canvas.height)
            return {size: `${golden.width}x${golden.height} for a canvas of ${canvas.width}x${canvas.height}`};
        const want = golden.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        const have = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        let differing = 0;
        let first = null;
        for (let i = 0; i < want.length; i += 4) {
            if (want[i] === have[i] && want[i + 1] === have[i + 1] && want[i + 2] === have[i + 2])
                continue;
            if (!first) {
                const pixel = i / 4;
                first = `(${pixel % canvas.width / s}, ${Math.floor(pixel / canvas.width) / s})`;
            }
            ++differing;
        }
        return {differing, first};
    }, {png: fs.readFileSync(file).toString('base64'), width: shownWidth, height: shownHeight});
}

async function checkGolden(page, golden, name) {
    const file = path.join(golden, name);
    const result = await goldenDifference(page, file);
    const detail = result.missing ? `no ${file}`
        : result.size ? `golden image is ${result.size}` : `${result.differing} pixels differ, first at ${result.first}`;
    check(`canvas equals ${name}`, !result.missing && !result.size && result.differing === 0, detail);
}

const signature = (page, area) => page.evaluate(({x, y, width, height}) => areaSignature(x, y, width, height), area);
const startsOf = (page, handle, since = 0) =>
    page.evaluate(({handle, since}) => audit.starts.filter((e) => e.handle === handle && e.at >= since)
        .map(({handle, loop, at, over}) => ({handle, loop, at, over})), {handle, since});
const now = (page) => page.evaluate(() => performance.now());

// Polls a test until it holds; past the timeout the run stops, naming what never came.
async function poll(what, test, timeout = hang) {
    const deadline = Date.now() + timeout;
    while (!(await test())) {
        if (Date.now() > deadline)
            throw new Error(`${what} never came`);
        await new Promise((resolve) => setTimeout(resolve, 5));
    }
}

// Waits for a condition in the page.
const until = (page, what, condition, arg = null, timeout = hang) =>
    poll(what, () => page.evaluate(condition, arg), timeout);

// Waits until the area of the canvas no longer shows the given signature.
async function untilChanged(page, what, area, from) {
    await until(page, what, ({area: {x, y, width, height}, from}) => areaSignature(x, y, width, height) !== from,
                {area, from});
}

// Whether the message box sets its text in a proportional face: an i narrower than an m.
function proportionalMessage() {
    const text = document.getElementById('message-text').firstChild;
    const width = (letter) => {
        const range = document.createRange();
        const at = text.data.indexOf(letter);
        range.setStart(text, at);
        range.setEnd(text, at + 1);
        return range.getBoundingClientRect().width;
    };
    return width('i') < width('m');
}

// The tune's buffer as the page decoded it: its length, and per channel the step from its last sample to its
// first (the seam, as the loop plays it) beside the largest step among the 64 samples either side of it.
function tuneSeam() {
    const buffer = zubotta.sound.sounds.get(4).buffer;
    const channels = [];
    for (let c = 0; c < buffer.numberOfChannels; ++c) {
        const x = buffer.getChannelData(c);
        const n = x.length;
        let beside = 0;
        for (let i = 1; i < 64; ++i)
            beside = Math.max(beside, Math.abs(x[i] - x[i - 1]), Math.abs(x[n - i] - x[n - i - 1]));
        channels.push({seam: Math.abs(x[0] - x[n - 1]), beside});
    }
    return {frames: buffer.length, rate: buffer.sampleRate, channels};
}

module.exports = {handles, shownWidth, shownHeight, moleArea, hang, skip, skipUnlessBuilt, check, stopped, report,
                  watchPage, watchEvents, fakePads, heldPads, padRound, goldenDifference, checkGolden, signature,
                  startsOf, now, poll, until, untilChanged, proportionalMessage, tuneSeam};
