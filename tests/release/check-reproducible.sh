#!/usr/bin/env bash
# The release built again as someone else builds the same commit, and compared with this
# build's byte for byte: a clone of the checkout (with its changes) in another folder,
# tagged with project()'s version as a release is, built with the clock a year and a day
# ahead, another umask, time zone, locale and home. It takes this build's compiled
# objects (tests/release/reuse-object.sh) and makes again what writes what ships: the
# type library, the resources, the links, the packages and their checksums. Before
# that, a tag of another version must stop the build. The verdict is the exit code:
# zelm_release_compare's (each file that differs, with its first differing byte and what
# that byte is; each that holds either build's folder), or 1 when a step fails.
#   check-reproducible.sh ROOT BUILD COMPARE
set -u
root=$1 build=$2 compare=$3
work=$build/release-test
copy=$work/elsewhere/zelmkvel
die() { echo "FAIL: $*"; exit 1; }
version=$(sed -n 's/^project(ZelmKvel VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ -f "$build/dist/ZelmKvel-$version.msi" ] || die "no release in $build/dist to compare with: build first"
rm -rf "$work"
mkdir -p "$work/home"
git clone -q --shared "$root" "$copy" 2>"$work/clone.log" || die "cannot clone $root: $(cat "$work/clone.log")"
# The checkout's changes and new files; what it deleted goes too.
(cd "$root" && { git diff -z --name-only --diff-filter=d HEAD; git ls-files -oz --exclude-standard; } |
  xargs -0r cp --parents -t "$copy" && git diff -z --name-only --diff-filter=D HEAD | (cd "$copy" && xargs -0r rm -f)) ||
  die "cannot copy the checkout's changes"

# A version tag is project()'s version, or nothing is built.
git -C "$copy" tag v0.0.1
if out=$(cmake -DSOURCE="$copy" -DOUTPUT="$work/commit.h" -DDATE="$work/date.txt" -DVERSION="$version" \
         -P "$copy/cmake/Commit.cmake" 2>&1) || [[ $out != *"tagged v0.0.1, but project()"* ]]; then
  die "a commit tagged v0.0.1 builds as $version: $out"
fi
git -C "$copy" tag -d v0.0.1 >/dev/null && git -C "$copy" tag "v$version" || die "cannot tag the clone"

cross=$copy/build/cross
launcher="$root/tests/release/reuse-object.sh;$build/cross"
(
  umask 077
  export TZ=Pacific/Kiritimati LC_ALL=C HOME=$work/home USER=someone LOGNAME=someone
  faketime -f +366d cmake -S "$copy" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER_LAUNCHER="$launcher" -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" &&
    faketime -f +366d cmake --build "$cross" --target dist
) >"$work/build.log" 2>&1 || { cat "$work/build.log"; die "the second build failed"; }

"$compare" "$build/dist" "$copy/build/dist" --path "$root" --path "$copy"
verdict=$?
# As docs/development.md tells a rebuilder: the published checksums hold for the rebuilt packages.
(cd "$copy/build/dist" && sha256sum --quiet -c "$build/dist/ZelmKvel-$version-SHA256SUMS.txt") || verdict=1
[ "$verdict" != 0 ] || rm -rf "$work"
exit "$verdict"
