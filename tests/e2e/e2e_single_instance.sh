#!/usr/bin/env bash
# A second launch hands its command line to the running panel and ends; the
# running panel comes to the front, and with "/defaults" resets and forgets
# its position.
source "$(dirname "$0")/lib.sh" "$@"

start_app
measure_menu_bar
# A stored window state, which the later "/defaults" launch must erase.
$XSHOT close "$WID"
stop_app
[ -n "$(setting WindowPosition)" ] || fail "no WindowPosition stored on close"
start_app
FIRST_PID=$APP_PID

# Something above the main window: the About window (Help > About).
geometry "$WID"
MX=$X; MY=$Y
read -r -a ITEMS <<< "$(menu_bar_items | tr '\n' ' ')"
open_menu $(( MX + ITEMS[2] )) $(( MY + M / 2 )) 1 $(( MX + 10 )) $(( MY + M + 10 ))
choose_item $(( BX + BW / 2 )) "${ROWS[0]}" 'mapped "About Quibra"'
wait_for 'xdotool search --onlyvisible --name "^About Quibra$" >/dev/null' 10 || fail "no About window"
AWID=$(xdotool search --onlyvisible --name "^About Quibra$" | head -n 1)

# Place in the stacking order of the top-level windows, 1 for the topmost
# (xwininfo lists them top first).
stack_index()
{
    xwininfo -root -children | awk '/^ +0x/ { print $1 }' | grep -n -x "$(printf '0x%x' "$1")" | cut -d: -f1
}
above() { [ "$(stack_index "$1")" -lt "$(stack_index "$2")" ]; }
sleep 0.5
above "$AWID" "$WID" || fail "the About window is not above the main window"

# Light 96 kHz and move the window, so the reset shows; the About window
# (moved off the panel, out of the way of the clicks) stays above it.
xdotool windowmove "$AWID" 700 600
sleep 0.3
click_in "$WID" $(( 329 * 737 / 1000 )) $(( M + 435 * 541 / 1000 ))
shot "$WORK/lit.png"
geometry "$WID"
g96=$($XSHOT green "$WORK/lit.png" $(( X + 329 * 737 / 1000 - 40 )) $(( Y + M + 435 * 541 / 1000 - 12 )) 80 24)
[ "$g96" -gt 50 ] || fail "the 96 kHz button did not light"
xdotool windowmove "$WID" 30 40
xdotool windowraise "$AWID"
sleep 0.5
above "$AWID" "$WID" || fail "the About window is not above the main window"

# Second launch with "/defaults": ends at once...
start=$(date +%s)
timeout 30 "$APP" /defaults 2> "$WORK/second.txt" || fail "the second launch failed ($?)"
end=$(date +%s)
note "second launch ended after $(( end - start )) s"
kill -0 "$FIRST_PID" || fail "the first instance is gone"
expect_eq "$(xdotool search --name "^$TITLE\$" | wc -l)" 1 "main windows on the display"

# ... and the running panel comes to the front, centred again, at 48000 Hz.
wait_for 'above "$WID" "$AWID"' 10 || fail "the main window did not come to the front"
centred() { geometry "$WID"; [ "$X,$Y" = "$(( 640 - 329 / 2 )),$(( 512 - (435 + M) / 2 ))" ]; }
wait_for centred 10 || fail "not re-centred after /defaults (at $X,$Y)"
reset_shows()
{
    shot "$WORK/reset.png"
    g48=$($XSHOT green "$WORK/reset.png" $(( X + 329 * 737 / 1000 - 40 )) $(( Y + M + 435 * 365 / 1000 - 12 )) 80 24)
    g96=$($XSHOT green "$WORK/reset.png" $(( X + 329 * 737 / 1000 - 40 )) $(( Y + M + 435 * 541 / 1000 - 12 )) 80 24)
    [ "$g48" -gt $(( g96 + 50 )) ]
}
wait_for reset_shows 10 || fail "the second launch's /defaults did not reset the rate (48: $g48, 96: $g96)"
# The settings store writes 3 s after the change.
wait_for '[ -z "$(setting WindowPosition)" ]' 20 \
    || fail "WindowPosition after a second launch with /defaults: '$(setting WindowPosition)'"
shot "$SHOTS/second-launch.png"

# A plain second launch ends too and raises the running window.
xdotool windowraise "$AWID"
sleep 0.5
above "$AWID" "$WID" || fail "the About window could not be raised"
# (Its argument is malformed UTF-8, which reaches the running panel mended.)
timeout 30 "$APP" $'\xfc\xc3' 2> "$WORK/plain-second.txt" || fail "the plain second launch failed"
wait_for 'above "$WID" "$AWID"' 10 || fail "the main window did not come to the front again"
kill -0 "$FIRST_PID" || fail "the first instance is gone"

# The same user on another X display runs a panel of its own there (one
# instance per user and display; the toolkit's machine-wide lock plays no part).
cat > "$WORK/other-display.sh" <<'INNER'
"$1" 2> "$2" &
pid=$!
for _ in $(seq 1 100); do
    if xdotool search --onlyvisible --name "^Quibra v2.0.0.0\$" > /dev/null 2>&1; then
        kill -0 $pid && { kill $pid; wait $pid 2> /dev/null; exit 0; }
    fi
    kill -0 $pid 2> /dev/null || exit 1
    sleep 0.2
done
kill $pid
exit 1
INNER
xvfb-run -a -s "-screen 0 800x600x24" bash "$WORK/other-display.sh" "$APP" "$WORK/other-display.txt" \
    || fail "no panel on a second display of the same user"
kill -0 "$FIRST_PID" || fail "the first instance is gone"

note "passed"
