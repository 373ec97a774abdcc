# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the end-to-end scripts: a private X server, polling with deadlines, the game's window and exit,
# and the colours of screenshots. Expects `work` (a scratch folder) to be set; sets DISPLAY, `game_pid`
# and `window`. Picture pixel (x, y) lies at (x + dx, y + dy) of a screenshot; the scripts set dx and dy.

xvfb_pid=""
game_pid=""
window=""
failures=0

note() { echo "e2e: $*"; }
fail() {
    echo "e2e: FAIL: $*" >&2
    failures=$((failures + 1))
}
now_ms() { date +%s%3N; }

# Polls a command every 50 ms until it succeeds or the deadline (in milliseconds) passes.
poll() {
    local deadline=$(($(now_ms) + $1))
    shift
    while :; do
        "$@" && return 0
        [ "$(now_ms)" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}

stop_session() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}

require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed" >&2
            exit 77
        fi
    done
}

# A private X server on a display number it picks itself (no race with other servers). It does not reset
# when its last client leaves: a reset then closes a client just connecting (a window manager, the game).
# usage: start_x_server [WIDTHxHEIGHT]
start_x_server() {
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    display_ready() { [ -s "$work/display" ]; }
    if ! poll 10000 display_ready; then
        echo "e2e: Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
    note "X server on $DISPLAY"
}

# The game's sound goes to a file; a script sets this empty to let SDL find the desktop's sound server.
sound_driver=disk

# Starts a command in a folder, in the background, and waits for the game's window.
# usage: launch_in <folder> <command...>
launch_in() {
    local folder=$1
    shift
    (cd "$folder" && if [ -n "$sound_driver" ]; then
        export SDL_AUDIODRIVER=$sound_driver SDL_DISKAUDIOFILE="$work/audio.raw"
    else
        unset SDL_AUDIODRIVER
    fi && QT_QPA_PLATFORM=xcb exec "$@" >>"$work/game.log" 2>&1) &
    game_pid=$!
    window=""
    find_window() {
        window=$(xdotool search --onlyvisible --name '^Zubotta$' 2>/dev/null | head -n1)
        [ -n "$window" ]
    }
    if ! poll 15000 find_window; then
        fail "the game window did not appear"
        cat "$work/game.log" >&2
        return 1
    fi
}

# The colours of a client rectangle, one "#RRGGBB" per pixel.
colours() {
    convert "$1" -crop "$4x$5+$(($2 + dx))+$(($3 + dy))" +repage -depth 8 txt:- 2>/dev/null |
        tail -n +2 | grep -o '#[0-9A-F]\{6\}'
}
count() { colours "$1" "$2" "$3" "$4" "$5" | grep -c "^#$6\$"; }
count_not_green() { colours "$@" | grep -vc '^#008000$'; }
# Number of differing pixels of a client rectangle between two screenshots.
changed() {
    convert "$1" -crop "$5x$6+$(($3 + dx))+$(($4 + dy))" +repage "$work/a.png" &&
        convert "$2" -crop "$5x$6+$(($3 + dx))+$(($4 + dy))" +repage "$work/b.png" &&
        compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1
}

# Waits up to the given milliseconds for the game to end and checks its exit status is 0.
expect_exit_zero() {
    local what=$1 limit=$2 started
    started=$(now_ms)
    gone() { ! kill -0 "$game_pid" 2>/dev/null; }
    if ! poll "$limit" gone; then
        fail "$what: the game was still running after ${limit} ms"
        kill "$game_pid" 2>/dev/null
        wait "$game_pid" 2>/dev/null
        game_pid=""
        return
    fi
    wait "$game_pid"
    local status=$?
    game_pid=""
    if [ $status -eq 0 ]; then
        note "$what: ended with status 0 after $(($(now_ms) - started)) ms"
    else
        fail "$what: exit status $status"
    fi
}

# Ends a script with its verdict: on failure, keeps the given logs beside the screenshots in `out`.
finish() {
    if [ $failures -ne 0 ]; then
        echo "e2e: $failures check(s) failed; screenshots and logs in $out" >&2
        cp "$@" "$out/" 2>/dev/null
        exit 1
    fi
    note "all checks passed; screenshots in $out"
}
