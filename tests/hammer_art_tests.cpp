// SPDX-License-Identifier: GPL-3.0-or-later
// The hammer man's twenty frames as the game uses them: their sizes and background, the man in
// each of them, where the landed hammer strikes, and that drawing the frames over each other in the
// orders of play leaves nothing of an earlier frame on the screen.
#include "surface_probe.h"
#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>

#include <array>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr QRgb artGreen = qRgb(0, 128, 0);

constexpr std::array aims{Store::HITO_A, Store::HITO_B, Store::HITO_C, Store::HITO_D};
constexpr std::array<char, 4> aimLetter{'A', 'B', 'C', 'D'};

constexpr std::array<std::array<QSize, 5>, 4> expectedSize{{
    {QSize(136, 146), QSize(137, 146), QSize(131, 146), QSize(164, 155), QSize(136, 155)},
    {QSize(137, 146), QSize(137, 146), QSize(137, 146), QSize(137, 155), QSize(137, 155)},
    {QSize(135, 146), QSize(137, 146), QSize(137, 146), QSize(137, 155), QSize(137, 155)},
    {QSize(137, 146), QSize(137, 146), QSize(152, 146), QSize(164, 155), QSize(164, 155)},
}};

// Where the game puts each frame, in twips: column 2, row 0.03 (single precision), and fixed
// x values for the left-hand swing.
constexpr std::array<double, 5> xOfA{1950, 2000, 1850, 1300, 1300};
double frameX(int aim, int frame) { return aim == 0 ? xOfA[static_cast<std::size_t>(frame)] : 2 * 970.0; }
const double frameY = static_cast<double>(0.03f * 1580.0f);

// The x span (twips) inside which the landed hammer head of each aim must come down.
constexpr std::array<std::pair<double, double>, 4> strikeSpan{{{1300, 1570}, {2330, 2495}, {3305, 3470}, {4220, 4385}}};

// How many pixels of an earlier frame may stay on the screen at a change of HITO_A frames,
// whose pictures stand at different places; every other frame must cover its predecessor fully.
constexpr int allowanceForA = 4;

bool isHammerRed(QRgb c) { return qRed(c) >= 150 && qGreen(c) < 90 && qBlue(c) < 90; }
bool isHairBlack(QRgb c)
{
    const int high = std::max({qRed(c), qGreen(c), qBlue(c)}), low = std::min({qRed(c), qGreen(c), qBlue(c)});
    return high <= 30 && high - low <= 8;
}
// Warm, light and pink enough to be skin rather than the wooden handle or the trousers.
bool isSkin(QRgb c)
{
    return qRed(c) >= 180 && qRed(c) > qGreen(c) && qGreen(c) > qBlue(c) && qGreen(c) >= 110
        && 2 * qBlue(c) >= qRed(c);
}

std::string nameOf(int aim, int frame) { return std::string("HITO_") + aimLetter[aim] + std::to_string(frame); }

class HammerManArt : public testing::Test {
protected:
    const Picture& picture(int aim, int index) const
    {
        const Picture* found = sprites.picture(aims[aim], index);
        EXPECT_NE(found, nullptr) << nameOf(aim, index);
        return *found;
    }
    QImage frame(int aim, int index) const { return probe::image(picture(aim, index)); }

    // Mean position of the pixels that pass a test, in picture coordinates; (-1, -1) when none do.
    template <typename Test> QPointF centreOf(const QImage& image, Test test) const
    {
        double sx = 0, sy = 0;
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (test(image.pixel(x, y))) {
                    sx += x;
                    sy += y;
                    ++count;
                }
        return count ? QPointF(sx / count, sy / count) : QPointF(-1, -1);
    }

    SpriteCatalogue sprites;
};

TEST_F(HammerManArt, everyFrameHasItsSizeAndIsStoredWithoutTransparency)
{
    for (int aim = 0; aim < 4; ++aim)
        for (int index = 0; index < 5; ++index) {
            EXPECT_EQ(frame(aim, index).size(), expectedSize[aim][index]) << nameOf(aim, index);
            const QImage stored(probe::artFile(aims[aim], index));
            ASSERT_FALSE(stored.isNull()) << nameOf(aim, index);
            EXPECT_FALSE(stored.hasAlphaChannel()) << nameOf(aim, index);
        }
    EXPECT_EQ(sprites.picture(Store::HITO_B, 5), nullptr);
}

// The frames paint their own green background: it runs all round the edge, broken only where the
// landed hammer head rests on the bottom row of frame 4, inside the span of its hole.
TEST_F(HammerManArt, borderIsGreenExceptUnderTheLandedHammer)
{
    for (int aim = 0; aim < 4; ++aim)
        for (int index = 0; index < 5; ++index) {
            const QImage image = frame(aim, index);
            const int w = image.width(), h = image.height();
            int wrong = 0;
            for (int x = 0; x < w; ++x) {
                wrong += image.pixel(x, 0) != artGreen;
                if (image.pixel(x, h - 1) == artGreen)
                    continue;
                const double left = Surface::toPixel(frameX(aim, index)) + x;
                const bool underHammer = index == 4 && left * 15 >= strikeSpan[aim].first
                    && (left + 1) * 15 <= strikeSpan[aim].second;
                wrong += !underHammer;
            }
            for (int y = 0; y < h; ++y)
                wrong += (image.pixel(0, y) != artGreen) + (image.pixel(w - 1, y) != artGreen);
            EXPECT_EQ(wrong, 0) << nameOf(aim, index);
        }
}

