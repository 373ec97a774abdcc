#!/usr/bin/env node
// SPDX-License-Identifier: GPL-3.0-or-later
// Measures how well the page's tests guard what a player meets in the page: applies small faults to its scripts
// and style one at a time and runs the page's tests under node; a fault that they let through goes on to the
// browser tests that show its part of the page, on a private copy of the built site holding the fault, its service
// worker written anew as the build writes it. A fault that some test notices is "killed", reported with the first
// check that failed; one that every test lets through "survived". Run it before resolving work in web/ (about ten
// minutes: too slow for CI).
//
//   node tools/mutants/page.js               every fault
//   node tools/mutants/page.js 'touch|pad'   only faults whose description matches the regular expression
//   node tools/mutants/page.js --check       only check that every fault still applies
//
// Needs the built page (./run web --build-only) and the browser tests' packages (npm ci in tests/e2e/browser).
// Exits 1 when a fault survives that is not marked equivalent, or when a fault no longer applies.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {spawn} = require('child_process');

const root = path.resolve(__dirname, '..', '..');
const site = path.join(root, 'build-web', 'site');

// Where each browser part is shown: Chromium's parts of play.js, and the other engines' whole run.
const browserRuns = {
    screens: ['play.js', {ZUBOTTA_E2E_PARTS: 'screens'}],
    round: ['play.js', {ZUBOTTA_E2E_PARTS: 'round'}],
    controllers: ['play.js', {ZUBOTTA_E2E_PARTS: 'controllers'}],
    sizes: ['play.js', {ZUBOTTA_E2E_PARTS: 'sizes'}],
    touch: ['play.js', {ZUBOTTA_E2E_PARTS: 'touch'}],
    loading: ['play.js', {ZUBOTTA_E2E_PARTS: 'loading'}],
    offline: ['play.js', {ZUBOTTA_E2E_PARTS: 'offline'}],
    firefox: ['engines.js', {}, 'firefox'],
    webkit: ['engines.js', {}, 'webkit'],
};

// fault(file, old, new, what a player or maintainer would see, the browser parts that show it, [why it is
// equivalent]): old must occur exactly once in web/file.
const faults = [];
const fault = (file, old, replacement, what, shownIn = [], equivalent = '') =>
    faults.push({file, old, replacement, what, shownIn, equivalent});

// --- keys ---
fault('keys.js', 'return events;', 'return events.concat(events);', 'every key acts twice');
fault('keys.js', 'const events = repeat ? [] :', 'const events = false ? [] :',
      'a held key repeats its key-down: a held Space restarts the round, a held F1 flips the music');
fault('keys.js', "F1: 112, F2: 113};", "F1: 112};", 'F2 no longer starts a round');
fault('keys.js', 'event.ctrlKey || event.altKey || event.metaKey', 'event.ctrlKey',
      'browser shortcuts with Alt or Meta are swallowed');
fault('keys.js', "/^Key[A-Z]$|^Digit[0-9]$/", "/^Key[A-Z]$/", 'the digits send the game no key');
fault('keys.js', 'x < (h + 0.2) * holeButton.columnWidth + holeButton.width', 'x <= (h + 1.2) * holeButton.columnWidth',
      'a touch beside a key button in the picture works its hole');
fault('page.js', 'if (gameKeys.isShortcut(event) || message.open || ended)', 'if (message.open || ended)',
      'browser shortcuts with Ctrl, Alt or Meta are swallowed', ['round']);
fault('page.js', 'postKey(event, event.repeat);', 'postKey(event);',
      'a held key repeats its key-down at the page: a held Space restarts the round', ['round']);
fault('page.js', 'if (gameKeys.isShortcut(event) || message.open || ended)', 'if (gameKeys.isShortcut(event) || ended)',
      'keys typed while the about box is open reach the game afterwards', ['round']);
fault('page.js', 'if (gameKeys.isCommand(event))\n            event.preventDefault();', '',
      'the browser acts on Space, F1 and Esc too', ['screens', 'round']);
