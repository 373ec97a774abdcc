// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of the sound fuzzer: small .wav files in every encoding SDL's WAVE loader
// reads (integer PCM of 8, 16, 24 and 32 bits, 32-bit float, A-law, mu-law, MS and IMA ADPCM, the
// extensible format, mono to six channels, several rates, extra chunks), then truncated and
// corrupted variants of them. Every file meant to be valid is checked with SDL's own loader, so a
// broken seed is noticed when the corpus is made rather than silently fuzzed.
//
// usage: make_wav_seeds <output folder>
#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void putLe(Bytes& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

void putTag(Bytes& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(tag[i]));
}

void setLe32(Bytes& image, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[at + i] = std::uint8_t(value >> (8 * i));
}

// One chunk: tag, size, body and the pad byte of an odd-sized body.
Bytes chunk(const char* tag, const Bytes& body)
{
    Bytes out;
    putTag(out, tag);
    putLe(out, body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
    return out;
}

Bytes riff(const std::vector<Bytes>& chunks)
{
    Bytes out;
    putTag(out, "RIFF");
    putLe(out, 0, 4);
    putTag(out, "WAVE");
    for (const Bytes& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    setLe32(out, 4, std::uint32_t(out.size() - 8));
    return out;
}

constexpr std::uint16_t pcm = 1, msAdpcm = 2, ieeeFloat = 3, aLaw = 6, muLaw = 7, imaAdpcm = 0x11,
                        extensible = 0xFFFE;

struct Format {
    std::uint16_t code = pcm;
    std::uint16_t channels = 1;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
};

// The 16-byte body of a plain "fmt " chunk.
Bytes formatBody(const Format& f, std::uint16_t blockAlign)
{
    Bytes body;
    putLe(body, f.code, 2);
    putLe(body, f.channels, 2);
    putLe(body, f.rate, 4);
    putLe(body, std::uint64_t(f.rate) * blockAlign, 4);
    putLe(body, blockAlign, 2);
    putLe(body, f.bits, 2);
    return body;
}

// A sine of `frames` sample frames in the given uncompressed encoding, every channel a different pitch.
Bytes samples(const Format& f, std::uint16_t code, int frames)
{
    Bytes data;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < f.channels; ++c) {
            const double v = 0.5 * std::sin(2 * std::numbers::pi * (440.0 + 110.0 * c) * i / f.rate);
            if (code == ieeeFloat) {
                const float x = float(v);
                std::uint32_t bits;
                std::memcpy(&bits, &x, 4);
                putLe(data, bits, 4);
            } else if (code == aLaw || code == muLaw || f.bits == 8) {
                // A-law and mu-law bytes are any byte; an unsigned 8-bit ramp of the sine serves all three.
                putLe(data, std::uint8_t(std::lround(128 + 127 * v)), 1);
            } else {
                const double scale = std::ldexp(1.0, f.bits - 1) - 1;
                putLe(data, std::uint64_t(std::int64_t(std::llround(v * scale))), f.bits / 8);
            }
        }
    return data;
}

Bytes plainWave(const Format& f, int frames, const std::vector<Bytes>& before = {})
{
    const std::uint16_t blockAlign = std::uint16_t(f.channels * f.bits / 8);
    std::vector<Bytes> chunks{chunk("fmt ", formatBody(f, blockAlign))};
    chunks.insert(chunks.end(), before.begin(), before.end());
    chunks.push_back(chunk("data", samples(f, f.code, frames)));
    return riff(chunks);
}

// WAVE_FORMAT_EXTENSIBLE around an integer or float sub-format.
Bytes extensibleWave(const Format& inner, std::uint32_t channelMask, int frames)
{
    const std::uint16_t blockAlign = std::uint16_t(inner.channels * inner.bits / 8);
    Format outer = inner;
    outer.code = extensible;
    Bytes body = formatBody(outer, blockAlign);
    putLe(body, 22, 2);            // size of the extension
    putLe(body, inner.bits, 2);    // valid bits per sample
    putLe(body, channelMask, 4);
    putLe(body, inner.code, 2);    // sub-format GUID: the format code, then the fixed tail
    const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.insert(body.end(), tail, tail + 14);
    return riff({chunk("fmt ", body), chunk("data", samples(inner, inner.code, frames))});
}

Bytes fact(std::uint32_t frames)
{
    Bytes body;
    putLe(body, frames, 4);
    return chunk("fact", body);
}

// A-law or mu-law: 8 bits per sample, an 18-byte format with an empty extension, and a fact chunk.
Bytes companded(std::uint16_t code, std::uint16_t channels, int frames)
{
    Format f{code, channels, 8000, 8};
    Bytes body = formatBody(f, channels);
    putLe(body, 0, 2);
    return riff({chunk("fmt ", body), fact(std::uint32_t(frames)), chunk("data", samples(f, code, frames))});
}

// MS ADPCM: blocks of 256 bytes per channel with the seven standard coefficient pairs.
Bytes msAdpcmWave(std::uint16_t channels, int blocks)
{
    const std::uint16_t blockAlign = std::uint16_t(256 * channels);
    const std::uint16_t perBlock = std::uint16_t((blockAlign - 7 * channels) * 8 / (4 * channels) + 2);
    Format f{msAdpcm, channels, 22050, 4};
    Bytes body = formatBody(f, blockAlign);
    setLe32(body, 8, std::uint32_t(f.rate) * blockAlign / perBlock);
    putLe(body, 32, 2);
    putLe(body, perBlock, 2);
    const int coefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    putLe(body, 7, 2);
    for (const auto& pair : coefficients) {
        putLe(body, std::uint16_t(std::int16_t(pair[0])), 2);
        putLe(body, std::uint16_t(std::int16_t(pair[1])), 2);
    }
    Bytes data;
    for (int b = 0; b < blocks; ++b) {
        for (int c = 0; c < channels; ++c)
            putLe(data, (b + c) % 7, 1);                 // predictor
        for (int c = 0; c < channels; ++c)
            putLe(data, 16 + 8 * c, 2);                 // initial delta
        for (int c = 0; c < channels; ++c)
            putLe(data, std::uint16_t(std::int16_t(100 * c)), 2);  // second sample
        for (int c = 0; c < channels; ++c)
            putLe(data, std::uint16_t(std::int16_t(-100 * c)), 2); // first sample
        for (int i = 7 * channels; i < blockAlign; ++i)
            putLe(data, std::uint8_t(i * 37 + b), 1);
    }
    return riff({chunk("fmt ", body), fact(std::uint32_t(blocks * perBlock)), chunk("data", data)});
}

// IMA ADPCM: blocks of 256 bytes per channel.
Bytes imaAdpcmWave(std::uint16_t channels, int blocks)
{
    const std::uint16_t blockAlign = std::uint16_t(256 * channels);
    const std::uint16_t perBlock = std::uint16_t((blockAlign - 4 * channels) * 8 / (4 * channels) + 1);
    Format f{imaAdpcm, channels, 22050, 4};
    Bytes body = formatBody(f, blockAlign);
    setLe32(body, 8, std::uint32_t(f.rate) * blockAlign / perBlock);
    putLe(body, 2, 2);
    putLe(body, perBlock, 2);
    Bytes data;
    for (int b = 0; b < blocks; ++b) {
        for (int c = 0; c < channels; ++c) {
            putLe(data, std::uint16_t(std::int16_t(50 * c)), 2);  // first sample
            putLe(data, (10 + b + c) % 89, 1);                    // step index
            putLe(data, 0, 1);
        }
        for (int i = 4 * channels; i < blockAlign; ++i)
            putLe(data, std::uint8_t(i * 53 + b), 1);
    }
    return riff({chunk("fmt ", body), fact(std::uint32_t(blocks * perBlock)), chunk("data", data)});
}

// A small fixed generator, so the corpus is the same on every run.
std::uint32_t nextRandom(std::uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

struct Seed {
    std::string name;
    Bytes image;
};

bool sdlReads(const Bytes& image)
{
    SDL_AudioSpec format;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* source = SDL_RWFromConstMem(image.data(), int(image.size()));
    if (SDL_LoadWAV_RW(source, 1, &format, &buffer, &length) == nullptr)
        return false;
    SDL_FreeWAV(buffer);
    return length > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    std::vector<Seed> valid;
    for (const std::uint16_t bits : {8, 16, 24, 32})
        for (const std::uint16_t channels : {1, 2})
            for (const std::uint32_t rate : {8000u, 22050u, 44100u, 48000u})
                valid.push_back({"pcm" + std::to_string(bits) + "-" + std::to_string(channels) + "ch-" +
                                     std::to_string(rate),
                                 plainWave({pcm, channels, rate, bits}, 200)});
    for (const std::uint16_t channels : {1, 2})
        for (const std::uint32_t rate : {11025u, 44100u, 96000u})
            valid.push_back({"float32-" + std::to_string(channels) + "ch-" + std::to_string(rate),
                             plainWave({ieeeFloat, channels, rate, 32}, 200)});
    valid.push_back({"ext-pcm16-stereo", extensibleWave({pcm, 2, 44100, 16}, 0x3, 200)});
    valid.push_back({"ext-pcm24-mono", extensibleWave({pcm, 1, 48000, 24}, 0x4, 200)});
    valid.push_back({"ext-pcm32-quad", extensibleWave({pcm, 4, 44100, 32}, 0x33, 100)});
    valid.push_back({"ext-float-5.1", extensibleWave({ieeeFloat, 6, 48000, 32}, 0x3F, 100)});
    valid.push_back({"ext-pcm8-stereo", extensibleWave({pcm, 2, 22050, 8}, 0x3, 200)});
    valid.push_back({"alaw-mono", companded(aLaw, 1, 300)});
    valid.push_back({"mulaw-stereo", companded(muLaw, 2, 300)});
    valid.push_back({"msadpcm-mono", msAdpcmWave(1, 2)});
    valid.push_back({"msadpcm-stereo", msAdpcmWave(2, 1)});
    valid.push_back({"imaadpcm-mono", imaAdpcmWave(1, 2)});
    valid.push_back({"imaadpcm-stereo", imaAdpcmWave(2, 1)});
    // Chunks around the samples: a LIST before the data, a fact chunk, an odd chunk with its pad byte,
    // and an odd-sized data chunk of 8-bit mono.
    {
        Bytes info;
        putTag(info, "INFO");
        const Bytes title = chunk("INAM", Bytes{'Z', 'u', 'b', 'o', 't', 't', 'a', 0});
        info.insert(info.end(), title.begin(), title.end());
        valid.push_back({"pcm16-list-chunk", plainWave({pcm, 1, 44100, 16}, 150, {chunk("LIST", info)})});
        valid.push_back({"pcm16-odd-chunk", plainWave({pcm, 2, 44100, 16}, 150, {chunk("junk", Bytes{1, 2, 3})})});
        valid.push_back({"float32-fact", plainWave({ieeeFloat, 1, 44100, 32}, 150, {fact(150)})});
        valid.push_back({"pcm8-odd-data", plainWave({pcm, 1, 11025, 8}, 151)});
    }

    if (SDL_Init(0) < 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    int refused = 0;
    for (const Seed& seed : valid)
        if (!sdlReads(seed.image)) {
            std::fprintf(stderr, "SDL refuses the seed meant to be valid: %s (%s)\n", seed.name.c_str(), SDL_GetError());
            ++refused;
        }
    SDL_Quit();
    if (refused != 0)
        return 1;

    std::vector<Seed> seeds = valid;
    // Broken variants of a few of the valid files.
    std::uint32_t random = 12345;
    for (const std::size_t base : {std::size_t(1), std::size_t(9), std::size_t(34), valid.size() - 3, valid.size() - 7}) {
        const Seed& original = valid[base % valid.size()];
        const Bytes& image = original.image;
        auto add = [&](const std::string& what, Bytes bytes) { seeds.push_back({original.name + "-" + what, std::move(bytes)}); };
        for (const std::size_t keep : {std::size_t(1), std::size_t(4), std::size_t(11), std::size_t(12), std::size_t(20),
                                       std::size_t(36), std::size_t(43), std::size_t(44), image.size() / 2, image.size() - 1})
            if (keep < image.size())
                add("cut" + std::to_string(keep), Bytes(image.begin(), image.begin() + std::ptrdiff_t(keep)));
        Bytes b = image;
        setLe32(b, 4, 0x7FFFFFF0);
        add("riff-size-huge", b);
        b = image;
        setLe32(b, 4, 4);
        add("riff-size-small", b);
        b = image;
        setLe32(b, 16, 0xFFFFFFFF);
        add("fmt-size-huge", b);
        b = image;
        setLe32(b, 16, 2);
        add("fmt-size-tiny", b);
        b = image;
        b[22] = 0;
        b[23] = 0;
        add("no-channels", b);
        b = image;
        b[32] = 0;
        b[33] = 0;
        add("no-block-align", b);
        b = image;
        setLe32(b, 24, 0);
        add("rate-zero", b);
        b = image;
        b[34] = 12;
        add("bits-12", b);
        b = image;
        b[20] = 0x55;  // MPEG layer 3: a format the loader does not decode
        add("mp3-code", b);
        b = image;
        b.insert(b.end(), {'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0x7F});
        add("trailing-claim", b);
        b = image;
        b.resize(b.size() + 3, 0xEE);
        add("trailing-bytes", b);
        for (int flip = 0; flip < 6; ++flip) {
            b = image;
            for (int n = 0; n < 1 + flip; ++n)
                b[nextRandom(random) % b.size()] ^= std::uint8_t(1u << (nextRandom(random) % 8));
            add("flip" + std::to_string(flip), b);
        }
    }
    // A 1 KB file whose data chunk claims 2 GB, a header without chunks, and plain noise.
    {
        Bytes b = plainWave({pcm, 1, 44100, 16}, 480);
        setLe32(b, 40, 0x80000000u);
        seeds.push_back({"claims-2gb", b});
        seeds.push_back({"header-only", riff({})});
        Bytes noise(777);
        for (auto& byte : noise)
            byte = std::uint8_t(nextRandom(random));
        seeds.push_back({"noise", noise});
        seeds.push_back({"empty", {}});
    }

    for (const Seed& seed : seeds) {
        std::ofstream out(folder / (seed.name + ".wav"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(seed.image.data()), std::streamsize(seed.image.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", seed.name.c_str());
            return 1;
        }
    }
    std::printf("%zu seeds (%zu valid) in %s\n", seeds.size(), valid.size(), folder.c_str());
    return 0;
}
