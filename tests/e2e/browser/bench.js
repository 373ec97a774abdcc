// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the browser page, printed, never judged (machines are shared and noisy): the bytes sent as served
// compressed, the time from navigation to the opening screen, the processor time during a round, memory, the time
// from a touch or a key to its mole sound, and the picture's scale and size on phones, tablets and computers.
//
// usage: node bench.js <site folder> [seconds of round measured, default 10]
'use strict';
const fs = require('fs');
const path = require('path');
const {serve, launch} = require('./page_server');

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

const metric = (metrics, name) => metrics.find((m) => m.name === name).value;

// The picture at the sizes of phones, tablets and computers (CSS pixels, device pixel ratio, touch screen), each
// page started afresh, and the 430-pixel phone started upright and turned mid-game.
async function pictureSizes(browser, url) {
    const sizes = [[320, 568, 2, true], [390, 844, 3, true], [844, 390, 3, true], [412, 915, 2.625, true],
                   [430, 932, 3, true], [932, 430, 3, true], [1180, 820, 2, true], [820, 1180, 2, true],
                   [1366, 768, 1, false], [1920, 1080, 1, false], [1920, 1080, 2, false]];
    const shown = (page) => page.evaluate(() => {
        const canvas = document.getElementById('game');
        const box = canvas.getBoundingClientRect();
        return `device scale ${canvas.width / 400}, ${box.width.toFixed(1)}x${box.height.toFixed(1)} CSS px ` +
               `(${(box.width * devicePixelRatio / 400).toFixed(2)} device px per art pixel)`;
    });
    for (const [width, height, ratio, touch] of sizes) {
        const context = await browser.newContext({viewport: {width, height}, deviceScaleFactor: ratio, isMobile: touch,
                                                  hasTouch: touch});
        const page = await context.newPage();
        await page.goto(url);
        await page.waitForFunction(() => Module.calledRun, null, {timeout: 30000});
        console.log(`picture at ${width}x${height}, ratio ${ratio}${touch ? ', touch' : ''}: ${await shown(page)}`);
        if (width === 430) {
            await page.setViewportSize({width: height, height: width});
            await page.waitForTimeout(200);
            console.log(`  turned to ${height}x${width}: ${await shown(page)}`);
        }
        await context.close();
    }
}

// The time from the input event to the start of its mole sound in the page's audio graph, by touch key and by
// keyboard, each hole's first press in a round (a struck mole locks its key).
async function moleSoundDelays(browser, url) {
    const context = await browser.newContext({viewport: {width: 390, height: 844}, deviceScaleFactor: 3, isMobile: true,
                                              hasTouch: true});
    const page = await context.newPage();
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
    await page.waitForFunction(() => Module.calledRun, null, {timeout: 30000});
    const cdp = await context.newCDPSession(page);
    const centre = async (selector) => {
        const box = await page.locator(selector).boundingBox();
        return {x: box.x + box.width / 2, y: box.y + box.height / 2};
    };
    const touch = async (selector) => {
        await cdp.send('Input.dispatchTouchEvent', {type: 'touchStart', touchPoints: [await centre(selector)]});
        await cdp.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: []});
    };
    const delays = {touch: [], keyboard: []};
    for (let round = 0; round < 6; ++round) {
        const way = round % 2 ? 'keyboard' : 'touch';
        await touch('#space-key');
        await page.waitForFunction(() => Module._zubotta_round_running(), null, {timeout: 30000});
        // Past START's second, which holds every event back.
        await page.waitForTimeout(1200);
        for (const letter of 'asdf') {
            const [inputs, starts] = await page.evaluate(() => [inputs.length, moleStarts.length]);
            if (way === 'touch')
                await touch(`.key[data-key="${letter}"]`);
            else
                await page.keyboard.press(letter);
            await page.waitForFunction((n) => moleStarts.length > n, starts, {timeout: 10000});
            delays[way].push(await page.evaluate((n) => moleStarts.at(-1) - inputs[n], inputs));
        }
    }
    const describe = (list) => {
        const sorted = [...list].sort((a, b) => a - b);
        return `median ${sorted[sorted.length >> 1].toFixed(1)} ms, at most ${sorted.at(-1).toFixed(1)} ms (${list.length} presses)`;
    };
    console.log(`touch key to its mole sound's start: ${describe(delays.touch)}`);
    console.log(`keyboard key to its mole sound's start: ${describe(delays.keyboard)}`);
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
        const page = await browser.newPage({viewport: {width: 640, height: 560}});
        await page.addInitScript(() => {
            const put = CanvasRenderingContext2D.prototype.putImageData;
            CanvasRenderingContext2D.prototype.putImageData = function (...args) {
                window.firstDraw = window.firstDraw || performance.now();
                return put.apply(this, args);
            };
        });
        const cdp = await page.context().newCDPSession(page);
        await cdp.send('Network.enable');
        await cdp.send('Performance.enable');
        const sent = new Map();
        cdp.on('Network.responseReceived', ({requestId, response}) => sent.set(requestId, {url: response.url, bytes: 0}));
        cdp.on('Network.loadingFinished', ({requestId, encodedDataLength}) => {
            if (sent.has(requestId))
                sent.get(requestId).bytes = encodedDataLength;
        });

        await page.goto(url);
        await page.waitForFunction(() => window.firstDraw && Module.calledRun, null, {timeout: 30000});
        const opening = await page.evaluate(() => window.firstDraw);
        await page.waitForLoadState('networkidle');
        const total = [...sent.values()].reduce((sum, r) => sum + r.bytes, 0);
        const sounds = [...sent.values()].filter((r) => r.url.includes('/sounds/')).reduce((sum, r) => sum + r.bytes, 0);
        const wasm = [...sent.values()].filter((r) => r.url.endsWith('.wasm')).reduce((sum, r) => sum + r.bytes, 0);
        console.log(`transfer: ${(total / 1048576).toFixed(2)} MB in ${sent.size} responses ` +
                    `(sounds ${(sounds / 1048576).toFixed(2)} MB, wasm ${(wasm / 1024).toFixed(0)} KB) [target <= 2 MB]`);
        console.log(`opening screen drawn ${opening.toFixed(0)} ms after navigation [target <= 1000 ms]`);

        // A round under way, with a few keys, measured past its START.
        await page.click('#game');
        await page.keyboard.press('Space');
        await page.waitForTimeout(1500);
        const before = {metrics: (await cdp.send('Performance.getMetrics')).metrics, wall: Date.now(),
                        cpu: browserCpuSeconds(server)};
        for (let i = 0; i < seconds; ++i) {
            await page.keyboard.press('asdf'[i % 4]);
            await page.waitForTimeout(1000);
        }
        const after = {metrics: (await cdp.send('Performance.getMetrics')).metrics, wall: Date.now(),
                       cpu: browserCpuSeconds(server)};
        const wall = (after.wall - before.wall) / 1000;
        const share = (name) => (metric(after.metrics, name) - metric(before.metrics, name)) / wall * 100;
        console.log(`round, ${wall.toFixed(1)} s: page main thread ${share('TaskDuration').toFixed(1)} % of a core ` +
                    `(script ${share('ScriptDuration').toFixed(1)} %) [target <= 5 %]; all chromium processes ` +
                    `${((after.cpu - before.cpu) / wall * 100).toFixed(1)} %`);
        const memory = await page.evaluate(() => Module.HEAPU8.length);
        console.log(`memory: wasm ${(memory / 1048576).toFixed(1)} MB, JS heap used ` +
                    `${(metric(after.metrics, 'JSHeapUsedSize') / 1048576).toFixed(1)} MB`);
        await page.close();
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
