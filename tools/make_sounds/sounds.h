// SPDX-License-Identifier: GPL-3.0-or-later
// The game's seven sounds, synthesized: the desktop's build writes them as files, the page makes its tune.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

inline constexpr std::array<std::string_view, 7> soundFileNames = {
    "モグラ.wav", "打音.wav", "空振.wav", "TIMEOUT.wav", "その他.wav", "禁止.wav", "BGM.wav"};

// The bytes of the .wav file of that name, or none for a name that is not one of the seven.
std::vector<std::uint8_t> soundWav(std::string_view fileName);
