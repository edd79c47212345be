#!/bin/sh
# The plug-in's editor in a real window under Xvfb, through the built module as a DAW
# loads it (gui_edhost: audio thread running, effEditIdle every 25 ms): the panel shows
# its background, closing and opening again (in one process, and as a second instance)
# shows the same picture each time; the preset strip works with mouse and keyboard
# (focus option, menu, name field, rocker, MIDI learn); nothing is left behind, no X
# error, idle stays short.
# Later shots are compared with the first shot of the same run, not a stored picture.
# Exits 77 (skipped) when Xvfb or xdotool is missing.
EDHOST=$1
PLUGIN=$2
OUT=${3:-.}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb_lib.sh"
xvfb_start

# The user's settings and file dialogs of this run stay in the work folder.
export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME"
export VANTEL_FILE_DIALOG="$HERE/fake_dialog.sh"
export FAKE_DIALOG_ARGS="$WORK/dialog_args"
HOST_LOG="$WORK/log"
FIRST="$OUT/editor_first.png"
WHOLE="0 0 942 171"

host_start "$EDHOST" "$PLUGIN" "$HOST_LOG"

# 1. The background where no control lies: the top rows, the corner right of the about
#    area, between the two rows of knobs.
expect "shot $FIRST" "SHOT $FIRST"
for rect in "0 0 942 2" "22 0 40 14" "385 70 170 20"; do
  expect "frame 128 0 $rect" "FRAME 0" "background at $rect"
done

# 2. The host's plumbing the later checks rely on.
expect "set 0 0.25" OK
expect "param 0" "PARAM 0 0.25"
expect "set 0 0.5 thread" OK
expect "param 0" "PARAM 0 0.5"
expect name "NAME .+"
expect "pname 0" "PNAME 0 .+"
expect "midi 0xB0 7 100" "MIDI delivered"
expect pause OK
say stats; before=$(echo "$REPLY" | sed -n 's/.* idles=\([0-9]*\) .*/\1/p')
expect "idle 3" OK
expect stats "STATS maxidle=[0-9.]+ idles=$((before + 3)) xerrors=0" "idle count while paused"
expect resume OK
grep -q "^getTime " "$HOST_LOG" || fail "the audio thread never asked for the time"

# 3. Close and open again three times: the same picture each time (a blank window here
#    is a stale drawing cache for the new connection).
for n in 1 2 3; do
  expect close "CLOSED children=0 errors=0" "close $n"
  expect reopen "OPENED 1 child=[1-9][0-9]*" "reopen $n"
  expect "same $FIRST $WHOLE" "SAME 0" "window after reopen $n"
done

# 4. A second instance in a window of its own shows the same picture; closing it leaves
#    the first as it was.
expect second "SECOND child=[1-9][0-9]* window=[1-9][0-9]*"
expect "@2 same $FIRST $WHOLE" "SAME 0" "second instance's window"
expect "@2 close" "CLOSED children=0 errors=0" "closing the second editor"
expect "same $FIRST $WHOLE" "SAME 0" "first window after the second closed"

# 5. The preset strip, used with the mouse and the keyboard. Its controls rest on their
#    first frames (the pointer is below the window).
for c in "991 36 156 17 15" "992 53 156 32 13" "995 342 156 30 13" "998 831 155 24 16" "988 899 159 11 7"; do
  set -- $c
  expect "frame $1 0 $2 $3 $4 $5" "FRAME 0" "strip control $1 at rest"
done
click() { xdotool mousemove --window "$CHILD" "$1" "$2" click "${3:-1}"; sleep 0.15; }
away() { xdotool mousemove --window "$CHILD" 600 100; sleep 0.1; }
#    Keyboard focus: off in a fresh settings folder, so a click leaves the focus with the
#    host; switching it on takes the focus at once, and from then on clicks take it.
xdotool windowfocus "$PARENT"
has_focus "$PARENT" || fail "the host window does not have the focus to start with"
click 600 100
has_focus "$PARENT" || fail "focus option off: a click moved the focus"
click 904 162
has_focus "$CHILD" || fail "switching the focus option on did not take the focus"
xdotool windowfocus "$PARENT"
has_focus "$PARENT" || fail "could not give the focus back to the host"
click 600 100
has_focus "$CHILD" || fail "focus option on: a click left the focus with the host"
#    The menu: entry 12 (first column, thirteenth row of the popup, which opens as far up
#    as its 16 rows need) makes "Exosphere" current, and the host hears of it.
shown=$(grep -c '^updateDisplay' "$HOST_LOG")
click 328 163
click 329 134
expect name "NAME Exosphere" "menu entry 12"
[ "$(grep -c '^updateDisplay' "$HOST_LOG")" -gt "$shown" ] || fail "the host was not told of the program change"
#    Back to program 0 (the popup's first row), then a new name typed into the field.
click 328 163
click 329 14
expect name "NAME Default" "menu entry 0"
say "pname 1"; second=$REPLY
click 266 163
xdotool key End key --repeat 24 BackSpace type "Dub Echo"
xdotool key Return
sleep 0.15
expect "pname 0" "PNAME 0 Dub Echo" "typed name"
expect "pname 1" "$second" "the next program's name"
#    The rocker's right half steps once per click.
click 365 162
expect name "NAME ${second#PNAME 1 }" "rocker right"
#    MIDI learn: touch Cutoff, then a controller on the audio thread: the learn button is
#    off again within two idles.
click 843 163
away
expect "frame 998 2 831 155 24 16" "FRAME 0" "learn button on"
expect "set 15 0.3" OK
expect pause OK
expect "midi 0xB0 74 127" "MIDI delivered"
expect "idle 2" OK
expect "frame 998 0 831 155 24 16" "FRAME 0" "learn button two idles after learning"
expect resume OK
expect "param 15" "PARAM 15 1"
grep -Eq "^(beginEdit|endEdit|automate) (9[89]|1[01][0-9])( |\$)" "$HOST_LOG" && fail "a strip control reached the host as a parameter"

# 6. Idle stayed short, and everything goes away cleanly.
say stats
maxidle=$(echo "$REPLY" | sed -n 's/^STATS maxidle=\([0-9]*\).*/\1/p')
[ -n "$maxidle" ] && [ "$maxidle" -lt 50 ] || fail "effEditIdle too slow: $REPLY"
echo "$REPLY"
expect quit "QUIT children=0 errors=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"
grep -q "X error" "$WORK/err" && fail "X errors"
echo "editor xvfb test passed"
exit 0
