// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a round ("START", the pause, the reset) and quitting (the sounds freed in order, the end).
#include "drawing/palette.h"
#include "play_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Where "START" may show: from its place at (2000, 1050) to the right and about 60 pixels down.
const QRect startArea(Surface::toPixel(2000), Surface::toPixel(1050), 578 - Surface::toPixel(2000), 60);

// Whether an image is the given opening screen with "START" in white and black over it, and nothing else changed.
bool showsStartOver(const QImage& image, const QImage& opening)
{
    const auto changed = play::differences(image, opening, image.rect());
    if (changed.size() < 40)
        return false;
    for (const QPoint p : changed) {
        const QRgb c = image.pixel(p) | 0xff000000u;
        if (!startArea.contains(p) || (c != palette[0] && c != palette[15]))
            return false;
    }
    return true;
}

struct Refresh {
    double time;
    bool start;
    int score;
    int timeLeft;
};

// Starts a round and notes, at every refresh, the clock, whether "START" shows and the numbers standing.
std::vector<Refresh> startWatchingRefreshes(GameRig& rig, const QImage& opening)
{
    std::vector<Refresh> seen;
    Form1& game = rig.game;
    rig.surface.setRefreshListener([&] {
        seen.push_back({rig.clock.elapsed, showsStartOver(probe::image(rig.surface), opening), game.state.score,
                        game.state.timeLeft});
    });
    game.処理_開始();
    rig.surface.setRefreshListener({});
    return seen;
}

} // namespace

TEST(RoundStart, showsStartOnTheScreenBeforeTheOneSecondPauseThenResets)
{
    GameRig rig;
    Form1& game = rig.loaded();
    const QImage opening = probe::image(rig.surface);
    const double before = rig.clock.elapsed;

    const auto seen = startWatchingRefreshes(rig, opening);

    const auto shown = std::find_if(seen.begin(), seen.end(), [](const Refresh& r) { return r.start; });
    ASSERT_NE(shown, seen.end()) << "\"START\" was never refreshed onto the screen";
    EXPECT_LT(shown->time - before, 0.01) << "\"START\" reached the screen only after the pause";
    EXPECT_FALSE(seen.back().start);
    EXPECT_GE(seen.back().time - shown->time, 1.0) << "the pause after \"START\" was shorter than a second";
    EXPECT_GE(rig.clock.elapsed - before, 1.0);
    EXPECT_EQ(probe::image(rig.surface), opening) << "\"START\" is still on the screen after the reset";
    EXPECT_EQ(game.state.gameStopped, game.state.flagOff);
}

TEST(RoundStart, afterTimeUpShowsStartOverTheOldNumbersThenBeginsAfreshKeepingTheBest)
{
    GameRig rig;
    Form1& game = rig.loaded();
    const QImage opening = probe::image(rig.surface);
    game.処理_開始();
    for (const char c : {'a', 's', 'd', 'f'})
        game.Form_KeyPress(c);
    play::playOut(game);
    const int oldScore = game.state.score;
    const int best = game.state.bestScore;
    ASSERT_GT(oldScore, 0);
    ASSERT_EQ(game.state.timeLeft, 0);

    const auto seen = startWatchingRefreshes(rig, opening);

    // While "START" shows, the screen holds the old round's numbers.
    const auto shown = std::find_if(seen.begin(), seen.end(), [](const Refresh& r) { return r.timeLeft == 0; });
    ASSERT_NE(shown, seen.end());
    EXPECT_EQ(shown->score, oldScore);
    const GameState& s = game.state;
    EXPECT_EQ(s.score, 0);
    EXPECT_EQ(s.timeLeft, 30);
    EXPECT_EQ(s.bestScore, best);
    EXPECT_EQ(s.gameStopped, s.flagOff);
    for (int h = 1; h <= 4; ++h) {
        EXPECT_EQ(s.moleStageByHole[h], 1);
        EXPECT_EQ(s.moleDirByHole[h], s.dirDown);
        EXPECT_EQ(s.keyEnabledByHole[h], s.flagOn);
    }
}

