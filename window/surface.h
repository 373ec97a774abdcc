// The window's persistent drawing surface, addressed in twips; what is drawn stays until drawn over.
#pragma once

#include <QImage>

#include <functional>
#include <string_view>

class Surface {
public:
    static constexpr int twipsPerPixel = 15;

    // Size in logical pixels; the device pixel ratio is rounded to a whole scale (see deviceScale).
    Surface(int widthPixels, int heightPixels, double devicePixelRatio = 1.0);

    void clear(int colour);
    // Fills the rectangle with corners (x1, y1) and (x2, y2), both edges included.
    void fillRectangle(double x1, double y1, double x2, double y2, int colour);
    // Text with the top-left of its line box at (x, y), glyphs only, no anti-aliasing.
    void drawText(double x, double y, std::string_view utf8Text, int colour, double points);
    // A plain opaque copy at natural size, each art pixel a square of deviceScale() device pixels.
    void copyPicture(const QImage& picture, double x, double y);
    // Shows the surface on the screen now.
    void refresh();

    void setRefreshListener(std::function<void()> listener);
    // Whether anything was drawn since the last call, so the screen is repainted only when needed.
    bool takeChanges();
    const QImage& image() const { return canvas; }
    int deviceScale() const { return scale; }
    // The colour at a logical pixel (the top-left device pixel of it).
    QRgb pixelAt(int x, int y) const;

    // Twips to a logical pixel: rounded to the nearest, halves away from zero.
    static int toPixel(double twips);

private:
    int scale;
    QImage canvas;
    std::function<void()> refreshListener;
    bool changed = true;
};
