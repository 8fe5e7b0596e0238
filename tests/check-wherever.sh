#!/usr/bin/env bash
# The checks read only the project's own files, wherever the checkout lives: a copy of
# this checkout (its files as they are now) under folders named like the project's own
# (src, workbench, tests, bench, programs), configured as a fresh clone is, passes the
# layout, portability and room checks, and the lint of a file of the core and of one of
# the shell that includes a header the cross build generates.
#   check-wherever.sh ROOT BUILD-FOLDER
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
zelm_checks
root=$1 work=$2/wherever
copy=$work/src/workbench/tests/bench/programs/zelmkvel
rm -rf "$work"
mkdir -p "$copy"
(cd "$root" && git ls-files -co --exclude-standard -z | while IFS= read -r -d '' f; do [ ! -e "$f" ] || printf '%s\0' "$f"; done |
  xargs -0 cp --parents -t "$copy") || fail "cannot copy the checkout"
log=$work/configure.log
cmake -S "$copy" -B "$copy/build" -G Ninja >"$log" 2>&1 || fail "the copy's build does not configure"
# The cross build configured as the native one would, and the headers it generates.
cmake -S "$copy" -B "$copy/build/cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DZELM_WINEPREFIX="$copy/build/wineprefix" >>"$log" 2>&1 &&
  cmake --build "$copy/build/cross" --target zelmtlb zelm_commit >>"$log" 2>&1 ||
  fail "the copy's cross build does not configure"
out=$(ZELM_LINT_FILES='(src/core/extension/Labels|src/win/server/Server)\.cpp$' ctest --test-dir "$copy/build" \
  -R '^(lint|lint_windows|format|core_is_portable|rooms_in_order)$' --output-on-failure 2>&1) ||
  fail "the checks fail in $copy:
$out"
grep -q "100% tests passed, 0 tests failed out of 5" <<<"$out" || fail "not all five checks ran: $out"
zelm_finish "CHECKS PASS WHEREVER THE CHECKOUT IS" "$work" "the copy and its configure log"
