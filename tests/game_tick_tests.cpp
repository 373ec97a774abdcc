// SPDX-License-Identifier: GPL-3.0-or-later
// The game tick: scoring, moving and escaping moles, the hammer man's swing and blow,
// the seconds and the end of a round, and the wait that paces it all.
#include "fakes.h"
#include "surface_probe.h"
#include "desktop/system_seams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using probe::showsPicture;

namespace {

constexpr SoundHandle hitSound = 3;
constexpr SoundHandle missSound = 5;
constexpr SoundHandle timeUpSound = 6;
constexpr SoundHandle moleSound = 7;

constexpr int keyOf[] = {0, 'a', 's', 'd', 'f'};

// The score, left of the hammer man's widest frames; the best score below it.
const QRect scoreArea(30, 0, 56, 24);
const QRect bestArea(30, 24, 56, 24);

// A round under way on the real surface, with the sounds told apart by distinct handles.
struct Round {
    Round()
    {
        game.処理_開始();
        s.sndHit = hitSound;
        s.sndMiss = missSound;
        s.sndTimeUp = timeUpSound;
        s.sndMole = moleSound;
        rig.sound.calls.clear();
    }

    void tick(int times = 1)
    {
        for (int n = 0; n < times; ++n)
            game.Timer1_Timer();
    }
    void press(int hole) { game.Form_KeyPress(keyOf[hole]); }

    // A mole standing fully out of its hole, as its key and three ticks leave it.
    void raise(int hole)
    {
        s.moleStageByHole[hole] = 5;
        s.moleDirByHole[hole] = s.dirUp;
    }
    // The hammer man on his way back up at frame 3: no new target for three ticks, no blow for seven.
    void holdHammerBack()
    {
        s.hammerFrame = 3;
        s.hammerDir = s.dirUp;
    }
    // The hammer man about to land on a hole in this tick.
    void blowAbout(int hole)
    {
        s.hammerAim = s.hammerAimByHole[hole];
        s.hammerFrame = 4;
        s.hammerDir = s.dirDown;
    }

    bool moleShows(int hole, Store store, int index = 0) const
    {
        return showsPicture(rig.surface, rig.sprites, store, index, 970.0 * hole, 2370, 1);
    }
    // The lamps of a key button; the letter lies lower, over the label.
    bool buttonLampsShow(int hole, Store store) const
    {
        const QImage lamps = probe::image(*rig.sprites.picture(store)).copy(0, 0, 40, 22);
        const QPoint corner(Surface::toPixel(970.0 * (hole + 0.2)), Surface::toPixel(4108));
        return probe::region(rig.surface, QRect(corner, lamps.size())) == lamps;
    }
    bool hammerShows(Store store, int frame) const
    {
        static constexpr double leftSwingX[] = {1950, 2000, 1850, 1300, 1300};
        const double x = store == Store::HITO_A ? leftSwingX[frame] : 1940;
        return showsPicture(rig.surface, rig.sprites, store, frame, x, 47.4);
    }
    std::vector<std::int32_t> played() const { return rig.sound.argumentsOf("dsPlay"); }

    GameRig rig;
    Form1& game = rig.loaded();
    GameState& s = game.state;
};

// A fresh opening screen showing a score and best score, to compare renewed displays with.
QImage freshDisplay(int score, int best, const QRect& area)
{
    GameRig rig;
    Form1& game = rig.loaded();
    game.state.score = score;
    game.state.bestScore = best;
    game.初期_画面描画();
    return probe::region(rig.surface, area);
}

} // namespace

TEST(Scoring, aMoleFullyUpEarnsOnePointAtEveryTick)
{
    Round r;
    r.holdHammerBack();
    r.raise(2);
    for (int n = 1; n <= 7; ++n) {
        r.tick();
        EXPECT_EQ(r.s.score, n);
        EXPECT_EQ(r.s.moleStageByHole[2], 5);
    }
    EXPECT_TRUE(r.played().empty());
}

