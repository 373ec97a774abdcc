// SPDX-License-Identifier: GPL-3.0-or-later
// The seven calls of the game's sound library; the game plays, loops, stops and frees sounds through them.
#pragma once

#include <cstdint>
#include <span>

using SoundHandle = std::int32_t;

class SoundLibrary {
public:
    virtual ~SoundLibrary() = default;
    // Opens the audio device; returns a device handle, 0 when there is none.
    virtual std::int32_t dsInitialize(std::int32_t window) = 0;
    // Copies a whole .wav file image; returns a sound handle, 0 for data it cannot use.
    // The image comes with its length so that no header can make the library read past it.
    virtual SoundHandle dsCreateDSB(std::int32_t device, std::span<const std::uint8_t> wavImage,
                                    std::int32_t bufferCount) = 0;
    // The sound-handle calls do nothing for handle 0 or a handle they do not know.
    virtual std::int32_t dsPlay(SoundHandle sound) = 0;
    virtual std::int32_t dsPlayLooping(SoundHandle sound) = 0;
    virtual std::int32_t dsStop(SoundHandle sound) = 0;
    virtual std::int32_t dsFree(SoundHandle sound) = 0;
    virtual std::int32_t dsTerminate(std::int32_t device) = 0;
};
