// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a round and quitting, with the menu and window events that lead to them.
#include "game/form1.h"
#include "window/surface.h"

void Form1::処理_開始()
{
    初期_画面描画();
    // The shadow lies 50 to the right only.
    drawShadowed(2000, 1050, "START", 28, 50, 0);
    surface.refresh();
    待ち時間(1);
    初期設定();
    state.gameStopped = state.flagOff;
}

void Form1::処理_終了()
{
    for (const SoundHandle handle : {state.sndOther, state.sndForbidden, state.sndHit, state.sndBgm,
                                     state.sndTimeUp, state.sndMole, state.sndMiss})
        sound.dsFree(handle);
    module1.サウンド_終了();
    window.endProgram();
}

void Form1::KAISI_Click()
{
    処理_開始();
}

void Form1::OWARI_Click()
{
    処理_終了();
}

void Form1::Form_Unload()
{
    処理_終了();
}
