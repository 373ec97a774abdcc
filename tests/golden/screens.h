// SPDX-License-Identifier: GPL-3.0-or-later
// The screens kept as golden images in tests/golden: each played on a fresh game from a fixed script of
// clicks, keys, ticks and random numbers. The test and tools/golden (which makes the images) share it.
#pragma once

#include "fakes.h"

#include <string>
#include <utility>
#include <vector>

namespace golden {

struct Screen {
    const char* name;
    std::vector<int> scales;
};

inline const std::vector<Screen> screens{
    {"opening", {1, 2, 3}}, {"prompt", {1, 2}}, {"start", {1, 2}}, {"round", {1, 2}}, {"timeup", {1, 2}},
};

// The image of a screen at a device scale, e.g. "opening-scale1.png".
inline std::string fileName(const std::string& screen, int scale)
{
    return screen + "-scale" + std::to_string(scale) + ".png";
}

// Plays a screen's script at a device scale and gives the surface as the screen then shows, as imageOf
// gives a surface's device pixels.
template <typename ImageOf>
auto play(const std::string& screen, int scale, const ImageOf& imageOf)
{
    using Image = decltype(imageOf(std::declval<const Surface&>()));
    GameRig rig(scale);
    Form1& game = rig.loaded();
    if (screen == "prompt")
        game.Form_MouseDown(1, 0, 3000, 3000);
    if (screen == "start") {
        // "START" shows only during the round start's pause: taken at the last refresh before it.
        Image shown;
        const double started = rig.clock.elapsed;
        rig.surface.setRefreshListener([&] {
            if (rig.clock.elapsed - started < 0.5)
                shown = imageOf(rig.surface);
        });
        game.処理_開始();
        return shown;
    }
    if (screen == "round" || screen == "timeup") {
        // The hammer man's targets come from the random numbers; the holes go up and down on the keys.
        rig.random.script = {0.05f, 0.35f, 0.6f, 0.85f, 0.2f, 0.5f};
        rig.random.fallback = 0.7f;
        game.処理_開始();
        const char keys[] = "a...s..d...a..f....s.d..a...f";
        for (const char key : keys) {
            if (key != '.' && key != '\0')
                game.Form_KeyPress(key);
            game.Timer1_Timer();
        }
        while (screen == "timeup" && game.state.gameStopped == game.state.flagOff)
            game.Timer1_Timer();
    }
    return imageOf(rig.surface);
}

} // namespace golden
