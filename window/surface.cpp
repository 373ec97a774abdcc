// The persistent drawing surface: a QImage the window shows, drawn on in twips.
#include "window/surface.h"

#include "drawing/palette.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

Surface::Surface(int widthPixels, int heightPixels, double devicePixelRatio)
    : scale(std::max(1, static_cast<int>(std::lround(devicePixelRatio)))),
      canvas(widthPixels * scale, heightPixels * scale, QImage::Format_RGB32)
{
    canvas.setDevicePixelRatio(scale);
    clear(windowBackgroundColour);
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
    painter.fillRect(QRect(corner1, corner2), QColor(*rgb));
    changed = true;
}

void Surface::drawText(double x, double y, std::string_view utf8Text, int colour, double points)
{
    const auto rgb = paletteColour(colour);
    if (!rgb || utf8Text.empty())
        return;
    QFont font = QGuiApplication::font();
    // A point is 20 twips; without anti-aliasing a text drawn again in the background erases exactly.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 20 / twipsPerPixel))));
    font.setStyleStrategy(QFont::NoAntialias);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(QColor(*rgb));
    const QFontMetrics metrics(font, &canvas);
    painter.drawText(QPoint(toPixel(x), toPixel(y) + metrics.ascent()),
                     QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size())));
    changed = true;
}

void Surface::copyPicture(const QImage& picture, double x, double y)
{
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(QPoint(toPixel(x), toPixel(y)), picture.size()), picture);
    changed = true;
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
