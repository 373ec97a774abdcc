// SPDX-License-Identifier: GPL-3.0-or-later
// SDL's own virtual game controller, for the tests and the benchmark to press buttons on the real game window
// without a device, and Qt's loop run until the window has read what it did.
#pragma once

#include <SDL.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <stdexcept>
#include <string>

// Runs Qt's loop until the condition holds, for at most the given time; whether it held.
template <typename Condition>
bool runUntil(Condition done, int milliseconds = 2000)
{
    // A timer of its own wakes the loop, whatever else runs or rests.
    QTimer wake;
    wake.start(10);
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Runs Qt's loop until the game window has read all that SDL holds, what the pads did since SDL last looked
// included; whether it did within two seconds.
inline bool takeControllerEvents()
{
    SDL_PumpEvents();
    return runUntil([] { return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0; });
}

// A virtual pad, attached while this lives, once SDL's joysticks are up. Its buttons are numbered as SDL's
// controller buttons, unless a mapping for its ids says otherwise.
class VirtualPad {
public:
    explicit VirtualPad(Uint16 vendor = 0, Uint16 product = 0)
    {
        SDL_VirtualJoystickDesc description{};
        description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        description.naxes = SDL_CONTROLLER_AXIS_MAX;
        description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        description.vendor_id = vendor;
        description.product_id = product;
        joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&description));
        if (joystick == nullptr)
            throw std::runtime_error(std::string("no virtual pad: ") + SDL_GetError());
    }
    ~VirtualPad()
    {
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        for (int index = 0; index < SDL_NumJoysticks(); ++index)
            if (SDL_JoystickGetDeviceInstanceID(index) == id)
                SDL_JoystickDetachVirtual(index);
        SDL_JoystickClose(joystick);
    }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    // Presses or releases a button, as a player does: SDL sees it when the window next reads the pads. A
    // virtual pad has no queue of its own, so a change the window has not read yet is lost to the next one.
    // Any thread may do this.
    void setButton(int button, bool down)
    {
        SDL_JoystickSetVirtualButton(joystick, button, down ? SDL_PRESSED : SDL_RELEASED);
    }
    // The same, and SDL looks at once, so the change waits in SDL's queue for the window, as a real pad's
    // input waits in the system's, and the next change comes after it.
    void queue(int button, bool down)
    {
        setButton(button, down);
        SDL_PumpEvents();
    }
    void queueAxis(int axis, Sint16 value)
    {
        SDL_JoystickSetVirtualAxis(joystick, axis, value);
        SDL_PumpEvents();
    }

private:
    SDL_Joystick* joystick = nullptr;
};
