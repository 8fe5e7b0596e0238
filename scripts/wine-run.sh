#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's own 32-bit prefix, which it
# creates on first use. Wine's helper processes keep inherited pipes open for seconds,
# so the program's output goes to files and is replayed: that keeps CTest fast.
#   ZELM_WINEPREFIX  the prefix (default: <repo>/build/wineprefix)
set -u
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
zelm_wine "${ZELM_WINEPREFIX:-$ZELM_REPO/build/wineprefix}"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
wine "$@" >"$out/stdout" 2>"$out/stderr" </dev/null
rc=$?
cat "$out/stdout"
cat "$out/stderr" >&2
exit $rc
