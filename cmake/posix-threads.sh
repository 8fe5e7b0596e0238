#!/bin/sh
# Compiler and linker launcher for the test programs of the cross build: runs the
# posix thread model's variant of the compiler it is handed (i686-w64-mingw32-g++-win32
# becomes i686-w64-mingw32-g++-posix), for GoogleTest's std::mutex.
compiler=$1
shift
case "$compiler" in
  *-win32) exec "${compiler%-win32}-posix" "$@" ;;
  *) exec "$compiler" "$@" ;;
esac
