// SPDX-License-Identifier: GPL-3.0-or-later
// SdlSoundLibrary: the game's sound library on SDL2_mixer, with handles from a table of its own.
#include "desktop/sdl_sound_library.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>
#include <optional>

namespace {

// SDL_mixer is one global mixer, so only one library object may hold the device at a time.
bool mixerTaken = false;

constexpr int initialChannels = 16;

std::uint32_t readLe32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

std::uint16_t readLe16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint16_t(bytes[at] | bytes[at + 1] << 8);
}

bool hasTag(std::span<const std::uint8_t> bytes, std::size_t at, const char (&tag)[5])
{
    return std::memcmp(bytes.data() + at, tag, 4) == 0;
}

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatFloat = 3;
constexpr std::uint16_t formatExtensible = 0xFFFE;

// The 14 bytes that follow the format code in the sub-format GUID of WAVE_FORMAT_EXTENSIBLE.
constexpr std::array<std::uint8_t, 14> extensibleGuidTail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// How the samples of a checked image are stored, and where they lie in it.
struct WaveLayout {
    std::uint16_t code = 0;  // formatPcm or formatFloat, after looking through WAVE_FORMAT_EXTENSIBLE
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::uint32_t blockAlign = 0;  // bytes of one sample frame
    std::span<const std::uint8_t> samples;
};

// Checks the "fmt " chunk body and takes the format from it.
bool usableFormat(std::span<const std::uint8_t> fmt, WaveLayout& layout)
{
    if (fmt.size() < 16)
        return false;
    std::uint16_t code = readLe16(fmt, 0);
    const std::uint16_t channels = readLe16(fmt, 2);
    const std::uint32_t rate = readLe32(fmt, 4);
    const std::uint32_t blockAlign = readLe16(fmt, 12);
    const std::uint16_t bits = readLe16(fmt, 14);
    if (code == formatExtensible) {
        if (fmt.size() < 40 || readLe16(fmt, 16) < 22)
            return false;
        if (!std::equal(extensibleGuidTail.begin(), extensibleGuidTail.end(), fmt.begin() + 26))
            return false;
        code = readLe16(fmt, 24);
    }
    if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000)
        return false;
    const bool pcm = code == formatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floating = code == formatFloat && bits == 32;
    if (!(pcm || floating) || blockAlign != std::uint32_t(channels) * bits / 8)
        return false;
    layout = {code, channels, rate, bits, blockAlign, {}};
    return true;
}

// The layout of a well-formed RIFF WAVE image of uncompressed PCM or float samples whose every chunk
// lies inside the image; nothing for anything else.
std::optional<WaveLayout> readLayout(std::span<const std::uint8_t> image)
{
    if (image.size() < 12 || !hasTag(image, 0, "RIFF") || !hasTag(image, 8, "WAVE"))
        return std::nullopt;
    // The RIFF size must describe exactly this image: no truncation, no trailing data.
    if (std::uint64_t(readLe32(image, 4)) + 8 != image.size())
        return std::nullopt;

    bool haveFormat = false;
    bool haveData = false;
    WaveLayout layout;
    std::size_t at = 12;
    while (at < image.size()) {
        if (image.size() - at < 8)
            return std::nullopt;
        const std::uint64_t size = readLe32(image, at + 4);
        const std::size_t body = at + 8;
        if (size > image.size() - body)
            return std::nullopt;
        const auto contents = image.subspan(body, std::size_t(size));
        if (hasTag(image, at, "fmt ")) {
            if (haveFormat || !usableFormat(contents, layout))
                return std::nullopt;
            haveFormat = true;
        } else if (hasTag(image, at, "data")) {
            if (!haveFormat || haveData || size == 0 || size % layout.blockAlign != 0)
                return std::nullopt;
            layout.samples = contents;
            haveData = true;
        }
        // Chunks are padded to an even length; the last one may lack its pad byte.
        at = body + std::size_t(size) + std::size_t(size & 1);
        if (at > image.size() && at != image.size() + 1)
            return std::nullopt;
    }
    if (!haveFormat || !haveData)
        return std::nullopt;
    return layout;
}