TEST(Scoring, twoMolesFullyUpEarnTwoPointsATick)
{
    Round r;
    r.holdHammerBack();
    r.raise(1);
    r.raise(4);
    for (int n = 1; n <= 7; ++n) {
        r.tick();
        EXPECT_EQ(r.s.score, 2 * n);
    }
}

TEST(Scoring, movingMolesEarnNothing)
{
    Round r;
    r.press(1);
    r.tick(); // hole 1 at stage 3
    r.press(1);
    EXPECT_EQ(r.s.moleStageByHole[1], 3);
    r.tick(2); // back down at stage 1
    EXPECT_EQ(r.s.moleStageByHole[1], 1);
    EXPECT_EQ(r.s.score, 0);
}

TEST(Scoring, scoreDisplayIsRenewedInPlaceAcrossAChangeOfDigits)
{
    Round r;
    r.s.score = 7;
    r.game.初期_画面描画();
    r.holdHammerBack();
    r.raise(1);
    r.raise(3);
    r.tick(2); // 9, then 11
    ASSERT_EQ(r.s.score, 11);
    EXPECT_TRUE(probe::region(r.rig.surface, scoreArea) == freshDisplay(11, 0, scoreArea));
}

TEST(MoleMoves, sentUpItShowsStagesThreeFourFiveAndItsButtonRestsAtTheTop)
{
    Round r;
    r.press(3);
    EXPECT_EQ(r.s.moleStageByHole[3], 2);
    EXPECT_TRUE(r.buttonLampsShow(3, Store::BOTAN_UE));
    r.tick();
    EXPECT_TRUE(r.moleShows(3, Store::MOGURA3));
    EXPECT_TRUE(r.buttonLampsShow(3, Store::BOTAN_UE));
    r.tick();
    EXPECT_TRUE(r.moleShows(3, Store::MOGURA4));
    r.tick();
    EXPECT_TRUE(r.moleShows(3, Store::MOGURA5));
    EXPECT_TRUE(r.buttonLampsShow(3, Store::BOTAN_HUDAN));
    EXPECT_EQ(r.s.moleStageByHole[3], 5);
    EXPECT_EQ(r.s.escapingByHole[3], r.s.flagOff);
}

TEST(MoleMoves, turnedBackWhileRisingItSinksToTheBottomAndItsButtonRests)
{
    Round r;
    r.press(2);
    r.tick(); // stage 3, rising
    r.press(2);
    EXPECT_TRUE(r.buttonLampsShow(2, Store::BOTAN_SITA));
    r.tick();
    EXPECT_EQ(r.s.moleStageByHole[2], 2);
    EXPECT_TRUE(r.moleShows(2, Store::MOGURA2));
    EXPECT_TRUE(r.buttonLampsShow(2, Store::BOTAN_SITA));
    r.tick();
    EXPECT_EQ(r.s.moleStageByHole[2], 1);
    EXPECT_TRUE(r.moleShows(2, Store::MOGURA1));
    EXPECT_TRUE(r.buttonLampsShow(2, Store::BOTAN_HUDAN));
    EXPECT_EQ(r.s.buttonLabelByHole[2], Letter('S'));
    EXPECT_EQ(r.s.letterByHole[2], Letter('S'));
    EXPECT_EQ(r.s.moleDirByHole[2], r.s.dirDown);
}

TEST(Escaping, molePulledBackFromTheTopGrinsOnTheWayDownAndIsNormalAtTheBottom)
{
    Round r;
    r.raise(4);
    r.press(4); // stage 4, sinking
    r.tick();
    EXPECT_EQ(r.s.escapingByHole[4], r.s.flagOn);
    EXPECT_TRUE(r.moleShows(4, Store::NIGE, 1)); // stage 3
    r.tick();
    EXPECT_TRUE(r.moleShows(4, Store::NIGE, 2)); // stage 2
    r.tick();
    EXPECT_TRUE(r.moleShows(4, Store::MOGURA1));
    EXPECT_EQ(r.s.escapingByHole[4], r.s.flagOff);
    r.press(4);
    r.tick();
    EXPECT_TRUE(r.moleShows(4, Store::MOGURA3)); // no longer escaping on the way up
}

