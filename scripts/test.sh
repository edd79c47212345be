#!/usr/bin/env bash
# Every test: set up, build and run the suites, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the tests labelled "concurrency" under ThreadSanitizer,
# then the Windows build under wine (scripts/test-windows.sh; VANTEL_SKIP_WINDOWS=1 leaves
# it out).
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

# ThreadSanitizer maps its shadow memory at fixed addresses; on some kernels (a large
# vm.mmap_rnd_bits) its runtime cannot start at all, which says nothing about our code.
# A small threaded program tells: run as it is, then without address randomisation
# (setarch -R, inherited by everything ctest starts); if neither starts, the step is
# skipped with the reason rather than failing.
tsan_prefix=()
tsan_usable() {
  local probe="$root/build-tsan/probe"
  mkdir -p "$probe"
  printf '%s\n' '#include <thread>' 'int main() { int n = 0; std::thread t([&] { n = 1; }); t.join(); return n - 1; }' \
    >"$probe/probe.cpp"
  "${CXX:-c++}" -fsanitize=thread -pthread "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/compile.log" || {
    echo "ThreadSanitizer: the compiler cannot build with it ($(head -n 1 "$probe/compile.log"))"
    return 1
  }
  # (In subshells, so that a runtime that crashes is reported here and not by the shell.)
  if ("$probe/probe" && true) >"$probe/run.log" 2>&1; then return 0; fi
  if command -v setarch >/dev/null && (setarch "$(uname -m)" -R "$probe/probe" && true) >/dev/null 2>&1; then
    tsan_prefix=(setarch "$(uname -m)" -R)
    return 0
  fi
  echo "ThreadSanitizer: its runtime does not start on this machine ($(head -n 1 "$probe/run.log"))"
  return 1
}
if tsan_usable; then
  # Only what the concurrency tests run is built (the vantel_concurrency target).
  cmake -S "$root" -B "$root/build-tsan" -G Ninja -DVANTEL_TSAN=ON >/dev/null
  cmake --build "$root/build-tsan" --target vantel_concurrency -j "$(nproc)"
  TSAN_OPTIONS="second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
    "${tsan_prefix[@]}" ctest --test-dir "$root/build-tsan" -L concurrency --output-on-failure -j "$(nproc)"
else
  echo "ThreadSanitizer: skipping the concurrency tests under it (the other builds ran them)."
fi

if [[ -x "$root/scripts/run-fuzz.sh" ]]; then
  "$root/scripts/run-fuzz.sh"
fi

if [[ "${VANTEL_SKIP_WINDOWS:-0}" != 1 ]]; then
  LINUX_BUILD_DIR="$root/build" "$root/scripts/test-windows.sh"
fi
