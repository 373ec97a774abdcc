#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays Zubotta as a player would, in a private X server: real key presses, screenshots, pixel checks.
#
# usage: play_round.sh <zubotta binary> <folder with the generated .wav files> <output folder> [send_close helper]
#
# Every wait polls for a condition with a deadline; nothing relies on a fixed sleep alone.
# Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
set -uo pipefail

game=$1
sound_source=$2
out=$3
send_close=${4:-}

source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool import convert compare xwininfo

mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/zubotta-e2e.XXXXXX")
trap stop_session EXIT
start_x_server

# --- The seven sounds in the game's working folder: the generated ones, or tiny valid WAVs.
sounds=("その他.wav" "禁止.wav" "打音.wav" "BGM.wav" "空振.wav" "TIMEOUT.wav" "モグラ.wav")
mkdir -p "$work/run"
le32() { # a number as four little-endian bytes
    local v=$1 i
    for i in 0 8 16 24; do printf "\\$(printf %03o $(((v >> i) & 255)))"; done
}
tiny_wav() { # 0.05 s of silence, 8 kHz mono 8 bit
    local samples=400
    {
        printf 'RIFF'; le32 $((36 + samples)); printf 'WAVEfmt '; le32 16
        printf '\001\000\001\000'; le32 8000; le32 8000; printf '\001\000\010\000'
        printf 'data'; le32 $samples
        head -c $samples /dev/zero | tr '\0' '\200'
    } >"$1"
}
generated=yes
for name in "${sounds[@]}"; do [ -s "$sound_source/$name" ] || generated=no; done
for name in "${sounds[@]}"; do
    if [ $generated = yes ]; then cp "$sound_source/$name" "$work/run/"; else tiny_wav "$work/run/$name"; fi
done
note "sounds: $([ $generated = yes ] && echo "the generated ones" || echo "tiny silent WAVs")"

launch() { launch_in "$work/run" "$game"; }

# --- Screenshots and pixels. Client pixel (x, y) lies at (x + dx, y + dy) of a screenshot of the window:
# the window stands partly off the screen (as placed by the game) and the menu bar sits above the client area.
dx=0
dy=0
shot() { import -window "$window" "$1" 2>/dev/null; }
locate_client() {
    local left
    left=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left X: *//p')
    dx=$((left < 0 ? left : 0))
    # The first green row below the menu bar, at a place where the opening screen is sky.
    dy=$(convert "$1" -crop "1x80+$((10 + dx))+0" +repage -depth 8 txt:- | tail -n +2 |
        grep -n '#008000' | head -n1 | cut -d: -f1)
    [ -n "$dy" ] || return 1
    dy=$((dy - 1))
}

# Places on the client area, in pixels (15 twips each).
start_area=(133 68 200 45)    # "START" at (2000, 1050), 28 points
score_area=(46 3 80 22)       # the score at (700, 80)
seconds_area=(320 33 34 34)   # the seconds box at (4800, 500)
mole1_sky=(80 168 34 36)      # above the ground in hole 1's picture: empty until its mole rises
buttons_x=(78 142 207 272)    # key buttons at columns 1.2 to 4.2, row 2.6
buttons_y=274

# === Run 1: a round played from the keyboard, then Esc.
launch || exit 1
note "window $window"
ready() { shot "$work/opening.png" && locate_client "$work/opening.png"; }
poll 10000 ready || fail "no screenshot of the opening screen"
note "client area at offset $dx,$dy of the screenshot"

# The opening screen: green sky, olive ground band from y 3130, four key buttons in their brown frames.
[ "$(count "$work/opening.png" 10 10 1 1 008000)" = 1 ] || fail "the sky is not green"
[ "$(count "$work/opening.png" 10 215 1 1 808000)" = 1 ] || fail "no ground band at y 3130"
for i in 0 1 2 3; do
    brown=$(count "$work/opening.png" "${buttons_x[$i]}" $buttons_y 40 50 804000)
    [ "$brown" -ge 30 ] || fail "key button $((i + 1)) not drawn ($brown brown pixels)"
done
[ "$(count_not_green "$work/opening.png" "${mole1_sky[@]}")" -lt 20 ] || fail "hole 1's mole is up before any key"
white_before=$(count "$work/opening.png" "${start_area[@]}" FFFFFF)