TEST(Escaping, turnedUpAgainItGrinsAtStageFourAndStandsNormalAtTheTop)
{
    Round r;
    r.raise(1);
    r.press(1);
    r.tick(2); // stage 2, grinning
    r.press(1);
    r.tick();
    EXPECT_TRUE(r.moleShows(1, Store::NIGE, 1)); // stage 3
    r.tick();
    EXPECT_TRUE(r.moleShows(1, Store::NIGE, 0)); // stage 4
    r.tick();
    EXPECT_TRUE(r.moleShows(1, Store::MOGURA5));
    EXPECT_EQ(r.s.escapingByHole[1], r.s.flagOn);
    r.press(1);
    r.tick();
    EXPECT_TRUE(r.moleShows(1, Store::NIGE, 1));
}

TEST(Escaping, moleTurnedDownAtStageFourOnItsWayUpEscapes)
{
    Round r;
    r.press(3);
    r.tick(2); // stage 4, rising
    r.press(3);
    r.tick();
    EXPECT_EQ(r.s.escapingByHole[3], r.s.flagOn);
    EXPECT_TRUE(r.moleShows(3, Store::NIGE, 1));
}

TEST(HammerHit, struckMoleShowsTheDazedPictureCostsFivePointsAndPlaysTheHitSound)
{
    Round r;
    r.s.score = 20;
    r.game.初期_画面描画();
    r.raise(2);
    r.tick(4); // target chosen in the first tick, the blow lands in the fifth
    EXPECT_EQ(r.s.hammerFrame, 4);
    EXPECT_EQ(r.s.score, 24);
    r.tick();
    EXPECT_EQ(r.s.score, 20); // one more point, then five off
    EXPECT_TRUE(r.moleShows(2, Store::MOGURA6));
    EXPECT_EQ(r.played(), std::vector<std::int32_t>{hitSound});
    EXPECT_EQ(r.s.moleStageByHole[2], 4);
    EXPECT_EQ(r.s.moleDirByHole[2], r.s.dirDown);
    EXPECT_EQ(r.s.keyEnabledByHole[2], r.s.flagOff);
    EXPECT_TRUE(probe::region(r.rig.surface, scoreArea) == freshDisplay(20, 0, scoreArea));
}

TEST(HammerHit, hitAtScoreThreeLeavesZero)
{
    Round r;
    r.s.score = 2;
    r.game.初期_画面描画();
    r.raise(3);
    r.blowAbout(3);
    r.tick(); // 3 with this tick's point, then the blow
    EXPECT_EQ(r.s.score, 0);
    EXPECT_TRUE(probe::region(r.rig.surface, scoreArea) == freshDisplay(0, 0, scoreArea));
}

TEST(HammerHit, struckMoleIgnoresItsKeyAllTheWayDownInNormalPicturesThenObeysAgain)
{
    Round r;
    r.raise(2);
    r.tick(5);
    ASSERT_EQ(r.s.keyEnabledByHole[2], r.s.flagOff);
    const std::vector<std::int32_t> playedAtHit = r.played();
    for (const Store sinking : {Store::MOGURA3, Store::MOGURA2, Store::MOGURA1}) {
        const QImage before = probe::image(r.rig.surface);
        const int stage = r.s.moleStageByHole[2];
        r.press(2);
        EXPECT_TRUE(probe::image(r.rig.surface) == before);
        EXPECT_EQ(r.s.moleStageByHole[2], stage);
        EXPECT_EQ(r.s.moleDirByHole[2], r.s.dirDown);
        r.tick();
        EXPECT_TRUE(r.moleShows(2, sinking));
        EXPECT_EQ(r.s.escapingByHole[2], r.s.flagOff);
    }
    EXPECT_EQ(r.played(), playedAtHit); // no mole sound, and the empty swing back made none either
    EXPECT_EQ(r.s.keyEnabledByHole[2], r.s.flagOn);
    r.press(2);
    EXPECT_EQ(r.s.moleStageByHole[2], 2);
    EXPECT_EQ(r.s.moleDirByHole[2], r.s.dirUp);
    EXPECT_EQ(r.played().back(), moleSound);
}

