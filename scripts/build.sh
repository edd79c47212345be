#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $BUILD_DIR) with extra CMake
# arguments passed through.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
