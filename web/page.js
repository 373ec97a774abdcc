// SPDX-License-Identifier: GPL-3.0-or-later
// The page around the game: it sizes the canvas, turns keys, clicks and menu items into the game's events
// and hands them in one at a time, runs the timer while a round runs, shows the game's dialogs and keeps
// the sound library (sound_library.js). zubotta.js, the game itself, calls back into `zubotta`.
'use strict';

// The seven sounds, carried as FLAC and written as .wav files into the folder the game reads them from.
const soundNames = ['その他', '禁止', '打音', 'BGM', '空振', 'TIMEOUT', 'モグラ'];
// The width and height of the picture the page shows, in the game's logical pixels.
const shownWidth = 400;
const shownHeight = 437;
// The game's virtual-key numbers of the keys it commands with; the browser does nothing of its own for them.
const commandKeys = {Escape: 27, ' ': 32, F1: 112, F2: 113};
const startKeys = [32, 113];
const menuStart = 0;

const zubotta = (() => {
    const canvas = document.getElementById('game');
    const picture = canvas.getContext('2d');
    const bgm = document.getElementById('bgm');
    const notice = document.getElementById('notice');
    const message = document.getElementById('message');
    const queue = [];
    let accepting = false;
    let busy = false;
    let ended = false;
    let starting = false;
    let deviceScale = 1;

    const sound = new SoundLibrary(() => {
        const Context = window.AudioContext || window.webkitAudioContext;
        if (!Context)
            throw new Error('no WebAudio');
        return new Context();
    });

    // Pixel for pixel at the device scale; in a larger window, enlarged by the largest whole factor that fits.
    function layout() {
        const ratio = window.devicePixelRatio || 1;
        const width = shownWidth * deviceScale / ratio;
        const height = shownHeight * deviceScale / ratio;
        const room = document.getElementById('menubar').offsetHeight + notice.offsetHeight + 16;
        const factor = Math.max(1, Math.min(Math.floor(window.innerWidth / width),
                                            Math.floor((window.innerHeight - room) / height)));
        canvas.style.width = `${width * factor}px`;
        canvas.style.height = `${height * factor}px`;
        // Its corner on a whole device pixel, so that no art pixel is split between two.
        canvas.style.transform = '';
        const box = canvas.getBoundingClientRect();
        const shift = (at) => (Math.round(at * ratio) - at * ratio) / ratio;
        canvas.style.transform = `translate(${shift(box.left)}px, ${shift(box.top)}px)`;
    }

    // Said until the sound runs; not where there is no WebAudio, nor once the game has ended.
    function updateNotice() {
        const silent = !(window.AudioContext || window.webkitAudioContext) || (accepting && !sound.context);
        const waiting = !silent && !ended && !(sound.context && sound.context.state === 'running');
        notice.textContent = waiting ? 'Sound starts with your first key or click.' : '';
    }

    // Browsers let a page sound only after the player's first key or click.
    function resumeSound() {
        if (sound.context && sound.context.state === 'suspended')
            sound.context.resume().then(updateNotice);
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

    function virtualKey(event) {
        if (event.key in commandKeys)
            return commandKeys[event.key];
        return /^Key[A-Z]$|^Digit[0-9]$/.test(event.code) ? event.code.at(-1).charCodeAt(0) : 0;
    }

    function closeMenus() {
        document.querySelectorAll('.menu.open').forEach((menu) => menu.classList.remove('open'));
    }

    function onKeyDown(event) {
        resumeSound();
        // Keys with Ctrl, Alt or Meta keep their browser meaning; a dialog takes its own keys.
        if (event.ctrlKey || event.altKey || event.metaKey || message.open || ended)
            return;
        const command = event.key in commandKeys;
        if (command)
            event.preventDefault();
        closeMenus();
        // A held key is one press; its repeated characters still reach the letters.
        if (!event.repeat)
            post('key_down', [virtualKey(event)]);
        if ([...event.key].length === 1)
            post('key_press', [event.key.codePointAt(0)]);
    }

    function onCanvasDown(event) {
        const box = canvas.getBoundingClientRect();
        const twipsPerCssPixel = shownWidth * 15 / box.width;
        post('mouse_down', [event.button === 2 ? 2 : 1, (event.clientX - box.left) * twipsPerCssPixel,
                            (event.clientY - box.top) * twipsPerCssPixel]);
    }

    function wireMenus() {
        document.querySelectorAll('.menu > .title').forEach((title) => title.addEventListener('click', () => {
            const menu = title.parentElement;
            const open = !menu.classList.contains('open');
            closeMenus();
            menu.classList.toggle('open', open);
        }));
        document.querySelectorAll('[data-item]').forEach((item) => item.addEventListener('click', () => {
            closeMenus();
            canvas.focus();
            if (!ended)
                post('menu', [Number(item.dataset.item)]);
        }));
        document.addEventListener('mousedown', (event) => {
            resumeSound();
            if (!event.target.closest('#menubar'))
                closeMenus();
        });
    }

    function start() {
        wireMenus();
        document.addEventListener('keydown', onKeyDown);
        canvas.addEventListener('mousedown', onCanvasDown);
        canvas.addEventListener('contextmenu', (event) => event.preventDefault());
        window.addEventListener('resize', layout);
        message.addEventListener('close', () => canvas.focus());
        updateNotice();
        layout();
        canvas.focus();
    }

    return {
        sound,
        start,

        // The canvas holds the game's pixels at its device scale; sizing it clears it, so this comes first.
        sizeCanvas(scale) {
            deviceScale = scale;
            canvas.width = shownWidth * scale;
            canvas.height = shownHeight * scale;
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

        showPixels(rgba, x, y, width, height) {
            picture.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), x, y);
        },

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
            closeMenus();
            document.getElementById('ended').hidden = false;
            document.querySelectorAll('#menubar button').forEach((button) => { button.disabled = true; });
            updateNotice();
        },
    };
})();

