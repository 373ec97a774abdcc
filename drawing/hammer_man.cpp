// SPDX-License-Identifier: GPL-3.0-or-later
// The hammer man: one frame of his swing at the hole he aims at.
#include "game/form1.h"
#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <array>

namespace {
// The frames of the swing at hole 1 stand at fixed places, so that each covers the one before.
constexpr std::array leftSwingX{1950.0, 2000.0, 1850.0, 1300.0, 1300.0};
constexpr std::array swings{Store::HITO_A, Store::HITO_B, Store::HITO_C, Store::HITO_D};
} // namespace

void Form1::描画_人(int aim, int frame, double column, double row)
{
    int hole = 1;
    while (hole <= 4 && state.hammerAimByHole[hole] != aim)
        ++hole;
    if (hole > 4 || frame < 0 || frame > 4)
        return;
    const Picture* picture = sprites.picture(swings[static_cast<std::size_t>(hole - 1)], frame);
    if (picture == nullptr)
        return;
    const double x = hole == 1 ? leftSwingX[static_cast<std::size_t>(frame)] : column * state.columnWidth;
    const Rect covered =
        surface.copyPicture(*picture, static_cast<float>(x), static_cast<float>(row * state.rowHeight));
    // The nearest frames of the swing at hole 1 reach over the right end of a three- or four-digit
    // score and best score; those numbers are shown again on top, so no frame cuts them.
    redrawNumbersUnder(covered);
}
