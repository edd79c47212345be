#!/bin/sh
# Keys and the clipboard in the built plug-in's editor under Xvfb (gui_edhost as the host,
# xdotool as the user, xclip as another program): the name field selects, types, copies and
# pastes as text fields do; Escape closes the program menu whatever the focus option says;
# keys the editor does not use are answered 0 through effEditKeyDown; a clipboard owner
# that never answers leaves the name alone and the host's idle short.
# Exits 77 (skipped) when Xvfb, xdotool or xclip is missing.
EDHOST=$1
PLUGIN=$2
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb_lib.sh"
command -v xclip >/dev/null 2>&1 || { echo "xclip not installed: skipped"; exit 77; }
xvfb_start

export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME"
HOST_LOG="$WORK/log"
host_start "$EDHOST" "$PLUGIN" "$HOST_LOG"

click() { xdotool mousemove --window "$CHILD" "$1" "$2" click "${3:-1}"; }
field() { click 266 163; }  # the name field
menu() { click 328 163; }   # the program menu's hot spot
next() { click 365 162; }   # the rocker's right half
# The menu's popup covers this stretch of panel while it is open.
popup_open() { expect_soon "frame 128 0 385 70 170 20" "FRAME [1-9][0-9]*" "$1"; }
popup_closed() { expect_soon "frame 128 0 385 70 170 20" "FRAME 0" "$1"; }
# Waits up to 5 s for the clipboard to hold $1 (the plug-in serves it from its idle).
clip_is() {
  i=0
  until [ "$(xclip -selection clipboard -o 2>/dev/null)" = "$1" ]; do
    i=$((i + 1)); [ $i -gt 100 ] && fail "xclip read '$(xclip -selection clipboard -o 2>&1)', wanted '$1'"
    sleep 0.05
  done
}

# The user's own window has the focus to start with; the focus option is off (fresh settings).
xdotool windowfocus "$PARENT"
has_focus "$PARENT" || fail "the host window does not have the focus to start with"

# 1. Keys through the host while nothing is being edited are the host's.
for k in "32 0 0" "0 6 0" "97 0 0" "0 55 0" "115 0 8"; do
  expect "key $k" "KEY 0" "effEditKeyDown $k with nothing being edited"
done
expect "keyup 0 55 0" "KEYUP 0"

# 2. Click into the name, type, Return: the name is what was typed (the first click selects
#    it all). The field borrowed the focus and gives it back after Return.
field
has_focus "$CHILD" || fail "editing did not take the focus"
xdotool type "My Patch"
xdotool key Return
expect_soon "pname 0" "PNAME 0 My Patch" "typed name"
has_focus "$PARENT" || fail "the focus did not go back to the host after Return"

# 3. Select the name, Ctrl+C; another program reads it; pasted into the next program's name.
field
xdotool key ctrl+a ctrl+c Escape
clip_is "My Patch"
next
expect_soon name "NAME .*" "next program"
field
xdotool key ctrl+v Return
expect_soon "pname 1" "PNAME 1 My Patch" "pasted name"

# 4. Text another program put on the clipboard, as UTF-8 and as Latin-1 only.
printf 'D\303\274b \342\200\223 Echo' | xclip -selection clipboard
field
xdotool key ctrl+v Return
expect_soon "pname 1" "PNAME 1 Düb – Echo" "UTF-8 from xclip"
printf 'Caf\351' | xclip -selection clipboard -t STRING
field
xdotool key ctrl+v Return
expect_soon "pname 1" "PNAME 1 Café" "Latin-1 from xclip"

# 5. Ctrl or Alt with a letter never types, AltGr's characters do (Xvfb's keyboard has
#    ISO_Level3_Shift; the 5 key is given the euro sign on its third level); the middle
#    button pastes the primary selection.
expect "level3 0x35 0x20ac" LEVEL3
field
xdotool key ctrl+b ctrl+s alt+x
xdotool keydown ISO_Level3_Shift key 5 keyup ISO_Level3_Shift key Return
expect_soon "pname 1" "PNAME 1 €" "Ctrl, Alt and AltGr with keys"
printf 'Primary' | xclip -selection primary
field
xdotool key Delete
click 266 163 2
xdotool key Return
expect_soon "pname 1" "PNAME 1 Primary" "middle click"

# 6. Escape closes the menu with the focus option off and on; through the host's key too.
menu
popup_open "menu opened (focus option off)"
xdotool key Escape
popup_closed "Escape with the focus option off"
has_focus "$PARENT" || fail "the focus did not go back to the host after the menu closed"
menu
popup_open "menu opened for the host's Escape"
expect "key 0 6 0" "KEY 1" "the host's Escape"
popup_closed "the host's Escape"
menu
popup_open "menu opened for the arrows"
xdotool key Up Return
popup_closed "Return in the menu"
expect_soon name "NAME My Patch" "Up and Return chose the program before"
click 904 162  # the focus option on
has_focus "$CHILD" || fail "switching the focus option on did not take the focus"
menu
popup_open "menu opened (focus option on)"
xdotool key Escape
popup_closed "Escape with the focus option on"
click 904 162  # and off again

# 7. A clipboard owner that never answers: after a while the paste brings nothing (the
#    Return typed after it waits that long), and the host's idle never waited for it.
expect grabclip GRABBED
field
xdotool type "still here"
xdotool key ctrl+v Return
expect_soon "pname 0" "PNAME 0 still here" "Return after an unanswered paste"

say stats
maxidle=$(echo "$REPLY" | sed -n 's/^STATS maxidle=\([0-9]*\).*/\1/p')
[ -n "$maxidle" ] && [ "$maxidle" -lt 500 ] || fail "effEditIdle blocked: $REPLY"
expect quit "QUIT children=0 errors=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"
grep -q "X error" "$WORK/err" && fail "X errors"
echo "keys xvfb test passed"
exit 0
