// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

Canvas::Canvas(int width, int height, QRgb fill)
    : image(width, height, qAlpha(fill) == 255 ? QImage::Format_RGB888 : QImage::Format_ARGB32)
{
    image.fill(QColor::fromRgba(fill));
}

void Canvas::set(int x, int y, QRgb colour)
{
    if (!contains(x, y) || (clip && !clip(x, y)))
        return;
    image.setPixel(x, y, colour);
}

QRgb Canvas::get(int x, int y) const
{
    return image.pixel(x, y);
}

void Canvas::fill(int x0, int y0, int x1, int y1, QRgb colour)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            set(x, y, colour);
}

void Canvas::line(int x0, int y0, int x1, int y1, QRgb colour)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        set(x0, y0, colour);
        if (x0 == x1 && y0 == y1)
            return;
        const int twice = 2 * error;
        if (twice >= dy) { error += dy; x0 += sx; }
        if (twice <= dx) { error += dx; y0 += sy; }
    }
}

void Canvas::stamp(int x, int y, std::initializer_list<std::string_view> rows,
                   const std::map<char, QRgb>& key, bool mirrored)
{
    int row = 0;
    for (std::string_view text : rows) {
        const int length = static_cast<int>(text.size());
        for (int column = 0; column < length; ++column) {
            const char c = text[static_cast<std::size_t>(column)];
            if (c == '.' || c == ' ')
                continue;
            const auto found = key.find(c);
            if (found == key.end())
                throw std::invalid_argument(std::string("stamp character not in key: ") + c);
            set(mirrored ? x + length - 1 - column : x + column, y + row, found->second);
        }
        ++row;
    }
}
