// SPDX-License-Identifier: GPL-3.0-or-later
// The one fixed palette every mole, button and icon pixel is taken from.
#pragma once

#include <QRgb>

namespace colours {

// Scenery of the mole pictures: what the window shows around a hole.
inline constexpr QRgb sky = qRgb(0, 128, 0);
inline constexpr QRgb ground = qRgb(128, 128, 0);
inline constexpr QRgb groundShade = qRgb(98, 98, 0);
inline constexpr QRgb shaft = qRgb(64, 64, 64);
inline constexpr QRgb shaftDeep = qRgb(40, 40, 40);
inline constexpr QRgb dirtDark = qRgb(72, 46, 12);
inline constexpr QRgb dirt = qRgb(136, 94, 40);
inline constexpr QRgb dirtLight = qRgb(188, 146, 82);

// The mole, lit from the upper left.
inline constexpr QRgb outline = qRgb(44, 22, 10);
inline constexpr QRgb furDark = qRgb(100, 54, 22);
inline constexpr QRgb fur = qRgb(146, 86, 38);
inline constexpr QRgb furLight = qRgb(190, 128, 70);
inline constexpr QRgb muzzle = qRgb(236, 200, 150);
inline constexpr QRgb muzzleShade = qRgb(206, 160, 110);
inline constexpr QRgb nose = qRgb(246, 118, 152);
inline constexpr QRgb noseShade = qRgb(196, 70, 106);
inline constexpr QRgb noseShine = qRgb(255, 214, 226);
inline constexpr QRgb paw = qRgb(246, 180, 168);
inline constexpr QRgb pawShade = qRgb(210, 128, 124);
inline constexpr QRgb claw = qRgb(255, 246, 226);
inline constexpr QRgb eye = qRgb(14, 8, 8);
inline constexpr QRgb white = qRgb(255, 255, 255);
inline constexpr QRgb mouth = qRgb(118, 20, 30);
inline constexpr QRgb tongue = qRgb(236, 90, 100);
inline constexpr QRgb blush = qRgb(238, 132, 124);
inline constexpr QRgb blood = qRgb(222, 0, 0);
inline constexpr QRgb shock = qRgb(255, 232, 0);
inline constexpr QRgb shockCore = qRgb(255, 255, 170);

// Key buttons.
inline constexpr QRgb brown = qRgb(128, 64, 0);
inline constexpr QRgb brownLight = qRgb(176, 104, 36);
inline constexpr QRgb brownDark = qRgb(84, 40, 0);
inline constexpr QRgb lampRim = qRgb(32, 16, 0);
inline constexpr QRgb lampYellow = qRgb(255, 255, 0);
inline constexpr QRgb lampRed = qRgb(255, 0, 0);
inline constexpr QRgb arrowBlue = qRgb(0, 0, 255);
inline constexpr QRgb arrowCyan = qRgb(0, 255, 255);
inline constexpr QRgb labelWhite = qRgb(255, 255, 255);
inline constexpr QRgb labelShadow = qRgb(128, 128, 128);

// The icon's own sixteen or fewer.
inline constexpr QRgb iconSky = qRgb(150, 210, 255);
inline constexpr QRgb iconSkyLight = qRgb(200, 236, 255);
inline constexpr QRgb iconBand = qRgb(128, 0, 0);
inline constexpr QRgb iconBandDark = qRgb(80, 0, 0);
inline constexpr QRgb iconFur = qRgb(220, 30, 30);
inline constexpr QRgb iconFurDark = qRgb(150, 10, 10);
inline constexpr QRgb iconFurLight = qRgb(255, 110, 90);
inline constexpr QRgb iconMuzzle = qRgb(255, 200, 170);
inline constexpr QRgb iconNose = qRgb(255, 120, 170);
inline constexpr QRgb iconInk = qRgb(20, 0, 0);
inline constexpr QRgb iconWhite = qRgb(255, 255, 255);

} // namespace colours
