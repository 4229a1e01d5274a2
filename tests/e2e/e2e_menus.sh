#!/usr/bin/env bash
# The menus in the window's menu bar and the routing menu (a right-click, even
# on a control, or a left click on the printed FLEXROUTE): they open, and their
# items act; the routing window opens on the screen.
# Window managers: none openbox
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

# Opens menu $1 of the bar (0 File, 1 Config, 2 Help) of the main window
# where it is now and sets BOX and ROWS; a click on the picture's corner
# settles the bar before a second try.
open_bar_menu()
{
    geometry "$WID"
    MX=$X; MY=$Y
    open_menu $(( MX + ITEMS[$1] )) $(( MY + M / 2 )) 1 $(( MX + 10 )) $(( MY + M + 10 ))
}

# Closes the open menu: Escape, or a click on the picture's corner.
close_menu()
{
    xdotool key Escape
    wait_for '! menu_box' 3 || { xdotool mousemove --sync $(( MX + 10 )) $(( MY + M + 10 )) click 1; wait_for '! menu_box' 5; } \
        || fail "the menu stayed open"
}

# Config > Sample rate > 96000 Hz: the 96 kHz button lights.
open_bar_menu 1
note "Config menu at $BOX, rows ${ROWS[*]}"
[ ${#ROWS[@]} -ge 2 ] || fail "the Config menu shows ${#ROWS[@]} rows"
shot "$SHOTS/menu-config.png"
cp "$WORK/after.png" "$WORK/config.png"
xdotool mousemove --sync $(( BX + BW / 2 )) "${ROWS[-1]}"
xdotool mousemove --sync $(( BX + BW / 2 + 1 )) "${ROWS[-1]}"
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
choose_item $(( BX + BW + 40 )) "${SROWS[3]}" 'rate_lit $Y96 $Y48'
wait_for 'rate_lit $Y96 $Y48' 10 || fail "96000 Hz from the menu did not light the 96 kHz button ($G_ON, $G_OFF)"
note "after 96000 Hz: green at 96: $G_ON, at 48: $G_OFF"

# Config > Factory Defaults: back to 48000 Hz.
open_bar_menu 1
choose_item $(( BX + BW / 2 )) "${ROWS[0]}" 'rate_lit $Y48 $Y96'
wait_for 'rate_lit $Y48 $Y96' 10 || fail "Factory Defaults did not bring back 48000 Hz ($G_ON, $G_OFF)"
note "after Factory Defaults: green at 48: $G_ON, at 96: $G_OFF"

# Help > About: the About window 50 pixels below the panel's corner. A click
# on its picture where the 44.1 kHz button lies behind it reaches the About
# window, not the panel (the rate stays 48000 Hz); $1 closes it ("button": its
# CLOSE button, "escape": the Escape key), which unmaps it.
# Chooses the open menu's first row, which opens the dialog titled $1, and
# waits until that dialog lies at ($2, $3) (under a window manager it is framed
# first, then put back in its place); sets DWID to its window.
open_dialog_at()
{
    choose_item $(( BX + BW / 2 )) "${ROWS[0]}" "mapped \"$1\""
    wait_for "mapped \"$1\"" 10 || fail "no $1 window"
    DWID=$(xdotool search --onlyvisible --name "^$1\$" | head -n 1)
    wait_for "geometry \"\$DWID\"; [ \"\$X,\$Y\" = \"$2,$3\" ]" 10 || true
    note "$1 window at $X,$Y size ${W}x$H"
    expect_eq "$X,$Y" "$2,$3" "$1 window's place"
}

about_round()
{
    open_bar_menu 2
    open_dialog_at "About Quibra" "$MX" $(( MY + 50 ))
    AWID=$DWID
    click_in "$AWID" $(( 329 * 737 / 1000 )) $(( M + 435 * Y44 / 1000 - 50 ))
    if [ "$1" = button ]; then
        shot "$SHOTS/about.png"
        click_in "$AWID" $(( 116 + 24 )) $(( 171 + 8 ))
    else
        xdotool mousemove --sync $(( X + 20 )) $(( Y + 20 )); sleep 0.2
        xdotool key Escape
    fi
    wait_for '! mapped "About Quibra"' 5 || fail "the About window stayed after closing it ($1)"
    wait_for 'rate_lit $Y48 $Y44' 5 || fail "a click on the About window reached the panel ($G_ON, $G_OFF)"
}

# File > Always on top: ticked; the About window then still takes its own
# clicks; unticked again, and About once more.
open_bar_menu 0
[ ${#ROWS[@]} -ge 3 ] || fail "the File menu shows ${#ROWS[@]} rows"
cp "$WORK/after.png" "$WORK/file-0.png"
ROW0=${ROWS[0]}; FBOX="$BX $(( ROW0 - 9 )) $BW 18"
choose_item $(( BX + BW / 2 )) "$ROW0"
# The toolkit makes a new native window when the always-on-top state changes.
wait_for main_window_settled 30 || fail "no main window after Always on top"
open_bar_menu 0
cp "$WORK/after.png" "$WORK/file-1.png"
shot "$SHOTS/menu-file-on-top.png"
ticked=$($XSHOT areadiff "$WORK/file-0.png" "$WORK/file-1.png" $FBOX)
close_menu
[ "$ticked" -gt 5 ] || fail "Always on top shows no tick"
about_round button
open_bar_menu 0
choose_item $(( BX + BW / 2 )) "$ROW0"
wait_for main_window_settled 30 || fail "no main window after Always on top is unticked"
open_bar_menu 0
cp "$WORK/after.png" "$WORK/file-2.png"
unticked=$($XSHOT areadiff "$WORK/file-0.png" "$WORK/file-2.png" $FBOX)
close_menu
note "Always on top row: $ticked pixels changed when ticked, $unticked after unticking"
[ "$unticked" -le 2 ] || fail "Always on top stays ticked"
about_round escape

# Right-click on the 96 kHz button: the routing menu, and the button stays
# unpressed (the rate stays 48 kHz); its "FlexROUTE" opens the routing window
# beside the panel (more room on the right here), at its starting size.
open_menu $(( MX + 329 * 737 / 1000 )) $(( MY + M + 435 * Y96 / 1000 )) 3
note "routing menu at $BOX, rows ${ROWS[*]}"
[ ${#ROWS[@]} -ge 4 ] || fail "the routing menu shows ${#ROWS[@]} rows"
shot "$SHOTS/menu-routing.png"
open_dialog_at FlexROUTE $(( MX + 329 )) "$MY"
FWID=$DWID
# (A window manager that keeps the ratio 524:442 exactly makes it 366 x 308.)
[ "${W}x$H" = 366x309 ] || { [ -n "$WM" ] && [ "${W}x$H" = 366x308 ]; } || fail "FlexROUTE window's starting size: ${W}x$H, not 366x309"
shot "$SHOTS/flexroute.png"
import -window "$FWID" "$SHOTS/flexroute-366x309.png"
sleep 1
rate_lit $Y48 $Y96 || fail "the right-click pressed the 96 kHz button ($G_ON, $G_OFF)"

# The panel reaching past the right edge of the screen: a left click on its
# printed "FLEXROUTE" opens the routing menu, and "FlexROUTE" puts the window
# inside the screen.
# (Closed first, so that the click on the legend opens the menu and raises
# nothing.)
$XSHOT close "$FWID"
wait_for '! mapped FlexROUTE' 5 || fail "the routing window stayed after its close"
xdotool windowmove "$WID" 1000 "$MY"
# (A window manager puts its frame's corner there.)
wait_for 'geometry "$WID"; [ "$X" -ge 1000 ] && [ "$X" -le $(( 1000 + 10 )) ]' 10 || fail "the main window did not move to x 1000"
MX=$X; MY=$Y
open_menu $(( MX + 243 )) $(( MY + M + 398 ))
choose_item $(( BX + BW / 2 )) "${ROWS[0]}" 'mapped FlexROUTE'
on_screen() { geometry "$FWID"; [ "$X" -ge 0 ] && [ $(( X + W )) -le 1280 ] && [ "$Y" = "$MY" ]; }
wait_for on_screen 10 || fail "FlexROUTE opened at $X,$Y size ${W}x$H, off the 1280-wide screen"
note "panel at $MX: FlexROUTE window at $X,$Y size ${W}x$H"
shot "$SHOTS/flexroute-right-edge.png"
# The routing window now covers the panel's menu bar: move the panel clear of it.
xdotool windowmove "$WID" 100 "$MY"
# (A window manager puts its frame's corner there.)
wait_for 'geometry "$WID"; [ "$X" -ge 100 ] && [ "$X" -le $(( 100 + 10 )) ]' 10 || fail "the main window did not move to x 100"
MX=$X; MY=$Y

# Sized from outside, and under a window manager dragged by its frame (Alt and
# the right button in openbox): back within 262 x 221 .. 1048 x 884 at 524:442
# (to two pixels).
routing_ok()
{
    geometry "$FWID"
    [ $W -ge 262 ] && [ $W -le 1048 ] && [ $H -ge 221 ] && [ $H -le 884 ] \
        && [ $(( W * 442 - H * 524 )) -le 1048 ] && [ $(( H * 524 - W * 442 )) -le 884 ]
}
for size in "100 100" "2000 2000" "726 398"; do
    xdotool windowsize "$FWID" $size
    sleep 0.5
    wait_for routing_ok 10 || fail "the routing window stays at ${W}x$H after a resize to $size"
    note "routing window sized $size from outside: ${W}x$H"
done
if [ -n "$WM" ]; then
    for d in "600 40" "-700 -20"; do
        read -r dx dy <<< "$d"
        geometry "$FWID"; W0=$W
        xdotool mousemove --sync $(( X + W - 20 )) $(( Y + H - 20 )) keydown alt mousedown 3
        for k in 1 2 3 4; do xdotool mousemove --sync $(( X + W - 20 + dx * k / 4 )) $(( Y + H - 20 + dy * k / 4 )); sleep 0.2; done
        xdotool mouseup 3 keyup alt
        sleep 0.5
        wait_for routing_ok 10 || fail "the routing window stays at ${W}x$H after a frame drag by $d"
        [ "$W" != "$W0" ] || fail "a frame drag by $d did not resize the routing window"
        note "routing window dragged by $d: ${W}x$H"
    done
fi

# File > Close: the program ends, and its shutdown stores the window state.
[ -z "$(setting WindowPosition)" ] || fail "WindowPosition stored before any close"
open_bar_menu 0
choose_item $(( BX + BW / 2 )) "${ROWS[-1]}" '! kill -0 "$APP_PID" 2>/dev/null'
stop_app
[ -n "$(setting WindowPosition)" ] || fail "no WindowPosition stored after File > Close"

note "passed"