TEST(HammerHit, escapingMoleTurnedUpAndStruckSinksGrinning)
{
    Round r;
    r.raise(1);
    r.press(1);
    r.tick(); // stage 3, escaping
    r.press(1);
    r.tick(2); // stage 5 again, still marked escaping
    r.blowAbout(1);
    r.tick();
    ASSERT_EQ(r.played(), (std::vector<std::int32_t>{moleSound, moleSound, hitSound}));
    r.tick();
    EXPECT_TRUE(r.moleShows(1, Store::NIGE, 1));
}

TEST(HammerMiss, moleSavedByItsKeyBeforeTheBlowCostsNothingAndTheSwingLandsAnyway)
{
    for (int pressedAfter = 1; pressedAfter <= 4; ++pressedAfter) {
        SCOPED_TRACE(pressedAfter);
        Round r;
        r.raise(2);
        r.tick(pressedAfter);
        r.press(2);
        r.tick(5 - pressedAfter);
        EXPECT_EQ(r.played(), (std::vector<std::int32_t>{moleSound, missSound}));
        EXPECT_EQ(r.s.score, pressedAfter);
        EXPECT_EQ(r.s.keyEnabledByHole[2], r.s.flagOn);
        EXPECT_TRUE(r.hammerShows(Store::HITO_B, 4));
        EXPECT_EQ(r.s.hammerFrame, 3);
    }
}

TEST(HammerMiss, moleBackAtTheTopWhenTheBlowLandsIsHit)
{
    Round r;
    r.raise(2);
    r.tick();
    r.press(2); // down to 4
    r.press(2); // and straight back up
    r.tick(4);
    EXPECT_EQ(r.played(), (std::vector<std::int32_t>{moleSound, moleSound, hitSound}));
    EXPECT_EQ(r.s.keyEnabledByHole[2], r.s.flagOff);
}

TEST(HammerBlow, landsAsAHitOnlyOnAMoleFullyUpAtThatMomentWhateverStageItPassedThrough)
{
    // The stage and direction before the landing tick, which first moves the mole to the stage it is struck at.
    struct Case {
        int stage;
        bool rising;
        int struckAt;
    };
    for (const Case c : {Case{5, true, 5}, Case{4, true, 5}, Case{3, true, 4}, Case{2, true, 3}, Case{4, false, 3},
                         Case{3, false, 2}, Case{2, false, 1}, Case{1, false, 1}}) {
        SCOPED_TRACE(testing::Message() << "struck at stage " << c.struckAt << " from " << c.stage);
        Round r;
        r.s.score = 10;
        r.s.moleStageByHole[4] = c.stage;
        r.s.moleDirByHole[4] = c.rising ? r.s.dirUp : r.s.dirDown;
        r.blowAbout(4);
        r.tick();
        const bool hit = c.struckAt == 5;
        EXPECT_EQ(r.played(), std::vector<std::int32_t>{hit ? hitSound : missSound});
        EXPECT_EQ(r.s.score, 10 + (c.stage == 5 ? 1 : 0) - (hit ? 5 : 0)); // a point only for standing fully up
        EXPECT_EQ(r.moleShows(4, Store::MOGURA6), hit);
        EXPECT_EQ(r.s.keyEnabledByHole[4], hit ? r.s.flagOff : r.s.flagOn);
        EXPECT_EQ(r.s.moleStageByHole[4], hit ? 4 : c.struckAt);
        EXPECT_TRUE(r.hammerShows(Store::HITO_D, 4));
    }
}

TEST(HammerIdle, withNoMoleFullyUpHeStaysInFrameZeroAndNoBlowFollows)
{
    Round r;
    for (int n = 0; n < 30; ++n) {
        // Hole 1 goes up and down but is turned back before it stands fully up.
        const int stage = r.s.moleStageByHole[1];
        if (stage == 1 || (stage == 4 && r.s.moleDirByHole[1] == r.s.dirUp))
            r.press(1);
        r.tick();
        EXPECT_EQ(r.s.hammerFrame, 0);
        EXPECT_TRUE(r.hammerShows(Store::HITO_A, 0));
    }
    for (const std::int32_t sound : r.played())
        EXPECT_EQ(sound, moleSound);
    EXPECT_GT(r.played().size(), 5u);
    EXPECT_EQ(r.s.hammerAim, 11);
}

