// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt window of the game: menu bar, timer, the surface on screen, and the events routed to Form1.
#pragma once

#include "desktop/game_controllers.h"
#include "desktop/sdl_sound_library.h"
#include "desktop/system_seams.h"
#include "game/form1.h"
#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <QMainWindow>
#include <QTimer>

class QAction;
class QMessageBox;
class SurfaceView;

class GameWindow final : public QMainWindow, private WindowSystem {
public:
    GameWindow();

    // Runs Form_Load, then shows the window and lets the timer and the player in.
    void start();

    Form1& form() { return game; }
    QAction* bgmItem() const { return bgm; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::int32_t nativeHandle() override;
    void placeWindow(double leftTwips, double topTwips, double widthTwips) override;
    bool isBgmChecked() override;
    void setBgmChecked(bool checked) override;
    void endProgram() override;

    // Whether a window manager's frame has sides that can be trusted.
    bool isKnownFrame(const QMargins& frame) const;
    // The two side frames together, in logical pixels, to a fraction where the window manager states them.
    double sideWidth(const QMargins& frame) const;
    // The client width that gives the frame its designed outer width.
    int clientWidthFor(double sides) const;
    // Puts the frame's outer corner and width where the load step asked, for side frames this wide.
    void placeFrame(double sides);
    // Places the window again once its frame is known, unless a window manager gave it a size of its own.
    void placeOnceFramed();
    // Once the window manager has made the window active, places the frame once more at its corner and width.
    void checkFrameOnceActive();
    void buildMenus();
    // A key typed on the keyboard or pressed on a controller: the game's key-down, then its character.
    void typeKey(int virtualKey, const QString& text, bool autoRepeat);
    // A controller's key goes where the keyboard's would: to the game while its window has the focus, to
    // the game's own box (as its OK) while that has it, and nowhere while another program has it.
    void pressFromController(Qt::Key key, const QString& text);
    // The game's message box that has the focus, if one has.
    QMessageBox* focusedBox() const;
    // Hands an event to the game once start-up is over, then shows what it drew.
    template <typename Handler>
    void deliver(Handler handler);
    // The same for a round start (Space, F2, 開始), which pauses a second before it returns.
    template <typename Handler>
    void deliverStart(Handler handler);
    // The tick does nothing while no round runs, so its timer rests until a round starts.
    void restTimerWhileWaiting();

    SpriteCatalogue sprites;
    Surface surface;
    SystemClock clock;
    UnseededRandom random;
    MessageBoxes dialogs;
    SdlSoundLibrary sound;
    Form1 game;
    SurfaceView* view;
    QAction* bgm = nullptr;
    QTimer Timer1{this};
    GameControllers controllers{[this](Qt::Key key, const QString& text) { pressFromController(key, text); }};
    bool accepting = false;
    // While the input typed during a round start's pause is handled.
    bool startPauseJustEnded = false;
    // The outer corner and width the load step asked for; placed again once the frame is known.
    QRect designedFrame;
    // The size the window asked for before it was shown; a window manager that gives another keeps it.
    QSize askedSize;
    bool framed = false;
    // Placed again, and not yet checked at its corner and width.
    bool frameToCheck = false;
};
