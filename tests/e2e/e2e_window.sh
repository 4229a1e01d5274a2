#!/usr/bin/env bash
# The main window as a user meets it: opens at 329 x 435 (picture) centred,
# writes the two "POS: " lines, is the only window mapped, publishes its size
# rules, cannot be resized beyond its limits or out of its ratio, and a click
# on a rate button lights it.
# Window managers: none openbox
source "$(dirname "$0")/lib.sh" "$@"

start_app
measure_menu_bar
geometry "$WID"
note "window at $X,$Y size ${W}x$H, menu bar $M"

# Centred on the 1280 x 1024 screen.
expect_eq "$X" $(( 640 - 329 / 2 )) "x of the centred window"
expect_eq "$Y" $(( 512 - (435 + M) / 2 )) "y of the centred window"

# The two position lines, with the panel's corner.
grep -q "^POS: $X $Y\$" "$WORK/stderr.txt" || fail "no 'POS: $X $Y' line"
grep -q "^POS: Korr: $X $Y\$" "$WORK/stderr.txt" || fail "no 'POS: Korr: $X $Y' line"
[ "$(grep -c '^POS: ' "$WORK/stderr.txt")" = 2 ] || fail "expected exactly two POS lines"

shot "$SHOTS/main-window.png"

# No other window is mapped: the routing and About windows wait for a command.
no_dialog_mapped()
{
    for t in FlexROUTE "About Quibra"; do
        if mapped "$t"; then fail "the '$t' window is mapped $1"; fi
    done
}
no_dialog_mapped "after start"

# The size rules as the window manager reads them (WM_NORMAL_HINTS): limits
# of the client area (the menu bar as base size) and the picture's ratio.
check_hints()
{
    local hints
    hints=$(xprop -id "$1" WM_NORMAL_HINTS)
    shift
    for want in "$@"; do
        grep -q "specified $want\$" <<< "$hints" || fail "no '$want' in the hints: $hints"
    done
}
check_hints "$WID" "minimum size: 219 by $(( 290 + M ))" "maximum size: 438 by $(( 580 + M ))" \
    "minimum aspect ratio: 219/290" "maximum aspect ratio: 219/290" "base size: 0 by $M"

# Resized from outside: held within 219 x 290 .. 438 x 580 (picture) at 219:290.
check_size()
{
    local req_w="$1" req_h="$2"
    xdotool windowsize "$WID" "$req_w" "$req_h"
    sleep 0.3
    local ok=0
    for _ in $(seq 1 100); do
        geometry "$WID"
        local pw=$W ph=$(( H - M ))
        if [ $pw -ge 219 ] && [ $pw -le 438 ] && [ $ph -ge 290 ] && [ $ph -le 580 ] \
           && [ $(( pw * 290 - ph * 219 )) -le 438 ] && [ $(( ph * 219 - pw * 290 )) -le 580 ]; then
            ok=1
            break
        fi
        sleep 0.1
    done
    [ $ok = 1 ] || fail "resize to ${req_w}x$req_h left the picture at ${W}x$(( H - M ))"
    note "asked ${req_w}x$req_h, got picture ${W}x$(( H - M ))"
}

check_size 100 100
expect_eq "$W" 219 "smallest width"
expect_eq "$(( H - M ))" 290 "smallest picture height"

check_size 2000 1500
expect_eq "$W" 438 "largest width"
expect_eq "$(( H - M ))" 580 "largest picture height"

check_size 400 300        # too wide for its height
check_size 250 $(( 560 + M ))  # too tall for its width

# A size that is already right stays as it is.
xdotool windowsize "$WID" 329 $(( 435 + M ))
sleep 1
geometry "$WID"
expect_eq "$W x $H" "329 x $(( 435 + M ))" "the default size kept"

# A click on the 44100 Hz button lights it (green where it was not).
bx=$(( 329 * 737 / 1000 ))          # centre of the 44.1 kHz button
by=$(( M + 435 * 275 / 1000 ))
geometry "$WID"
shot "$WORK/rate-before.png"
green_before=$($XSHOT green "$WORK/rate-before.png" $(( X + bx - 40 )) $(( Y + by - 12 )) 80 24)
click_in "$WID" "$bx" "$by"
lit()
{
    shot "$WORK/rate-after.png"
    green_after=$($XSHOT green "$WORK/rate-after.png" $(( X + bx - 40 )) $(( Y + by - 12 )) 80 24)
    [ "$green_after" -gt $(( green_before + 50 )) ]
}
wait_for lit 10 || fail "the 44.1 kHz button did not light up ($green_before -> $green_after)"
note "green pixels at the 44.1 kHz button: $green_before -> $green_after"
shot "$SHOTS/main-window-44k.png"
no_dialog_mapped "after a click on the panel"

note "passed"
