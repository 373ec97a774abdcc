// SPDX-License-Identifier: GPL-3.0-or-later
// The game controllers, through SDL: every pad attached, its buttons taken by where they sit, turned into
// presses of the game's keys.
#pragma once

#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

struct _SDL_GameController;
union SDL_Event;

class GameControllers final {
public:
    // A key of the keyboard a controller presses: Qt's key and the text it types.
    using KeyPress = std::function<void(Qt::Key key, const QString& text)>;

    // SDL's events are read from Qt's loop: at the tick's pace while a pad is attached, so a press waits no
    // longer while the game waits than in a round (each wakeup costs, about 0.1 ms on a small virtual
    // machine: read every 10 ms, a pad more than doubled the game's 0.8 % of a core while waiting); with
    // no pad, now and then, to find one plugged in.
    static constexpr int attachedPumpMs = 70;
    static constexpr int idlePumpMs = 250;

    explicit GameControllers(KeyPress press);
    GameControllers(const GameControllers&) = delete;
    GameControllers& operator=(const GameControllers&) = delete;

    // Reads what the pads did since the last look and presses the keys that went down.
    void pump();

private:
    // SDL's game controller subsystem, up while this lives, beside whatever else of SDL is up.
    class Subsystem {
    public:
        Subsystem();
        ~Subsystem();
        Subsystem(const Subsystem&) = delete;
        Subsystem& operator=(const Subsystem&) = delete;
        const bool up;
    };
    struct ControllerCloser {
        void operator()(_SDL_GameController* controller) const;
    };
    struct Controller {
        std::unique_ptr<_SDL_GameController, ControllerCloser> handle;
        std::uint32_t heldButtons = 0;  // one bit per SDL_GameControllerButton
    };

    void handle(const SDL_Event& event);
    void open(int deviceIndex);
    void changeButton(std::int32_t controller, int button, bool down);
    std::uint32_t heldByAny() const;

    // Declared first, so the subsystem outlives the handles.
    Subsystem subsystem;
    KeyPress press;
    std::map<std::int32_t, Controller> controllers;  // by SDL's instance id
    QTimer pumpTimer;
};