TEST(HammerSwing, framesDrawnInSuccessiveTicksAreOneOneTwoThreeFourThreeTwoOneAtEverySwing)
{
    Round r;
    const int drawn[] = {1, 1, 2, 3, 4, 3, 2, 1};
    const int after[] = {1, 2, 3, 4, 3, 2, 1, 0};
    // A swing at hole 3, then one at hole 2: each lands in its fifth tick and strikes.
    for (const auto& [hole, swing] : {std::pair{3, Store::HITO_C}, std::pair{2, Store::HITO_B}}) {
        SCOPED_TRACE(hole);
        r.raise(hole);
        for (int t = 0; t < 8; ++t) {
            r.tick();
            EXPECT_TRUE(r.hammerShows(swing, drawn[t])) << "tick " << t + 1;
            EXPECT_EQ(r.s.hammerFrame, after[t]) << "tick " << t + 1;
            EXPECT_EQ(r.s.keyEnabledByHole[hole], t < 4 ? r.s.flagOn : t < 7 ? r.s.flagOff : r.s.flagOn) << t + 1;
        }
    }
    EXPECT_EQ(r.played(), (std::vector<std::int32_t>{hitSound, hitSound}));
    r.tick(); // the struck mole is sinking: nothing to aim at
    EXPECT_TRUE(r.hammerShows(Store::HITO_B, 0));
    EXPECT_EQ(r.s.hammerAim, 12);
}

TEST(HammerSwing, swingAtTheLeftHoleIsDrawnAtItsOwnPlaces)
{
    Round r;
    r.raise(1);
    const int drawn[] = {1, 1, 2, 3, 4, 3, 2, 1};
    for (int t = 0; t < 8; ++t) {
        r.tick();
        EXPECT_TRUE(r.hammerShows(Store::HITO_A, drawn[t])) << "tick " << t + 1;
    }
}

// The swing at hole 1 reaches over the right end of four-digit numbers; they are shown again on top.
TEST(HammerSwing, swingAtTheLeftHoleLeavesAFourDigitScoreAndBestScoreWhole)
{
    Round r;
    r.s.score = 9990;
    r.s.bestScore = 9999;
    r.game.初期_画面描画();
    r.raise(1);
    const QRect numbers(30, 0, 85, 48); // both numbers and their shadows, under frames 3 and 4
    const int drawn[] = {1, 1, 2, 3, 4, 3, 2, 1};
    for (int t = 0; t < 8; ++t) {
        r.tick();
        EXPECT_TRUE(probe::region(r.rig.surface, numbers) == freshDisplay(r.s.score, 9999, numbers))
            << "tick " << t + 1 << ", frame " << drawn[t];
    }
    EXPECT_EQ(r.s.hammerAim, 11);
    EXPECT_LT(r.s.score, 9999); // struck at frame 4
}

TEST(HammerTarget, drawAboveOneHalfTakesTheLeftmostFullyRaisedMole)
{
    for (const float draw : {0.51f, 0.6f, 0.99f}) {
        Round r;
        r.rig.random.script = {draw, draw};
        r.raise(2);
        r.raise(3);
        r.tick();
        EXPECT_EQ(r.s.hammerAim, 12) << draw;
        r.raise(1);
        r.raise(4);
        r.s.hammerFrame = 0;
        r.tick();
        EXPECT_EQ(r.s.hammerAim, 11) << draw;
    }
}

TEST(HammerTarget, drawOfOneHalfOrLessTakesTheRightmostFullyRaisedMole)
{
    for (const float draw : {0.0f, 0.3f, 0.5f}) {
        Round r;
        r.rig.random.script = {draw, draw};
        r.raise(2);
        r.raise(3);
        r.tick();
        EXPECT_EQ(r.s.hammerAim, 13) << draw;
        r.raise(1);
        r.raise(4);
        r.s.hammerFrame = 0;
        r.tick();
        EXPECT_EQ(r.s.hammerAim, 14) << draw;
    }
}