TEST_F(HammerManArt, everyFrameShowsTheManWithBlackHairBareSkinAndTheRedHammer)
{
    for (int aim = 0; aim < 4; ++aim)
        for (int index = 0; index < 5; ++index) {
            int hair = 0, skin = 0, red = 0;
            const QImage image = frame(aim, index);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb c = image.pixel(x, y);
                    hair += isHairBlack(c);
                    skin += isSkin(c);
                    red += isHammerRed(c);
                }
            EXPECT_GE(hair, 60) << nameOf(aim, index);
            EXPECT_GE(skin, 600) << nameOf(aim, index); // bare chest and arms
            EXPECT_GE(red, 40) << nameOf(aim, index);
            // The hair sits on top of the man: above the middle of the skin.
            EXPECT_LT(centreOf(image, isHairBlack).y(), centreOf(image, isSkin).y()) << nameOf(aim, index);
        }
}

// Frame 0 holds the hammer up over the right side of his head; from frame 1 on the hammer is on
// the side of the hole the swing is heading for, so a player can read the aim in every frame.
TEST_F(HammerManArt, hammerShowsWhereTheSwingIsHeading)
{
    for (int aim = 0; aim < 4; ++aim)
        for (int index = 0; index < 5; ++index) {
            const QImage image = frame(aim, index);
            const double left = Surface::toPixel(frameX(aim, index));
            const QPointF head = centreOf(image, isHairBlack) + QPointF(left, 0);
            const QPointF hammer = centreOf(image, isHammerRed) + QPointF(left, 0);
            if (index == 0) {
                EXPECT_GT(hammer.x(), head.x()) << nameOf(aim, index);
                EXPECT_LT(hammer.y(), head.y()) << nameOf(aim, index);
            } else if (aim < 2) {
                EXPECT_LT(hammer.x(), head.x()) << nameOf(aim, index);
            } else {
                EXPECT_GT(hammer.x(), head.x()) << nameOf(aim, index);
            }
        }
}

// Frame 4: the red of the hammer head in the lowest rows comes down inside the aim's span.
TEST_F(HammerManArt, landedHammerHeadStrikesTheAimedHole)
{
    constexpr int lowestRows = 4;
    for (int aim = 0; aim < 4; ++aim) {
        const QImage image = frame(aim, 4);
        const int left = Surface::toPixel(frameX(aim, 4));
        int inside = 0, outside = 0;
        for (int y = image.height() - lowestRows; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (!isHammerRed(image.pixel(x, y)))
                    continue;
                const double from = (left + x) * 15.0, to = (left + x + 1) * 15.0;
                const bool within = from >= strikeSpan[aim].first && to <= strikeSpan[aim].second;
                (within ? inside : outside) += 1;
            }
        EXPECT_GE(inside, 8) << nameOf(aim, 4);
        EXPECT_EQ(outside, 0) << nameOf(aim, 4);
        // The head rests on the bottom row, just above the moles.
        int onBottom = 0;
        for (int x = 0; x < image.width(); ++x)
            onBottom += isHammerRed(image.pixel(x, image.height() - 1));
        EXPECT_GT(onBottom, 0) << nameOf(aim, 4);
    }
}

// Every pair of frames that the game draws one after the other, without erasing in between.
std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>> successivePairs()
{
    std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>> pairs;
    constexpr std::array swing{1, 2, 3, 4, 3, 2, 1};
    for (int aim = 0; aim < 4; ++aim) {
        for (std::size_t i = 0; i + 1 < swing.size(); ++i)
            pairs.push_back({{aim, swing[i]}, {aim, swing[i + 1]}});
        pairs.push_back({{aim, 1}, {aim, 0}}); // the swing is over and no mole is up
        for (int next = 0; next < 4; ++next) {
            pairs.push_back({{aim, 0}, {next, 1}}); // a waiting man picks a target
            if (next != aim)
                pairs.push_back({{aim, 1}, {next, 1}}); // a new target right after a swing
        }
    }
    return pairs;
}

TEST_F(HammerManArt, eachFrameCoversTheFrameDrawnBeforeIt)
{
    // The screen after both frames against the screen with only the later one.
    auto leftovers = [&](std::pair<int, int> before, std::pair<int, int> after) {
        Surface both(600, 200), alone(600, 200);
        both.copyPicture(picture(before.first, before.second), frameX(before.first, before.second), frameY);
        both.copyPicture(picture(after.first, after.second), frameX(after.first, after.second), frameY);
        alone.copyPicture(picture(after.first, after.second), frameX(after.first, after.second), frameY);
        // The earlier frame's green background left beside the later one matches the window's
        // green; only its figure would show.
        int count = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 600; ++x)
                count += both.pixelAt(x, y) != alone.pixelAt(x, y) && both.pixelAt(x, y) != artGreen;
        return count;
    };

    const auto pairs = successivePairs();
    EXPECT_EQ(pairs.size(), 4u * (6 + 1 + 4 + 3));
    for (const auto& [before, after] : pairs) {
        const bool involvesA = before.first == 0 || after.first == 0;
        EXPECT_LE(leftovers(before, after), involvesA ? allowanceForA : 0)
            << nameOf(before.first, before.second) << " then " << nameOf(after.first, after.second);
    }
}

// The way the check above counts must see a trace when there is one: the far-right blow of
// HITO_D4 reaches beyond the narrower HITO_B1, which the game never draws after it.
TEST_F(HammerManArt, aFrameDrawnOverAWiderFigureLeavesTheRestVisible)
{
    Surface screen(600, 200), reference(600, 200);
    screen.copyPicture(picture(3, 4), frameX(3, 4), frameY);
    screen.copyPicture(picture(1, 1), frameX(1, 1), frameY);
    reference.copyPicture(picture(1, 1), frameX(1, 1), frameY);
    int differing = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 600; ++x)
            differing += screen.pixelAt(x, y) != reference.pixelAt(x, y) && screen.pixelAt(x, y) != artGreen;
    EXPECT_GT(differing, 20);
}

} // namespace
