// SPDX-License-Identifier: GPL-3.0-or-later
// A small pixel canvas over a 24-bit QImage (32-bit with alpha when its fill is not opaque): single
// pixels, runs, lines and character-grid stamps, with no smoothing anywhere.
#pragma once

#include <QImage>
#include <QRgb>

#include <functional>
#include <initializer_list>
#include <map>
#include <string_view>

class Canvas {
public:
    Canvas(int width, int height, QRgb fill);

    int width() const { return image.width(); }
    int height() const { return image.height(); }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }

    // Pixels outside the canvas, or refused by the clip, are silently dropped.
    void set(int x, int y, QRgb colour);
    QRgb get(int x, int y) const;
    void fill(int x0, int y0, int x1, int y1, QRgb colour); // inclusive corners
    void line(int x0, int y0, int x1, int y1, QRgb colour); // Bresenham, inclusive ends

    // Paints a grid of characters with its top-left at (x, y); '.' and ' ' are skipped,
    // every other character must be in the key.
    void stamp(int x, int y, std::initializer_list<std::string_view> rows,
               const std::map<char, QRgb>& key, bool mirrored = false);

    // Restricts later painting to the pixels the predicate accepts; an empty function lifts it.
    void setClip(std::function<bool(int, int)> accepts) { clip = std::move(accepts); }

    const QImage& picture() const { return image; }

private:
    QImage image;
    std::function<bool(int, int)> clip;
};
