// SPDX-License-Identifier: GPL-3.0-or-later
// Checks the mole, escaping-mole and key-button pictures and the icon as the
// game loads them: sizes, opaque backgrounds that match the playfield, where
// the mole stands in each picture, and the parts of the buttons the game
// relies on (the lamp halves and the white label under the printed letter).
#include "surface_probe.h"
#include "window/sprite_catalogue.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <QString>

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

namespace {

constexpr QRgb sky = qRgb(0, 128, 0);
constexpr QRgb ground = qRgb(128, 128, 0);
constexpr QRgb brown = qRgb(128, 64, 0);
constexpr QRgb white = qRgb(255, 255, 255);
constexpr QRgb red = qRgb(255, 0, 0);
constexpr QRgb yellow = qRgb(255, 255, 0);
constexpr QRgb blue = qRgb(0, 0, 255);
constexpr QRgb cyan = qRgb(0, 255, 255);

constexpr int moleWidth = 65, moleHeight = 105;
constexpr int groundRow = 51;
constexpr int holeLeft = 15, holeRight = 48;

struct MolePicture {
    const char* name;
    Store store;
    int index;
    int topRow;     // first row of the mole itself
    bool showsShaft;
};

const MolePicture molePictures[] = {
    {"MOGURA1", Store::MOGURA1, 0, 61, true},
    {"MOGURA2", Store::MOGURA2, 0, 51, true},
    {"MOGURA3", Store::MOGURA3, 0, 32, false},
    {"MOGURA4", Store::MOGURA4, 0, 10, false},
    {"MOGURA5", Store::MOGURA5, 0, 0, false},
    {"MOGURA6", Store::MOGURA6, 0, 0, false},
    {"NIGE0", Store::NIGE, 0, 10, false},
    {"NIGE1", Store::NIGE, 1, 32, false},
    {"NIGE2", Store::NIGE, 2, 51, true},
};

void PrintTo(const MolePicture& picture, std::ostream* out)
{
    *out << picture.name;
}

QRgb at(const QImage& picture, int x, int y)
{
    return picture.pixel(x, y) | 0xff000000u;
}

QRgb scenery(int y)
{
    return y < groundRow ? sky : ground;
}

// The hole's shaft: a dark neutral grey.
bool isShaft(QRgb colour)
{
    return qRed(colour) == qGreen(colour) && qGreen(colour) == qBlue(colour) && qRed(colour) >= 16
        && qRed(colour) <= 100;
}

// A pixel of the mole (or what it brought up with it): neither the sky or
// ground of its row nor the shaft.
bool isMole(const QImage& picture, int x, int y)
{
    const QRgb colour = at(picture, x, y);
    return colour != scenery(y) && !isShaft(colour);
}

bool isYellowish(QRgb colour)
{
    return qRed(colour) >= 200 && qGreen(colour) >= 200 && qBlue(colour) < 200;
}

bool isReddish(QRgb colour)
{
    return qRed(colour) >= 180 && qGreen(colour) < 60 && qBlue(colour) < 60;
}

std::optional<int> firstMoleRow(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = holeLeft; x <= holeRight; ++x)
            if (isMole(picture, x, y))
                return y;
    return std::nullopt;
}

class MolePictures : public testing::TestWithParam<MolePicture> {
protected:
    SpriteCatalogue sprites;
    QImage picture()
    {
        const Picture* found = sprites.picture(GetParam().store, GetParam().index);
        EXPECT_NE(found, nullptr);
        return found ? probe::image(*found) : QImage();
    }
};

// The file in the program's resources: 24-bit colour, no transparency.
void expectOpaqueRgb(Store store, int index)
{
    const QImage stored(probe::artFile(store, index));
    ASSERT_FALSE(stored.isNull()) << probe::artFile(store, index).toStdString();
    EXPECT_FALSE(stored.hasAlphaChannel());
    EXPECT_EQ(stored.format(), QImage::Format_RGB32) << "expected a plain 24-bit RGB picture";
}

TEST_P(MolePictures, HasTheMoleSizeAndIsOpaque)
{
    const QImage& p = picture();
    EXPECT_EQ(p.size(), QSize(moleWidth, moleHeight));
    expectOpaqueRgb(GetParam().store, GetParam().index);
}

