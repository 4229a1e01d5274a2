#!/usr/bin/env bash
# The menus in the window's menu bar and the routing menu on a right-click:
# they open, and their items act.
source "$(dirname "$0")/lib.sh" "$@"

start_app
measure_menu_bar
geometry "$WID"
MX=$X; MY=$Y

green_at_rate()
{
    # Green pixels on a rate button (fractions of the 329 x 435 picture).
    local fy="$1"
    shot "$WORK/rate.png"
    $XSHOT green "$WORK/rate.png" $(( MX + 329 * 737 / 1000 - 40 )) $(( MY + M + 435 * fy / 1000 - 12 )) 80 24
}
Y44=275; Y48=365; Y96=541

# True when the first rate button is lit and the second is not.
rate_lit()
{
    G_ON=$(green_at_rate "$1")
    G_OFF=$(green_at_rate "$2")
    [ "$G_ON" -gt $(( G_OFF + 50 )) ]
}

read -r -a ITEMS <<< "$(menu_bar_items | tr '\n' ' ')"
expect_eq "${#ITEMS[@]}" 3 "menu bar items (File, Config, Help)"
note "menu bar items at x ${ITEMS[*]}"
BAR_Y=$(( MY + M / 2 ))

# Opens a menu of the bar and sets BOX (x y w h) and ROWS (text rows, screen y).
open_bar_menu()
{
    BOX=$(open_popup $(( MX + ITEMS[$1] )) "$BAR_Y")
    [ "$BOX" != none ] || fail "menu $1 did not open"
    read -r -a ROWS <<< "$(popup_rows $BOX)"
    read -r BX BY BW BH <<< "$BOX"
}

