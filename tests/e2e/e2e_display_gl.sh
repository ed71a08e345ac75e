# The real program with the OpenGL screen on a generated pitch clip: playing
# and paused, the four true corners and the centre are clicked where the
# screen's mapping puts them; the pitch outline, grid, centre line and circle
# then lie on the clip's lines within 2 screen pixels.
source "$E2E_DIR/harness.sh"
source "$E2E_DIR/display_common.bash"

start_xvfb -wr
make_pitch_clip 960 540
start_app "$TARVOLA_BIN"
wid=$(wait_window "$MAIN_WINDOW" NORMAL)
[ -z "$(find_window '^Warning: $')" ] || fail "OpenGL warning on a server with GLX"
xdotool windowmove --sync "$wid" 0 0
xdotool windowsize --sync "$wid" 1150 900
sleep 1

# With no video, the screen is black: that gives its place and size, once
# the picture's own window has followed the main window's new width.
empty_screen_found() {
    shot "$SCRATCH/empty.png"
    "$CHECK" gl-geometry "$SCRATCH/empty.png" "$CLIP_JSON" >"$SCRATCH/geometry" 2>/dev/null \
        && geometry "$wid" && [ "$(cut -d' ' -f6 "$SCRATCH/geometry")" = "$WIN_W" ]
}
eventually 15 empty_screen_found || fail "the OpenGL screen is not black without a video"
read -r sx sy scale _ _ sw sh <"$SCRATCH/geometry"
note "screen ${sw}x${sh} at $sx,$sy, scale $scale"
awk -v s="$scale" 'BEGIN { exit !(s >= 1) }' || fail "screen too small for exact clicks"

# Opened through the open dialog, the first frame shows before any play.
open_with_dialog "$wid" "$CLIP"
wid=$(wait_window '^pitch.mkv - Tarvola$' NORMAL)
first_frame_shown() {
    shot "$SCRATCH/opened.png"
    "$CHECK" gl-frame "$SCRATCH/opened.png" "$CLIP_JSON" "$SCRATCH/geometry" 2>/dev/null
}
eventually 15 first_frame_shown || fail "the first frame is not on the OpenGL screen after opening"

play_and_pause "$wid"
calibrate "$SCRATCH/geometry"
# The tip sits in the screen's bottom-right corner until the fourth corner.
check_overlay "$SCRATCH/geometry" "$SCRATCH/before-click-0.png" \
    --exclude $((sx + sw - 320)) $((sy + sh - 200)) 320 200

play_on_and_quit "$wid"
