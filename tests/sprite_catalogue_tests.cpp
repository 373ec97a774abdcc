// SPDX-License-Identifier: GPL-3.0-or-later
// The sprite catalogue: 14 stores, 32 pictures at their sizes, nothing outside a store.
#include "window/sprite_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

TEST(SpriteCatalogue, holdsThirtyTwoPicturesAtTheirDesignedSizes)
{
    const std::map<Store, std::vector<std::pair<int, int>>> sizes{
        {Store::MOGURA1, {{65, 105}}}, {Store::MOGURA2, {{65, 105}}}, {Store::MOGURA3, {{65, 105}}},
        {Store::MOGURA4, {{65, 105}}}, {Store::MOGURA5, {{65, 105}}}, {Store::MOGURA6, {{65, 105}}},
        {Store::NIGE, {{65, 105}, {65, 105}, {65, 105}}},
        {Store::BOTAN_HUDAN, {{40, 50}}}, {Store::BOTAN_UE, {{40, 50}}}, {Store::BOTAN_SITA, {{40, 50}}},
        {Store::HITO_A, {{136, 146}, {137, 146}, {131, 146}, {164, 155}, {136, 155}}},
        {Store::HITO_B, {{137, 146}, {137, 146}, {137, 146}, {137, 155}, {137, 155}}},
        {Store::HITO_C, {{135, 146}, {137, 146}, {137, 146}, {137, 155}, {137, 155}}},
        {Store::HITO_D, {{137, 146}, {137, 146}, {152, 146}, {164, 155}, {164, 155}}},
    };
    const SpriteCatalogue sprites;
    int pictures = 0;
    for (const Store store : allStores) {
        const auto& expected = sizes.at(store);
        ASSERT_EQ(SpriteCatalogue::pictureCount(store), static_cast<int>(expected.size()));
        for (int index = 0; index < static_cast<int>(expected.size()); ++index) {
            const Picture* picture = sprites.picture(store, index);
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(std::pair(picture->width, picture->height), expected[static_cast<std::size_t>(index)])
                << SpriteCatalogue::fileName(store, index);
            EXPECT_EQ(picture->pixels.size(), static_cast<std::size_t>(picture->width * picture->height));
            EXPECT_TRUE(std::all_of(picture->pixels.begin(), picture->pixels.end(),
                                    [](Rgb pixel) { return pixel >> 24 == 0xff; }));
            ++pictures;
        }
    }
    EXPECT_EQ(pictures, 32);

    // The icon keeps its clear corners, so no desktop shows a square behind the mole.
    const Picture& icon = sprites.icon();
    ASSERT_EQ(std::pair(icon.width, icon.height), std::pair(32, 32));
    EXPECT_EQ(icon.pixel(0, 0) >> 24, 0u);
    EXPECT_EQ(icon.pixel(16, 16) >> 24, 0xffu);
}

TEST(SpriteCatalogue, anIndexOutsideAStoreYieldsNothing)
{
    const SpriteCatalogue sprites;
    EXPECT_EQ(sprites.picture(Store::NIGE, 3), nullptr);
    EXPECT_EQ(sprites.picture(Store::NIGE, -1), nullptr);
    EXPECT_EQ(sprites.picture(Store::HITO_C, 5), nullptr);
    EXPECT_EQ(sprites.picture(Store::MOGURA1, 1), nullptr);
    EXPECT_NE(sprites.picture(Store::HITO_D, 4), nullptr);
}
