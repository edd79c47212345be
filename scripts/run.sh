#!/usr/bin/env bash
# The main job: set up, build, install the plug-in into ~/.vst/ and show what a host sees.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
mkdir -p "$HOME/.vst"
cp "$root/build/Vantel.so" "$HOME/.vst/Vantel.so"
echo "Installed $HOME/.vst/Vantel.so"
"$root/build/tools/vantel/vantel" info "$HOME/.vst/Vantel.so"
