# Shared steps of the display end-to-end tests (e2e_display_*.sh): play a
# generated pitch clip, pause it, click its four true corners and its centre
# where the screen maps them, and check on screenshots that the drawn lines
# lie on the clip's lines. Source it after harness.sh.

CHECK="$(dirname "$TARVOLA_BIN")/display_check"
[ -x "$CHECK" ] || fail "display_check is not built beside the program"

# The pitch dimensions are the field controls' defaults, so that the
# overlay's circle has the clip's radius.
PITCH_LENGTH=36
PITCH_WIDTH=27
CENTRE=(13.5 18)     # the true centre, in pitch units
ELSEWHERE=(8.1 14.4) # a second game centre, away from the clip's lines

# make_pitch_clip WIDTH HEIGHT: sets CLIP and CLIP_JSON.
make_pitch_clip() {
    CLIP="$SCRATCH/pitch.mkv"
    CLIP_JSON="$SCRATCH/pitch.json"
    make_clip "$CLIP" --width "$1" --height "$2" --frames 400 --length "$PITCH_LENGTH" \
        --field-width "$PITCH_WIDTH" --radius 5
}

# play_and_pause WID: a few frames of playback, then paused on one frame.
play_and_pause() {
    key "$1" ctrl+y
    sleep 1.5
    key "$1" ctrl+y
    sleep 1
}

# open_with_dialog WID PATH: File > Open, the path typed into the dialog.
open_with_dialog() {
    local dialog
    key "$1" ctrl+o
    dialog=$(wait_window '^Open video file$')
    sleep 0.5
    xdotool type --delay 20 "$2"
    key "$dialog" Return
    wait_no_window '^Open video file$'
}

# click_at X Y: the mouse then leaves for the display's far corner, so that
# the loupe shown under it is gone from the next screenshot.
click_at() {
    xdotool mousemove --sync "$1" "$2" click 1
    # shellcheck disable=SC2046
    xdotool mousemove --sync $(xdotool getdisplaygeometry | awk '{ print $1 - 1, $2 - 1 }')
    sleep 0.4
}

# calibrate GEOMETRY: clicks the four corners and the centre; a screenshot
# before each click lands in $SCRATCH/before-click-N.png.
calibrate() {
    local positions i=0 x y
    mapfile -t positions < <("$CHECK" clicks "$1" "$CLIP_JSON" "${CENTRE[@]}" "${ELSEWHERE[@]}")
    [ ${#positions[@]} -eq 6 ] || fail "no click positions"
    note "clicks at ${positions[*]}"
    for ((i = 0; i < 5; i++)); do
        shot "$SCRATCH/before-click-$i.png"
        read -r x y <<<"${positions[$i]}"
        click_at "$x" "$y"
    done
    SECOND_CENTRE_AT=${positions[5]}
}

# check_lines GEOMETRY BEFORE [display_check lines options...]: the lines
# the last clicks added, against the shot BEFORE them.
check_lines() {
    local geometry=$1 before=$2 after
    shift 2
    after="$SCRATCH/after-$(basename "$before")"
    sleep 0.8
    shot "$after"
    "$CHECK" lines "$before" "$after" "$geometry" "$CLIP_JSON" "$@" >&2 \
        || fail "the lines do not lie where they belong ($before -> $after)"
}

# check_overlay GEOMETRY BEFORE-SHOT [--exclude X Y W H]: after the corners
# and the centre, the outline and grid are drawn on their lines and nothing
# lies off them; a second centre then draws its line and circle exactly
# there.
check_overlay() {
    local geometry=$1 before=$2 x y
    shift 2
    check_lines "$geometry" "$before" --field --old-centre "${CENTRE[@]}" "$@"
    cp "$SCRATCH/after-$(basename "$before")" "$SCRATCH/calibrated.png"
    read -r x y <<<"$SECOND_CENTRE_AT"
    click_at "$x" "$y"
    check_lines "$geometry" "$SCRATCH/calibrated.png" --centre "${ELSEWHERE[@]}" \
        --old-centre "${CENTRE[@]}" "$@"
}

# play_on_and_quit WID: plays on with the overlay (a screenshot to look at), then
# Ctrl+Q must end the program with exit code 0.
play_on_and_quit() {
    key "$1" ctrl+y
    sleep 1.5
    shot "$SCRATCH/playing-calibrated.png"
    kill -0 "$APP_PID" || fail "the program ended while playing with the overlay"
    key "$1" ctrl+q
    wait_exit 15
    [ "$EXIT_STATUS" -eq 0 ] || fail "exit code $EXIT_STATUS after Ctrl+Q"
    note "passed; screenshots in $SCRATCH"
}
