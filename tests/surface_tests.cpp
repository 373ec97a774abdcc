// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing surface and primitives: palette, rectangles, texts, number erasing, device pixel ratio.
#include "drawing/palette.h"
#include "fakes.h"
#include "desktop/surface_view.h"
#include "surface_probe.h"
#include "tools/text_face/qt_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr QRgb green = qRgb(0, 128, 0);
constexpr QRgb white = qRgb(255, 255, 255);

// The bounding box, in logical pixels, of the pixels that differ from green inside an area.
QRect inkBox(const Surface& surface, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (surface.pixelAt(x, y) != green)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

using probe::countColour;
using probe::region;

} // namespace

TEST(Palette, holdsTheSixteenClassicColoursAndNothingElse)
{
    EXPECT_EQ(palette[2], qRgb(0, 128, 0));
    EXPECT_EQ(palette[6], qRgb(128, 128, 0));
    EXPECT_EQ(palette[7], qRgb(192, 192, 192));
    EXPECT_EQ(palette[8], qRgb(128, 128, 128));
    EXPECT_EQ(palette[14], qRgb(255, 255, 0));
    EXPECT_EQ(palette[15], white);
    EXPECT_FALSE(paletteColour(-1));
    EXPECT_FALSE(paletteColour(16));
}

// The far corner's column and row stay out, so the seconds' erase square ends just left of "秒".
TEST(Rectangle, leavesOutTheFarColumnAndRowAndTheRestAlone)
{
    GameRig rig;
    rig.loaded().描画_四角形(150, 1500, 150, 75, 12); // pixels 10..19 by 100..104
    const Surface& s = rig.surface;
    EXPECT_EQ(s.pixelAt(10, 100), qRgb(255, 0, 0));
    EXPECT_EQ(s.pixelAt(19, 104), qRgb(255, 0, 0));
    EXPECT_EQ(s.pixelAt(20, 104), green);
    EXPECT_EQ(s.pixelAt(19, 105), green);
    EXPECT_EQ(s.pixelAt(9, 100), green);
    EXPECT_EQ(s.pixelAt(10, 99), green);
    EXPECT_EQ(countColour(s, QRect(0, 60, 80, 80), qRgb(255, 0, 0)), 10 * 5);
}

TEST(Rectangle, outsideThePaletteDrawsNothing)
{
    GameRig rig;
    Form1& game = rig.loaded();
    const QImage before = probe::image(rig.surface);
    game.描画_四角形(0, 0, 3000, 3000, 16);
    game.描画_四角形(0, 0, 3000, 3000, -1);
    EXPECT_EQ(probe::image(rig.surface), before);
}

TEST(Text, numbersCarryABlankForTheSignAndABlankAfter)
{
    GameRig rig;
    Form1& game = rig.loaded();
    const auto widthOf = [&](auto value) {
        rig.surface.clear(2);
        game.描画_文字(0, 0, value, 15, 15);
        return inkBox(rig.surface, QRect(0, 0, 300, 60));
    };
    // " 0 " starts one blank right of where "0" starts; "-5 " puts its sign where the blank was.
    EXPECT_EQ(widthOf(0), widthOf(" 0 "));
    EXPECT_GT(widthOf(0).left(), widthOf("0").left());
    EXPECT_EQ(widthOf(30), widthOf(" 30 "));
    EXPECT_EQ(widthOf(-5), widthOf("-5 "));
}

