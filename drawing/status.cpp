// SPDX-License-Identifier: GPL-3.0-or-later
// The status displays renewed in place during a round: the score after a hit and the seconds left.
#include "game/form1.h"
#include "window/surface.h"

#include <algorithm>
#include <utility>

void Form1::renewNumber(double x, double y, int& shown, int newValue)
{
    // The same number drawn again in the background colour removes exactly the pixels that showed it.
    描画_文字(x + 60, y + 30, shown, state.colourBackground, 15);
    描画_文字(x, y, shown, state.colourBackground, 15);
    shown = newValue;
    drawShadowed(x, y, shown, 15, 60, 30);
}

void Form1::描画_当たり時得点()
{
    renewNumber(state.scoreX, state.scoreY, state.score, std::max(state.score - 5, 0));
}

void Form1::描画_持ち時間(int seconds)
{
    auto& s = state;
    描画_四角形(s.timeBoxX, s.timeBoxY, 500, 500, s.colourBackground);
    drawShadowed(s.timeBoxX, s.timeBoxY, seconds, 15, 60, 30);
}

void Form1::redrawNumbersUnder(const Rect& covered)
{
    const auto& s = state;
    for (const auto& [y, number] : {std::pair{s.scoreY, s.score}, std::pair{s.scoreY + 300, s.bestScore}}) {
        const std::string text = shownNumber(number);
        const Rect box = surface.textBox(s.scoreX, y, text, 15).united(surface.textBox(s.scoreX + 60, y + 30, text, 15));
        if (box.intersects(covered))
            drawShadowed(s.scoreX, y, number, 15, 60, 30);
    }
}
