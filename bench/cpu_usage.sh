#!/usr/bin/env bash
# CPU use of the real program under Xvfb: stopped, paused and playing the
# drone clip, with the OpenGL screen (Mesa's software OpenGL) and with the
# plain screen, beside ffplay playing the same clip in the same run. Figures
# are per cent of one core, from utime + stime in /proc/PID/stat over each
# interval. While playing, the pictures shown per second are counted too
# (Tarvola's OpenGL swaps through the preloaded swap counter, ffplay's frames
# at the clip's rate less those it dropped), and the CPU per picture shown
# compared.
#   bench/cpu_usage.sh [TARVOLA_BIN [CLIP]]
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TOP=$(dirname "$BENCH_DIR")
export TARVOLA_BIN=${1:-$TOP/build-release/bin/Tarvola}
[ -x "$TARVOLA_BIN" ] || TARVOLA_BIN=$TOP/build/bin/Tarvola
TARVOLA_BIN=$(realpath "$TARVOLA_BIN")
CLIP=${2:-$TOP/../shared/media/soccer_drone_topdown_1260x708_60fps.mp4}
INTERVAL_S=${CPU_INTERVAL_S:-10}

if [ ! -f "$CLIP" ]; then
    echo "cpu_usage: $CLIP is absent; skipped" >&2
    exit 0
fi
E2E_WORK=$(mktemp -d)
export E2E_WORK
# shellcheck source=../tests/e2e/harness.sh
source "$TOP/tests/e2e/harness.sh"

TICKS_PER_S=$(getconf CLK_TCK)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# cpu_percent PID SECONDS: the process's CPU use over the next SECONDS.
cpu_percent() {
    local before after
    before=$(cpu_ticks "$1")
    sleep "$2"
    after=$(cpu_ticks "$1")
    awk -v d=$((after - before)) -v t="$TICKS_PER_S" -v s="$2" \
        'BEGIN { printf "%.1f", 100 * d / t / s }'
}

report() { printf '%-8s %-9s %6s %% of one core%s\n' "$1" "$2" "$3" "${4:-}"; }

SWAP_COUNTER=$(dirname "$TARVOLA_BIN")/libswapcounter.so
SWAP_COUNT_FILE=$E2E_WORK/swaps
export SWAP_COUNT_FILE
swaps() { cat "$SWAP_COUNT_FILE" 2>/dev/null || echo 0; }

# shown_note CPU FRAMES: pictures per second and CPU per picture (ms).
shown_note() {
    awk -v c="$1" -v f="$2" -v s="$INTERVAL_S" 'BEGIN {
        if (f > 0) printf ", %.1f pictures/s, %.2f ms CPU per picture", f / s, 10 * c * s / f }'
}

# measure_program SCREEN: stopped on the first frame, paused, playing.
measure_program() {
    local screen=$1 wid
    if [ "$screen" = opengl ] && [ -f "$SWAP_COUNTER" ]; then
        start_app env LD_PRELOAD="$SWAP_COUNTER" "$TARVOLA_BIN" "$CLIP"
    else
        start_app "$TARVOLA_BIN" "$CLIP"
    fi
    if [ "$screen" = plain ]; then
        key "$(wait_window '^Warning: $')" Return
    fi
    wid=$(wait_window "$MAIN_WINDOW" NORMAL)
    sleep 2
    report "$screen" stopped "$(cpu_percent "$APP_PID" "$INTERVAL_S")"
    key "$wid" ctrl+y
    sleep 1
    key "$wid" ctrl+y
    sleep 1
    report "$screen" paused "$(cpu_percent "$APP_PID" "$INTERVAL_S")"
    key "$wid" ctrl+y
    sleep 1
    local before cpu
    before=$(swaps)
    cpu=$(cpu_percent "$APP_PID" "$INTERVAL_S")
    report "$screen" playing "$cpu" "$(shown_note "$cpu" $(($(swaps) - before)))"
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
}

# ffplay shows every frame at the clip's rate except those it drops (fd= in
# its status line, counted from the start).
measure_ffplay() {
    local pid cpu fps dropped_before dropped_after
    fps=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate \
        -of default=noprint_wrappers=1:nokey=1 "$CLIP" | awk -F/ '{ print ($2 ? $1 / $2 : $1) }')
    ffplay -loglevel info -stats -autoexit -t $((INTERVAL_S + 3)) "$CLIP" 2>"$E2E_WORK/ffplay.log" &
    pid=$!
    sleep 1
    dropped_before=$(ffplay_dropped)
    cpu=$(cpu_percent "$pid" "$INTERVAL_S")
    dropped_after=$(ffplay_dropped)
    report ffplay playing "$cpu" "$(shown_note "$cpu" \
        "$(awk -v f="$fps" -v s="$INTERVAL_S" -v d=$((dropped_after - dropped_before)) \
            'BEGIN { printf "%d", f * s - d }')")"
    wait "$pid" 2>/dev/null || true
}

ffplay_dropped() {
    tr '\r' '\n' <"$E2E_WORK/ffplay.log" | sed -n 's/.*fd= *\([0-9]*\).*/\1/p' | tail -n 1 \
        | grep . || echo 0
}

start_xvfb
measure_program opengl
measure_ffplay
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null || true

# Without GLX and without Qt's GL integration: the plain screen.
start_xvfb -extension GLX
QT_XCB_GL_INTEGRATION=none measure_program plain
rm -rf "$E2E_WORK"
