// SPDX-License-Identifier: GPL-3.0-or-later
// The page's sound library (web/sound_library.js) on a fake AudioContext: voices per buffer count, stopping,
// loops held back until sound may start, and .wav images it must refuse.
'use strict';
const assert = require('node:assert/strict');
const path = require('node:path');
const test = require('node:test');
const {SoundLibrary, parseWave, standInWave} = require(path.join(__dirname, '..', '..', 'web', 'sound_library.js'));

class FakeContext {
    constructor(state) {
        this.state = state;
        this.destination = {};
        this.sources = [];
        this.onstatechange = null;
    }
    createBuffer(channels, frames, rate) { return {channels, frames, rate, copyToChannel() {}}; }
    createBufferSource() {
        const source = {loop: false, startedWith: null, stopped: false, onended: null,
                        connect() {}, disconnect() {}, start(...args) { this.startedWith = args; },
                        stop() { this.stopped = true; }};
        this.sources.push(source);
        return source;
    }
    close() { this.state = 'closed'; }
    resume() {
        this.state = 'running';
        this.onstatechange();
    }
}

// A .wav image of mono 16-bit samples; the fields can be spoilt one by one.
function wave({frames = 8, bits = 16, kind = 1, rate = 22050, dataSize = frames * bits / 8} = {}) {
    const bytes = Buffer.alloc(44 + frames * bits / 8);
    bytes.write('RIFF', 0, 'latin1');
    bytes.writeUInt32LE(bytes.length - 8, 4);
    bytes.write('WAVEfmt ', 8, 'latin1');
    bytes.writeUInt32LE(16, 16);
    bytes.writeUInt16LE(kind, 20);
    bytes.writeUInt16LE(1, 22);
    bytes.writeUInt32LE(rate, 24);
    bytes.writeUInt32LE(rate * bits / 8, 28);
    bytes.writeUInt16LE(bits / 8, 32);
    bytes.writeUInt16LE(bits, 34);
    bytes.write('data', 36, 'latin1');
    bytes.writeUInt32LE(dataSize, 40);
    return new Uint8Array(bytes);
}

function library(state = 'running') {
    const context = new FakeContext(state);
    const sound = new SoundLibrary(() => context);
    assert.equal(sound.dsInitialize(), 1);
    return {sound, context};
}

test('a sound has as many voices as its buffer count, and a new playing beyond them restarts the oldest', () => {
    const {sound, context} = library();
    const three = sound.dsCreateDSB(1, wave(), 3);
    for (let i = 0; i < 4; ++i)
        assert.equal(sound.dsPlay(three), 1);
    assert.equal(sound.sounding(three), 3);
    assert.deepEqual(context.sources.map((s) => s.stopped), [true, false, false, false]);

    const one = sound.dsCreateDSB(1, wave(), 1);
    sound.dsPlay(one);
    sound.dsPlay(one);
    assert.equal(sound.sounding(one), 1);
    assert.deepEqual(context.sources.slice(4).map((s) => s.stopped), [true, false]);

    // A voice that ends frees its place.
    context.sources[5].onended();
    assert.equal(sound.sounding(one), 0);
});

test('dsStop silences every voice; handle 0 and unknown handles do nothing', () => {
    const {sound, context} = library();
    const handle = sound.dsCreateDSB(1, wave(), 3);
    sound.dsPlay(handle);
    sound.dsPlayLooping(handle);
    assert.equal(sound.dsStop(handle), 1);
    assert.equal(sound.sounding(handle), 0);
    assert.ok(context.sources.every((s) => s.stopped));
    for (const call of ['dsPlay', 'dsPlayLooping', 'dsStop', 'dsFree'])
        for (const unknown of [0, handle + 1])
            assert.equal(sound[call](unknown), 0, `${call}(${unknown})`);
    assert.equal(context.sources.length, 2);
});

