// SPDX-License-Identifier: GPL-3.0-or-later
// The key button under each hole: a lens-shaped two-part lamp above an inset
// white label on which the game prints the hole's letter.
#include "art.h"
#include "canvas.h"
#include "colours.h"

#include <cmath>

namespace {

using namespace colours;

constexpr int buttonWidth = 40;
constexpr int buttonHeight = 50;

// The lamp: a lens pointed at both ends, rows 2-22, split at row 12.
constexpr double lampCentreX = 20.0, lampCentreY = 12.5;
constexpr double lampHalfWidth = 16.0, lampHalfHeight = 10.5;
constexpr int lampSplitRow = 12;

// The lens is the overlap of two equal circles, one centred above and one below.
bool inLamp(int x, int y)
{
    const double radius = (lampHalfWidth * lampHalfWidth + lampHalfHeight * lampHalfHeight)
        / (2.0 * lampHalfHeight);
    const double offset = radius - lampHalfHeight;
    const double dx = x + 0.5 - lampCentreX;
    const double above = y + 0.5 - (lampCentreY - offset);
    const double below = y + 0.5 - (lampCentreY + offset);
    return dx * dx + above * above <= radius * radius && dx * dx + below * below <= radius * radius;
}

// An arrow head pointing up (rows apex..apex+6) or down (rows apex-6..apex).
void drawArrow(Canvas& c, int apexRow, bool up, QRgb colour)
{
    for (int k = 0; k <= 6; ++k) {
        const int y = up ? apexRow + k : apexRow - k;
        c.fill(19 - k, y, 20 + k, y, colour);
    }
}

} // namespace

QImage drawButton(int litHalf)
{
    Canvas c(buttonWidth, buttonHeight, brown);

    // A raised plate: lit along the top and left, shaded along the bottom and right.
    c.fill(1, 1, buttonWidth - 2, 1, brownLight);
    c.fill(1, 1, 1, buttonHeight - 2, brownLight);
    c.fill(2, buttonHeight - 2, buttonWidth - 2, buttonHeight - 2, brownDark);
    c.fill(buttonWidth - 2, 2, buttonWidth - 2, buttonHeight - 2, brownDark);

    // The lamp, each half yellow at rest or red when lit, with its arrow.
    const bool upperLit = litHalf == 1, lowerLit = litHalf == 2;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < buttonWidth; ++x) {
            if (!inLamp(x, y))
                continue;
            const bool edge = !inLamp(x - 1, y) || !inLamp(x + 1, y) || !inLamp(x, y - 1)
                || !inLamp(x, y + 1);
            QRgb colour;
            if (edge || y == lampSplitRow)
                colour = lampRim;
            else if (y < lampSplitRow)
                colour = upperLit ? lampRed : lampYellow;
            else
                colour = lowerLit ? lampRed : lampYellow;
            c.set(x, y, colour);
        }
    // A dark seat under the lamp, where the plate is shaded by it.
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < buttonWidth; ++x)
            if (!inLamp(x, y) && inLamp(x - 1, y - 1) && c.get(x, y) == brown)
                c.set(x, y, brownDark);
    drawArrow(c, 4, true, upperLit ? arrowCyan : arrowBlue);
    drawArrow(c, 20, false, lowerLit ? arrowCyan : arrowBlue);
    // Glints on the glass, from the upper left.
    c.set(9, 6, labelWhite); c.set(10, 5, labelWhite); c.set(11, 5, labelWhite);
    c.set(9, 14, labelWhite); c.set(10, 14, labelWhite);

    // The label, sunk into the plate: shadow along its top and left edges.
    c.fill(4, 24, 35, 25, labelShadow);
    c.fill(4, 24, 5, 47, labelShadow);
    c.fill(6, 26, 35, 47, labelWhite);
    c.fill(4, 48, 36, 48, brownLight);
    c.fill(36, 24, 36, 48, brownLight);
    return c.picture();
}
