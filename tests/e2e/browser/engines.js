// SPDX-License-Identifier: GPL-3.0-or-later
// The browser page in the two other engines players meet: Firefox ESR, headless over WebDriver BiDi, and
// WebKitGTK, Safari's engine, through WebKitWebDriver in a private X server. Both sound through a private
// PulseAudio server. In one browser session: the opening screen against the golden images at device scales 1
// and 2, the sounds the engine made against the desktop's and the tune's seam as it holds it, the first key
// starting the tune, Space and a letter with its mole and sound, the about box, Esc closing a menu, and Esc; then,
// on the page loaded afresh, a round with game controllers: Firefox's own test controller through its gamepad
// service, and in WebKitGTK pads the test holds behind navigator.getGamepads().
//
// usage: node engines.js <firefox|webkit> <site folder> <golden folder> <output folder> [desktop's .wav folder]
// Exits 77 (skipped) when the site, the engine, its driver or a tool it needs is missing.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const {spawn, spawnSync} = require('child_process');
const {freePort, serve} = require('./page_server');
const {handles, moleArea, skip, skipUnlessBuilt, check, stopped, report, watchPage, fakePads, heldPads, padRound,
       goldenDifference, checkGolden, signature, startsOf, now, poll, until, untilChanged, proportionalMessage,
       tuneSeam} = require('./page_checks');

const [engine, siteArg, goldenArg, outputArg, wavesArg] = process.argv.slice(2);
if (engine !== 'firefox' && engine !== 'webkit') {
    console.error('usage: node engines.js <firefox|webkit> <site> <golden> <output> [.wav folder]');
    process.exit(2);
}
const site = path.resolve(siteArg || 'build-web/site');
const golden = path.resolve(goldenArg || path.join(__dirname, '..', '..', 'golden'));
const output = path.resolve(outputArg || 'e2e-browser');

const firefoxPath = process.env.FIREFOX || '/usr/bin/firefox-esr';
const webkitDriverPath = '/usr/bin/WebKitWebDriver';
// Debian keeps the driver's browser in the architecture's library folder.
const miniBrowserPath = fs.readdirSync('/usr/lib')
    .map((dir) => path.join('/usr/lib', dir, 'webkit2gtk-4.1', 'MiniBrowser')).find((file) => fs.existsSync(file));

function requireModule(name) {
    try {
        return require(name);
    } catch (error) {
        return skip(`${name} is not installed (npm ci in tests/e2e/browser)`);
    }
}

function requireTools(...tools) {
    for (const tool of tools) {
        if (spawnSync('sh', ['-c', `command -v ${tool}`], {stdio: 'ignore'}).status !== 0)
            skip(`${tool} is not installed`);
    }
}

skipUnlessBuilt(site);
requireTools('pulseaudio', 'pactl');
if (engine === 'firefox') {
    if (!fs.existsSync(firefoxPath))
        skip(`no Firefox at ${firefoxPath}`);
} else {
    if (!fs.existsSync(webkitDriverPath) || !miniBrowserPath)
        skip('no WebKitWebDriver with its MiniBrowser (Debian\'s webkit2gtk-driver)');
    requireTools('Xvfb', 'xsettingsd');
}
const driver = requireModule(engine === 'firefox' ? 'puppeteer-core' : 'selenium-webdriver');

// Every process started here, ended at the close.
const started = [];
function begin(command, args, options) {
    const child = spawn(command, args, options);
    started.push(child);
    return child;
}

// Ends a process and waits until it has: PulseAudio, say, writes in its runtime folder to the last.
function end(child) {
    if (child.exitCode !== null || child.signalCode !== null)
        return Promise.resolve();
    const ended = new Promise((resolve) => child.once('exit', resolve));
    child.kill();
    // One that does not end of itself is ended for good.
    const stubborn = setTimeout(() => child.kill('SIGKILL'), 5000);
    return ended.then(() => clearTimeout(stubborn));
}

// A private PulseAudio server with a null sink, found through its own runtime folder as a desktop's is.
async function soundServer(work) {
    const runtime = path.join(work, 'runtime');
    fs.mkdirSync(runtime, {mode: 0o700});
    const env = {...process.env, XDG_RUNTIME_DIR: runtime, HOME: work};
    const log = fs.openSync(path.join(work, 'pulseaudio.log'), 'w');
    begin('pulseaudio', ['--daemonize=no', '-n', '--exit-idle-time=-1', '--disallow-exit',
                         '--load=module-null-sink sink_name=zubotta_e2e',
                         '--load=module-native-protocol-unix auth-anonymous=1'], {env, stdio: ['ignore', log, log]});
    await poll('the PulseAudio server', () => spawnSync('pactl', ['info'], {env, stdio: 'ignore'}).status === 0);
    return env;
}

