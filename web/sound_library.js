// SPDX-License-Identifier: GPL-3.0-or-later
// The game's sound library on WebAudio: sounds copied from .wav images, each with as many voices as its
// buffer count, so that many of its playings overlap; a new playing beyond them restarts the oldest.
'use strict';

// The chunks of a RIFF WAVE image, in order, or null where it is none or a chunk runs past its end.
function chunksOf(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const tag = (at) => String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
    if (bytes.length < 12 || tag(0) !== 'RIFF' || tag(8) !== 'WAVE')
        return null;
    const chunks = [];
    for (let at = 12; at + 8 <= bytes.length;) {
        const size = view.getUint32(at + 4, true);
        if (at + 8 + size > bytes.length)
            return null;
        chunks.push({id: tag(at), start: at + 8, size});
        at += 8 + size + (size & 1);
    }
    return {view, tag, chunks};
}

// The samples of a .wav image of uncompressed integer or float samples, or null for anything else.
function parseWave(bytes) {
    const wave = chunksOf(bytes);
    if (!wave)
        return null;
    const {view, chunks} = wave;
    let format = null;
    let data = null;
    for (const {id, start, size} of chunks) {
        if (id === 'fmt ' && size >= 16) {
            let kind = view.getUint16(start, true);
            if (kind === 0xfffe && size >= 26)
                kind = view.getUint16(start + 24, true);
            format = {
                kind, channels: view.getUint16(start + 2, true), rate: view.getUint32(start + 4, true),
                bits: view.getUint16(start + 14, true), blockAlign: view.getUint16(start + 12, true),
            };
        } else if (id === 'data') {
            data = {start, size};
        }
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

// The name a stand-in carries: a .wav image with no samples, only its name in a LIST INFO INAM chunk. The page
// gives the game one for a sound still being made, so the game has its handle at once and the sound plays once
// it has come.
function standInName(bytes) {
    const wave = chunksOf(bytes);
    if (!wave || wave.chunks.some(({id}) => id === 'data'))
        return null;
    const list = wave.chunks.find(({id, start, size}) => id === 'LIST' && size >= 12 && wave.tag(start) === 'INFO' &&
                                                         wave.tag(start + 4) === 'INAM');
    if (!list)
        return null;
    const length = Math.min(wave.view.getUint32(list.start + 8, true), list.size - 12);
    return new TextDecoder().decode(bytes.subarray(list.start + 12, list.start + 12 + length)).replace(/\0+$/, '');
}

// A stand-in for the sound of that name.
function standInWave(name) {
    const text = new TextEncoder().encode(`${name}\0`);
    const padded = text.length + (text.length & 1);
    const bytes = new Uint8Array(32 + padded);
    const view = new DataView(bytes.buffer);
    [[0, 'RIFF'], [8, 'WAVE'], [12, 'LIST'], [20, 'INFO'], [24, 'INAM']]
        .forEach(([at, tag]) => [...tag].forEach((c, i) => { bytes[at + i] = c.charCodeAt(0); }));
    view.setUint32(4, bytes.length - 8, true);
    view.setUint32(16, bytes.length - 20, true);
    view.setUint32(28, text.length, true);
    bytes.set(text, 32);
    return bytes;
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
        const name = standInName(bytes);
        const buffer = name === null ? this.bufferOf(bytes) : null;
        if (name === null && !buffer)
            return 0;
        const handle = ++this.lastHandle;
        this.sounds.set(handle, {buffer, name, voices: new Array(bufferCount).fill(null), waitingLoop: false});
        return handle;
    }

    // A sound that the game holds a stand-in for has come: it plays from now on, a loop asked for meanwhile
    // from its beginning. One that cannot be read stays silent.
    arrive(name, bytes) {
        for (const sound of this.sounds.values()) {
            if (sound.name === name && !sound.buffer)
                sound.buffer = this.bufferOf(bytes);
        }
        this.startWaitingLoops();
    }

    bufferOf(bytes) {
        const wave = parseWave(bytes);
        if (!wave || wave.frames === 0)
            return null;
        try {
            const buffer = this.context.createBuffer(wave.channels.length, wave.frames, wave.rate);
            wave.channels.forEach((samples, c) => buffer.copyToChannel(samples, c));
            return buffer;
        } catch (error) {
            return null;
        }
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
        if (this.context.state !== 'running' || !sound.buffer) {
            // Not yet allowed to sound, or not yet come: a single playing is dropped, a loop waits.
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
            if (sound.waitingLoop && sound.buffer) {
                sound.waitingLoop = false;
                this.start(handle, true);
            }
        }
    }
}

if (typeof module !== 'undefined')
    module.exports = {SoundLibrary, parseWave, standInWave};
