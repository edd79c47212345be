#!/usr/bin/env bash
# The main job: set up, build, install the plug-in into ~/.vst/, show what a host sees of
# it, and render the built-in demo signal through a few factory programs into out/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
# The release flags (-O3): the plug-in a musician runs is the optimised one.
"$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release
mkdir -p "$HOME/.vst"
cp "$root/build/Vantel.so" "$HOME/.vst/Vantel.so"
echo "Installed $HOME/.vst/Vantel.so"
vantel="$root/build/tools/vantel/vantel"
"$vantel" info "$HOME/.vst/Vantel.so"

mkdir -p "$root/out"
for program in "Default" "Ping Pong" "Meta Flanger" "Rub A Dub" "Bass Drone"; do
  file="$root/out/demo-$(echo "$program" | tr 'A-Z ' 'a-z-').wav"
  "$vantel" render --plugin "$HOME/.vst/Vantel.so" --program "$program" --tail 4 --quiet "$file"
  echo "Rendered the demo through \"$program\" into $file"
done