TEST(HammerTarget, aSingleRaisedMoleIsTakenWhateverTheDraw)
{
    for (const float draw : {0.1f, 0.9f}) {
        Round r;
        r.rig.random.script = {draw};
        r.raise(3);
        r.tick();
        EXPECT_EQ(r.s.hammerAim, 13);
        EXPECT_EQ(r.s.hammerFrame, 1);
    }
}

TEST(HammerTarget, theGamesOwnGeneratorPicksEitherEndAboutEquallyOftenAndTheSameEveryRun)
{
    UnseededRandom generator;
    UnseededRandom anotherRun;
    Round r;
    constexpr int choices = 2000;
    for (int n = 0; n < choices; ++n) {
        const float draw = generator.next();
        ASSERT_EQ(draw, anotherRun.next());
        r.rig.random.script.push_back(draw);
    }
    int leftmost = 0;
    r.raise(2);
    r.raise(3);
    for (int n = 0; n < choices; ++n) {
        r.s.hammerFrame = 0;
        r.s.timeLeft = 30;
        r.tick();
        leftmost += r.s.hammerAim == 12 ? 1 : 0;
    }
    EXPECT_GT(leftmost, choices * 45 / 100);
    EXPECT_LT(leftmost, choices * 55 / 100);
}

namespace {

// A round in its last second, with a score and best score on the screen; the next tick ends it.
void lastSecond(Round& r, int score, int best)
{
    r.s.timeLeft = 1;
    r.s.score = score;
    r.s.bestScore = best;
    r.game.初期_画面描画();
    r.rig.clock.advance(1.0);
}

} // namespace

TEST(TimeUp, equalScoreLeavesTheBestScoreDisplayUntouched)
{
    Round r;
    lastSecond(r, 17, 17);
    const QImage best = probe::region(r.rig.surface, bestArea);
    const int refreshes = r.rig.refreshes;
    r.tick();
    EXPECT_EQ(r.s.gameStopped, r.s.flagOn);
    EXPECT_EQ(r.s.timeLeft, 0);
    EXPECT_EQ(r.s.bestScore, 17);
    EXPECT_TRUE(probe::region(r.rig.surface, bestArea) == best);
    EXPECT_EQ(r.played(), std::vector<std::int32_t>{timeUpSound});
    EXPECT_GT(r.rig.refreshes, refreshes);
}

TEST(TimeUp, higherScoreReplacesTheBestScore)
{
    Round r;
    lastSecond(r, 125, 17);
    r.tick();
    EXPECT_EQ(r.s.bestScore, 125);
    EXPECT_TRUE(probe::region(r.rig.surface, bestArea) == freshDisplay(125, 125, bestArea));
}

TEST(TimeUp, lowerScoreKeepsTheBestScore)
{
    Round r;
    lastSecond(r, 9, 17);
    const QImage best = probe::region(r.rig.surface, bestArea);
    r.tick();
    EXPECT_EQ(r.s.bestScore, 17);
    EXPECT_TRUE(probe::region(r.rig.surface, bestArea) == best);
}

TEST(TimeUp, textAndZeroSecondsStandAtTheirPlaces)
{
    Round played;
    lastSecond(played, 4, 4);
    played.tick();

    // The same screen drawn by hand: no mole moved and the idle man was drawn over himself.
    Round drawn;
    lastSecond(drawn, 4, 4);
    drawn.game.描画_持ち時間(0);
    drawn.game.描画_文字(2050, 1050, "TIME UP", 0, 30);
    drawn.game.描画_文字(2000, 1000, "TIME UP", 15, 30);
    EXPECT_TRUE(probe::image(played.rig.surface) == probe::image(drawn.rig.surface));
}

