#!/usr/bin/env bash
# Builds the Debian package from this build folder (cpack), unpacks it into a scratch
# folder (dpkg-deb -x: nothing on the machine changes) and checks what a user gets: the
# file list, the links, the control fields and the Depends that dpkg-shlibdeps computed,
# what the plug-in links at run time, that the unpacked vantel finds the unpacked plug-in,
# the bash completion, and lintian's verdict (no errors).
#   package_test.sh BUILD_DIR SOURCE_DIR VERSION
# Exit 77 (skipped) when the Debian tools are missing.
set -euo pipefail
build=$1 source=$2 version=$3

for tool in cpack dpkg-deb dpkg-shlibdeps lintian readelf; do
  if ! command -v "$tool" >/dev/null; then
    echo "package test: $tool is not installed (scripts/packages.txt lists it); skipped"
    exit 77
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"
  exit 1
}
deb="$scratch/out/vantel_${version}_amd64.deb"
[[ -f $deb ]] || { ls -l "$scratch/out"; echo "FAILED: no $deb"; exit 1; }
echo "built $(basename "$deb")"

# ---- the files and links
dpkg-deb -x "$deb" "$scratch/root"
actual=$(cd "$scratch/root" && find . \( -type f -o -type l \) | sort)
expected=$(
  {
    printf '%s\n' ./usr/bin/vantel ./usr/lib/lxvst/Vantel.so ./usr/lib/vst/Vantel.so \
      ./usr/share/bash-completion/completions/vantel ./usr/share/doc/vantel/README.md \
      ./usr/share/doc/vantel/changelog.gz ./usr/share/doc/vantel/copyright ./usr/share/man/man1/vantel.1.gz
    for png in "$source"/docs/*.png; do echo "./usr/share/doc/vantel/docs/$(basename "$png")"; done
  } | sort
)
[[ $actual == "$expected" ]] || fail "the files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$actual"))"
link="$scratch/root/usr/lib/vst/Vantel.so"
[[ -L $link && $(readlink "$link") == ../lxvst/Vantel.so && $link -ef $scratch/root/usr/lib/lxvst/Vantel.so ]] ||
  fail "usr/lib/vst/Vantel.so is not a relative link to ../lxvst/Vantel.so"

# ---- the control fields
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == vantel ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), the project says $version"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == sound ]] || fail "Section: $(field Section)"
[[ $(field Priority) == optional ]] || fail "Priority: $(field Priority)"
[[ $(field Maintainer) =~ ^Morvane\ \<.+@.+\>$ ]] || fail "Maintainer: $(field Maintainer)"
description=$(field Description)
[[ $(echo "$description" | wc -l) -ge 5 && -n $(echo "$description" | head -n 1) ]] ||
  fail "Description needs a short and a long part: $description"
depends=$(field Depends)
echo "Depends: $depends"
# libxcb1 has no symbols file, so dpkg-shlibdeps names it without a version.
for package in libc6 libcairo2 libsndfile1 libstdc++6; do
  [[ $depends =~ (^|, )"$package"\ \(\>=\ [^\)]+\) ]] || fail "Depends lacks $package with a version: $depends"
done
[[ $depends =~ (^|, )libxcb1($|,|\ ) ]] || fail "Depends lacks libxcb1: $depends"
[[ $depends != *-dev* && $depends != *asan* ]] || fail "Depends names build packages: $depends"

# ---- the plug-in links only what every desktop has; the tools run from where they landed
needed=$(readelf -d "$scratch/root/usr/lib/lxvst/Vantel.so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
for library in $needed; do
  # The loader comes with libc (the runtime's thread-local storage asks for it by name).
  case $library in ld-linux-x86-64.so.2 | libc.so.6 | libm.so.6 | libxcb.so.1 | libcairo.so.2) ;; *) fail "the plug-in links $library" ;; esac
done
echo "plug-in links: $needed"
grep -aqF "v.$version" "$scratch/root/usr/lib/lxvst/Vantel.so" || fail "the about screen's text v.$version is not in the plug-in"
vantel="$scratch/root/usr/bin/vantel"
[[ $(env -u VANTEL_PLUGIN "$vantel" --version) == "vantel $version" ]] || fail "vantel --version: $("$vantel" --version)"
env -u VANTEL_PLUGIN "$vantel" info | grep -qxF "Plug-in       $scratch/root/usr/lib/lxvst/Vantel.so" ||
  fail "the unpacked vantel does not find the unpacked plug-in: $(env -u VANTEL_PLUGIN "$vantel" info 2>&1 | head -n 1)"

# ---- bash completion: sub-commands and option values
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vantel; echo "${COMPREPLY[*]}"' \
    _ "$scratch/root/usr/share/bash-completion/completions/vantel" "$@"
}
[[ $(complete_words vantel pl) == plot ]] || fail "completion of 'vantel pl': $(complete_words vantel pl)"
[[ $(complete_words vantel plot --in) == --input ]] || fail "completion of 'vantel plot --in'"
[[ $(complete_words vantel convert --to "") == "preset bank midi chunk" ]] || fail "completion of --to"

# ---- lintian: no errors (warnings and notes are shown)
lintian --no-tag-display-limit "$deb" >"$scratch/lintian.log" 2>&1 || true
echo "lintian: $(grep -c '^[EW]:' "$scratch/lintian.log" || true) errors and warnings"
cat "$scratch/lintian.log"
if grep -q '^E:' "$scratch/lintian.log"; then fail "lintian reports errors"; fi

if ((failures)); then
  echo "package test: $failures failures"
  exit 1
fi
echo "package test: all checks passed"
