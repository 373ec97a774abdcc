// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt game window in-process: menu bar, the BGM check mark, the about box, keys, clicks and game controllers
// routed to the game.
#include "desktop/game_window.h"
#include "virtual_pad.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <utility>

namespace {

class GameWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A silent device, so start-up shows no warning box.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
    void SetUp() override { window.start(); }

    QList<QAction*> topLevel() const { return window.menuBar()->actions(); }

    // autoRepeat: a press the keyboard repeats while the key is held down.
    void sendKey(int key, Qt::KeyboardModifiers modifiers, const QString& text, bool autoRepeat = false)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text, autoRepeat);
        QApplication::sendEvent(&window, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text, autoRepeat);
        QApplication::sendEvent(&window, &release);
    }

    GameWindow window;
};

struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    const QWidget* owner = nullptr;
};

// Watches for the modal message box the next action opens, notes what it shows and closes it.
// Gives up (closing whatever is modal) after about five seconds so a test cannot hang.
void closeNextMessageBox(std::vector<SeenBox>& seen)
{
    auto* timer = new QTimer;
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, attempts, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible()) {
            seen.push_back({box->text(), box->windowTitle(), box->icon(), int(box->buttons().size()),
                            box->parentWidget()});
            box->done(0);
        } else if (++*attempts < 500) {
            return;
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start(10);
}

} // namespace

TEST_F(GameWindowTest, menuBarHoldsTheThreeMenusWithTheirItemsAndNoShortcutsOrAccessKeys)
{
    const QList<QAction*> menus = topLevel();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("ゲーム"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("ｵﾌﾟｼｮﾝ"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("その他"));
    ASSERT_NE(menus[0]->menu(), nullptr);
    ASSERT_NE(menus[1]->menu(), nullptr);
    EXPECT_EQ(menus[2]->menu(), nullptr) << "その他 has no items";

    const QList<QAction*> game = menus[0]->menu()->actions();
    ASSERT_EQ(game.size(), 2);
    EXPECT_EQ(game[0]->text(), QStringLiteral("開始"));
    EXPECT_EQ(game[1]->text(), QStringLiteral("終了"));
    const QList<QAction*> option = menus[1]->menu()->actions();
    ASSERT_EQ(option.size(), 1);
    EXPECT_EQ(option[0]->text(), QStringLiteral("BGM"));
    EXPECT_TRUE(option[0]->isCheckable());
    EXPECT_EQ(option[0], window.bgmItem());

    for (QAction* item : menus + game + option) {
        EXPECT_FALSE(item->text().contains(QLatin1Char('&'))) << item->text().toStdString();
        EXPECT_TRUE(item->shortcut().isEmpty()) << item->text().toStdString();
        EXPECT_TRUE(item->shortcuts().isEmpty()) << item->text().toStdString();
    }
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Zubotta"));
}

TEST_F(GameWindowTest, bgmIsCheckedAfterStartAndEachClickFlipsItOnceSharingTheStateWithF1)
{
    QAction* bgm = window.bgmItem();
    EXPECT_TRUE(bgm->isChecked());
    bgm->trigger();
    EXPECT_FALSE(bgm->isChecked());
    bgm->trigger();
    EXPECT_TRUE(bgm->isChecked());
    sendKey(Qt::Key_F1, Qt::NoModifier, QString());
    EXPECT_FALSE(bgm->isChecked());
    bgm->trigger();
    EXPECT_TRUE(bgm->isChecked());
}

// A dialog of the game's window, so window managers centre it over the game and keep it above.
TEST_F(GameWindowTest, aboutBoxIsADialogOfTheGameShowingSevenLinesTitledZubottaWithOneButtonAndNoIcon)
{
    std::vector<SeenBox> seen;
    closeNextMessageBox(seen);
    topLevel()[2]->trigger();
    ASSERT_EQ(seen.size(), 1u);
    const SeenBox& box = seen[0];
    EXPECT_EQ(box.title, QStringLiteral("Zubotta"));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, 1);
    EXPECT_EQ(box.owner, &window);
    EXPECT_FALSE(box.text.contains(QLatin1Char('\r')));
    const QStringList lines = box.text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 7) << box.text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Zubotta  Version 1.0    (C) 2026 Zubotta project"));
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2], QStringLiteral("Home page"));
    EXPECT_EQ(lines[4], QString());
    EXPECT_EQ(lines[5], QStringLiteral("e-mail"));
}

