#!/bin/sh
# The plug-in's editor in a real window under Xvfb, through the built module as a DAW
# loads it (gui_edhost: audio thread running, effEditIdle every 25 ms): the panel shows
# its background, closing and opening again (in one process, and as a second instance)
# shows the same picture each time, nothing is left behind, no X error, idle stays short.
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

# 5. Idle stayed short, and everything goes away cleanly.
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
