#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the sound fuzzer with clang (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer),
# writes the seed corpus, and fuzzes dsCreateDSB and the sound module's file loading.
#
# usage: tools/fuzz/run-fuzz.sh [seconds] [jobs]      (default 60 seconds, 1 job)
#
# Exits non-zero on any crash, leak, sanitizer report or broken check of the target; the input that
# caused it is left in build-fuzz/artifacts/. The corpus grows in build-fuzz/corpus/ across runs.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
jobs=${2:-1}
# Absolute: the target works in a scratch folder of its own, as the game works in its sound folder.
build=$PWD/build-fuzz

for tool in clang clang++; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: apt-get install -y clang libclang-rt-14-dev" >&2; exit 2; }
done

CC=clang CXX=clang++ cmake -S tools/fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target sound_fuzz -j"$(nproc)"

mkdir -p "$build/corpus" "$build/artifacts"
export SDL_AUDIODRIVER=dummy
# Leaks are looked for after every input and at exit; halt on the first UBSan report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/reliability/lsan.supp:print_suppressions=0}

log="$build/fuzz.log"
args=(-max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -dict=$PWD/tools/fuzz/wav.dict -artifact_prefix="$build/artifacts/")
start=$(date +%s)
if [ "$jobs" -gt 1 ]; then
    # Parallel workers share the corpus folder; each writes a log of its own in $build, which the
    # parent copies into its output when the worker ends.
    status=0
    (cd "$build" && exec ./sound_fuzz "${args[@]}" -jobs="$jobs" -workers="$jobs" "$build/corpus" "$build/seeds") \
        >"$log" 2>&1 || status=$?
    rm -f "$build"/fuzz-*.log
else
    status=0
    "$build/sound_fuzz" "${args[@]}" "$build/corpus" "$build/seeds" >"$log" 2>&1 || status=$?
fi
elapsed=$(( $(date +%s) - start ))

runs=$(grep -ho 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{s += $2} END {print s + 0}' || true)
echo "sound fuzzer: $runs executions in ${elapsed} s ($(( runs / (elapsed > 0 ? elapsed : 1) )) exec/s), log in $log"
if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|sound fuzz target:' "$log"; then
    grep -E -A30 'ERROR: |runtime error:|sound fuzz target:' "$log" | head -80 >&2
    echo "sound fuzzer: FAILED (exit $status); inputs in $build/artifacts/" >&2
    exit 1
fi
echo "sound fuzzer: no crash, leak or sanitizer report"