// While no round runs the tick would do nothing, so its timer rests; a round wakes it.
TEST_F(GameWindowTest, theTickTimerRestsWhileWaitingAndRunsDuringARound)
{
    const auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1);
    EXPECT_FALSE(timer->isActive());
    GameState& s = window.form().state;
    s.gameStopped = s.flagOff; // as the round start leaves it, without its real one-second pause
    sendKey(Qt::Key_G, Qt::NoModifier, QStringLiteral("g"));
    EXPECT_TRUE(timer->isActive());
    s.gameStopped = s.flagOn; // as time up leaves it
    sendKey(Qt::Key_G, Qt::NoModifier, QStringLiteral("g"));
    EXPECT_FALSE(timer->isActive());
}

TEST_F(GameWindowTest, typedLowerCaseLettersWorkTheHolesAndUpperCaseOnesDoNot)
{
    GameState& s = window.form().state;
    // Waiting: the letter does nothing.
    sendKey(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(s.moleDirByHole[1], s.dirDown);

    s.gameStopped = s.flagOff; // a round, without its real one-second "START"
    sendKey(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(s.moleDirByHole[1], s.dirUp);
    EXPECT_EQ(s.moleStageByHole[1], 2);
    sendKey(Qt::Key_S, Qt::ShiftModifier, QStringLiteral("S"));
    EXPECT_EQ(s.moleDirByHole[2], s.dirDown);
    EXPECT_EQ(s.moleStageByHole[2], 1);
    sendKey(Qt::Key_F, Qt::NoModifier, QStringLiteral("f"));
    EXPECT_EQ(s.moleDirByHole[4], s.dirUp);
}

TEST_F(GameWindowTest, aClickWhileWaitingShowsThePromptAndIsIgnoredInARound)
{
    QWidget* view = window.centralWidget();
    const QImage opening = view->grab().toImage();
    const QPointF at(100, 300);
    QMouseEvent click(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &click);
    const QImage prompted = view->grab().toImage();
    EXPECT_NE(prompted, opening);

    GameState& s = window.form().state;
    s.gameStopped = s.flagOff;
    window.form().初期_画面描画();
    const QImage inRound = view->grab().toImage();
    QMouseEvent again(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &again);
    EXPECT_EQ(view->grab().toImage(), inRound);
}

TEST_F(GameWindowTest, isPlacedAtItsDesignedWidthAndKeepsTheDesignedHeight)
{
    EXPECT_EQ(window.frameGeometry().width(), 400);
    EXPECT_EQ(window.centralWidget()->height(), 437);
}

// A held key is one press: its repeats start no round and switch no music (a real press of Space
// would pause a second, so only repeats are sent); a held letter still works its hole each time.
TEST_F(GameWindowTest, heldCommandKeysActOnceWhileHeldLettersRepeatAndF11SwitchesFullScreen)
{
    GameState& s = window.form().state;
    sendKey(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    sendKey(Qt::Key_F2, Qt::NoModifier, QString(), true);
    EXPECT_EQ(s.gameStopped, s.flagOn) << "a repeated Space or F2 started a round";
    sendKey(Qt::Key_F1, Qt::NoModifier, QString(), true);
    EXPECT_TRUE(window.bgmItem()->isChecked()) << "a repeated F1 switched the music";

    s.gameStopped = s.flagOff; // a round, without its real one-second "START"
    sendKey(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    sendKey(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), true);
    EXPECT_EQ(s.moleDirByHole[1], s.dirDown) << "the repeated 'a' did not turn the mole back";

    sendKey(Qt::Key_F11, Qt::NoModifier, QString());
    EXPECT_TRUE(window.windowState() & Qt::WindowFullScreen);
    sendKey(Qt::Key_F11, Qt::NoModifier, QString(), true);
    EXPECT_TRUE(window.windowState() & Qt::WindowFullScreen) << "a held F11 switched back";
    sendKey(Qt::Key_F11, Qt::NoModifier, QString());
    EXPECT_FALSE(window.windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(s.gameStopped, s.flagOff);
}

// However a menu closes, here with Esc, the keys go back to the game rather than to the menu bar.
TEST_F(GameWindowTest, aMenuClosedWithEscGivesTheKeysBackToTheGame)
{
    window.activateWindow();
    QMenu* menu = topLevel()[0]->menu();
    window.menuBar()->setActiveAction(topLevel()[0]);
    ASSERT_TRUE(menu->isVisible());
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(menu, &esc);
    EXPECT_FALSE(menu->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), &window) << "the menu bar kept the keys";
}

// Keys typed during START's one-second pause wait in the queue: a Space or F2 among them starts no
// second pause (it would reset the holes again), while a letter reaches the new round.
TEST_F(GameWindowTest, startsTypedDuringTheStartPauseAreLeftOutWhileLettersReachTheNewRound)
{
    const auto post = [this](int key, const QString& text) {
        QApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    };
    post(Qt::Key_Space, QStringLiteral(" "));
    post(Qt::Key_A, QStringLiteral("a"));
    post(Qt::Key_F2, QString());
    post(Qt::Key_Space, QStringLiteral(" "));
    sendKey(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::processEvents();
    const GameState& s = window.form().state;
    EXPECT_EQ(s.gameStopped, s.flagOff);
    EXPECT_EQ(s.moleDirByHole[1], s.dirUp) << "a start after the letter reset hole 1";
    EXPECT_GT(s.moleStageByHole[1], 1) << "(the round's ticks may have raised it further)";
}

namespace {

// Presses or releases a button and lets the window read it.
void set(VirtualPad& pad, int button, bool down)
{
    pad.queue(button, down);
    EXPECT_TRUE(takeControllerEvents()) << "the window did not read the controllers";
}

void tap(VirtualPad& pad, int button)
{
    pad.queue(button, true);
    set(pad, button, false);
}

// A pad plugged into the running game; until the window has opened it, SDL reports nothing of its buttons.
struct PluggedInPad : VirtualPad {
    explicit PluggedInPad(Uint16 vendor = 0, Uint16 product = 0) : VirtualPad(vendor, product)
    {
        EXPECT_TRUE(takeControllerEvents());
    }
};

// SDL's joysticks held by the test, so a pad can be attached before the window starts its controllers.
struct PadBeforeWindow {
    struct Joysticks {
        Joysticks() { SDL_InitSubSystem(SDL_INIT_JOYSTICK); }
        ~Joysticks() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }
    } joysticks;
    VirtualPad pad;
};

// The window with the focus, and the game's state as the controllers' checks read it.
class ControllerWindowTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        window.activateWindow();
        ASSERT_TRUE(runUntil([this] { return QApplication::activeWindow() == &window; }));
        ASSERT_TRUE(takeControllerEvents());
    }

    // A round, without its real one-second START.
    GameState& inRound()
    {
        GameState& s = window.form().state;
        s.gameStopped = s.flagOff;
        return s;
    }
    // The holes whose moles go up, 1 to 4.
    std::vector<int> holesGoingUp()
    {
        const GameState& s = window.form().state;
        std::vector<int> holes;
        for (int hole = 1; hole <= 4; ++hole)
            if (s.moleDirByHole[hole] == s.dirUp)
                holes.push_back(hole);
        return holes;
    }
};

// With a pad plugged in before the window started: bases are built in order, so the pad comes first.
class GameControllerTest : public PadBeforeWindow, public ControllerWindowTest {};

// SDL's database holds two mappings for a Nintendo pad, one by label and one by position, and keeps the one the
// hint asks for as its joysticks start; these two stand for them on a virtual pad with a Switch Pro Controller's
// ids: b0 is the bottom button (labelled B), b1 the right (A), b2 the left (Y), b3 the top (X).
class NintendoPadTest : public ControllerWindowTest {
protected:
    static void SetUpTestSuite()
    {
        ControllerWindowTest::SetUpTestSuite();
        SDL_SetHint(SDL_HINT_GAMECONTROLLERCONFIG,
                    "ff0000007e0500000920000000007601,Nintendo Switch Pro Controller,a:b1,b:b0,x:b3,y:b2,"
                    "hint:SDL_GAMECONTROLLER_USE_BUTTON_LABELS:=1,\n"
                    "ff0000007e0500000920000000007601,Nintendo Switch Pro Controller,a:b0,b:b1,x:b2,y:b3,"
                    "hint:!SDL_GAMECONTROLLER_USE_BUTTON_LABELS:=1,\n");
    }
};

using Holes = std::vector<int>;

} // namespace

// A Start pressed during START's pause starts no second pause (it would reset the holes again), while a hole's
// button pressed then reaches the new round, as with the keyboard.
TEST_F(GameControllerTest, startStartsARoundAndAStartPressedDuringItsPauseStartsNoOther)
{
    pad.queue(SDL_CONTROLLER_BUTTON_START, true);
    pad.queue(SDL_CONTROLLER_BUTTON_START, false);
    pad.queue(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    pad.queue(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_TRUE(takeControllerEvents());
    const GameState& s = window.form().state;
    EXPECT_EQ(s.gameStopped, s.flagOff) << "Start started no round";
    EXPECT_EQ(holesGoingUp(), Holes{1}) << "a second start reset hole 1";
}

// The d-pad and the face buttons mirror each other: left and west, down and south, up and north, right and
// east. Both of a key's buttons held make one press.
TEST_F(GameControllerTest, eachHoleTakesItsDpadButtonAndItsFaceButtonAndAKeyHeldTwiceIsOnePress)
{
    inRound();
    const std::array<std::pair<int, int>, 4> lanes{{{SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_X},
                                                    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, SDL_CONTROLLER_BUTTON_A},
                                                    {SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_Y},
                                                    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_B}}};
    for (int hole = 1; hole <= 4; ++hole) {
        const auto [dpad, face] = lanes[hole - 1];
        tap(pad, dpad);
        EXPECT_EQ(holesGoingUp(), Holes{hole}) << "the d-pad's button of hole " << hole;
        tap(pad, face);
        EXPECT_EQ(holesGoingUp(), Holes{}) << "the face button of hole " << hole;
    }
    set(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    tap(pad, SDL_CONTROLLER_BUTTON_X);
    EXPECT_EQ(holesGoingUp(), Holes{1}) << "west turned the mole back while the d-pad held A";
    set(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    tap(pad, SDL_CONTROLLER_BUTTON_X);
    EXPECT_EQ(holesGoingUp(), Holes{});
}

// A held button is one press, however often the window reads the pads: no pad repeats. Home belongs to the
// system; the sticks, triggers, shoulders and the other extra buttons have no key.
TEST_F(GameControllerTest, backSwitchesTheMusicOnceWhileHeldAndSticksTriggersShouldersAndHomeDoNothing)
{
    const GameState& s = inRound();
    QAction* bgm = window.bgmItem();
    set(pad, SDL_CONTROLLER_BUTTON_BACK, true);
    EXPECT_FALSE(bgm->isChecked());
    for (int read = 0; read < 3; ++read) {
        SDL_Event marker{};
        marker.type = SDL_USEREVENT;
        SDL_PushEvent(&marker);
        EXPECT_TRUE(takeControllerEvents());
    }
    EXPECT_FALSE(bgm->isChecked()) << "a held Back switched the music again";
    set(pad, SDL_CONTROLLER_BUTTON_BACK, false);
    tap(pad, SDL_CONTROLLER_BUTTON_BACK);
    EXPECT_TRUE(bgm->isChecked());

    const std::array others{SDL_CONTROLLER_BUTTON_GUIDE,        SDL_CONTROLLER_BUTTON_LEFTSTICK,
                            SDL_CONTROLLER_BUTTON_RIGHTSTICK,   SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
                            SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_MISC1,
                            SDL_CONTROLLER_BUTTON_PADDLE1,      SDL_CONTROLLER_BUTTON_PADDLE2,
                            SDL_CONTROLLER_BUTTON_PADDLE3,      SDL_CONTROLLER_BUTTON_PADDLE4,
                            SDL_CONTROLLER_BUTTON_TOUCHPAD};
    for (const Sint16 value : {SDL_JOYSTICK_AXIS_MAX, SDL_JOYSTICK_AXIS_MIN}) {
        for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis)
            pad.queueAxis(axis, value);
        for (const int button : others)
            pad.queue(button, value == SDL_JOYSTICK_AXIS_MAX);
        EXPECT_TRUE(takeControllerEvents());
    }
    EXPECT_EQ(holesGoingUp(), Holes{});
    EXPECT_TRUE(bgm->isChecked());
    EXPECT_EQ(s.gameStopped, s.flagOff);
}

// Steam shows a pad twice, beside the real one: a press on both is one press.
TEST_F(GameControllerTest, twoControllersBothWorkAndOneKeyPressedOnBothActsOnce)
{
    inRound();
    PluggedInPad second;
    tap(second, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    EXPECT_EQ(holesGoingUp(), Holes{4});
    tap(pad, SDL_CONTROLLER_BUTTON_B);
    EXPECT_EQ(holesGoingUp(), Holes{});

    pad.queue(SDL_CONTROLLER_BUTTON_A, true);
    second.queue(SDL_CONTROLLER_BUTTON_A, true);
    pad.queue(SDL_CONTROLLER_BUTTON_A, false);
    second.queue(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_TRUE(takeControllerEvents());
    EXPECT_EQ(holesGoingUp(), Holes{2}) << "the press on both pads turned the mole twice";
}

TEST_F(GameControllerTest, aPadUnpluggedMidRoundLeavesTheRoundAndTheKeysGoingAndOnePluggedInWorksAtOnce)
{
    const GameState& s = inRound();
    {
        PluggedInPad unplugged;
        set(unplugged, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
        EXPECT_EQ(holesGoingUp(), Holes{1});
    }
    EXPECT_TRUE(takeControllerEvents());
    EXPECT_EQ(s.gameStopped, s.flagOff);
    sendKey(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(holesGoingUp(), Holes{});
    tap(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    EXPECT_EQ(holesGoingUp(), Holes{1}) << "the unplugged pad still held A";
    PluggedInPad pluggedIn;
    tap(pluggedIn, SDL_CONTROLLER_BUTTON_X);
    EXPECT_EQ(holesGoingUp(), Holes{});
}

// The about box is the game's own: south presses its OK and nothing else; the d-pad and Start do nothing there.
TEST_F(GameControllerTest, southClosesTheAboutBoxAsItsOkAndNoHoleActs)
{
    inRound();
    bool okLeftAloneByOthers = false;
    bool closedBySouth = false;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = nullptr;
        if (!runUntil([&] { return (box = qobject_cast<QMessageBox*>(QApplication::activeWindow())) != nullptr; }))
            return;
        tap(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        tap(pad, SDL_CONTROLLER_BUTTON_START);
        okLeftAloneByOthers = box->isVisible() && !box->button(QMessageBox::Ok)->isDown();
        tap(pad, SDL_CONTROLLER_BUTTON_A);
        closedBySouth = runUntil([] { return QApplication::activeModalWidget() == nullptr; });
        // So the test cannot hang.
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    topLevel()[2]->trigger();
    EXPECT_TRUE(okLeftAloneByOthers) << "the d-pad or Start pressed OK";
    EXPECT_TRUE(closedBySouth);
    EXPECT_EQ(holesGoingUp(), Holes{}) << "a hole acted while the box was open";
}

TEST_F(GameControllerTest, nothingActsWhileAnotherWindowHasTheFocus)
{
    inRound();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(runUntil([&] { return QApplication::activeWindow() == &other; }));
    tap(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    tap(pad, SDL_CONTROLLER_BUTTON_BACK);
    EXPECT_EQ(holesGoingUp(), Holes{});
    EXPECT_TRUE(window.bgmItem()->isChecked());
}

// Quitting stays with Esc, the menu and the window; the game would end the test program with status 0.
TEST_F(GameControllerTest, noButtonEndsTheGame)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Start pauses a second; it is pressed in the round test.
            for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button)
                if (button != SDL_CONTROLLER_BUTTON_START)
                    tap(pad, button);
            std::_Exit(3);
        },
        testing::ExitedWithCode(3), "");
}

// With SDL_GAMECONTROLLER_USE_BUTTON_LABELS at 0, a Nintendo pad's labels do not count: its bottom button
// (labelled B) is south and works hole 2, its right one (labelled A) east and hole 4.
TEST_F(NintendoPadTest, aNintendoPadActsByWhereItsButtonsSit)
{
    inRound();
    PluggedInPad nintendo(0x057e, 0x2009);
    tap(nintendo, 0);
    EXPECT_EQ(holesGoingUp(), Holes{2}) << "the bottom button";
    tap(nintendo, 1);
    EXPECT_EQ(holesGoingUp(), (Holes{2, 4})) << "the right button";
    tap(nintendo, 2);
    EXPECT_EQ(holesGoingUp(), (Holes{1, 2, 4})) << "the left button";
    tap(nintendo, 3);
    EXPECT_EQ(holesGoingUp(), (Holes{1, 2, 3, 4})) << "the top button";
}
