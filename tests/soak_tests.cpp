// SPDX-License-Identifier: GPL-3.0-or-later
// Key storms and a soak: a cat on the keyboard for ten back-to-back rounds. Letters in both cases,
// other keys, Space and F2 restarts, F1 music switches and mouse clicks arrive in random order between
// game ticks, and after every event and every tick the game must still hold its invariants: moles at
// stages 1 to 5, hammer frames 0 to 4, a score never negative, a best score never falling, and the BGM
// check mark on exactly while the tune is looping. Resident memory from round 2 to round 10 is printed.
//
// Three runs:
// - FakeTime: the real game and the real SDL sound library on a fake clock, 100,000 events over ten
//   whole rounds in a few seconds, calling the event handlers as the window does;
// - RealEventLoop.ShortStorm: the real GameWindow, its real 1 ms timer and Qt's event loop, a few
//   seconds of posted key and mouse events with a restart and music switches;
// - RealEventLoop.DISABLED_TenRealRounds: the same for ten real 30-second rounds and 100,000 events
//   (about six minutes; tools/reliability/soak.sh runs it).
#include "reliability_support.h"
#include "desktop/game_window.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <chrono>
#include <cstdio>

using namespace reliability;

namespace {

constexpr int keySpace = 32, keyF1 = 112, keyF2 = 113;

// One random event of the storm, as the window would hand it to the game.
struct StormEvent {
    enum Kind { character, keyDown, mouse, tick } kind;
    int code = 0;
};

// Picks storm events: mostly hole letters, lower and upper case, then other characters and keys,
// mouse clicks, and now and then the music switch. Restarts are left to the caller.
class Storm {
public:
    explicit Storm(unsigned seed) : generator(seed) {}

