#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Zubotta under real window managers in a private X server. Openbox: the frame where the game puts
# it (also at scale 3), the about box over the game, a round played, the keys back with the game after
# a menu closes with Esc, mashed Space starting one pause, the picture enlarged crisply in a window at
# least twice its size, where a click still shows the prompt, and shrunk whole at scale 0.5.
# i3 (tiling, when installed): the first screen enlarged in its tile.
#
# usage: window_manager.sh <zubotta binary> <folder holding the sounds> <output folder>
#
# Every wait polls for a condition with a deadline. Exit status: 0 passed, 1 failed, 77 skipped.
set -uo pipefail

game=$1
sounds=$2
out=$3

source "$(dirname "$0")/x_session.sh"
require_tools Xvfb openbox xdotool xprop xwininfo import convert compare

mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/zubotta-wm.XXXXXX")
wm_pid=""
trap '[ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null; stop_session' EXIT
start_x_server 1280x1024

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 10000 wm_ready || { fail "openbox did not start"; cat "$work/openbox.log" >&2; exit 1; }
note "openbox is running"

# Geometry of a window in root coordinates: "x y width height".
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                             /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}'
}
# The window manager's frame: the game window's ancestor just below the root.
frame_of() {
    local id=$1 parent root depth
    root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    for depth in 1 2 3 4 5; do
        parent=$(xwininfo -tree -id "$id" | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p')
        [ -z "$parent" ] || [ "$parent" = "$root" ] && break
        id=$parent
    done
    echo "$id"
}
shot() { import -window root "$1" 2>/dev/null; }
# Sets dx, dy to where the picture's top-left lies on the screen, for a view `factor` times enlarged.
# The menu bar's height is found once, at design size, as the first sky-green row of the client.
menu_bar=""
locate_picture() {
    local factor=$1 x y w h
    read -r x y w h < <(geometry "$window")
    if [ -z "$menu_bar" ]; then
        menu_bar=$(convert "$2" -crop "1x80+$((x + 10))+$((y < 0 ? 0 : y))" +repage -depth 8 txt:- |
            tail -n +2 | grep -n '#008000' | head -n1 | cut -d: -f1) || return 1
        [ -n "$menu_bar" ] || return 1
        menu_bar=$((menu_bar - 1 + (y < 0 ? -y : 0)))
    fi
    local view_w=$w view_h=$((h - menu_bar))
    dx=$((x + (view_w - picture_w * factor) / 2 * (factor > 1)))
    dy=$((y + menu_bar + (view_h - picture_h * factor) / 2 * (factor > 1)))
}

# Whether the picture on a screenshot is shown at 2x: every art pixel a plain 2 x 2 square, and the
# margin left of it plain black (from screen column `margin_from`). Sets `blocks` and `stray`, the
# pixels that break either rule, and leaves the picture halved in half.png.
margin_from=0
shows_2x() {
    local file=$1 w=$((2 * picture_w)) h=$((2 * picture_h))
    locate_picture 2 "$file" || return 1
    convert "$file" -crop "${w}x${h}+$dx+$dy" +repage "$work/big.png"
    convert "$work/big.png" -sample 50% "$work/half.png"
    convert "$work/half.png" -sample 200% "$work/again.png"
    blocks=$(compare -metric AE "$work/big.png" "$work/again.png" null: 2>&1 | cut -d' ' -f1)
    stray=$(convert "$file" -crop "$((dx - margin_from))x$h+$margin_from+$dy" +repage -depth 8 txt:- 2>/dev/null |
        tail -n +2 | grep -vc '#000000')
    [ "$blocks" = 0 ] && [ "$stray" = 0 ] && [ "$(count "$file" 20 20 1 1 008000)" = 1 ]
}
# Polls for a screenshot showing the picture at 2x and reports the outcome.
expect_2x() {
    local file=$1 what=$2
    shoot_2x() { shot "$file" && shows_2x "$file"; }
    if poll 5000 shoot_2x; then
        note "$what: every art pixel a plain 2x2 square, black margins; picture at $dx,$dy"
    else
        fail "$what: $blocks pixels not in plain 2x2 squares (smoothed or misplaced), $stray not black in the margin"
    fi
}
# White pixels of the prompt's place in the picture at 2x.
prompt_white() {
    convert "$1" -crop "$((2 * prompt_area[2]))x$((2 * prompt_area[3]))+$((dx + 2 * prompt_area[0]))+$((dy + 2 * prompt_area[1]))" \
        +repage -depth 8 txt:- | grep -c '#FFFFFF'
}

# Places in picture pixels (15 twips each), as in the other scripts.
start_area=(133 68 200 45)    # "START" at (2000, 1050), 28 points
prompt_area=(33 66 340 45)    # "PUSH [SPACE] KEY" at (500, 1000), 30 points
seconds_area=(320 33 34 34)   # the seconds box at (4800, 500)
mole1_sky=(80 168 34 36)      # above the ground in hole 1's picture: empty until its mole rises
picture_h=437

# === Run 1, at design size: the frame, a round, and a menu closed with Esc.
launch_in "$sounds" "$game" || exit 1
note "window $window"
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | tr -d ',' |
    awk '/=/ {print $3, $4, $5, $6}')
