#!/usr/bin/env bash
# Cross-builds the Windows x64 plug-in and tools with mingw-w64 into build-windows/ (or the
# folder given as $BUILD_DIR): Vantel.dll, vantel.exe, and the test programs that
# scripts/test-windows.sh runs under wine. Extra CMake arguments are passed through.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-windows}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j "${VANTEL_JOBS:-$(nproc)}"
