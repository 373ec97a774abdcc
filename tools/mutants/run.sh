#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures how well the fast tests guard the game's rules: applies small faults to the code one at a time,
# rebuilds the unit test programs incrementally and runs them. A fault that some test notices is "killed";
# one that every test lets through "survived". Too slow for CI; run it before resolving work on the rules.
#
#   tools/mutants/run.sh            every fault
#   tools/mutants/run.sh 'grin|hammer'   only faults whose description matches the extended regex
#   tools/mutants/run.sh --check    only check that every fault still applies to the code
#
# Builds in build-mutants (override with MUTANTS_BUILD), with ccache when it is installed.
# Exits 1 when a fault survives that is not marked equivalent, or when a fault no longer applies.
set -u
export LC_ALL=C

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${MUTANTS_BUILD:-$root/build-mutants}
# The unit test programs, those that guard the most rules first: the end-to-end, storm, soak, fuzz and
# bad-file suites stay out.
tests=(game_tick_tests game_flow_tests key_letters_tests sprite_drawing_tests sound_module_tests
       sound_library_tests game_window_tests window_tests hammer_art_tests mole_art_tests)

files=() olds=() news=() names=() equivalent=()
# fault FILE OLD NEW DESCRIPTION [equivalent]: OLD must occur exactly once in FILE.
fault() { files+=("$1"); olds+=("$2"); news+=("$3"); names+=("$4"); equivalent+=("${5:-}"); }

# --- the moles ---
fault game/tick.cpp 's.score, s.score + 1);' 's.score, s.score + 2);' \
    "a fully raised mole earns two points a tick"
fault game/tick.cpp 'if (stage <= 1)' 'if (stage <= 2)' \
    "a mole sent up stays at stage 2"
fault game/tick.cpp 's.moleStageByHole[i] = stage - 1;' 's.moleStageByHole[i] = stage > 2 ? stage - 1 : 2;' \
    "a sinking mole never reaches the bottom"
fault game/tick.cpp $'== 1) {\n            s.keyEnabledByHole[i] = s.flagOn;' $'== 1) {\n            s.keyEnabledByHole[i] = s.flagOff;' \
    "a mole back at the bottom ignores its key"
fault game/tick.cpp 'if (stage == 1 || stage == 5)' 'if (stage == 1)' \
    "the button keeps its upper lamp when the mole stands fully up"
fault input/keyboard_and_mouse.cpp $'== 5)\n                s.moleStageByHole[h] = 4;' $'== 5)\n                s.moleStageByHole[h] = 3;' \
    "a mole pulled down from the top drops two stages"
fault input/keyboard_and_mouse.cpp $'== 1)\n                s.moleStageByHole[h] = 2;' $'== 1)\n                s.moleStageByHole[h] = 3;' \
    "a mole sent up from the bottom skips a stage"
fault drawing/opening_screen.cpp 's.moleDirByHole[h] = s.dirDown;' 's.moleDirByHole[h] = s.dirUp;' \
    "a new round's moles start out rising"
# --- the escape grin ---
fault game/tick.cpp 'if (stage == 4 && s.keyEnabledByHole[i] == s.flagOn)' 'if (stage == 3 && s.keyEnabledByHole[i] == s.flagOn)' \
    "the grin starts a stage late"
fault game/tick.cpp 'if (stage == 4 && s.keyEnabledByHole[i] == s.flagOn)' 'if (stage == 4)' \
    "a struck mole grins on its way down"
fault game/tick.cpp '描画_逃モグラ(5 - stage' '描画_逃モグラ(4 - stage' \
    "the grin shows the frame of the stage above"
fault game/tick.cpp $'描画_絵(1, i, s.moleRow);\n        s.escapingByHole[i] = s.flagOff;' '描画_絵(1, i, s.moleRow);' \
    "the grin never ends"
fault drawing/sprites.cpp 'sprites.picture(Store::NIGE, frame - 1)' 'sprites.picture(Store::NIGE, 3 - frame)' \
    "the grin frames come in reverse"
fault drawing/opening_screen.cpp $'        s.escapingByHole[h] = s.flagOff;\n' '' \
    "a new round keeps a grin from the last"
# --- the hammer man: aim, frames, the blow ---
fault game/tick.cpp 'const bool leftFirst = draw > 5.0f;' 'const bool leftFirst = draw < 5.0f;' \
    "the two halves of the hammer man's draw swapped"