TEST(RoundStart, anAbandonedRoundDoesNotCountForTheBest)
{
    GameRig rig;
    Form1& game = rig.loaded();
    game.処理_開始();
    for (const char c : {'a', 's', 'd', 'f'})
        game.Form_KeyPress(c);
    for (int tick = 0; tick < 20; ++tick)
        game.Timer1_Timer();
    ASSERT_GT(game.state.score, 0);

    game.Form_KeyDown(32, 0); // Space in the middle of the round
    EXPECT_EQ(game.state.score, 0);
    EXPECT_EQ(game.state.bestScore, 0);
    EXPECT_EQ(game.state.gameStopped, game.state.flagOff);

    play::playOut(game); // the new round scores nothing
    EXPECT_EQ(game.state.bestScore, 0);
}

TEST(RoundStart, theMenuItemSpaceAndF2AllStartARound)
{
    const std::vector<std::pair<const char*, std::function<void(Form1&)>>> ways{
        {"KAISI", [](Form1& g) { g.KAISI_Click(); }},
        {"Space", [](Form1& g) { g.Form_KeyDown(32, 0); }},
        {"F2", [](Form1& g) { g.Form_KeyDown(113, 0); }},
    };
    for (const auto& [name, start] : ways) {
        SCOPED_TRACE(name);
        GameRig rig;
        Form1& game = rig.loaded();
        const double before = rig.clock.elapsed;
        start(game);
        EXPECT_EQ(game.state.gameStopped, game.state.flagOff);
        EXPECT_GE(rig.clock.elapsed - before, 1.0);
        game.Form_KeyPress('a');
        EXPECT_EQ(game.state.moleStageByHole[1], 2);
    }
}

namespace {

enum class Phase { waiting, inRound, afterTimeUp };

void bringTo(Phase phase, Form1& game)
{
    if (phase == Phase::waiting)
        return;
    game.処理_開始();
    game.Form_KeyPress('a');
    for (int tick = 0; tick < 10; ++tick)
        game.Timer1_Timer();
    if (phase == Phase::afterTimeUp)
        play::playOut(game);
}

} // namespace

// The sounds go in the order other, forbidden, hit, tune, time-up, mole, miss; then the device; then the end.
TEST(Quitting, freesTheSoundsInOrderReleasesTheDeviceAndEndsFromEveryWayAndPhase)
{
    const std::vector<std::pair<const char*, std::function<void(Form1&)>>> ways{
        {"OWARI", [](Form1& g) { g.OWARI_Click(); }},
        {"Esc", [](Form1& g) { g.Form_KeyDown(27, 0); }},
        {"closing the window", [](Form1& g) { g.Form_Unload(); }},
    };
    const std::vector<SoundCall> expected{
        {"dsFree", 1}, {"dsFree", 2}, {"dsFree", 3}, {"dsFree", 4}, {"dsFree", 6},
        {"dsFree", 7}, {"dsFree", 5}, {"dsTerminate", 7}, {"endProgram", 0},
    };
    for (const auto& [name, quit] : ways)
        for (const Phase phase : {Phase::waiting, Phase::inRound, Phase::afterTimeUp}) {
            SCOPED_TRACE(std::string(name) + " in phase " + std::to_string(int(phase)));
            play::OrderRig rig;
            Form1& game = rig.loadedWithSounds();
            bringTo(phase, game);
            rig.log.calls.clear();
            quit(game);
            EXPECT_EQ(rig.log.calls, expected);
        }
}

TEST(Quitting, passesSoundsThatFailedToLoadOnAndStillEnds)
{
    GameRig rig;
    Form1& game = rig.loaded(); // no sound files: every handle is 0
    rig.sound.calls.clear();
    game.Form_KeyDown(27, 0);
    EXPECT_EQ(rig.sound.argumentsOf("dsFree"), std::vector<std::int32_t>(7, 0));
    EXPECT_EQ(rig.sound.argumentsOf("dsTerminate"), std::vector<std::int32_t>({7}));
    EXPECT_TRUE(rig.window.ended);
}
