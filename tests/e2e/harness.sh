# Helpers for the end-to-end scripts: a private Xvfb, the program started on
# it, windows found by name and type, keys, screenshots. Source it; the
# scripts get TARVOLA_BIN, MAKE_CLIP, E2E_DIR and E2E_WORK from CTest.

set -euo pipefail

: "${TARVOLA_BIN:?}" "${E2E_WORK:?}"

# The program's settings (its recent files) stay in the test's scratch
# folder, away from the user's.
export XDG_CONFIG_HOME="${E2E_WORK}/config"

# The program keeps its engine to the end of the process on purpose.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

XVFB_PID=""
APP_PID=""
# The main window's title: "Tarvola", or "clip.mkv - Tarvola" once a video is open.
MAIN_WINDOW='^(.* - )?Tarvola$'

SCRATCH=$(mktemp -d "$E2E_WORK/$(basename "$0" .sh).XXXXXX")

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$SCRATCH/app.log" ]; then
        echo "--- the program's output (last 40 lines):" >&2
        tail -n 40 "$SCRATCH/app.log" >&2
    fi
    exit 1
}

note() {
    echo "e2e: $*" >&2
}

cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# start_xvfb [Xvfb options...]: a private X server; sets DISPLAY. It must
# not reset when its last client (the readiness probe) disconnects: a program
# connecting during the reset is refused. A server that does not answer is
# started again.
start_xvfb() {
    local attempt
    for attempt in 1 2 3; do
        local fifo="$SCRATCH/displayfd.$attempt"
        rm -f "$fifo"
        mkfifo "$fifo"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset "$@" 3>"$fifo" \
            2>"$SCRATCH/xvfb.log" &
        XVFB_PID=$!
        local number=""
        read -r -t 20 number <"$fifo" || true
        if [ -n "$number" ] && DISPLAY=":$number" xdpyinfo >/dev/null 2>&1; then
            export DISPLAY=":$number"
            unset WAYLAND_DISPLAY
            export QT_QPA_PLATFORM=xcb
            note "Xvfb on $DISPLAY"
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
        sleep 1
    done
    cat "$SCRATCH/xvfb.log" >&2
    fail "Xvfb did not start"
}

# start_app PROGRAM [ARGS...]: runs it in the background from the scratch
# folder (not the program's own folder), output in $SCRATCH/app.log.
start_app() {
    (cd "$SCRATCH" && exec "$@") >"$SCRATCH/app.log" 2>&1 &
    APP_PID=$!
}

# wait_exit SECONDS: waits for the program to end; sets EXIT_STATUS.
# (Not in a command substitution: only this shell can wait for its child.)
wait_exit() {
    local limit=$1 i
    for ((i = 0; i < limit * 10; i++)); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            EXIT_STATUS=0
            wait "$APP_PID" || EXIT_STATUS=$?
            APP_PID=""
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end within $limit s"
}

# window_type WID: NORMAL, SPLASH, DIALOG, ... from _NET_WM_WINDOW_TYPE.
window_type() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed -n 's/.*_NET_WM_WINDOW_TYPE_\([A-Z]*\).*/\1/p' | head -n1
}

# find_window NAME-REGEX [TYPE]: visible windows of that name (and type).
find_window() {
    local wid
    for wid in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        if [ -z "${2:-}" ] || [ "$(window_type "$wid")" = "$2" ]; then
            echo "$wid"
        fi
    done
}

# wait_window NAME-REGEX [TYPE] [SECONDS]: prints the first match's id.
wait_window() {
    local limit=${3:-30} i wid
    for ((i = 0; i < limit * 10; i++)); do
        wid=$(find_window "$1" "${2:-}" | head -n1)
        if [ -n "$wid" ]; then
            echo "$wid"
            return 0
        fi
        kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while waiting for '$1'"
        sleep 0.1
    done
    fail "no window '$1' ${2:-} within $limit s"
}

# wait_no_window NAME-REGEX [TYPE] [SECONDS]
wait_no_window() {
    local limit=${3:-10} i
    for ((i = 0; i < limit * 10; i++)); do
        [ -z "$(find_window "$1" "${2:-}")" ] && return 0
        sleep 0.1
    done
    fail "window '$1' still shown after $limit s"
}

# key WID KEYS...: focuses the window and types the keys.
key() {
    local wid=$1
    shift
    xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
    sleep 0.2
    xdotool key --clearmodifiers "$@"
}

shot() {
    import -window root "$1"
}

# crop FILE X Y W H OUT
crop() {
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage "$6"
}

# differing_pixels A B: how many pixels differ.
differing_pixels() {
    compare -metric AE "$1" "$2" null: 2>&1 | sed 's/[^0-9.].*//' || true
}

# geometry WID: sets WIN_X WIN_Y WIN_W WIN_H.
geometry() {
    eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/WIN_\1=/p')"
    WIN_W=$WIN_WIDTH
    WIN_H=$WIN_HEIGHT
}

# make_clip PATH [make_clip options...]
make_clip() {
    local path=$1
    shift
    "${MAKE_CLIP:?}" --out "$path" "$@" >/dev/null || fail "make_clip failed for $path"
}
