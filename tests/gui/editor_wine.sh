#!/bin/sh
# The Windows plug-in's editor in a real window: the built DLL in gui_wedhost (a scripted
# Windows host with an audio thread, effEditIdle every 25 ms) under wine, in a fresh wine
# prefix, on an Xvfb server of its own, driven by xdotool as the Linux editor test drives
# edhost. Opening, closing and reopening, a second instance, the panel and the preset
# strip with the mouse and the keyboard, the keyboard focus and the keys the editor leaves
# to the host, a preset saved through the save dialog into a folder with a non-ASCII name
# and loaded back, cancel, the manual's message box; after 20 more openings nothing of the
# editor is left: no window, GDI object, timer or window class.
# Pictures are compared with the panel that `vantel.exe shot` draws in the same prefix.
# Exits 77 (skipped) when Xvfb, xdotool or wine is missing.
WINE=$1
WEDHOST=$2
PLUGIN=$3
VANTEL=$4
OUT=${5:-.}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb_lib.sh"
[ -n "$WINE" ] && [ -x "$WINE" ] || { echo "wine not installed: skipped"; exit 77; }
xvfb_start 1920x600x24
started=$(date +%s)

# A fresh prefix on this server: its own settings (registry), its own wineserver. Arial is
# Liberation Sans there, as in the prefix of the other Windows tests.
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINESERVER="$(dirname "$(readlink -f "$WINE")")/wineserver"
wine_cleanup() {
  exec 3>&-
  [ -n "$HOSTPID" ] && kill "$HOSTPID" 2>/dev/null
  "$WINESERVER" -k >/dev/null 2>&1
  xvfb_cleanup
}
trap wine_cleanup EXIT
"$WINE" wineboot >/dev/null 2>&1 </dev/null || fail "wineboot failed"
"$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f \
  >/dev/null 2>&1 </dev/null
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

HOST_LOG="$WORK/log"
SHOT="$OUT/editor_wine_shot.png"
WHOLE="0 0 942 171"
"$WINE" "$VANTEL" shot "$(winpath "$SHOT")" </dev/null >/dev/null 2>&1 || fail "vantel.exe shot failed"
echo "prefix ready after $(($(date +%s) - started)) s"

host_start "$WINE" "$WEDHOST" "$PLUGIN" "$(winpath "$HOST_LOG")"
XWIN=$(xdotool search --name '^wedhost 1$' | head -n 1)
[ -n "$XWIN" ] || fail "no X window for the host's window"
say stats; echo "$REPLY"

# 1. The window shows the panel as vantel.exe draws it.
expect "same $SHOT $WHOLE" "SAME 0" "window against vantel.exe shot"

# 2. The host's plumbing the later checks rely on.
expect "set 0 0.25" OK
expect "param 0" "PARAM 0 0.25"
expect "set 0 0.5" OK
expect name "NAME .+"
expect pause OK
say stats; before=$(echo "$REPLY" | sed -n 's/.* idles=\([0-9]*\) .*/\1/p')
expect "idle 3" OK
expect stats "STATS maxidle=[0-9.]+ idles=$((before + 3)) .*" "idle count while paused"
expect resume OK

# 3. Close and open again three times, then a second instance in a window of its own: the
#    same picture each time; closing it leaves the first as it was.
for n in 1 2 3; do
  expect close "CLOSED children=0" "close $n"
  expect reopen "OPENED 1 child=[1-9][0-9]*" "reopen $n"
  expect "same $SHOT $WHOLE" "SAME 0" "window after reopen $n"
done
expect second "SECOND child=[1-9][0-9]* window=[1-9][0-9]*"
expect "@2 same $SHOT $WHOLE" "SAME 0" "second instance's window"
expect "@2 close" "CLOSED children=0" "closing the second editor"
expect "same $SHOT $WHOLE" "SAME 0" "first window after the second closed"

# 4. The panel with the mouse (program 0 of a fresh instance).
click() { xdotool mousemove --window "$XWIN" "$1" "$2" click "${3:-1}"; sleep 0.2; }
away() { xdotool mousemove --window "$XWIN" 600 80; sleep 0.1; }
bracket() { grep -E "^(beginEdit|automate|endEdit) $1( |\$)" "$HOST_LOG" | sed 's/ .*//' | uniq | tr '\n' ' '; }
#    FltOn: one click automates 42 to 0.75 inside one bracket.
click 796 112
expect_soon "param 42" "PARAM 42 0.75"
[ "$(bracket 42)" = "beginEdit automate endEdit " ] || fail "FltOn's bracket: $(bracket 42)"
grep -q "^automate 42 0.75$" "$HOST_LOG" || fail "FltOn not automated to 0.75"
#    Input dragged 50 pixels up: 0.5 to 0.75 inside one bracket, the capture holding the
#    drag wherever the pointer goes.
xdotool mousemove --window "$XWIN" 400 46 mousedown 1 mousemove_relative -- 0 -50 mouseup 1
sleep 0.2
expect_soon "param 0" "PARAM 0 0.75"
[ "$(bracket 0)" = "beginEdit automate endEdit " ] || fail "Input's bracket: $(bracket 0)"
#    The wheel over Input, a notch (WHEEL_DELTA) up and two down: a step of 1/32 a notch.
xdotool mousemove --window "$XWIN" 400 46 click 4
expect_soon "param 0" "PARAM 0 0.78125" "a notch of the wheel up"
xdotool click --repeat 2 --delay 50 5
expect_soon "param 0" "PARAM 0 0.71875" "two notches of the wheel down"
expect "set 0 0.75" OK
#    The about screen opens on a left click at an edge and closes on the next; the host
#    hears nothing of it.
away
BEFORE="$OUT/editor_wine_before_about.png"
expect "shot $(winpath "$BEFORE")" "SHOT .*"
calls=$(grep -vc 'getTime ' "$HOST_LOG")
click 10 80
expect_soon "same $BEFORE $WHOLE" "SAME [1-9][0-9]*" "about screen shown"
click 500 100
away
expect_soon "same $BEFORE $WHOLE" "SAME 0" "about screen closed"
[ "$(grep -vc 'getTime ' "$HOST_LOG")" = "$calls" ] || fail "the about screen made host callbacks"