fault('page.js', "if (event.detail === 0 && !ended)", "if (false)",
      'the touch keys do nothing for a screen reader or the keyboard', ['touch']);
fault('page.js', "if (event.pointerType !== 'mouse' && hole)", 'if (hole)',
      'a mouse click on a key button in the picture works its hole', ['round']);
// --- the event queue and START's pause ---
fault('event_queue.js', 'let event = waiting.shift();', 'let event = waiting.pop();',
      'events are handed to the game in another order than they came');
fault('event_queue.js', 'if (event.duringStart && isStart(event))', 'if (false)',
      'a start typed during START\'s pause starts another pause');
fault('event_queue.js', "const startKeys = [32, 113];", "const startKeys = [32];",
      'F2 typed during START\'s pause starts another pause');
fault('event_queue.js', 'if (!roundRunning())\n                        break;', 'break;', 'the round never ticks');
fault('event_queue.js', 'if (busy || !open || ended)', 'if (busy || ended)',
      'events reach the game before its start-up is over');
// --- the picture ---
fault('picture_layout.js', 'const maximumScale = 4;', 'const maximumScale = 3;',
      'the largest phones and tablets draw at scale 3 and blur it up');
fault('picture_layout.js', "Math.ceil(Math.max(...[room, screen, turned]", "Math.floor(Math.max(...[room, screen, turned]",
      'a phone draws below its size and the picture is enlarged smoothly');
fault('picture_layout.js', 'if (whole >= 0.9 * fits &&', 'if (whole >= 0.5 * fits &&',
      'a phone keeps a whole factor that leaves half its room black');
fault('picture_layout.js', 'Math.floor(length / step + 1e-6)', 'Math.round(length / step)',
      'the picture runs past its room');
fault('picture_layout.js', 'Math.round(at / step) * step', 'at', 'the picture stands off whole device pixels');
fault('page.js', "picture.imageSmoothingQuality = 'low';", "picture.imageSmoothingQuality = 'high';",
      'the reduced picture is resampled with mipmaps, its edges blurred', ['sizes']);
fault('page.js', 'const enlarging = smooth ? Math.ceil(Math.max(across, down) - 1e-6) : 1;', 'const enlarging = 1;',
      'a large tablet enlarges the picture smoothly, blurred', ['sizes']);
fault('page.js', 'scratch.canvas, 0, 0, enlargedSize.width, enlargedSize.height,', 'scratch.canvas,',
      'a large tablet repaints a changed part with the whole of what it last enlarged', ['sizes']);
fault('page.js', 'if (hasTouchKeys())\n            Object.assign(stage.style, {width: \'\', height: \'\'});', '',
      'a computer that shows its touch screen late keeps its small picture', ['sizes']);
fault('page.js', "window.addEventListener('resize', layout);", '',
      'a turned phone keeps the picture laid out for how it was held', ['sizes']);
// --- sound ---
fault('sound_rules.js', "!hidden && state !== 'running' && state !== 'closed'", "!hidden && state === 'suspended'",
      'sound the system took ("interrupted") does not come back');
fault('sound_rules.js', "return `Sound starts with your first ${touch ? 'touch' : 'key or click'}${pad}.`;",
      "return `Sound starts with your first key or click${pad}.`;", 'the notice asks a phone for a click');
fault('page.js', "            context.suspend();", "            context.state;", 'hidden, the page keeps playing its tune',
      ['touch']);
fault('page.js', "document.addEventListener('pointerup', resumeSound);", '',
      'sound resumed only as a finger touches down, so on a phone the first tap is silent', ['touch']);
fault('page.js', 'function onKeyDown(event) {\n        resumeSound();', 'function onKeyDown(event) {',
      'a key does not start the sound', ['round']);
fault('sound_library.js', 'view.getInt16(at, true) / 32768', 'view.getInt16(at) / 32768',
      'every 16-bit sound plays as loud noise');
fault('sound_library.js', '(view.getUint8(at) - 128) / 128', 'view.getUint8(at) / 128',
      'every 8-bit sound plays with a loud offset');
