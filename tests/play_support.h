// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the tests of start-up, rounds, menus and input: sound files in a scratch folder,
// a rig that logs window and dialog events between the sound calls, playing a round out, and pixels.
#pragma once

#include "fakes.h"
#include "surface_probe.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace play {

// The seven sound files in the order the game loads them.
inline const std::vector<std::string> soundNames{
    "その他.wav", "禁止.wav", "打音.wav", "BGM.wav", "空振.wav", "TIMEOUT.wav", "モグラ.wav",
};

// Makes a scratch folder holding the named files (a few bytes each; the recording library does not
// parse them) and works in it until destroyed.
class SoundFolder {
public:
    explicit SoundFolder(const std::vector<std::string>& names = soundNames)
    {
        previous = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "zubotta-sounds-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        for (const auto& name : names)
            std::ofstream(folder / name, std::ios::binary) << "RIFF";
        std::filesystem::current_path(folder);
    }
    ~SoundFolder()
    {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    SoundFolder(const SoundFolder&) = delete;
    SoundFolder& operator=(const SoundFolder&) = delete;

private:
    std::filesystem::path previous;
    std::filesystem::path folder;
};

// Form_Load with all seven sounds present: handles 1 to 7 in load order.
inline Form1& loadedWithSounds(GameRig& rig)
{
    SoundFolder sounds;
    return rig.loaded();
}

// A window system and dialogs that write into the sound library's log, so the order of sound calls,
// check-mark changes, message boxes and the program's end can be read from one list.
class LoggingWindowSystem final : public WindowSystem {
public:
    explicit LoggingWindowSystem(RecordingSoundLibrary& log) : log(log) {}
    std::int32_t nativeHandle() override { return 4242; }
    void placeWindow(double, double, double) override { log.calls.push_back({"placeWindow", 0}); }
    bool isBgmChecked() override { return checked; }
    void setBgmChecked(bool on) override
    {
        checked = on;
        log.calls.push_back({"setBgmChecked", on ? 1 : 0});
    }
    void endProgram() override { log.calls.push_back({"endProgram", 0}); }
    bool checked = false;

private:
    RecordingSoundLibrary& log;
};

class LoggingDialogs final : public Dialogs {
public:
    explicit LoggingDialogs(RecordingSoundLibrary& log) : log(log) {}
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        shown.push_back({text, title, icon});
        log.calls.push_back({"showMessage", static_cast<std::int32_t>(shown.size())});
    }
    std::vector<ShownMessage> shown;

private:
    RecordingSoundLibrary& log;
};

struct OrderRig {
    SpriteCatalogue sprites;
    Surface surface{578, 437};
    FakeClock clock;
    ScriptedRandom random;
    RecordingSoundLibrary log;
    LoggingWindowSystem window{log};
    LoggingDialogs dialogs{log};
    Form1 game{Platform{surface, sprites, clock, random, dialogs, window, log}};

    Form1& loadedWithSounds()
    {
        SoundFolder sounds;
        game.Form_Load();
        log.calls.clear();
        return game;
    }
};

// Runs the tick until the round is over (bounded: a round is about 430 ticks).
inline void playOut(Form1& game)
{
    for (int tick = 0; tick < 5000 && game.state.gameStopped != game.state.flagOn; ++tick)
        game.Timer1_Timer();
    ASSERT_EQ(game.state.gameStopped, game.state.flagOn) << "the round never ended";
}

// The pixels of an area that differ between two images of the same size.
inline std::vector<QPoint> differences(const QImage& a, const QImage& b, const QRect& area)
{
    std::vector<QPoint> found;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                found.push_back({x, y});
    return found;
}

// Whether a picture shows at its natural size with its top-left corner at a pixel of the surface,
// comparing only the picture's rows first..last.
inline bool showsPictureRows(const Surface& surface, const Picture& picture, QPoint at, int first, int last)
{
    for (int y = first; y <= last; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (surface.pixelAt(at.x() + x, at.y() + y) != picture.pixel(x, y))
                return false;
    return true;
}

// The top-left pixel of hole h's key button.
inline QPoint buttonCorner(const GameState& s, int h)
{
    return {Surface::toPixel((h + 0.2) * s.columnWidth), Surface::toPixel(s.buttonRow * s.rowHeight)};
}

} // namespace play
