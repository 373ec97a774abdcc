// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser scripts share, whatever drives the browser: the checks and their report, the page's
// watcher, the golden-image comparison and waits on the page. A page here is anything with
// evaluate(function, argument), as Playwright's and Puppeteer's pages have.
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
function check(name, ok, detail = '') {
    if (ok) {
        ++passed;
        console.log(`ok    ${name}`);
    } else {
        failures.push(name);
        console.log(`FAIL  ${name}${detail ? `: ${detail}` : ''}`);
    }
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
                  watchPage, goldenDifference, checkGolden, signature, startsOf, now, poll, until, untilChanged,
                  proportionalMessage, tuneSeam};
