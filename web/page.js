// SPDX-License-Identifier: GPL-3.0-or-later
// The page around the game: it sizes the canvas, turns keys, clicks, touches, game controllers' presses
// (gamepad.js) and menu items into the game's events and hands them in one at a time, runs the timer while a round
// runs, shows the game's dialogs and keeps the sound library (sound_library.js). zubotta.js, the game itself,
// calls back into `zubotta`.
'use strict';

// The width and height of the picture the page shows, in the game's logical pixels.
const shownWidth = 400;
const shownHeight = 437;
// The game places everything in twips, 15 to a logical pixel.
const twipsPerPixel = 15;
// The text face is drawn for scales up to 4; a larger one would show the same art bigger at the cost of memory as
// its square, which enlarging does as well.
const maximumScale = 4;
// The game's virtual-key numbers of the keys it commands with; the browser does nothing of its own for them.
const commandKeys = {Escape: 27, ' ': 32, F1: 112, F2: 113};
const startKeys = [32, 113];
const menuStart = 0;
// The picture's key buttons, in twips: hole h's stands at column h + 0.2 and row 2.6 of the holes' grid.
const holeButton = {columnWidth: 970, top: 2.6 * 1580, width: 600, height: 750};
const holeKeys = ['a', 's', 'd', 'f'];