framed() {
    frame=$(frame_of "$window")
    [ "$(geometry "$frame" | cut -d' ' -f1-3)" = "-3 -3 400" ]
}
if poll 5000 framed; then
    note "frame at -3,-3 (-50 twips), 400 pixels (6000 twips) wide; extents left $left right $right top $top"
else
    fail "the frame stands at $(geometry "$frame") (x y width height), not at -3 -3 and 400 wide"
fi
read -r cx cy cw ch < <(geometry "$window")
[ "$cw" -eq $((400 - ${left:-0} - ${right:-0})) ] || fail "client width $cw with side frames $left and $right"
[ "$cy" -ge 0 ] || fail "the client area starts above the screen, at y $cy: the title bar is unseen"
picture_w=$cw

# The about box (その他) is a dialog of the game's window: transient for it and centred over it.
about_box() { xdotool search --onlyvisible --name '^Zubotta$' 2>/dev/null | grep -v "^$window\$" | head -n1; }
about_open() { box=$(about_box); [ -n "$box" ]; }
xdotool mousemove $((cx + 125)) $((cy + 8)) click 1
if poll 3000 about_open; then
    read -r bx by bw bh < <(geometry "$box")
    owner=$(xprop -id "$box" WM_TRANSIENT_FOR | sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p')
    [ $((owner)) = $((window)) ] || fail "the about box belongs to window $owner, not to the game's $window"
    off_x=$((bx + bw / 2 - cx - cw / 2)) off_y=$((by + bh / 2 - cy - ch / 2))
    if [ ${off_x#-} -le 30 ] && [ ${off_y#-} -le 40 ]; then
        note "the about box stands over the game, its centre $off_x,$off_y from the game's"
    else
        fail "the about box's centre stands $off_x,$off_y from the game's, not over it"
    fi
    xdotool key Return
    about_closed() { [ -z "$(about_box)" ]; }
    poll 3000 about_closed || fail "Return did not close the about box"
else
    fail "the about box did not open"
fi

design_ready() { shot "$work/design.png" && locate_picture 1 "$work/design.png"; }
poll 10000 design_ready || fail "no screenshot of the opening screen"
note "menu bar $menu_bar pixels; picture at $dx,$dy"
[ "$(count "$work/design.png" 10 10 1 1 008000)" = 1 ] || fail "the sky is not green"
[ "$(count "$work/design.png" 10 215 1 1 808000)" = 1 ] || fail "no ground band at y 3130"
cp "$work/design.png" "$out/design-size.png"
white_before=$(count "$work/design.png" "${start_area[@]}" FFFFFF)

start_shown() {
    shot "$work/start.png" && [ "$(count "$work/start.png" "${start_area[@]}" FFFFFF)" -ge $((white_before + 80)) ]
}
xdotool key --window "$window" space
poll 3000 start_shown && note "Space: \"START\" shown" || fail "\"START\" never showed after Space"
xdotool key --window "$window" a
mole_up() { shot "$work/mole.png" && [ "$(count_not_green "$work/mole.png" "${mole1_sky[@]}")" -ge 150 ]; }
poll 4000 mole_up && note "hole 1's mole rose" || fail "the mole of hole 1 did not rise after 'a'"
seconds_count() { shot "$work/seconds.png" && [ "$(changed "$work/design.png" "$work/seconds.png" "${seconds_area[@]}")" -ge 20 ]; }
poll 4000 seconds_count && note "the seconds count down" || fail "the seconds did not change from 30"

# The ゲーム menu opened with a click and closed with Esc: then Space starts a round, Esc quits.
popup() { xdotool search --onlyvisible --class zubotta 2>/dev/null | grep -v "^$window\$" | head -n1; }
menu_open() { [ -n "$(popup)" ]; }
menu_closed() { [ -z "$(popup)" ]; }
xdotool mousemove $((cx + 25)) $((cy + menu_bar / 2)) click 1
if poll 3000 menu_open; then
    xdotool key Escape
    poll 3000 menu_closed || fail "Esc did not close the ゲーム menu"
    # The round started above has dropped its "START" by now; wait for that, so a new one shows.
    start_gone() { ! start_shown; }
    poll 3000 start_gone || fail "\"START\" stayed on after its one-second pause"
    xdotool key space
    poll 3000 start_shown && note "after the menu closed, Space started a round" ||
        fail "after the menu closed with Esc, Space did not start a round (menu open: $(menu_open && echo yes || echo no))"
    # Space mashed during the pause starts no further pause: Esc ends the game once this one is over
    # (each further pause would hold it back a second).
    xdotool key --delay 100 space space space space space space space
    xdotool key Escape
    expect_exit_zero "Esc after a menu closed and Space mashed during START" 3500
else
    fail "the ゲーム menu did not open"
fi

# === Run 2, enlarged: the window at least twice its design size, then full screen with F11, a held key.
launch_in "$sounds" "$game" || exit 1
poll 5000 framed || fail "the second window was not framed at -3,-3"
xdotool windowsize "$window" $((2 * picture_w + 24)) $((2 * picture_h + menu_bar + 20))
enlarged() { [ "$(geometry "$window" | cut -d' ' -f3)" -eq $((2 * picture_w + 24)) ]; }
poll 5000 enlarged || fail "the window did not grow: $(geometry "$window")"

margin_from=$((cx < 0 ? 0 : cx))
expect_2x "$work/enlarged.png" "enlarged window $(geometry "$window")"
# Halved, it is the design-size picture (the columns on the screen in both).
convert "$work/design.png" -crop "$((picture_w - 2))x$picture_h+$((cx + 2))+$((cy + menu_bar))" +repage "$work/d.png"
convert "$work/half.png" -crop "$((picture_w - 2))x$picture_h+2+0" +repage "$work/h.png"
same=$(compare -metric AE "$work/d.png" "$work/h.png" null: 2>&1 | cut -d' ' -f1)
[ "$same" = 0 ] && note "halved, the enlarged picture equals the design-size one" ||
    fail "halved, the enlarged picture differs from the design-size one in $same pixels"

# A click in the enlarged picture shows the prompt, at 2x.
white_before=$(prompt_white "$work/enlarged.png")
xdotool mousemove $((dx + 400)) $((dy + 500)) click 1
prompted() { shot "$work/prompt.png" && [ "$(prompt_white "$work/prompt.png")" -ge $((white_before + 300)) ]; }
poll 3000 prompted && note "a click in the enlarged picture showed the prompt" || fail "no prompt after a click in the enlarged picture"
expect_2x "$work/prompt.png" "the prompt enlarged"
cp "$work/prompt.png" "$out/enlarged.png"

# F11: full screen, the picture still whole-factor enlarged.
xdotool key F11
full() { [ "$(geometry "$window")" = "0 0 1280 1024" ]; }
poll 3000 full && note "F11: full screen" || fail "F11 did not make the window full screen: $(geometry "$window")"
margin_from=0
expect_2x "$work/full.png" "full screen"
cp "$work/full.png" "$out/full-screen.png"
# Space held for 1.5 s, as the X server's auto-repeat sends it: one round starts, not one per
# repeat (each would pause a second), so Esc still ends the game at once.
xdotool keydown space
sleep 1.5
xdotool keyup space
xdotool key Escape
expect_exit_zero "Esc after Space was held in full screen" 2500

# === Run 3, scale factors: at 3 the frame as at 1, the title bar on the screen; at 0.5 the whole picture.
launch_in "$sounds" env QT_SCALE_FACTOR=3 "$game" || exit 1
# Corner -3,-3 and width 400 in logical pixels: 9 and 1200 device pixels, less the third of a pixel a
# client of whole logical pixels cannot give.
framed_at_3() {
    frame=$(frame_of "$window")
    read -r fx fy fw fh < <(geometry "$frame")
    [ "$fx $fy" = "-9 -9" ] && [ "$fw" -ge 1199 ] && [ "$fw" -le 1200 ]
}
if poll 5000 framed_at_3; then
    note "scale 3: frame at $fx,$fy, $fw pixels wide"
else
    fail "scale 3: the frame stands at $(geometry "$frame"), not at -9 -9 and 1200 wide"
fi
[ "$(geometry "$window" | cut -d' ' -f2)" -ge 0 ] || fail "scale 3: the client starts above the screen: the title bar is unseen"
xdotool key --window "$window" Escape
expect_exit_zero "Esc at scale 3" 3000

launch_in "$sounds" env QT_SCALE_FACTOR=0.5 "$game" || exit 1
# The label of hole 4's key button, at picture pixels (272, 300) to (311, 321), halved.
button4_white() {
    local x y w h bar
    shot "$work/half-scale.png" || return 1
    read -r x y w h < <(geometry "$window")
    bar=$(convert "$work/half-scale.png" -crop "1x60+$((x + 5))+$((y < 0 ? 0 : y))" +repage -depth 8 txt:- |
        tail -n +2 | grep -n '#008000' | head -n1 | cut -d: -f1)
    [ -n "$bar" ] || return 1
    dx=$x dy=$((y + bar - 1))
    white=$(count "$work/half-scale.png" 138 151 16 9 FFFFFF)
    [ "$white" -ge 40 ]
}
if poll 5000 button4_white; then
    note "scale 0.5: the whole picture, shrunk (hole 4's button label $white of 144 pixels white)"
else
    fail "scale 0.5: hole 4's button is not where the shrunk picture has it (${white:-no} white pixels)"
fi
cp "$work/half-scale.png" "$out/scale-0.5.png"
xdotool key --window "$window" Escape
expect_exit_zero "Esc at scale 0.5" 3000

# === Run 4, tiled by i3: the window fills its tile at once, so the first screen is enlarged.
logs=("$work/game.log" "$work/openbox.log")
if command -v i3 >/dev/null; then
    kill "$wm_pid" && wait "$wm_pid" 2>/dev/null
    printf '# i3 config file (v4)\nfont pango:monospace 8\n' >"$work/i3.conf"
    i3 -c "$work/i3.conf" >"$work/i3.log" 2>&1 &
    wm_pid=$!
    logs+=("$work/i3.log")
    i3_ready() { xprop -root I3_SOCKET_PATH 2>/dev/null | grep -q '"'; }
    poll 10000 i3_ready || fail "i3 did not start"
    launch_in "$sounds" "$game" || exit 1
    tiled() { read -r cx cy cw ch < <(geometry "$window"); [ "$cw" -ge 1200 ]; }
    poll 5000 tiled || fail "i3 did not tile the window: $(geometry "$window")"
    # The picture is the client width the designed 400-pixel frame would leave, with i3's sides.
    picture_w=$((400 - $(geometry "$(frame_of "$window")" | cut -d' ' -f3) + cw))
    margin_from=$cx
    expect_2x "$work/tiled.png" "tiled by i3 at $cw x $ch, picture $picture_w wide"
    cp "$work/tiled.png" "$out/tiled-i3.png"
    xdotool key --window "$window" Escape
    expect_exit_zero "Esc under i3" 3000
else
    note "i3 is not installed: the tiled window is not checked"
fi

finish "${logs[@]}"
