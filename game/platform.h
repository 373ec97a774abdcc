// SPDX-License-Identifier: GPL-3.0-or-later
// The thin seams through which the game reaches the clock, randomness, dialogs and the window system.
#pragma once

#include <cstdint>
#include <string>

class Clock {
public:
    virtual ~Clock() = default;
    // Time of day in seconds since midnight, with its fraction.
    virtual double secondsSinceMidnight() = 0;
    // Seconds on a clock that never jumps; only differences mean anything.
    virtual double monotonicSeconds() = 0;
    // Gives the processor away for about this long.
    virtual void sleepFor(double seconds) = 0;
};

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // The next number of one fixed sequence, uniform in [0, 1).
    virtual float next() = 0;
};

enum class MessageIcon { none, warning };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal box with one OK button; returns when the player closes it.
    virtual void showMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    virtual std::int32_t nativeHandle() = 0;
    // Outer left and top edges and outer width, in twips; the height stays.
    virtual void placeWindow(double leftTwips, double topTwips, double widthTwips) = 0;
    virtual bool isBgmChecked() = 0;
    virtual void setBgmChecked(bool checked) = 0;
    // Ends the process at once; no game code runs afterwards.
    virtual void endProgram() = 0;
};
