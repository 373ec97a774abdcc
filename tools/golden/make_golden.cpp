// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the golden images of tests/golden/screens.h into a folder, from the game built with it.
//
// usage: make_golden <folder>
//
// The images in tests/golden come from the game as it drew with Qt, before the core drew its own pixels
// (commit 237752f), so the test holds the core to the screens the game always showed. This file builds
// against either surface; tests/golden/README says how.
#include "golden/screens.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {

QImage imageOf(const Surface& surface)
{
#if __has_include("window/picture.h")
    return QImage(reinterpret_cast<const uchar*>(surface.pixels()), surface.deviceWidth(), surface.deviceHeight(),
                  surface.deviceWidth() * 4, QImage::Format_RGB32)
        .copy();
#else
    return surface.image().convertToFormat(QImage::Format_RGB32);
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_golden <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    for (const golden::Screen& screen : golden::screens)
        for (const int scale : screen.scales) {
            const QString file = QString::fromLocal8Bit(argv[1]) + "/" +
                                 QString::fromStdString(golden::fileName(screen.name, scale));
            QImage image = golden::play(screen.name, scale, imageOf);
            image.setDevicePixelRatio(1);
            if (!image.save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    return 0;
}
