// SPDX-License-Identifier: GPL-3.0-or-later
// The key-down table, the letter keys of the holes and mouse clicks, in both phases of the game.
#include "drawing/palette.h"
#include "play_support.h"
#include "window/sprite_catalogue.h"

#include <gtest/gtest.h>

namespace {

// The lamp half of a key button (its rows above the label field).
bool showsLamp(const GameRig& rig, Store button, int h)
{
    return play::showsPictureRows(rig.surface, *rig.sprites.picture(button), play::buttonCorner(rig.game.state, h), 0, 25);
}

struct HoleState {
    int stage, dir, enabled;
    bool operator==(const HoleState&) const = default;
};

std::vector<HoleState> holes(const GameState& s)
{
    std::vector<HoleState> all;
    for (int h = 1; h <= 4; ++h)
        all.push_back({s.moleStageByHole[h], s.moleDirByHole[h], s.keyEnabledByHole[h]});
    return all;
}

// A round under way with its sound calls forgotten.
Form1& inARound(GameRig& rig)
{
    Form1& game = play::loadedWithSounds(rig);
    game.処理_開始();
    rig.sound.calls.clear();
    return game;
}

} // namespace

TEST(KeyDown, escQuitsSpaceAndF2StartF1SwitchesMusicAndOtherKeysDoNothingInBothPhases)
{
    for (const bool round : {false, true}) {
        SCOPED_TRACE(round ? "in a round" : "waiting");
        const auto prepared = [round](GameRig& rig) -> Form1& {
            Form1& game = play::loadedWithSounds(rig);
            if (round) {
                game.処理_開始();
                game.Form_KeyPress('s');
            }
            rig.sound.calls.clear();
            return game;
        };
        {
            GameRig rig;
            prepared(rig).Form_KeyDown(27, 0);
            EXPECT_TRUE(rig.window.ended);
            EXPECT_EQ(rig.sound.argumentsOf("dsFree").size(), 7u);
        }
        for (const int startKey : {32, 113}) {
            GameRig rig;
            Form1& game = prepared(rig);
            const double before = rig.clock.elapsed;
            game.Form_KeyDown(startKey, 0);
            EXPECT_GE(rig.clock.elapsed - before, 1.0) << startKey;
            EXPECT_EQ(game.state.gameStopped, game.state.flagOff) << startKey;
            EXPECT_EQ(game.state.moleStageByHole[2], 1) << startKey;
        }
        {
            GameRig rig;
            prepared(rig).Form_KeyDown(112, 0);
            EXPECT_FALSE(rig.window.bgmChecked);
            EXPECT_EQ(rig.sound.calls, std::vector<SoundCall>({{"dsStop", 4}}));
        }
        // Letters, Enter, Tab, F3, F12, arrows, digits and the shift keys by their key numbers.
        for (const int other : {0, 8, 9, 13, 16, 17, 37, 40, 48, 65, 68, 70, 83, 111, 114, 123, 255}) {
            GameRig rig;
            Form1& game = prepared(rig);
            const QImage before = probe::image(rig.surface);
            const auto holesBefore = holes(game.state);
            const double timeBefore = rig.clock.elapsed;
            game.Form_KeyDown(other, 0);
            EXPECT_TRUE(rig.sound.calls.empty()) << other;
            EXPECT_EQ(probe::image(rig.surface), before) << other;
            EXPECT_EQ(holes(game.state), holesBefore) << other;
            EXPECT_EQ(rig.clock.elapsed, timeBefore) << other;
            EXPECT_TRUE(rig.window.bgmChecked) << other;
            EXPECT_FALSE(rig.window.ended) << other;
        }
    }
}

TEST(LetterKeys, eachLowerCaseLetterSendsItsOwnMoleUpWithTheSoundAndTheUpperLamp)
{
    const std::string letters = "asdf";
    for (int h = 1; h <= 4; ++h) {
        SCOPED_TRACE(letters[h - 1]);
        GameRig rig;
        Form1& game = inARound(rig);
        auto expected = holes(game.state);
        game.Form_KeyPress(letters[h - 1]);
        expected[h - 1] = {2, game.state.dirUp, game.state.flagOn};
        EXPECT_EQ(holes(game.state), expected);
        EXPECT_EQ(rig.sound.calls, std::vector<SoundCall>({{"dsPlay", 7}}));
        EXPECT_TRUE(showsLamp(rig, Store::BOTAN_UE, h));
        for (int other = 1; other <= 4; ++other) {
            if (other != h) {
                EXPECT_TRUE(showsLamp(rig, Store::BOTAN_HUDAN, other)) << other;
            }
        }
        EXPECT_EQ(game.state.letterByHole[h], Letter(std::toupper(letters[h - 1])));
    }
}

TEST(LetterKeys, upperCaseAndOtherCharactersDoNothingInARound)
{
    GameRig rig;
    Form1& game = inARound(rig);
    const QImage before = probe::image(rig.surface);
    const auto holesBefore = holes(game.state);
    for (const int c : std::initializer_list<int>{'A', 'S', 'D', 'F', 'g', 'j', 'k', 'l', 'q', ' ', '1', 0, 13, 27, 'a' + 256, 0x3042})
        game.Form_KeyPress(c);
    EXPECT_TRUE(rig.sound.calls.empty());
    EXPECT_EQ(probe::image(rig.surface), before);
    EXPECT_EQ(holes(game.state), holesBefore);
}

