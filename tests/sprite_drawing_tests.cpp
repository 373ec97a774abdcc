// SPDX-License-Identifier: GPL-3.0-or-later
// The mole, escaping-mole, key-button and hammer-man sprites: which picture a code draws and where.
#include "fakes.h"
#include "surface_probe.h"

#include <gtest/gtest.h>

using probe::placeOf;
using probe::showsPicture;

namespace {

// A loaded game drawing on a surface cleared to magenta, a colour no picture has, so that every
// copied pixel shows (the pictures' sky is the window's own green).
struct Blank {
    static constexpr int magenta = 5;
    Blank() { clear(); }
    void clear() { rig.surface.clear(magenta); }
    static QImage blank()
    {
        Surface surface(578, 437);
        surface.clear(magenta);
        return probe::image(surface);
    }
    // Nothing but the picture, at its place, changed on the surface.
    bool onlyPictureAt(Store store, int index, double x, double y) const
    {
        const Picture* picture = rig.sprites.picture(store, index);
        return showsPicture(rig.surface, *picture, x, y) &&
               probe::changedBox(blank(), probe::image(rig.surface)) == placeOf(*picture, x, y);
    }
    bool untouched() const { return probe::image(rig.surface) == blank(); }

    GameRig rig;
    Form1& game = rig.loaded();
};

struct GridPlace {
    double column;
    double row;
};
constexpr GridPlace gridPlaces[] = {{1, 1.5}, {4, 1.5}, {2.5, 0.5}, {0.3, 0.03}};

} // namespace

TEST(MolePicture, codesOneToSixDrawTheirPictureAtColumnTimes970AndRowTimes1580)
{
    constexpr Store moles[] = {Store::MOGURA1, Store::MOGURA2, Store::MOGURA3,
                               Store::MOGURA4, Store::MOGURA5, Store::MOGURA6};
    Blank b;
    for (int code = 1; code <= 6; ++code)
        for (const GridPlace p : gridPlaces) {
            b.clear();
            b.game.描画_絵(code, p.column, p.row);
            EXPECT_TRUE(b.onlyPictureAt(moles[code - 1], 0, 970 * p.column, 1580 * p.row))
                << "code " << code << " at " << p.column << ", " << p.row;
        }
}

TEST(MolePicture, codesOutsideTheTableDrawNothing)
{
    Blank b;
    for (const int code : {0, 7, 9, 12, -1}) {
        b.game.描画_絵(code, 1, 1.5);
        EXPECT_TRUE(b.untouched()) << code;
    }
}

TEST(EscapingMole, framesOneToThreeDrawTheGrinningPicturesFromTheHighest)
{
    Blank b;
    for (int frame = 1; frame <= 3; ++frame)
        for (const GridPlace p : gridPlaces) {
            b.clear();
            b.game.描画_逃モグラ(frame, p.column, p.row);
            EXPECT_TRUE(b.onlyPictureAt(Store::NIGE, frame - 1, 970 * p.column, 1580 * p.row))
                << "frame " << frame << " at " << p.column << ", " << p.row;
        }
    b.clear();
    b.game.描画_逃モグラ(3, 2, 1.5);
    EXPECT_TRUE(b.onlyPictureAt(Store::NIGE, 2, 1940, 2370));
}

TEST(EscapingMole, framesOutsideOneToThreeDrawNothing)
{
    Blank b;
    for (const int frame : {0, 4, -1, 9}) {
        b.game.描画_逃モグラ(frame, 2, 1.5);
        EXPECT_TRUE(b.untouched()) << frame;
    }
}

namespace {

// What a key button should look like, composed straight on a surface: the picture on the grid,
// then the letter in black at 18 points at 200 + 960 x column, 4450, whatever the row.
QImage expectedButton(const Picture* picture, double column, double row, const char* letter)
{
    Surface expected(578, 437);
    expected.clear(Blank::magenta);
    if (picture != nullptr)
        expected.copyPicture(*picture, 970 * column, 1580 * row);
    expected.drawText(200 + 960 * column, 4450, letter, 0, 18);
    return probe::image(expected);
}

} // namespace

