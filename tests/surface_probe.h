// SPDX-License-Identifier: GPL-3.0-or-later
// Looking at what the game drew: pictures at twip places, areas that changed, areas compared between surfaces.
#pragma once

#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <string>

namespace probe {

// The surface's device pixels as an image of its logical size (a copy).
inline QImage image(const Surface& surface)
{
    QImage copy(reinterpret_cast<const uchar*>(surface.pixels()), surface.deviceWidth(), surface.deviceHeight(),
                surface.deviceWidth() * 4, QImage::Format_RGB32);
    copy = copy.copy();
    copy.setDevicePixelRatio(surface.deviceScale());
    return copy;
}

inline QImage image(const Picture& picture)
{
    return QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width, picture.height,
                  picture.width * 4, QImage::Format_RGB32)
        .copy();
}

// The art file a picture is built from, in the source tree.
inline QString artFile(Store store, int index)
{
    return QString::fromStdString(std::string(ZUBOTTA_SOURCE_DIR "/window/art/") +
                                  SpriteCatalogue::fileName(store, index));
}

inline QRect rect(const Rect& r)
{
    return QRect(r.x, r.y, r.width, r.height);
}

inline constexpr QRgb green = qRgb(0, 128, 0);
inline constexpr QRgb olive = qRgb(128, 128, 0);
inline constexpr QRgb black = qRgb(0, 0, 0);
inline constexpr QRgb white = qRgb(255, 255, 255);

// The logical-pixel rectangle a picture covers when copied to (x, y) in twips.
inline QRect placeOf(const Picture& picture, double xTwips, double yTwips)
{
    return QRect(Surface::toPixel(xTwips), Surface::toPixel(yTwips), picture.width, picture.height);
}

// Whether the surface shows the picture pixel for pixel with its top-left corner at (x, y) in twips.
// dropRightColumns leaves out the picture's last columns, where a neighbour drawn later may lie over it.
inline bool showsPicture(const Surface& surface, const Picture& picture, double xTwips, double yTwips,
                         int dropRightColumns = 0)
{
    const QRect place = placeOf(picture, xTwips, yTwips);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width - dropRightColumns; ++x)
            if (surface.pixelAt(place.x() + x, place.y() + y) != picture.pixel(x, y))
                return false;
    return true;
}

inline bool showsPicture(const Surface& surface, const SpriteCatalogue& sprites, Store store, int index,
                         double xTwips, double yTwips, int dropRightColumns = 0)
{
    const Picture* picture = sprites.picture(store, index);
    return picture != nullptr && showsPicture(surface, *picture, xTwips, yTwips, dropRightColumns);
}

// An area of the surface in logical pixels, at the surface's device scale.
inline QImage region(const Surface& surface, const QRect& area)
{
    const int s = surface.deviceScale();
    return image(surface).copy(area.x() * s, area.y() * s, area.width() * s, area.height() * s);
}

inline int countColour(const Surface& surface, const QRect& area, QRgb colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += surface.pixelAt(x, y) == colour ? 1 : 0;
    return count;
}

// The bounding box of the logical pixels that differ between two surfaces of one size; empty if none.
inline QRect changedBox(const QImage& before, const QImage& after)
{
    QRect box;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

} // namespace probe
