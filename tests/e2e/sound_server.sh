#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays Zubotta through a real sound server, as a player's desktop has one: a private PulseAudio server with a
# null sink whose monitor is recorded, the game started with no SDL_AUDIODRIVER, keys pressed in a private X
# server. Then the server is killed mid-round: the round must go on silently and Esc must still end the game.
#
# usage: sound_server.sh <zubotta binary> <folder with the generated .wav files> <output folder>
#
# Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
set -uo pipefail

game=$1
sound_source=$2
out=$3

source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool import convert compare pulseaudio parec pactl od awk

mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/zubotta-sound.XXXXXX")
server_pid=""
recorder_pid=""
stop_sound_session() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null
    [ -n "$server_pid" ] && kill -9 "$server_pid" 2>/dev/null
    stop_session
}
trap stop_sound_session EXIT
start_x_server

mkdir -p "$work/run"
for name in "その他.wav" "禁止.wav" "打音.wav" "BGM.wav" "空振.wav" "TIMEOUT.wav" "モグラ.wav"; do
    if [ ! -s "$sound_source/$name" ]; then
        echo "e2e: the generated sounds are missing from $sound_source" >&2
        exit 1
    fi
    cp "$sound_source/$name" "$work/run/"
done

# --- The sound server: its own runtime folder, so the game finds it as it finds a desktop's, and no other.
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work"
mkdir -m 700 "$XDG_RUNTIME_DIR"
sink=zubotta_e2e
pulseaudio --daemonize=no -n --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    --load="module-null-sink sink_name=$sink" --load="module-native-protocol-unix auth-anonymous=1" \
    2>"$work/pulseaudio.log" &
server_pid=$!
server_up() { pactl info >/dev/null 2>&1; }
if ! poll 10000 server_up; then
    echo "e2e: the PulseAudio server did not start" >&2
    cat "$work/pulseaudio.log" >&2
    exit 1
fi
pactl set-default-sink "$sink"
note "PulseAudio server in $XDG_RUNTIME_DIR"

# The sink's monitor, recorded from before the game starts: 44100 Hz, 2 channels, 16 bit.
recording="$work/monitor.raw"
parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 >"$recording" \
    2>"$work/parec.log" &
recorder_pid=$!
frame_bytes=4
recorded_frames() { echo $(($(stat -c %s "$recording") / frame_bytes)); }
recording_runs() { [ "$(recorded_frames)" -gt 0 ]; }
poll 5000 recording_runs || fail "parec recorded nothing from the sink's monitor"

# The peak level of every 10 ms of the recording (441 frames), one a line, from a given frame on.
levels() {
    tail -c +$(($1 * frame_bytes + 1)) "$recording" | od -An -v -td2 -w1764 |
        awk '{ m = 0; for (i = 1; i <= NF; ++i) { v = $i < 0 ? -$i : $i; if (v > m) m = v } print m }'
}
audible=300    # a peak above -40 dBFS
# How many of the 10 ms blocks from a frame on (all, or the given number) are audible, as "audible/all".
audible_share() { levels "$1" | head -n "${2:-1000000}" | awk -v t=$audible '{ n++; if ($1 > t) a++ } END { print a + 0 "/" n + 0 }'; }
# The first run of audible blocks from a frame on: "<start block> <length in blocks>", or nothing.
first_burst() {
    levels "$1" | awk -v t=$audible '
        $1 > t { if (start == "") start = NR - 1; quiet = 0; last = NR - 1; next }
        start != "" && ++quiet >= 3 { print start, last - start + 1; found = 1; exit }
        END { if (!found && start != "") print start, last - start + 1 }'
}
quiet_since() { # the last 300 ms of the recording are silent
    local frames
    frames=$(recorded_frames)
    [ "$frames" -ge 13230 ] && [ "$(audible_share $((frames - 13230)) | cut -d/ -f1)" = 0 ]
}

# --- Start-up, as a player starts the game: no SDL_AUDIODRIVER, so SDL finds the server itself.
sound_driver=""
shot() { import -window "$window" "$1" 2>/dev/null; }
changed_area() { # differing pixels of a window rectangle between two screenshots
    convert "$1" -crop "$5x$6+$3+$4" +repage "$work/a.png" && convert "$2" -crop "$5x$6+$3+$4" +repage "$work/b.png" &&
        compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1
}
started_at=$(recorded_frames)
launch_in "$work/run" "$game" || exit 1
if pactl list short sink-inputs | grep -q .; then
    note "the game's stream plays into the private server"
else
    fail "the game opened no stream on the sound server"
fi

# The tune: sounding through most of two seconds of the opening screen, from half a second after the start.
two_seconds_in() { [ "$(recorded_frames)" -ge $((started_at + 110250)) ]; }
poll 10000 two_seconds_in || fail "the recording stalled"
share=$(audible_share $((started_at + 22050)) 200)
note "the tune: $share blocks of 10 ms audible in the 2 s after start-up"
[ "${share%/*}" -ge $((${share#*/} * 6 / 10)) ] || fail "the tune was not heard ($share blocks audible)"

# F1 stops the tune (its chime plays once); wait for silence, then start a round and raise a mole.
xdotool key --window "$window" F1
poll 5000 quiet_since || fail "the sink did not fall silent after F1 stopped the tune"
xdotool key --window "$window" space
sleep 1.3   # the one-second "START" pause, which sounds nothing
poll 3000 quiet_since || fail "a sound played while the round started"
key_frame=$(recorded_frames)
xdotool key --window "$window" a
sleep 0.6
burst=$(first_burst "$key_frame")
if [ -z "$burst" ]; then
    fail "no mole sound after the key"
else
    read -r onset length <<<"$burst"
    note "the mole sound: heard $((onset * 10)) ms after the key reached the recording, for $((length * 10)) ms"
    # The mole sound lasts 90 ms; the hammer's sounds are longer and come later.
    [ "$onset" -le 30 ] || fail "the mole sound came $((onset * 10)) ms after the key"
    [ "$length" -ge 4 ] && [ "$length" -le 15 ] || fail "the first sound after the key lasted $((length * 10)) ms, not about 90"
fi

# --- The server dies mid-round: silence, no message box, the round goes on and Esc still ends the game.
{
    kill -9 "$server_pid"
    wait "$server_pid"
} 2>/dev/null
server_pid=""
note "sound server killed"
shot "$work/before.png"
xdotool key --window "$window" s d f
going_on() { shot "$work/after.png" && [ "$(changed_area "$work/before.png" "$work/after.png" 0 0 400 437)" -ge 20 ]; }
poll 4000 going_on && note "the round goes on without the server" || fail "the picture stopped changing after the server died"
box() { [ -n "$(xdotool search --onlyvisible --class zubotta 2>/dev/null | grep -v "^$window\$" | head -n1)" ]; }
sleep 1
box && fail "a window opened after the server died"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended when the server died"
cp "$work/after.png" "$out/round_without_server.png" 2>/dev/null
xdotool key --window "$window" Escape
expect_exit_zero "Esc after the server died" 2000

finish "$work/game.log" "$work/pulseaudio.log" "$recording"
