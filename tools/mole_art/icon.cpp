// SPDX-License-Identifier: GPL-3.0-or-later
// The icon: the game's brown mole peeking out of its hole, on a transparent background. Every size is
// drawn anew from the same shapes at its own resolution, with outlines and shading of whole pixels; from
// 128 pixels on, the mole holds a wooden sign with its name, モグラ, which smaller sizes could not show legibly.
#include "art.h"
#include "canvas.h"
#include "colours.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using namespace colours;

// Shapes live on a 32-unit square; a picture of `size` pixels has size / 32 pixels per unit.
constexpr double designSize = 32.0;
using Shape = std::function<bool(double x, double y)>;

Shape ellipse(double cx, double cy, double rx, double ry)
{
    return [=](double x, double y) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
}

Shape box(double x0, double y0, double x1, double y1)
{
    return [=](double x, double y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

double distanceToSegment(double x, double y, std::pair<double, double> a, std::pair<double, double> b)
{
    const double vx = b.first - a.first, vy = b.second - a.second;
    const double t = std::clamp(((x - a.first) * vx + (y - a.second) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(x - a.first - t * vx, y - a.second - t * vy);
}

// A pen stroke of the given width through the points, in units.
Shape stroke(std::vector<std::pair<double, double>> points, double width)
{
    return [points = std::move(points), width](double x, double y) {
        for (std::size_t i = 1; i < points.size(); ++i)
            if (distanceToSegment(x, y, points[i - 1], points[i]) <= width / 2)
                return true;
        return false;
    };
}

// How a shape is coloured: a fill, optional light and dark edges (lit from the upper left, `shade` units
// deep) and an optional outline of whole pixels. A colour of 0 is left out.
struct Look {
    QRgb fill;
    QRgb light = 0;
    QRgb dark = 0;
    double shade = 0;
    QRgb outline = 0;
};

class IconPainter {
public:
    explicit IconPainter(int size)
        : canvas(size, size, qRgba(0, 0, 0, 0)), unit(size / designSize), outlinePixels(std::max(1, size / 64))
    {
    }

    void paint(const Shape& inside, const Look& look)
    {
        const auto at = [&](double px, double py) { return inside(px / unit, py / unit); };
        for (int py = 0; py < canvas.height(); ++py)
            for (int px = 0; px < canvas.width(); ++px) {
                const double cx = px + 0.5, cy = py + 0.5;
                if (!at(cx, cy))
                    continue;
                const double s = look.shade * unit;
                QRgb colour = look.fill;
                if (look.dark != 0 && !at(cx + s, cy + s))
                    colour = look.dark;
                if (look.light != 0 && !at(cx - s, cy - s))
                    colour = look.light;
                if (look.outline != 0) {
                    const int w = outlinePixels;
                    if (!at(cx - w, cy) || !at(cx + w, cy) || !at(cx, cy - w) || !at(cx, cy + w))
                        colour = look.outline;
                }
                canvas.set(px, py, colour);
            }
    }

    int size() const { return canvas.width(); }
    double pixel() const { return 1.0 / unit; }
    QImage picture() const { return canvas.picture(); }

private:
    Canvas canvas;
    double unit;
    int outlinePixels;
};

// The katakana of モグラ as pen strokes on a 10-unit cell, placed with its top-left at (x, y), `scale` units
// to a cell unit.
std::vector<Shape> name(double x, double y, double scale, double width)
{
    using Points = std::vector<std::pair<double, double>>;
    const std::vector<std::pair<double, Points>> strokes{
        // モ
        {0, {{1.5, 1.2}, {8.5, 1.2}}},
        {0, {{0.3, 4.6}, {9.7, 4.6}}},
        {0, {{4.6, 1.2}, {4.6, 8.2}, {5.6, 9.2}, {9.4, 9.2}}},
        // グ
        {11.5, {{3.4, 0.8}, {0.6, 4.6}}},
        {11.5, {{3.4, 0.9}, {8.6, 0.9}, {8.2, 4.0}, {6.8, 6.6}, {4.6, 8.6}, {1.8, 9.8}}},
        {11.5, {{9.0, 0.0}, {9.6, 1.4}}},
        {11.5, {{10.6, -0.3}, {11.2, 1.1}}},
        // ラ
        {25.0, {{1.8, 0.8}, {8.2, 0.8}}},
        {25.0, {{0.8, 4.0}, {9.2, 4.0}, {8.6, 6.6}, {6.6, 8.6}, {3.0, 9.8}}},
    };
    std::vector<Shape> shapes;
    for (const auto& [offset, points] : strokes) {
        Points placed;
        for (const auto& [px, py] : points)
            placed.push_back({x + (offset + px) * scale, y + py * scale});
        shapes.push_back(stroke(std::move(placed), width));
    }
    return shapes;
}

Shape anyOf(std::vector<Shape> shapes)
{
    return [shapes = std::move(shapes)](double x, double y) {
        return std::any_of(shapes.begin(), shapes.end(), [&](const Shape& s) { return s(x, y); });
    };
}

} // namespace

QImage drawIcon(int size)
{
    IconPainter p(size);
    const bool withSign = size >= 128;
    const double px = p.pixel();

    // The mound of dirt and the hole in it.
    p.paint(ellipse(16, 26.5, 15.5, 5), {dirt, dirtLight, dirtDark, 1.0, outline});
    const Shape hole = ellipse(16, 25.6, 11.5, 3.0);
    p.paint(hole, {shaftDeep, 0, shaft, 0.8});

    // The mole, standing out of the hole: its body ends at the hole's far rim.
    const Shape body = ellipse(16, 15, 10, 12.5);
    p.paint([&](double x, double y) { return body(x, y) && (y < 25.6 || hole(x, y)); },
            {fur, furLight, furDark, 1.6, outline});

    // Face: eyes with a glint, blushing cheeks, the muzzle with its nose and mouth.
    for (const double x : {12.3, 19.7}) {
        p.paint(ellipse(x, 12, 1.3, 1.7), {eye});
        p.paint(box(x - 0.9, 10.6, x - 0.9 + std::max(px, 0.6), 10.6 + std::max(px, 0.6)), {white});
    }
    if (size >= 64)
        for (const double x : {9.8, 22.2})
            p.paint(ellipse(x, 16.6, 1.7, 0.9), {blush});
    p.paint(ellipse(16, 17.6, 5.2, 3.8), {muzzle, 0, muzzleShade, 0.9, size >= 64 ? outline : 0});
    p.paint(ellipse(16, 15.6, 2.4, 1.7), {nose, noseShine, noseShade, 0.7});
    if (size >= 64) {
        p.paint(stroke({{14.2, 19.2}, {16, 20.1}, {17.8, 19.2}}, std::max(px, 0.35)), {mouth});
        // Whiskers, out over the cheeks.
        for (const double side : {-1.0, 1.0})
            for (const double dy : {-0.9, 0.9})
                p.paint(stroke({{16 + side * 5.8, 17.3 + dy * 0.4}, {16 + side * 10.5, 17.3 + dy * 1.6}},
                               std::max(px, 0.3)),
                        {eye});
    }

    // The wooden sign with the mole's name, as the key buttons are made.
    if (withSign) {
        p.paint(box(1.5, 24.2, 30.5, 31.5), {brown, brownLight, brownDark, 0.8, lampRim});
        const double scale = 0.52, letterTop = 25.4, letterLeft = 16 - 35.0 * scale / 2;
        p.paint(anyOf(name(letterLeft + 2 * px, letterTop + 2 * px, scale, 0.9)), {brownDark});
        p.paint(anyOf(name(letterLeft, letterTop, scale, 0.9)), {labelWhite});
    }

    // Paws gripping the rim (or the sign), with their claws.
    for (const double x : {8.6, 23.4}) {
        const double y = withSign ? 23.8 : 24.2;
        p.paint(ellipse(x, y, 3.3, 2.1), {paw, 0, pawShade, 0.7, outline});
        if (size >= 64)
            for (const double dx : {-1.6, 0.0, 1.6})
                p.paint(ellipse(x + dx, y + 1.3, 0.55, 0.75), {claw, 0, 0, 0, size >= 128 ? outline : 0});
    }
    return p.picture();
}

// A home-screen launcher may cut the picture to any shape that holds the middle circle of 80% of its width, so
// the mole stands on the game's green, filling the square, drawn smaller (9/16 of it: the sign's corners, its
// farthest points, then lie 0.36 of the width from the middle) and raised by a unit so that it sits in the middle.
QImage drawMaskableIcon(int size)
{
    const int inner = size * 9 / 16;
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(colours::sky);
    // The mole's pixels are wholly opaque or wholly transparent, so drawing it over the green blends nothing.
    QPainter(&picture).drawImage((size - inner) / 2, (size - inner) / 2 - inner / 32, drawIcon(inner));
    return picture;
}