    StormEvent next(double tickShare)
    {
        const double r = uniform(generator);
        if (r < tickShare)
            return {StormEvent::tick};
        const double p = uniform(generator);
        if (p < 0.55)
            return {StormEvent::character, "asdf"[pick(4)]};
        if (p < 0.70)
            return {StormEvent::character, "ASDF"[pick(4)]};
        if (p < 0.80)
            return {StormEvent::character, "qwertyuiopghjklzxcvbnm0123456789,./;'[]-=`\t\r "[pick(45)]};
        if (p < 0.93)  // keys the game has no use for: letters as virtual keys, F3 to F12, arrows
            return {StormEvent::keyDown, pick(2) ? 'A' + pick(26) : 114 + pick(10)};
        if (p < 0.998)
            return {StormEvent::mouse, 1 + pick(3)};
        return {StormEvent::keyDown, keyF1};
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(generator); }
    bool chance(double p) { return uniform(generator) < p; }

private:
    std::mt19937 generator;
    std::uniform_real_distribution<double> uniform{0.0, 1.0};
};

// Counts broken invariants and keeps the first few, so a fault does not flood the output.
struct InvariantWatch {
    void check(const GameState& s, bool bgmChecked, bool tuneLooping, const char* after)
    {
        std::string broken = brokenInvariant(s, best);
        if (broken.empty() && bgmChecked != tuneLooping)
            broken = bgmChecked ? "BGM checked but the tune is not looping" : "the tune loops but BGM is not checked";
        ++checks;
        best = std::max(best, s.bestScore);
        if (broken.empty())
            return;
        if (++failures <= 5)
            ADD_FAILURE() << broken << " (after " << after << ", check " << checks << ")";
    }
    int best = 0;
    long checks = 0;
    long failures = 0;
};

void printMemory(const char* run, long roundTwo, long roundTen)
{
    std::printf("%s: resident memory at the start of round 2 %.1f MB, at the end of round 10 %.1f MB, growth %+.0f KB\n",
                run, roundTwo / 1048576.0, roundTen / 1048576.0, (roundTen - roundTwo) / 1024.0);
}

TEST(FakeTimeSoak, TenRoundsOfAHundredThousandEventsKeepTheInvariants)
{
    WorkingFolder folder("zubotta-soak");
    for (std::size_t n = 0; n < soundNames.size(); ++n)
        soundtest::writeFile(soundNames[n].name, validSound(n));
    RealSoundRig rig;
    Form1& game = rig.game;
    game.Form_Load();
    ASSERT_TRUE(rig.dialogs.shown.empty());
    ASSERT_NE(game.state.sndBgm, 0);

    InvariantWatch watch;
    auto check = [&](const char* after) {
        watch.check(game.state, rig.window.bgmChecked, rig.sound.looping == game.state.sndBgm, after);
    };
    check("start-up");

    Storm storm(7);
    constexpr long totalEvents = 100000;
    constexpr int rounds = 10;
    long events = 0;
    long roundTwoMemory = 0;
    int restarts = 0;
    int timeUps = 0;
    const auto began = std::chrono::steady_clock::now();
    for (int round = 1; round <= rounds; ++round) {
        if (round == 2)
            roundTwoMemory = residentBytes();
        // Each round starts by Space or F2, and some rounds are restarted early by the other.
        game.Form_KeyDown(storm.pick(2) ? keySpace : keyF2, 0);
        check("a round start");
        ASSERT_EQ(game.state.gameStopped, game.state.flagOff);
        const bool restartEarly = round % 3 == 0;
        int ticks = 0;
        // A round is about 430 ticks; a share of 1 in 23 spreads 10,000 events over it.
        while (game.state.gameStopped == game.state.flagOff) {
            const StormEvent e = storm.next(1.0 / 23);
            const int bestBefore = game.state.bestScore;
            switch (e.kind) {
            case StormEvent::tick:
                game.Timer1_Timer();
                ++ticks;
                check("a tick");
                break;
            case StormEvent::character:
                game.Form_KeyPress(e.code);
                check("a character");
                break;
            case StormEvent::keyDown:
                game.Form_KeyDown(e.code, 0);
                check("a key");
                break;
            case StormEvent::mouse:
                game.Form_MouseDown(e.code, 0, storm.pick(8670), storm.pick(6555));
                check("a click");
                break;
            }
            ++events;
            if (restartEarly && ticks == 40) {
                game.Form_KeyDown(storm.pick(2) ? keySpace : keyF2, 0);
                ++restarts;
                ++ticks;
                check("a restart");
            }
            if (game.state.gameStopped == game.state.flagOn) {
                ++timeUps;
                EXPECT_EQ(game.state.timeLeft, 0);
                EXPECT_EQ(game.state.bestScore, std::max(bestBefore, game.state.score));
            }
            ASSERT_LT(ticks, 5000) << "round " << round << " never reached TIME UP";
        }
        // While the game waits: letters do nothing, clicks redraw the opening screen.
        for (int i = 0; i < 200; ++i) {
            const StormEvent e = storm.next(0.2);
            const GameState before = game.state;
            if (e.kind == StormEvent::character)
                game.Form_KeyPress(e.code);
            else if (e.kind == StormEvent::mouse)
                game.Form_MouseDown(e.code, 0, 100, 100);
            else if (e.kind == StormEvent::tick)
                game.Timer1_Timer();
            else
                game.Form_KeyDown(e.code, 0);
            ++events;
            check("an event while waiting");
            EXPECT_EQ(game.state.score, before.score) << "the score changed between rounds";
            if (e.kind == StormEvent::mouse)  // the opening screen comes back with every mole in its hole
                EXPECT_EQ(game.state.moleStageByHole, (ByHole<int>{before.moleStageByHole[0], 1, 1, 1, 1}));
            else
                EXPECT_EQ(game.state.moleStageByHole, before.moleStageByHole) << "a mole moved between rounds";
        }
        ASSERT_FALSE(HasFatalFailure());
    }
    const long roundTenMemory = residentBytes();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(timeUps, rounds);
    EXPECT_GE(events, totalEvents * 9 / 10) << "the storm was smaller than meant";
    EXPECT_EQ(watch.failures, 0);
    std::printf("fake-time soak: %d rounds (%d restarted early), %ld events, %ld checks, best score %d, %.1f s\n",
                rounds, restarts, events, watch.checks, game.state.bestScore, seconds);
    printMemory("fake-time soak", roundTwoMemory, roundTenMemory);
}

// The real window: events are posted into Qt's queue and handled by the real event loop between the
// real timer's ticks. An application-wide filter checks the game before each input event and each
// timer event is delivered, that is after the previous one has been handled completely.
class RealEventLoop : public testing::Test, public QObject {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    void SetUp() override
    {
        for (std::size_t n = 0; n < soundNames.size(); ++n)
            soundtest::writeFile(soundNames[n].name, validSound(n));
        window = std::make_unique<GameWindow>();
        window->start();
        ASSERT_NE(window->form().state.sndBgm, 0) << "the sounds did not load";
        qApp->installEventFilter(this);
    }
    void TearDown() override
    {
        qApp->removeEventFilter(this);
        // Let the last events go before the window does; the game is never quit (that ends the process).
        QApplication::processEvents();
        window.reset();
    }

    bool eventFilter(QObject* target, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            checkNow("an event");
            // The F1 about to be handled flips the switch; the next check expects it flipped.
            if (target == window.get() && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1)
                ++f1Handled;
            break;
        case QEvent::MouseButtonPress:
        case QEvent::Timer:
            checkNow("an event");
            break;
        default:
            break;
        }
        return false;
    }

    void checkNow(const char* after)
    {
        const GameState& s = window->form().state;
        // The music switch starts on and flips at every F1.
        watch.check(s, window->bgmItem()->isChecked(), f1Handled % 2 == 0, after);
        if (s.gameStopped == s.flagOn && s.timeLeft == 0 && !inTimeUp) {
            inTimeUp = true;
            ++timeUps;
        } else if (s.gameStopped == s.flagOff) {
            inTimeUp = false;
        }
    }