// --- game controllers ---
fault('gamepad.js', '!heldBefore.includes(key) &&', '', 'a held button acts at every read');
fault('gamepad.js', 'standard.some((pad) =>', 'standard.every((pad) =>',
      'with a second pad plugged in, the first does nothing');
fault('page.js', "message.querySelector('button').click();\n        else\n            postKey(key);",
      "message.querySelector('button').click();\n        postKey(key);",
      'south closing a box works hole 2 as well', ['controllers', 'firefox']);
// --- dialogs, the menus and the end ---
fault('page.js', 'message.showModal();', 'message.show();', 'the about box is not modal', ['round']);
fault('page.js', "        if (event.key === 'Escape') {\n            closeMenus();\n            canvas.focus();",
      "        if (event.key === 'Escape') {\n            closeMenus();",
      'Esc closing a menu leaves the keys in the menu bar', ['round']);
fault('page.js', "document.getElementById('ended').hidden = false;", '',
      'the page does not say the game has ended', ['sizes']);
// --- loading and offline ---
fault('loading.js', 'bar.value = received;', '', 'the progress bar never rises', ['loading']);
fault('loading.js', "document.getElementById('failure').hidden = false;", '',
      'a failed load is not said', ['loading']);
fault('loading.js', 'zubotta.sound.arrive(name, wave);', '', 'the sounds made never reach the game', ['firefox']);
fault('service_worker.js', '.then((kept) => kept || fetch(event.request)));', '.then(() => fetch(event.request)));',
      'with no network the page does not start', ['offline']);
fault('service_worker.js', "const cacheName = cachePrefix + version;", "const cacheName = cachePrefix;",
      'a new build is mixed with the old one', ['offline']);
// --- the touch screen's style ---
fault('page.css', '.touch #ended a { display: inline-flex; align-items: center; min-height: 44px; padding: 0 16px; }',
      '', '"Play again" is too small for a finger', ['sizes']);
fault('page.css', '.touch #page { -webkit-user-select: none; user-select: none; -webkit-touch-callout: none; }', '',
      'a long press selects the texts beside the game', ['sizes']);
fault('page.css', '.touch #menubar button { min-height: 44px; padding: 0 14px; }', '',
      'the menus are too small for a finger', ['sizes']);
fault('page.css', '"left stage right" 1fr', '"left stage stage" 1fr', 'turned, the keys D and F cover the picture',
      ['sizes']);

// The command running now, ended with this script.
let running = null;

// Runs a command, giving its status and its output.
function run(command, args, env = {}) {
    return new Promise((resolve) => {
        const child = spawn(command, args, {cwd: root, env: {...process.env, ...env}});
        running = child;
        let output = '';
        child.stdout.on('data', (data) => { output += data; });
        child.stderr.on('data', (data) => { output += data; });
        child.on('close', (status) => {
            running = null;
            resolve({ok: status === 0, output});
        });
    });
}

// The page's tests under node; the first that failed, or null.
async function unitTests() {
    const tests = fs.readdirSync(path.join(root, 'tests', 'web')).filter((name) => name.endsWith('.test.js'))
        .map((name) => path.join('tests', 'web', name));
    const {ok, output} = await run(process.execPath, ['--test', ...tests]);
    return ok ? null : `node: ${(output.match(/^not ok \d+ - (.*)$/m) || [null, 'the tests did not run'])[1]}`;
}

// A private copy of the built site with web/'s version of a file, its service worker written as the build writes it.
async function siteWith(file) {
    const copy = fs.mkdtempSync(path.join(os.tmpdir(), 'zubotta-mutant-'));
    fs.cpSync(site, copy, {recursive: true});
    fs.copyFileSync(path.join(root, 'web', file), path.join(copy, file));
    const written = await run('cmake', [`-DSITE=${copy}`, `-DWORKER=${path.join(root, 'web', 'service_worker.js')}`,
                                        '-P', path.join(root, 'web', 'offline_site.cmake')]);
    if (!written.ok)
        throw new Error(`the service worker could not be written: ${written.output}`);
    return copy;
}

