# The real program on a generated clip: the main window appears with the
# file's name in its title, docks and controls; Ctrl+Y plays and the position display advances,
# Ctrl+Y again pauses it; Ctrl+Q ends the program with exit code 0.
source "$E2E_DIR/harness.sh"

start_xvfb
clip="$SCRATCH/clip.mkv"
make_clip "$clip" --width 320 --height 240 --frames 250
start_app "$TARVOLA_BIN" "$clip"

wid=$(wait_window "$MAIN_WINDOW" NORMAL)
wait_window '^clip.mkv - Tarvola$' NORMAL >/dev/null || fail "the title does not name the file"
sleep 1
geometry "$wid"
note "main window ${WIN_W}x${WIN_H} at $WIN_X,$WIN_Y"

# The video controls dock sits at the bottom, above the status bar; its first
# row starts with the position display. The strip leaves out the picture
# above the dock, which the screen scales to whatever room it has.
dock_strip() { crop "$1" "$WIN_X" $((WIN_Y + WIN_H - 120)) "$WIN_W" 95 "$2"; }
position_display() { crop "$1" "$WIN_X" $((WIN_Y + WIN_H - 110)) 100 50 "$2"; }

shot "$SCRATCH/start.png"
dock_strip "$SCRATCH/start.png" "$SCRATCH/strip-start.png"

# Ctrl+F shows the floating field controls, and hides them again.
key "$wid" ctrl+f
wait_window '^Field Controls$' >/dev/null
shot "$SCRATCH/field-controls.png"
key "$wid" ctrl+f
wait_no_window '^Field Controls$'

# Ctrl+P hides the video controls dock, and shows it again.
key "$wid" ctrl+p
sleep 0.5
shot "$SCRATCH/no-controls.png"
dock_strip "$SCRATCH/no-controls.png" "$SCRATCH/strip-hidden.png"
[ "$(differing_pixels "$SCRATCH/strip-start.png" "$SCRATCH/strip-hidden.png")" -gt 500 ] \
    || fail "Ctrl+P did not hide the video controls"
key "$wid" ctrl+p
sleep 0.5
shot "$SCRATCH/controls-back.png"
dock_strip "$SCRATCH/controls-back.png" "$SCRATCH/strip-back.png"
[ "$(differing_pixels "$SCRATCH/strip-start.png" "$SCRATCH/strip-back.png")" -eq 0 ] \
    || fail "Ctrl+P did not bring the video controls back"

# Playing: the position display changes.
key "$wid" ctrl+y
sleep 1
shot "$SCRATCH/playing-1.png"
sleep 1
shot "$SCRATCH/playing-2.png"
position_display "$SCRATCH/playing-1.png" "$SCRATCH/pos-1.png"
position_display "$SCRATCH/playing-2.png" "$SCRATCH/pos-2.png"
[ "$(differing_pixels "$SCRATCH/pos-1.png" "$SCRATCH/pos-2.png")" -gt 20 ] \
    || fail "the position display did not advance during playback"

# Paused: it stands still.
key "$wid" ctrl+y
sleep 0.5
shot "$SCRATCH/paused-1.png"
sleep 1
shot "$SCRATCH/paused-2.png"
position_display "$SCRATCH/paused-1.png" "$SCRATCH/pos-3.png"
position_display "$SCRATCH/paused-2.png" "$SCRATCH/pos-4.png"
[ "$(differing_pixels "$SCRATCH/pos-3.png" "$SCRATCH/pos-4.png")" -eq 0 ] \
    || fail "the position display moved while paused"

key "$wid" ctrl+q
wait_exit 15
[ "$EXIT_STATUS" -eq 0 ] || fail "exit code $EXIT_STATUS after Ctrl+Q"
note "passed; screenshots in $SCRATCH"
