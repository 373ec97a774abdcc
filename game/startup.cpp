// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up (Form_Load) and the round reset (初期設定).
#include "game/form1.h"
#include "game/clock_digits.h"
#include "drawing/palette.h"
#include "window/surface.h"

void Form1::Form_Load()
{
    module1.サウンド_初期化(window.nativeHandle());
    state.sndOther = module1.サウンド_読込("その他.wav", 3);
    state.sndForbidden = module1.サウンド_読込("禁止.wav", 3);
    state.sndHit = module1.サウンド_読込("打音.wav", 3);
    state.sndBgm = module1.サウンド_読込("BGM.wav", 1);
    state.sndMiss = module1.サウンド_読込("空振.wav", 1);
    state.sndTimeUp = module1.サウンド_読込("TIMEOUT.wav", 1);
    state.sndMole = module1.サウンド_読込("モグラ.wav", 1);
    window.setBgmChecked(true);
    sound.dsPlayLooping(state.sndBgm);
    window.placeWindow(-50, -50, 6000);
    state.bestScore = 0;
    setConstants();
    for (int h = 1; h <= 4; ++h)
        state.hammerAimByHole[h] = h + 10;
    初期設定();
}

void Form1::初期設定()
{
    surface.clear(windowBackgroundColour);
    state.gameStopped = state.flagOn;
    state.score = 0;
    state.timeLeft = 30;
    state.lastSecondDigit = lastSecondDigit(clock.secondsSinceMidnight());
    state.hammerFrame = 0;
    state.hammerAim = state.hammerAimByHole[1];
    state.hammerDir = state.dirDown;
    初期_画面描画();
    surface.refresh();
}
