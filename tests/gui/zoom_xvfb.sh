#!/bin/sh
# The editor's zoom in a real window under Xvfb, through the built module (gui_edhost, which
# gives its window the size the editor answers and asks for): with Xft.dpi 192 on the screen
# and nothing stored the editor opens at 200 %, draws the 2x artwork, and takes clicks, drags
# and the hover at twice the panel's coordinates; the background menu's 150 % asks the host
# for 1413 x 257 and the next open starts there; a host that refuses keeps the window as it
# was while the choice is still stored; a host that announces 1.5 opens it at 150 %.
# Exits 77 (skipped) when Xvfb, xdotool or xprop is missing.
EDHOST=$1
PLUGIN=$2
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb_lib.sh"
command -v xprop >/dev/null 2>&1 || { echo "xprop not installed: skipped"; exit 77; }
# (-noreset: the server keeps the root window's resources when its last client goes.)
xvfb_start 2048x800x24 -noreset

# The desktop's scale as GNOME and KDE publish it: Xft.dpi in the screen's resources, the
# root window's RESOURCE_MANAGER text, set here as `xrdb -load` sets it.
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	192"
xprop -root RESOURCE_MANAGER | grep -q 192 || fail "could not set Xft.dpi on the screen"
unset GDK_SCALE QT_SCALE_FACTOR EDHOST_SCALE
export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME"
HOST_LOG="$WORK/log"
host_start "$EDHOST" "$PLUGIN" "$HOST_LOG"

# 1. 200 % from the screen's Xft.dpi: the size (asked before the window opened too), both
#    windows, the 2x artwork as it is.
expect prerect "PRERECT 1884 342"
expect rect "RECT 1884 342"
expect size "SIZE window=1884x342 child=1884x342"
for rect in "0 0 942 2" "22 0 40 14" "385 70 170 20"; do
  expect "frame 128 0 $rect" "FRAME 0" "background at $rect (2x)"
done

# 2. Input at twice the panel's coordinates.
click() { xdotool mousemove --window "$CHILD" "$1" "$2" click "${3:-1}"; sleep 0.15; }
bracket() { grep -E "^(beginEdit|automate|endEdit) $1( |\$)" "$HOST_LOG" | sed 's/ .*//' | uniq | tr '\n' ' '; }
#    FltOn (796, 112 in the panel): automates 42.
click 1592 224
expect_soon "param 42" "PARAM 42 0.75"
[ "$(bracket 42)" = "beginEdit automate endEdit " ] || fail "FltOn's bracket: $(bracket 42)"
#    Input dragged 100 window pixels up moves as far as 50 panel pixels do: 0.5 to 0.75.
xdotool mousemove --window "$CHILD" 800 92 mousedown 1 mousemove_relative -- 0 -100 mouseup 1
sleep 0.2
expect_soon "param 0" "PARAM 0 0.75"
#    The digit display shows the hovered knob's value (Input back at 0.5: "+0.00", the 2x
#    digits).
expect "set 0 0.5" OK
xdotool mousemove --window "$CHILD" 800 92; sleep 0.1
for cell in "145 12 297" "144 1 313" "144 1 329" "144 1 346"; do
  set -- $cell
  expect_soon "frame $1 $2 $3 26 13 16" "FRAME 0" "Input's digit at $3 (2x)"
done

# 3. The background menu (a right click where no control lies): 150 % asks the host for
#    1413 x 257 and both windows take it; rows of 10 panel pixels from the click down.
sizes() { grep -c "^sizeWindow" "$HOST_LOG"; }
click 1200 160 3
click 1220 214
expect_soon rect "RECT 1413 257"
grep -q "^sizeWindow 1413 257$" "$HOST_LOG" || fail "the host was not asked for 1413 x 257"
expect size "SIZE window=1413x257 child=1413x257"
#    The next open starts at the stored 150 %, ahead of the screen's 200 %.
expect close "CLOSED children=0 errors=0"
expect reopen "OPENED 1 child=[1-9][0-9]*"
CHILD=$(echo "$REPLY" | sed 's/.*child=//')
expect rect "RECT 1413 257"

# 4. A host that refuses: 200 % chosen, asked for, refused; the window stays, the choice
#    is stored for the next open.
expect "sizing refuse" OK
asked=$(sizes)
click 900 120 3
click 915 190
i=0
until [ "$(sizes)" -gt "$asked" ]; do
  i=$((i + 1)); [ $i -gt 100 ] && fail "choosing 200 % asked the host for nothing"
  sleep 0.05
done
grep -q "^sizeWindow 1884 342$" "$HOST_LOG" || fail "the host was not asked for 1884 x 342"
expect rect "RECT 1413 257"
expect size "SIZE window=1413x257 child=1413x257"
expect "sizing agree" OK
expect close "CLOSED children=0 errors=0"
expect reopen "OPENED 1 child=[1-9][0-9]*"
expect rect "RECT 1884 342"
expect quit "QUIT children=0 errors=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"
grep -q "X error" "$WORK/err" && fail "X errors"

# 5. Nothing stored, the screen still at 192 dpi, a host that announces 1.5: 150 %.
rm -rf "$XDG_CONFIG_HOME"
mkdir -p "$XDG_CONFIG_HOME"
EDHOST_SCALE=1.5 host_start "$EDHOST" "$PLUGIN" "$HOST_LOG"
expect prerect "PRERECT 1413 257"
expect rect "RECT 1413 257"
expect size "SIZE window=1413x257 child=1413x257"
expect quit "QUIT children=0 errors=0"
host_wait
[ $HOST_RC -eq 0 ] || fail "host exit status $HOST_RC"
echo "zoom xvfb test passed"
exit 0
