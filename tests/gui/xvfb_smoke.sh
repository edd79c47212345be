#!/bin/sh
# The real-window test: under Xvfb, click and drag controls of a frame in a host window
# with xdotool, check values, keyboard focus (keep-focus on and off), a screenshot, a
# clean close, and the plug-in's own editor opened and closed through its opcodes.
# Exits 77 (skipped) when Xvfb or xdotool is missing.
XHOST=$1
PLUGIN=$2
OUT=${3:-.}
command -v Xvfb >/dev/null 2>&1 || { echo "Xvfb not installed: skipped"; exit 77; }
command -v xdotool >/dev/null 2>&1 || { echo "xdotool not installed: skipped"; exit 77; }

DISPLAYNUM=""
for n in 71 72 73 74 75 76 77 78 79; do
  if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then DISPLAYNUM=$n; break; fi
done
[ -n "$DISPLAYNUM" ] || { echo "no free display number"; exit 1; }
Xvfb :$DISPLAYNUM -screen 0 1024x300x24 -nolisten tcp >"$OUT/xvfb.log" 2>&1 &
XVFB=$!
WORK=$(mktemp -d)
HOSTPID=""
cleanup() {
  [ -n "$HOSTPID" ] && kill "$HOSTPID" 2>/dev/null
  kill "$XVFB" 2>/dev/null
  wait "$XVFB" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
export DISPLAY=:$DISPLAYNUM
i=0
until xdotool getmouselocation >/dev/null 2>&1; do
  i=$((i + 1)); [ $i -gt 100 ] && { echo "Xvfb did not start (see xvfb.log): skipped"; cat "$OUT/xvfb.log"; exit 77; }
  sleep 0.05
done

fail() { echo "FAIL: $*"; echo "--- host output"; cat "$WORK/out"; echo "--- host errors"; cat "$WORK/err"; exit 1; }

mkfifo "$WORK/in"
"$XHOST" toolkit <"$WORK/in" >"$WORK/out" 2>"$WORK/err" &
HOSTPID=$!
exec 3>"$WORK/in"
say() { echo "$1" >&3; sleep 0.3; }
i=0
until grep -q READY "$WORK/out"; do
  i=$((i + 1)); [ $i -gt 100 ] && fail "host not ready"
  sleep 0.05
done
CHILD=$(sed -n 's/^READY child=\([0-9]*\) parent=\([0-9]*\)$/\1/p' "$WORK/out")
PARENT=$(sed -n 's/^READY child=\([0-9]*\) parent=\([0-9]*\)$/\2/p' "$WORK/out")
[ -n "$CHILD" ] && [ "$CHILD" != 0 ] || fail "no child window"

# 1. Keep-focus on (the default): a click toggles the button and moves the focus to us.
say focusparent
[ "$(xdotool getwindowfocus)" = "$PARENT" ] || fail "parent does not have the focus to start with"
xdotool mousemove --window "$CHILD" 796 112 click 1
sleep 0.3
[ "$(xdotool getwindowfocus)" = "$CHILD" ] || fail "keep-focus on: focus is $(xdotool getwindowfocus), not $CHILD"

# 2. A 50-pixel drag up on the knob: 0.5 -> 0.75 (200 px for the whole range).
xdotool mousemove --window "$CHILD" 400 46 mousedown 1 mousemove_relative -- 0 -50 mouseup 1
sleep 0.3
say values
grep -q "VALUES knob=0.7500 button=0.7500" "$WORK/out" || fail "values after click and drag"

# 3. Keep-focus off: a click works but leaves the focus with the host.
say "keepfocus 0"
say focusparent
xdotool mousemove --window "$CHILD" 796 112 click 1
sleep 0.3
say values
grep -q "VALUES knob=0.7500 button=0.2500" "$WORK/out" || fail "values after the second click"
[ "$(xdotool getwindowfocus)" = "$PARENT" ] || fail "keep-focus off: the focus moved"
say "keepfocus 1"
[ "$(xdotool getwindowfocus)" = "$CHILD" ] || fail "switching keep-focus on did not take the focus"

# 4. A screenshot from the server shows the panel.
say "shot $OUT/xvfb_shot.png"
grep -q "SHOT match=1" "$WORK/out" || fail "screenshot does not show the panel"

# 5. Closing leaves no window behind and no X error.
echo close >&3
exec 3>&-
wait "$HOSTPID"
RC=$?
HOSTPID=""
grep -q "CLOSED children=0 errors=0" "$WORK/out" || fail "close left something behind"
[ $RC -eq 0 ] || fail "host exit status $RC"
grep -q "X error" "$WORK/err" && fail "X errors"

# 6. The plug-in's editor through the host opcodes.
"$XHOST" plugin "$PLUGIN" >"$WORK/out" 2>"$WORK/err" || fail "plug-in editor open/close"
grep -q "PLUGIN open=1 rect=942x171 children=1 after=0 errors=0" "$WORK/out" || fail "plug-in editor"
cat "$WORK/out"
echo "xvfb smoke test passed"
exit 0
