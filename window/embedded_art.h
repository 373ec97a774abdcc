// SPDX-License-Identifier: GPL-3.0-or-later
// The art files of window/art, built into the program.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The bytes of an art file by its name ("NIGE1.png"); empty for a name it does not hold.
std::span<const std::uint8_t> embeddedArt(std::string_view fileName);