namespace {

struct PlacedText {
    std::string text;
    double x;
    double y;
    int colour;
    double points;
};

// A status text as the game draws it: black at the shadow offset, then white at its place.
std::vector<PlacedText> shadowed(const std::string& text, double x, double y, double points, double dx, double dy)
{
    return {{text, x + dx, y + dy, 0, points}, {text, x, y, 15, points}};
}

// The game's face and Qt's font engine, on a copy of the same surface, draw the same pixels, soft edges blended
// alike over whatever lay under them, and give the same line boxes. The texts stand at the game's own places:
// Qt's soft edges are not quite the same at every height on the screen. At device scale 4 they differ from the
// face, which holds them as drawn at one height, by up to two levels of a channel.
testing::AssertionResult drawnAsQtDrawsThem(Surface& surface, const std::vector<PlacedText>& texts)
{
    const int tolerance = surface.deviceScale() == 4 ? 2 : 0;
    QImage canvas = probe::image(surface);
    for (const PlacedText& t : texts) {
        const int pixelSize = static_cast<int>(std::lround(t.points * 20 / Surface::twipsPerPixel));
        const QString text = QString::fromStdString(t.text);
        const QPoint at(Surface::toPixel(t.x), Surface::toPixel(t.y));
        qt_text::draw(canvas, at.x(), at.y(), text, palette[static_cast<std::size_t>(t.colour)], pixelSize);
        surface.drawText(t.x, t.y, t.text, t.colour, t.points);
        const QFontMetrics metrics(qt_text::font(pixelSize), &canvas);
        if (probe::rect(surface.textBox(t.x, t.y, t.text, t.points)) !=
            QRect(at, QSize(metrics.horizontalAdvance(text), metrics.height())))
            return testing::AssertionFailure() << '"' << t.text << "\": the line box differs";
    }
    const auto* qtPixels = reinterpret_cast<const Rgb*>(canvas.constBits());
    const auto count = static_cast<std::size_t>(surface.deviceWidth()) * surface.deviceHeight();
    if (std::equal(qtPixels, qtPixels + count, surface.pixels()))
        return testing::AssertionSuccess();
    int differing = 0, largest = 0;
    for (std::size_t i = 0; i < count; ++i)
        for (const int shift : {0, 8, 16}) {
            const auto channel = [&](Rgb pixel) { return static_cast<int>(pixel >> shift & 0xff); };
            const int apart = std::abs(channel(qtPixels[i]) - channel(surface.pixels()[i]));
            differing += apart > tolerance ? 1 : 0;
            largest = std::max(largest, apart);
        }
    if (differing > 0)
        return testing::AssertionFailure() << '"' << texts.back().text << "\" and the rest: " << differing
                                           << " channels of device pixels differ, by up to " << largest;
    return testing::AssertionSuccess();
}

} // namespace