# 5. Keyboard focus and keys. The focus option is off in a fresh prefix: a click leaves the
#    focus with the host; switching it on takes the focus; a key the editor does not use
#    (the space bar) goes back to the host's window.
xdotool windowfocus "$XWIN"; sleep 0.2
expect_soon focus "FOCUS host" "the host window has the focus to start with"
click 600 80
expect focus "FOCUS host" "focus option off: a click moved the focus"
click 904 162
expect_soon focus "FOCUS child" "switching the focus option on"
spaces=$(grep -c '^hostkey 32$' "$HOST_LOG")
xdotool key space
i=0
until [ "$(grep -c '^hostkey 32$' "$HOST_LOG")" -gt "$spaces" ]; do
  i=$((i + 1)); [ $i -gt 100 ] && fail "the space bar did not reach the host"
  sleep 0.05
done
#    The rocker's right half steps once per press.
say "pname 1"; second=$REPLY
click 365 162
expect_soon name "NAME ${second#PNAME 1 }" "rocker right"
click 345 162
expect_soon name "NAME Default" "rocker left"
#    A new name typed into the field renames the current program; its space stays ours.
spaces=$(grep -c '^hostkey 32$' "$HOST_LOG")
click 266 163
xdotool key End key --repeat 24 BackSpace type "Dub Echo"
xdotool key Return
expect_soon "pname 0" "PNAME 0 Dub Echo" "typed name"
expect "pname 1" "$second" "the next program's name"
[ "$(grep -c '^hostkey 32$' "$HOST_LOG")" = "$spaces" ] || fail "a space typed into the name reached the host"

# 6. Files: a preset saved through the save dialog into a folder with a non-ASCII name and
#    loaded back gives the same state; cancel changes nothing; a right click opens the
#    endian-reversed load.
folder="$WORK/Présets ñ €"
mkdir -p "$folder"
state() { for p in 0 3 15 42; do say "param $p"; printf '%s;' "$REPLY"; done; say name; printf '%s' "$REPLY"; }
saved=$(state)
click 124 163
# (The dialog's answer reaches the editor once the host's command has returned to the
# dialog's own loop: what it does is waited for.)
soon() { tries=0; until eval "$1"; do tries=$((tries + 1)); [ $tries -gt 100 ] && return 1; sleep 0.05; done; }
expect "dialog $(winpath "$folder/dub.qel")" "DIALOG Save preset" "the save dialog"
soon '[ -s "$folder/dub.qel" ]' || fail "no preset file in $folder"
expect "set 3 0.2" OK
expect "set 15 0.9" OK
click 187 163
expect "dialog cancel" "DIALOG Load preset" "the load dialog, cancelled"
expect "param 3" "PARAM 3 0.2" "cancel changed the state"
click 187 163 3
expect "dialog cancel" "DIALOG Load preset \(endian-reversed\)" "the right click's dialog"
click 187 163
expect "dialog $(winpath "$folder/dub.qel")" "DIALOG Load preset" "the load dialog"
soon '[ "$(state)" = "$saved" ]' || fail "loaded state $(state), saved $saved"

# 7. The manual: no document is set in a fresh prefix, so the system's message box says so,
#    owned by the editor's window.
click 925 162
expect message "MESSAGE \|Could not open user manual" "the manual's message"

# 8. Twenty more openings and closings: nothing of the editor is left, neither windows
#    (the host window's children, the process's top-level windows) nor GDI objects,
#    device contexts, timers or the window class, counted on the DLL's imports.
expect close "CLOSED children=0"
say stats; echo "after the first run: $REPLY"
printf '%s\n' "$REPLY" | grep -Eq ' gdi=0 dcs=0 timers=0 windows=0 classes=0$' || fail "left behind: $REPLY"
say windows; baseline=$REPLY
expect "reopen" "OPENED 1 .*"
say stats; echo "open: $REPLY"
OPENED="$OUT/editor_wine_opened.png"
expect "shot $(winpath "$OPENED")" "SHOT .*"
n=0
while [ $n -lt 20 ]; do
  expect close "CLOSED children=0" "close $n"
  expect reopen "OPENED 1 child=[1-9][0-9]*" "reopen $n"
  n=$((n + 1))
