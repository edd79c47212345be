#!/usr/bin/env bash
# Every test: set up, build and run the suites, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

# Every instance reads the user's stored defaults and writes its recent paths: the tests
# get a settings folder of their own, never the real user's.
export XDG_CONFIG_HOME="$root/build/test-config"
rm -rf "$XDG_CONFIG_HOME"
mkdir -p "$XDG_CONFIG_HOME"

BUILD_DIR="$root/build" "$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"

BUILD_DIR="$root/build-asan" "$root/scripts/build.sh" -DVANTEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)"

if [[ -x "$root/scripts/run-fuzz.sh" ]]; then
  "$root/scripts/run-fuzz.sh"
fi
