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

# 5. The panel, used with the mouse (program 0 of a fresh instance: the sides linked).
click() { xdotool mousemove --window "$CHILD" "$1" "$2" click "${3:-1}"; sleep 0.15; }
away() { xdotool mousemove --window "$CHILD" 600 80; sleep 0.1; }
bracket() { grep -E "^(beginEdit|automate|endEdit) $1( |\$)" "$HOST_LOG" | sed 's/ .*//' | uniq | tr '\n' ' '; }
#    The digit display: the tempo with the mouse away, Input's "+0.00" with it on the knob.
away
for cell in "145 2 297" "144 3 313" "144 1 329" "144 1 346"; do
  set -- $cell
  expect "frame $1 $2 $3 26 13 16" "FRAME 0" "tempo digit at $3"
done
expect "frame 147 1 342 40 3 2" "FRAME 0" "tempo's decimal point"
xdotool mousemove --window "$CHILD" 400 46; sleep 0.1
for cell in "145 12 297" "144 1 313" "144 1 329" "144 1 346"; do
  set -- $cell
  expect_soon "frame $1 $2 $3 26 13 16" "FRAME 0" "Input's digit at $3"
done
expect "frame 147 1 326 40 3 2" "FRAME 0" "Input's decimal point"
#    The meters: a 0.5 sine on the left input lights the left one to -6 dB, not the right;
#    both are dark again soon after the input stops.
away
expect "input 0.5 0" OK
expect "frame 153 15 43 23 7 45" "FRAME 0" "left meter at -6 dB"
expect "frame 153 0 43 87 7 45" "FRAME 0" "right meter dark"
expect "input 0 0" OK
sleep 0.6
expect_soon "frame 153 0 43 23 7 45" "FRAME 0" "left meter fallen"
#    FltOn: one click automates 42 to 0.75 inside one bracket.
click 796 112
expect_soon "param 42" "PARAM 42 0.75"
[ "$(bracket 42)" = "beginEdit automate endEdit " ] || fail "FltOn's bracket: $(bracket 42)"
grep -q "^automate 42 0.75$" "$HOST_LOG" || fail "FltOn not automated to 0.75"
#    Input dragged 50 pixels up: 0.5 to 0.75 inside one bracket.
xdotool mousemove --window "$CHILD" 400 46 mousedown 1 mousemove_relative -- 0 -50 mouseup 1
sleep 0.2
expect_soon "param 0" "PARAM 0 0.75"
[ "$(bracket 0)" = "beginEdit automate endEdit " ] || fail "Input's bracket: $(bracket 0)"
#    The linked feedback pan dragged 40 pixels down from the middle: the other side
#    mirrors it.
expect "set 5 0.5" OK
expect "set 6 0.5" OK
xdotool mousemove --window "$CHILD" 178 47 mousedown 1 mousemove_relative -- 0 40 mouseup 1
sleep 0.2
expect_soon "param 5" "PARAM 5 0\.(3|2999[0-9]*|3000[0-9]*)" "FbPanL"
expect "param 6" "PARAM 6 0\.(7|6999[0-9]*|7000[0-9]*)" "FbPanR"
#    The about screen: opens on a left click at an edge, closes on the next; the host hears
#    nothing of it.
calls=$(grep -vc 'getTime ' "$HOST_LOG")
click 10 80
expect_soon "frame 129 0 0 0 700 60" "FRAME 0" "about screen shown"
click 500 100
expect_soon "frame 128 0 0 0 942 2" "FRAME 0" "about screen closed"
[ "$(grep -vc 'getTime ' "$HOST_LOG")" = "$calls" ] || fail "the about screen made host callbacks: $(grep -v 'getTime ' "$HOST_LOG" | tail -n +$((calls + 1)))"
#    Host automation from another thread: the Cutoff knob shows it within two idles.
expect pause OK
expect "set 15 0.25 thread" OK
expect "idle 2" OK
expect "frame 131 25 679 30 32 32 2 2" "FRAME 0" "Cutoff knob two idles after automation"
expect resume OK

# 6. The preset strip, used with the mouse and the keyboard. Its controls rest on their
#    first frames (the pointer is below the window).
for c in "991 36 156 17 15" "992 53 156 32 13" "995 342 156 30 13" "998 831 155 24 16" "988 899 159 11 7"; do
  set -- $c
  expect "frame $1 0 $2 $3 $4 $5" "FRAME 0" "strip control $1 at rest"
done
#    Keyboard focus: off in a fresh settings folder, so a click leaves the focus with the
#    host; switching it on takes the focus at once, and from then on clicks take it.
xdotool windowfocus "$PARENT"
has_focus "$PARENT" || fail "the host window does not have the focus to start with"
click 600 80
has_focus "$PARENT" || fail "focus option off: a click moved the focus"
click 904 162
has_focus "$CHILD" || fail "switching the focus option on did not take the focus"
xdotool windowfocus "$PARENT"
has_focus "$PARENT" || fail "could not give the focus back to the host"
click 600 80
has_focus "$CHILD" || fail "focus option on: a click left the focus with the host"
#    The menu: entry 12 (first column, thirteenth row of the popup, which opens as far up
#    as its 16 rows need) makes "Exosphere" current, and the host hears of it.
shown=$(grep -c '^updateDisplay' "$HOST_LOG")
click 328 163
click 329 134
expect_soon name "NAME Exosphere" "menu entry 12"
[ "$(grep -c '^updateDisplay' "$HOST_LOG")" -gt "$shown" ] || fail "the host was not told of the program change"
#    Back to program 0 (the popup's first row), then a new name typed into the field.
click 328 163
click 329 14
expect_soon name "NAME Default" "menu entry 0"
say "pname 1"; second=$REPLY
click 266 163
xdotool key End key --repeat 24 BackSpace type "Dub Echo"
xdotool key Return
sleep 0.15
expect_soon "pname 0" "PNAME 0 Dub Echo" "typed name"
expect "pname 1" "$second" "the next program's name"
#    The rocker's right half steps once per click.
click 365 162
expect_soon name "NAME ${second#PNAME 1 }" "rocker right"
#    MIDI learn: touch Cutoff, then a controller on the audio thread: the learn button is
#    off again within two idles.
click 843 163
away
expect_soon "frame 998 2 831 155 24 16" "FRAME 0" "learn button on"
expect "set 15 0.3" OK
expect pause OK
expect "midi 0xB0 74 127" "MIDI delivered"
expect "idle 2" OK
expect "frame 998 0 831 155 24 16" "FRAME 0" "learn button two idles after learning"
expect resume OK
expect "param 15" "PARAM 15 1"
grep -Eq "^(beginEdit|endEdit|automate) ([6-9][0-9]|1[0-9][0-9])( |\$)" "$HOST_LOG" && fail "an editor tag reached the host"

# 7. Idle stayed short, and everything goes away cleanly.
say stats
maxidle=$(echo "$REPLY" | sed -n 's/^STATS maxidle=\([0-9]*\).*/\1/p')
# Not a speed test (a loaded machine stretches any idle): an idle that waits on a lock, a
# dialog or the X server takes a good part of a second, and that is what this catches.
[ -n "$maxidle" ] && [ "$maxidle" -lt 500 ] || fail "effEditIdle blocked: $REPLY"
echo "$REPLY"
expect quit "QUIT children=0 errors=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"
grep -q "X error" "$WORK/err" && fail "X errors"
echo "editor xvfb test passed"
exit 0
