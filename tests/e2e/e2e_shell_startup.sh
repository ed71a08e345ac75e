# Start-up failures, each in its own process: without libVistrel.so beside
# the program, and with one that lacks the factory, the critical box is the
# only window besides the splash and the program ends with exit code -1 once
# the box is closed. On a machine without OpenGL the warning comes
# first and the program then starts normally. The program runs from another
# working directory throughout.
source "$E2E_DIR/harness.sh"
: "${NO_FACTORY_LIB:?}"
unset LD_LIBRARY_PATH

critical='^Tarvola found a critical error!$'

# expect_critical_exit PROGRAM NAME
expect_critical_exit() {
    start_app "$1"
    local box
    box=$(wait_window "$critical")
    sleep 0.5
    shot "$SCRATCH/$2.png"
    [ -z "$(find_window "$MAIN_WINDOW" NORMAL)" ] || fail "$2: the main window was shown"
    grep -q "Could not load\|cannot load\|has no\|returned no" "$SCRATCH/app.log" \
        || note "$2: no reason on standard error"
    key "$box" Return
    wait_exit 10
    [ "$EXIT_STATUS" -eq 255 ] || fail "$2: exit code $EXIT_STATUS, expected -1 (255)"
    note "$2: critical box, exit code -1"
}

start_xvfb

mkdir -p "$SCRATCH/missing"
cp "$TARVOLA_BIN" "$SCRATCH/missing/Tarvola"
expect_critical_exit "$SCRATCH/missing/Tarvola" library-missing

mkdir -p "$SCRATCH/without-factory"
cp "$TARVOLA_BIN" "$SCRATCH/without-factory/Tarvola"
cp "$NO_FACTORY_LIB" "$SCRATCH/without-factory/libVistrel.so"
expect_critical_exit "$SCRATCH/without-factory/Tarvola" factory-missing
grep -q "has no GetVistrelInterface" "$SCRATCH/app.log" || fail "factory-missing: wrong library used"

# No OpenGL: the warning box, then the program runs with the plain screen.
# Mesa still offers OpenGL through EGL on a server without GLX; Qt's own
# switch takes that away too.
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null || true
XVFB_PID=""
start_xvfb -extension GLX
QT_XCB_GL_INTEGRATION=none start_app "$TARVOLA_BIN"
box=$(wait_window '^Warning: $')
[ -z "$(find_window "$MAIN_WINDOW" NORMAL)" ] || fail "no-opengl: main window before the warning"
shot "$SCRATCH/no-opengl.png"
key "$box" Return
wid=$(wait_window "$MAIN_WINDOW" NORMAL)
key "$wid" ctrl+q
wait_exit 10
[ "$EXIT_STATUS" -eq 0 ] || fail "no-opengl: exit code $EXIT_STATUS"
note "no-opengl: warning box, then the main window"
