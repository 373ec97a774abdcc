// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the browser page, printed, never judged (machines are shared and noisy): the bytes sent as served
// compressed, the first paint and the opening screen unthrottled and under a phone's profile, the page's
// processor time during a round and while waiting with and without a game controller, memory, the start-up of a
// second visit with no network, the time from a touch, a key or a controller's button to its mole sound, and the
// picture's scale and size on phones, tablets and computers.
//
// usage: node bench.js <site folder> [seconds of round measured, default 10]
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {serve, stop, launch} = require('./page_server');
const {fakePads} = require('./page_checks');

const site = path.resolve(process.argv[2] || 'build-web/site');
const seconds = Number(process.argv[3] || 10);

// The processor seconds so far of a process and all its descendants, from /proc (Linux).
function treeCpuSeconds(pid) {
    const ticksPerSecond = 100;
    let total = 0;
    const walk = (id) => {
        try {
            const fields = fs.readFileSync(`/proc/${id}/stat`, 'utf8').replace(/^.*\) /, '').split(' ');
            total += (Number(fields[11]) + Number(fields[12])) / ticksPerSecond;
            for (const task of fs.readdirSync(`/proc/${id}/task`))
                for (const child of fs.readFileSync(`/proc/${id}/task/${task}/children`, 'utf8').split(' ').filter(Boolean))
                    walk(child);
        } catch (error) {
            // A process that ended meanwhile counts no further.
        }
    };
    walk(pid);
    return total;
}

// The processor seconds of everything this script started but the page server: chromium and its helpers.
function browserCpuSeconds(server) {
    return fs.readFileSync(`/proc/${process.pid}/task/${process.pid}/children`, 'utf8').split(' ').filter(Boolean)
        .filter((pid) => Number(pid) !== server.pid).reduce((sum, pid) => sum + treeCpuSeconds(pid), 0);
}

// Every file of the site as web/serve.js sends it: gzip where it compresses, the pictures as they are. The worker's
// own requests (the sound maker) and the service worker's copy of the site are not among the page's network events.
function siteWeight() {
    const files = fs.readdirSync(site, {recursive: true}).map((name) => path.join(site, name))
        .filter((file) => fs.statSync(file).isFile());
    return files.reduce((sum, file) => sum + (file.endsWith('.png') ? fs.statSync(file).size
                                                                       : zlib.gzipSync(fs.readFileSync(file), {level: 9}).length), 0);
}

const metric = (metrics, name) => metrics.find((m) => m.name === name).value;

// Lighthouse's mobile profile, in Chromium's own emulation: 150 ms round trip, 1.6 Mbit/s down, 750 kbit/s up,
// the processor four times slower.
const phoneNetwork = {offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 750e3 / 8};
const phoneProcessor = 4;

// Notes when the page first puts a picture on the canvas: the opening screen; and keeps every canvas the page
// makes, to count their memory.
function markFirstDraw() {
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        window.firstDraw = window.firstDraw || performance.now();
        // The opening screen's width in the game's device pixels.
        window.firstWidth = window.firstWidth || args[5];
        return put.apply(this, args);
    };
    const create = Document.prototype.createElement;
    window.madeCanvases = [];
    Document.prototype.createElement = function (...args) {
        const element = create.apply(this, args);
        if (element instanceof HTMLCanvasElement)
            window.madeCanvases.push(element);
        return element;
    };
}

// A second visit with no network: the first keeps the site (its service worker), then the page server stops, and
// each visit after is timed from navigation to the opening screen drawn, unthrottled and with the processor 4x
// slower.
async function offlineStartUp(browser) {
    const {server, url} = await serve(site);
    const page = await browser.newPage({viewport: {width: 640, height: 560}});
    await page.addInitScript(markFirstDraw);
    await page.goto(url);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, {timeout: 30000});
    await stop(server);
    const cdp = await page.context().newCDPSession(page);
    for (const rate of [1, 4]) {
        await cdp.send('Emulation.setCPUThrottlingRate', {rate});
        const times = [];
        for (let run = 0; run < 3; ++run) {
            await page.goto('about:blank');
            await page.goto(url);
            await page.waitForFunction(() => window.firstDraw && Module.calledRun, null, {timeout: 30000});
            times.push(await page.evaluate(() => window.firstDraw));
        }
        console.log(`second visit with no network${rate > 1 ? `, processor ${rate}x slower` : ''}: opening screen drawn ` +
                    `${times.map((t) => t.toFixed(0)).join(', ')} ms after navigation`);
    }
    await page.context().close();
}

