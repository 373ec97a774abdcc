// SPDX-License-Identifier: GPL-3.0-or-later
// The game's own text face: every character it draws, at each size it draws it and at device scales 1 to 4,
// rendered ahead of time (tools/text_face), so no font file or font engine is needed to draw a text.
// A glyph is its coverage of each device pixel, 0 to 255: glyphs up to 64 device pixels are whole pixels
// (255 or 0), larger ones have soft edges, as the font engine drew them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct Glyph {
    char32_t character;
    // The pen's step along a line box, in 1/64 logical pixel.
    int advance64;
    // The pen's step in device pixels while drawing.
    int deviceAdvance;
    // The bitmap's top-left corner from the pen on the baseline, and its size, in device pixels.
    int left;
    int top;
    int width;
    int height;
    // Where its coverage starts in textFaceCoverage(), one byte a pixel, row by row.
    std::size_t firstByte;
};

struct FaceSize {
    int pixelSize;
    int scale;
    // The line box: the baseline's distance from its top, and its height, in logical pixels.
    int ascent;
    int lineHeight;
    std::span<const Glyph> glyphs;
};

std::span<const FaceSize> textFaceSizes();
const std::uint8_t* textFaceCoverage();
