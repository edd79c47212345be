#!/bin/sh
# The toolkit in a real window under Xvfb: frames opened, drawn and closed three times in
# one process each show the background without an X error; then clicks and a drag with
# xdotool, keyboard focus (keep-focus on and off), a screenshot and a clean close.
# Exits 77 (skipped) when Xvfb or xdotool is missing.
XHOST=$1
OUT=${2:-.}
. "$(dirname "$0")/xvfb_lib.sh"
xvfb_start

# 1. Open, draw, close three times: every window shows the panel, no X error comes back.
"$XHOST" reopen >"$WORK/out" 2>"$WORK/err" || fail "frames opened again do not show the panel"
grep -q "REOPEN ok" "$WORK/out" || fail "reopen check did not finish"
grep -q "X error" "$WORK/err" && fail "X errors while reopening"

host_start "$XHOST" toolkit

# 2. Keep-focus on (the default): a click toggles the button and moves the focus to us.
expect focusparent OK
has_focus "$PARENT" || fail "parent does not have the focus to start with"
xdotool mousemove --window "$CHILD" 796 112 click 1
has_focus "$CHILD" || fail "keep-focus on: focus is $(xdotool getwindowfocus), not $CHILD"

# 3. A 50-pixel drag up on the knob: 0.5 -> 0.75 (200 px for the whole range).
xdotool mousemove --window "$CHILD" 400 46 mousedown 1 mousemove_relative -- 0 -50 mouseup 1
expect_soon values "VALUES knob=0.7500 button=0.7500 .*" "values after click and drag"

# 4. Keep-focus off: a click works but leaves the focus with the host.
expect "keepfocus 0" OK
expect focusparent OK
xdotool mousemove --window "$CHILD" 796 112 click 1
expect_soon values "VALUES knob=0.7500 button=0.2500 .*" "values after the second click"
[ "$(xdotool getwindowfocus)" = "$PARENT" ] || fail "keep-focus off: the focus moved"
expect "keepfocus 1" OK
has_focus "$CHILD" || fail "switching keep-focus on did not take the focus"

# 5. A screenshot from the server shows the panel.
expect "shot $OUT/xvfb_shot.png" "SHOT match=1" "screenshot does not show the panel"

# 6. Closing leaves no window behind and no X error.
expect close "CLOSED children=0 errors=0" "close left something behind"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"
grep -q "X error" "$WORK/err" && fail "X errors"
echo "xvfb smoke test passed"
exit 0
