#!/usr/bin/env bash
# The two user commands (and the benchmarks):
#   ./tarvola.sh run [video]                          build and start Tarvola
#   ./tarvola.sh test [--sanitize=address|undefined|thread]   build and run every test
#   ./tarvola.sh bench                                build and run the benchmarks
# Each installs what a fresh Debian 12 machine lacks before it builds.
set -euo pipefail

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CALLER_DIR=$PWD
cd "$TOP"

PACKAGES=(
    build-essential cmake pkg-config git
    libopencv-dev qt6-base-dev libqt6opengl6-dev libgl-dev libgtest-dev
    ffmpeg xvfb xauth xdotool x11-utils imagemagick libgl1-mesa-dri
)

say() { printf 'tarvola: %s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        say "need root to run: $*"
        return 1
    fi
}

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

# build PRESET: configure (once) and build the given preset. Where ccache is
# installed, compilations are reused across clean builds and other clones.
build() {
    local preset=$1
    if command -v ccache >/dev/null 2>&1; then
        export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
        export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
        export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$TOP} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
    fi
    cmake --preset "$preset" >/dev/null
    cmake --build "$(preset_dir "$preset")" --parallel "$(jobs)"
}

preset_dir() {
    case $1 in
        dev) echo build ;;
        *) echo "build-$1" ;;
    esac
}

sanitizer_preset() {
    case $1 in
        "") echo dev ;;
        address) echo asan ;;
        undefined) echo ubsan ;;
        thread) echo tsan ;;
        *) say "unknown sanitizer '$1' (address, undefined or thread)"; exit 2 ;;
    esac
}

cmd_test() {
    local sanitize=""
    for arg in "$@"; do
        case $arg in
            --sanitize=*) sanitize=${arg#--sanitize=} ;;
            *) say "unknown option '$arg'"; exit 2 ;;
        esac
    done
    local preset
    preset=$(sanitizer_preset "$sanitize")
    ensure_packages
    build "$preset"
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
    # GUI tests need a display; give them a private X server.
    xvfb-run -a -s "-screen 0 1600x1200x24" \
        ctest --test-dir "$(preset_dir "$preset")" --output-on-failure -j "$(jobs)"
}

cmd_run() {
    local video=${1:-}
    if [ -n "$video" ]; then
        case $video in /*) ;; *) video=$CALLER_DIR/$video ;; esac
        if [ ! -f "$video" ]; then
            say "no such video file: $1"
            exit 1
        fi
    fi
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        say "no display: start it on a desktop, or under a virtual one with"
        say "  xvfb-run -a -s '-screen 0 1600x1200x24' ./tarvola.sh run $*"
        exit 1
    fi
    ensure_packages
    build dev
    local program=build/bin/Tarvola
    if [ ! -x "$program" ]; then
        say "the Tarvola program is not built yet; only the engine exists so far"
        exit 1
    fi
    if [ -z "$video" ]; then
        video=build/demo/demo.mkv
        if [ ! -f "$video" ]; then
            say "making the demo clip $video"
            build/bin/make_clip --out "$video" --width 960 --height 540 --frames 250 >/dev/null
        fi
    fi
    exec "$program" "$video"
}

cmd_bench() {
    ensure_packages
    build release
    local status=0
    for b in build-release/bin/bench_*; do
        [ -x "$b" ] || continue
        say "running $b"
        "$b" || status=1
    done
    say "running bench/cpu_usage.sh"
    bench/cpu_usage.sh build-release/bin/Tarvola || status=1
    return $status
}

case ${1:-} in
    run) shift; cmd_run "$@" ;;
    test) shift; cmd_test "$@" ;;
    bench) shift; cmd_bench "$@" ;;
    *) echo "usage: $0 run [video] | test [--sanitize=address|undefined|thread] | bench" >&2; exit 2 ;;
esac
