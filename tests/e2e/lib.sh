# Shared helpers of the end-to-end tests. Each test script runs under a display
# of its own (it re-starts itself under xvfb-run -a), with a fresh HOME and a
# private runtime folder, starts the real program as a user would, drives it
# with real X input (xdotool) and looks at it through screenshots.
#
# Usage in a test script:   source lib.sh "$@"     (arguments: program, screenshot folder)

set -euo pipefail

E2E_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
XSHOT="/usr/bin/python3 $E2E_DIR/xshot.py"

if [ -z "${QUIBRA_E2E_DISPLAY:-}" ]; then
    export QUIBRA_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi

APP="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
SHOTS="${2:-/tmp}"
TEST_NAME="$(basename "$0" .sh)${QUIBRA_E2E_WM:+-$QUIBRA_E2E_WM}"
# Under a window manager the screenshots go to a folder of its name.
[ -z "${QUIBRA_E2E_WM:-}" ] || SHOTS="$SHOTS/$QUIBRA_E2E_WM"
mkdir -p "$SHOTS"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/quibra-e2e-XXXXXX")"
export HOME="$WORK/home"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset XDG_CONFIG_HOME
SETTINGS="$HOME/.config/Quibra/Quibra.settings"
$XSHOT intern
TITLE="Quibra v2.0.0.0"
APP_PID=""
STEP=0

