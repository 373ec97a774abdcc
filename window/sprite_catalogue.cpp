// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes the built-in sprite pictures once, as opaque pixels.
#include "window/sprite_catalogue.h"

#include "window/embedded_art.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>

#include <memory>

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

// The art file's pixels, with their alpha: the sprites are opaque, the icon's corners are clear. An empty
// picture for a file that is missing or does not decode.
Picture decoded(const std::string& fileName)
{
    const auto bytes = embeddedArt(fileName);
    int width = 0, height = 0, channels = 0;
    const std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4),
        stbi_image_free);
    if (!rgba)
        return {};
    Picture picture{width, height, std::vector<Rgb>(static_cast<std::size_t>(width) * height)};
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const stbi_uc* p = rgba.get() + 4 * i;
        picture.pixels[i] = static_cast<Rgb>(p[3]) << 24 | (::rgb(p[0], p[1], p[2]) & 0xffffffu);
    }
    return picture;
}

} // namespace

int SpriteCatalogue::pictureCount(Store store)
{
    if (store == Store::NIGE)
        return 3;
    return store >= Store::HITO_A ? 5 : 1;
}

std::string SpriteCatalogue::fileName(Store store, int index)
{
    return std::string(storeName(store)) + (isArray(store) ? std::to_string(index) : "") + ".png";
}

SpriteCatalogue::SpriteCatalogue() : iconPicture(decoded("icon.png"))
{
    for (const Store store : allStores) {
        auto& pictures = stores[static_cast<std::size_t>(store)];
        for (int index = 0; index < pictureCount(store); ++index)
            pictures.push_back(decoded(fileName(store, index)));
    }
}

const Picture* SpriteCatalogue::picture(Store store, int index) const
{
    const auto& pictures = stores[static_cast<std::size_t>(store)];
    if (index < 0 || index >= static_cast<int>(pictures.size()))
        return nullptr;
    return &pictures[static_cast<std::size_t>(index)];
}