TEST(KeyButton, eachCodeDrawsItsPictureOnTheGridThenTheLetterOverIt)
{
    Blank b;
    const struct {
        int code;
        Store store;
    } buttons[] = {{9, Store::BOTAN_HUDAN}, {10, Store::BOTAN_UE}, {11, Store::BOTAN_SITA}};
    const struct {
        double column;
        const char* letter;
        char held;
    } holes[] = {{1.2, "A", 'A'}, {2.2, "S", 'S'}, {3.2, "D", 'D'}, {4.2, "F", 'F'}};
    for (const auto& button : buttons)
        for (const auto& hole : holes) {
            b.clear();
            b.game.描画_ボタン(button.code, hole.column, 2.6, Letter(hole.held));
            EXPECT_TRUE(probe::image(b.rig.surface) ==
                        expectedButton(b.rig.sprites.picture(button.store), hole.column, 2.6, hole.letter))
                << "code " << button.code << " at column " << hole.column;
        }
}

TEST(KeyButton, anotherRowMovesThePictureButNotTheLetter)
{
    Blank b;
    b.game.描画_ボタン(9, 2.2, 2.0, Letter('S'));
    EXPECT_TRUE(probe::image(b.rig.surface) ==
                expectedButton(b.rig.sprites.picture(Store::BOTAN_HUDAN), 2.2, 2.0, "S"));
    EXPECT_TRUE(showsPicture(b.rig.surface, *b.rig.sprites.picture(Store::BOTAN_HUDAN), 970 * 2.2, 3160));
}

TEST(KeyButton, unknownCodePrintsOnlyTheLetter)
{
    Blank b;
    for (const int code : {12, 0, 8}) {
        b.clear();
        b.game.描画_ボタン(code, 3.2, 2.6, Letter('D'));
        EXPECT_TRUE(probe::image(b.rig.surface) == expectedButton(nullptr, 3.2, 2.6, "D")) << code;
    }
}

TEST(KeyButton, emptyLetterLeavesThePictureAlone)
{
    Blank b;
    b.game.描画_ボタン(10, 4.2, 2.6, Letter());
    EXPECT_TRUE(b.onlyPictureAt(Store::BOTAN_UE, 0, 970 * 4.2, 4108));
    b.clear();
    b.game.描画_ボタン(12, 4.2, 2.6, Letter());
    EXPECT_TRUE(b.untouched());
}

TEST(KeyButton, redrawnButtonWipesOutTheLampsAndLetterBeforeIt)
{
    Blank b;
    b.game.描画_ボタン(10, 1.2, 2.6, Letter('W'));
    b.game.描画_ボタン(9, 1.2, 2.6, Letter('A'));
    EXPECT_TRUE(probe::image(b.rig.surface) ==
                expectedButton(b.rig.sprites.picture(Store::BOTAN_HUDAN), 1.2, 2.6, "A"));
}

TEST(HammerMan, aimsTwelveToFourteenDrawTheirSwingAtColumnTimes970)
{
    constexpr Store swings[] = {Store::HITO_B, Store::HITO_C, Store::HITO_D};
    Blank b;
    for (int aim = 12; aim <= 14; ++aim)
        for (int frame = 0; frame <= 4; ++frame)
            for (const GridPlace p : {GridPlace{2, 0.03}, GridPlace{1.5, 0.5}}) {
                b.clear();
                b.game.描画_人(aim, frame, p.column, p.row);
                EXPECT_TRUE(b.onlyPictureAt(swings[aim - 12], frame, 970 * p.column, 1580 * p.row))
                    << "aim " << aim << " frame " << frame << " column " << p.column;
            }
}

TEST(HammerMan, leftSwingStandsAtItsFixedPlacesWhateverTheColumn)
{
    constexpr double leftSwingX[] = {1950, 2000, 1850, 1300, 1300};
    Blank b;
    for (int frame = 0; frame <= 4; ++frame)
        for (const double column : {2.0, 7.0}) {
            b.clear();
            b.game.描画_人(11, frame, column, 0.03);
            EXPECT_TRUE(b.onlyPictureAt(Store::HITO_A, frame, leftSwingX[frame], 47.4))
                << "frame " << frame << " column " << column;
        }
}

TEST(HammerMan, unknownAimOrFrameDrawsNothing)
{
    Blank b;
    const struct {
        int aim;
        int frame;
    } unknown[] = {{12, 5}, {15, 0}, {10, 1}, {11, -1}, {0, 0}, {1, 1}, {14, 7}};
    for (const auto& call : unknown) {
        b.game.描画_人(call.aim, call.frame, 2, 0.03);
        EXPECT_TRUE(b.untouched()) << "aim " << call.aim << " frame " << call.frame;
    }
}
