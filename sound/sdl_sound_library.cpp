// SdlSoundLibrary: the game's sound library on SDL2_mixer, with handles from a table of its own.
#include "sound/sdl_sound_library.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

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

// Checks the "fmt " chunk body; on success gives the size of one sample frame.
bool usableFormat(std::span<const std::uint8_t> fmt, std::uint32_t& blockAlign)
{
    if (fmt.size() < 16)
        return false;
    std::uint16_t code = readLe16(fmt, 0);
    const std::uint16_t channels = readLe16(fmt, 2);
    const std::uint32_t rate = readLe32(fmt, 4);
    blockAlign = readLe16(fmt, 12);
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
    return (pcm || floating) && blockAlign == std::uint32_t(channels) * bits / 8;
}

}  // namespace

bool SdlSoundLibrary::isUsableWave(std::span<const std::uint8_t> image)
{
    if (image.size() < 12 || !hasTag(image, 0, "RIFF") || !hasTag(image, 8, "WAVE"))
        return false;
    // The RIFF size must describe exactly this image: no truncation, no trailing data.
    if (std::uint64_t(readLe32(image, 4)) + 8 != image.size())
        return false;

    bool haveFormat = false;
    bool haveData = false;
    std::uint32_t blockAlign = 0;
    std::size_t at = 12;
    while (at < image.size()) {
        if (image.size() - at < 8)
            return false;
        const std::uint64_t size = readLe32(image, at + 4);
        const std::size_t body = at + 8;
        if (size > image.size() - body)
            return false;
        const auto contents = image.subspan(body, std::size_t(size));
        if (hasTag(image, at, "fmt ")) {
            if (haveFormat || !usableFormat(contents, blockAlign))
                return false;
            haveFormat = true;
        } else if (hasTag(image, at, "data")) {
            if (!haveFormat || haveData || size == 0 || size % blockAlign != 0)
                return false;
            haveData = true;
        }
        // Chunks are padded to an even length; the last one may lack its pad byte.
        at = body + std::size_t(size) + std::size_t(size & 1);
        if (at > image.size() && at != image.size() + 1)
            return false;
    }
    return haveFormat && haveData;
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

    // Refuse truncated files and wrong chunk sizes instead of guessing, so that no header can make
    // the loader allocate what a chunk merely claims.
    SDL_SetHintWithPriority(SDL_HINT_WAVE_TRUNCATION, "verystrict", SDL_HINT_OVERRIDE);
    SDL_SetHintWithPriority(SDL_HINT_WAVE_RIFF_CHUNK_SIZE, "force", SDL_HINT_OVERRIDE);
    // The fact chunk only counts the samples of compressed data, which is refused anyway; for float data,
    // where writers often leave it out, the length comes from the checked data chunk.
    SDL_SetHintWithPriority(SDL_HINT_WAVE_FACT_CHUNK, "ignore", SDL_HINT_OVERRIDE);

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
    if (wavImage.size() > std::size_t(std::numeric_limits<int>::max()) || !isUsableWave(wavImage))
        return 0;

    SDL_RWops* source = SDL_RWFromConstMem(wavImage.data(), int(wavImage.size()));
    if (source == nullptr)
        return 0;
    // The loader converts to the device's format into memory of its own; the image is not kept.
    ChunkPtr chunk(Mix_LoadWAV_RW(source, 1));
    if (!chunk || chunk->alen == 0)
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
    sounds.emplace(handle, Sound{std::move(chunk), first, bufferCount});
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