cleanup()
{
    local rc=$?
    stop_wm
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    # Every program's standard error kept in $WORK (*.txt), read once more.
    if ! no_sanitizer_report "$WORK"/*.txt; then
        rc=1
    fi
    rm -rf "$WORK"
    exit "$rc"
}
trap cleanup EXIT

# A window manager: with QUIBRA_E2E_WM=openbox the script runs under Debian's
# openbox, started here on the script's own display; otherwise on the bare
# server. WM says which ("openbox" or "").
WM="${QUIBRA_E2E_WM:-}"
WM_PID=""
start_wm()
{
    openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml > "$WORK/wm.txt" 2>&1 &
    WM_PID=$!
    wait_for 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' 20 \
        || fail "openbox did not start"
}
stop_wm()
{
    if [ -n "$WM_PID" ]; then
        kill "$WM_PID" 2>/dev/null || true
        wait "$WM_PID" 2>/dev/null || true
        WM_PID=""
    fi
}
# True when the window with this exact title has a window mapped on the server.
mapped() { for id in $(xdotool search --name "^$1\$" 2>/dev/null); do
               xwininfo -id "$id" 2>/dev/null | grep -q "IsViewable" && return 0; done; return 1; }

fail()
{
    echo "FAIL [$TEST_NAME]: $*" >&2
    shot "$SHOTS/$TEST_NAME-failure.png" || true
    if [ -f "$WORK/stderr.txt" ]; then
        echo "--- program's standard error:" >&2
        tail -n 40 "$WORK/stderr.txt" >&2
    fi
    exit 1
}

note() { echo "[$TEST_NAME] $*"; }

expect_eq()
{
    [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
}

# Polls a shell condition for up to $2 seconds (default 20).
wait_for()
{
    local cond="$1" limit="${2:-20}" i=0
    while ! eval "$cond"; do
        sleep 0.1
        i=$((i + 1))
        [ $i -lt $((limit * 10)) ] || return 1
    done
}

shot() { import -window root "$1"; }

[ "$WM" = openbox ] && start_wm

# Sanitizer builds: a report ends the program with a failure status, and the
# report itself, in any of the given standard-error files, fails the test.
SANITIZER_REPORT='ERROR: (Address|Leak)Sanitizer|WARNING: ThreadSanitizer|runtime error:|SUMMARY: [A-Za-z]+Sanitizer'
no_sanitizer_report()
{
    local f
    for f in "$@"; do
        if [ -f "$f" ] && grep -qE "$SANITIZER_REPORT" "$f"; then
            echo "FAIL [$TEST_NAME]: sanitizer report in $(basename "$f"):" >&2
            grep -m 20 -A 12 -E "$SANITIZER_REPORT" "$f" >&2
            return 1
        fi
    done
}

# Starts the program in the background with the given arguments; its
# standard error goes to $WORK/stderr.txt.
start_app()
{
    no_sanitizer_report "$WORK/stderr.txt" || fail "sanitizer report"
    : > "$WORK/stderr.txt"
    "$APP" "$@" 2> "$WORK/stderr.txt" > /dev/null &
    APP_PID=$!
    wait_for 'main_window_settled' 60 || fail "the main window did not appear"
    # Let the panel settle (device arrival, first paint).
    sleep 1
}

# The main window's native window (the newest when there are several).
main_window() { xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | tail -n 1 | grep .; }

# Sets WID once the main window is the program's final native window: a first
# native window is shown while the window is built and replaced once the panel
# is in it (the panel's size word on standard error tells that it is), so the
# panel must be there and the same one window must stay for a second. Fails
# when the program has ended.
main_window_settled()
{
    kill -0 "$APP_PID" 2>/dev/null || { stop_app 1; fail "the program ended while starting"; }
    grep -qE '^(klein|mittel|gross)$' "$WORK/stderr.txt" || return 1
    local first
    first=$(main_window) || return 1
    sleep 1
    [ "$(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | wc -l)" -eq 1 ] || return 1
    [ "$(main_window)" = "$first" ] || return 1
    WID=$first
}

# Sets X Y W H from a window's client area on the screen, framed by a window
# manager or not (xdotool's geometry counts a frame twice).
geometry()
{
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "X=" $NF} /Absolute upper-left Y/ {print "Y=" $NF}
                                     /^ *Width:/ {print "W=" $NF} /^ *Height:/ {print "H=" $NF}')"
}

# The height of the in-window menu bar, measured once on a window at the
# default picture size (329 x 435): the window's height beyond the picture.
M=""
measure_menu_bar()
{
    geometry "$WID"
    expect_eq "$W" 329 "default width"
    M=$(( H - 435 ))
    [ "$M" -ge 0 ] && [ "$M" -lt 60 ] || fail "odd menu bar height $M"
}
menu_bar_height() { echo "$M"; }

# Waits for the program to end; fails unless it ended with status 0 and
# without a sanitizer report.
stop_app()
{
    local limit="${1:-20}" status=0
    wait_for '! kill -0 "$APP_PID" 2>/dev/null' "$limit" || fail "the program did not end"
    wait "$APP_PID" 2>/dev/null || status=$?
    APP_PID=""
    no_sanitizer_report "$WORK/stderr.txt" || fail "sanitizer report"
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# A click at window-relative coordinates.
click_in()
{
    local wid="$1" x="$2" y="$3" button="${4:-1}"
    geometry "$wid"
    xdotool mousemove --sync $(( X + x )) $(( Y + y ))
    sleep 0.2
    xdotool click "$button"
    sleep 0.5
}

# Reads a value from the settings file ("" when absent).
setting()
{
    [ -f "$SETTINGS" ] || { echo ""; return; }
    /usr/bin/python3 - "$SETTINGS" "$1" <<'EOF'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
for v in root.iter("VALUE"):
    if v.get("name") == sys.argv[2]:
        print(v.get("val") or "")
        break
EOF
}

# Menu bar item centres (window-relative x) of the main window, from a
# screenshot of its menu band.
menu_bar_items()
{
    local m
    m=$(menu_bar_height)
    geometry "$WID"
    shot "$WORK/bar.png"
    local cols
    cols=$($XSHOT columns "$WORK/bar.png" "$X" "$Y" "$W" "$m")
    for c in $cols; do echo $(( c - X )); done
}

# The box "x y w h" of the program's pop-up menu window on the screen, in BOX
# (false if none is mapped).
menu_box()
{
    BOX=$(xwininfo -root -children | awk '$2 == "\"menu\":" { split($(NF-1), g, /[x+]/); print g[3], g[4], g[1], g[2]; exit }')
    [ -n "$BOX" ]
}

# Opens a pop-up menu with a click (button $3, default 1) at screen point
# ($1, $2) and sets BOX, BX BY BW BH and ROWS (its text rows, screen y). A menu
# can miss the click or be closed at once (the toolkit closes menus when one of
# our windows is reconfigured): then a click at the screen point $4 $5, when
# given, settles the menu bar, and the click comes again. A menu the pointer
# alone opens (an active menu bar) needs no click.
open_menu()
{
    local x="$1" y="$2" button="${3:-1}" try
    for try in 1 2 3 4; do
        xdotool mousemove --sync "$x" "$y"; sleep 0.3
        if ! menu_box; then
            xdotool click "$button"
            wait_for menu_box 5 || true
        fi
        # Still open a moment later: it stays.
        if menu_box; then sleep 0.5; menu_box && break; fi
        note "no menu after click $try at $x,$y"
        [ -z "${4:-}" ] || { xdotool mousemove --sync "$4" "$5" click 1; sleep 1; }
    done
    menu_box || fail "no menu opened by a click at $x,$y"
    shot "$WORK/after.png"
    read -r -a ROWS <<< "$(popup_rows $BOX)"
    read -r BX BY BW BH <<< "$BOX"
}

# Chooses the item at screen point ($1, $2) of an open menu. The menu acts on
# a click only on an item it has seen the pointer over (its timer looks), and
# ignores clicks in its first moments: the pointer moves onto the item and by
# one pixel, waits, and clicks; while the menu stays open and the condition $3
# (default: none) does not hold, it clicks again.
choose_item()
{
    local x="$1" y="$2" cond="${3:-false}" try
    for try in 1 2 3; do
        xdotool mousemove --sync "$x" "$y"; sleep 0.2
        xdotool mousemove --sync $(( x + 1 )) "$y"; sleep 0.5
        xdotool click 1
        wait_for "! menu_box || $cond" 5 && return 0
        note "the menu is still open after click $try at $x,$y"
    done
    fail "the menu item at $x,$y did not act"
}

# Takes screenshots into $2 until one differs from $1 (up to 10 s), then one
# more once the change has settled. False when nothing changed.
wait_change()
{
    local ref="$1" out="$2"
    for _ in $(seq 1 50); do
        shot "$out"
        if [ "$($XSHOT diffbox "$ref" "$out")" != none ]; then
            sleep 0.5
            shot "$out"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# Text row centres (screen y) inside a box "x y w h" of the last screenshot,
# leaving out the box's frame.
popup_rows()
{
    $XSHOT rows "$WORK/after.png" $(( $1 + 6 )) $(( $2 + 3 )) $(( $3 - 12 )) $(( $4 - 6 ))
}
