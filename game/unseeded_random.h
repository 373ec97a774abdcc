// SPDX-License-Identifier: GPL-3.0-or-later
// The game's random source on every platform: one fixed sequence, never seeded.
#pragma once

#include "game/platform.h"

#include <cstdint>
#include <random>

// Never seeded, so every run of the program draws the same sequence.
class UnseededRandom final : public RandomSource {
public:
    float next() override
    {
        // 24 random bits, exactly what a float holds, so the draw never rounds up to 1.
        constexpr std::uint32_t steps = 1u << 24;
        return static_cast<float>(generator() % steps) / steps;
    }

private:
    std::mt19937 generator;
};
