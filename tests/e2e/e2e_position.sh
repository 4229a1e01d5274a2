#!/usr/bin/env bash
# The window state: closing stores "WindowPosition", the next start opens
# where the window was, however often; "/defaults" at start resets and forgets
# the position.
# Window managers: none openbox
source "$(dirname "$0")/lib.sh" "$@"

start_app
measure_menu_bar
xdotool windowmove "$WID" 100 80
xdotool windowsize "$WID" 264 $(( 350 + M ))
sleep 1
geometry "$WID"
note "moved to $X,$Y size ${W}x$H"
# (A window manager puts its frame's corner there.)
[ -n "$WM" ] || expect_eq "$X,$Y" "100,80" "moved window"
PLACE="$X,$Y ${W}x$H"

# Closed (the close button: the window manager's close request) and started
# again five times: the same place and size each time.
for round in 1 2 3 4 5; do
    $XSHOT close "$WID"
    stop_app
    [ -n "$(setting WindowPosition)" ] || fail "no WindowPosition stored on close"
    start_app
    geometry "$WID"
    expect_eq "$X,$Y ${W}x$H" "$PLACE" "place and size after restart $round"
done
note "stored WindowPosition: $(setting WindowPosition)"
grep -q "^POS: $X $Y\$" "$WORK/stderr.txt" || fail "no 'POS: $X $Y' line"
shot "$SHOTS/restored.png"

# Closed again from its new place: the state is kept (and "/defaults" below
# has something to forget).
xdotool windowmove "$WID" 140 120
sleep 0.5
$XSHOT close "$WID"
stop_app
[ -n "$(setting WindowPosition)" ] || fail "no WindowPosition stored on the second close"

# "/defaults" (any letter case): centred at the default size, no POS lines,
# factory values, and the stored position forgotten.
start_app /DeFaults
geometry "$WID"
expect_eq "${W}x$H" "329x$(( 435 + M ))" "default size in defaults mode"
expect_eq "$X,$Y" "$(( 640 - 329 / 2 )),$(( 512 - (435 + M) / 2 ))" "centred in defaults mode"
if grep -q "^POS: " "$WORK/stderr.txt"; then fail "POS lines in defaults mode"; fi
# The settings store writes 3 s after the change.
wait_for '[ -z "$(setting WindowPosition)" ]' 20 \
    || fail "WindowPosition after /defaults: '$(setting WindowPosition)'"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null || true; APP_PID=""

# A command line that is more than the argument is not defaults mode.
start_app /defaults more
if ! grep -q "^POS: " "$WORK/stderr.txt"; then fail "'/defaults more' taken as defaults mode"; fi

note "passed"
