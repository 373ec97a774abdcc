// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the game: its WebAssembly, with a progress bar that fills as the bytes arrive, and its seven sounds,
// made meanwhile by a worker of the page (sound_maker.js). The game starts as soon as its code is ready, with
// the sounds made by then; the others come to it as they are made. A load that fails is said plainly, with a
// way to try again.
'use strict';

const soundFiles = ['その他.wav', '禁止.wav', '打音.wav', 'BGM.wav', '空振.wav', 'TIMEOUT.wav', 'モグラ.wav'];

const loading = (() => {
    const bar = document.getElementById('loading');
    const made = new Map();
    let started = false;

    function fail(reason) {
        bar.hidden = true;
        document.getElementById('notice').hidden = true;
        document.getElementById('failure-reason').textContent = reason;
        document.getElementById('failure').hidden = false;
    }

    // Each sound lands in the game's folder as the .wav file the desktop reads; once the game has started,
    // it goes to the sound library too, which gave the game a handle for its stand-in.
    function soundMade({data: {name, wave}}) {
        if (!started) {
            made.set(name, wave);
            return;
        }
        Module.FS.writeFile(name, wave);
        zubotta.sound.arrive(name, wave);
    }

    // Before the game's start-up reads its folder: the sounds made so far, and a stand-in for each of the rest.
    function placeSounds() {
        for (const name of soundFiles)
            Module.FS.writeFile(name, made.get(name) || standInWave(name));
        started = true;
    }

    // The WebAssembly, counted as it arrives and compiled while it streams.
    async function instantiate(imports) {
        const response = await fetch('zubotta.wasm');
        if (!response.ok)
            throw new Error(`zubotta.wasm: ${response.status} ${response.statusText}`);
        let received = 0;
        const counted = new Response(response.body.pipeThrough(new TransformStream({
            transform(chunk, controller) {
                received += chunk.length;
                bar.value = received;
                controller.enqueue(chunk);
            },
        })), {headers: {'Content-Type': 'application/wasm'}});
        if (WebAssembly.instantiateStreaming)
            return WebAssembly.instantiateStreaming(counted, imports);
        return WebAssembly.instantiate(await counted.arrayBuffer(), imports);
    }

    function start() {
        document.getElementById('try-again').addEventListener('click', () => window.location.reload());
        // Without workers the game plays in silence: every sound stays a stand-in.
        if (window.Worker)
            new Worker('sound_maker.js').addEventListener('message', soundMade);
        const game = document.createElement('script');
        game.src = 'zubotta.js';
        game.addEventListener('error', () => fail('zubotta.js did not load'));
        document.body.append(game);
    }

    return {fail, placeSounds, instantiate, start, hide: () => { bar.hidden = true; }};
})();

var Module = {
    instantiateWasm(imports, receive) {
        loading.instantiate(imports).then(({instance, module}) => receive(instance, module),
                                          (error) => loading.fail(error.message));
        return {};
    },
    preRun: [loading.placeSounds],
    onRuntimeInitialized: loading.hide,
    onAbort: (what) => loading.fail(String(what)),
};

loading.start();
