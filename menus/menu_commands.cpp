// SPDX-License-Identifier: GPL-3.0-or-later
// The menu commands: start, quit, the music switch and the about box.
#include "game/form1.h"
#include "menus/about_text.h"

void Form1::BGM_Click()
{
    処理_BGM();
}

void Form1::処理_BGM()
{
    // The check mark is the music's only state, and it flips first whatever the sound call does.
    if (window.isBgmChecked()) {
        window.setBgmChecked(false);
        sound.dsStop(state.sndBgm);
    } else {
        window.setBgmChecked(true);
        sound.dsPlayLooping(state.sndBgm);
    }
}

void Form1::SONOTA_Click()
{
    // The sound starts before the box, so it is heard even if the box is closed at once.
    sound.dsPlay(state.sndOther);
    dialogs.showMessage(aboutText(), "Zubotta", MessageIcon::none);
}
