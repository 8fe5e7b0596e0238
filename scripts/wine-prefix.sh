#!/usr/bin/env bash
# Makes the headless 32-bit Wine prefix named by WINEPREFIX if it is not there yet:
# null graphics driver (windows work without an X server), no crash dialog.
set -u
: "${WINEPREFIX:?}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
[ -f "$WINEPREFIX/.zelm-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.zelm-ready" ] && exit 0
rm -rf "$WINEPREFIX"
echo "wine-prefix: creating the Wine prefix $WINEPREFIX (once; about ten seconds)" >&2
{
  wineboot -i &&
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
  wineserver -w
} >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; exit 1; }
touch "$WINEPREFIX/.zelm-ready"
