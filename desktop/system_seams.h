// SPDX-License-Identifier: GPL-3.0-or-later
// The real clock and message boxes behind the game's seams, and where the installed sounds lie.
#pragma once

#include "game/platform.h"
#include "game/unseeded_random.h"

#include <QWidget>

#include <filesystem>

class SystemClock final : public Clock {
public:
    double secondsSinceMidnight() override;
    double monotonicSeconds() override;
    void sleepFor(double seconds) override;
};

// Boxes of the game's window, so window managers centre them over it and keep them above it.
class MessageBoxes final : public Dialogs {
public:
    explicit MessageBoxes(QWidget& owner) : owner(owner) {}
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override;

private:
    QWidget& owner;
};

// The installed sounds' folder, found from the running program's own folder, so a moved install finds them too.
std::filesystem::path installedSoundFolder();