const streamsOnServer = (env) => spawnSync('pactl', ['list', 'short', 'sink-inputs'], {env}).stdout.toString().trim();

// A private X server on a display number it picks itself, large enough for the page at scale 2.
async function xServer(env) {
    const xvfb = begin('Xvfb', ['-displayfd', '3', '-screen', '0', '1600x1400x24', '-nolisten', 'tcp'],
                       {stdio: ['ignore', 'ignore', 'ignore', 'pipe']});
    const display = await new Promise((resolve, reject) => {
        xvfb.stdio[3].once('data', (data) => resolve(data.toString().trim()));
        xvfb.once('exit', () => reject(new Error('Xvfb did not start')));
    });
    const {GDK_SCALE, GDK_DPI_SCALE, ...rest} = env;
    return {...rest, DISPLAY: `:${display}`};
}

// Firefox's own test controller, through its gamepad service: a pad's index comes by a promise, which the page
// keeps on window for the test to poll.
const servicePads = (page) => ({
    async connect() {
        const slot = await page.evaluate(() => {
            const service = navigator.requestGamepadServiceTest();
            window.testPadIndices = window.testPadIndices || [];
            const at = testPadIndices.push(null) - 1;
            service.addGamepad('Zubotta test pad', service.standardMapping, service.noHand, 17, 4, 0, 0, 0)
                .then((index) => { testPadIndices[at] = index; });
            return at;
        });
        await until(page, 'Firefox\'s test controller', (at) => testPadIndices[at] !== null, slot);
        return page.evaluate((at) => testPadIndices[at], slot);
    },
    press: (index, buttons, pressed) => page.evaluate(({index, buttons, pressed}) => {
        const service = navigator.requestGamepadServiceTest();
        buttons.forEach((button) => service.newButtonEvent(index, button, pressed, pressed));
    }, {index, buttons, pressed}),
    disconnect: (index) => page.evaluate((index) => { navigator.requestGamepadServiceTest().removeGamepad(index); },
                                         index),
});

// Firefox ESR, headless, its device scale set per page over BiDi; the watcher runs before the page's scripts. It
// gives a page its test controller only under automation: a pref of the test's own profile, and no connections
// beyond this machine.
async function firefox(env) {
    const browser = await driver.launch({
        browser: 'firefox', executablePath: firefoxPath, headless: true,
        env: {...env, MOZ_DISABLE_NONLOCAL_CONNECTIONS: '1'},
        extraPrefsFirefox: {'dom.gamepad.test.enabled': true,
                            'security.turn_off_all_security_so_that_viruses_can_take_over_this_computer': true},
    });
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(watchPage);
    // Puppeteer's evaluations count as the player's gesture, which lets a page sound as a key does; the game
    // controllers' part evaluates through BiDi itself, without one, in the page's browsing context (its frame's id).
    const quiet = {
        async evaluate(fn, arg) {
            const {result} = await browser.connection.send('script.callFunction', {
                functionDeclaration: `async () => JSON.stringify(await (${fn})(${JSON.stringify(arg)}) ?? null)`,
                awaitPromise: true, target: {context: page.mainFrame()._id}, userActivation: false});
            if (result.type === 'exception')
                throw new Error(`in the page: ${result.exceptionDetails.text}`);
            return JSON.parse(result.result.value);
        },
    };
    return {
        padPage: () => ({page: quiet, pads: servicePads(quiet), soundByPad: false}),
        page,
        version: await browser.version(),
        async open(url, scale) {
            await page.setViewport({width: 640, height: 560, deviceScaleFactor: scale});
            await page.goto(url);
        },
        press: (key) => page.keyboard.press(key),
        click: (selector) => page.click(selector),
        screenshot: (file) => page.screenshot({path: file}),
        close: () => browser.close(),
    };
}