fault game/tick.cpp 'if (s.moleStageByHole[k] > 4) {' 'if (s.moleStageByHole[k] > 3) {' \
    "the hammer man aims at a mole at stage 4"
fault game/tick.cpp $'s.hammerFrame = 1;\n            return;' $'s.hammerFrame = 2;\n            return;' \
    "the blow lands a tick early"
fault game/tick.cpp $'s.hammerDir = s.dirUp;\n        s.hammerFrame = 3;' $'s.hammerDir = s.dirUp;\n        s.hammerFrame = 2;' \
    "the hammer comes back up skipping frame 3"
fault game/tick.cpp 's.moleStageByHole[k] != 5' 's.moleStageByHole[k] < 4' \
    "a mole pulled one stage down before the blow lands is still struck"
fault game/tick.cpp 'while (k < 4 && s.hammerAimByHole[k]' 'while (k < 3 && s.hammerAimByHole[k]' \
    "a blow aimed at hole 4 lands on hole 3"
fault game/tick.cpp $'s.keyEnabledByHole[k] = s.flagOff;\n    描画_絵(6' '描画_絵(6' \
    "a struck mole still obeys its key"
fault game/tick.cpp '描画_絵(6, k, s.moleRow);' '描画_絵(5, k, s.moleRow);' \
    "a struck mole is not shown dazed"
fault drawing/hammer_man.cpp '1850.0, 1300.0, 1300.0}' '1850.0, 1300.0, 1350.0}' \
    "the landing frame of the swing at hole 1 is drawn 50 twips right"
fault drawing/hammer_man.cpp 'frame < 0 || frame > 4' 'frame < 0 || frame > 3' \
    "the landing frame is never drawn"
fault game/tick.cpp $'s.hammerDir = s.dirDown;\n    // Formed' '// Formed' \
    "a new swing keeps the sense of the last"
fault game/startup.cpp 'state.hammerFrame = 0;' 'state.hammerFrame = 1;' \
    "a new round starts with the hammer man in mid-swing"
# --- points, the round, the best score ---
fault drawing/status.cpp 'std::max(state.score - 5, 0)' 'std::max(state.score - 4, 0)' \
    "a hit costs four points"
fault drawing/status.cpp 'std::max(state.score - 5, 0)' 'state.score - 5' \
    "a hit takes the score below zero"
fault game/tick.cpp $'if (s.timeLeft == 0)\n        endRound();' $'if (s.timeLeft == 1)\n        endRound();' \
    "the round ends a second early"
fault game/startup.cpp 'state.timeLeft = 30;' 'state.timeLeft = 20;' \
    "a round lasts 20 seconds"
fault game/tick.cpp 's.bestScore, s.score);' 's.bestScore, s.bestScore);' \
    "the best score is never renewed"
# Equivalent: an equal score erases the best score and draws the same number in its place, which leaves
# every pixel as it was, so nothing a player could see changes.
fault game/tick.cpp 'if (s.score > s.bestScore)' 'if (s.score >= s.bestScore)' \
    "an equal score redraws the best score with the same number: the same pixels" equivalent
fault drawing/status.cpp '描画_四角形(s.timeBoxX, s.timeBoxY, 500, 500' '描画_四角形(s.timeBoxX, s.timeBoxY, 200, 200' \
    "the old seconds are only partly erased"
fault drawing/status.cpp $'    描画_文字(x + 60, y + 30, shown, state.colourBackground, 15);\n' '' \
    "the shadow of a renewed number is left standing"
fault drawing/primitives.cpp '(number < 0 ? "-" : " ")' '(number < 0 ? "-" : "")' \
    "numbers lose the blank before them"
# --- the pace ---
fault game/tick.cpp '待ち時間(0.07);' '待ち時間(0.05);' \
    "the tick waits 0.05 s: the game runs 40% faster"
fault game/round.cpp '待ち時間(1);' '待ち時間(0.5);' \
    "START shows for half a second"
# --- keys, mouse and menus ---
fault input/key_letters.cpp 'characterCodes{97, 115, 100, 102}' 'characterCodes{97, 115, 100, 103}' \
    "g works hole 4 instead of f"
fault input/key_letters.cpp "letters{'A', 'S', 'D', 'F'}" "letters{'A', 'S', 'F', 'D'}" \
    "holes 3 and 4 show each other's letters"
