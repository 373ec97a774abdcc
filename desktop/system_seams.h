// SPDX-License-Identifier: GPL-3.0-or-later
// The real clock and message boxes behind the game's seams, and where the installed sounds lie.
#pragma once

#include "game/platform.h"
#include "game/unseeded_random.h"

#include <filesystem>

class SystemClock final : public Clock {
public:
    double secondsSinceMidnight() override;
    double monotonicSeconds() override;
    void sleepFor(double seconds) override;
};

class MessageBoxes final : public Dialogs {
public:
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
};

// The installed sounds' folder, found from the running program's own folder, so a moved install finds them too.
std::filesystem::path installedSoundFolder();
