#!/bin/sh
# clang-tidy's checks over what only the cross build compiles, each file with the
# library headers of its thread model as MinGW's g++ reads them: the Windows shell and
# the tools' Windows programs (win32), then the Wine tests, their support and the Wine
# bench (posix, which GoogleTest needs).
#   lint-windows.sh RUN-CLANG-TIDY CROSS-BUILD JOBS HEADER-FILTER ROOT-PATTERN
set -e
tidy=$1 build=$2 jobs=${ZELM_JOBS:-$3} headers=$4 root=$5
lint() {  # MODEL FILES-REGEX
  cxx=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-"$1"/include/c++ | head -n 1)
  "$tidy" -quiet -p "$build" -j "$jobs" "$headers" -extra-arg=--target=i686-w64-mingw32 -extra-arg=-nostdinc++ \
    -extra-arg=-isystem"$cxx" -extra-arg=-isystem"$cxx"/i686-w64-mingw32 -extra-arg=-isystem"$cxx"/backward "$2"
}
lint win32 "^$root/(src/win|tools)/.*\.cpp$"
lint posix "^$root/(support/wine|tests/wine|bench/wine)/.*\.cpp$"
