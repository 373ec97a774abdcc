// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the embedded sprite pictures once, as opaque 24-bit images.
#include "window/sprite_catalogue.h"

namespace {

const char* storeName(Store store)
{
    static constexpr std::array names{
        "MOGURA1", "MOGURA2", "MOGURA3", "MOGURA4", "MOGURA5", "MOGURA6", "NIGE",
        "BOTAN_HUDAN", "BOTAN_UE", "BOTAN_SITA", "HITO_A", "HITO_B", "HITO_C", "HITO_D",
    };
    return names[static_cast<std::size_t>(store)];
}

bool isArray(Store store)
{
    return store == Store::NIGE || store >= Store::HITO_A;
}

} // namespace

int SpriteCatalogue::pictureCount(Store store)
{
    if (store == Store::NIGE)
        return 3;
    return store >= Store::HITO_A ? 5 : 1;
}

QString SpriteCatalogue::resourcePath(Store store, int index)
{
    const QString name = QString::fromLatin1(storeName(store));
    return isArray(store) ? QStringLiteral(":/art/%1%2.png").arg(name).arg(index)
                          : QStringLiteral(":/art/%1.png").arg(name);
}

SpriteCatalogue::SpriteCatalogue()
{
    for (const Store store : allStores) {
        auto& pictures = stores[static_cast<std::size_t>(store)];
        for (int index = 0; index < pictureCount(store); ++index)
            pictures.push_back(QImage(resourcePath(store, index)).convertToFormat(QImage::Format_RGB32));
    }
}

const QImage* SpriteCatalogue::picture(Store store, int index) const
{
    const auto& pictures = stores[static_cast<std::size_t>(store)];
    if (index < 0 || index >= static_cast<int>(pictures.size()))
        return nullptr;
    return &pictures[static_cast<std::size_t>(index)];
}
