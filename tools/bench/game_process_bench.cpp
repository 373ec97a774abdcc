// SPDX-License-Identifier: GPL-3.0-or-later
// The real game measured from outside, as a player's machine runs it: the `zubotta` program started
// with fork and exec in a private X server (Xvfb), in a scratch folder holding the seven sounds, with
// SDL's disk sound driver.
//
// Start-up: from just before the fork until the game's top-level window is viewable and a column of it
// shows the opening screen's olive ground band. Each start is a new process; only the first of a run
// can find the system's caches cold.
// Processor use: user and system time of all the game's threads, from /proc/<pid>/stat, over a stretch of
// waiting (no round: the window's 1 ms timer idling) and over a stretch of a round started with Space.
// Memory: VmRSS and VmHWM from /proc/<pid>/status after start-up and at the end of the round stretch.
#include "bench_figures.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

const char* const soundNames[] = {"モグラ.wav", "打音.wav", "空振.wav", "TIMEOUT.wav", "その他.wav", "禁止.wav", "BGM.wav"};

// The opening screen's ground band: olive from y 3130 to 4000 twips, that is pixels 209 to 266, and
// nothing but ground at client x 12.
constexpr unsigned long olive = 0x808000;
constexpr int groundColumn = 12;
constexpr int groundRowsWanted = 50;

double since(Steady::time_point start)
{
    return std::chrono::duration<double>(Steady::now() - start).count();
}

} // namespace

pid_t spawn(const std::vector<std::string>& command, const fs::path& folder, const std::vector<std::string>& extraEnv,
            const fs::path& log, int keepFd, int outputFd)
{
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& extra : extraEnv)
            replaced = replaced || extra.starts_with(name);
        if (!replaced)
            env.push_back(entry);
    }
    std::vector<char*> argv;
    for (const auto& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outputFd >= 0 ? outputFd : out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        if (chdir(folder.c_str()) == 0)
            execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out);
    if (pid < 0)
        throw std::runtime_error("cannot start " + command[0]);
    return pid;
}

void stop(pid_t pid, int signal)
{
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
}

namespace {

// A private X server on a display number it picks itself.
class XServer {
public:
    explicit XServer(const fs::path& work)
    {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        pid = spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp"},
                    work, {}, work / "xvfb.log", ready[1]);
        close(ready[1]);
        // The number, then a newline in a write of its own: the server ends if it cannot write that.
        std::string number;
        char c = 0;
        while (read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ready[0]);
        if (c != '\n') {
            stop(pid);
            throw std::runtime_error("Xvfb did not start");
        }
        name = ":" + number;
        display = XOpenDisplay(name.c_str());
        if (display == nullptr) {
            stop(pid);
            throw std::runtime_error("cannot open " + name);
        }
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); // a window gone between two requests
    }
    ~XServer()
    {
        XCloseDisplay(display);
        stop(pid);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // The viewable top-level window of a process, or 0.
    Window windowOf(pid_t process) const
    {
        const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
            return 0;
        for (unsigned i = 0; i < count && found == 0; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) == 0 || attributes.map_state != IsViewable)
                continue;
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* value = nullptr;
            if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                   &after, &value) == Success &&
                value != nullptr) {
                if (items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(value)) == process)
                    found = children[i];
                XFree(value);
            }
        }
        if (children != nullptr)
            XFree(children);
        return found;
    }

    // The pixels of a column of the window (client x from its left edge), or of the whole window when the
    // column is -1, where it lies on the screen; empty if it cannot be read.
    std::vector<unsigned long> pixels(Window window, int column) const
    {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) == 0)
            return {};
        int left = 0, top = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top, &child);
        const int x = std::max(column, 0) - std::min(left, 0);
        const int y = -std::min(top, 0);
        const int width = column >= 0 ? 1 : attributes.width - x;
        const int height = attributes.height - y;
        XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return {};
        std::vector<unsigned long> result;
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col)
                result.push_back(XGetPixel(image, col, row));
        XDestroyImage(image);
        return result;
    }

    // Whether the window shows the opening screen's ground band.
    bool showsGround(Window window) const
    {
        const auto column = pixels(window, groundColumn);
        return std::count(column.begin(), column.end(), olive) >= groundRowsWanted;
    }

    // A key press and release delivered to the window, as xdotool's --window does.
    void pressKey(Window window, KeySym key) const
    {
        XKeyEvent event{};
        event.display = display;
        event.window = window;
        event.root = DefaultRootWindow(display);
        event.same_screen = True;
        event.keycode = XKeysymToKeycode(display, key);
        event.type = KeyPress;
        XSendEvent(display, window, True, KeyPressMask, reinterpret_cast<XEvent*>(&event));
        event.type = KeyRelease;
        XSendEvent(display, window, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&event));
        XFlush(display);
    }

    std::string name;

