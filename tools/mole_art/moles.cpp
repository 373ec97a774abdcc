// SPDX-License-Identifier: GPL-3.0-or-later
// The mole in its five rising stages, struck, and sinking back laughing.
//
// Every mole picture is 65 x 105: sky above the ground line (row 51), ground
// from it down. The mole and its hole keep to columns 15-48; only the struck
// mole's shock lines reach further out. The mole is one shape drawn at a
// chosen top row, so a stage is set by how far it has come up, its face and
// what its paws do. Light falls from the upper left in every picture.
#include "art.h"
#include "canvas.h"
#include "colours.h"

#include <cmath>
#include <map>
#include <vector>

namespace {

using namespace colours;

constexpr int pictureWidth = 65;
constexpr int pictureHeight = 105;
constexpr int groundRow = 51;
constexpr int holeLeft = 15;
constexpr int holeRight = 48;

// The mole is symmetric about the line between columns 31 and 32.
constexpr int mirror(int x) { return 63 - x; }

// Where the mole's hole is drawn as an open pit (the mole deep down) rather
// than a heap of thrown-up earth (the mole out in the open).
constexpr int pitBottom = 73;   // last row of open shaft
constexpr int pitLip = 75;      // the earth clods along the shaft's lower edge

enum class Paws { hidden, onRim, atChest, cheering, waving, flung };

struct Look {
    int top;         // first row of the mole
    MoleFace face;
    Paws paws;
    bool inPit;
    bool shocked;
};

// The mole's outline, relative to its top row: a round head on a body that
// widens a little further down.
bool inMole(int x, int dy)
{
    if (dy < 0)
        return false;
    const double dx = x + 0.5 - 32.0;
    if (dy < 14) {
        const double dyc = dy + 0.5 - 14.0;
        return dx * dx + dyc * dyc <= 14.0 * 14.0 + 2.0;
    }
    const double half = dy < 26 ? 14.0 : dy < 34 ? 15.0 : 16.0;
    return std::abs(dx) <= half;
}

bool inEllipse(int x, int y, double cx, double cy, double rx, double ry)
{
    const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
    return u * u + v * v <= 1.0;
}

void drawBody(Canvas& c, int top)
{
    for (int y = top; y < pictureHeight; ++y) {
        const int dy = y - top;
        for (int x = holeLeft; x <= holeRight; ++x) {
            if (!inMole(x, dy))
                continue;
            QRgb colour = fur;
            if (!inMole(x - 1, dy) || !inMole(x + 1, dy) || !inMole(x, dy - 1))
                colour = outline;
            else if (!inMole(x - 2, dy - 2) || !inMole(x - 3, dy))
                colour = furLight;
            else if (!inMole(x + 3, dy) || !inMole(x + 2, dy - 2))
                colour = furDark;
            // The pale belly, shaded on the side away from the light.
            else if (inEllipse(x, dy, 32.0, 33.0, 9.0, 12.0))
                colour = inEllipse(x - 2, dy, 32.0, 33.0, 9.0, 12.0) ? muzzle : muzzleShade;
            c.set(x, y, colour);
        }
    }
    // A soft sheen on the crown.
    c.line(22, top + 4, 24, top + 2, furLight);
    c.line(23, top + 5, 26, top + 2, furLight);
}

void drawEyes(Canvas& c, int top, MoleFace face)
{
    const int y = top + 6;
    auto both = [&](int x, int dy, QRgb colour) {
        c.set(x, y + dy, colour);
        c.set(mirror(x), y + dy, colour);
    };
    switch (face) {
    case MoleFace::sleepy:
        // Heavy lids half over the eyes.
        for (int x = 22; x <= 26; ++x)
            both(x, 1, outline);
        both(23, 2, eye);
        both(24, 2, eye);
        both(25, 2, eye);
        both(22, 0, furDark);
        both(21, 1, furDark);
        break;
    case MoleFace::awake:
        for (int dy = 0; dy <= 2; ++dy) {
            both(23, dy, eye);
            both(24, dy, eye);
        }
        c.set(23, y, white);
        c.set(mirror(24), y, white);
        break;
    case MoleFace::struck:
        // Wide-open white eyes with tiny pupils and raised brows.
        for (int dy = -1; dy <= 3; ++dy)
            for (int x = 21; x <= 26; ++x) {
                const bool corner = (dy == -1 || dy == 3) && (x == 21 || x == 26);
                if (!corner)
                    both(x, dy, white);
            }
        for (int x = 22; x <= 25; ++x) {
            both(x, -2, outline);
            both(x, 4, outline);
        }
        both(20, 0, outline); both(20, 1, outline); both(20, 2, outline);
        both(27, 0, outline); both(27, 1, outline); both(27, 2, outline);
        both(21, -1, outline); both(26, -1, outline);
        both(21, 3, outline); both(26, 3, outline);
        both(23, 1, eye); both(24, 1, eye);
        both(21, -4, outline); both(22, -4, outline); both(23, -5, outline); both(24, -5, outline);
        break;
    case MoleFace::grinning:
    case MoleFace::laughing:
        // Happy eyes squeezed shut into arches.
        both(23, 0, outline); both(24, 0, outline);
        both(22, 1, outline); both(25, 1, outline);
        both(21, 2, outline); both(26, 2, outline);
        break;
    }
}

void drawMuzzle(Canvas& c, int top, MoleFace face)
{
    const int y0 = top;
    for (int dy = 7; dy <= 17; ++dy)
        for (int x = 24; x <= 39; ++x)
            if (inEllipse(x, dy, 32.0, 12.5, 7.5, 5.0))
                c.set(x, y0 + dy, inEllipse(x - 1, dy - 1, 32.0, 12.5, 7.5, 5.0) ? muzzle : muzzleShade);
    // Rosy cheeks.
    if (face != MoleFace::struck) {
        c.set(21, y0 + 11, blush); c.set(22, y0 + 11, blush);
        c.set(mirror(21), y0 + 11, blush); c.set(mirror(22), y0 + 11, blush);
    }
    // The pink nose, shining where the light falls.
    c.stamp(28, y0 + 8, {
        "..nnnn..",
        ".nwnnnn.",
        "nnwnnnns",
        "nnnnnnss",
        ".nnnnss.",
        "..ssss..",
    }, {{'n', nose}, {'s', noseShade}, {'w', noseShine}});
}

void drawWhiskers(Canvas& c, int top)
{
    auto both = [&](int x0, int y0, int x1, int y1) {
        c.line(x0, top + y0, x1, top + y1, outline);
        c.line(mirror(x0), top + y0, mirror(x1), top + y1, outline);
    };
    both(25, 11, 16, 8);
    both(25, 13, 15, 13);
    both(25, 15, 16, 18);
}

void drawMouth(Canvas& c, int top, MoleFace face)
{
    const int y = top + 14;
    const std::map<char, QRgb> key{{'o', outline}, {'m', mouth}, {'t', tongue}, {'w', white},
                                    {'r', blood}};
    switch (face) {
    case MoleFace::sleepy:
        c.stamp(29, y, {"..oo..", "oo..oo"}, key);
        break;
    case MoleFace::awake:
        c.stamp(28, y, {"o..oo..o", ".oo..oo."}, key);
        break;
    case MoleFace::grinning:
        c.stamp(27, y, {"o...oo...o", ".o......o.", "..oooooo.."}, key);
        break;
    case MoleFace::laughing:
        c.stamp(26, y, {
            "oooooooooooo",
            "omwwwwwwwwmo",
            "ommwwmmwwmmo",
            ".ommmttmmmo.",
            "..otttttto..",
            "...oooooo...",
        }, key);
        break;
    case MoleFace::struck:
        // Clenched teeth in a wide grimace.
        c.stamp(25, y, {
            "oooooooooooooo",
            "owowowowowowow",
            "oooooooooooooo",
            "owowowowowowow",
            "oooooooooooooo",
        }, key);
        c.set(25, y, muzzle); c.set(38, y, muzzle);
        c.set(25, y + 4, muzzle); c.set(38, y + 4, muzzle);
        c.set(39, y + 1, outline); c.set(39, y + 2, outline); c.set(39, y + 3, outline);
        break;
    }
}

void drawNosebleed(Canvas& c, int top)
{
    // Two streaks from the nostrils, running down over the teeth and the chin.
    const int y = top + 13;
    const int streak[][2] = {{29, 0}, {29, 1}, {29, 2}, {28, 3}, {28, 4}, {28, 5}, {28, 6},
                             {28, 7}, {27, 8}, {27, 9}, {27, 10}, {27, 11}};
    for (const auto& p : streak) {
        c.set(p[0], y + p[1], blood);
        c.set(mirror(p[0]) + (p[1] > 8 ? 1 : 0), y + p[1], blood);
    }
    c.set(30, y, blood);
    c.set(mirror(30), y, blood);
    c.set(27, y + 12, blood);
    c.set(mirror(27) + 1, y + 13, blood);
}

// A paw held in front of the body, and a paw thrown up; the right paw is the left one mirrored.
const std::initializer_list<std::string_view> pawInFront{
    ".c.c.c..",
    ".cocoo..",
    "opppppo.",
    "oppppppo",
    "opppppso",
    ".osssso.",
    "..oooo..",
};
const std::initializer_list<std::string_view> pawRaised{
    "c.c.c..",
    "cocoo..",
    "oppppo.",
    "opppppo",
    "opppsso",
    ".ossso.",
    "..oso..",
    "...o...",
};

const std::map<char, QRgb> pawKey{
    {'o', outline}, {'p', paw}, {'s', pawShade}, {'c', claw},
};

void drawPaws(Canvas& c, int top, Paws paws)
{
    switch (paws) {
    case Paws::hidden:
        break;
    case Paws::onRim:
        // Leaning on the edge of the hole, claws hooked over the earth.
        for (bool right : {false, true})
            c.stamp(right ? 39 : 16, groundRow - 6, {
                "..ooooo.",
                ".opppppo",
                "oppppppo",
                "opppppso",
                "ossssso.",
                ".cocoo c",
                ".c.c.c..",
            }, pawKey, right);
        break;
    case Paws::atChest:
        for (bool right : {false, true})
            c.stamp(right ? 34 : 22, top + 20, pawInFront, pawKey, right);
        break;
    case Paws::cheering:
        // Both paws thrown up beside the face.
        for (bool right : {false, true})
            c.stamp(right ? 41 : 15, top + 17, pawRaised, pawKey, right);
        break;
    case Paws::waving:
        // Off it goes: one paw on the tummy, the other waving goodbye.
        c.stamp(22, top + 21, pawInFront, pawKey);
        // The raised arm, up the shaded side of the head.
        for (int dy = 8; dy <= 16; ++dy) {
            c.set(43, top + dy, outline);
            c.fill(44, top + dy, 45, top + dy, fur);
            c.set(46, top + dy, furDark);
            c.set(47, top + dy, outline);
        }
        c.stamp(42, top + 1, pawRaised, pawKey, true);
        break;
    case Paws::flung:
        // Paws flung out stiff at the sides.
        for (bool right : {false, true})
            c.stamp(right ? 41 : 15, top + 23, {
                "..oooo.",
                ".opppo.",
                "oppppso",
                "opppsso",
                "cosssso",
                "c.c.co.",
                "..c.c..",
            }, pawKey, right);
        break;
    }
}

// A lump of thrown-up earth, lit from the upper left.
void drawClod(Canvas& c, double cx, double cy, double rx, double ry)
{
    for (int y = static_cast<int>(cy - ry) - 1; y <= static_cast<int>(cy + ry) + 1; ++y)
        for (int x = static_cast<int>(cx - rx) - 1; x <= static_cast<int>(cx + rx) + 1; ++x) {
            if (!inEllipse(x, y, cx, cy, rx, ry))
                continue;
            QRgb colour = dirt;
            if (!inEllipse(x, y + 1, cx, cy, rx, ry) || !inEllipse(x + 1, y, cx, cy, rx, ry))
                colour = dirtDark;
            else if (!inEllipse(x - 1, y - 1, cx, cy, rx, ry))
                colour = dirtLight;
            c.set(x, y, colour);
        }
}

// The heap of earth a mole throws up around the mouth of its hole.
bool isEarth(QRgb colour)
{
    return colour == dirtDark || colour == dirt || colour == dirtLight;
}

// The shadow the heap throws on the ground to its lower right.
void drawMoundShadow(Canvas& c, int base)
{
    for (int y = base + 8; y >= base; --y)
        for (int x = holeRight; x >= holeLeft; --x)
            if (c.get(x, y) == ground && (isEarth(c.get(x - 1, y - 1)) || isEarth(c.get(x - 2, y - 1))))
                c.set(x, y, groundShade);
}

void drawMound(Canvas& c, int base)
{
    drawClod(c, 20.0, base + 4.0, 6.0, 3.0);
    drawClod(c, 44.0, base + 4.0, 6.0, 3.0);
    drawClod(c, 31.5, base + 4.5, 9.0, 3.0);
    drawClod(c, 18.5, base + 0.5, 4.0, 3.0);
    drawClod(c, 45.5, base + 0.5, 4.0, 3.0);
    drawClod(c, 25.5, base + 1.5, 4.5, 2.5);
    drawClod(c, 38.5, base + 1.5, 4.5, 2.5);
    drawClod(c, 32.0, base + 1.5, 3.5, 2.0);
}

bool inPitOpening(int x, int y)
{
    if (y < groundRow || y > pitBottom || x <= holeLeft || x >= holeRight)
        return false;
    // Rounded lower corners.
    const int fromBottom = pitBottom - y;
    const int fromSide = std::min(x - holeLeft - 1, holeRight - 1 - x);
    return !(fromBottom < 3 && fromSide < 3 - fromBottom);
}

void drawPit(Canvas& c)
{
    for (int y = groundRow; y <= pitBottom + 1; ++y)
        for (int x = holeLeft; x <= holeRight; ++x) {
            if (inPitOpening(x, y)) {
                // Darker under the overhanging earth and down the shaded right wall.
                const bool deep = y < groundRow + 2 || x > holeRight - 3;
                c.set(x, y, deep ? shaftDeep : shaft);
            } else if (inPitOpening(x - 1, y) || inPitOpening(x + 1, y) || inPitOpening(x, y - 1)) {
                c.set(x, y, shaftDeep);
            }
        }
}

void drawPitLip(Canvas& c)
{
    drawClod(c, 21.0, pitLip + 1.0, 6.0, 2.5);
    drawClod(c, 42.5, pitLip + 1.0, 6.0, 2.5);
    drawClod(c, 31.5, pitLip, 7.5, 2.5);
    drawMoundShadow(c, pitLip - 2);
}

void drawShock(Canvas& c)
{
    // Jagged flashes on both sides of the head. Left: from the head out to
    // column 2; right: out to column 62.
    const std::vector<std::vector<std::pair<int, int>>> bolts{
        {{13, 4}, {9, 7}, {10, 2}, {5, 5}, {2, 0}},
        {{13, 13}, {8, 11}, {8, 15}, {4, 12}, {2, 15}},
        {{13, 22}, {9, 21}, {10, 26}, {5, 24}, {3, 30}},
    };
    for (bool right : {false, true})
        for (const auto& bolt : bolts)
            for (std::size_t i = 0; i + 1 < bolt.size(); ++i) {
                auto px = [&](int x) { return right ? 64 - x : x; };
                const auto [x0, y0] = bolt[i];
                const auto [x1, y1] = bolt[i + 1];
                c.line(px(x0), y0 + 1, px(x1), y1 + 1, shock);
                c.line(px(x0), y0 - 1, px(x1), y1 - 1, shock);
                const int inward = right ? -1 : 1;
                c.line(px(x0) + inward, y0, px(x1) + inward, y1, shock);
                c.line(px(x0), y0, px(x1), y1, shockCore);
            }
}

QImage drawLook(const Look& look)
{
    Canvas c(pictureWidth, pictureHeight, sky);
    c.fill(0, groundRow, pictureWidth - 1, pictureHeight - 1, ground);
    if (look.shocked)
        drawShock(c);

    const auto inHole = [](int x, int) { return x >= holeLeft && x <= holeRight; };
    if (look.inPit) {
        c.setClip(inHole);
        drawPit(c);
        c.setClip([](int x, int y) { return inPitOpening(x, y); });
    } else {
        c.setClip([](int x, int y) { return x >= holeLeft && x <= holeRight && y <= groundRow + 3; });
    }

    drawBody(c, look.top);
    drawMuzzle(c, look.top, look.face);
    drawEyes(c, look.top, look.face);
    drawMouth(c, look.top, look.face);
    if (look.face == MoleFace::struck)
        drawNosebleed(c, look.top);
    if (look.face != MoleFace::struck)
        drawWhiskers(c, look.top);
    if (look.paws != Paws::onRim)
        drawPaws(c, look.top, look.paws);

    c.setClip(inHole);
    if (look.inPit) {
        drawPitLip(c);
    } else {
        drawMound(c, groundRow);
        drawMoundShadow(c, groundRow);
        if (look.paws == Paws::onRim)
            drawPaws(c, look.top, look.paws);
    }
    return c.picture();
}

} // namespace

QImage drawMole(int stage)
{
    switch (stage) {
    case 1: return drawLook({61, MoleFace::sleepy, Paws::hidden, true, false});
    case 2: return drawLook({51, MoleFace::sleepy, Paws::hidden, true, false});
    case 3: return drawLook({32, MoleFace::awake, Paws::onRim, false, false});
    case 4: return drawLook({10, MoleFace::awake, Paws::atChest, false, false});
    case 5: return drawLook({0, MoleFace::awake, Paws::cheering, false, false});
    default: return drawLook({0, MoleFace::struck, Paws::flung, false, true});
    }
}

QImage drawEscape(int frame)
{
    switch (frame) {
    case 0: return drawLook({10, MoleFace::grinning, Paws::waving, false, false});
    case 1: return drawLook({32, MoleFace::laughing, Paws::onRim, false, false});
    default: return drawLook({51, MoleFace::laughing, Paws::hidden, true, false});
    }
}
