// SPDX-License-Identifier: GPL-3.0-or-later
// The browser's side of the game's seams: the page's clock, its HTML dialogs and menu, and its WebAudio
// sound library (web/sound_library.js), reached through the page's `zubotta` object.
#pragma once

#include "game/platform.h"
#include "sound/sound_library.h"

class PageClock final : public Clock {
public:
    double secondsSinceMidnight() override;
    double monotonicSeconds() override;
    // Gives the page its turn: input, painting and sound go on meanwhile.
    void sleepFor(double seconds) override;
};

class PageDialogs final : public Dialogs {
public:
    // An HTML dialog with one OK button; the game waits for it, as for any modal box.
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
};

class PageWindow final : public WindowSystem {
public:
    std::int32_t nativeHandle() override { return 1; }
    // The page lays itself out; a browser window is the player's to place.
    void placeWindow(double, double, double) override {}
    bool isBgmChecked() override;
    void setBgmChecked(bool checked) override;
    // Silences every sound, tells the page that the game has ended and stops the program.
    void endProgram() override;
};

class WebAudioSoundLibrary final : public SoundLibrary {
public:
    std::int32_t dsInitialize(std::int32_t window) override;
    SoundHandle dsCreateDSB(std::int32_t device, std::span<const std::uint8_t> wavImage,
                            std::int32_t bufferCount) override;
    std::int32_t dsPlay(SoundHandle sound) override;
    std::int32_t dsPlayLooping(SoundHandle sound) override;
    std::int32_t dsStop(SoundHandle sound) override;
    std::int32_t dsFree(SoundHandle sound) override;
    std::int32_t dsTerminate(std::int32_t device) override;
};