done
expect "same $OPENED $WHOLE" "SAME 0" "the panel after 20 openings"
expect close "CLOSED children=0"
expect windows "$baseline" "windows after 20 openings"
printf '%s\n' "$REPLY" | grep -Eq '^WINDOWS children=0 ours=0 ' || fail "windows left: $REPLY"
say stats
printf '%s\n' "$REPLY" | grep -Eq ' gdi=0 dcs=0 timers=0 windows=0 classes=0$' || fail "left behind: $REPLY"
grep -Eq "^(beginEdit|endEdit|automate) ([6-9][0-9]|1[0-9][0-9])( |\$)" "$HOST_LOG" &&
  fail "an editor tag reached the host"
maxidle=$(echo "$REPLY" | sed -n 's/^STATS maxidle=\([0-9]*\).*/\1/p')
[ -n "$maxidle" ] && [ "$maxidle" -lt 500 ] || fail "effEditIdle blocked: $REPLY"
echo "$REPLY"
expect quit "QUIT children=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"

# 9. A host that made its GUI thread's COM multithreaded: the dialogs work all the same.
HOST_LOG="$WORK/log-mta"
host_start "$WINE" "$WEDHOST" --mta "$PLUGIN" "$(winpath "$HOST_LOG")"
XWIN=$(xdotool search --name '^wedhost 1$' | head -n 1)
expect "set 3 0.2" OK
click 187 163
expect "dialog $(winpath "$folder/dub.qel")" "DIALOG Load preset" "the load dialog with COM multithreaded"
expect_soon name "NAME Dub Echo" "preset loaded with COM multithreaded"
expect quit "QUIT children=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC (COM multithreaded)"

# 10. Zoom. A stored choice of 200 % opens the editor at 1884 x 342, the panel as
#     `vantel.exe shot --zoom 200` draws it, FltOn answering at its doubled place; 150 %
#     from the background menu resizes both windows. Without a choice, a per-monitor aware
#     host on a screen of 144 dpi gets 150 % and a screen of 96 dpi 100 %.
SHOT200="$OUT/editor_wine_shot_200.png"
"$WINE" "$VANTEL" shot --zoom 200 "$(winpath "$SHOT200")" </dev/null >/dev/null 2>&1 || fail "vantel.exe shot --zoom 200 failed"
"$WINE" reg add 'HKCU\Software\Morvane\Vantel' /v Zoom /t REG_DWORD /d 200 /f >/dev/null 2>&1 </dev/null
HOST_LOG="$WORK/log-zoom"
host_start "$WINE" "$WEDHOST" "$PLUGIN" "$(winpath "$HOST_LOG")"
XWIN=$(xdotool search --name '^wedhost 1$' | head -n 1)
expect rect "RECT 1884 342 window 1884 342" "the window at 200 %"
xdotool mousemove --window "$XWIN" 1200 160  # hovering nothing: the digit display shows the delay
expect "same $SHOT200 0 0 1884 342" "SAME 0" "the window at 200 % against vantel.exe shot"
click 1592 224
expect_soon "param 42" "PARAM 42 0.75" "FltOn at its place at 200 %"
click 1200 160 3
click 1220 214
expect_soon rect "RECT 1413 257 window 1413 257" "150 % chosen from the background menu"
grep -q '^sizeWindow 1413 257$' "$HOST_LOG" || fail "the host was not asked for 1413 x 257"
#     Two copies of the DLL in one host each register a window class of their own: the
#     copy's editor opens at the stored 150 % beside ours, and ours still paints after the
#     copy's has closed.
AT150="$OUT/editor_wine_150.png"
xdotool mousemove --window "$XWIN" 900 120
expect "shot $(winpath "$AT150")" "SHOT .*"
cp "$PLUGIN" "$WORK/Vantel copy.dll"
expect "second $(winpath "$WORK/Vantel copy.dll")" "SECOND child=[1-9][0-9]* window=[1-9][0-9]*" "a copy of the DLL"
expect "@2 rect" "RECT 1413 257 window 1413 257" "the copy's editor at 150 %"
expect windows "WINDOWS children=2 ours=2 .*" "two editors of two copies"
expect "@2 close" "CLOSED children=0" "closing the copy's editor"
expect "same $AT150 0 0 1413 257" "SAME 0" "ours after the copy's editor closed"
expect quit "QUIT children=0"
host_wait
"$WINE" reg delete 'HKCU\Software\Morvane\Vantel' /v Zoom /f >/dev/null 2>&1 </dev/null
for dpi in 144:1413 96:942; do
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${dpi%:*}" /f >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  host_start "$WINE" "$WEDHOST" --dpi-aware "$PLUGIN" "$(winpath "$WORK/log-dpi")"
  expect rect "RECT ${dpi#*:} .*" "the editor at ${dpi%:*} dpi"
  expect quit "QUIT children=0"
  host_wait
done
echo "editor wine test passed in $(($(date +%s) - started)) s"
exit 0