# Space: "START" shows while the game pauses for a second.
xdotool key --window "$window" space
start_shown() {
    shot "$work/start.png" && [ "$(count "$work/start.png" "${start_area[@]}" FFFFFF)" -ge $((white_before + 80)) ]
}
if poll 3000 start_shown; then
    # A key struck now, during the pause, must act in the new round.
    xdotool key --window "$window" a
    shot "$work/after_a.png"
    if [ "$(count "$work/after_a.png" "${start_area[@]}" FFFFFF)" -ge $((white_before + 80)) ]; then
        note "\"START\" shown; 'a' was struck during the pause"
    else
        note "\"START\" shown; 'a' arrived just after the pause"
    fi
else
    fail "\"START\" never showed after Space"
    xdotool key --window "$window" a
fi

# The mole of hole 1 comes up.
mole_up() { shot "$work/mole.png" && [ "$(count_not_green "$work/mole.png" "${mole1_sky[@]}")" -ge 150 ]; }
poll 4000 mole_up && note "hole 1's mole rose" || fail "the mole of hole 1 did not rise after 'a'"
# More moles up, so the score climbs whatever the hammer man strikes.
xdotool key --window "$window" s d f
score_rose() { shot "$work/score.png" && [ "$(changed "$work/opening.png" "$work/score.png" "${score_area[@]}")" -ge 20 ]; }
poll 5000 score_rose && note "the score rose" || fail "the score did not change from 0"
seconds_count() { shot "$work/seconds.png" && [ "$(changed "$work/opening.png" "$work/seconds.png" "${seconds_area[@]}")" -ge 20 ]; }
poll 4000 seconds_count && note "the seconds count down" || fail "the seconds did not change from 30"

# A picture of the round in play: points on the board and at least two moles up. Like a player,
# send up again the moles that are down (struck ones ignore their key until they are back at the bottom).
letters=(a s d f)
moles_x=(80 144 209 274)       # above the ground in each hole's picture
pictured=no
deadline=$(($(now_ms) + 6000))
while [ "$(now_ms)" -lt "$deadline" ]; do
    shot "$work/in_play.png" || continue
    up=0
    down_keys=()
    for i in 0 1 2 3; do
        if [ "$(count_not_green "$work/in_play.png" "${moles_x[$i]}" 168 34 36)" -ge 150 ]; then
            up=$((up + 1))
        else
            down_keys+=("${letters[$i]}")
        fi
    done
    if [ $up -ge 2 ] && [ "$(changed "$work/opening.png" "$work/in_play.png" "${score_area[@]}")" -ge 20 ]; then
        pictured=yes
        break
    fi
    [ ${#down_keys[@]} -gt 0 ] && xdotool key --window "$window" "${down_keys[@]}"
    sleep 0.3
done
[ $pictured = yes ] && note "pictured a round in play ($up moles up)" || note "no picture with two moles up and points"
cp "$work"/{opening,start,mole,score,seconds,in_play}.png "$out/" 2>/dev/null

# Esc ends the game at once, with status 0.
xdotool key --window "$window" Escape
expect_exit_zero "Esc during a round" 1000

# === Run 2: the window's close button (the message a window manager sends), while waiting.
if [ -n "$send_close" ] && [ -x "$send_close" ]; then
    if launch; then
        "$send_close" "$window" || fail "could not send the close message"
        expect_exit_zero "closing the window" 2000
    fi
else
    note "no send_close helper: the close-button path is not covered"
fi

# === Run 3: the menu item ゲーム > 終了, opened with the mouse and chosen with the keyboard.
if launch; then
    shot "$work/menu_start.png" && locate_client "$work/menu_start.png"
    # The first menu title sits at the left of the menu bar, which is partly off the screen.
    xdotool mousemove --window "$window" 25 $(((dy + 3) / 2 + 3)) click 1
    menu_open() { [ -n "$(xdotool search --onlyvisible --class zubotta 2>/dev/null | grep -v "^$window\$" | head -n1)" ]; }
    if poll 3000 menu_open; then
        xdotool key Down Down Return
        expect_exit_zero "menu 終了" 2000
    else
        fail "the ゲーム menu did not open"
    fi
fi

finish "$work/game.log"