fault input/keyboard_and_mouse.cpp $'if (s.gameStopped == s.flagOn)\n        return;\n    const Letter' 'const Letter' \
    "letter keys work while the game waits"
fault input/keyboard_and_mouse.cpp ' || s.keyEnabledByHole[h] != s.flagOn' '' \
    "a struck hole obeys its key (the key handler's check)"
fault input/keyboard_and_mouse.cpp $'        s.buttonLabelByHole[h] = s.letterByHole[h];\n' '' \
    "a struck key's button loses its letter"
fault input/keyboard_and_mouse.cpp $'    case keyF2:\n' '' \
    "F2 does not start a round"
fault input/keyboard_and_mouse.cpp $'if (state.gameStopped != state.flagOn)\n        return;\n    初期_画面描画();' '初期_画面描画();' \
    "a click during a round redraws the opening screen"
fault drawing/sprites.cpp '描画_文字(200 + column * 960, 4450' '描画_文字(200 + column * 970, 4450' \
    "key letters follow the grid"
fault drawing/sprites.cpp 'else if (code == s.buttonPicDown)' 'else if (code == s.buttonPicRest + 3)' \
    "the lower lamp is never drawn"
fault menus/menu_commands.cpp $'        sound.dsStop(state.sndBgm);\n' '' \
    "switching the music off leaves it playing"
fault menus/menu_commands.cpp $'setBgmChecked(true);\n        sound.dsPlayLooping(state.sndBgm);' $'setBgmChecked(true);\n        sound.dsPlay(state.sndBgm);' \
    "switching the music on plays the tune once"
fault menus/menu_commands.cpp $'    sound.dsPlay(state.sndOther);\n' '' \
    "the about box is silent"
# --- every sound at its event ---
fault game/tick.cpp $'sound.dsPlay(s.sndMiss);\n        return;' 'return;' \
    "a miss is silent"
fault game/tick.cpp 'sound.dsPlay(s.sndTimeUp);' '' \
    "time up is silent"
fault input/keyboard_and_mouse.cpp $'        sound.dsPlay(s.sndMole);\n' '' \
    "a key stroke is silent"
fault game/startup.cpp 'sound.dsPlayLooping(state.sndBgm);' 'sound.dsPlay(state.sndBgm);' \
    "the tune plays once at start-up"
fault game/startup.cpp '"打音.wav", 3)' '"打音.wav", 1)' \
    "the hit sound gets one buffer"
fault game/round.cpp $'    module1.サウンド_終了();\n' '' \
    "quitting leaves the sound device open"
fault game/round.cpp 'state.sndTimeUp, state.sndMole, state.sndMiss}' 'state.sndTimeUp, state.sndMiss}' \
    "quitting keeps the mole sound"
# --- the sound library and module ---
fault desktop/sdl_sound_library.cpp 'const int first = reserveChannels(bufferCount);' $'bufferCount = 1;\n    const int first = reserveChannels(bufferCount);' \
    "each sound gets one channel instead of its buffer count"
fault desktop/sdl_sound_library.cpp 'Mix_GroupChannels(first, first + bufferCount - 1, handle);' 'Mix_GroupChannels(first, first, handle);' \
    "each sound's group holds one channel instead of its buffer count"
fault desktop/sdl_sound_library.cpp 'Sound{std::move(*samples), std::move(chunk), first, bufferCount}' 'Sound{std::move(*samples), std::move(chunk), first, 1}' \
    "each sound counts one channel instead of its buffer count"
fault desktop/sdl_sound_library.cpp 'return startPlaying(sound, -1);' 'return startPlaying(sound, 0);' \
    "the library's looping play plays once"
fault desktop/sdl_sound_library.cpp 'std::min_element(begin, begin + sound.channelCount)' 'std::max_element(begin, begin + sound.channelCount)' \
    "a play beyond the buffer count restarts the newest playing, not the oldest"
fault desktop/sdl_sound_library.cpp $'Mix_HaltGroup(sound);\n    return 1;' 'return 1;' \
    "stopping a sound leaves it playing"
fault sound/sound_module.cpp $'    if (サウンド装置 == 0)\n        return 0;\n' '' \
    "sounds are read without a device"
fault sound/sound_module.cpp $'if (サウンド装置 != 0)\n        library.dsTerminate' 'library.dsTerminate' \
    "the device is terminated even when it never opened"

# --- the surface: texts and pictures ---
fault window/surface.cpp 'redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8)' 'redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff)) >> 8)' \
    "soft glyph edges round their red and blue down"
