// SPDX-License-Identifier: GPL-3.0-or-later
// The persistent drawing surface: a QImage the window shows, drawn on in twips.
#include "window/surface.h"

#include "drawing/palette.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// VL Gothic, whose Latin letters and digits are half-width, fits the fixed layout of the texts.
constexpr const char* gameFontFile = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

const QFont& gameFace()
{
    static const QFont face = Surface::textFaceFrom(QString::fromUtf8(gameFontFile));
    return face;
}

} // namespace

Surface::Surface(int widthPixels, int heightPixels, double devicePixelRatio)
    : scale(std::max(1, static_cast<int>(std::lround(devicePixelRatio)))),
      canvas(widthPixels * scale, heightPixels * scale, QImage::Format_RGB32),
      face(gameFace())
{
    canvas.setDevicePixelRatio(scale);
    clear(windowBackgroundColour);
}

QFont Surface::textFaceFrom(const QString& fontFile)
{
    const int id = QFontDatabase::addApplicationFont(fontFile);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        std::fprintf(stderr, "Zubotta: cannot load the font %s (fonts-vlgothic); texts use the desktop's font\n",
                     qPrintable(fontFile));
        return QGuiApplication::font();
    }
    // An explicit family and hinting, so no desktop setting changes a text's pixels.
    QFont chosen(families.first());
    chosen.setHintingPreference(QFont::PreferFullHinting);
    return chosen;
}

int Surface::toPixel(double twips)
{
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

void Surface::clear(int colour)
{
    if (const auto rgb = paletteColour(colour)) {
        canvas.fill(*rgb);
        changed = true;
    }
}

void Surface::fillRectangle(double x1, double y1, double x2, double y2, int colour)
{
    const auto rgb = paletteColour(colour);
    if (!rgb)
        return;
    const QPoint corner1(toPixel(std::min(x1, x2)), toPixel(std::min(y1, y2)));
    const QPoint corner2(toPixel(std::max(x1, x2)), toPixel(std::max(y1, y2)));
    QPainter painter(&canvas);
    painter.fillRect(QRect(corner1, corner2).adjusted(0, 0, -1, -1), QColor(*rgb));
    changed = true;
}

QFont Surface::fontAt(double points) const
{
    QFont font = face;
    // A point is 20 twips; without anti-aliasing a text drawn again in the background erases exactly.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 20 / twipsPerPixel))));
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void Surface::drawText(double x, double y, std::string_view utf8Text, int colour, double points)
{
    const auto rgb = paletteColour(colour);
    if (!rgb || utf8Text.empty())
        return;
    const QFont font = fontAt(points);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(QColor(*rgb));
    const QFontMetrics metrics(font, &canvas);
    painter.drawText(QPoint(toPixel(x), toPixel(y) + metrics.ascent()),
                     QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size())));
    changed = true;
}

QRect Surface::textBox(double x, double y, std::string_view utf8Text, double points) const
{
    const QFontMetrics metrics(fontAt(points), &canvas);
    const QString text = QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size()));
    return QRect(toPixel(x), toPixel(y), metrics.horizontalAdvance(text), metrics.height());
}

QRect Surface::copyPicture(const QImage& picture, double x, double y)
{
    const QRect place(QPoint(toPixel(x), toPixel(y)), picture.size());
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(place, picture);
    changed = true;
    return place;
}

void Surface::refresh()
{
    changed = false;
    if (refreshListener)
        refreshListener();
}

bool Surface::takeChanges()
{
    return std::exchange(changed, false);
}

void Surface::setRefreshListener(std::function<void()> listener)
{
    refreshListener = std::move(listener);
}

QRgb Surface::pixelAt(int x, int y) const
{
    return canvas.pixel(x * scale, y * scale);
}
