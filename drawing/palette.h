// SPDX-License-Identifier: GPL-3.0-or-later
// The game's 16-colour palette; every drawing call names its colour by index.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

// A pixel as the surface holds it, opaque: the word 0xffRRGGBB, as Qt's images read it; built for the browser
// (ZUBOTTA_CANVAS_PIXELS), the bytes red, green, blue, 0xff, as its canvas reads them. Neither front end then
// turns a pixel into another order.
using Rgb = std::uint32_t;

constexpr Rgb rgb(int red, int green, int blue)
{
#ifdef ZUBOTTA_CANVAS_PIXELS
    std::swap(red, blue);
#endif
    return 0xff000000u | static_cast<Rgb>(red) << 16 | static_cast<Rgb>(green) << 8 | static_cast<Rgb>(blue);
}

inline constexpr std::array<Rgb, 16> palette{
    rgb(0, 0, 0),       rgb(0, 0, 128),     rgb(0, 128, 0),     rgb(0, 128, 128),
    rgb(128, 0, 0),     rgb(128, 0, 128),   rgb(128, 128, 0),   rgb(192, 192, 192),
    rgb(128, 128, 128), rgb(0, 0, 255),     rgb(0, 255, 0),     rgb(0, 255, 255),
    rgb(255, 0, 0),     rgb(255, 0, 255),   rgb(255, 255, 0),   rgb(255, 255, 255),
};

// The window's background, RGB(0,128,0).
inline constexpr int windowBackgroundColour = 2;

// The colour of an index, or nothing for an index outside the palette.
inline std::optional<Rgb> paletteColour(int index)
{
    if (index < 0 || index >= static_cast<int>(palette.size()))
        return std::nullopt;
    return palette[static_cast<std::size_t>(index)];
}
