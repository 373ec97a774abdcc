// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt window of the game: menu bar, timer, the surface on screen, and the events routed to Form1.
#include "desktop/game_window.h"

#include "desktop/surface_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace {

// The client area as designed: 8670 x 6555 twips.
constexpr int designWidth = 578;
constexpr int designHeight = 437;

// The virtual-key number of a Qt key, as the game's key-down handler knows them; 0 for others.
int virtualKey(int key)
{
    if (key == Qt::Key_Escape)
        return 27;
    if (key == Qt::Key_Space)
        return 32;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    return 0;
}

// The icon drawn at 32, 64, 128 and 256 pixels, so no desktop has to scale it: the game's own 32 pixels,
// the larger ones from the desktop's resources.
QIcon gameIcon(const Picture& small)
{
    const QImage pixels(reinterpret_cast<const uchar*>(small.pixels.data()), small.width, small.height,
                        small.width * static_cast<qsizetype>(sizeof(Rgb)), QImage::Format_ARGB32);
    QIcon icon(QPixmap::fromImage(pixels));
    for (const int size : {64, 128, 256})
        icon.addFile(QStringLiteral(":/art/icon-%1.png").arg(size));
    return icon;
}

// The frame's sides in device pixels, as the window manager states them in _NET_FRAME_EXTENTS.
std::optional<QMargins> statedFrameExtents(WId window)
{
    // The offscreen platform answers as X11 too, without a connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* const connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    constexpr std::string_view name = "_NET_FRAME_EXTENTS";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.data()), nullptr),
        &std::free);
    if (atom == nullptr || atom->atom == XCB_ATOM_NONE)
        return std::nullopt;
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, static_cast<xcb_window_t>(window), atom->atom,
                                                XCB_ATOM_CARDINAL, 0, 4),
                               nullptr),
        &std::free);
    if (property == nullptr || property->format != 32 || xcb_get_property_value_length(property.get()) != 16)
        return std::nullopt;
    // Left, right, top, bottom.
    const auto* sides = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    return QMargins(static_cast<int>(sides[0]), static_cast<int>(sides[2]), static_cast<int>(sides[1]),
                    static_cast<int>(sides[3]));
}

double screenPixelRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

} // namespace

GameWindow::GameWindow()
    : surface(designWidth, designHeight, screenPixelRatio()), dialogs(*this),
      game(Platform{surface, sprites, clock, random, dialogs, *this, sound, installedSoundFolder()}),
      view(new SurfaceView(surface, QSize(designWidth, designHeight), this))
{
    setWindowTitle(QStringLiteral("Zubotta"));
    setWindowIcon(gameIcon(sprites.icon()));
    setCentralWidget(view);
    buildMenus();
    resize(designWidth, designHeight + menuBar()->sizeHint().height());
    setFocusPolicy(Qt::StrongFocus);
    surface.setRefreshListener([this] { view->repaint(); });
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, [this] {
        deliver([this] { game.Timer1_Timer(); });
        // What the pads did during the tick's wait is taken at once, as the keys typed then are.
        controllers.pump();
    });
}

void GameWindow::buildMenus()
{
    QMenu* GAME = menuBar()->addMenu(QStringLiteral("ゲーム"));
    QAction* KAISI = GAME->addAction(QStringLiteral("開始"));
    QAction* OWARI = GAME->addAction(QStringLiteral("終了"));
    QMenu* OPTION = menuBar()->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ"));
    bgm = OPTION->addAction(QStringLiteral("BGM"));
    bgm->setCheckable(true);
    QAction* SONOTA = menuBar()->addAction(QStringLiteral("その他"));

    connect(KAISI, &QAction::triggered, this, [this] { deliverStart([this] { game.KAISI_Click(); }); });
    connect(OWARI, &QAction::triggered, this, [this] { deliver([this] { game.OWARI_Click(); }); });
    connect(bgm, &QAction::triggered, this, [this] {
        // Qt flips a checkable item before it reports the click; the music switch flips it itself.
        bgm->setChecked(!bgm->isChecked());
        deliver([this] { game.BGM_Click(); });
    });
    connect(SONOTA, &QAction::triggered, this, [this] { deliver([this] { game.SONOTA_Click(); }); });
    // However a menu closes, the keys go back to the game, not to the menu bar's keyboard mode.
    for (const QMenu* menu : {GAME, OPTION})
        connect(menu, &QMenu::aboutToHide, this, [this] { QTimer::singleShot(0, this, [this] { setFocus(); }); });
}