# Config > Sample rate > 96000 Hz: the 96 kHz button lights.
open_bar_menu 1
note "Config menu at $BOX, rows ${ROWS[*]}"
[ ${#ROWS[@]} -ge 2 ] || fail "the Config menu shows ${#ROWS[@]} rows"
shot "$SHOTS/menu-config.png"
cp "$WORK/after.png" "$WORK/config.png"
xdotool mousemove --sync $(( BX + BW / 2 )) "${ROWS[-1]}"
wait_change "$WORK/config.png" "$WORK/sub.png" || fail "the Sample rate menu did not open"
sleep 0.5
shot "$WORK/sub.png"
SUB=$($XSHOT diffbox "$WORK/config.png" "$WORK/sub.png")
[ "$SUB" != none ] || fail "the Sample rate menu did not open"
# The sub-menu lies to the right of the Config menu.
read -r SX SY SW SH <<< "$(echo "$SUB")"
read -r -a SROWS <<< "$($XSHOT rows "$WORK/sub.png" $(( BX + BW + 6 )) $(( SY + 3 )) $(( SX + SW - BX - BW - 12 )) $(( SH - 6 )))"
note "rate sub-menu rows ${SROWS[*]}"
expect_eq "${#SROWS[@]}" 6 "rows of the Sample rate menu"
shot "$SHOTS/menu-sample-rate.png"
xdotool mousemove --sync $(( BX + BW + 40 )) "${SROWS[3]}"
sleep 0.3
xdotool click 1
wait_for 'rate_lit $Y96 $Y48' 10 || fail "96000 Hz from the menu did not light the 96 kHz button ($G_ON, $G_OFF)"
note "after 96000 Hz: green at 96: $G_ON, at 48: $G_OFF"

# Config > Factory Defaults: back to 48000 Hz.
open_bar_menu 1
xdotool mousemove --sync $(( BX + BW / 2 )) "${ROWS[0]}"
sleep 0.3
xdotool click 1
wait_for 'rate_lit $Y48 $Y96' 10 || fail "Factory Defaults did not bring back 48000 Hz ($G_ON, $G_OFF)"
note "after Factory Defaults: green at 48: $G_ON, at 96: $G_OFF"

# File > Always on top: ticked, then unticked again.
open_bar_menu 0
[ ${#ROWS[@]} -ge 3 ] || fail "the File menu shows ${#ROWS[@]} rows"
cp "$WORK/after.png" "$WORK/file-0.png"
ROW0=${ROWS[0]}; FBOX="$BX $(( ROW0 - 9 )) $BW 18"
xdotool mousemove --sync $(( BX + BW / 2 )) "$ROW0"; sleep 0.3; xdotool click 1; sleep 0.8
open_bar_menu 0
cp "$WORK/after.png" "$WORK/file-1.png"
shot "$SHOTS/menu-file-on-top.png"
ticked=$($XSHOT areadiff "$WORK/file-0.png" "$WORK/file-1.png" $FBOX)
xdotool mousemove --sync $(( BX + BW / 2 )) "$ROW0"; sleep 0.3; xdotool click 1; sleep 0.8
open_bar_menu 0
cp "$WORK/after.png" "$WORK/file-2.png"
unticked=$($XSHOT areadiff "$WORK/file-0.png" "$WORK/file-2.png" $FBOX)
xdotool key Escape 2>/dev/null || true; sleep 0.3
# The toolkit makes a new native window when the always-on-top state changes.
wait_for main_window_settled 30 || fail "no main window after Always on top"
geometry "$WID"; xdotool mousemove --sync $(( X + 10 )) $(( Y + M + 10 )); xdotool click 1; sleep 0.5
note "Always on top row: $ticked pixels changed when ticked, $unticked after unticking"
[ "$ticked" -gt 5 ] || fail "Always on top shows no tick"
[ "$unticked" -le 2 ] || fail "Always on top stays ticked"

# Help > About: the About window 50 pixels below the panel's corner.
open_bar_menu 2
xdotool mousemove --sync $(( BX + BW / 2 )) "${ROWS[0]}"; sleep 0.3; xdotool click 1
wait_for 'xdotool search --onlyvisible --name "^About Quibra$" >/dev/null' 10 || fail "no About window"
AWID=$(xdotool search --onlyvisible --name "^About Quibra$" | head -n 1)
sleep 0.5
geometry "$AWID"
note "About window at $X,$Y"
expect_eq "$X,$Y" "$MX,$(( MY + 50 ))" "About window position"
shot "$SHOTS/about.png"
xdotool mousemove --sync $(( X + 20 )) $(( Y + 20 )); sleep 0.2
xdotool key Escape
wait_for '! xdotool search --onlyvisible --name "^About Quibra$" >/dev/null' 5 || fail "Escape did not close About"

# Right-click on the panel: the routing menu; its "FlexROUTE" opens the
# routing window beside the panel (more room on the right here).
BOX=$(open_popup $(( MX + 12 )) $(( MY + M + 12 )) 3)
[ "$BOX" != none ] || fail "no routing menu on a right-click"
read -r -a ROWS <<< "$(popup_rows $BOX)"
read -r BX BY BW BH <<< "$BOX"
note "routing menu at $BOX, rows ${ROWS[*]}"
[ ${#ROWS[@]} -ge 4 ] || fail "the routing menu shows ${#ROWS[@]} rows"
shot "$SHOTS/menu-routing.png"
xdotool mousemove --sync $(( BX + BW / 2 )) "${ROWS[0]}"; sleep 0.3; xdotool click 1
wait_for 'xdotool search --onlyvisible --name "^FlexROUTE$" >/dev/null' 10 || fail "no FlexROUTE window"
FWID=$(xdotool search --onlyvisible --name "^FlexROUTE$" | head -n 1)
sleep 0.5
geometry "$FWID"
note "FlexROUTE window at $X,$Y size ${W}x$H"
expect_eq "$X,$Y" "$(( MX + 329 )),$MY" "FlexROUTE window beside the panel"
shot "$SHOTS/flexroute.png"

# File > Close: the program ends, and its shutdown stores the window state.
[ -z "$(setting WindowPosition)" ] || fail "WindowPosition stored before any close"
open_bar_menu 0
xdotool mousemove --sync $(( BX + BW / 2 )) "${ROWS[-1]}"; sleep 0.3; xdotool click 1
stop_app
[ -n "$(setting WindowPosition)" ] || fail "no WindowPosition stored after File > Close"

note "passed"
