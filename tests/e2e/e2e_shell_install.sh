# cmake --install lays out a program that finds its engine: the installed
# Tarvola, started from an unrelated folder, shows its main window on a clip
# and ends with exit code 0. The desktop entry and the icon are installed.
source "$E2E_DIR/harness.sh"
: "${TARVOLA_BUILD_DIR:?}"
unset LD_LIBRARY_PATH

prefix="$SCRATCH/prefix"
cmake --install "$TARVOLA_BUILD_DIR" --prefix "$prefix" >"$SCRATCH/install.log" \
    || fail "cmake --install failed"
program="$prefix/bin/Tarvola"
[ -x "$program" ] || fail "no installed program"
desktop=$(find "$prefix" -name tarvola.desktop)
[ -n "$desktop" ] && grep -q '^Exec=Tarvola %f$' "$desktop" || fail "no desktop entry"
[ -n "$(find "$prefix" -path '*icons*' -name tarvola.png)" ] || fail "no icon"

start_xvfb
clip="$SCRATCH/clip.mkv"
make_clip "$clip" --width 320 --height 240 --frames 50
start_app "$program" "$clip"
wid=$(wait_window "$MAIN_WINDOW" NORMAL)
grep -q "cannot load\|has no\|returned no" "$SCRATCH/app.log" && fail "installed program did not bind its engine"
key "$wid" ctrl+q
wait_exit 10
[ "$EXIT_STATUS" -eq 0 ] || fail "exit code $EXIT_STATUS"
note "passed"