TEST(TimeUp, afterwardsTicksAndLetterKeysChangeNothing)
{
    Round r;
    r.raise(2);
    r.press(1);
    r.tick(2); // the man mid-swing at hole 2, hole 1 rising
    lastSecond(r, 30, 0);
    r.raise(2);
    r.s.moleStageByHole[1] = 3;
    r.s.moleDirByHole[1] = r.s.dirUp;
    r.tick();
    ASSERT_EQ(r.s.gameStopped, r.s.flagOn);

    const GameState before = r.s;
    const QImage screen = probe::image(r.rig.surface);
    const auto calls = r.rig.sound.calls.size();
    const double clock = r.rig.clock.elapsed;
    for (int n = 0; n < 40; ++n) {
        r.tick();
        r.press(1 + n % 4);
    }
    EXPECT_TRUE(probe::image(r.rig.surface) == screen);
    EXPECT_EQ(r.rig.sound.calls.size(), calls);
    EXPECT_EQ(r.rig.clock.elapsed, clock); // no wait either
    EXPECT_EQ(r.s.moleStageByHole, before.moleStageByHole);
    EXPECT_EQ(r.s.moleDirByHole, before.moleDirByHole);
    EXPECT_EQ(r.s.hammerFrame, before.hammerFrame);
    EXPECT_EQ(r.s.hammerAim, before.hammerAim);
    EXPECT_EQ(r.s.score, before.score);
    EXPECT_EQ(r.s.bestScore, before.bestScore);
    EXPECT_EQ(r.s.timeLeft, 0);
}

TEST(RoundLength, lastsTwentyNineToThirtySecondsPlusOneTickWhereverInASecondItStarts)
{
    constexpr double tickLength = 0.0702;
    for (const double offset : {0.0, 0.2, 0.5, 0.8, 0.95}) {
        SCOPED_TRACE(offset);
        GameRig rig;
        rig.clock.startOfDay = 45295.0 + offset; // loading and the one-second START take about a second
        Form1& game = rig.loaded();
        game.処理_開始();
        const double start = rig.clock.elapsed;
        double lastDrop = start;
        int shown = game.state.timeLeft;
        int ticks = 0;
        while (game.state.gameStopped == game.state.flagOff && ticks < 1000) {
            game.Timer1_Timer();
            ++ticks;
            if (game.state.timeLeft != shown) {
                EXPECT_EQ(game.state.timeLeft, shown - 1);
                if (shown != 30) {
                    EXPECT_NEAR(rig.clock.elapsed - lastDrop, 1.0, tickLength);
                }
                shown = game.state.timeLeft;
                lastDrop = rig.clock.elapsed;
            }
        }
        const double length = rig.clock.elapsed - start;
        EXPECT_EQ(game.state.timeLeft, 0);
        EXPECT_GE(length, 29.0);
        EXPECT_LE(length, 30.0 + tickLength);
    }
}

TEST(Pace, everyTickOfARoundWaitsSevenHundredthsOfASecond)
{
    Round r;
    r.raise(2);
    r.press(3);
    for (int n = 0; n < 12; ++n) { // rising, scoring, a swing and its blow
        const double start = r.rig.clock.elapsed;
        r.tick();
        EXPECT_GE(r.rig.clock.elapsed - start, 0.07) << "tick " << n;
        EXPECT_LT(r.rig.clock.elapsed - start, 0.0705) << "tick " << n;
    }
}

namespace {

// Sleeps only a quarter of what it is asked, as a loaded machine's timer may wake early.
class EarlyWakingClock final : public Clock {
public:
    double secondsSinceMidnight() override { return 1000 + now; }
    double monotonicSeconds() override { return now += 0.000001; }
    void sleepFor(double seconds) override { now += seconds / 4; }
    double now = 0;
};

} // namespace

TEST(Wait, returnsAfterAtLeastTheGivenTimeHavingSleptMostOfIt)
{
    for (const double seconds : {0.07, 1.0}) {
        GameRig rig;
        Form1& game = rig.loaded();
        const double start = rig.clock.elapsed;
        const double sleptBefore = rig.clock.slept;
        game.待ち時間(seconds);
        const double waited = rig.clock.elapsed - start;
        EXPECT_GE(waited, seconds);
        EXPECT_LT(waited, seconds + 0.002);
        EXPECT_GT(rig.clock.slept - sleptBefore, seconds - 0.002);
    }
}