void GameWindow::start()
{
    game.Form_Load();
    show();
    setFocus();
    accepting = true;
    restTimerWhileWaiting();
}

template <typename Handler>
void GameWindow::deliver(Handler handler)
{
    // Form_Load's message boxes run a nested event loop; nothing of the game runs before it ends.
    if (!accepting)
        return;
    handler();
    if (!surface.takeChanges().empty())
        view->update();
    restTimerWhileWaiting();
}

template <typename Handler>
void GameWindow::deliverStart(Handler handler)
{
    // A start asked for during another's pause starts no second pause.
    if (!accepting || startPauseJustEnded)
        return;
    deliver(handler);
    // What was typed or pressed on a controller during the pause waits in the queues: handled now,
    // letters reach the new round and Esc or a close end the game at once, while further starts are
    // left out. The controllers are read here too, as a start they pressed came from their own read.
    startPauseJustEnded = true;
    QCoreApplication::processEvents();
    controllers.pump();
    startPauseJustEnded = false;
}

void GameWindow::restTimerWhileWaiting()
{
    const bool waiting = game.state.gameStopped == game.state.flagOn;
    if (waiting)
        Timer1.stop();
    else if (!Timer1.isActive())
        Timer1.start();
}

void GameWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F11) {
        if (!event->isAutoRepeat())
            setWindowState(windowState() ^ Qt::WindowFullScreen);
        return;
    }
    typeKey(virtualKey(event->key()), event->text(), event->isAutoRepeat());
}

void GameWindow::typeKey(int key, const QString& text, bool autoRepeat)
{
    // A held key is one press; its repeated characters still reach the letters, as designed.
    const bool startsRound = key == 32 || key == 113;
    if (!autoRepeat && startsRound)
        deliverStart([this, key] { game.Form_KeyDown(key, 0); });
    else if (!autoRepeat)
        deliver([this, key] { game.Form_KeyDown(key, 0); });
    if (!text.isEmpty())
        deliver([this, &text] { game.Form_KeyPress(text.at(0).unicode()); });
}

void GameWindow::pressFromController(Qt::Key key, const QString& text)
{
    if (QApplication::activeWindow() == this)
        typeKey(virtualKey(key), text, false);
    else if (QMessageBox* const box = focusedBox(); box != nullptr && key == Qt::Key_Return)
        // Shown pressed a moment, as a key pressing it would; the box closes after this press's other keys.
        box->button(QMessageBox::Ok)->animateClick();
}

QMessageBox* GameWindow::focusedBox() const
{
    auto* const box = qobject_cast<QMessageBox*>(QApplication::activeWindow());
    return box != nullptr && box->parentWidget() == this ? box : nullptr;
}

void GameWindow::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = view->pictureGeometry().toPicture(view->mapFrom(this, event->position())) *
                       Surface::twipsPerPixel;
    deliver([this, event, at] { game.Form_MouseDown(event->button(), 0, at.x(), at.y()); });
}

void GameWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    game.Form_Unload();
}

std::int32_t GameWindow::nativeHandle()
{
    // The X11 window id; a platform without one still gets a nonzero value.
    const auto id = static_cast<std::int32_t>(winId());
    return id != 0 ? id : 1;
}

