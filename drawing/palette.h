// SPDX-License-Identifier: GPL-3.0-or-later
// The game's 16-colour palette; every drawing call names its colour by index.
#pragma once

#include <QRgb>

#include <array>
#include <optional>

inline constexpr std::array<QRgb, 16> palette{
    qRgb(0, 0, 0),       qRgb(0, 0, 128),     qRgb(0, 128, 0),     qRgb(0, 128, 128),
    qRgb(128, 0, 0),     qRgb(128, 0, 128),   qRgb(128, 128, 0),   qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(0, 0, 255),     qRgb(0, 255, 0),     qRgb(0, 255, 255),
    qRgb(255, 0, 0),     qRgb(255, 0, 255),   qRgb(255, 255, 0),   qRgb(255, 255, 255),
};

// The window's background, RGB(0,128,0).
inline constexpr int windowBackgroundColour = 2;

// The colour of an index, or nothing for an index outside the palette.
inline std::optional<QRgb> paletteColour(int index)
{
    if (index < 0 || index >= static_cast<int>(palette.size()))
        return std::nullopt;
    return palette[static_cast<std::size_t>(index)];
}