TEST_P(MolePictures, PaintsSkyAboveTheGroundLineAndGroundBelowItAlongItsBorders)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(moleWidth, moleHeight));
    for (int y = 0; y < moleHeight; ++y) {
        EXPECT_EQ(at(p, 0, y), scenery(y)) << "left edge, row " << y;
        EXPECT_EQ(at(p, moleWidth - 1, y), scenery(y)) << "right edge, row " << y;
    }
    for (int x = 0; x < moleWidth; ++x)
        EXPECT_EQ(at(p, x, moleHeight - 1), ground) << "bottom edge, column " << x;
    // The ground line itself, beside the hole.
    for (int x : {1, 10, 55, 63}) {
        EXPECT_EQ(at(p, x, groundRow - 1), sky) << "column " << x;
        EXPECT_EQ(at(p, x, groundRow), ground) << "column " << x;
    }
}

TEST_P(MolePictures, MoleTopsOutAtItsStageRow)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(moleWidth, moleHeight));
    const std::optional<int> top = firstMoleRow(p);
    ASSERT_TRUE(top.has_value()) << "no mole in the picture";
    EXPECT_EQ(*top, GetParam().topRow);
}

TEST_P(MolePictures, ShowsTheShaftAroundTheHeadOnlyWhileTheMoleIsDown)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(moleWidth, moleHeight));
    int shaftBelowGround = 0, shaftAboveGround = 0;
    for (int y = 0; y < moleHeight; ++y)
        for (int x = 0; x < moleWidth; ++x)
            if (isShaft(at(p, x, y)))
                ++(y < groundRow ? shaftAboveGround : shaftBelowGround);
    EXPECT_EQ(shaftAboveGround, 0);
    if (!GetParam().showsShaft) {
        EXPECT_EQ(shaftBelowGround, 0);
        return;
    }
    EXPECT_GE(shaftBelowGround, 100);

    // A few rows into the head the shaft shows on both sides of it.
    const int row = GetParam().topRow + 4;
    int leftmost = moleWidth, rightmost = -1;
    for (int x = holeLeft; x <= holeRight; ++x)
        if (isMole(p, x, row)) {
            leftmost = std::min(leftmost, x);
            rightmost = std::max(rightmost, x);
        }
    ASSERT_LE(leftmost, rightmost) << "no head in row " << row;
    EXPECT_TRUE(isShaft(at(p, leftmost - 1, row))) << "row " << row;
    EXPECT_TRUE(isShaft(at(p, rightmost + 1, row))) << "row " << row;
    // Above the head, open shaft down from the ground line.
    for (int y = groundRow; y < GetParam().topRow; ++y)
        EXPECT_TRUE(isShaft(at(p, 31, y))) << "row " << y;
}

TEST_P(MolePictures, KeepsTheMoleInsideItsHoleColumns)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(moleWidth, moleHeight));
    const bool struck = GetParam().store == Store::MOGURA6;
    int leftmostShock = moleWidth, rightmostShock = -1;
    for (int y = 0; y < moleHeight; ++y)
        for (int x = 0; x < moleWidth; ++x) {
            if (x >= holeLeft && x <= holeRight)
                continue;
            const QRgb colour = at(p, x, y);
            if (colour == scenery(y))
                continue;
            if (struck && isYellowish(colour)) {
                leftmostShock = x < holeLeft ? std::min(leftmostShock, x) : leftmostShock;
                rightmostShock = x > holeRight ? std::max(rightmostShock, x) : rightmostShock;
                continue;
            }
            ADD_FAILURE() << "stray pixel at (" << x << ", " << y << ")";
        }
    if (struck) {
        EXPECT_LE(leftmostShock, 3) << "the shock lines reach out to about column 2";
        EXPECT_GE(rightmostShock, 61) << "the shock lines reach out to about column 62";
    }
}

INSTANTIATE_TEST_SUITE_P(AllMoles, MolePictures, testing::ValuesIn(molePictures),
                         [](const testing::TestParamInfo<MolePicture>& info) {
                             return std::string(info.param.name);
                         });