test('a loop asked for before sound may start begins from its start once it runs; a single playing is dropped', () => {
    const {sound, context} = library('suspended');
    const tune = sound.dsCreateDSB(1, wave(), 1);
    const blip = sound.dsCreateDSB(1, wave(), 3);
    assert.equal(sound.dsPlayLooping(tune), 1);
    assert.equal(sound.dsPlay(blip), 1);
    assert.equal(context.sources.length, 0);
    context.resume();
    assert.equal(context.sources.length, 1);
    assert.equal(context.sources[0].loop, true);
    assert.deepEqual(context.sources[0].startedWith, []);
    assert.equal(sound.sounding(tune), 1);
    assert.equal(sound.sounding(blip), 0);
});

test('a stand-in gives a handle at once; its sound plays once it has come, a loop asked for meanwhile from its start', () => {
    const {sound, context} = library();
    const tune = sound.dsCreateDSB(1, standInWave('BGM.wav'), 1);
    const blip = sound.dsCreateDSB(1, standInWave('モグラ.wav'), 1);
    const never = sound.dsCreateDSB(1, standInWave('打音.wav'), 1);
    assert.deepEqual([tune, blip, never], [1, 2, 3]);
    sound.dsPlayLooping(tune);
    sound.dsPlay(blip);
    sound.dsPlayLooping(never);
    sound.dsStop(never);
    assert.equal(context.sources.length, 0);

    sound.arrive('BGM.wav', wave());
    sound.arrive('モグラ.wav', wave());
    sound.arrive('打音.wav', wave());
    assert.equal(context.sources.length, 1, 'only the loop still asked for starts');
    assert.equal(context.sources[0].loop, true);
    assert.equal(sound.sounding(tune), 1);
    sound.dsPlay(blip);
    assert.equal(sound.sounding(blip), 1);

    // One that comes unreadable stays silent, without a word.
    const spoilt = sound.dsCreateDSB(1, standInWave('空振.wav'), 1);
    sound.arrive('空振.wav', wave({kind: 2}));
    assert.equal(sound.dsPlay(spoilt), 1);
    assert.equal(sound.sounding(spoilt), 0);
});

test('samples of every encoding read as the numbers they stand for: the lowest, silence and the highest', () => {
    const encodings = [
        {bits: 8, write: (b, at, v) => b.writeUInt8(v + 128, at), values: [-128, 0, 127]},
        {bits: 16, write: (b, at, v) => b.writeInt16LE(v, at), values: [-32768, 0, 32767]},
        {bits: 24, write: (b, at, v) => b.writeIntLE(v, at, 3), values: [-8388608, 0, 8388607]},
        {bits: 32, write: (b, at, v) => b.writeInt32LE(v, at), values: [-2147483648, 0, 1073741824]},
        {bits: 32, kind: 3, write: (b, at, v) => b.writeFloatLE(v, at), values: [-1, 0, 0.75]},
    ];
    for (const {bits, kind = 1, write, values} of encodings) {
        const bytes = Buffer.from(wave({frames: values.length, bits, kind}));
        values.forEach((v, i) => write(bytes, 44 + i * bits / 8, v));
        const full = kind === 3 ? 1 : 2 ** (bits - 1);
        assert.deepEqual([...parseWave(new Uint8Array(bytes)).channels[0]], values.map((v) => Math.fround(v / full)),
                         `${bits}-bit${kind === 3 ? ' float' : ''}`);
    }
});

test('unusable .wav images, devices and buffer counts give 0', () => {
    const {sound} = library();
    const spoilt = {
        'not RIFF': new Uint8Array(44),
        'cut short': wave().slice(0, 30),
        'data beyond the end': wave({dataSize: 1000}),
        'no frames': wave({frames: 0}),
        '12-bit samples': wave({bits: 12, frames: 4}),
        'compressed samples': wave({kind: 2}),
        'absurd rate': wave({rate: 10}),
    };
    for (const [name, bytes] of Object.entries(spoilt))
        assert.equal(sound.dsCreateDSB(1, bytes, 1), 0, name);
    assert.equal(sound.dsCreateDSB(0, wave(), 1), 0, 'device 0');
    assert.equal(sound.dsCreateDSB(1, wave(), 0), 0, 'count 0');
    assert.equal(sound.dsCreateDSB(1, wave(), 33), 0, 'count 33');
    assert.equal(sound.dsCreateDSB(1, wave(), 32), 1, 'count 32');
});
