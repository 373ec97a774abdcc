// SPDX-License-Identifier: GPL-3.0-or-later
// The 32 sprite pictures in their 14 stores and the game's icon, built into the program and looked up by
// store and index.
#pragma once

#include "window/picture.h"

#include <array>
#include <string>
#include <vector>

enum class Store {
    MOGURA1, MOGURA2, MOGURA3, MOGURA4, MOGURA5, MOGURA6, NIGE,
    BOTAN_HUDAN, BOTAN_UE, BOTAN_SITA,
    HITO_A, HITO_B, HITO_C, HITO_D,
};

inline constexpr std::array allStores{
    Store::MOGURA1, Store::MOGURA2, Store::MOGURA3, Store::MOGURA4, Store::MOGURA5,
    Store::MOGURA6, Store::NIGE, Store::BOTAN_HUDAN, Store::BOTAN_UE, Store::BOTAN_SITA,
    Store::HITO_A, Store::HITO_B, Store::HITO_C, Store::HITO_D,
};

class SpriteCatalogue {
public:
    SpriteCatalogue();

    // The picture, or nullptr for an index outside the store.
    const Picture* picture(Store store, int index = 0) const;
    // The window's icon, 32 x 32 pixels, clear around the mole.
    const Picture& icon() const { return iconPicture; }
    static int pictureCount(Store store);
    // The art file of one picture, e.g. "NIGE1.png".
    static std::string fileName(Store store, int index);

private:
    std::array<std::vector<Picture>, allStores.size()> stores;
    Picture iconPicture;
};
