// SPDX-License-Identifier: GPL-3.0-or-later
// The page around the game: it shows the game's pixels on the canvas, laid out as picture_layout.js says, turns
// keys, clicks, touches, game controllers' presses (gamepad.js) and menu items into the game's events (keys.js) for
// its queue (event_queue.js), shows the game's dialogs and keeps the sound library (sound_library.js), resumed as
// sound_rules.js says. zubotta.js, the game itself, calls back into `zubotta`.
'use strict';

// The game places everything in twips, 15 to a logical pixel.
const twipsPerPixel = 15;

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
    const {shownWidth, shownHeight} = pictureLayout;
    const events = eventQueue.create({
        deliver: ({name, args}) => Module.ccall(`zubotta_${name}`, null, args.map(() => 'number'), args, {async: true}),
        roundRunning: () => Module._zubotta_round_running(),
    });
    let gameReady = false;
    let ended = false;
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

    const ratio = () => window.devicePixelRatio || 1;

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
        const enlargedSize = {width: (right - left) * enlarging, height: (bottom - top) * enlarging};
        if (enlarging > 1) {
            // Only ever grown: sized anew for each area, it cost twice the rest of the page's work on a large tablet.
            if (enlarged.canvas.width < enlargedSize.width || enlarged.canvas.height < enlargedSize.height) {
                enlarged.canvas.width = Math.max(enlarged.canvas.width, enlargedSize.width);
                enlarged.canvas.height = Math.max(enlarged.canvas.height, enlargedSize.height);
                enlarged.imageSmoothingEnabled = false;
            }
            enlarged.drawImage(scratch.canvas, 0, 0, enlargedSize.width, enlargedSize.height);
        }
        const clipLeft = Math.floor(x * across);
        const clipTop = Math.floor(y * down);
        picture.save();
        picture.beginPath();
        picture.rect(clipLeft, clipTop, Math.ceil((x + width) * across) - clipLeft, Math.ceil((y + height) * down) - clipTop);
        picture.clip();
        picture.imageSmoothingEnabled = smooth;
        picture.imageSmoothingQuality = 'low';
        picture.drawImage(enlarging > 1 ? enlarged.canvas : scratch.canvas, 0, 0, enlargedSize.width, enlargedSize.height,
                          left * across, top * down, (right - left) * across, (bottom - top) * down);
        picture.restore();
    }

    // The canvas holds the picture a device pixel to a pixel, its edges on whole device pixels.
    function layout() {
        // A touch screen's stage is its part of the grid, a computer's the picture's size.
        if (hasTouchKeys())
            Object.assign(stage.style, {width: '', height: ''});
        const shown = pictureLayout.shownSize({touch: hasTouchKeys(), room: room(), ratio: ratio(), deviceScale});
        if (canvas.width !== shown.width || canvas.height !== shown.height || smooth !== shown.smooth) {
            canvas.width = shown.width;
            canvas.height = shown.height;
            smooth = shown.smooth;
            if (surface.address)
                show(0, 0, shownWidth * deviceScale, shownHeight * deviceScale);
        }
        const size = {width: shown.width / ratio(), height: shown.height / ratio()};
        if (!hasTouchKeys())
            Object.assign(stage.style, {width: `${size.width}px`, height: `${size.height}px`});
        const {left, top} = pictureLayout.centred(stage.getBoundingClientRect(), size, ratio());
        Object.assign(canvas.style, {width: `${size.width}px`, height: `${size.height}px`, left: `${left}px`,
                                     top: `${top}px`});
    }

    function showTouchKeys() {
        document.documentElement.classList.add('touch');
        updateNotice();
        layout();
    }

    function updateNotice() {
        const silent = !(window.AudioContext || window.webkitAudioContext) || (gameReady && !sound.context);
        notice.textContent = soundRules.notice({silent, state: sound.context && sound.context.state, ended,
                                                touch: hasTouchKeys(), padCannotSound});
    }

    function resumeSound() {
        const context = sound.context;
        if (context && soundRules.resumable(context.state, document.hidden))
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

    // A key of the keyboard, the screen or a controller goes to the game.
    function postKey(key, repeat = false) {
        gameKeys.events(key, repeat).forEach(({name, args}) => events.post(name, args));
    }

    function onKeyDown(event) {
        resumeSound();
        // A dialog takes its own keys.
        if (gameKeys.isShortcut(event) || message.open || ended)
            return;
        if (menubar.contains(event.target) || (event.key === 'Escape' && document.querySelector('.menu.open'))) {
            onMenuKey(event);
            return;
        }
        if (gameKeys.isCommand(event))
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
        const hole = gameKeys.holeKeyAt(x, y);
        if (event.pointerType !== 'mouse' && hole)
            postKey(hole);
        else
            events.post('mouse_down', [event.button === 2 ? 2 : 1, x, y]);
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
                events.post('menu', [Number(item.dataset.item)]);
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

        deviceScale() {
            return pictureLayout.deviceScale({touch: hasTouchKeys(), room: room(), screen: window.screen, ratio: ratio()});
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
            gameReady = true;
            updateNotice();
            events.open();
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
            events.end();
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