fault window/surface.cpp 'return coverage == 255 ? colour :' 'return coverage >= 128 ? colour : pixel; return' \
    "soft glyph edges are drawn hard"
fault window/surface.cpp 'if (face.scale == scale)' 'if (face.scale == scale && scale == 1)' \
    "texts at device scales 2 to 4 are the glyphs of scale 1 enlarged"
fault window/surface.cpp 'const int baseline = (toPixel(y) + scaled.face->ascent) * scale;' 'const int baseline = (toPixel(y) + scaled.face->ascent - 1) * scale;' \
    "texts stand a pixel high"
fault window/sprite_catalogue.cpp '::rgb(p[0], p[1], p[2])' '::rgb(p[2], p[1], p[0])' \
    "the art's red and blue swapped"

# --- the engine ---

# Counts the occurrences of $2 in the text $1.
occurrences() {
    local without=${1//"$2"/}
    echo $(((${#1} - ${#without}) / ${#2}))
}

filter=""
check_only=false
case "${1:-}" in
--check) check_only=true ;;
*) filter=${1:-} ;;
esac

backup=$(mktemp -d)
current=""
restore() {
    # A plain copy gives the file a new time, so the next build compiles the original again.
    [ -n "$current" ] && cp "$backup/original" "$root/$current"
    current=""
}
trap 'restore; rm -rf "$backup"' EXIT
trap 'echo "interrupted: $current restored" >&2; exit 130' INT TERM

# Builds and runs the test programs one by one until one fails, and prints what failed. Each program is
# linked only when its turn comes, so a fault that the first programs catch costs one or two links.
run_tests() {
    local t
    for t in "${tests[@]}"; do
        if ! cmake --build "$build" -j2 --target "$t" >"$backup/build.log" 2>&1; then
            echo "build"
            return 1
        fi
        if ! QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy timeout 600 \
            "$build/tests/$t" --gtest_fail_fast --gtest_brief=1 >"$backup/test.log" 2>&1; then
            echo "$t"
            return 1
        fi
    done
}

if ! $check_only; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        launcher=()
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null || exit 2
    fi
    echo "Building and running the unmutated tests..."
    if ! failed=$(run_tests); then
        cat "$backup/build.log" "$backup/test.log"
        echo "the unmutated code fails ($failed): fix that first" >&2
        exit 2
    fi
fi

applied=0 killed=0 survivors=() not_applied=()
for i in "${!files[@]}"; do
    [[ "${names[$i]}" =~ $filter ]] || continue
    file=${files[$i]} old=${olds[$i]} new=${news[$i]}
    label="$file: ${names[$i]}"
    text=$(cat "$root/$file"; printf x)
    text=${text%x}
    count=$(occurrences "$text" "$old")
    if [ "$count" -ne 1 ]; then
        echo "not applied  $label (found $count times)"
        not_applied+=("$label")
        continue
    fi
    $check_only && { echo "applies      $label"; continue; }
    cp "$root/$file" "$backup/original"
    current=$file
    printf '%s' "${text/"$old"/"$new"}" >"$root/$file"
    applied=$((applied + 1))
    if failed=$(run_tests); then
        verdict="SURVIVED     $label${equivalent[$i]:+ (equivalent)}"
        survivors+=("$label${equivalent[$i]:+ (equivalent)}")
        [ -n "${equivalent[$i]}" ] || unexplained=1
    elif [ "$failed" = build ]; then
        # Not a test's catch: left out of the count, and the list needs mending.
        verdict="not built    $label"
        applied=$((applied - 1))
        not_applied+=("$label (does not build)")
    else
        verdict="killed       $label (by $failed)"
        killed=$((killed + 1))
    fi
    restore
    echo "$verdict"
done

if $check_only; then
    [ ${#not_applied[@]} -eq 0 ]
    exit
fi
# Leave the build matching the code again.
cmake --build "$build" -j2 --target "${tests[@]}" >/dev/null 2>&1

echo
if [ "$applied" -gt 0 ]; then
    echo "Killed $killed of $applied faults ($((100 * killed / applied))%)."
fi
for s in "${survivors[@]}"; do echo "  survived: $s"; done
for n in "${not_applied[@]}"; do echo "  not applied (the code moved; update the list): $n"; done
[ -z "${unexplained:-}" ] && [ ${#not_applied[@]} -eq 0 ]