// The sounds as .wav files of 16-bit samples, decoded from FLAC at their own rate, so they are exact; each
// is null where it could not be had.
async function decodeSounds() {
    const Decoder = window.OfflineAudioContext || window.webkitOfflineAudioContext;
    if (!Decoder)
        return [];
    const decoder = new Decoder(2, 1, 44100);
    return Promise.all(soundNames.map(async (name) => {
        try {
            const response = await fetch(`sounds/${encodeURIComponent(name)}.flac`);
            return response.ok ? {name, wave: waveOf(await decoder.decodeAudioData(await response.arrayBuffer()))}
                               : null;
        } catch (error) {
            console.warn(`Zubotta: the sound ${name} did not load:`, error);
            return null;
        }
    }));
}

// The 16-bit sample a decoder turned into this float. Most divide by 32768; Chromium divides a positive
// sample by 32767, which the first reading does not undo exactly, so then the second is the one.
function sixteenBits(level) {
    const bySymmetric = Math.round(level * 32768);
    const sample = bySymmetric / 32768 === level ? bySymmetric : Math.round(level * 32767);
    return Math.max(-32768, Math.min(32767, sample));
}

function waveOf(audio) {
    const channels = audio.numberOfChannels;
    const bytes = new DataView(new ArrayBuffer(44 + audio.length * channels * 2));
    const text = (at, value) => [...value].forEach((c, i) => bytes.setUint8(at + i, c.charCodeAt(0)));
    text(0, 'RIFF');
    bytes.setUint32(4, bytes.byteLength - 8, true);
    text(8, 'WAVEfmt ');
    bytes.setUint32(16, 16, true);
    bytes.setUint16(20, 1, true);
    bytes.setUint16(22, channels, true);
    bytes.setUint32(24, audio.sampleRate, true);
    bytes.setUint32(28, audio.sampleRate * channels * 2, true);
    bytes.setUint16(32, channels * 2, true);
    bytes.setUint16(34, 16, true);
    text(36, 'data');
    bytes.setUint32(40, audio.length * channels * 2, true);
    for (let c = 0; c < channels; ++c) {
        const samples = audio.getChannelData(c);
        for (let i = 0; i < audio.length; ++i)
            bytes.setInt16(44 + (i * channels + c) * 2, sixteenBits(samples[i]), true);
    }
    return new Uint8Array(bytes.buffer);
}

// The sounds load while the game's code does; the game starts once they lie in its folder.
const sounds = decodeSounds();
var Module = {
    preRun: [() => {
        Module.addRunDependency('sounds');
        sounds.then((decoded) => decoded.forEach((sound) => sound && Module.FS.writeFile(`${sound.name}.wav`, sound.wave)))
            .finally(() => Module.removeRunDependency('sounds'));
    }],
};

zubotta.start();