// A computer's window, the phone whose game draws at the largest scale, 4 device pixels per art pixel, and the
// tablet whose picture is the largest, enlarged from that scale and reduced.
const computer = {viewport: {width: 640, height: 560}};
const largestPhone = {viewport: {width: 430, height: 932}, deviceScaleFactor: 3, isMobile: true, hasTouch: true};
const largestTablet = {viewport: {width: 1024, height: 1366}, deviceScaleFactor: 2, isMobile: true, hasTouch: true};

// A fresh page under a profile (or none), with the test's game controllers to plug in if asked, ready once its
// opening screen is drawn.
async function openPage(browser, url, {network = null, processor = 1, device = computer, pads = false} = {}) {
    const page = await browser.newPage(device);
    await page.addInitScript(markFirstDraw);
    if (pads)
        await page.addInitScript(fakePads);
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Performance.enable');
    if (network)
        await cdp.send('Network.emulateNetworkConditions', network);
    await cdp.send('Emulation.setCPUThrottlingRate', {rate: processor});
    const sent = new Map();
    cdp.on('Network.responseReceived', ({requestId, response}) => sent.set(requestId, {url: response.url, bytes: 0}));
    cdp.on('Network.loadingFinished', ({requestId, encodedDataLength}) => {
        if (sent.has(requestId))
            sent.get(requestId).bytes = encodedDataLength;
    });
    await page.goto(url);
    await page.waitForFunction(() => window.firstDraw && Module.calledRun, null, {timeout: 60000});
    return {page, cdp, sent};
}

// Navigation to the first paint and to the opening screen, and the bytes that had arrived by the opening screen.
async function loadFigures(browser, url, name, profile) {
    const {page, sent} = await openPage(browser, url, profile);
    const figures = await page.evaluate(() => ({
        paint: performance.getEntriesByName('first-paint')[0].startTime, opening: window.firstDraw,
        bytes: performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'))
            .filter((entry) => entry.responseEnd <= window.firstDraw).reduce((sum, entry) => sum + entry.transferSize, 0),
    }));
    console.log(`${name}: first paint ${figures.paint.toFixed(0)} ms, opening screen ${figures.opening.toFixed(0)} ms ` +
                `after navigation, ${(figures.bytes / 1024).toFixed(0)} KB arrived by then`);
    // The rest of the page's files (its sounds' maker, the service worker) come after.
    await page.waitForLoadState('networkidle');
    await page.close();
    return sent;
}

// The page's shares of a core while the work given runs: its main thread, its scripts and all chromium processes,
// in per cent, with the page's metrics at the end.
async function coreShares(cdp, server, work) {
    const snapshot = async () => ({metrics: (await cdp.send('Performance.getMetrics')).metrics, wall: Date.now(),
                                   cpu: browserCpuSeconds(server)});
    const before = await snapshot();
    await work();
    const after = await snapshot();
    const wall = (after.wall - before.wall) / 1000;
    const share = (metricName) => (metric(after.metrics, metricName) - metric(before.metrics, metricName)) / wall * 100;
    return {wall, main: share('TaskDuration').toFixed(1), script: share('ScriptDuration').toFixed(1),
            all: ((after.cpu - before.cpu) / wall * 100).toFixed(1), metrics: after.metrics};
}

// The page's share of a core during a round with a key a second, measured past its START, the game's scale, and
// the memory the game and its canvas take.
async function roundFigures(browser, {url, server}, name, processor, device = computer) {
    const {page, cdp} = await openPage(browser, url, {processor, device});
    await page.click('#game');
    await page.keyboard.press('Space');
    await page.waitForTimeout(1500);
    const shares = await coreShares(cdp, server, async () => {
        for (let i = 0; i < seconds; ++i) {
            await page.keyboard.press('asdf'[i % 4]);
            await page.waitForTimeout(1000);
        }
    });
    const scale = await page.evaluate(() => window.firstWidth / 400);
    console.log(`${name}, the game at device scale ${scale}, ${shares.wall.toFixed(1)} s: page main thread ` +
                `${shares.main} % of a core (script ${shares.script} %) [target <= ${processor > 1 ? 20 : 5} %]; ` +
                `all chromium processes ${shares.all} %`);
    const memory = await page.evaluate(() => [document.getElementById('game'), ...window.madeCanvases]
        .map((canvas) => canvas.width * canvas.height * 4).concat(Module.HEAPU8.length));
    const megabytes = (bytes) => (bytes / 1048576).toFixed(1);
    console.log(`memory: wasm ${megabytes(memory.at(-1))} MB, the canvas ${megabytes(memory[0])} MB, the canvases it is ` +
                `resampled on ${megabytes(memory.slice(1, -1).reduce((sum, bytes) => sum + bytes, 0))} MB, ` +
                `JS heap used ${megabytes(metric(shares.metrics, 'JSHeapUsedSize'))} MB`);
    await page.context().close();
}