// WebKitGTK's MiniBrowser, as Safari asking for a key or click before it sounds. Its device scale is the
// desktop's, which GTK follows while it runs (XSETTINGS' window scaling factor, as GNOME sets it). WebDriver
// classic has no script before the page's own, so the watcher starts once the page has loaded.
async function webkit(env, work) {
    const settings = path.join(work, 'xsettings');
    const setScale = (scale) => fs.writeFileSync(settings, `Gdk/WindowScalingFactor ${scale}\n`);
    setScale(1);
    const xsettings = begin('xsettingsd', ['-c', settings], {env, stdio: 'ignore'});
    const port = await freePort();
    const log = fs.openSync(path.join(work, 'webkit.log'), 'w');
    begin(webkitDriverPath, [`--port=${port}`, '--host=127.0.0.1'], {env, stdio: ['ignore', log, log]});
    const answers = () => new Promise((resolve) => {
        const socket = net.connect(port, '127.0.0.1', () => { socket.end(); resolve(true); });
        socket.on('error', () => resolve(false));
    });
    await poll('WebKitWebDriver', answers);
    const {Builder, Capabilities, By, Key} = driver;
    const session = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities(new Capabilities({
        browserName: 'MiniBrowser',
        'webkitgtk:browserOptions': {binary: miniBrowserPath,
                                     args: ['--automation', '--media-playback-requires-user-gesture=true']},
    })).build();
    await session.manage().window().setRect({width: 640, height: 600});
    const page = {evaluate: (fn, arg) => session.executeScript(`return (${fn})(arguments[0]);`, arg)};
    const keys = {Escape: Key.ESCAPE};
    let scaleNow = 1;
    return {
        async padPage() {
            await page.evaluate(fakePads);
            return {page, pads: heldPads(page)};
        },
        page,
        version: (await session.getCapabilities()).get('browserVersion'),
        async open(url, scale) {
            if (scale !== scaleNow) {
                setScale(scale);
                xsettings.kill('SIGHUP');
                await until(page, `the desktop's scale ${scale}`, (s) => window.devicePixelRatio === s, scale);
                scaleNow = scale;
            }
            await session.get(url);
            await page.evaluate(watchPage);
        },
        press: (key) => session.actions().sendKeys(keys[key] || key).perform(),
        click: async (selector) => (await session.findElement(By.css(selector))).click(),
        screenshot: async (file) => fs.writeFileSync(file, await session.takeScreenshot(), 'base64'),
        close: () => session.quit(),
    };
}

async function openingScreens(browser, url) {
    for (const scale of [1, 2]) {
        console.log(`-- the opening screen at device scale ${scale}`);
        await browser.open(url, scale);
        // Whatever the page shows while it loads, the opening screen is the picture that stays; a wrong one is
        // reported once the wait is over.
        const name = `opening-scale${scale}.png`;
        await poll('the opening screen', async () => (await goldenDifference(browser.page, path.join(golden, name)))
            .differing === 0).catch(() => {});
        await checkGolden(browser.page, golden, name);
        await browser.screenshot(path.join(output, `${engine}-scale${scale}.png`));
    }
}

