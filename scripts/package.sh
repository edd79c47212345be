#!/usr/bin/env bash
# Builds the Debian package from scratch: a fresh release build (no tests) in
# build-package/, then cpack. The package lands in build-package/package/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build-package"
rm -rf "$build"
BUILD_DIR="$build" "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=OFF
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >"$build/cpack.log" 2>&1 || {
  cat "$build/cpack.log" >&2
  exit 1
}
deb=$(ls "$build"/package/vantel_*_amd64.deb)
echo "Built $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Installed-Size\):/  \1:/p'
