// SPDX-License-Identifier: GPL-3.0-or-later
// The game's sound library on SDL2_mixer: one output device, sounds copied from .wav images,
// each sound with its own group of mixer channels.
#pragma once

#include "sound/sound_library.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

struct Mix_Chunk;

class SdlSoundLibrary final : public SoundLibrary {
public:
    // Output format of the device.
    static constexpr int sampleRate = 44100;
    static constexpr int outputChannels = 2;
    // Frames mixed at a time: 512 frames are 11.6 ms, so a sound starts within about two chunks.
    static constexpr int chunkFrames = 512;
    // The most playings of one sound that may overlap; a larger buffer count is refused.
    static constexpr std::int32_t maxBufferCount = 32;
    // The most memory one sound may take once converted to the device's format (25 minutes of it);
    // a longer sound is refused.
    static constexpr std::size_t largestSound = 256u * 1024 * 1024;

    SdlSoundLibrary() = default;
    ~SdlSoundLibrary() override;
    SdlSoundLibrary(const SdlSoundLibrary&) = delete;
    SdlSoundLibrary& operator=(const SdlSoundLibrary&) = delete;

    std::int32_t dsInitialize(std::int32_t window) override;
    SoundHandle dsCreateDSB(std::int32_t device, std::span<const std::uint8_t> wavImage,
                            std::int32_t bufferCount) override;
    std::int32_t dsPlay(SoundHandle sound) override;
    std::int32_t dsPlayLooping(SoundHandle sound) override;
    std::int32_t dsStop(SoundHandle sound) override;
    std::int32_t dsFree(SoundHandle sound) override;
    std::int32_t dsTerminate(std::int32_t device) override;

    // True when the image is a well-formed RIFF WAVE file of uncompressed PCM or float samples
    // whose every chunk lies inside the image; nothing else is converted for the device.
    static bool isUsableWave(std::span<const std::uint8_t> wavImage);

private:
    struct ChunkDeleter {
        void operator()(Mix_Chunk* chunk) const;
    };
    using ChunkPtr = std::unique_ptr<Mix_Chunk, ChunkDeleter>;

    struct Sound {
        std::vector<std::uint8_t> samples;  // in the device's format; declared first, so it outlives the chunk
        ChunkPtr chunk;                      // plays straight from samples
        int firstChannel = 0;  // the sound's channel group is [firstChannel, firstChannel + channelCount)
        int channelCount = 0;
    };

    int startPlaying(SoundHandle sound, int loops);
    int reserveChannels(int count);
    void releaseChannels(const Sound& sound);
    void closeDevice();

    std::int32_t device = 0;  // handle of the open device, 0 while closed
    std::int32_t lastDeviceHandle = 0;
    std::int32_t lastSoundHandle = 0;
    std::map<SoundHandle, Sound> sounds;
    // Per mixer channel: the sound that owns it (0 = free) and when it was last started.
    std::vector<SoundHandle> channelOwner;
    std::vector<std::uint64_t> channelStarted;
    std::uint64_t playCounter = 0;
};