async function round({page, press, click, screenshot}, env) {
    console.log('-- the sounds and the first key');
    // The page's worker makes them after the opening screen; each comes to the sound library as it is made.
    await until(page, 'the seven sounds', () => zubotta.sound.sounds.size === 7 &&
                [...zubotta.sound.sounds.values()].every((sound) => sound.buffer));
    const seam = await page.evaluate(tuneSeam);
    check('the tune\'s buffer is its whole loop, 16 bars, and steps across the seam no more than beside it',
          seam.frames === 16 * 73500 && seam.rate === 44100 && seam.channels.every((c) => c.seam <= c.beside),
          JSON.stringify(seam));
    if (wavesArg) {
        // Each engine runs the page's own sound maker; it must make the very files the desktop plays.
        const shown = await page.evaluate(async (names) => Promise.all(names.map(async (name) => {
            const digest = await crypto.subtle.digest('SHA-256', Module.FS.readFile(`${name}.wav`));
            return [...new Uint8Array(digest)].map((byte) => byte.toString(16).padStart(2, '0')).join('');
        })), Object.keys(handles));
        const differing = Object.keys(handles).filter((name, i) => shown[i] !==
            crypto.createHash('sha256').update(fs.readFileSync(path.join(wavesArg, `${name}.wav`))).digest('hex'));
        check('the seven .wav files are the desktop\'s, byte for byte', differing.length === 0, differing.join(', '));
    }
    const before = await page.evaluate(() => ({state: zubotta.sound.context.state, tune: zubotta.sound.sounding(4)}));
    check('no sound before the first key', before.state === 'suspended' && before.tune === 0, JSON.stringify(before));
    await press('x');
    await until(page, 'the tune after the first key',
                () => zubotta.sound.context.state === 'running' && zubotta.sound.sounding(4) === 1);
    const tune = await startsOf(page, handles.BGM);
    check('the tune starts looping after the first key', tune.length === 1 && tune[0].loop, JSON.stringify(tune));
    try {
        await poll('a stream', () => streamsOnServer(env) !== '', 5000);
        check('the page plays into the sound server', true);
    } catch (error) {
        check('the page plays into the sound server', false, 'no stream on the private PulseAudio server');
    }

    console.log('-- a round');
    const rest = await Promise.all([1, 2, 3].map((hole) => signature(page, moleArea(hole))));
    await press(' ');
    await until(page, 'the round after Space', () => Module._zubotta_round_running());
    const letterAt = await now(page);
    await press('s');
    await untilChanged(page, 'the mole of hole 2 rising', moleArea(2), rest[1]);
    const others = [await signature(page, moleArea(1)), await signature(page, moleArea(3))];
    check('S raises the mole of hole 2, and no other', others[0] === rest[0] && others[1] === rest[2]);
    check('the mole sound starts on the letter', (await startsOf(page, handles.モグラ, letterAt)).length === 1);

    console.log('-- the about box');
    const aboutAt = await now(page);
    await click('[data-item="3"]');
    await until(page, 'the about box', () => document.getElementById('message').open);
    const box = await page.evaluate(() => ({title: document.getElementById('message-title').textContent,
                                           first: document.getElementById('message-text').textContent.split('\n')[0],
                                           modal: document.getElementById('message').matches(':modal')}));
    check('その他 shows a modal box titled Zubotta', box.modal && box.title === 'Zubotta' &&
          box.first.startsWith('Zubotta  Version'), JSON.stringify(box));
    check('the about box sets its text in a proportional face', await page.evaluate(proportionalMessage));
    check('the about box sounds', (await startsOf(page, handles.その他, aboutAt)).length === 1);
    await screenshot(path.join(output, `${engine}-about.png`));
    const drawnWhileOpen = await page.evaluate(() => audit.draws.length);
    await click('#message button');
    await until(page, 'the round going on after OK', (n) => audit.draws.length > n + 3, drawnWhileOpen);
    check('OK closes the box, and the focus is back on the canvas',
          await page.evaluate(() => !document.getElementById('message').open && document.activeElement.id === 'game'));

    console.log('-- Esc');
    await click('.menu > .title');
    await until(page, 'the menu ゲーム open', () => document.querySelector('.menu.open') !== null);
    await press('Escape');
    await until(page, 'the menu closed by Esc', () => document.querySelector('.menu.open') === null);
    check('Esc with a menu open closes the menu, gives the keys back to the game and does not end it',
          await page.evaluate(() => document.getElementById('ended').hidden && document.activeElement.id === 'game'));
    await press('Escape');
    await until(page, 'the page\'s word that the game ended', () => !document.getElementById('ended').hidden);
    // Closing an audio context takes a moment in Firefox.
    await until(page, 'the audio closed after Esc', () => audit.contexts.every((c) => c.state === 'closed'));
    const after = await page.evaluate(() => ({contexts: audit.contexts.length,
                                             sounding: audit.starts.filter((e) => !e.over).length}));
    check('Esc stops every sound and closes the audio', after.sounding === 0 && after.contexts === 1,
          JSON.stringify(after));
    await screenshot(path.join(output, `${engine}-ended.png`));
    const errors = await page.evaluate(() => audit.errors);
    check('no script errors', errors.length === 0, errors.join('; '));
}

// The page loaded afresh, its sound waiting, and played with game controllers.
async function controllers(browser, url) {
    await browser.open(url, 1);
    const {page, pads, soundByPad} = await browser.padPage();
    await until(page, 'the seven sounds', () => zubotta.sound.sounds.size === 7 &&
                [...zubotta.sound.sounds.values()].every((sound) => sound.buffer));
    await padRound(page, pads, {pressKey: browser.press, soundByPad,
                                screenshot: () => browser.screenshot(path.join(output, `${engine}-pad.png`))});
}

async function main() {
    fs.mkdirSync(output, {recursive: true});
    const work = fs.mkdtempSync(path.join(os.tmpdir(), `zubotta-${engine}-`));
    let browser = null;
    let server = null;
    try {
        const env = await soundServer(work);
        let url;
        ({server, url} = await serve(site));
        browser = engine === 'firefox' ? await firefox(env) : await webkit(await xServer(env), work);
        console.log(`-- ${engine} ${browser.version}`);
        await openingScreens(browser, url);
        await round(browser, env);
        await controllers(browser, url);
    } catch (error) {
        stopped(error);
        for (const log of ['pulseaudio.log', 'webkit.log'].map((name) => path.join(work, name))) {
            if (fs.existsSync(log))
                console.log(`${log}:\n${fs.readFileSync(log, 'utf8').slice(-2000)}`);
        }
    } finally {
        if (browser)
            await browser.close().catch(() => {});
        // Their folder goes once every process that writes in it has ended.
        await Promise.all([server, ...started].filter(Boolean).map(end));
        fs.rmSync(work, {recursive: true, force: true});
    }
    report();
}

main();