TEST(StruckMole, ShowsRedStreaksAndYellowShockLines)
{
    SpriteCatalogue sprites;
    ASSERT_NE(sprites.picture(Store::MOGURA6), nullptr);
    const QImage p = probe::image(*sprites.picture(Store::MOGURA6));
    int redInFace = 0, yellowLeft = 0, yellowRight = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const QRgb colour = at(p, x, y);
            if (isReddish(colour) && x >= holeLeft && x <= holeRight)
                ++redInFace;
            if (isYellowish(colour) && x < holeLeft)
                ++yellowLeft;
            if (isYellowish(colour) && x > holeRight)
                ++yellowRight;
        }
    EXPECT_GE(redInFace, 10);
    EXPECT_GE(yellowLeft, 10);
    EXPECT_GE(yellowRight, 10);

    // Nothing like it on a mole that was not hit.
    ASSERT_NE(sprites.picture(Store::MOGURA5), nullptr);
    const QImage upright = probe::image(*sprites.picture(Store::MOGURA5));
    int redOnUpright = 0;
    for (int y = 0; y < upright.height(); ++y)
        for (int x = 0; x < upright.width(); ++x)
            redOnUpright += isReddish(at(upright, x, y)) ? 1 : 0;
    EXPECT_EQ(redOnUpright, 0);
}

TEST(MolePictureSet, EveryPictureDiffersFromEveryOther)
{
    SpriteCatalogue sprites;
    for (const MolePicture& a : molePictures)
        for (const MolePicture& b : molePictures) {
            if (&a >= &b)
                continue;
            const Picture* pa = sprites.picture(a.store, a.index);
            const Picture* pb = sprites.picture(b.store, b.index);
            ASSERT_TRUE(pa && pb);
            EXPECT_NE(pa->pixels, pb->pixels) << a.name << " and " << b.name << " are the same picture";
        }
}

// Key buttons.

constexpr int buttonWidth = 40, buttonHeight = 50;
constexpr int labelTop = 26, labelBottom = 47;
constexpr int upperLampFirst = 2, upperLampLast = 11;
constexpr int lowerLampFirst = 13, lowerLampLast = 22;

struct ButtonPicture {
    const char* name;
    Store store;
    bool upperLit;
    bool lowerLit;
};

const ButtonPicture buttonPictures[] = {
    {"BOTAN_HUDAN", Store::BOTAN_HUDAN, false, false},
    {"BOTAN_UE", Store::BOTAN_UE, true, false},
    {"BOTAN_SITA", Store::BOTAN_SITA, false, true},
};

void PrintTo(const ButtonPicture& picture, std::ostream* out)
{
    *out << picture.name;
}

class ButtonPictures : public testing::TestWithParam<ButtonPicture> {
protected:
    SpriteCatalogue sprites;
    QImage picture()
    {
        const Picture* found = sprites.picture(GetParam().store);
        EXPECT_NE(found, nullptr);
        return found ? probe::image(*found) : QImage();
    }
};

TEST_P(ButtonPictures, HasTheButtonSizeIsOpaqueAndSitsInABrownSurround)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(buttonWidth, buttonHeight));
    expectOpaqueRgb(GetParam().store, 0);
    for (int x = 0; x < buttonWidth; ++x) {
        EXPECT_EQ(at(p, x, 0), brown) << "top edge, column " << x;
        EXPECT_EQ(at(p, x, buttonHeight - 1), brown) << "bottom edge, column " << x;
    }
    for (int y = 0; y < buttonHeight; ++y) {
        EXPECT_EQ(at(p, 0, y), brown) << "left edge, row " << y;
        EXPECT_EQ(at(p, buttonWidth - 1, y), brown) << "right edge, row " << y;
    }
}

TEST_P(ButtonPictures, HasAWhiteLabelWithAShadowAlongItsTopAndLeft)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(buttonWidth, buttonHeight));
    // The widest white run in the middle row gives the field's columns.
    const int middle = (labelTop + labelBottom) / 2;
    int left = buttonWidth / 2, right = buttonWidth / 2;
    ASSERT_EQ(at(p, left, middle), white);
    while (left > 0 && at(p, left - 1, middle) == white)
        --left;
    while (right < buttonWidth - 1 && at(p, right + 1, middle) == white)
        ++right;

    for (int y = labelTop; y <= labelBottom; ++y)
        for (int x = left; x <= right; ++x)
            ASSERT_EQ(at(p, x, y), white) << "label pixel (" << x << ", " << y << ")";
    for (int x = left; x <= right; ++x) {
        EXPECT_NE(at(p, x, labelTop - 1), white) << "the field starts at row " << labelTop;
        EXPECT_NE(at(p, x, labelBottom + 1), white) << "the field ends at row " << labelBottom;
    }

    auto isShadowGrey = [](QRgb c) {
        return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) >= 64 && qRed(c) <= 200;
    };
    for (int x = left; x <= right; ++x)
        EXPECT_TRUE(isShadowGrey(at(p, x, labelTop - 1))) << "top shadow, column " << x;
    for (int y = labelTop; y <= labelBottom; ++y)
        EXPECT_TRUE(isShadowGrey(at(p, left - 1, y))) << "left shadow, row " << y;
}

