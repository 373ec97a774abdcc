#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays Zubotta as a native Wayland client, tiled by sway on its headless backend: grim takes the
# screenshots, wtype presses the keys.
#
# usage: wayland_session.sh <zubotta binary> <folder with the generated .wav files> <output folder>
#
# sway refuses to run as root, so as root the compositor, the game and the tools run as an unprivileged user
# made for the purpose if missing, with a private runtime folder and a copy of the game.
# Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
set -uo pipefail

game=$1
sound_source=$2
out=$3

source "$(dirname "$0")/x_session.sh"
require_tools sway swaymsg grim wtype convert compare
if ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
    echo "SKIP: qt6-wayland is not installed" >&2
    exit 77
fi

mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/zubotta-wayland.XXXXXX")
chmod 755 "$work"
user=""
if [ "$(id -u)" -eq 0 ]; then
    user=zubotta-e2e
    id "$user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" || exit 1
fi
runtime="$work/runtime"
mkdir -m 700 "$runtime" "$work/home"
[ -n "$user" ] && chown "$user" "$runtime" "$work/home"

wayland_display=""
# Sets `prefix` to the words that run a command as the session's user, with the session's environment only.
user_prefix() {
    prefix=()
    # setpriv execs the command itself, so a process id kept here is the command's own.
    [ -n "$user" ] && prefix=(setpriv --reuid="$user" --regid="$user" --init-groups)
    prefix+=(env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8
             WAYLAND_DISPLAY="$wayland_display")
}
as_user() {
    user_prefix
    "${prefix[@]}" "$@"
}

sway_pid=""
keyboard_pid=""
stop_wayland_session() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$keyboard_pid" ] && kill "$keyboard_pid" 2>/dev/null
    [ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null
    [ -n "$sway_pid" ] && wait "$sway_pid" 2>/dev/null
    game_pid=""
    stop_session
}
trap stop_wayland_session EXIT

# --- sway on a headless 1920x1080 output, one tiled window with no border, as a tiling desktop shows it.
width=1920
height=1080
cat >"$work/sway.config" <<EOF
xwayland disable
output * resolution ${width}x${height}
default_border none
EOF
chmod 644 "$work/sway.config"
(cd "$work" && user_prefix && exec "${prefix[@]}" WAYLAND_DISPLAY= WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway -c "$work/sway.config" >"$work/sway.log" 2>&1) &
sway_pid=$!
socket_ready() {
    wayland_display=$(cd "$runtime" && ls wayland-[0-9] 2>/dev/null | head -n1)
    [ -n "$wayland_display" ]
}
if ! poll 15000 socket_ready; then
    echo "e2e: sway did not start" >&2
    cat "$work/sway.log" >&2
    exit 1
fi
note "sway on $wayland_display"
sway_socket() { ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n1; }
sway_message() { as_user env SWAYSOCK="$(sway_socket)" swaymsg "$@"; }

# A keyboard from before the game starts, as a desktop always has one: a keyboard that appears later does not
# reach a running client. F13 means nothing to the game.
keep_keyboard=()
for _ in $(seq 40); do keep_keyboard+=(-s 3000 -k F13); done
(user_prefix && exec "${prefix[@]}" wtype "${keep_keyboard[@]}") &
keyboard_pid=$!

# --- The game, a copy the session's user can read, in a folder holding the seven sounds.
mkdir -p "$work/run"
cp "$game" "$work/run/zubotta"
for name in "その他.wav" "禁止.wav" "打音.wav" "BGM.wav" "空振.wav" "TIMEOUT.wav" "モグラ.wav"; do
    cp "$sound_source/$name" "$work/run/"
done
chmod -R a+rX "$work/run"
# Started as a Wayland desktop starts it: no DISPLAY and no QT_QPA_PLATFORM, so Qt must choose Wayland itself.
(cd "$work/run" && user_prefix && exec "${prefix[@]}" XDG_SESSION_TYPE=wayland SDL_AUDIODRIVER=dummy ./zubotta \
    >"$work/game.log" 2>&1) &
game_pid=$!
window_mapped() { sway_message -t get_tree | grep -q '"name": "Zubotta"'; }
if ! poll 15000 window_mapped; then
    fail "the game's window did not appear"
    cat "$work/game.log" >&2
    exit 1
fi
note "the game's window is up"

# --- Screenshots: the whole output, and the game's picture found in it by its olive ground band, which spans
# the picture's width and reaches down to its bottom, from y 3130 twips (pixel 209).
shot() { as_user grim -t png - >"$1" 2>/dev/null && [ -s "$1" ]; }
picture_x=0
picture_y=0
factor=0
find_picture() {
    convert "$1" -fill black +opaque '#808000' -fill white -opaque '#808000' -colorspace gray "$work/olive.png" || return 1
    # The row with the most olive lies below the key buttons, where the band is all there is.
    local row band_width band_height top
    row=$(convert "$work/olive.png" -scale "1x$height!" -depth 16 txt:- | tail -n +2 | sort -t'(' -k2 -n -r |
        head -n1 | cut -d, -f2 | cut -d: -f1)
    # A black border first, so that trimming always takes black away, even at the screen's edge.
    read -r band_width picture_x <<<"$(convert "$work/olive.png" -crop "${width}x1+0+$row" +repage \
        -bordercolor black -border 1 -trim -format '%w %[fx:page.x - 1]' info: 2>/dev/null)"
    factor=$((band_width / 400))
    [ "$factor" -ge 1 ] || return 1
    # Down the band's left end, clear of holes and buttons.
    read -r band_height top <<<"$(convert "$work/olive.png" -crop "1x$height+$((picture_x + 10 * factor))+0" +repage \
        -bordercolor black -border 1 -trim -format '%h %[fx:page.y - 1]' info: 2>/dev/null)"
    picture_y=$((top + band_height - 437 * factor))
    [ $((top - picture_y - 209 * factor)) -ge -1 ] && [ $((top - picture_y - 209 * factor)) -le 1 ]
}
# The picture brought back to design size by taking one pixel of every k x k block.
design_picture() {
    convert "$1" -crop "$((400 * factor))x$((437 * factor))+$picture_x+$picture_y" +repage \
        -sample "400x437!" "$2"
}
colour_count() { # pixels of colour $6 in the rectangle $2..$5 of a design-size picture
    convert "$1" -crop "$4x$5+$2+$3" +repage -depth 8 txt:- 2>/dev/null | tail -n +2 | grep -c "#$6"
}

