// SPDX-License-Identifier: GPL-3.0-or-later
// The game tick (Timer1_Timer) and the wait (待ち時間) that paces it.
#include "game/clock_digits.h"
#include "game/form1.h"
#include "input/key_letters.h"
#include "window/surface.h"

namespace {
// The wait sleeps until this close to its end and then watches the clock, so the pace stays exact
// without holding a processor core for the whole wait.
constexpr double spinMargin = 0.001;
} // namespace

void Form1::Timer1_Timer()
{
    auto& s = state;
    if (s.gameStopped == s.flagOn)
        return;
    for (int i = 1; i <= 4; ++i)
        stepHole(i);
    stepHammerMan();
    待ち時間(0.07);
    countSeconds();
}

void Form1::stepHole(int i)
{
    auto& s = state;
    int stage = s.moleStageByHole[i];
    if (stage == 5) {
        renewNumber(s.scoreX, s.scoreY, s.score, s.score + 1);
        return;
    }
    if (stage <= 1)
        return;
    if (s.moleDirByHole[i] == s.dirUp) {
        s.moleStageByHole[i] = stage + 1;
    } else if (s.moleDirByHole[i] == s.dirDown) {
        if (stage == 4 && s.keyEnabledByHole[i] == s.flagOn)
            s.escapingByHole[i] = s.flagOn;
        s.moleStageByHole[i] = stage - 1;
        if (s.moleStageByHole[i] == 1) {
            s.keyEnabledByHole[i] = s.flagOn;
            s.moleDirByHole[i] = s.dirDown;
            s.letterByHole[i] = 文字_取得(i);
            s.buttonLabelByHole[i] = s.letterByHole[i];
        }
    }
    stage = s.moleStageByHole[i];
    if (stage == 1 || stage == 5)
        描画_ボタン(s.buttonPicRest, i + 0.2, s.buttonRow, s.buttonLabelByHole[i]);
    drawMovedMole(i);
}

void Form1::drawMovedMole(int i)
{
    auto& s = state;
    const int stage = s.moleStageByHole[i];
    if (s.escapingByHole[i] != s.flagOn) {
        描画_絵(stage, i, s.moleRow);
        return;
    }
    if (stage == 5) {
        描画_絵(5, i, s.moleRow);
    } else if (stage >= 2) {
        描画_逃モグラ(5 - stage, i, s.moleRow);
    } else {
        描画_絵(1, i, s.moleRow);
        s.escapingByHole[i] = s.flagOff;
    }
}

void Form1::stepHammerMan()
{
    auto& s = state;
    if (s.hammerFrame == 0) {
        chooseTarget();
        描画_人(s.hammerAim, s.hammerFrame, 2, s.hammerManRow);
        return;
    }
    if (s.hammerFrame == 4)
        landBlow();
    描画_人(s.hammerAim, s.hammerFrame, 2, s.hammerManRow);
    if (s.hammerFrame == 4) {
        s.hammerDir = s.dirUp;
        s.hammerFrame = 3;
    } else if (s.hammerDir == s.dirDown) {
        s.hammerFrame = s.hammerFrame + 1;
    } else if (s.hammerDir == s.dirUp) {
        s.hammerFrame = s.hammerFrame - 1;
    }
}

void Form1::chooseTarget()
{
    auto& s = state;
    s.hammerDir = s.dirDown;
    // Formed in single precision, as the design's random draw is.
    const float draw = random.next() * 10.0f;
    const bool leftFirst = draw > 5.0f;
    for (int n = 0; n < 4; ++n) {
        const int k = leftFirst ? 1 + n : 4 - n;
        if (s.moleStageByHole[k] > 4) {
            s.hammerAim = s.hammerAimByHole[k];
            s.hammerFrame = 1;
            return;
        }
    }
}

void Form1::landBlow()
{
    auto& s = state;
    int k = 1;
    while (k < 4 && s.hammerAimByHole[k] != s.hammerAim)
        ++k;
    if (s.hammerAimByHole[k] != s.hammerAim || s.moleStageByHole[k] != 5) {
        sound.dsPlay(s.sndMiss);
        return;
    }
    s.keyEnabledByHole[k] = s.flagOff;
    描画_絵(6, k, s.moleRow);
    sound.dsPlay(s.sndHit);
    描画_当たり時得点();
    s.moleDirByHole[k] = s.dirDown;
    s.moleStageByHole[k] = 4;
}

void Form1::countSeconds()
{
    auto& s = state;
    if (lastSecondDigit(clock.secondsSinceMidnight()) == s.lastSecondDigit)
        return;
    s.timeLeft = s.timeLeft - 1;
    描画_持ち時間(s.timeLeft);
    if (s.timeLeft == 0)
        endRound();
    s.lastSecondDigit = lastSecondDigit(clock.secondsSinceMidnight());
}

void Form1::endRound()
{
    auto& s = state;
    if (s.score > s.bestScore)
        renewNumber(s.scoreX, s.scoreY + 300, s.bestScore, s.score);
    drawShadowed(2000, 1000, "TIME UP", 30, 50, 50);
    sound.dsPlay(s.sndTimeUp);
    surface.refresh();
    s.gameStopped = s.flagOn;
}

void Form1::待ち時間(double seconds)
{
    const double deadline = clock.monotonicSeconds() + seconds;
    for (double now = clock.monotonicSeconds(); now < deadline; now = clock.monotonicSeconds())
        clock.sleepFor(deadline - now > spinMargin ? deadline - now - spinMargin : 0.0);
}
