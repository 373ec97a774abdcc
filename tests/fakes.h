// SPDX-License-Identifier: GPL-3.0-or-later
// Test stand-ins for the game's seams: a clock the test moves, a scripted random source,
// recorded dialogs and sound calls, and a window system that only remembers.
#pragma once

#include "game/form1.h"
#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <cmath>
#include <deque>
#include <string>
#include <vector>

// Time passes only when the game sleeps or reads the clock, so a 30-second round runs in no time.
class FakeClock final : public Clock {
public:
    double secondsSinceMidnight() override { return std::fmod(startOfDay + elapsed, 86400.0); }
    double monotonicSeconds() override
    {
        elapsed += readingCost;
        return elapsed;
    }
    void sleepFor(double seconds) override
    {
        elapsed += seconds;
        slept += seconds;
    }
    void advance(double seconds) { elapsed += seconds; }

    double startOfDay = 45296.25;
    double elapsed = 0;
    double slept = 0;
    double readingCost = 0.000001;
};

class ScriptedRandom final : public RandomSource {
public:
    float next() override
    {
        if (script.empty())
            return fallback;
        const float value = script.front();
        script.pop_front();
        return value;
    }
    std::deque<float> script;
    float fallback = 0.9f;
};

struct ShownMessage {
    std::string text;
    std::string title;
    MessageIcon icon;
};

class RecordingDialogs final : public Dialogs {
public:
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        shown.push_back({text, title, icon});
    }
    std::vector<ShownMessage> shown;
};

class FakeWindowSystem final : public WindowSystem {
public:
    std::int32_t nativeHandle() override { return 4242; }
    void placeWindow(double left, double top, double width) override { placed = {left, top, width}; }
    bool isBgmChecked() override { return bgmChecked; }
    void setBgmChecked(bool checked) override { bgmChecked = checked; }
    void endProgram() override { ended = true; }

    std::vector<double> placed;
    bool bgmChecked = false;
    bool ended = false;
};

// One recorded call into the sound library, e.g. {"dsPlay", 3}.
struct SoundCall {
    std::string name;
    std::int32_t argument;
    bool operator==(const SoundCall&) const = default;
};

// Hands out handles 1, 2, 3... for every image it is given and records each call.
class RecordingSoundLibrary final : public SoundLibrary {
public:
    std::int32_t dsInitialize(std::int32_t window) override { return record("dsInitialize", window, device); }
    SoundHandle dsCreateDSB(std::int32_t, std::span<const std::uint8_t>, std::int32_t count) override
    {
        return record("dsCreateDSB", count, ++created);
    }
    std::int32_t dsPlay(SoundHandle sound) override { return record("dsPlay", sound, 0); }
    std::int32_t dsPlayLooping(SoundHandle sound) override { return record("dsPlayLooping", sound, 0); }
    std::int32_t dsStop(SoundHandle sound) override { return record("dsStop", sound, 0); }
    std::int32_t dsFree(SoundHandle sound) override { return record("dsFree", sound, 0); }
    std::int32_t dsTerminate(std::int32_t d) override { return record("dsTerminate", d, 0); }

    // The calls of one name, in order.
    std::vector<std::int32_t> argumentsOf(const std::string& name) const
    {
        std::vector<std::int32_t> found;
        for (const auto& call : calls)
            if (call.name == name)
                found.push_back(call.argument);
        return found;
    }

    std::vector<SoundCall> calls;
    std::int32_t device = 7;
    std::int32_t created = 0;

private:
    std::int32_t record(const char* name, std::int32_t argument, std::int32_t result)
    {
        calls.push_back({name, argument});
        return result;
    }
};

// The real game on the real surface and art, with every other seam faked.
struct GameRig {
    explicit GameRig(double devicePixelRatio = 1.0) : surface(578, 437, devicePixelRatio)
    {
        surface.setRefreshListener([this] { ++refreshes; });
    }

    // Form_Load with no sound files around: every load finds nothing and yields 0.
    Form1& loaded()
    {
        game.Form_Load();
        return game;
    }

    SpriteCatalogue sprites;
    Surface surface;
    FakeClock clock;
    ScriptedRandom random;
    RecordingDialogs dialogs;
    FakeWindowSystem window;
    RecordingSoundLibrary sound;
    Form1 game{Platform{surface, sprites, clock, random, dialogs, window, sound}};
    int refreshes = 0;
};
