# Sourced after common.bash by the tests that must not lose their display.
# start_x may find a display number that another test's server took at the
# same moment and use that server, which goes away with the other test: make
# sure the server in use is our own.
start_own_x() {
    for _ in 1 2 3 4 5; do
        start_x
        sleep 0.3
        kill -0 "$XVFB_PID" 2>/dev/null && return 0
    done
    fail "cannot start an X server of our own"
}
