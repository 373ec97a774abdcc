// SPDX-License-Identifier: GPL-3.0-or-later
// Texts as Qt's font engine draws them in VL Gothic: the renderer the game's own face is made from, and
// the reference it is checked against.
#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

namespace qt_text {

inline constexpr const char* fontFile = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

// VL Gothic at a pixel size: full hinting and no anti-aliasing, so a text is whole pixels of one colour.
inline QFont font(int pixelSize)
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(fontFile));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            std::fprintf(stderr, "cannot load the font %s (fonts-vlgothic)\n", fontFile);
            std::exit(1);
        }
        return families.first();
    }();
    QFont chosen(family);
    chosen.setHintingPreference(QFont::PreferFullHinting);
    chosen.setPixelSize(pixelSize);
    chosen.setStyleStrategy(QFont::NoAntialias);
    return chosen;
}

// A canvas of logical pixels at a whole device scale.
inline QImage canvas(int width, int height, int scale, QRgb background)
{
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    return image;
}

// Draws a text with the top-left corner of its line box at (x, y) in logical pixels, glyphs only.
inline void draw(QImage& canvas, int x, int y, const QString& text, QRgb colour, int pixelSize)
{
    const QFont chosen = font(pixelSize);
    QPainter painter(&canvas);
    painter.setFont(chosen);
    painter.setPen(QColor(colour));
    painter.drawText(QPoint(x, y + QFontMetrics(chosen, &canvas).ascent()), text);
}

} // namespace qt_text
