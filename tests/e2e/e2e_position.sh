#!/usr/bin/env bash
# The window state: closing stores "WindowPosition", the next start opens
# where the window was; "/defaults" at start resets and forgets the position.
source "$(dirname "$0")/lib.sh" "$@"

start_app
measure_menu_bar
xdotool windowmove "$WID" 100 80
xdotool windowsize "$WID" 264 $(( 350 + M ))
sleep 1
geometry "$WID"
note "moved to $X,$Y size ${W}x$H"
expect_eq "$X,$Y" "100,80" "moved window"
SIZE="${W}x$H"

# The close button (the window manager's close request).
$XSHOT close "$WID"
stop_app
[ -n "$(setting WindowPosition)" ] || fail "no WindowPosition stored on close"
note "stored WindowPosition: $(setting WindowPosition)"

start_app
geometry "$WID"
expect_eq "$X,$Y" "100,80" "restored position"
expect_eq "${W}x$H" "$SIZE" "restored size"
grep -q "^POS: 100 80\$" "$WORK/stderr.txt" || fail "no 'POS: 100 80' line"
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