    void postKey(int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (key == Qt::Key_Escape)
            return;  // Esc quits the program at once
        if (key == Qt::Key_F1)
            ++f1Presses;
        QCoreApplication::postEvent(window.get(), new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
        QCoreApplication::postEvent(window.get(), new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
        ++posted;
    }

    void postClick(int button)
    {
        const QPointF at(storm.pick(578), storm.pick(437));
        const auto which = button == 1 ? Qt::LeftButton : button == 2 ? Qt::RightButton : Qt::MiddleButton;
        QCoreApplication::postEvent(window.get(),
                                    new QMouseEvent(QEvent::MouseButtonPress, at, at, which, which, Qt::NoModifier));
        QCoreApplication::postEvent(window.get(),
                                    new QMouseEvent(QEvent::MouseButtonRelease, at, at, which, Qt::NoButton, Qt::NoModifier));
        ++posted;
    }

    // One storm event as a Qt event; ticks come from the window's own timer.
    void postStormEvent()
    {
        const StormEvent e = storm.next(0);
        if (e.kind == StormEvent::character) {
            const QChar c(e.code);
            const bool upper = c.isUpper();
            const int key = c.isLetterOrNumber() ? int(c.toUpper().unicode()) : int(Qt::Key_unknown);
            postKey(key, QString(c), upper ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (e.kind == StormEvent::keyDown) {
            if (e.code == keyF1)
                postKey(Qt::Key_F1, {});
            else if (e.code >= 114)
                postKey(Qt::Key_F3 + (e.code - 114), {});
            else
                postKey(Qt::Key_Left + storm.pick(4), {});  // keys that type nothing
        } else {
            postClick(e.code);
        }
    }

    void postRestart() { postKey(storm.pick(2) ? Qt::Key_Space : Qt::Key_F2, QStringLiteral(" ").left(storm.pick(2))); }

    // Posts events in small batches (a cat types faster than the game ticks) and lets the loop run,
    // until `done` says so or the time is up.
    template <typename Done>
    void stormUntil(Done done, double maxSeconds, int batch)
    {
        const auto began = std::chrono::steady_clock::now();
        while (!done()) {
            ASSERT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), maxSeconds)
                << "the storm did not get there in time";
            for (int i = 0; i < batch; ++i)
                postStormEvent();
            QApplication::processEvents(QEventLoop::AllEvents);
            checkNow("a batch");
        }
    }

    soundtest::TempDir folderHolder{"zubotta-storm"};
    std::filesystem::path previous = [this] {
        auto p = std::filesystem::current_path();
        std::filesystem::current_path(folderHolder.path());
        return p;
    }();
    std::unique_ptr<GameWindow> window;
    Storm storm{11};
    InvariantWatch watch;
    long posted = 0;
    int f1Presses = 0;
    int f1Handled = 0;
    int timeUps = 0;
    bool inTimeUp = false;

public:
    ~RealEventLoop() override { std::filesystem::current_path(previous); }
};

TEST_F(RealEventLoop, ShortStorm)
{
    const GameState& s = window->form().state;
    postKey(Qt::Key_Space, QStringLiteral(" "));
    stormUntil([&] { return s.gameStopped == s.flagOff; }, 10, 1);
    const auto began = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(); };
    stormUntil([&] { return elapsed() > 2.0; }, 20, 25);
    postRestart();
    stormUntil([&] { return elapsed() > 5.0; }, 20, 25);
    EXPECT_EQ(s.gameStopped, s.flagOff) << "the round ended early";
    EXPECT_GT(s.score + s.bestScore + s.moleStageByHole[1] + s.moleStageByHole[2], 2) << "the storm moved nothing";
    EXPECT_EQ(watch.failures, 0);
    std::printf("real event loop storm: %ld events posted, %ld checks, score %d, %d F1 presses in %.1f s\n", posted,
                watch.checks, s.score, f1Presses, elapsed());
}

TEST_F(RealEventLoop, DISABLED_TenRealRounds)
{
    const GameState& s = window->form().state;
    const auto began = std::chrono::steady_clock::now();
    long roundTwoMemory = 0;
    for (int round = 1; round <= 10; ++round) {
        if (round == 2)
            roundTwoMemory = residentBytes();
        const int timeUpsBefore = timeUps;
        postRestart();
        stormUntil([&] { return s.gameStopped == s.flagOff; }, 10, 1);
        if (round % 3 == 0) {  // a restart a few seconds into the round
            const auto start = std::chrono::steady_clock::now();
            stormUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::seconds(3); }, 10, 25);
            postRestart();
        }
        stormUntil([&] { return timeUps > timeUpsBefore; }, 45, 27);
        ASSERT_FALSE(HasFatalFailure());
    }
    const long roundTenMemory = residentBytes();
    EXPECT_EQ(timeUps, 10);
    EXPECT_EQ(watch.failures, 0);
    std::printf("real event loop soak: 10 rounds, %ld events posted, %ld checks, best score %d, %.0f s\n", posted,
                watch.checks, s.bestScore,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    printMemory("real event loop soak", roundTwoMemory, roundTenMemory);
}

}  // namespace
