// SPDX-License-Identifier: GPL-3.0-or-later
// The rectangle and text primitives, in palette colours on the window's surface.
#include "game/form1.h"
#include "window/surface.h"

// A number is shown with a blank where a minus sign would stand and a blank after it: " 0 ", "-5 ".
std::string Form1::shownNumber(int number)
{
    return (number < 0 ? "-" : " ") + std::to_string(number < 0 ? -static_cast<long>(number) : number) + " ";
}

void Form1::描画_四角形(double x, double y, double width, double height, int colour)
{
    // The far corner is summed before the drawing turns coordinates into single precision.
    surface.fillRectangle(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + width),
                          static_cast<float>(y + height), colour);
}

void Form1::描画_文字(double x, double y, std::string_view text, int colour, double size)
{
    surface.drawText(static_cast<float>(x), static_cast<float>(y), text, colour, size);
}

void Form1::描画_文字(double x, double y, int number, int colour, double size)
{
    描画_文字(x, y, shownNumber(number), colour, size);
}
