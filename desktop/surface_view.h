// SPDX-License-Identifier: GPL-3.0-or-later
// The widget that shows the persistent surface: as drawn at the window's design size, and in a
// larger view the same picture enlarged by a whole factor, centred, with plain margins.
#pragma once

#include "window/surface.h"

#include <QImage>
#include <QWidget>

// Where the picture stands in a view: its top-left corner and its enlargement, in logical pixels.
struct PictureGeometry {
    QPointF origin;
    int factor = 1;

    // A point of the view as a point of the picture (the surface), in logical pixels.
    QPointF toPicture(QPointF viewPoint) const { return (viewPoint - origin) / factor; }
};

// The largest whole factor (at least 1) at which the picture fits the view, centred, its corner on
// a whole device pixel; a view smaller than the picture shows its top-left part, as at design size.
PictureGeometry pictureGeometry(QSize picture, QSize view, double devicePixelRatio);

class SurfaceView final : public QWidget {
public:
    // Black, so the enlarged picture's edges stay plain to see against its green sky.
    static constexpr QRgb marginColour = 0xff000000;

    SurfaceView(const Surface& surface, QSize pictureSize, QWidget* parent);

    // The surface's pixels as an image, without a copy; it lives no longer than the surface.
    static QImage imageOf(const Surface& surface);

    // The part of the surface the view shows at the window's design size; a larger view enlarges it.
    void setPictureSize(QSize size);
    PictureGeometry pictureGeometry() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const Surface& surface;
    // The surface's own pixels seen as an image: no copy is made, so it always shows what was drawn.
    const QImage pixels;
    QSize picture;
};
