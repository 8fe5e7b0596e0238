#!/usr/bin/env bash
# The main job: the real ZelmKvel.dll registered in the project's Wine prefix and
# driven late-bound from Windows Script Host, as RideRunner drives it: a JScript object
# stands in for RideRunner's API object; the script creates "ZelmKvel.RRExtension" by
# its ProgID, calls Init and Initialize, asks for labels, commands, an indicator and
# the common list, and prints what the extension answers.
#   scripts/main-job.sh [BUILD]    BUILD: the build folder (default <repo>/build)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build}
if [ ! -f "$build/cross/ZelmKvel.dll" ]; then
  echo "main-job: no $build/cross/ZelmKvel.dll; build first (./zelm build)" >&2
  exit 1
fi
build=$(cd "$build" && pwd)
export ZELM_WINEPREFIX=$build/wineprefix

# The prefix's Wine server and its helpers go when we do, whatever happens.
trap 'WINEPREFIX=$ZELM_WINEPREFIX wineserver -k >/dev/null 2>&1 || true' EXIT

echo "main-job: registering $build/cross/ZelmKvel.dll in $ZELM_WINEPREFIX"
(cd "$build/cross" && "$here/wine-run.sh" regsvr32 /s ZelmKvel.dll)
# cscript takes arguments starting with "/" as its own options: run from the folder.
cd "$here"
output=$("$here/wine-run.sh" cscript main-job.js)
printf '%s\n' "$output"
# An uncaught script error leaves cscript's exit code at 0: the marker decides.
grep -q '^main-job: done' <<<"$output"
