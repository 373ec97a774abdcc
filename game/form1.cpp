// SPDX-License-Identifier: GPL-3.0-or-later
// Form1's construction and the constants of the game state record.
#include "game/form1.h"

Form1::Form1(const Platform& platform)
    : module1(platform.sound, platform.dialogs, platform.installedSounds),
      surface(platform.surface),
      sprites(platform.sprites),
      clock(platform.clock),
      random(platform.random),
      dialogs(platform.dialogs),
      window(platform.window),
      sound(platform.sound)
{
}

void Form1::setConstants()
{
    auto& s = state;
    s.flagOn = 1;
    s.flagOff = 0;
    s.dirDown = 1;
    s.dirUp = 2;
    s.columnWidth = 970;
    s.rowHeight = 1580;
    s.moleRow = 1.5;
    s.buttonRow = 2.6;
    s.hammerManRow = 0.03;
    s.buttonPicRest = 9;
    s.buttonPicUp = 10;
    s.buttonPicDown = 11;
    s.scoreX = 700;
    s.scoreY = 80;
    s.timeBoxX = 4800;
    s.timeBoxY = 500;
    s.colourWhite = 15;
    s.colourBlack = 0;
    s.colourBackground = 2;
    s.groundColour = 6;
}
