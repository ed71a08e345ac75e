# The real program on an X server without OpenGL: the warning box comes
# first, then the main window with the plain screen, which shows the first
# frame of a generated pitch clip at once. Then, paused, the four true
# corners and the centre are clicked where the plain screen shows them
# (native size); the lines the engine burns into the frames then lie on the
# clip's lines within 2 pixels.
source "$E2E_DIR/harness.sh"
source "$E2E_DIR/display_common.bash"

start_xvfb -wr -extension GLX
# Without GLX, Qt would still reach Mesa's OpenGL through EGL; with no GL
# integration at all it finds none, like a machine without OpenGL.
export QT_XCB_GL_INTEGRATION=none
make_pitch_clip 800 480
start_app "$TARVOLA_BIN" "$CLIP"

warning=$(wait_window '^Warning: $')
[ -z "$(find_window "$MAIN_WINDOW" NORMAL)" ] || fail "the main window came before the warning"
shot "$SCRATCH/warning.png"
key "$warning" Return
wait_no_window '^Warning: $'
wid=$(wait_window "$MAIN_WINDOW" NORMAL)
sleep 1

# Before any play, the first frame shows at its native size.
shot "$SCRATCH/opened.png"
"$CHECK" plain-geometry "$SCRATCH/opened.png" "$CLIP_JSON" >"$SCRATCH/geometry" \
    || fail "the plain screen does not show the first frame at its native size"
note "picture at $(cut -d' ' -f1,2 "$SCRATCH/geometry")"
play_and_pause "$wid"

calibrate "$SCRATCH/geometry"
check_overlay "$SCRATCH/geometry" "$SCRATCH/before-click-0.png"

play_on_and_quit "$wid"