void GameWindow::placeWindow(double leftTwips, double topTwips, double widthTwips)
{
    create();
    designedFrame = QRect(Surface::toPixel(leftTwips), Surface::toPixel(topTwips), Surface::toPixel(widthTwips), 0);
    const QMargins frame = windowHandle()->frameMargins();
    framed = isKnownFrame(frame);
    placeFrame(framed ? sideWidth(frame) : 0);
    askedSize = size();
    windowHandle()->installEventFilter(this);
    connect(windowHandle(), &QWindow::activeChanged, this, [this] { checkFrameOnceActive(); });
}

bool GameWindow::isKnownFrame(const QMargins& frame) const
{
    // Read while a window manager is still building the frame, its sides can come out impossible.
    const bool possible = frame.left() >= 0 && frame.top() >= 0 && frame.right() >= 0 && frame.bottom() >= 0 &&
                          frame.left() + frame.right() < designedFrame.width() / 2;
    return possible && !frame.isNull();
}

double GameWindow::sideWidth(const QMargins& frame) const
{
    // Qt rounds the sides to whole logical pixels: a 1-pixel side at scale 3 would count as none.
    const std::optional<QMargins> stated = statedFrameExtents(winId());
    if (!stated)
        return frame.left() + frame.right();
    return (stated->left() + stated->right()) / windowHandle()->devicePixelRatio();
}

int GameWindow::clientWidthFor(double sides) const
{
    return static_cast<int>(std::lround(designedFrame.width() - sides));
}

void GameWindow::placeFrame(double sides)
{
    const int clientWidth = clientWidthFor(sides);
    resize(clientWidth, height());
    // The outer corner: a window manager puts the frame there, wherever its size turns out to be.
    windowHandle()->setFramePosition(designedFrame.topLeft());
    view->setPictureSize(QSize(clientWidth, designHeight));
}

bool GameWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A window manager frames the window before it is exposed, so the frame's size is known from
    // then on. Until then each expose looks again.
    if (!framed && event->type() == QEvent::Expose)
        placeOnceFramed();
    return QMainWindow::eventFilter(watched, event);
}

void GameWindow::placeOnceFramed()
{
    // Placed again, once, so the outer width is as designed; a request made earlier, while openbox is
    // still taking the window in, can be lost (its corner or width left as first placed). A window
    // manager that gave the window a size of its own (a tiling one) keeps it: placed again, Qt would
    // believe the refused size and never see its own. With no window manager nothing changes; a
    // window the player moves later stays put.
    const QMargins frame = windowHandle()->frameMargins();
    framed = isKnownFrame(frame);
    if (framed && windowHandle()->size() == askedSize) {
        placeFrame(sideWidth(frame));
        frameToCheck = true;
    }
    else if (framed)
        view->setPictureSize(QSize(clientWidthFor(sideWidth(frame)), designHeight));
}

void GameWindow::checkFrameOnceActive()
{
    // Once the window is active its frame is surely known, even where an expose came too early to
    // tell. Openbox now and then leaves the frame as first placed, while Qt believes what it asked:
    // as wide as first asked, or where it first stood (its client at the asked corner, the title bar
    // above the screen). So the frame is placed once more, and steps away and back, as openbox takes
    // a request for the point where the client already stands as no move; each step asks for the
    // width too.
    if (!windowHandle()->isActive())
        return;
    if (!framed)
        placeOnceFramed();
    if (!frameToCheck)
        return;
    frameToCheck = false;
    placeFrame(sideWidth(windowHandle()->frameMargins()));
    windowHandle()->setFramePosition(designedFrame.topLeft() + QPoint(0, 1));
    windowHandle()->setFramePosition(designedFrame.topLeft());
}

bool GameWindow::isBgmChecked()
{
    return bgm->isChecked();
}

void GameWindow::setBgmChecked(bool checked)
{
    bgm->setChecked(checked);
}

void GameWindow::endProgram()
{
    // At once: no queued tick or key may reach the game after its sounds are freed.
    std::fflush(nullptr);
    std::_Exit(0);
}
