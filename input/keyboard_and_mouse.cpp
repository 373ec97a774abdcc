// SPDX-License-Identifier: GPL-3.0-or-later
// The key-down, character and mouse-down handlers of the game window.
#include "game/form1.h"
#include "input/key_letters.h"

namespace {
// Virtual-key numbers of the command keys.
constexpr int keyEscape = 27;
constexpr int keySpace = 32;
constexpr int keyF1 = 112;
constexpr int keyF2 = 113;
} // namespace

void Form1::Form_KeyDown(int keyCode, int /*shift*/)
{
    switch (keyCode) {
    case keyEscape:
        処理_終了();
        break;
    case keySpace:
    case keyF2:
        処理_開始();
        break;
    case keyF1:
        処理_BGM();
        break;
    default:
        break;
    }
}

void Form1::Form_KeyPress(int characterCode)
{
    auto& s = state;
    if (s.gameStopped == s.flagOn)
        return;
    const Letter letter = コード文字変換(characterCode);
    for (int h = 1; h <= 4; ++h) {
        // An empty letter matches no hole.
        if (!letter || s.letterByHole[h] != letter || s.keyEnabledByHole[h] != s.flagOn)
            continue;
        sound.dsPlay(s.sndMole);
        s.letterByHole[h] = 文字_取得(h);
        s.buttonLabelByHole[h] = s.letterByHole[h];
        const int direction = s.moleDirByHole[h];
        if (direction == s.dirUp) {
            s.moleDirByHole[h] = s.dirDown;
            描画_ボタン(s.buttonPicDown, h + 0.2, s.buttonRow, s.buttonLabelByHole[h]);
            if (s.moleStageByHole[h] == 5)
                s.moleStageByHole[h] = 4;
        } else if (direction == s.dirDown) {
            s.moleDirByHole[h] = s.dirUp;
            描画_ボタン(s.buttonPicUp, h + 0.2, s.buttonRow, s.buttonLabelByHole[h]);
            if (s.moleStageByHole[h] == 1)
                s.moleStageByHole[h] = 2;
        }
    }
}

void Form1::Form_MouseDown(int /*button*/, int /*shift*/, double /*x*/, double /*y*/)
{
    if (state.gameStopped != state.flagOn)
        return;
    初期_画面描画();
    drawShadowed(500, 1000, "PUSH [SPACE] KEY", 30, 50, 50);
}
