// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the sounds, the music, the window's place and the waiting opening screen.
#include "drawing/palette.h"
#include "play_support.h"
#include "window/sprite_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>

using play::loadedWithSounds;
using play::SoundFolder;

TEST(StartUp, loadsTheSevenSoundsInOrderWithTheirBufferCountsThenLoopsTheTune)
{
    GameRig rig;
    const Form1& game = loadedWithSounds(rig);
    const std::vector<SoundCall> expected{
        {"dsInitialize", 4242}, {"dsCreateDSB", 3}, {"dsCreateDSB", 3}, {"dsCreateDSB", 3},
        {"dsCreateDSB", 1},     {"dsCreateDSB", 1}, {"dsCreateDSB", 1}, {"dsCreateDSB", 1},
        {"dsPlayLooping", 4},
    };
    EXPECT_EQ(rig.sound.calls, expected);
    const GameState& s = game.state;
    EXPECT_EQ(std::vector<SoundHandle>({s.sndOther, s.sndForbidden, s.sndHit, s.sndBgm, s.sndMiss,
                                        s.sndTimeUp, s.sndMole}),
              std::vector<SoundHandle>({1, 2, 3, 4, 5, 6, 7}));
}

// With one file present, only its handle is set: each name leads to its own handle.
TEST(StartUp, keepsEachSoundUnderItsOwnFileName)
{
    const std::vector<SoundHandle GameState::*> handles{
        &GameState::sndOther, &GameState::sndForbidden, &GameState::sndHit, &GameState::sndBgm,
        &GameState::sndMiss,  &GameState::sndTimeUp,    &GameState::sndMole,
    };
    for (std::size_t i = 0; i < play::soundNames.size(); ++i) {
        SCOPED_TRACE(play::soundNames[i]);
        GameRig rig;
        SoundFolder onlyOne({play::soundNames[i]});
        const GameState& s = rig.loaded().state;
        for (std::size_t j = 0; j < handles.size(); ++j)
            EXPECT_EQ(s.*handles[j], i == j ? 1 : 0) << "handle " << j;
    }
}

TEST(StartUp, putsTheCheckMarkOnTheMusicAndPlacesTheWindow)
{
    play::OrderRig rig;
    SoundFolder sounds;
    rig.game.Form_Load();
    EXPECT_TRUE(rig.window.checked);
    const auto& calls = rig.log.calls;
    const auto at = [&](const SoundCall& call) { return std::find(calls.begin(), calls.end(), call) - calls.begin(); };
    const auto lastLoad = std::find_if(calls.rbegin(), calls.rend(),
                                       [](const SoundCall& call) { return call.name == "dsCreateDSB"; });
    ASSERT_NE(lastLoad, calls.rend());
    // The mark goes on after the loads and before the tune starts; then the window is placed.
    EXPECT_LT(calls.rend() - lastLoad - 1, at({"setBgmChecked", 1}));
    EXPECT_LT(at({"setBgmChecked", 1}), at({"dsPlayLooping", 4}));
    EXPECT_LT(at({"dsPlayLooping", 4}), at({"placeWindow", 0}));

    GameRig placed;
    placed.loaded();
    EXPECT_EQ(placed.window.placed, std::vector<double>({-50, -50, 6000}));
}

TEST(StartUp, waitsWithNoPointsThirtySecondsAndABestOfZero)
{
    GameRig rig;
    const GameState& s = rig.loaded().state;
    EXPECT_EQ(s.gameStopped, s.flagOn);
    EXPECT_EQ(s.score, 0);
    EXPECT_EQ(s.timeLeft, 30);
    EXPECT_EQ(s.bestScore, 0);
    EXPECT_EQ(s.lastSecondDigit, '6'); // 45296.25 seconds since midnight
    EXPECT_EQ(s.hammerAim, 11);
    EXPECT_EQ(s.hammerFrame, 0);
    EXPECT_EQ(s.hammerDir, s.dirDown);
    for (int h = 1; h <= 4; ++h) {
        EXPECT_EQ(s.hammerAimByHole[h], h + 10);
        EXPECT_EQ(s.moleStageByHole[h], 1);
        EXPECT_EQ(s.keyEnabledByHole[h], s.flagOn);
    }
    EXPECT_GE(rig.refreshes, 1);
}

TEST(StartUp, ignoresLetterKeysUntilARoundStarts)
{
    GameRig rig;
    Form1& game = loadedWithSounds(rig);
    rig.sound.calls.clear();
    const QImage before = probe::image(rig.surface);
    for (const char c : {'a', 's', 'd', 'f', 'A'})
        game.Form_KeyPress(c);
    EXPECT_TRUE(rig.sound.calls.empty());
    EXPECT_EQ(probe::image(rig.surface), before);
    for (int h = 1; h <= 4; ++h) {
        EXPECT_EQ(game.state.moleStageByHole[h], 1);
        EXPECT_EQ(game.state.moleDirByHole[h], game.state.dirDown);
    }
}

TEST(StartUp, withoutASoundDeviceStillReachesAPlayableGame)
{
    GameRig rig;
    rig.sound.device = 0;
    Form1& game = loadedWithSounds(rig);
    EXPECT_EQ(rig.sound.argumentsOf("dsCreateDSB").size(), 0u);
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_EQ(rig.dialogs.shown[0].icon, MessageIcon::warning);
    EXPECT_TRUE(rig.window.bgmChecked);
    game.処理_開始();
    game.Form_KeyPress('a');
    EXPECT_EQ(game.state.moleStageByHole[1], 2);
    EXPECT_EQ(rig.sound.argumentsOf("dsPlay"), std::vector<std::int32_t>({0}));
}
