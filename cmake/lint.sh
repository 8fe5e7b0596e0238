#!/bin/sh
# clang-tidy's checks of .clang-tidy over the project's own sources of one build, as many
# files at once as there are jobs, headers only where the filter (anchored at the
# checkout's root) takes them. What only the cross build compiles is read with the
# library headers of its thread model, as MinGW's g++ reads them: the Windows shell and
# the shipped programs and the workbench (win32), then the Wine tests, their support and the Wine
# bench (posix, which GoogleTest needs).
#   lint.sh RUN-CLANG-TIDY JOBS ROOT-PATTERN native BUILD
#   lint.sh RUN-CLANG-TIDY JOBS ROOT-PATTERN windows CROSS-BUILD
# ZELM_JOBS overrides JOBS; ZELM_LINT_FILES, a pattern of paths below the root, reads
# only those files (the test that lints a checkout in another folder).
set -e
tidy=$1 jobs=${ZELM_JOBS:-$2} root=$3 kind=$4 build=$5
headers="-header-filter=^$root/(src|workbench|tests|bench)/"
lint() {  # FILES-PATTERN [MODEL]
  files="^$root/${ZELM_LINT_FILES:-$1}"
  if [ -z "${2:-}" ]; then
    "$tidy" -quiet -p "$build" -j "$jobs" "$headers" "$files"
    return
  fi
  cxx=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-"$2"/include/c++ | head -n 1)
  "$tidy" -quiet -p "$build" -j "$jobs" "$headers" -extra-arg=--target=i686-w64-mingw32 -extra-arg=-nostdinc++ \
    -extra-arg=-isystem"$cxx" -extra-arg=-isystem"$cxx"/i686-w64-mingw32 -extra-arg=-isystem"$cxx"/backward "$files"
}
case $kind in
  native) lint "(src|workbench|tests|bench)/" ;;
  windows)
    lint "(src/win|src/programs|workbench)/.*\.cpp$" win32
    [ -n "${ZELM_LINT_FILES:-}" ] || lint "(tests/support/wine|tests/wine|bench/wine)/.*\.cpp$" posix
    ;;
esac
