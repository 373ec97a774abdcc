// mole_art FOLDER: draws the mole, escaping-mole, key-button and icon pictures
// and writes them as PNG files into FOLDER.
#include "art.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

bool write(const QDir& folder, const QString& name, const QImage& picture)
{
    const QString path = folder.filePath(name);
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "mole_art: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Every pixel becomes a factor x factor block, so the larger icons stay crisp.
QImage enlarge(const QImage& picture, int factor)
{
    QImage large(picture.width() * factor, picture.height() * factor, picture.format());
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            large.setPixel(x, y, picture.pixel(x / factor, y / factor));
    return large;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mole_art FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        std::fprintf(stderr, "mole_art: no folder %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    for (int stage = 1; stage <= 6; ++stage)
        ok &= write(folder, QStringLiteral("MOGURA%1.png").arg(stage), drawMole(stage));
    for (int frame = 0; frame <= 2; ++frame)
        ok &= write(folder, QStringLiteral("NIGE%1.png").arg(frame), drawEscape(frame));
    ok &= write(folder, QStringLiteral("BOTAN_HUDAN.png"), drawButton(0));
    ok &= write(folder, QStringLiteral("BOTAN_UE.png"), drawButton(1));
    ok &= write(folder, QStringLiteral("BOTAN_SITA.png"), drawButton(2));

    // The icon, and its larger sizes made by repeating every pixel.
    const QImage icon = drawIcon();
    ok &= write(folder, QStringLiteral("icon.png"), icon);
    for (int size : {64, 128, 256})
        ok &= write(folder, QStringLiteral("icon-%1.png").arg(size), enlarge(icon, size / icon.width()));
    return ok ? 0 : 1;
}