// SDL's name for the stored samples; 24-bit samples go in widened to 32 bits, which SDL has no type for.
SDL_AudioFormat streamFormat(const WaveLayout& wave)
{
    if (wave.code == formatFloat)
        return AUDIO_F32LSB;
    return wave.bits == 8 ? AUDIO_U8 : wave.bits == 16 ? AUDIO_S16LSB : AUDIO_S32LSB;
}

// Little-endian 24-bit samples as 32-bit ones, the low byte zero.
void widen24(std::span<const std::uint8_t> samples, std::vector<std::uint8_t>& out)
{
    out.resize(samples.size() / 3 * 4);
    for (std::size_t in = 0, to = 0; in < samples.size(); in += 3, to += 4) {
        out[to] = 0;
        std::memcpy(&out[to + 1], &samples[in], 3);
    }
}

struct StreamDeleter {
    void operator()(SDL_AudioStream* stream) const { SDL_FreeAudioStream(stream); }
};

// The device's format, as SDL_mixer opened it.
struct DeviceFormat {
    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    std::uint64_t frameBytes = 0;
};

// Sample frames, counted at the faster of the two rates, converted at a time: few enough to bound the
// converter's own buffers to a few megabytes.
constexpr std::uint64_t framesPerPiece = 1 << 19;

// Converts frames [from, to) of the sound through a fresh stream, with the silence that flushes the
// resampler after them, into `out`.
bool convertPiece(const WaveLayout& wave, const DeviceFormat& device, std::uint64_t from, std::uint64_t to,
                  std::span<const std::uint8_t> silence, std::vector<std::uint8_t>& widened,
                  std::vector<std::uint8_t>& out)
{
    const std::unique_ptr<SDL_AudioStream, StreamDeleter> stream(SDL_NewAudioStream(
        streamFormat(wave), Uint8(wave.channels), int(wave.rate), device.format, Uint8(device.channels), device.rate));
    if (!stream)
        return false;
    std::span<const std::uint8_t> samples = wave.samples.subspan(from * wave.blockAlign, (to - from) * wave.blockAlign);
    if (wave.bits == 24) {
        widen24(samples, widened);
        samples = widened;
    }
    if (SDL_AudioStreamPut(stream.get(), samples.data(), int(samples.size())) < 0 ||
        SDL_AudioStreamPut(stream.get(), silence.data(), int(silence.size())) < 0 ||
        SDL_AudioStreamFlush(stream.get()) < 0)
        return false;
    out.resize(std::size_t(std::max(SDL_AudioStreamAvailable(stream.get()), 0)));
    const int got = SDL_AudioStreamGet(stream.get(), out.data(), int(out.size()));
    out.resize(std::size_t(std::max(got, 0)));
    return got >= 0;
}