TEST(LetterKeys, aSecondPressTurnsARisingMoleBackDownAndEveryRepeatReversesAgain)
{
    GameRig rig;
    Form1& game = inARound(rig);
    const GameState& s = game.state;
    game.Form_KeyPress('d');
    game.Form_KeyPress('d');
    EXPECT_EQ(s.moleStageByHole[3], 2);
    EXPECT_EQ(s.moleDirByHole[3], s.dirDown);
    EXPECT_TRUE(showsLamp(rig, Store::BOTAN_SITA, 3));
    game.Form_KeyPress('d'); // auto-repeat
    EXPECT_EQ(s.moleStageByHole[3], 2);
    EXPECT_EQ(s.moleDirByHole[3], s.dirUp);
    EXPECT_TRUE(showsLamp(rig, Store::BOTAN_UE, 3));
    EXPECT_EQ(rig.sound.argumentsOf("dsPlay"), std::vector<std::int32_t>(3, 7));

    // A sinking mole in mid-hole turns back up and keeps its stage.
    game.state.moleStageByHole[4] = 3;
    game.Form_KeyPress('f');
    EXPECT_EQ(s.moleStageByHole[4], 3);
    EXPECT_EQ(s.moleDirByHole[4], s.dirUp);
}

TEST(LetterKeys, aFullyRaisedMoleDropsToStageFourWithTheLowerLampLit)
{
    GameRig rig;
    Form1& game = inARound(rig);
    const GameState& s = game.state;
    game.Form_KeyPress('s');
    for (int tick = 0; tick < 10 && s.moleStageByHole[2] < 5; ++tick)
        game.Timer1_Timer();
    ASSERT_EQ(s.moleStageByHole[2], 5);
    rig.sound.calls.clear();
    game.Form_KeyPress('s');
    EXPECT_EQ(s.moleStageByHole[2], 4);
    EXPECT_EQ(s.moleDirByHole[2], s.dirDown);
    EXPECT_TRUE(showsLamp(rig, Store::BOTAN_SITA, 2));
    EXPECT_EQ(rig.sound.calls, std::vector<SoundCall>({{"dsPlay", 7}}));
    // The label still carries its letter in black.
    const QPoint corner = play::buttonCorner(s, 2);
    int black = 0;
    for (int y = corner.y() + 26; y < corner.y() + 48; ++y)
        for (int x = corner.x(); x < corner.x() + 40; ++x)
            black += rig.surface.pixelAt(x, y) == palette[0] ? 1 : 0;
    EXPECT_GT(black, 10);
}

TEST(LetterKeys, aStruckHoleIgnoresItsKeyUntilItsMoleIsBackAtTheBottom)
{
    GameRig rig;
    Form1& game = inARound(rig);
    const GameState& s = game.state;
    game.Form_KeyPress('a');
    for (int tick = 0; tick < 100 && s.keyEnabledByHole[1] == s.flagOn; ++tick)
        game.Timer1_Timer();
    ASSERT_EQ(s.keyEnabledByHole[1], s.flagOff) << "the hammer never struck the raised mole";
    rig.sound.calls.clear();
    const QImage before = probe::image(rig.surface);
    const auto holesBefore = holes(s);
    game.Form_KeyPress('a');
    EXPECT_TRUE(rig.sound.calls.empty());
    EXPECT_EQ(holes(s), holesBefore);
    EXPECT_EQ(probe::image(rig.surface), before);

    for (int tick = 0; tick < 100 && s.keyEnabledByHole[1] != s.flagOn; ++tick)
        game.Timer1_Timer();
    ASSERT_EQ(s.keyEnabledByHole[1], s.flagOn);
    game.Form_KeyPress('a');
    EXPECT_EQ(s.moleDirByHole[1], s.dirUp);
}

namespace {

// Where the prompt may show: from its place at (500, 1000) to the right and about 60 pixels down.
const QRect promptArea(Surface::toPixel(500), Surface::toPixel(1000), 578 - Surface::toPixel(500), 60);

} // namespace

TEST(MouseDown, whileWaitingRedrawsTheOpeningScreenWithThePromptWhateverButton)
{
    for (const int button : {1, 2, 4}) {
        SCOPED_TRACE(button);
        GameRig rig;
        Form1& game = rig.loaded();
        const QImage opening = probe::image(rig.surface);
        game.描画_四角形(0, 0, 8000, 6000, 12); // anything drawn before goes
        game.Form_MouseDown(button, 0, 3000, 3000);

        const auto changed = play::differences(probe::image(rig.surface), opening, opening.rect());
        EXPECT_GT(changed.size(), 100u) << "no prompt";
        for (const QPoint p : changed) {
            const QRgb c = rig.surface.pixelAt(p.x(), p.y());
            ASSERT_TRUE(promptArea.contains(p) && (c == palette[0] || c == palette[15]))
                << "unexpected change at " << p.x() << "," << p.y();
        }
        EXPECT_EQ(game.state.gameStopped, game.state.flagOn);
    }
}

TEST(MouseDown, duringARoundDoesNothing)
{
    GameRig rig;
    Form1& game = inARound(rig);
    game.Form_KeyPress('a');
    game.Timer1_Timer();
    const QImage before = probe::image(rig.surface);
    const auto holesBefore = holes(game.state);
    for (const int button : {1, 2, 4})
        game.Form_MouseDown(button, 0, 100, 100);
    EXPECT_EQ(probe::image(rig.surface), before);
    EXPECT_EQ(holes(game.state), holesBefore);
    EXPECT_EQ(game.state.gameStopped, game.state.flagOff);
}
