// SPDX-License-Identifier: GPL-3.0-or-later
// The opening screen: everything in its place, the holes put back to their start,
// the numbers shown as they stand, the letters A S D F after any number of rounds, and the status
// texts each in its own place.
#include "fakes.h"
#include "golden/screens.h"
#include "surface_probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using probe::showsPicture;

namespace {

// How a number is shown: a blank where a minus sign would stand, the digits, a blank.
std::string shown(int number)
{
    return " " + std::to_string(number) + " ";
}

// The opening screen composed straight on a surface from the places of the screen map.
QImage expectedScreen(const SpriteCatalogue& sprites, int score, int best, int seconds, Store swing, int frame,
                      double swingX)
{
    Surface s(578, 437);
    s.clear(2);
    s.fillRectangle(0, 3130, 6000, 7130, 6);
    const char* letters[] = {"", "A", "S", "D", "F"};
    for (int h = 1; h <= 4; ++h) {
        s.copyPicture(*sprites.picture(Store::BOTAN_HUDAN), 970 * (h + 0.2), 4108);
        s.drawText(200 + 960 * (h + 0.2), 4450, letters[h], 0, 18);
        s.copyPicture(*sprites.picture(Store::MOGURA1), 970 * h, 2370);
    }
    s.copyPicture(*sprites.picture(swing, frame), swingX, 47.4);
    s.fillRectangle(4800, 500, 5300, 1000, 2);
    s.drawText(4860, 530, shown(seconds), 0, 15);
    s.drawText(4800, 500, shown(seconds), 15, 15);
    s.drawText(5360, 530, "秒", 0, 15);
    s.drawText(5300, 500, "秒", 15, 15);
    s.drawText(4460, 60, "持ち時間", 0, 15);
    s.drawText(4400, 0, "持ち時間", 15, 15);
    s.drawText(160, 120, "得点：", 0, 12);
    s.drawText(100, 90, "得点：", 15, 12);
    s.drawText(760, 110, shown(score), 0, 15);
    s.drawText(700, 80, shown(score), 15, 15);
    s.drawText(160, 420, "最高：", 0, 12);
    s.drawText(100, 390, "最高：", 15, 12);
    s.drawText(760, 410, shown(best), 0, 15);
    s.drawText(700, 380, shown(best), 15, 15);
    return probe::image(s);
}

void expectHolesAtTheirStart(const GameState& s)
{
    constexpr char letters[] = {0, 'A', 'S', 'D', 'F'};
    for (int h = 1; h <= 4; ++h) {
        EXPECT_EQ(s.moleStageByHole[h], 1) << h;
        EXPECT_EQ(s.moleDirByHole[h], s.dirDown) << h;
        EXPECT_EQ(s.keyEnabledByHole[h], s.flagOn) << h;
        EXPECT_EQ(s.escapingByHole[h], s.flagOff) << h;
        EXPECT_EQ(s.letterByHole[h], Letter(letters[h])) << h;
    }
}

} // namespace

// The opening screen, the prompt, START, a round under way and TIME UP, every device pixel as the game drew
// them with Qt before it drew its own (tests/golden/README tells how the images were made).
TEST(GoldenScreens, eachScreenShowsItsImagePixelForPixel)
{
    for (const golden::Screen& screen : golden::screens)
        for (const int scale : screen.scales) {
            const std::string file = golden::fileName(screen.name, scale);
            QImage expected(QString::fromStdString(ZUBOTTA_SOURCE_DIR "/tests/golden/" + file));
            ASSERT_FALSE(expected.isNull()) << file;
            expected = expected.convertToFormat(QImage::Format_RGB32);
            QImage shown = golden::play(screen.name, scale, [](const Surface& s) { return probe::image(s); });
            shown.setDevicePixelRatio(1);
            ASSERT_EQ(shown.size(), expected.size()) << file;
            const QRect differing = probe::changedBox(expected, shown);
            EXPECT_TRUE(differing.isEmpty())
                << file << " differs in the device pixels " << differing.x() << "," << differing.y() << " "
                << differing.width() << "x" << differing.height();
        }
}

TEST(OpeningScreen, showsScoreBestSecondsAndTheManAsTheyStandWithoutResettingThem)
{
    GameRig rig;
    Form1& game = rig.loaded();
    auto& s = game.state;
    s.score = 42;
    s.bestScore = 57;
    s.timeLeft = 13;
    s.hammerAim = 13;
    s.hammerFrame = 4;
    game.初期_画面描画();
    EXPECT_TRUE(probe::image(rig.surface) == expectedScreen(rig.sprites, 42, 57, 13, Store::HITO_C, 4, 1940))
        << "the opening screen differs";
    EXPECT_EQ(s.score, 42);
    EXPECT_EQ(s.bestScore, 57);
    EXPECT_EQ(s.timeLeft, 13);
    EXPECT_EQ(s.hammerFrame, 4);
}

TEST(OpeningScreen, putsEveryHoleBackToItsStartButKeepsTheButtonLabels)
{
    GameRig rig;
    Form1& game = rig.loaded();
    auto& s = game.state;
    for (int h = 1; h <= 4; ++h) {
        s.moleStageByHole[h] = 1 + h;
        s.moleDirByHole[h] = s.dirUp;
        s.keyEnabledByHole[h] = s.flagOff;
        s.escapingByHole[h] = s.flagOn;
        s.letterByHole[h].reset();
    }
    s.buttonLabelByHole[2] = 'S';
    game.初期_画面描画();
    expectHolesAtTheirStart(s);
    EXPECT_EQ(s.buttonLabelByHole[1], Letter());
    EXPECT_EQ(s.buttonLabelByHole[2], Letter('S'));
}

