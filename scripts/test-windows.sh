#!/usr/bin/env bash
# The Windows x64 build, tested from Linux: cross-builds build-windows/ (scripts/build-windows.sh),
# checks that the DLL exports only its two entry points and imports only system DLLs, runs
# the test suites under wine64 in a wine prefix of the build's own, and compares renders of
# the Windows plug-in with the Linux build's (build/, or $LINUX_BUILD_DIR; built if missing)
# and the panel `vantel.exe shot` draws (at 100, 150 and 200 %) with the Linux goldens.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
linux="${LINUX_BUILD_DIR:-$root/build}"
jobs="${VANTEL_JOBS:-$(nproc)}"
started=$SECONDS

BUILD_DIR="$build" VANTEL_JOBS="$jobs" "$root/scripts/build-windows.sh"

# ---- what the DLL shows the system
objdump=x86_64-w64-mingw32-objdump
fail() { echo "test-windows: $*" >&2; exit 1; }
exports_of() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF { print $NF }' | LC_ALL=C sort | xargs; }
imports_of() { "$objdump" -p "$1" | awk '/DLL Name:/ { print toupper($3) }' | LC_ALL=C sort -u | xargs; }
system_dlls=" KERNEL32.DLL ADVAPI32.DLL SHELL32.DLL USER32.DLL MSVCRT.DLL GDI32.DLL GDIPLUS.DLL OLE32.DLL "
exports="$(exports_of "$build/Vantel.dll")"
[[ "$exports" == "VSTPluginMain main" ]] || fail "Vantel.dll exports \"$exports\", not only VSTPluginMain and main"
for binary in "$build/Vantel.dll" "$build/vantel.exe"; do
  for dll in $(imports_of "$binary"); do
    [[ "$system_dlls" == *" $dll "* ]] || fail "$(basename "$binary") needs $dll, which Windows does not have"
  done
done
# The AVX2 code's vectors on the stack are only 16-byte aligned under Windows: an aligned
# 32-byte move there faults, so none may be in the DLL (the toolchain file says why).
aligned=$("$objdump" -d "$build/Vantel.dll" | grep -cE '\svmov(ap[sd]|dqa)\s.*%ymm' || true)
[[ $aligned == 0 ]] || fail "Vantel.dll holds $aligned aligned 32-byte vector moves, which fault on a 16-byte aligned stack"
echo "Vantel.dll: $(stat -c %s "$build/Vantel.dll") bytes; exports: $exports; imports: $(imports_of "$build/Vantel.dll")"
echo "vantel.exe: $(stat -c %s "$build/vantel.exe") bytes; imports: $(imports_of "$build/vantel.exe")"

# ---- the suites under wine
wine="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
[[ -x "$wine" ]] || fail "wine64 is not installed (Debian package wine64)"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver="$(dirname "$(readlink -f "$wine")")/wineserver"
# The prefix's server and services start here, on /dev/null: started by the first test
# program they would hold its output open, and ctest would wait for them. They stop at
# the end of the run.
"$wineserver" -p >/dev/null 2>&1 </dev/null || true  # (it answers 2 when it has gone to the background)
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wine" wineboot >/dev/null 2>&1 </dev/null
# Windows has Arial, which the editor's live text asks for; wine has none. Liberation Sans
# (fonts-liberation2) has Arial's metrics: the prefix maps the name to it, so that the
# pictures under wine compare with the Linux goldens (drawn in the same font by fontconfig).
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f \
  >/dev/null 2>&1 </dev/null
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300

# ---- the same sound as the Linux build
if [[ ! -x "$linux/tools/vantel/vantel" ]]; then
  BUILD_DIR="$linux" "$root/scripts/build.sh"
fi
compare="$build/compare"
rm -rf "$compare"
mkdir -p "$compare"
linux_vantel() { VANTEL_PLUGIN="$linux/Vantel.so" "$linux/tools/vantel/vantel" "$@"; }
windows_vantel() { VANTEL_PLUGIN= "$wine" "$build/vantel.exe" "$@"; }
# The demo signal through a busy program, written as 24-bit WAV by each build.
linux_vantel render --quiet --program "Ping Pong" "$compare/demo-linux.wav"
windows_vantel render --quiet --program "Ping Pong" "$compare/demo-windows.wav"
echo "Demo render (24-bit), Windows against Linux:"
python3 "$root/scripts/compare-renders.py" "$compare/demo-linux.wav" "$compare/demo-windows.wav" 1.2e-7 ||
  fail "the Windows render of the demo differs from the Linux one by more than float rounding"
