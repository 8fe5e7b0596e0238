#!/usr/bin/env bash
# Makes the headless 32-bit Wine prefix named by WINEPREFIX if it is not ready yet:
# null graphics driver (windows work without an X server), no crash dialog.
#
# A prefix is 0.6 GB, nearly all of it Wine's own modules copied in, and the build
# needs several (the tests', the workbench's, fresh ones for the package tests). So one
# template prefix is made once (ZELM_WINE_TEMPLATE, default <repo>/build/wine-template)
# and every prefix is a copy of it in which Wine's modules (DLLs, programs, code
# pages), which Wine only ever reads, are hard links to the template's: a prefix then
# takes about 10 MB of its own. Its registry and every other file are its own copies.
# Where no link can be made (another file system), the copy is a full one. A prefix
# made by another Wine than the one installed now (or before its wine.inf last changed)
# is made again.
set -u
: "${WINEPREFIX:?}"
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
template=$(realpath -m "${ZELM_WINE_TEMPLATE:-$ZELM_REPO/build/wine-template}")
# Made with our own settings, whatever the caller wants for its programs.
unset WINEDEBUG WINEDLLOVERRIDES
zelm_wine_env "$WINEPREFIX"
version=$(wine --version 2>/dev/null) || zelm_die 1 "wine is missing (scripts/setup.sh installs it)"
# Wine brings a prefix up to date by itself when its wine.inf changes (a reinstalled
# package of the same version too), rewriting the modules, which the copies share with
# the template: a prefix made before is then made again instead.
inf=/usr/share/wine/wine.inf
[ -f "$inf" ] && version="$version $(stat -c %Y "$inf")"
ready() { [ "$(cat "$1/.zelm-ready" 2>/dev/null)" = "$version" ]; }
ready "$WINEPREFIX" && exit 0

mkdir -p "$(dirname "$WINEPREFIX")" "$(dirname "$template")"
exec 9>"$WINEPREFIX.lock"
flock 9
ready "$WINEPREFIX" && exit 0

# The template, made once by whichever prefix needs it first; the others wait for it.
exec 8>"$template.lock"
flock 8
if ! ready "$template"; then
  zelm_wine_end "$template"
  rm -rf "$template" "$template.new"
  echo "wine-prefix: creating the Wine template prefix $template (once; about ten seconds)" >&2
  (
    export WINEPREFIX=$template.new
    wineboot -i &&
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    wineserver -w
  ) >"$template.log" 2>&1 || { cat "$template.log" >&2; exit 1; }
  echo "$version" >"$template.new/.zelm-ready"
  mv "$template.new" "$template"
fi
flock -u 8

[ -d "$WINEPREFIX" ] && zelm_wine_end
# Made beside and renamed: a copy cut short is never taken for a ready prefix.
new=$WINEPREFIX.new
rm -rf "$WINEPREFIX" "$new"
if cp -al "$template" "$new" 2>/dev/null; then
  # Everything but the modules becomes the prefix's own file.
  find "$new" -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
    -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.vxd' -o -iname '*.nls' -o -iname '*.tlb' \) \
    -exec sh -c 'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f" || exit 1; done' sh {} + ||
    zelm_die 1 "cannot copy $template to $WINEPREFIX"
else
  rm -rf "$new"
  cp -a "$template" "$new" || zelm_die 1 "cannot copy $template to $WINEPREFIX"
fi
mv "$new" "$WINEPREFIX"