// Converts the samples to the device's format a piece at a time, so nothing larger than the finished
// sound is ever held. Works out the finished size first, in 64 bits, and refuses (nothing) a sound that
// would pass `largest` bytes.
std::optional<std::vector<std::uint8_t>> convertForDevice(const WaveLayout& wave, std::size_t largest)
{
    DeviceFormat device;
    if (Mix_QuerySpec(&device.rate, &device.format, &device.channels) == 0)
        return std::nullopt;
    device.frameBytes = std::uint64_t(device.channels) * SDL_AUDIO_BITSIZE(device.format) / 8;
    const std::uint64_t frames = wave.samples.size() / wave.blockAlign;
    const auto outputFrame = [&](std::uint64_t frame) { return frame * std::uint64_t(device.rate) / wave.rate; };
    if (outputFrame(frames) * device.frameBytes > largest)
        return std::nullopt;
    // Samples already in the device's format are taken as they are.
    if (wave.bits != 24 && streamFormat(wave) == device.format && wave.channels == device.channels &&
        int(wave.rate) == device.rate)
        return std::vector<std::uint8_t>(wave.samples.begin(), wave.samples.end());

    // SDL 2.26 drops the fraction of a frame at the end of each piece it is given and resamples the
    // edges of pieces fed to one stream differently from a whole. So every piece spans a whole number
    // of output frames and goes through a stream of its own, with real samples either side as far as
    // the resampler reaches; what those make is dropped. The silence after a piece reaches as far.
    const std::uint64_t unit = wave.rate / std::gcd(wave.rate, std::uint32_t(device.rate));
    const std::uint64_t reach = 1024 + wave.rate / 8;
    const std::uint64_t margin = (reach + unit - 1) / unit * unit;
    const std::uint64_t pieceFrames = framesPerPiece * wave.rate / std::max(wave.rate, std::uint32_t(device.rate));
    const std::uint64_t piece = std::max(std::uint64_t(1), pieceFrames / unit) * unit;
    const std::vector<std::uint8_t> silence(reach * wave.channels * (wave.bits == 24 ? 4 : wave.bits / 8),
                                            wave.bits == 8 ? 0x80 : 0);

    std::vector<std::uint8_t> converted;
    converted.reserve(std::size_t(outputFrame(frames) * device.frameBytes));
    std::vector<std::uint8_t> widened;
    std::vector<std::uint8_t> pieceOut;
    for (std::uint64_t at = 0; at < frames; at += piece) {
        const std::uint64_t end = std::min(frames, at + piece);
        const std::uint64_t from = at - std::min(at, margin);
        if (!convertPiece(wave, device, from, std::min(frames, end + margin), silence, widened, pieceOut))
            return std::nullopt;
        const std::size_t skip = std::size_t((outputFrame(at) - outputFrame(from)) * device.frameBytes);
        const std::size_t keep = std::size_t((outputFrame(end) - outputFrame(at)) * device.frameBytes);
        const auto first = pieceOut.begin() + std::ptrdiff_t(std::min(skip, pieceOut.size()));
        converted.insert(converted.end(), first, first + std::ptrdiff_t(std::min(keep, std::size_t(pieceOut.end() - first))));
    }
    return converted;
}

}  // namespace

bool SdlSoundLibrary::isUsableWave(std::span<const std::uint8_t> image)
{
    return readLayout(image).has_value();
}

void SdlSoundLibrary::ChunkDeleter::operator()(Mix_Chunk* chunk) const
{
    Mix_FreeChunk(chunk);
}

SdlSoundLibrary::~SdlSoundLibrary()
{
    if (device != 0)
        closeDevice();
}