# A 24-bit file read and written by each build's own code (libsndfile, our WAV reader
# and writer) through another program.
linux_vantel render --quiet --program 12 --tail 0.5 "$compare/demo-linux.wav" "$compare/pcm-linux.wav"
windows_vantel render --quiet --program 12 --tail 0.5 "$compare/demo-linux.wav" "$compare/pcm-windows.wav"
echo "24-bit file render, Windows against Linux:"
python3 "$root/scripts/compare-renders.py" "$compare/pcm-linux.wav" "$compare/pcm-windows.wav" 1.2e-7 ||
  fail "the Windows render of a 24-bit file differs from the Linux one by more than float rounding"
# And in 32-bit float, with every stage busy: a float copy of that render played through
# another program, so the comparison sees the float rounding itself.
python3 - "$compare/demo-linux.wav" "$compare/input-float.wav" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1])
ch, rate, n = w.getnchannels(), w.getframerate(), w.getnframes()
raw = w.readframes(n)
samples = [int.from_bytes(raw[i:i + 3], "little", signed=True) / 8388608.0 for i in range(0, len(raw), 3)]
body = struct.pack(f"<{len(samples)}f", *samples)
fmt = struct.pack("<HHIIHH", 3, ch, rate, rate * ch * 4, ch * 4, 32)
out = b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt + b"data" + struct.pack("<I", len(body)) + body
open(sys.argv[2], "wb").write(b"RIFF" + struct.pack("<I", len(out)) + out)
PY
linux_vantel render --quiet --program 7 --tail 1 "$compare/input-float.wav" "$compare/float-linux.wav"
windows_vantel render --quiet --program 7 --tail 1 "$compare/input-float.wav" "$compare/float-windows.wav"
echo "Float render, Windows against Linux:"
python3 "$root/scripts/compare-renders.py" "$compare/float-linux.wav" "$compare/float-windows.wav" 1e-6 ||
  fail "the Windows float render differs from the Linux one by more than float rounding"

# The fuzz corpus, whole and mutated, through each build's plug-in: the same answers and
# the same states, byte for byte.
"$linux/tests/boundary/corpus_replay" "$linux/Vantel.so" "$root/tests/fuzz/corpus" >"$compare/corpus-linux.txt"
"$wine" "$build/tests/boundary/corpus_replay.exe" "$build/Vantel.dll" "$root/tests/fuzz/corpus" |
  tr -d '\r' >"$compare/corpus-windows.txt"
cmp -s "$compare/corpus-linux.txt" "$compare/corpus-windows.txt" ||
  fail "the corpus replay differs between the builds: diff $compare/corpus-linux.txt $compare/corpus-windows.txt"
echo "Corpus replay: $(wc -l <"$compare/corpus-windows.txt") cases, identical in both builds"

# The panel as `vantel.exe shot` draws it (GDI+) against the Linux golden: identical but
# for the live text, within the picture tests' tolerance there (tests/gui/Pictures.h).
# The same at the editor's zoom: 100 % is that golden again, 200 % has one of its own, 150 %
# (artwork scaled down from the 2x set) is compared with the Linux build's shot.
linux_vantel shot --zoom 150 "$compare/shot-150-linux.png"
for zoom in 100 150 200; do
  case $zoom in
    100) golden="$root/tests/gui/data/panel_program0.png" ;;
    150) golden="$compare/shot-150-linux.png" ;;
    200) golden="$root/tests/gui/data/panel_program0_200.png" ;;
  esac
  windows_vantel shot --zoom $zoom "$compare/shot-$zoom-windows.png"
  echo "Panel at program 0 at $zoom %, Windows against Linux:"
  "$wine" "$build/tests/gui/picture_compare.exe" "$golden" "$compare/shot-$zoom-windows.png" \
    "$compare/shot-$zoom-diff.png" </dev/null | tr -d '\r' ||
    fail "vantel.exe shot --zoom $zoom differs from Linux: see $compare/shot-$zoom-windows.png and shot-$zoom-diff.png"
done

echo "Windows stage: $((SECONDS - started)) s"