// The face made at build time stands in for the font engine: every text the game draws, at its size and at
// device scales 1 to 4, comes out as Qt drew it in VL Gothic (above 64 device pixels with soft edges).
TEST(Text, gameFaceDrawsEveryGameTextAsQtDrawsVLGothic)
{
    const SpriteCatalogue sprites;
    for (int scale = 1; scale <= 4; ++scale) {
        SCOPED_TRACE(testing::Message() << "scale " << scale);
        // The labels, the key letters on their buttons, and the big texts over the hammer man.
        std::vector<PlacedText> opening;
        for (const auto& label : {shadowed("持ち時間", 4400, 0, 15, 60, 60), shadowed("秒", 5300, 500, 15, 60, 30),
                                  shadowed("得点：", 100, 90, 12, 60, 30), shadowed("最高：", 100, 390, 12, 60, 30),
                                  shadowed("START", 2000, 1050, 28, 50, 0)})
            opening.insert(opening.end(), label.begin(), label.end());
        const char* letters[] = {"", "A", "S", "D", "F"};
        for (int h = 1; h <= 4; ++h)
            opening.push_back({letters[h], 200 + 960 * (h + 0.2), 4450, 0, 18});
        const std::vector<PlacedText> screens[] = {opening, shadowed("TIME UP", 2000, 1000, 30, 50, 50),
                                                   shadowed("PUSH [SPACE] KEY", 500, 1000, 30, 50, 50)};
        for (const auto& texts : screens) {
            Surface surface(578, 437, scale);
            for (int h = 1; h <= 4; ++h)
                surface.copyPicture(*sprites.picture(Store::BOTAN_HUDAN), 970 * (h + 0.2), 4108);
            surface.copyPicture(*sprites.picture(Store::HITO_A, 0), 1950, 47.4);
            EXPECT_TRUE(drawnAsQtDrawsThem(surface, texts));
        }

        // The numbers as the game shows them, at the score's and the best's places and the seconds' place.
        const auto shown = [](int n) { return (n < 0 ? "-" : " ") + std::to_string(std::abs(n)) + " "; };
        Surface scores(130, 50, scale);
        int differing = 0;
        for (int n = -9999; n <= 9999; ++n) {
            if (n < 0 ? n % 101 != -5 : scale == 4 && n % 37 != 0)
                continue;
            scores.clear(2);
            std::vector<PlacedText> texts = shadowed(shown(n), 700, 80, 15, 60, 30);
            const std::vector<PlacedText> best = shadowed(shown(n), 700, 380, 15, 60, 30);
            texts.insert(texts.end(), best.begin(), best.end());
            const testing::AssertionResult same = drawnAsQtDrawsThem(scores, texts);
            EXPECT_TRUE(same || ++differing > 3) << same.message();
        }
        Surface seconds(400, 70, scale);
        for (int n = 0; n <= 30; ++n) {
            seconds.clear(2);
            const testing::AssertionResult same =
                drawnAsQtDrawsThem(seconds, shadowed(shown(n), 4800, 500, 15, 60, 30));
            EXPECT_TRUE(same || ++differing > 3) << same.message();
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST(StatusDisplays, scoreRenewedManyTimesLeavesExactlyAFreshDrawingOfTheLastValue)
{
    // Each hit erases the shown score in place and draws the new one, across changes of digit count.
    const auto showScore = [](Form1& game, int score) {
        game.state.score = score;
        game.初期_画面描画();
    };
    const QRect scoreArea(30, 0, 56, 45); // left of the hammer man's widest frames
    GameRig rig;
    Form1& game = rig.loaded();
    GameRig fresh;
    Form1& reference = fresh.loaded();
    showScore(game, 1003);
    for (int hit = 0; hit < 3; ++hit)
        game.描画_当たり時得点();
    showScore(reference, 988);
    EXPECT_EQ(region(rig.surface, scoreArea), region(fresh.surface, scoreArea));
    while (game.state.score > 0)
        game.描画_当たり時得点();
    game.描画_当たり時得点();
    showScore(reference, 0);
    EXPECT_EQ(region(rig.surface, scoreArea), region(fresh.surface, scoreArea));
}

TEST(StatusDisplays, hitTakesFiveWithAFloorOfZero)
{
    GameRig rig;
    Form1& game = rig.loaded();
    game.state.score = 3;
    game.描画_当たり時得点();
    EXPECT_EQ(game.state.score, 0);
    game.描画_当たり時得点();
    EXPECT_EQ(game.state.score, 0);
    game.state.score = 12;
    game.描画_当たり時得点();
    EXPECT_EQ(game.state.score, 7);
}

TEST(StatusDisplays, secondsRenewedInPlaceMatchAFreshDrawing)
{
    GameRig rig;
    Form1& game = rig.loaded();
    for (int t = 30; t >= 7; --t)
        game.描画_持ち時間(t);
    const QRect secondsArea(315, 30, 38, 38); // the 500 x 500 twip box at (4800, 500)
    const QImage renewed = region(rig.surface, secondsArea);

    GameRig fresh;
    Form1& other = fresh.loaded();
    other.描画_四角形(4800, 500, 500, 500, 2);
    other.描画_文字(4860, 530, 7, 0, 15);
    other.描画_文字(4800, 500, 7, 15, 15);
    EXPECT_EQ(renewed, region(fresh.surface, secondsArea));
}

TEST(DevicePixelRatio, spritesAtRatioTwoAreTheOnePixelDrawingScaledByTwo)
{
    GameRig single(1.0);
    GameRig twice(2.0);
    for (GameRig* rig : {&single, &twice}) {
        Form1& game = rig->loaded();
        game.描画_絵(5, 2, 1.5);
        game.描画_人(13, 4, 2, 0.03);
    }
    EXPECT_EQ(twice.surface.deviceScale(), 2);
    const QRect sprites(120, 0, 170, 270); // the mole at column 2 and the hammer man
    const QImage one = region(single.surface, sprites);
    const QImage two = region(twice.surface, sprites);
    ASSERT_EQ(two.size(), one.size() * 2);
    EXPECT_EQ(two, one.scaled(one.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

TEST(DevicePixelRatio, fractionalRatiosRoundToAWholeScale)
{
    EXPECT_EQ(Surface(10, 10, 1.5).deviceScale(), 2);
    EXPECT_EQ(Surface(10, 10, 1.25).deviceScale(), 1);
    EXPECT_EQ(Surface(10, 10, 0.5).deviceScale(), 1);
    EXPECT_EQ(probe::image(Surface(10, 10, 3.0)).size(), QSize(30, 30));
}

TEST(Twips, roundToTheNearestPixel)
{
    EXPECT_EQ(Surface::toPixel(47.4), 3);
    EXPECT_EQ(Surface::toPixel(1940), 129);
    EXPECT_EQ(Surface::toPixel(1164), 78);
    EXPECT_EQ(Surface::toPixel(-50), -3);
    EXPECT_EQ(Surface::toPixel(22.5), 2);
}

TEST(Surface, reportsChangesOnceSoTheScreenRepaintsOnlyWhenSomethingWasDrawn)
{
    GameRig rig;
    Form1& game = rig.loaded();
    rig.surface.takeChanges();
    EXPECT_TRUE(rig.surface.takeChanges().empty());
    // Areas apart stay apart; one drawn over another joins it.
    game.描画_四角形(150, 300, 150, 150, 4);
    game.描画_文字(1500, 1500, "秒", 15, 15);
    game.描画_四角形(225, 375, 150, 150, 4);
    const Rect text = rig.surface.textBox(1500, 1500, "秒", 15);
    EXPECT_EQ(rig.surface.takeChanges(), (std::vector<Rect>{text, {10, 20, 15, 15}}));
    EXPECT_TRUE(rig.surface.takeChanges().empty());
    // However many, they stay a few, and every pixel drawn lies in one of them.
    for (int i = 0; i < 40; ++i)
        game.描画_四角形(i * 200, i * 150, 30, 30, 4);
    const std::vector<Rect> many = rig.surface.takeChanges();
    EXPECT_LE(many.size(), 6u);
    for (int i = 0; i < 40; ++i) {
        const Rect drawn{Surface::toPixel(i * 200), Surface::toPixel(i * 150), 2, 2};
        EXPECT_TRUE(std::any_of(many.begin(), many.end(), [&](const Rect& area) {
            return area.intersected(drawn) == drawn.intersected({0, 0, 578, 437});
        })) << "square " << i;
    }
    game.描画_絵(3, 1, 1.5);
    rig.surface.refresh(); // the screen now shows everything
    EXPECT_TRUE(rig.surface.takeChanges().empty());
    game.描画_絵(3, 1, 1.5);
    EXPECT_TRUE(rig.surface.takeChanges().empty()) << "a picture laid over itself changes nothing";
    game.Timer1_Timer(); // waiting for a start: the tick draws nothing
    EXPECT_TRUE(rig.surface.takeChanges().empty());
}

// A picture laid over another reports just the pixels it changed, at every device scale.
TEST(Surface, aPictureReportsOnlyThePixelsItChanged)
{
    for (const double ratio : {1.0, 3.0}) {
        GameRig rig(ratio);
        Form1& game = rig.loaded();
        game.描画_絵(4, 1, 1.5);
        rig.surface.takeChanges();
        const std::vector<Rgb> before(rig.surface.pixels(),
                                      rig.surface.pixels() + rig.surface.deviceWidth() * rig.surface.deviceHeight());
        game.描画_絵(5, 1, 1.5);
        Rect changed;
        for (int y = 0; y < 437; ++y)
            for (int x = 0; x < 578; ++x)
                if (rig.surface.pixelAt(x, y) != before[static_cast<std::size_t>(y * ratio) * rig.surface.deviceWidth() +
                                                         static_cast<std::size_t>(x * ratio)])
                    changed = changed.united({x, y, 1, 1});
        const Picture& stage = *rig.sprites.picture(Store::MOGURA5);
        ASSERT_FALSE(changed.isEmpty());
        EXPECT_NE(changed, (Rect{65, 158, stage.width, stage.height})) << "the stages share rows of the same pixels";
        EXPECT_EQ(rig.surface.takeChanges(), std::vector<Rect>{changed}) << "at ratio " << ratio;
    }
}

// The picture the view shows at design size, enlarged by the largest whole factor, centred on whole
// device pixels; a point of the view maps back to the same point of the surface.
TEST(ViewGeometry, largestWholeFactorCentredOnWholeDevicePixelsAndPointsMapBack)
{
    const QSize picture(398, 437);
    struct Case {
        QSize view;
        double ratio;
        int factor;
        QPointF origin;
    };
    for (const Case& c : {Case{picture, 1, 1, {0, 0}}, Case{{300, 200}, 1, 1, {0, 0}},
                          Case{{500, 500}, 1, 1, {51, 31}}, Case{{795, 900}, 1, 1, {198, 231}},
                          Case{{796, 874}, 1, 2, {0, 0}}, Case{{1920, 1080}, 1, 2, {562, 103}},
                          Case{{1600, 1800}, 2, 4, {4, 26}}, Case{{1000, 1000}, 1.5, 2, {102, 94 / 1.5}},
                          Case{{1001, 875}, 3, 2, {102 + 1 / 3.0, 1 / 3.0}}}) {
        SCOPED_TRACE(testing::Message() << c.view.width() << "x" << c.view.height() << " at ratio " << c.ratio);
        const PictureGeometry at = pictureGeometry(picture, c.view, c.ratio);
        EXPECT_EQ(at.factor, c.factor);
        EXPECT_NEAR(at.origin.x(), c.origin.x(), 1e-9);
        EXPECT_NEAR(at.origin.y(), c.origin.y(), 1e-9);
        EXPECT_NEAR(at.origin.x() * c.ratio, std::round(at.origin.x() * c.ratio), 1e-9);
        const QPointF artPixel(123.5, 45);
        const QPointF back = at.toPicture(at.origin + artPixel * at.factor);
        EXPECT_NEAR(back.x(), artPixel.x(), 1e-9);
        EXPECT_NEAR(back.y(), artPixel.y(), 1e-9);
    }
}

// Rendered as the screen would show it: the design-size picture, each of its device pixels a
// k x k square (no smoothing), and every other pixel the one margin colour.
TEST(ViewGeometry, theViewShowsTheDesignPictureEnlargedPixelForPixelWithPlainMargins)
{
    const QSize picture(398, 437);
    for (const double ratio : {1.0, 2.0}) {
        GameRig rig(ratio);
        rig.loaded();
        SurfaceView view(rig.surface, picture, nullptr);
        const QImage design = region(rig.surface, QRect(QPoint(), picture));
        for (const QSize size : {picture, QSize(300, 300), QSize(900, 1000), QSize(1250, 1330)}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " at ratio " << ratio);
            view.resize(size);
            QImage shown(size * ratio, QImage::Format_RGB32);
            shown.setDevicePixelRatio(ratio);
            shown.fill(Qt::magenta);
            view.render(&shown);
            const PictureGeometry at = view.pictureGeometry();
            const QRect target((at.origin * ratio).toPoint(), design.size() * at.factor);
            const QImage expected = design.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
            const QRect seen = target.intersected(shown.rect());
            EXPECT_EQ(shown.copy(seen), expected.copy(seen.translated(-target.topLeft())));
            int strays = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    strays += !target.contains(x, y) && shown.pixel(x, y) != SurfaceView::marginColour;
            EXPECT_EQ(strays, 0);
        }
    }
}
