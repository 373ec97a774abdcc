#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The long soak: ten real 30-second rounds under the real event loop (offscreen), 100,000 posted key
# and mouse events, checking the game after every event and tick, then the fake-time soak of ten rounds.
# Prints the event counts and the resident memory from round 2 to round 10. About six minutes.
#
# usage: tools/reliability/soak.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build-rel
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target soak_tests -j"$(nproc)" >/dev/null

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
# A hang fails rather than waits for ever: ten rounds take about 330 seconds.
timeout 900 "$build/tests/soak_tests" --gtest_also_run_disabled_tests \
    --gtest_filter='RealEventLoop.DISABLED_TenRealRounds:FakeTimeSoak.*'
