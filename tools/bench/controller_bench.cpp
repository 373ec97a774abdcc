// SPDX-License-Identifier: GPL-3.0-or-later
// The real game window in-process, as the program builds it, on SDL's disk sound driver at real-time pace,
// with SDL's virtual game controller:
// - processor use while the game waits (no round, the music playing): all the program's threads
//   (getrusage), over a stretch of Qt's loop without a pad, then over one with a pad attached;
// - in a round, the time from a hole's button pressed to its mole sound's first sample as the mixer hands it
//   to the driver, and the same from the hole's key. Each press comes from another thread, at a time of its
//   own within the tick's 0.07 s wait, as a player's does. The window starts in a folder holding only the
//   mole sound, so no other sound can be taken for it.
#include "bench_figures.h"
#include "desktop/game_window.h"
#include "virtual_pad.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace {

using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

// User plus system seconds of this program, all its threads.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Percent of one core this program used over the given seconds of Qt's loop.
double cpuPercentOver(double seconds)
{
    const double startCpu = processorSeconds();
    const auto start = Steady::now();
    runFor(seconds);
    return 100 * (processorSeconds() - startCpu) / std::chrono::duration<double>(Steady::now() - start).count();
}

// A window started in its folder, with the focus, as a player's has it.
void startWithFocus(GameWindow& window)
{
    window.start();
    window.activateWindow();
    if (!runUntil([&] { return QApplication::activeWindow() == &window; }))
        throw std::runtime_error("the game window never had the focus");
}

void measureWaiting(ControllerFigures& figures)
{
    GameWindow window;
    startWithFocus(window);
    runFor(1);
    figures.waitingCpuPercent = cpuPercentOver(figures.seconds);
    const VirtualPad pad;
    if (!takeControllerEvents())
        throw std::runtime_error("the window did not open the virtual pad");
    figures.waitingWithPadCpuPercent = cpuPercentOver(figures.seconds);
}

void measurePresses(ControllerFigures& figures, int presses)
{
    GameWindow window;
    startWithFocus(window);
    VirtualPad pad;
    MixerProbe probe;
    probe.start();
    // Opened by the window first, or SDL would report nothing of its buttons.
    if (!takeControllerEvents())
        throw std::runtime_error("the window did not open the virtual pad");
    pad.queue(SDL_CONTROLLER_BUTTON_START, true);
    pad.queue(SDL_CONTROLLER_BUTTON_START, false);
    const GameState& s = window.form().state;
    if (!takeControllerEvents() || s.gameStopped != s.flagOff)
        throw std::runtime_error("Start did not start a round");

    const std::array buttons{SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                             SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
    const std::array keys{Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F};
    const std::array texts{"a", "s", "d", "f"};
    // Each hole goes up by its button and back down by its key, before the hammer can reach it.
    for (int press = 0; press < 2 * presses; ++press) {
        const std::size_t hole = std::size_t(press / 2) % 4;
        const bool byPad = press % 2 == 0;
        // Past the last mole sound (0.09 s), and at another place in the tick each time.
        const auto delay = std::chrono::duration<double>(0.15 + 0.07 * press / (2 * presses));
        std::atomic<Steady::rep> pressedAt{0};
        std::thread player([&] {
            std::this_thread::sleep_for(delay);
            probe.arm();
            pressedAt = Steady::now().time_since_epoch().count();
            if (byPad)
                pad.setButton(buttons[hole], true);
            else
                QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, keys[hole], Qt::NoModifier,
                                                                   QString::fromLatin1(texts[hole])));
        });
        // A hole the hammer has just struck takes no key until its mole is down again: no sound, no figure.
        const bool heard = runUntil([&] { return pressedAt != 0 && probe.heard(); }, 1000);
        player.join();
        if (heard)
            (byPad ? figures.padToSoundMs : figures.keyToSoundMs)
                .push_back(probe.latencyMs(Steady::time_point(Steady::duration(pressedAt))));
        if (byPad)
            pad.queue(buttons[hole], false);
    }
    std::sort(figures.padToSoundMs.begin(), figures.padToSoundMs.end());
    std::sort(figures.keyToSoundMs.begin(), figures.keyToSoundMs.end());
    if (figures.padToSoundMs.empty() || figures.keyToSoundMs.empty())
        throw std::runtime_error("no press was heard");
}

} // namespace

ControllerFigures measureControllers(const fs::path& soundFolder, int presses)
{
    const fs::path work = fs::temp_directory_path() / ("zubotta-bench-pad-" + std::to_string(getpid()));
    fs::create_directories(work / "all");
    fs::create_directories(work / "mole");
    for (const fs::directory_entry& file : fs::directory_iterator(soundFolder))
        if (file.path().extension() == ".wav")
            fs::copy_file(file.path(), work / "all" / file.path().filename());
    fs::copy_file(soundFolder / "モグラ.wav", work / "mole" / "モグラ.wav");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (work / "audio.raw").c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY"); // the driver's own real-time pace
    const fs::path before = fs::current_path();

    ControllerFigures figures;
    figures.seconds = 10;
    // The game reads its sounds from the folder it starts in.
    fs::current_path(work / "all");
    measureWaiting(figures);
    fs::current_path(work / "mole");
    measurePresses(figures, presses);
    fs::current_path(before);
    fs::remove_all(work);
    return figures;
}
