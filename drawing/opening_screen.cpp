// SPDX-License-Identifier: GPL-3.0-or-later
// The opening screen of a round, drawn afresh with the holes put back to their starting state.
#include "drawing/palette.h"
#include "game/form1.h"
#include "input/key_letters.h"
#include "window/surface.h"

void Form1::初期_画面描画()
{
    auto& s = state;
    surface.clear(windowBackgroundColour);
    描画_四角形(0, 3130, 6000, 4000, s.groundColour);
    for (int h = 1; h <= 4; ++h) {
        s.keyEnabledByHole[h] = s.flagOn;
        s.moleStageByHole[h] = 1;
        s.escapingByHole[h] = s.flagOff;
        s.moleDirByHole[h] = s.dirDown;
        s.letterByHole[h] = 文字_取得(h);
        描画_ボタン(s.buttonPicRest, h + 0.2, s.buttonRow, s.letterByHole[h]);
        描画_絵(1, h, s.moleRow);
    }
    描画_人(s.hammerAim, s.hammerFrame, 2, s.hammerManRow);
    描画_持ち時間(s.timeLeft);
    drawShadowed(s.timeBoxX + 500, s.timeBoxY, "秒", 15, 60, 30);
    drawShadowed(s.timeBoxX - 400, s.timeBoxY - 500, "持ち時間", 15, 60, 60);
    drawShadowed(s.scoreX - 600, s.scoreY + 10, "得点：", 12, 60, 30);
    drawShadowed(s.scoreX, s.scoreY, s.score, 15, 60, 30);
    drawShadowed(s.scoreX - 600, s.scoreY + 310, "最高：", 12, 60, 30);
    drawShadowed(s.scoreX, s.scoreY + 300, s.bestScore, 15, 60, 30);
    surface.refresh();
}