struct LampHalf {
    int red = 0, yellow = 0, cyan = 0, blue = 0;
    std::vector<int> arrowWidths; // arrow pixels per row, top to bottom
};

LampHalf lampHalf(const QImage& p, int firstRow, int lastRow)
{
    LampHalf half;
    for (int y = firstRow; y <= lastRow; ++y) {
        int arrow = 0;
        for (int x = 0; x < p.width(); ++x) {
            const QRgb c = at(p, x, y);
            half.red += c == red;
            half.yellow += c == yellow;
            half.cyan += c == cyan;
            half.blue += c == blue;
            arrow += (c == cyan || c == blue) ? 1 : 0;
        }
        if (arrow > 0)
            half.arrowWidths.push_back(arrow);
    }
    return half;
}

void expectLamp(const LampHalf& half, bool lit, const char* which)
{
    if (lit) {
        EXPECT_GE(half.red, 60) << which << " half lit red";
        EXPECT_EQ(half.yellow, 0) << which << " half lit red";
        EXPECT_GE(half.cyan, 10) << which << " half's arrow cyan";
        EXPECT_EQ(half.blue, 0) << which << " half's arrow cyan";
    } else {
        EXPECT_GE(half.yellow, 60) << which << " half resting yellow";
        EXPECT_EQ(half.red, 0) << which << " half resting yellow";
        EXPECT_GE(half.blue, 10) << which << " half's arrow blue";
        EXPECT_EQ(half.cyan, 0) << which << " half's arrow blue";
    }
}

TEST_P(ButtonPictures, LightsTheRightLampHalfAndPointsItsArrows)
{
    const QImage& p = picture();
    ASSERT_EQ(p.size(), QSize(buttonWidth, buttonHeight));
    const LampHalf upper = lampHalf(p, upperLampFirst, upperLampLast);
    const LampHalf lower = lampHalf(p, lowerLampFirst, lowerLampLast);
    expectLamp(upper, GetParam().upperLit, "upper");
    expectLamp(lower, GetParam().lowerLit, "lower");

    // The upper arrow widens downwards (points up), the lower narrows (points down).
    ASSERT_GE(upper.arrowWidths.size(), 4u);
    ASSERT_GE(lower.arrowWidths.size(), 4u);
    EXPECT_TRUE(std::is_sorted(upper.arrowWidths.begin(), upper.arrowWidths.end()));
    EXPECT_LT(upper.arrowWidths.front(), upper.arrowWidths.back());
    EXPECT_TRUE(std::is_sorted(lower.arrowWidths.rbegin(), lower.arrowWidths.rend()));
    EXPECT_GT(lower.arrowWidths.front(), lower.arrowWidths.back());
}

INSTANTIATE_TEST_SUITE_P(AllButtons, ButtonPictures, testing::ValuesIn(buttonPictures),
                         [](const testing::TestParamInfo<ButtonPicture>& info) {
                             return std::string(info.param.name);
                         });

// Every size is pixel art of its own (no pixel half transparent, not an enlargement of a smaller size), on a
// transparent background around an opaque mole.
TEST(WindowIcon, EachSizeIsItsOwnCrispPictureOnATransparentBackground)
{
    for (const int size : {32, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage icon(QStringLiteral(ZUBOTTA_SOURCE_DIR "/window/art/icon%1.png")
                              .arg(size == 32 ? QString() : QStringLiteral("-%1").arg(size)));
        ASSERT_FALSE(icon.isNull());
        ASSERT_EQ(icon.size(), QSize(size, size));
        QSet<QRgb> colours;
        bool enlargedByTwo = true;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = icon.pixel(x, y);
                EXPECT_TRUE(qAlpha(pixel) == 0 || qAlpha(pixel) == 255) << x << "," << y;
                colours.insert(qAlpha(pixel) == 0 ? 0u : pixel);
                enlargedByTwo = enlargedByTwo && pixel == icon.pixel(x & ~1, y & ~1);
            }
        EXPECT_FALSE(enlargedByTwo);
        for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0)})
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        EXPECT_GE(colours.size(), 8) << "fur, its light and shade, outline, eyes, muzzle, nose, hole";
    }
}

} // namespace