TEST(Wait, keepsWaitingWhenSleepEndsEarly)
{
    GameRig rig;
    EarlyWakingClock clock;
    Form1 game{Platform{rig.surface, rig.sprites, clock, rig.random, rig.dialogs, rig.window, rig.sound}};
    game.待ち時間(0.07);
    EXPECT_GE(clock.now, 0.07);
    EXPECT_LT(clock.now, 0.072);
}

TEST(Wait, spanningMidnightLastsItsTimeAndNoLonger)
{
    GameRig rig;
    rig.clock.startOfDay = 86399.99;
    Form1& game = rig.loaded();
    const double start = rig.clock.elapsed;
    game.待ち時間(0.07);
    EXPECT_GE(rig.clock.elapsed - start, 0.07);
    EXPECT_LT(rig.clock.elapsed - start, 0.072);
}

TEST(RandomPlay, stagesFramesAndScoresStayInTheirRangesUnderKeyStorms)
{
    std::mt19937 random(20240605u);
    const auto pick = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
    constexpr int otherCharacters[] = {'A', 'S', 'g', ' ', 'q', 0};
    constexpr char letters[] = {0, 'A', 'S', 'D', 'F'};

    Round r;
    const GameState& s = r.s;
    int best = s.bestScore;
    int timeUps = 0;
    for (int sequence = 0; sequence < 3000; ++sequence) {
        // A new round after time up or now and then in the middle of one, as Space would.
        if (s.gameStopped == s.flagOn || pick(8) == 0)
            r.game.処理_開始();
        r.rig.random.fallback = static_cast<float>(pick(1000)) / 1000;
        for (int step = 0; step < 40; ++step) {
            const int score = s.score;
            const bool wasRunning = s.gameStopped == s.flagOff;
            const int action = pick(20);
            if (action < 9) {
                r.game.Timer1_Timer();
                if (wasRunning) {
                    ASSERT_LE(s.score - score, 4);
                    ASSERT_GE(s.score - score, -5);
                } else {
                    ASSERT_EQ(s.score, score);
                }
            } else if (action < 17) {
                r.press(1 + pick(4));
            } else if (action < 19) {
                r.game.Form_KeyPress(otherCharacters[pick(6)]);
            } else {
                r.rig.clock.advance(1 + pick(3)); // hastens the end of the round
            }
            ASSERT_GE(s.score, 0);
            ASSERT_GE(s.bestScore, best);
            best = s.bestScore;
            ASSERT_GE(s.timeLeft, 0);
            ASSERT_LE(s.timeLeft, 30);
            ASSERT_EQ(s.gameStopped == s.flagOn, s.timeLeft == 0);
            ASSERT_GE(s.hammerFrame, 0);
            ASSERT_LE(s.hammerFrame, 4);
            ASSERT_TRUE(s.hammerDir == s.dirUp || s.hammerDir == s.dirDown);
            ASSERT_GE(s.hammerAim, 11);
            ASSERT_LE(s.hammerAim, 14);
            for (int h = 1; h <= 4; ++h) {
                ASSERT_GE(s.moleStageByHole[h], 1);
                ASSERT_LE(s.moleStageByHole[h], 5);
                ASSERT_TRUE(s.moleDirByHole[h] == s.dirUp || s.moleDirByHole[h] == s.dirDown);
                if (s.moleStageByHole[h] == 5) {
                    ASSERT_EQ(s.moleDirByHole[h], s.dirUp);
                }
                if (s.keyEnabledByHole[h] == s.flagOff) {
                    ASSERT_EQ(s.moleDirByHole[h], s.dirDown);
                    ASSERT_GT(s.moleStageByHole[h], 1);
                }
                ASSERT_EQ(s.letterByHole[h], Letter(letters[h]));
                if (s.buttonLabelByHole[h]) {
                    ASSERT_EQ(s.buttonLabelByHole[h], Letter(letters[h]));
                }
            }
        }
        timeUps += s.gameStopped == s.flagOn ? 1 : 0;
    }
    EXPECT_GT(timeUps, 0); // the storms reached the end of a round too
    EXPECT_GT(best, 0);
}
