// SPDX-License-Identifier: GPL-3.0-or-later
// The page installed and played with no network, in chromium with a lasting profile of its own (installability is
// not reported in incognito ones): the manifest and its icons, no installability errors, the whole site kept on
// the first visit, a round with its sounds on a second visit with the page server stopped, and a changed build
// taken whole, never mixed with the kept one. play.js runs it; its checks count with play.js's.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {execFileSync} = require('child_process');
const {serve, stop, launchWithProfile} = require('./page_server');
const {handles, moleArea, check, watchPage, signature, poll, until} = require('./page_checks');

const source = path.join(__dirname, '..', '..', '..', 'web');

// Every file of a site folder but its service worker, by its path in the site, with the SHA-256 of its contents.
function siteFiles(folder, under = '') {
    const files = {};
    for (const entry of fs.readdirSync(path.join(folder, under), {withFileTypes: true})) {
        const name = path.posix.join(under, entry.name);
        if (entry.isDirectory())
            Object.assign(files, siteFiles(folder, name));
        else if (name !== 'service_worker.js')
            files[name] = crypto.createHash('sha256').update(fs.readFileSync(path.join(folder, name))).digest('hex');
    }
    return files;
}

// What the page's origin keeps: each cache by name, with its files as siteFiles gives them.
function keptSite() {
    const hex = (digest) => [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join('');
    return caches.keys().then((names) => Promise.all(names.map(async (name) => {
        const cache = await caches.open(name);
        const files = {};
        for (const request of await cache.keys()) {
            const body = await (await cache.match(request)).arrayBuffer();
            files[decodeURIComponent(new URL(request.url).pathname.slice(1))] = hex(await crypto.subtle.digest('SHA-256', body));
        }
        return [name, files];
    }))).then(Object.fromEntries);
}

const sameFiles = (a, b) => JSON.stringify(Object.entries(a).sort()) === JSON.stringify(Object.entries(b).sort());
// The build's version, as the build wrote it into the site's service worker.
const versionOf = (site) => /const version = '(\w+)'/.exec(fs.readFileSync(path.join(site, 'service_worker.js'), 'utf8'))[1];

// The service worker versions chromium reports, by id, with their status as it changes.
async function watchWorkers(cdp) {
    const workers = new Map();
    cdp.on('ServiceWorker.workerVersionUpdated', ({versions}) => versions.forEach((v) => workers.set(v.versionId, v.status)));
    await cdp.send('ServiceWorker.enable');
    return workers;
}

// Waits until the workers' statuses pass the test, and gives what it found.
async function untilWorkers(workers, what, test) {
    let found;
    await poll(what, () => (found = test([...workers])));
    return found;
}

async function visit(page, url) {
    await page.goto('about:blank');
    await page.goto(url);
    await until(page, 'the opening screen', () => typeof Module !== 'undefined' && Module.calledRun && audit.draws.length > 0);
}

// The manifest as chromium reads it, every icon it and the page name loaded at its size, and no reason not to
// install the page.
async function checkManifest(page, cdp) {
    const {url, errors, data} = await cdp.send('Page.getAppManifest');
    const manifest = data ? JSON.parse(data) : {};
    check('the manifest parses with a name, start, scope, display and colours',
          errors.length === 0 && manifest.name === 'Zubotta' && manifest.short_name && manifest.start_url &&
          manifest.scope && ['standalone', 'fullscreen'].includes(manifest.display) &&
          /^#[0-9a-f]{6}$/i.test(manifest.theme_color) && /^#[0-9a-f]{6}$/i.test(manifest.background_color),
          JSON.stringify({errors, manifest}));
    const linked = await page.evaluate(() => [...document.querySelectorAll('link[rel~="icon"], link[rel="apple-touch-icon"]')]
        .map((link) => ({src: link.href, sizes: link.sizes.value || 'any'})));
    const named = [...(manifest.icons || []).map((icon) => ({...icon, src: new URL(icon.src, url).href, ofManifest: true})),
                   ...linked];
    const icons = await page.evaluate((icons) => Promise.all(icons.map(async (icon) => {
        const image = new Image();
        image.src = icon.src;
        try {
            await image.decode();
        } catch (error) {
            return {...icon, loaded: false};
        }
        // A launcher may cut a maskable icon to any shape that holds its middle circle of 80% of its width: all
        // outside that circle must be one opaque background.
        const canvas = new OffscreenCanvas(image.width, image.height).getContext('2d');
        canvas.drawImage(image, 0, 0);
        const pixels = new Uint32Array(canvas.getImageData(0, 0, image.width, image.height).data.buffer);
        const fromMiddle = (i) => Math.hypot(i % image.width + 0.5 - image.width / 2,
                                             Math.floor(i / image.width) + 0.5 - image.height / 2);
        const outside = pixels.filter((_, i) => fromMiddle(i) > 0.4 * image.width);
        const opaqueBackground = outside.every((pixel) => pixel === outside[0]) && outside[0] >>> 24 === 255;
        return {...icon, loaded: true, size: `${image.width}x${image.height}`, opaqueBackground};
    })), named);
    const bad = icons.filter((icon) => !icon.loaded || (icon.sizes !== 'any' && icon.sizes !== icon.size));
    check('every icon of the manifest and the page loads at its size', icons.length > 0 && bad.length === 0,
          JSON.stringify(bad));
    const purposes = (icon) => (icon.purpose || 'any').split(' ');
    const plain = icons.filter((icon) => icon.ofManifest && purposes(icon).includes('any'));
    const maskable = icons.filter((icon) => icon.ofManifest && purposes(icon).includes('maskable'));
    check('icons of 192 and 512 pixels, and a maskable one with the picture within its middle circle',
          ['192x192', '512x512'].every((size) => plain.some((icon) => icon.size === size)) && maskable.length > 0 &&
          maskable.every((icon) => icon.opaqueBackground), JSON.stringify(icons.filter((icon) => icon.ofManifest)));
    const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
    check('chromium finds the page installable', installabilityErrors.length === 0, JSON.stringify(installabilityErrors));
}

// A round begun with no network: the tune after the first key, a letter raising its mole with its sound.
async function playOffline(page) {
    const rest = await signature(page, moleArea(2));
    await page.keyboard.press('x');
    await until(page, 'the tune after the first key with no network',
                () => zubotta.sound.context.state === 'running' && zubotta.sound.sounding(4) === 1);
    await page.keyboard.press('Space');
    await page.keyboard.press('s');
    await until(page, 'the mole of hole 2 rising with no network',
                ({x, y, width, height, rest}) => areaSignature(x, y, width, height) !== rest, {...moleArea(2), rest});
    const moleSounds = await page.evaluate((handle) => audit.starts.filter((e) => e.handle === handle).length, handles.モグラ);
    check('with no network, the tune plays and a letter raises its mole with its sound', moleSounds === 1,
          `${moleSounds} mole sounds`);
}

// A copy of the site with its style changed, and its service worker written anew by the build's own script.
function changedBuild(site, folder) {
    fs.cpSync(site, folder, {recursive: true});
    fs.appendFileSync(path.join(folder, 'page.css'), ':root { --build: "changed"; }\n');
    execFileSync(process.env.CMAKE_COMMAND || 'cmake', [`-DSITE=${folder}`, `-DWORKER=${path.join(source, 'service_worker.js')}`,
                           '-P', path.join(source, 'offline_site.cmake')]);
    return folder;
}

// What the page shows of its build: the style it runs with and the one it gets when it asks now.
const buildSeen = (page) => page.evaluate(async () => ({
    running: getComputedStyle(document.documentElement).getPropertyValue('--build').trim(),
    fetched: /--build/.test(await (await fetch('page.css')).text()),
}));

module.exports = async function offline(chromium, site) {
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'zubotta-offline-'));
    let {server, url} = await serve(site);
    const context = await launchWithProfile(chromium, path.join(scratch, 'profile'), {viewport: {width: 640, height: 560}});
    try {
        await context.addInitScript(watchPage);
        const page = context.pages()[0] || await context.newPage();
        const errors = [];
        page.on('pageerror', (error) => errors.push(error.message));
        const cdp = await context.newCDPSession(page);
        const workers = await watchWorkers(cdp);

        console.log('-- installed and played with no network');
        await visit(page, url);
        await until(page, 'a service worker controlling the first visit', () => navigator.serviceWorker.controller !== null);
        const kept = await page.evaluate(keptSite);
        const files = siteFiles(site);
        check('the first visit keeps every file of the site in one cache',
              Object.keys(kept).length === 1 && sameFiles(Object.values(kept)[0], files),
              JSON.stringify({kept: Object.fromEntries(Object.entries(kept).map(([n, f]) => [n, Object.keys(f)])),
                              site: Object.keys(files)}));
        await checkManifest(page, cdp);

        await stop(server);
        await visit(page, url);
        await playOffline(page);

        console.log('-- a changed build');
        const changed = changedBuild(site, path.join(scratch, 'changed'));
        check('a changed file gives the build a new version', versionOf(changed) !== versionOf(site));
        ({server} = await serve(changed, new URL(url).port));
        // The visit that finds the new build is still the kept one's, to its end.
        await visit(page, url);
        const [waiting] = await untilWorkers(workers, 'the changed build installed and waiting',
                                             (all) => all.find(([, status]) => status === 'installed'));
        const during = await buildSeen(page);
        check('the page running when the changed build arrives gets only its own build\'s files',
              !during.running && !during.fetched, JSON.stringify(during));
        // Once the kept build's last page has gone, the changed one takes over; a visit before that would still be
        // the kept build's, whole.
        await page.goto('about:blank');
        await untilWorkers(workers, 'the changed build active',
                           (all) => all.some(([id, status]) => id === waiting && /^activat/.test(status)));
        await visit(page, url);
        const after = {...await buildSeen(page), kept: await page.evaluate(keptSite)};
        const [[name, keptFiles] = []] = Object.entries(after.kept);
        check('the next visit takes the changed build whole, its cache alone',
              after.running === '"changed"' && after.fetched && Object.keys(after.kept).length === 1 &&
              name.endsWith(versionOf(changed)) && sameFiles(keptFiles, siteFiles(changed)),
              JSON.stringify({...after, kept: Object.keys(after.kept)}));
        check('no script errors installed or with no network', errors.length === 0, errors.join('; '));
    } finally {
        await context.close();
        await stop(server);
        fs.rmSync(scratch, {recursive: true, force: true});
    }
};
