// SPDX-License-Identifier: GPL-3.0-or-later
// The plain pixel types the surface and the sprite catalogue share: a rectangle and an opaque picture.
#pragma once

#include "drawing/palette.h"

#include <algorithm>
#include <cstddef>
#include <vector>

// A rectangle of whole pixels; one of no width or height is empty.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool intersects(const Rect& other) const
    {
        return !isEmpty() && !other.isEmpty() && x < other.right() && other.x < right() && y < other.bottom() &&
               other.y < bottom();
    }
    // The smallest rectangle holding both; an empty one adds nothing.
    Rect united(const Rect& other) const
    {
        if (other.isEmpty())
            return *this;
        if (isEmpty())
            return other;
        const int left = std::min(x, other.x);
        const int top = std::min(y, other.y);
        return {left, top, std::max(right(), other.right()) - left, std::max(bottom(), other.bottom()) - top};
    }
    Rect intersected(const Rect& other) const
    {
        const int left = std::max(x, other.x);
        const int top = std::max(y, other.y);
        const Rect overlap{left, top, std::min(right(), other.right()) - left, std::min(bottom(), other.bottom()) - top};
        return overlap.isEmpty() ? Rect{} : overlap;
    }
    bool operator==(const Rect&) const = default;
};

// A picture, row by row, its pixels 0xAARRGGBB; every sprite is opaque (alpha 0xff).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Rgb pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
