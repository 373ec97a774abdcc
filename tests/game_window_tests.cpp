// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt game window in-process: menu bar, the BGM check mark, the about box, keys and clicks routed to the game.
#include "desktop/game_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

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