opening_ready() { shot "$work/opening.png" && find_picture "$work/opening.png"; }
if ! poll 10000 opening_ready; then
    fail "no picture of the opening screen in the output"
    cp "$work/opening.png" "$out/" 2>/dev/null
    exit 1
fi
note "the picture stands at $picture_x,$picture_y, enlarged $factor times"

# The tiled window fills the output under the menu bar: the largest whole factor that fits is 2 (874 of
# about 1050 rows), the picture centred, the margins one plain colour, every art pixel a crisp k x k block.
[ "$factor" -eq 2 ] || fail "the picture is enlarged $factor times, not 2"
[ "$picture_x" -eq $(((width - 400 * factor) / 2)) ] || fail "the picture is not centred across ($picture_x)"
below=$((height - picture_y - 437 * factor))
margin_colour=$(convert "$work/opening.png" -crop "1x1+5+$((height - 5))" -depth 8 txt:- | tail -n1 | grep -o '#[0-9A-F]\{6\}')
# The margin rows between the menu bar and the picture.
above=$([ "$picture_y" -gt 0 ] && convert "$work/opening.png" -crop "1x$picture_y+5+0" +repage -depth 8 txt:- | tail -n +2 |
    grep -o '#[0-9A-F]\{6\}' | tac | awk -v c="$margin_colour" '$0 != c { exit } { n++ } END { print n + 0 }')
note "margins: $above rows above, $below below, in $margin_colour"
[ $((above - below)) -ge -1 ] && [ $((above - below)) -le 1 ] || fail "the picture is not centred down ($above above, $below below)"
plain() { # the rectangle w h x y of the opening screenshot holds one colour
    [ "$1" -le 0 ] || [ "$2" -le 0 ] ||
        [ "$(convert "$work/opening.png" -crop "$1x$2+$3+$4" +repage -unique-colors -format '%w' info:)" = 1 ]
}
plain "$picture_x" "$((height - picture_y))" 0 "$picture_y" &&
    plain "$picture_x" "$((height - picture_y))" $((picture_x + 400 * factor)) "$picture_y" &&
    plain $((400 * factor)) "$above" "$picture_x" $((picture_y - above)) &&
    plain $((400 * factor)) "$below" "$picture_x" $((picture_y + 437 * factor)) ||
    fail "the margins are not one plain colour"
design_picture "$work/opening.png" "$work/opening_design.png"
convert "$work/opening_design.png" -sample "$((400 * factor))x$((437 * factor))!" "$work/reenlarged.png"
convert "$work/opening.png" -crop "$((400 * factor))x$((437 * factor))+$picture_x+$picture_y" +repage "$work/picture.png"
blurred=$(compare -metric AE "$work/picture.png" "$work/reenlarged.png" null: 2>&1 | cut -d' ' -f1)
[ "$blurred" = 0 ] || fail "$blurred pixels of the enlarged picture are not whole k x k blocks"

# The opening screen itself: green sky, olive ground, four key buttons in their brown frames.
[ "$(colour_count "$work/opening_design.png" 10 10 1 1 008000)" = 1 ] || fail "the sky is not green"
for x in 78 142 207 272; do
    [ "$(colour_count "$work/opening_design.png" $x 274 40 50 804000)" -ge 30 ] || fail "key button at $x not drawn"
done
not_green() { convert "$1" -crop "34x36+80+168" +repage -depth 8 txt:- | tail -n +2 | grep -vc -e '#008000' -e '#007D00'; }
[ "$(not_green "$work/opening_design.png")" -lt 20 ] || fail "hole 1's mole is up before any key"

# --- Keys: Space starts a round, 'a' raises the mole of hole 1. It stands up for half a second before the
# hammer can strike it, so only the picture is taken while waiting.
quick_picture() {
    as_user grim -t ppm -g "$picture_x,$picture_y $((400 * factor))x$((437 * factor))" - 2>/dev/null |
        convert - -sample "400x437!" "$1"
}
as_user wtype -k space
sleep 1.2
as_user wtype -k a
mole_up() { quick_picture "$work/mole_design.png" && [ "$(not_green "$work/mole_design.png")" -ge 150 ]; }
if poll 3000 mole_up; then
    note "hole 1's mole rose"
    shot "$work/mole.png"
else
    fail "the mole of hole 1 did not rise after 'a'"
fi
cp "$work"/{opening,mole}.png "$out/" 2>/dev/null

# Esc ends the game at once, with status 0.
as_user wtype -k Escape
expect_exit_zero "Esc under sway" 2000

finish "$work/game.log" "$work/sway.log"
