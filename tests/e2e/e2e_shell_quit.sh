# Ctrl+Q while a video plays: the program stops the playback loop, joins its
# worker and ends with exit code 0, without hanging or crashing.
source "$E2E_DIR/harness.sh"

start_xvfb
clip="$SCRATCH/clip.mkv"
make_clip "$clip" --width 640 --height 480 --frames 500
start_app "$TARVOLA_BIN" "$clip"

wid=$(wait_window "$MAIN_WINDOW" NORMAL)
sleep 0.5
key "$wid" ctrl+y
sleep 1.5
shot "$SCRATCH/playing.png"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended during playback"
key "$wid" ctrl+q
wait_exit 15
[ "$EXIT_STATUS" -eq 0 ] || fail "exit code $EXIT_STATUS after Ctrl+Q during playback"
if grep -qiE 'terminate|abort|segmentation|AddressSanitizer|ThreadSanitizer|runtime error' "$SCRATCH/app.log"; then
    cat "$SCRATCH/app.log" >&2
    fail "the program reported an error on the way out"
fi
note "passed"
