// SPDX-License-Identifier: GPL-3.0-or-later
// The window's persistent drawing surface, addressed in twips; what is drawn stays until drawn over.
#pragma once

#include "window/picture.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

struct Glyph;

class Surface {
public:
    static constexpr int twipsPerPixel = 15;

    // Size in logical pixels; the device pixel ratio is rounded to a whole scale (see deviceScale).
    Surface(int widthPixels, int heightPixels, double devicePixelRatio = 1.0);

    void clear(int colour);
    // Fills the rectangle with corners (x1, y1) and (x2, y2), without the far corner's column and row:
    // the seconds' erase square then ends just left of "秒", which begins in that column.
    void fillRectangle(double x1, double y1, double x2, double y2, int colour);
    // Text in the game's own face with the top-left of its line box at (x, y), glyphs only.
    void drawText(double x, double y, std::string_view utf8Text, int colour, double points);
    // The line box, in logical pixels, that drawText would give the text.
    Rect textBox(double x, double y, std::string_view utf8Text, double points) const;
    // A plain opaque copy at natural size, each art pixel a square of deviceScale() device pixels;
    // gives the logical pixels it covered.
    Rect copyPicture(const Picture& picture, double x, double y);
    // Shows the surface on the screen now.
    void refresh();

    void setRefreshListener(std::function<void()> listener);
    // The logical pixels drawn on since the last call (or refresh), so the screen is repainted only where
    // and when needed: a few areas apart, none when nothing was drawn.
    std::vector<Rect> takeChanges();

    // The pixels, 0xffRRGGBB, row after row of deviceWidth() pixels.
    const Rgb* pixels() const { return canvas.data(); }
    int deviceWidth() const { return width * scale; }
    int deviceHeight() const { return height * scale; }
    int deviceScale() const { return scale; }
    // The colour at a logical pixel (the top-left device pixel of it).
    Rgb pixelAt(int x, int y) const;

    // Twips to a logical pixel: rounded to the nearest, halves away from zero.
    static int toPixel(double twips);

private:
    // Fills an area given in device pixels, clipped to the surface.
    void fillDevice(Rect area, Rgb colour);
    void markChanged(const Rect& logicalArea);
    // One glyph with its pen on the baseline, in device pixels, each of its pixels `enlargement` wide.
    void drawGlyph(const Glyph& glyph, int penX, int baseline, int enlargement, Rgb colour);

    int width;
    int height;
    int scale;
    std::vector<Rgb> canvas;
    // A picture's row at the device scale, on its way to the canvas.
    std::vector<Rgb> widenedRow;
    std::function<void()> refreshListener;
    std::vector<Rect> changed;
};
