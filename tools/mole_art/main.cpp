// SPDX-License-Identifier: GPL-3.0-or-later
// mole_art FOLDER [PAGE_FOLDER]: draws the mole, escaping-mole, key-button and icon pictures and writes them as
// PNG files into FOLDER, and the browser page's larger icons into PAGE_FOLDER.
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: mole_art FOLDER [PAGE_FOLDER]\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i)
        if (!QDir(QString::fromLocal8Bit(argv[i])).exists()) {
            std::fprintf(stderr, "mole_art: no folder %s\n", argv[i]);
            return 1;
        }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    bool ok = true;
    for (int stage = 1; stage <= 6; ++stage)
        ok &= write(folder, QStringLiteral("MOGURA%1.png").arg(stage), drawMole(stage));
    for (int frame = 0; frame <= 2; ++frame)
        ok &= write(folder, QStringLiteral("NIGE%1.png").arg(frame), drawEscape(frame));
    ok &= write(folder, QStringLiteral("BOTAN_HUDAN.png"), drawButton(0));
    ok &= write(folder, QStringLiteral("BOTAN_UE.png"), drawButton(1));
    ok &= write(folder, QStringLiteral("BOTAN_SITA.png"), drawButton(2));

    // The icon, each size drawn at its own resolution.
    ok &= write(folder, QStringLiteral("icon.png"), drawIcon(32));
    for (int size : {64, 128, 256})
        ok &= write(folder, QStringLiteral("icon-%1.png").arg(size), drawIcon(size));
    // The page's, for a phone's home screen and an installed app's window: as they are, and one to be cut to shape.
    if (argc == 3) {
        const QDir pageFolder(QString::fromLocal8Bit(argv[2]));
        for (int size : {192, 512})
            ok &= write(pageFolder, QStringLiteral("icon-%1.png").arg(size), drawIcon(size));
        ok &= write(pageFolder, QStringLiteral("icon-maskable-512.png"), drawMaskableIcon(512));
    }
    return ok ? 0 : 1;
}