// A browser part on a site; the first check that failed, or null.
async function browserTest(part, on) {
    const [script, env, engine] = browserRuns[part];
    const args = [path.join('tests', 'e2e', 'browser', script), ...(engine ? [engine] : []), on,
                  path.join(root, 'tests', 'golden'), path.join(os.tmpdir(), 'zubotta-mutant-e2e'),
                  path.join(root, 'build')];
    const {ok, output} = await run(process.execPath, args, {...env, ZUBOTTA_E2E_FAIL_FAST: '1'});
    return ok ? null : `${part}: ${(output.match(/^FAIL {2}(.*)$/m) || [null, output.trim().split('\n').at(-1)])[1]}`;
}

// The faults that apply, those that do not said.
function applying(chosen) {
    return chosen.filter(({file, old, what}) => {
        const applies = fs.readFileSync(path.join(root, 'web', file), 'utf8').split(old).length === 2;
        if (!applies)
            console.log(`not applied  web/${file}: ${what}`);
        return applies;
    });
}

async function main() {
    const checkOnly = process.argv[2] === '--check';
    const filter = new RegExp(checkOnly ? '' : process.argv[2] || '');
    const chosen = faults.filter(({what}) => filter.test(what));
    const applied = applying(chosen);
    if (checkOnly) {
        console.log(`${applied.length} of ${chosen.length} faults apply`);
        return applied.length === chosen.length ? 0 : 1;
    }
    if (!fs.existsSync(path.join(site, 'zubotta.wasm'))) {
        console.error(`no built page in ${site}: ./run web --build-only makes it`);
        return 2;
    }
    console.log('Running the unmutated tests...');
    const unmutated = await unitTests();
    if (unmutated) {
        console.error(`the unmutated page fails (${unmutated}): fix that first`);
        return 2;
    }
    // Each browser part runs on the unmutated site first, once a fault needs it.
    const unmutatedParts = new Map();

    // An interrupted run puts back the file it had changed.
    let restore = () => {};
    for (const signal of ['SIGINT', 'SIGTERM'])
        process.on(signal, () => {
            restore();
            if (running)
                running.kill();
            console.error(`interrupted: web/ as it was`);
            process.exit(130);
        });

    let killed = 0;
    const survivors = [];
    const started = Date.now();
    for (const {file, old, replacement, what, shownIn, equivalent} of applied) {
        const source = path.join(root, 'web', file);
        const original = fs.readFileSync(source, 'utf8');
        const mutate = () => fs.writeFileSync(source, original.replace(old, () => replacement));
        restore = () => fs.writeFileSync(source, original);
        mutate();
        let failed = await unitTests();
        if (!failed && shownIn.length) {
            const copy = await siteWith(file);
            for (const part of shownIn) {
                // Unmutated, web/ included: a test may build from it (offline.js writes a changed build).
                if (!unmutatedParts.has(part)) {
                    restore();
                    unmutatedParts.set(part, await browserTest(part, site));
                    mutate();
                }
                if (unmutatedParts.get(part)) {
                    restore();
                    console.error(`the unmutated page fails (${unmutatedParts.get(part)}): fix that first`);
                    return 2;
                }
                if ((failed = await browserTest(part, copy)))
                    break;
            }
            fs.rmSync(copy, {recursive: true, force: true});
        }
        restore();
        restore = () => {};
        if (failed) {
            ++killed;
            console.log(`killed       web/${file}: ${what} (${failed})`);
        } else if (equivalent) {
            console.log(`equivalent   web/${file}: ${what} (${equivalent})`);
        } else {
            survivors.push(what);
            console.log(`SURVIVED     web/${file}: ${what}`);
        }
    }
    console.log(`${killed} of ${applied.length} faults killed (${Math.round(100 * killed / Math.max(1, applied.length))} %) ` +
                `in ${Math.round((Date.now() - started) / 1000)} s; ${survivors.length} survived`);
    return survivors.length || applied.length < chosen.length ? 1 : 0;
}

main().then((status) => process.exit(status));
