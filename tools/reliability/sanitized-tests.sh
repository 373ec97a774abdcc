#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the game and every test program with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer (GCC, the "sanitize" preset, in build-sanitize) and runs the whole test suite. Any
# report fails its test: ASan and UBSan abort the program, LeakSanitizer fails it at exit.
#
# usage: tools/reliability/sanitized-tests.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset sanitize >/dev/null
cmake --build build-sanitize -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Only leaks inside system libraries are suppressed; see the file for each one and why.
export LSAN_OPTIONS=suppressions=$PWD/tools/reliability/lsan.supp:print_suppressions=0
start=$(date +%s)
# The browser's tests run no code of this build: the plain suite runs them.
ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" -E '^(e2e_browser_.*|web_.*)$' "$@"
echo "sanitized test suite passed in $(( $(date +%s) - start )) s"
