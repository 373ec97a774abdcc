// SPDX-License-Identifier: GPL-3.0-or-later
// Shows the persistent surface, enlarged by a whole factor when the view is at least twice its picture,
// and shrunk on a screen of fewer device pixels than logical ones.
#include "desktop/surface_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

PictureGeometry pictureGeometry(QSize picture, QSize view, double devicePixelRatio)
{
    const int factor = std::max(1, std::min(view.width() / std::max(1, picture.width()),
                                            view.height() / std::max(1, picture.height())));
    // Centred in whole device pixels, so every art pixel covers the same device pixels.
    const auto centred = [&](int viewLength, int pictureLength) {
        const double spare = std::max(0, viewLength - pictureLength * factor) * devicePixelRatio;
        return std::floor(spare / 2) / devicePixelRatio;
    };
    return {QPointF(centred(view.width(), picture.width()), centred(view.height(), picture.height())), factor};
}

QImage SurfaceView::imageOf(const Surface& surface)
{
    QImage image(reinterpret_cast<const uchar*>(surface.pixels()), surface.deviceWidth(), surface.deviceHeight(),
                 surface.deviceWidth() * static_cast<qsizetype>(sizeof(Rgb)), QImage::Format_RGB32);
    image.setDevicePixelRatio(surface.deviceScale());
    return image;
}

SurfaceView::SurfaceView(const Surface& surface, QSize pictureSize, QWidget* parent)
    : QWidget(parent), surface(surface), pixels(imageOf(surface)), picture(pictureSize)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(pictureSize);
}

void SurfaceView::setPictureSize(QSize size)
{
    picture = size;
    update();
}

PictureGeometry SurfaceView::pictureGeometry() const
{
    return ::pictureGeometry(picture, size(), devicePixelRatioF());
}

void SurfaceView::paintEvent(QPaintEvent*)
{
    const PictureGeometry at = pictureGeometry();
    const QRectF target(at.origin, QSizeF(picture * at.factor));
    const int scale = surface.deviceScale();
    QPainter painter(this);
    // Qt paints no finer than a device pixel per logical pixel, so below a ratio of 1 a picture drawn
    // in logical pixels would be cut off: the view shrinks it itself, smoothed, since pixels are lost.
    const double ratio = devicePixelRatioF();
    const bool shrunk = ratio < 1;
    if (shrunk)
        painter.scale(ratio, ratio);
    // Nearest neighbour: each art pixel becomes a plain square, never a smoothed blur.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, shrunk);
    painter.fillRect(rect(), QColor(marginColour));
    painter.drawImage(target, pixels, QRectF(QPointF(), QSizeF(picture * scale)));
}
