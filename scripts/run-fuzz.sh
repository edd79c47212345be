#!/usr/bin/env bash
# Builds the libFuzzer targets of the preset readers with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in their own build folder and runs each for a bounded time,
# starting from the committed seed corpus. Fails when any target finds a crash.
#   FUZZ_SECONDS  seconds per target (default 30)
#   BUILD_DIR     build folder (default build-fuzz)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"

if ! command -v clang++ >/dev/null; then
  echo "run-fuzz: clang++ is not installed (scripts/packages.txt lists it)" >&2
  exit 1
fi

cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DVANTEL_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

readers=(chunk image bank preset midi legacy_bank legacy_preset legacy_midi file stored)
work="$build/run"
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0
for reader in "${readers[@]}"; do
  # A working copy of the seeds: what the run adds never lands in the repository.
  corpus="$work/corpus-$reader"
  mkdir -p "$corpus"
  if [[ -d "$root/tests/fuzz/corpus/$reader" ]]; then
    cp "$root/tests/fuzz/corpus/$reader"/* "$corpus"/
  fi
  log="$work/$reader.log"
  if (cd "$work" && "$build/fuzz_$reader" -max_total_time="$seconds" -max_len=140000 \
        -rss_limit_mb=2048 -print_final_stats=1 "$corpus" >"$log" 2>&1); then
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo '?')
    echo "fuzz_$reader: ok, $runs inputs in ${seconds}s"
    passed=$((passed + 1))
  else
    echo "fuzz_$reader: FAILED (log and crash input in $work)" >&2
    tail -n 40 "$log" >&2
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