// The page's share of a core while the game waits on its opening screen, with no game controller and then with
// one of the test's plugged in, which the page reads 60 times a second.
async function waitingFigures(browser, {url, server}) {
    const {page, cdp} = await openPage(browser, url, {pads: true});
    await page.waitForTimeout(1500);
    const wait = () => page.waitForTimeout(seconds * 1000);
    const without = await coreShares(cdp, server, wait);
    await page.evaluate(() => testPads.connect());
    const attached = await coreShares(cdp, server, wait);
    const shown = ({main, script, all}) => `page main thread ${main} % of a core (script ${script} %), all chromium ` +
                                           `processes ${all} %`;
    console.log(`waiting, ${seconds} s each: without a game controller ${shown(without)}; with one ${shown(attached)}`);
    await page.close();
}

// The picture at the sizes of phones, tablets and computers (CSS pixels, device pixel ratio, touch screen, and the
// screen where a browser's bars take part of it), each page started afresh, and the 430-pixel phone turned after its
// start either way: the game's device scale, the picture's size, and its share of the width (upright) or of the
// height below the menu bar (turned).
async function pictureSizes(browser, url) {
    const sizes = [[320, 568, 2, true], [375, 667, 2, true], [360, 640, 3, true], [390, 844, 3, true],
                   [844, 390, 3, true], [412, 915, 2.625, true], [430, 932, 3, true], [932, 430, 3, true],
                   [390, 664, 3, true, {width: 390, height: 844}], [750, 340, 3, true, {width: 844, height: 390}],
                   [835, 332, 2.625, true, {width: 915, height: 412}], [720, 280, 3, true, {width: 780, height: 360}],
                   [1180, 820, 2, true], [820, 1180, 2, true], [1024, 1366, 2, true],
                   [1366, 768, 1, false], [1920, 1080, 1, false], [1920, 1080, 2, false]];
    const shown = (page) => page.evaluate(() => {
        const box = document.getElementById('game').getBoundingClientRect();
        const upright = innerHeight > innerWidth;
        const room = upright ? innerWidth : innerHeight - document.getElementById('menubar').getBoundingClientRect().bottom;
        return `device scale ${firstWidth / 400}, ${box.width.toFixed(1)}x${box.height.toFixed(1)} CSS px ` +
               `(${(box.width * devicePixelRatio / 400).toFixed(2)} device px per art pixel), ` +
               `${(100 * (upright ? box.width : box.height) / room).toFixed(1)} % of the ${upright ? 'width' : 'height'}`;
    });
    for (const [width, height, ratio, touch, screen] of sizes) {
        const context = await browser.newContext({viewport: {width, height}, screen, deviceScaleFactor: ratio,
                                                  isMobile: touch, hasTouch: touch});
        const page = await context.newPage();
        await page.addInitScript(markFirstDraw);
        await page.goto(url);
        await page.waitForFunction(() => Module.calledRun && window.firstWidth, null, {timeout: 30000});
        const bars = screen ? `, the screen ${screen.width}x${screen.height}` : '';
        console.log(`picture at ${width}x${height}, ratio ${ratio}${touch ? ', touch' : ''}${bars}: ${await shown(page)}`);
        if (width === 430 || width === 932) {
            await page.setViewportSize({width: height, height: width});
            await page.waitForTimeout(200);
            console.log(`  turned to ${height}x${width}: ${await shown(page)}`);
        }
        await context.close();
    }
}

