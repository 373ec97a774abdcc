// SPDX-License-Identifier: GPL-3.0-or-later
// The game's sound library on WebAudio: sounds copied from .wav images, each with as many voices as its
// buffer count, so that many of its playings overlap; a new playing beyond them restarts the oldest.
'use strict';

// The samples of a .wav image of uncompressed integer or float samples, or null for anything else.
function parseWave(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const tag = (at) => String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
    if (bytes.length < 12 || tag(0) !== 'RIFF' || tag(8) !== 'WAVE')
        return null;
    let format = null;
    let data = null;
    for (let at = 12; at + 8 <= bytes.length;) {
        const size = view.getUint32(at + 4, true);
        if (at + 8 + size > bytes.length)
            return null;
        if (tag(at) === 'fmt ' && size >= 16) {
            let kind = view.getUint16(at + 8, true);
            if (kind === 0xfffe && size >= 26)
                kind = view.getUint16(at + 32, true);
            format = {
                kind, channels: view.getUint16(at + 10, true), rate: view.getUint32(at + 12, true),
                bits: view.getUint16(at + 22, true), blockAlign: view.getUint16(at + 20, true),
            };
        } else if (tag(at) === 'data') {
            data = {start: at + 8, size};
        }
        at += 8 + size + (size & 1);
    }
    if (!format || !data || format.channels < 1 || format.channels > 8 || format.rate < 1000 || format.rate > 384000)
        return null;
    const reader = sampleReader(view, format);
    if (!reader || format.blockAlign !== format.channels * format.bits / 8)
        return null;
    const frames = Math.floor(data.size / format.blockAlign);
    const channels = [];
    for (let c = 0; c < format.channels; ++c) {
        const samples = new Float32Array(frames);
        for (let f = 0; f < frames; ++f)
            samples[f] = reader(data.start + f * format.blockAlign + c * format.bits / 8);
        channels.push(samples);
    }
    return {rate: format.rate, frames, channels};
}

// Reads one sample at a byte offset as a number in [-1, 1].
function sampleReader(view, {kind, bits}) {
    if (kind === 3 && bits === 32)
        return (at) => view.getFloat32(at, true);
    if (kind !== 1)
        return null;
    switch (bits) {
    case 8: return (at) => (view.getUint8(at) - 128) / 128;
    case 16: return (at) => view.getInt16(at, true) / 32768;
    case 24: return (at) => ((view.getUint8(at) | view.getUint8(at + 1) << 8 | view.getInt8(at + 2) << 16)) / 8388608;
    case 32: return (at) => view.getInt32(at, true) / 2147483648;
    default: return null;
    }
}

class SoundLibrary {
    // makeContext gives an AudioContext, or throws where the browser has none.
    constructor(makeContext) {
        this.makeContext = makeContext;
        this.context = null;
        this.sounds = new Map();
        this.lastHandle = 0;
        this.starts = 0;
    }

    dsInitialize() {
        try {
            this.context = this.makeContext();
        } catch (error) {
            return 0;
        }
        // Browsers start sound only after a gesture; a loop asked for before that starts from its
        // beginning once the sound runs.
        this.context.onstatechange = () => this.startWaitingLoops();
        return 1;
    }

    dsCreateDSB(device, bytes, bufferCount) {
        if (!this.context || device === 0 || bufferCount < 1 || bufferCount > 32)
            return 0;
        const wave = parseWave(bytes);
        if (!wave || wave.frames === 0)
            return 0;
        let buffer;
        try {
            buffer = this.context.createBuffer(wave.channels.length, wave.frames, wave.rate);
        } catch (error) {
            return 0;
        }
        wave.channels.forEach((samples, c) => buffer.copyToChannel(samples, c));
        const handle = ++this.lastHandle;
        this.sounds.set(handle, {buffer, voices: new Array(bufferCount).fill(null), waitingLoop: false});
        return handle;
    }

    dsPlay(handle) {
        return this.start(handle, false);
    }

    dsPlayLooping(handle) {
        return this.start(handle, true);
    }

    dsStop(handle) {
        const sound = this.sounds.get(handle);
        if (!sound)
            return 0;
        sound.waitingLoop = false;
        sound.voices.forEach((voice, v) => this.silence(sound, v));
        return 1;
    }

    dsFree(handle) {
        const stopped = this.dsStop(handle);
        this.sounds.delete(handle);
        return stopped;
    }

    dsTerminate(device) {
        if (!this.context || device === 0)
            return 0;
        for (const handle of [...this.sounds.keys()])
            this.dsFree(handle);
        this.context.close();
        this.context = null;
        return 1;
    }

    // How many playings of a sound are sounding now.
    sounding(handle) {
        const sound = this.sounds.get(handle);
        return sound ? sound.voices.filter((voice) => voice !== null).length : 0;
    }

    start(handle, looping) {
        const sound = this.sounds.get(handle);
        if (!sound)
            return 0;
        if (this.context.state !== 'running') {
            // Not yet allowed to sound: a single playing is dropped, a loop waits.
            sound.waitingLoop = sound.waitingLoop || looping;
            return 1;
        }
        let v = sound.voices.indexOf(null);
        if (v < 0) {
            v = 0;
            sound.voices.forEach((voice, i) => { if (voice.started < sound.voices[v].started) v = i; });
            this.silence(sound, v);
        }
        const source = this.context.createBufferSource();
        source.buffer = sound.buffer;
        source.loop = looping;
        source.connect(this.context.destination);
        const voice = {source, started: ++this.starts};
        source.onended = () => { if (sound.voices[v] === voice) sound.voices[v] = null; };
        sound.voices[v] = voice;
        source.start();
        return 1;
    }

    silence(sound, v) {
        const voice = sound.voices[v];
        if (!voice)
            return;
        sound.voices[v] = null;
        voice.source.onended = null;
        voice.source.stop();
        voice.source.disconnect();
    }

    startWaitingLoops() {
        if (!this.context || this.context.state !== 'running')
            return;
        for (const [handle, sound] of this.sounds) {
            if (sound.waitingLoop) {
                sound.waitingLoop = false;
                this.start(handle, true);
            }
        }
    }
}

if (typeof module !== 'undefined')
    module.exports = {SoundLibrary, parseWave};