private:
    pid_t pid = 0;
    Display* display = nullptr;
};

// User plus system seconds of a process, all its threads.
double processorSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
        fields >> skipped;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A field of /proc/<pid>/status in kB.
long statusKb(pid_t pid, const std::string& name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(name + ":"))
            return std::stol(line.substr(name.size() + 1));
    return 0;
}

// Percent of one core the process used over the given seconds from now.
double cpuPercentOver(pid_t pid, double seconds)
{
    const double startCpu = processorSeconds(pid);
    const auto start = Steady::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 100 * (processorSeconds(pid) - startCpu) / since(start);
}

} // namespace

GameProcessFigures measureGameProcess(const fs::path& game, const fs::path& soundFolder, int starts)
{
    GameProcessFigures figures;
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        figures.notMeasured = "Xvfb is not installed";
        return figures;
    }
    const fs::path work = fs::temp_directory_path() / ("zubotta-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "run");
    for (const char* name : soundNames)
        fs::copy_file(soundFolder / name, work / "run" / name, fs::copy_options::overwrite_existing);
    {
        XServer x(work);
        const std::vector<std::string> env = {"DISPLAY=" + x.name, "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=disk",
                                              "SDL_DISKAUDIOFILE=" + (work / "audio.raw").string()};
        for (int start = 0; start < starts; ++start) {
            const auto begin = Steady::now();
            const pid_t pid = spawn({fs::absolute(game).string()}, work / "run", env, work / "game.log");
            Window window = 0;
            while ((window == 0 || !x.showsGround(window)) && since(begin) < 15) {
                if (window == 0)
                    window = x.windowOf(pid);
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            if (window == 0 || !x.showsGround(window)) {
                stop(pid, SIGKILL);
                throw std::runtime_error("the game's opening screen did not appear (see " + (work / "game.log").string() + ")");
            }
            figures.startUpMs.push_back(1000 * since(begin));
            if (start == starts - 1) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                figures.rssAfterStartUpKb = statusKb(pid, "VmRSS");
                figures.hwmAfterStartUpKb = statusKb(pid, "VmHWM");
                figures.waitingSeconds = 10;
                figures.waitingCpuPercent = cpuPercentOver(pid, figures.waitingSeconds);
                const auto waitingPicture = x.pixels(window, -1);
                x.pressKey(window, XK_space);
                std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // the one-second START
                figures.roundSeconds = 10;
                figures.roundCpuPercent = cpuPercentOver(pid, figures.roundSeconds);
                figures.rssInRoundKb = statusKb(pid, "VmRSS");
                figures.hwmInRoundKb = statusKb(pid, "VmHWM");
                if (x.pixels(window, -1) == waitingPicture) {
                    stop(pid, SIGKILL);
                    throw std::runtime_error("Space did not start a round: the window did not change");
                }
            }
            stop(pid, SIGKILL); // SDL turns SIGTERM into a quit event that the game never reads
        }
    }
    fs::remove_all(work);
    return figures;
}
