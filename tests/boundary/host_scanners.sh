#!/bin/sh
# The plug-in as the scanners of Debian's hosts see it, when they are installed (packages
# muse and qtractor; the test is skipped without either): MusE lists all 60 parameters by
# their names, Qtractor gives the plug-in one MIDI input and 60 controls.
PLUGIN=$1
MUSE_SCAN=$(command -v muse_plugin_scan)
QTRACTOR_SCAN=""
for f in /usr/lib/*/qtractor/qtractor_plugin_scan /usr/lib/qtractor/qtractor_plugin_scan; do
  [ -x "$f" ] && QTRACTOR_SCAN=$f && break
done
[ -n "$MUSE_SCAN$QTRACTOR_SCAN" ] || { echo "neither MusE nor Qtractor installed: skipped"; exit 77; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if [ -n "$MUSE_SCAN" ]; then
  # The scanner wants its output file to exist already.
  : >"$WORK/muse.xml"
  timeout 60 "$MUSE_SCAN" -t 16 -p -f "$PLUGIN" -o "$WORK/muse.xml" >"$WORK/muse.log" 2>&1 || fail "muse_plugin_scan: $(cat "$WORK/muse.log")"
  names=$(sed -n 's/.*<port name="\([^"]*\)" symbol="[^"]*" idx="[0-9]*" type="10">.*/\1/p' "$WORK/muse.xml" | tr '\n' ' ')
  expected="Input Output Mix FbGainL FbGainR FbPanL FbPanR FbInvL FbInvR LFOWave LFORate LROffset ModSrc CutfMod FltType Cutoff Reso VcoMan VcoMod DlyInvL DlyInvR Drive EnvSpeed FltMode DlyModeL DlyModeR DlyNumL DlyNumR DlyDenL DlyDenR RangeL RangeR LfoMode LfoNum LfoDen DlyTimeL DlyTimeR RvbMode RvbType RvbDamp RvbAmt Bypass FltOn n/a n/a VcoOn RvbOn ModSens DlyPanL DlyPanR DlyGateL DlyGateR Ducking ResoMod PreNumL PreNumR PreDenL PreDenR MuteInL MuteInR "
  [ "$names" = "$expected" ] || fail "MusE lists the parameters as: $names"
  echo "MusE: 60 parameters by name"
fi

if [ -n "$QTRACTOR_SCAN" ]; then
  line=$(echo "VST2:$PLUGIN" | timeout 60 "$QTRACTOR_SCAN" 2>/dev/null | grep '^VST|')
  # VST|name|audio in:out|MIDI in:out|controls in:out|...
  echo "$line" | grep -q '^VST|Vantel|4:2|1:0|60:0|' || fail "Qtractor sees: $line"
  echo "Qtractor: one MIDI input, 60 controls"
fi
exit 0
