// SPDX-License-Identifier: GPL-3.0-or-later
// The mole and key-button sprites, placed on the playfield grid.
#include "game/form1.h"
#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <array>

void Form1::drawOnGrid(const Picture* picture, double column, double row)
{
    if (picture == nullptr)
        return;
    surface.copyPicture(*picture, static_cast<float>(column * state.columnWidth),
                        static_cast<float>(row * state.rowHeight));
}

void Form1::描画_絵(int code, double column, double row)
{
    static constexpr std::array moles{Store::MOGURA1, Store::MOGURA2, Store::MOGURA3,
                                      Store::MOGURA4, Store::MOGURA5, Store::MOGURA6};
    if (code < 1 || code > static_cast<int>(moles.size()))
        return;
    drawOnGrid(sprites.picture(moles[static_cast<std::size_t>(code - 1)]), column, row);
}

void Form1::描画_逃モグラ(int frame, double column, double row)
{
    if (frame < 1 || frame > 3)
        return;
    drawOnGrid(sprites.picture(Store::NIGE, frame - 1), column, row);
}

void Form1::描画_ボタン(int code, double column, double row, const Letter& letter)
{
    const auto& s = state;
    if (code == s.buttonPicRest)
        drawOnGrid(sprites.picture(Store::BOTAN_HUDAN), column, row);
    else if (code == s.buttonPicUp)
        drawOnGrid(sprites.picture(Store::BOTAN_UE), column, row);
    else if (code == s.buttonPicDown)
        drawOnGrid(sprites.picture(Store::BOTAN_SITA), column, row);
    // The letter does not follow the grid: its factor is 960 and its height fixed.
    const std::string text = letter ? std::string(1, *letter) : std::string();
    描画_文字(200 + column * 960, 4450, text, s.colourBlack, 18);
}
