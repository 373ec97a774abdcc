// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the browser page, printed, never judged (machines are shared and noisy): the bytes sent as served
// compressed, the first paint and the opening screen unthrottled and under a phone's profile, the page's
// processor time during a round, memory, and the start-up of a second visit with no network.
//
// usage: node bench.js <site folder> [seconds of round measured, default 10]
'use strict';
const fs = require('fs');
const path = require('path');
const {serve, stop, launch} = require('./page_server');

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

// Lighthouse's mobile profile, in Chromium's own emulation: 150 ms round trip, 1.6 Mbit/s down, 750 kbit/s up,
// the processor four times slower.
const phoneNetwork = {offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 750e3 / 8};
const phoneProcessor = 4;

// Notes when the page first puts a picture on the canvas: the opening screen.
function markFirstDraw() {
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        window.firstDraw = window.firstDraw || performance.now();
        return put.apply(this, args);
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

// A fresh page under a profile (or none), ready once its opening screen is drawn.
async function openPage(browser, url, {network = null, processor = 1} = {}) {
    const page = await browser.newPage({viewport: {width: 640, height: 560}});
    await page.addInitScript(markFirstDraw);
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

// The page's share of a core during a round with a key a second, measured past its START.
async function roundFigures(browser, {url, server}, name, processor) {
    const {page, cdp} = await openPage(browser, url, {processor});
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
    const share = (metricName) => (metric(after.metrics, metricName) - metric(before.metrics, metricName)) / wall * 100;
    console.log(`${name}, ${wall.toFixed(1)} s: page main thread ${share('TaskDuration').toFixed(1)} % of a core ` +
                `(script ${share('ScriptDuration').toFixed(1)} %) [target <= 5 % unthrottled]; all chromium processes ` +
                `${((after.cpu - before.cpu) / wall * 100).toFixed(1)} %`);
    const memory = await page.evaluate(() => Module.HEAPU8.length);
    console.log(`memory: wasm ${(memory / 1048576).toFixed(1)} MB, JS heap used ` +
                `${(metric(after.metrics, 'JSHeapUsedSize') / 1048576).toFixed(1)} MB`);
    await page.close();
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
        const total = [...sent.values()].reduce((sum, r) => sum + r.bytes, 0);
        const wasm = [...sent.values()].filter((r) => r.url.endsWith('.wasm')).reduce((sum, r) => sum + r.bytes, 0);
        console.log(`transfer: ${(total / 1048576).toFixed(2)} MB in ${sent.size} responses, gzip as served ` +
                    `(WebAssembly ${(wasm / 1024).toFixed(0)} KB) [target <= 1 MB]`);
        await loadFigures(browser, url, 'phone profile [targets: first paint within 1.5 s, opening within 4 s]',
                          {network: phoneNetwork, processor: phoneProcessor});
        await roundFigures(browser, {url, server}, 'round', 1);
        await roundFigures(browser, {url, server}, 'round, processor 4x slower', phoneProcessor);
        await offlineStartUp(browser);
    } finally {
        await browser.close();
        server.kill();
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