// The time from the input event to the start of its mole sound in the page's audio graph, by touch key, by keyboard
// and by a game controller's d-pad (from the button going down in the test's pad, plugged in for its rounds alone),
// each hole's first press in a round (a struck mole locks its key).
async function moleSoundDelays(browser, url) {
    const context = await browser.newContext({viewport: {width: 390, height: 844}, deviceScaleFactor: 3, isMobile: true,
                                              hasTouch: true});
    const page = await context.newPage();
    await page.addInitScript(fakePads);
    await page.addInitScript(() => {
        window.inputs = [];
        window.moleStarts = [];
        for (const type of ['pointerdown', 'keydown'])
            window.addEventListener(type, (event) => inputs.push(event.timeStamp), true);
        const start = AudioBufferSourceNode.prototype.start;
        AudioBufferSourceNode.prototype.start = function (...args) {
            if (zubotta.sound.sounds.get(7) && this.buffer === zubotta.sound.sounds.get(7).buffer)
                moleStarts.push(performance.now());
            return start.apply(this, args);
        };
    });
    await page.goto(url);
    await page.waitForFunction(() => Module.calledRun &&
                               [...zubotta.sound.sounds.values()].every((sound) => sound.buffer), null, {timeout: 30000});
    const cdp = await context.newCDPSession(page);
    const centre = async (selector) => {
        const box = await page.locator(selector).boundingBox();
        return {x: box.x + box.width / 2, y: box.y + box.height / 2};
    };
    const touch = async (selector) => {
        await cdp.send('Input.dispatchTouchEvent', {type: 'touchStart', touchPoints: [await centre(selector)]});
        await cdp.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: []});
    };
    // The d-pad's left, down, up and right.
    const padButtons = {a: 14, s: 13, d: 12, f: 15};
    const delays = {touch: [], keyboard: [], pad: []};
    for (let round = 0; round < 9; ++round) {
        const way = Object.keys(delays)[round % 3];
        if (way === 'pad')
            await page.evaluate(() => testPads.connect());
        await touch('#space-key');
        await page.waitForFunction(() => Module._zubotta_round_running(), null, {timeout: 30000});
        // Past START's second, which holds every event back.
        await page.waitForTimeout(1200);
        for (const letter of 'asdf') {
            const [inputs, starts] = await page.evaluate(() => [inputs.length, moleStarts.length]);
            if (way === 'touch')
                await touch(`.key[data-key="${letter}"]`);
            else if (way === 'keyboard')
                await page.keyboard.press(letter);
            else
                await page.evaluate((button) => { testPads.press(0, [button], true); inputs.push(performance.now()); },
                                    padButtons[letter]);
            await page.waitForFunction((n) => moleStarts.length > n, starts, {timeout: 10000});
            delays[way].push(await page.evaluate((n) => moleStarts.at(-1) - inputs[n], inputs));
            if (way === 'pad')
                await page.evaluate((button) => testPads.press(0, [button], false), padButtons[letter]);
        }
        if (way === 'pad')
            await page.evaluate(() => testPads.disconnect(0));
    }
    const describe = (list) => {
        const sorted = [...list].sort((a, b) => a - b);
        return `median ${sorted[sorted.length >> 1].toFixed(1)} ms, at most ${sorted.at(-1).toFixed(1)} ms (${list.length} presses)`;
    };
    console.log(`touch key to its mole sound's start: ${describe(delays.touch)}`);
    console.log(`keyboard key to its mole sound's start: ${describe(delays.keyboard)}`);
    console.log(`game controller's d-pad to its mole sound's start: ${describe(delays.pad)}`);
    await context.close();
}

async function main() {
    if (!fs.existsSync(path.join(site, 'zubotta.wasm'))) {
        console.log(`no built page in ${site}`);
        process.exit(1);
    }
    const {chromium} = require('playwright-core');
    const {server, url} = await serve(site);
    const browser = await launch(chromium);
    try {
        const sent = await loadFigures(browser, url, 'unthrottled [targets: opening within 1 s]', {});
        console.log(`the whole site, gzip as served: ${(siteWeight() / 1048576).toFixed(2)} MB [target <= 1 MB]`);
        const total = [...sent.values()].reduce((sum, r) => sum + r.bytes, 0);
        const wasm = [...sent.values()].filter((r) => r.url.endsWith('.wasm')).reduce((sum, r) => sum + r.bytes, 0);
        console.log(`the page's own transfer: ${(total / 1048576).toFixed(2)} MB in ${sent.size} responses, gzip as ` +
                    `served (WebAssembly ${(wasm / 1024).toFixed(0)} KB)`);
        await loadFigures(browser, url, 'phone profile [targets: first paint within 1.5 s, opening within 4 s]',
                          {network: phoneNetwork, processor: phoneProcessor});
        await roundFigures(browser, {url, server}, 'round on a computer', 1);
        await roundFigures(browser, {url, server}, 'round on a computer, processor 4x slower', phoneProcessor);
        await roundFigures(browser, {url, server}, 'round on a 430x932 phone', 1, largestPhone);
        await roundFigures(browser, {url, server}, 'round on a 430x932 phone, processor 4x slower', phoneProcessor,
                           largestPhone);
        await roundFigures(browser, {url, server}, 'round on a 1024x1366 tablet', 1, largestTablet);
        await roundFigures(browser, {url, server}, 'round on a 1024x1366 tablet, processor 4x slower', phoneProcessor,
                           largestTablet);
        await waitingFigures(browser, {url, server});
        await offlineStartUp(browser);
        await moleSoundDelays(browser, url);
        await pictureSizes(browser, url);
    } finally {
        await browser.close();
        server.kill();
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