TEST(OpeningScreen, drawnAfterTimeUpRemovesTheTextAndShowsTheLastRound)
{
    GameRig rig;
    Form1& game = rig.loaded();
    game.処理_開始();
    const auto& s = game.state;
    while (s.gameStopped == s.flagOff) {
        // Hole 3 goes up whenever it is down and is pulled back just before each blow.
        if (s.moleStageByHole[3] == 1 || (s.moleStageByHole[3] == 5 && s.hammerFrame == 4))
            game.Form_KeyPress('d');
        game.Timer1_Timer();
    }
    ASSERT_GT(s.score, 0);
    ASSERT_EQ(s.hammerAim, 13); // hole 3 was the only one ever up
    game.初期_画面描画();
    EXPECT_TRUE(probe::image(rig.surface) ==
                expectedScreen(rig.sprites, s.score, s.bestScore, 0, Store::HITO_C, s.hammerFrame, 1940))
        << "the opening screen differs";
}

TEST(KeyLetters, holesStillCarryASDFAfterManyRoundsStrikesAndResets)
{
    GameRig rig;
    Form1& game = rig.loaded();
    const char keys[] = {'a', 's', 'd', 'f', 'A', 'g'};
    for (int round = 0; round < 6; ++round) {
        game.処理_開始();
        for (int tick = 0; game.state.gameStopped == game.state.flagOff; ++tick) {
            game.Form_KeyPress(keys[(tick * 7 + round) % 6]);
            game.Timer1_Timer();
        }
    }
    const auto& s = game.state;
    constexpr char letters[] = {0, 'A', 'S', 'D', 'F'};
    for (int h = 1; h <= 4; ++h) {
        EXPECT_EQ(s.letterByHole[h], Letter(letters[h])) << h;
        EXPECT_EQ(s.buttonLabelByHole[h], Letter(letters[h])) << h;
    }
    game.初期_画面描画();
    GameRig fresh;
    fresh.loaded();
    const QRect buttons(70, 270, 280, 60);
    EXPECT_TRUE(probe::region(rig.surface, buttons) == probe::region(fresh.surface, buttons))
        << "the buttons differ from those at start-up";
}

namespace {

// The client is about 5900 twips wide once the load step has placed the window.
constexpr int clientWidth = 393;

// The box of the pixels that are not green after a text and its shadow are drawn alone.
QRect shadowedTextInk(double x, double y, const std::string& text, double points, double dx, double dy)
{
    Surface alone(578, 437);
    alone.drawText(x + dx, y + dy, text, 0, points);
    alone.drawText(x, y, text, 15, points);
    return probe::changedBox(probe::image(Surface(578, 437)), probe::image(alone));
}

struct StatusText {
    const char* what;
    QRect ink;
    QRect place; // in pixels, from the screen map: where the text and its shadow must stay
};

// Every status text, with each number at every width up to four digits.
std::vector<StatusText> statusTexts()
{
    std::vector<StatusText> texts;
    const auto add = [&](const char* what, double x, double y, const std::string& text, double points,
                         double shadowDy, QPoint placeFrom, QPoint placeTo) {
        texts.push_back({what, shadowedTextInk(x, y, text, points, 60, shadowDy), QRect(placeFrom, placeTo)});
    };
    add("持ち時間", 4400, 0, "持ち時間", 15, 60, {293, 0}, {clientWidth - 1, 32});
    add("秒", 5300, 500, "秒", 15, 30, {353, 33}, {clientWidth - 1, 65});
    add("得点：", 100, 90, "得点：", 12, 30, {7, 6}, {56, 26});
    add("最高：", 100, 390, "最高：", 12, 30, {7, 26}, {56, 46});
    // The seconds stay inside their erase square, short of its far column and row.
    for (int seconds = 0; seconds <= 30; ++seconds)
        add("seconds", 4800, 500, shown(seconds), 15, 30, {320, 33}, {352, 65});
    for (int digits = 1, repeat = 1; digits <= 4; ++digits, repeat = repeat * 10 + 1)
        for (int digit = 0; digit <= 9; ++digit) {
            add("score", 700, 80, shown(digit * repeat), 15, 30, {47, 5}, {120, 26});
            add("best", 700, 380, shown(digit * repeat), 15, 30, {47, 25}, {120, 46});
        }
    return texts;
}

} // namespace

TEST(ScreenLayout, everyStatusTextAndNumberUpTo9999StaysInItsPlaceApartFromTheOthers)
{
    const std::vector<StatusText> texts = statusTexts();
    for (const StatusText& t : texts) {
        EXPECT_FALSE(t.ink.isEmpty()) << t.what;
        EXPECT_TRUE(t.place.contains(t.ink)) << t.what << " ink " << t.ink.x() << "," << t.ink.y() << " "
                                             << t.ink.width() << "x" << t.ink.height();
        for (const StatusText& other : texts) {
            if (std::string_view(other.what) == t.what)
                continue;
            EXPECT_FALSE(t.ink.intersects(other.ink)) << t.what << " touches " << other.what;
        }
    }
}

// The seconds' erase square ends just left of "秒": a whole round of renewals leaves every pixel of it.
TEST(ScreenLayout, renewingTheSecondsLeavesTheSecondsMarkWhole)
{
    GameRig rig;
    Form1& game = rig.loaded();
    for (int t = 30; t >= 0; --t)
        game.描画_持ち時間(t);
    GameRig fresh;
    fresh.loaded().初期_画面描画();
    const QRect mark = shadowedTextInk(5300, 500, "秒", 15, 60, 30);
    EXPECT_TRUE(probe::region(rig.surface, mark) == probe::region(fresh.surface, mark));
}
