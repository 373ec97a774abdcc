// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures this tool draws; each function returns one finished picture.
#pragma once

#include <QImage>

enum class MoleFace { sleepy, awake, struck, grinning, laughing };

QImage drawMole(int stage);       // 1..5 rising, 6 struck
QImage drawEscape(int frame);     // 0..2 sinking back, laughing
QImage drawButton(int litHalf);   // 0 resting, 1 upper lamp lit, 2 lower lamp lit
QImage drawIcon(int size);        // size x size, a multiple of 32: 32 to 256 for the game, 192 and 512 for the page
QImage drawMaskableIcon(int size); // size x size, opaque, the mole within the middle circle a launcher may cut it to