const zubotta = (() => {
    // The canvas shows the game's pixels a device pixel to a pixel: as they are, enlarged by a whole factor, or
    // reduced to the room. Drawn only by the game's ticks and events, it need not wait for the page's paint.
    const canvas = document.getElementById('game');
    const picture = canvas.getContext('2d', {desynchronized: true});
    // Where an area on its way to the canvas is resampled, and enlarged first where the canvas is the larger.
    const scratch = document.createElement('canvas').getContext('2d');
    const enlarged = document.createElement('canvas').getContext('2d');
    // The game's surface in its memory: its address, its size in device pixels, and a view of it.
    const surface = {address: 0, width: 0, height: 0, image: null};
    const stage = document.getElementById('stage');
    const menubar = document.getElementById('menubar');
    const bgm = document.getElementById('bgm');
    const notice = document.getElementById('notice');
    const message = document.getElementById('message');
    const queue = [];
    let accepting = false;
    let busy = false;
    let ended = false;
    let starting = false;
    // Whether a game controller's press could not start the sound here.
    let padCannotSound = false;
    let stopPads = () => {};
    let deviceScale = 1;
    // Whether the canvas resamples the game's pixels rather than copying whole squares of them.
    let smooth = false;

    const sound = new SoundLibrary(() => {
        const Context = window.AudioContext || window.webkitAudioContext;
        if (!Context)
            throw new Error('no WebAudio');
        return new Context();
    });

    const hasTouchKeys = () => document.documentElement.classList.contains('touch');

    // The room for the picture in CSS pixels: on a touch screen the stage's part of the screen beside the keys,
    // else the window less the menu bar and the notice.
    function room() {
        if (hasTouchKeys())
            return stage.getBoundingClientRect();
        return {width: window.innerWidth, height: window.innerHeight - menubar.offsetHeight - notice.offsetHeight - 16};
    }

    // How many device pixels per art pixel a room of this many CSS pixels takes, fractions included.
    function fitting({width, height}) {
        return Math.min(width / shownWidth, height / shownHeight) * (window.devicePixelRatio || 1);
    }

    // The most a touch screen can ask of the picture: the room it has now, or its whole screen either way up.
    function largestNeed() {
        const {width, height} = window.screen;
        return Math.max(fitting(room()), fitting({width, height}), fitting({width: height, height: width}));
    }

    // The fewest CSS pixels that are whole device pixels too: browsers round a position or a size to either, some
    // at each box it lies in, and resample a picture that is not whole in both.
    function gridStep(ratio) {
        return [1, 2, 3, 4, 5, 8, 16].find((q) => Number.isInteger(q * ratio)) || 1 / ratio;
    }

    // The picture's size on the screen, in device pixels, and whether it is resampled. A computer shows it pixel
    // for pixel at the device scale, or enlarged by the largest whole factor that fits, so each art pixel stays a
    // whole square; in less room it keeps a whole number of device pixels per art pixel and shrinks smoothly only
    // below one. A touch screen takes all its room, on the grid, unless a whole factor fills nine tenths of it.
    function shownSize() {
        const fits = fitting(room());
        if (!hasTouchKeys()) {
            const whole = Math.floor(fits);
            const perArtPixel = whole >= deviceScale ? deviceScale * Math.floor(whole / deviceScale) : whole || fits;
            return {width: Math.round(shownWidth * perArtPixel), height: Math.round(shownHeight * perArtPixel),
                    smooth: perArtPixel < 1};
        }
        const ratio = window.devicePixelRatio || 1;
        const step = gridStep(ratio);
        const onGrid = (length) => Math.round(Math.floor(length / step + 1e-6) * step * ratio);
        const onTheGrid = (length) => onGrid(length / ratio) === length;
        const whole = deviceScale * Math.floor(fits / deviceScale);
        if (whole >= 0.9 * fits && onTheGrid(shownWidth * whole) && onTheGrid(shownHeight * whole))
            return {width: shownWidth * whole, height: shownHeight * whole, smooth: false};
        const width = onGrid(fits * shownWidth / ratio);
        const height = Math.min(onGrid(room().height), onGrid(width * shownHeight / shownWidth / ratio + step / 2));
        return {width, height, smooth: true};
    }

    // The surface's pixels as the canvas takes them; made anew once the game's memory has grown, which leaves an
    // older view empty.
    function surfaceImage() {
        if (!surface.image || surface.image.data.buffer !== HEAPU8.buffer) {
            const bytes = new Uint8ClampedArray(HEAPU8.buffer, surface.address, surface.width * surface.height * 4);
            surface.image = new ImageData(bytes, surface.width, surface.height);
        }
        return surface.image;
    }

    // Shows an area of the surface, in its device pixels, on the canvas: put as it is, copied as whole squares, or
    // resampled: enlarged by a whole factor to at least the canvas's size where it is smaller, then reduced
    // bilinearly, without the mipmaps that would blend an edge over more than a device pixel. A margin of one pixel
    // brings in what the resampling near the area's edges takes.
    function show(x, y, width, height) {
        const shownPixels = {width: shownWidth * deviceScale, height: shownHeight * deviceScale};
        if (canvas.width === shownPixels.width && canvas.height === shownPixels.height) {
            picture.putImageData(surfaceImage(), 0, 0, x, y, width, height);
            return;
        }
        const left = Math.max(0, x - 1);
        const top = Math.max(0, y - 1);
        const right = Math.min(shownPixels.width, x + width + 1);
        const bottom = Math.min(shownPixels.height, y + height + 1);
        // Sized anew each time: a canvas written while its last picture is still to be shown would be copied whole.
        scratch.canvas.width = right - left;
        scratch.canvas.height = bottom - top;
        scratch.putImageData(surfaceImage(), -left, -top, left, top, right - left, bottom - top);
        const across = canvas.width / shownPixels.width;
        const down = canvas.height / shownPixels.height;
        const enlarging = smooth ? Math.ceil(Math.max(across, down) - 1e-6) : 1;
        if (enlarging > 1) {
            enlarged.canvas.width = (right - left) * enlarging;
            enlarged.canvas.height = (bottom - top) * enlarging;
            enlarged.imageSmoothingEnabled = false;
            enlarged.drawImage(scratch.canvas, 0, 0, enlarged.canvas.width, enlarged.canvas.height);
        }
        const clipLeft = Math.floor(x * across);
        const clipTop = Math.floor(y * down);
        picture.save();
        picture.beginPath();
        picture.rect(clipLeft, clipTop, Math.ceil((x + width) * across) - clipLeft, Math.ceil((y + height) * down) - clipTop);
        picture.clip();
        picture.imageSmoothingEnabled = smooth;
        picture.imageSmoothingQuality = 'low';
        picture.drawImage(enlarging > 1 ? enlarged.canvas : scratch.canvas, left * across, top * down,
                          (right - left) * across, (bottom - top) * down);
        picture.restore();
    }

    // The canvas holds the picture a device pixel to a pixel, its edges on whole device pixels.
    function layout() {
        const ratio = window.devicePixelRatio || 1;
        // A touch screen's stage is its part of the grid, a computer's the picture's size.
        if (hasTouchKeys())
            Object.assign(stage.style, {width: '', height: ''});
        const shown = shownSize();
        if (canvas.width !== shown.width || canvas.height !== shown.height || smooth !== shown.smooth) {
            canvas.width = shown.width;
            canvas.height = shown.height;
            smooth = shown.smooth;
            if (surface.address)
                show(0, 0, shownWidth * deviceScale, shownHeight * deviceScale);
        }
        const width = shown.width / ratio;
        const height = shown.height / ratio;
        canvas.style.width = `${width}px`;
        canvas.style.height = `${height}px`;
        if (!hasTouchKeys())
            Object.assign(stage.style, {width: `${width}px`, height: `${height}px`});
        const step = gridStep(ratio);
        const snap = (at) => Math.round(at / step) * step;
        const box = stage.getBoundingClientRect();
        canvas.style.left = `${snap(box.left + (box.width - width) / 2)}px`;
        canvas.style.top = `${snap(box.top + (box.height - height) / 2)}px`;
    }

    function showTouchKeys() {
        document.documentElement.classList.add('touch');
        updateNotice();
        layout();
    }

    // Said until the sound runs; not where there is no WebAudio, nor once the game has ended.
    function updateNotice() {
        const silent = !(window.AudioContext || window.webkitAudioContext) || (accepting && !sound.context);
        const waiting = !silent && !ended && !(sound.context && sound.context.state === 'running');
        const first = hasTouchKeys() ? 'touch' : 'key or click';
        const pad = padCannotSound ? ': a game controller cannot start it in this browser' : '';
        notice.textContent = waiting ? `Sound starts with your first ${first}${pad}.` : '';
    }

    // Browsers let a page sound only after the player's first key, click or touch, and a phone's system may take
    // the sound away (a call, a locked screen: "interrupted"); whatever held it, the next one brings it back.
    function resumeSound() {
        const context = sound.context;
        if (context && context.state !== 'running' && context.state !== 'closed' && !document.hidden)
            context.resume().then(updateNotice, updateNotice);
    }

    // Chromium lets a game controller's press start the sound, WebKit the press that connects one; where the press
    // was no gesture of the player's and the sound still waits (Firefox), the notice asks for a key or a touch.
    function padGesture() {
        resumeSound();
        const context = sound.context;
        if (navigator.userActivation && !navigator.userActivation.isActive && context && context.state !== 'running') {
            padCannotSound = true;
            updateNotice();
        }
    }

    // A controller's press acts as its key does; with a box open, south is its OK.
    function onPadPress(key) {
        padGesture();
        if (message.open)
            message.querySelector('button').click();
        else
            postKey(key);
    }

    // Hidden behind another tab or app the page falls silent, and sounds again once shown; the round goes on.
    function followVisibility() {
        const context = sound.context;
        if (!context || context.state === 'closed')
            return;
        if (document.hidden)
            context.suspend();
        else
            resumeSound();
    }

    // A start typed while a start's pause runs starts no further pause.
    function isStart(event) {
        return (event.name === 'key_down' && startKeys.includes(event.args[0])) ||
               (event.name === 'menu' && event.args[0] === menuStart);
    }

    function post(name, args) {
        queue.push({name, args, duringStart: starting});
        pump();
    }

    // Hands the waiting events to the game one at a time, each to its end, its waits included; events that
    // arrive meanwhile wait their turn. While a round runs, the timer's tick comes whenever no event waits.
    async function pump() {
        if (busy || !accepting || ended)
            return;
        busy = true;
        while (!ended) {
            let event = queue.shift();
            if (!event) {
                if (!Module._zubotta_round_running())
                    break;
                event = {name: 'tick', args: []};
            }
            if (event.duringStart && isStart(event))
                continue;
            starting = isStart(event);
            try {
                await Module.ccall(`zubotta_${event.name}`, null, event.args.map(() => 'number'), event.args,
                                   {async: true});
            } catch (error) {
                if (!ended)
                    throw error;
            }
            starting = false;
        }
        busy = false;
    }

    function virtualKey({key, code}) {
        if (key in commandKeys)
            return commandKeys[key];
        return /^Key[A-Z]$|^Digit[0-9]$/.test(code) ? code.at(-1).charCodeAt(0) : 0;
    }

    // What a key sends the game, from the keyboard or the screen: its virtual key, unless the key is held and
    // repeats, then its character.
    function postKey(key, repeat = false) {
        if (!repeat)
            post('key_down', [virtualKey(key)]);
        if ([...key.key].length === 1)
            post('key_press', [key.key.codePointAt(0)]);
    }

    // A letter's key as the keyboard types it, in lower case.
    const letterKey = (letter) => ({key: letter, code: `Key${letter.toUpperCase()}`});

    function onKeyDown(event) {
        resumeSound();
        // Keys with Ctrl, Alt or Meta keep their browser meaning; a dialog takes its own keys.
        if (event.ctrlKey || event.altKey || event.metaKey || message.open || ended)
            return;
        if (menubar.contains(event.target) || (event.key === 'Escape' && document.querySelector('.menu.open'))) {
            onMenuKey(event);
            return;
        }
        if (event.key in commandKeys)
            event.preventDefault();
        closeMenus();
        // A held key is one press; its repeated characters still reach the letters.
        postKey(event, event.repeat);
    }

    // A touch on one of the picture's key buttons works its hole; any other click or touch is the game's click.
    function onCanvasDown(event) {
        const box = canvas.getBoundingClientRect();
        const twipsPerCssPixel = shownWidth * twipsPerPixel / box.width;
        const x = (event.clientX - box.left) * twipsPerCssPixel;
        const y = (event.clientY - box.top) * twipsPerCssPixel;
        const hole = [1, 2, 3, 4].find((h) => x >= (h + 0.2) * holeButton.columnWidth &&
            x < (h + 0.2) * holeButton.columnWidth + holeButton.width && y >= holeButton.top &&
            y < holeButton.top + holeButton.height);
        if (event.pointerType !== 'mouse' && hole)
            postKey(letterKey(holeKeys[hole - 1]));
        else
            post('mouse_down', [event.button === 2 ? 2 : 1, x, y]);
    }

    // The keys on the screen act as the touch starts; a key held down is one press, and each finger acts.
    function wireKeys() {
        document.querySelectorAll('.key').forEach((key) => {
            key.addEventListener('pointerdown', (event) => {
                // Kept from the browser: no focus, no mouse events after it.
                event.preventDefault();
                key.setPointerCapture(event.pointerId);
                key.classList.add('pressed');
                if (!ended)
                    postKey(key.dataset);
            });
            for (const type of ['pointerup', 'pointercancel', 'lostpointercapture'])
                key.addEventListener(type, () => key.classList.remove('pressed'));
            // Pressed without a pointer: by Enter, or by a screen reader.
            key.addEventListener('click', (event) => {
                if (event.detail === 0 && !ended)
                    postKey(key.dataset);
            });
            key.addEventListener('contextmenu', (event) => event.preventDefault());
        });
    }

    const titles = [...menubar.querySelectorAll('.title')];

    function closeMenus() {
        document.querySelectorAll('.menu.open').forEach((menu) => {
            menu.classList.remove('open');
            menu.querySelector('.title').setAttribute('aria-expanded', 'false');
        });
    }

    // The menu bar keeps one of its titles in the tab order, the one last focused.
    function focusTitle(title) {
        titles.forEach((other) => { other.tabIndex = other === title ? 0 : -1; });
        title.focus();
    }

    function openMenu(title, item) {
        closeMenus();
        focusTitle(title);
        const menu = title.parentElement;
        if (!menu.classList.contains('menu'))
            return;
        menu.classList.add('open');
        title.setAttribute('aria-expanded', 'true');
        const items = [...menu.querySelectorAll('[data-item]')];
        if (item !== undefined)
            items.at(item).focus();
    }

    // Keys in the menu bar, as a menu bar takes them: the arrows move, Enter and Space act, Esc closes the menu and
    // gives the keys back to the game. None of them reaches the game.
    function onMenuKey(event) {
        const menuOf = (t) => t.nextElementSibling;
        const title = titles.find((t) => t === event.target || (menuOf(t) && menuOf(t).contains(event.target))) ||
                      titles[0];
        const items = menuOf(title) ? [...menuOf(title).children] : [];
        const at = items.indexOf(event.target);
        const open = title.parentElement.classList.contains('open');
        const step = (list, from, by) => list.at((from + by) % list.length);
        if (event.key === 'Escape') {
            closeMenus();
            canvas.focus();
        } else if (event.key === 'ArrowLeft' || event.key === 'ArrowRight') {
            const next = step(titles, titles.indexOf(title), event.key === 'ArrowLeft' ? -1 : 1);
            open ? openMenu(next, 0) : focusTitle(next);
        } else if ((event.key === 'ArrowDown' || event.key === 'ArrowUp') && items.length) {
            const by = event.key === 'ArrowDown' ? 1 : -1;
            at < 0 ? openMenu(title, by > 0 ? 0 : -1) : step(items, at, by).focus();
        } else if (event.key === 'Tab') {
            closeMenus();
            return;
        } else {
            // Enter and Space click the focused button; other keys do nothing here.
            return;
        }
        event.preventDefault();
    }

    function wireMenus() {
        titles.filter((title) => title.parentElement.classList.contains('menu')).forEach((title) =>
            title.addEventListener('click', (event) => {
                if (!title.parentElement.classList.contains('open')) {
                    // Opened by a key, the menu takes the focus.
                    openMenu(title, event.detail === 0 ? 0 : undefined);
                    return;
                }
                closeMenus();
                canvas.focus();
            }));
        menubar.querySelectorAll('[data-item]').forEach((item) => item.addEventListener('click', () => {
            closeMenus();
            canvas.focus();
            if (!ended)
                post('menu', [Number(item.dataset.item)]);
        }));
    }

    function start() {
        if (navigator.maxTouchPoints > 0)
            showTouchKeys();
        wireMenus();
        wireKeys();
        document.addEventListener('keydown', onKeyDown);
        document.addEventListener('pointerdown', (event) => {
            resumeSound();
            if (event.pointerType === 'touch' && !hasTouchKeys())
                showTouchKeys();
            if (!menubar.contains(event.target))
                closeMenus();
        });
        // A touch lets a page sound only as it ends.
        document.addEventListener('pointerup', resumeSound);
        canvas.addEventListener('pointerdown', onCanvasDown);
        canvas.addEventListener('contextmenu', (event) => event.preventDefault());
        window.addEventListener('resize', layout);
        document.addEventListener('visibilitychange', followVisibility);
        message.addEventListener('close', () => canvas.focus());
        stopPads = readPads({press: onPadPress, connected: padGesture, boxOpen: () => message.open});
        updateNotice();
        layout();
        canvas.focus();
    }

    return {
        sound,
        start,

        // A computer's: the largest whole scale at which the picture, shown pixel for pixel, fits the room it has
        // now. A touch screen's: the smallest whole scale at or above the most its screen can ask, so that a turn
        // or a browser's bars only reduce it.
        deviceScale() {
            const scale = hasTouchKeys() ? Math.ceil(largestNeed() - 1e-6) : Math.floor(fitting(room()));
            return Math.max(1, Math.min(maximumScale, scale));
        },

        // The game's surface, at its address in the game's memory, before anything is drawn on it.
        sizeCanvas(address, width, height, scale) {
            Object.assign(surface, {address, width, height, image: null});
            deviceScale = scale;
            layout();
        },

        // Called by the game once its start-up is over: from now on it takes events.
        ready() {
            if (sound.context)
                sound.context.addEventListener('statechange', updateNotice);
            accepting = true;
            updateNotice();
            pump();
        },

        showPixels: show,

        showMessage(text, title, warning) {
            // The game's boxes speak Japanese or English; the language picks the face, and a screen reader's voice.
            message.lang = /[\u3000-\u30ff\u4e00-\u9fff\uff00-\uffef]/.test(title + text) ? 'ja' : 'en';
            document.getElementById('message-title').textContent = title;
            const shown = document.getElementById('message-text');
            // The game joins lines with a lone carriage return.
            shown.textContent = text.replace(/\r\n?/g, '\n');
            shown.classList.toggle('warning', warning);
            message.returnValue = '';
            message.showModal();
            return new Promise((resolve) => message.addEventListener('close', resolve, {once: true}));
        },

        bgmChecked() {
            return bgm.getAttribute('aria-checked') === 'true';
        },

        setBgmChecked(checked) {
            bgm.setAttribute('aria-checked', String(checked));
        },

        end() {
            ended = true;
            queue.length = 0;
            stopPads();
            closeMenus();
            document.getElementById('ended').hidden = false;
            document.querySelectorAll('#menubar button, .key').forEach((button) => { button.disabled = true; });
            updateNotice();
        },
    };
})();

zubotta.start();

// The service worker keeps the whole site for play with no network (a host other than 127.0.0.1 needs HTTPS for
// it); registered once the page has loaded, so that its copying does not hold up the page's own loading.
if ('serviceWorker' in navigator)
    window.addEventListener('load', () => navigator.serviceWorker.register('service_worker.js')
        .catch((error) => console.warn('Zubotta: the site is not kept for play with no network:', error)));