std::int32_t SdlSoundLibrary::dsInitialize(std::int32_t /*window*/)
{
    // SDL_mixer plays through its own device, whatever window the game has.
    if (device != 0)
        return device;
    if (mixerTaken)
        return 0;
    // Otherwise SDL turns SIGTERM and SIGINT into a quit event that the game never reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0)
        return 0;
    if (Mix_OpenAudioDevice(sampleRate, AUDIO_S16SYS, outputChannels, chunkFrames, nullptr, 0) < 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    // Every channel belongs to some sound's group; nothing is played on a channel picked by SDL_mixer.
    Mix_AllocateChannels(initialChannels);
    Mix_ReserveChannels(initialChannels);
    channelOwner.assign(initialChannels, 0);
    channelStarted.assign(initialChannels, 0);

    mixerTaken = true;
    lastDeviceHandle = lastDeviceHandle == std::numeric_limits<std::int32_t>::max() ? 1 : lastDeviceHandle + 1;
    device = lastDeviceHandle;
    return device;
}

SoundHandle SdlSoundLibrary::dsCreateDSB(std::int32_t deviceHandle, std::span<const std::uint8_t> wavImage,
                                         std::int32_t bufferCount)
{
    if (device == 0 || deviceHandle != device)
        return 0;
    if (bufferCount < 1 || bufferCount > maxBufferCount)
        return 0;
    const auto wave = readLayout(wavImage);
    if (!wave)
        return 0;
    // The image is not kept: the sound plays from its own converted copy, which the chunk only borrows.
    std::optional<std::vector<std::uint8_t>> samples;
    try {
        samples = convertForDevice(*wave, largestSound);
    } catch (const std::bad_alloc&) {
        return 0;  // too little memory left for this sound: it stays silent
    }
    if (!samples || samples->empty())
        return 0;
    ChunkPtr chunk(Mix_QuickLoad_RAW(samples->data(), Uint32(samples->size())));
    if (!chunk)
        return 0;

    // Handles are not reused soon, so a freed handle stays unknown.
    SoundHandle handle = lastSoundHandle;
    do
        handle = handle == std::numeric_limits<SoundHandle>::max() ? 1 : handle + 1;
    while (sounds.contains(handle));
    lastSoundHandle = handle;
    const int first = reserveChannels(bufferCount);
    if (first < 0)
        return 0;
    std::fill_n(channelOwner.begin() + first, bufferCount, handle);
    Mix_GroupChannels(first, first + bufferCount - 1, handle);
    sounds.emplace(handle, Sound{std::move(*samples), std::move(chunk), first, bufferCount});
    return handle;
}

int SdlSoundLibrary::reserveChannels(int count)
{
    int run = 0;
    for (int channel = 0; channel < int(channelOwner.size()); ++channel) {
        run = channelOwner[channel] == 0 ? run + 1 : 0;
        if (run == count)
            return channel - count + 1;
    }
    // No free run long enough: add channels at the end, continuing a free run that ends there.
    const int first = int(channelOwner.size()) - run;
    const int total = first + count;
    if (Mix_AllocateChannels(total) != total)
        return -1;
    Mix_ReserveChannels(total);
    channelOwner.resize(total, 0);
    channelStarted.resize(total, 0);
    return first;
}

void SdlSoundLibrary::releaseChannels(const Sound& sound)
{
    const int last = sound.firstChannel + sound.channelCount - 1;
    for (int channel = sound.firstChannel; channel <= last; ++channel)
        Mix_HaltChannel(channel);
    Mix_GroupChannels(sound.firstChannel, last, -1);
    std::fill_n(channelOwner.begin() + sound.firstChannel, sound.channelCount, 0);
}

int SdlSoundLibrary::startPlaying(SoundHandle handle, int loops)
{
    const auto found = sounds.find(handle);
    if (handle == 0 || found == sounds.end())
        return 0;
    const Sound& sound = found->second;
    int channel = Mix_GroupAvailable(handle);
    if (channel < 0) {
        // All playings sound: restart the oldest. Mix_GroupOldest only knows the millisecond of each start,
        // so plays within one millisecond would tie; our own counter orders them exactly.
        const auto begin = channelStarted.begin() + sound.firstChannel;
        channel = int(std::min_element(begin, begin + sound.channelCount) - channelStarted.begin());
    }
    if (Mix_PlayChannel(channel, sound.chunk.get(), loops) < 0)
        return 0;
    channelStarted[channel] = ++playCounter;
    return 1;
}

std::int32_t SdlSoundLibrary::dsPlay(SoundHandle sound)
{
    return startPlaying(sound, 0);
}

std::int32_t SdlSoundLibrary::dsPlayLooping(SoundHandle sound)
{
    return startPlaying(sound, -1);
}

std::int32_t SdlSoundLibrary::dsStop(SoundHandle sound)
{
    if (sound == 0 || !sounds.contains(sound))
        return 0;
    Mix_HaltGroup(sound);
    return 1;
}

std::int32_t SdlSoundLibrary::dsFree(SoundHandle sound)
{
    const auto found = sounds.find(sound);
    if (sound == 0 || found == sounds.end())
        return 0;
    releaseChannels(found->second);
    sounds.erase(found);
    return 1;
}

std::int32_t SdlSoundLibrary::dsTerminate(std::int32_t deviceHandle)
{
    if (device == 0 || deviceHandle != device)
        return 0;
    closeDevice();
    return 1;
}

void SdlSoundLibrary::closeDevice()
{
    Mix_HaltChannel(-1);
    sounds.clear();
    channelOwner.clear();
    channelStarted.clear();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    mixerTaken = false;
    device = 0;
}
