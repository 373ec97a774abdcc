// SPDX-License-Identifier: GPL-3.0-or-later
// The window's persistent drawing surface, addressed in twips; what is drawn stays until drawn over.
#pragma once

#include <QFont>
#include <QImage>

#include <functional>
#include <string_view>

class Surface {
public:
    static constexpr int twipsPerPixel = 15;

    // Size in logical pixels; the device pixel ratio is rounded to a whole scale (see deviceScale).
    Surface(int widthPixels, int heightPixels, double devicePixelRatio = 1.0);

    void clear(int colour);
    // Fills the rectangle with corners (x1, y1) and (x2, y2), without the far corner's column and row:
    // the seconds' erase square then ends just left of "秒", which begins in that column.
    void fillRectangle(double x1, double y1, double x2, double y2, int colour);
    // Text with the top-left of its line box at (x, y), glyphs only, no anti-aliasing.
    void drawText(double x, double y, std::string_view utf8Text, int colour, double points);
    // The line box, in logical pixels, that drawText would give the text.
    QRect textBox(double x, double y, std::string_view utf8Text, double points) const;
    // A plain opaque copy at natural size, each art pixel a square of deviceScale() device pixels;
    // gives the logical pixels it covered.
    QRect copyPicture(const QImage& picture, double x, double y);
    // Shows the surface on the screen now.
    void refresh();

    void setRefreshListener(std::function<void()> listener);
    // Whether anything was drawn since the last call, so the screen is repainted only when needed.
    bool takeChanges();
    const QImage& image() const { return canvas; }
    int deviceScale() const { return scale; }
    // The colour at a logical pixel (the top-left device pixel of it).
    QRgb pixelAt(int x, int y) const;

    // The face of every text the game draws, loaded from a font file so the desktop's settings cannot
    // change it; the desktop's own face, with a warning on stderr, if the file does not load.
    // The menu bar and the dialogs keep the desktop's font.
    static QFont textFaceFrom(const QString& fontFile);

    // Twips to a logical pixel: rounded to the nearest, halves away from zero.
    static int toPixel(double twips);

private:
    QFont fontAt(double points) const;

    int scale;
    QImage canvas;
    QFont face;
    std::function<void()> refreshListener;
    bool changed = true;
};
