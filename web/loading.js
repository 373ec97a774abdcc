// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the game: its WebAssembly, with a progress bar that fills as the bytes arrive, then its seven sounds,
// made by a worker of the page (sound_maker.js). The game starts as soon as its code is ready; its sounds come
// to it as they are made. A load that fails is said plainly, with a way to try again.
'use strict';

const soundFiles = ['その他.wav', '禁止.wav', '打音.wav', 'BGM.wav', '空振.wav', 'TIMEOUT.wav', 'モグラ.wav'];

const loading = (() => {
    const bar = document.getElementById('loading');

    function fail(reason) {
        bar.hidden = true;
        document.getElementById('notice').hidden = true;
        document.getElementById('failure-reason').textContent = reason;
        document.getElementById('failure').hidden = false;
    }

    // The game starts with a stand-in for each sound, so it holds their handles at once.
    function placeStandIns() {
        for (const name of soundFiles)
            Module.FS.writeFile(name, standInWave(name));
    }

    // Each sound lands in the game's folder as the .wav file the desktop reads, and goes to the sound library,
    // which plays it from then on.
    function soundMade({data: {name, wave}}) {
        Module.FS.writeFile(name, wave);
        zubotta.sound.arrive(name, wave);
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
        const game = document.createElement('script');
        game.src = 'zubotta.js';
        game.addEventListener('error', () => fail('zubotta.js did not load'));
        document.body.append(game);
    }

    // Once the game's code is in: the sounds are made while the game starts and the player looks, so they
    // take nothing from the opening screen. Without workers the game plays in silence, each sound a stand-in.
    function codeReady() {
        bar.hidden = true;
        if (window.Worker)
            new Worker('sound_maker.js').addEventListener('message', soundMade);
    }

    return {fail, placeStandIns, instantiate, start, codeReady};
})();

var Module = {
    instantiateWasm(imports, receive) {
        loading.instantiate(imports).then(({instance, module}) => receive(instance, module),
                                          (error) => loading.fail(error.message));
        return {};
    },
    preRun: [loading.placeStandIns],
    onRuntimeInitialized: loading.codeReady,
    onAbort: (what) => loading.fail(String(what)),
};

loading.start();
