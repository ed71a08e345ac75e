#!/usr/bin/env bash
# CPU use of the real program under Xvfb: stopped, paused and playing the
# drone clip, with the OpenGL screen (Mesa's software OpenGL) and with the
# plain screen, beside ffplay playing the same clip in the same run. Figures
# are per cent of one core, from utime + stime in /proc/PID/stat over each
# interval.
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

report() { printf '%-8s %-9s %6s %% of one core\n' "$1" "$2" "$3"; }

# measure_program SCREEN: stopped on the first frame, paused, playing.
measure_program() {
    local screen=$1 wid
    start_app "$TARVOLA_BIN" "$CLIP"
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
    report "$screen" playing "$(cpu_percent "$APP_PID" "$INTERVAL_S")"
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
}

measure_ffplay() {
    local pid
    ffplay -loglevel quiet -autoexit -t $((INTERVAL_S + 3)) "$CLIP" &
    pid=$!
    sleep 1
    report ffplay playing "$(cpu_percent "$pid" "$INTERVAL_S")"
    wait "$pid" 2>/dev/null || true
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
