#!/usr/bin/env bash
# The release package as a car-PC owner meets it, under Wine in a prefix made afresh
# (nothing registered there before): the zip unpacked into a folder with a blank in
# its name and checked; install.cmd run from another folder, as "Run as administrator"
# does; the demo data server, the check tool, and script clients (the package test's
# and the host developers' guide's) reading its values through the installed DLL; the
# folder moved away, the check tool saying so, and uninstall.cmd from the moved copy
# removing every entry; install.cmd's and uninstall.cmd's failures, each with its
# message and exit code. Prints ZELMKVEL PACKAGE PASSED.
#   check-package.sh ZIP VERSION OBJDUMP WORK DENY-WRITE-PROGRAM
set -u
zip=$1 version=$2 objdump=$3 work=$4 deny=$5
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../../../scripts/common.sh"
zelm_checks
repo=$ZELM_REPO
export ZELM_WINEPREFIX=$work/wineprefix
wine_run() { "$repo/scripts/wine-run.sh" "$@"; }

[ -d "$ZELM_WINEPREFIX" ] && zelm_wine_end "$ZELM_WINEPREFIX"
rm -rf "$work"
mkdir -p "$work/Car PC"
(cd "$work/Car PC" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
package="$work/Car PC/ZelmKvel-$version"

# --- What is in it -----------------------------------------------------------------
want="README.txt SHA256SUMS ZelmKvel.dll ZelmKvel.idl ZelmKvel.tlb default.skin hosting.txt install.cmd sample-drive.csv skin-reference.txt uninstall.cmd zelm_check.exe zelm_sim.exe"
have=$(cd "$package" && ls | tr '\n' ' ')
[ "$have" = "$want " ] || fail "the package holds: $have"
listed=$(cd "$package" && tr -d '\r' <SHA256SUMS | awk '{ print $2 }' | tr '\n' ' ')
[ "$listed" = "${want/SHA256SUMS /} " ] || fail "SHA256SUMS lists: $listed"
(cd "$package" && tr -d '\r' <SHA256SUMS | sha256sum --quiet -c) || fail "SHA256SUMS does not match"
for program in ZelmKvel.dll zelm_sim.exe zelm_check.exe; do
  "$objdump" -t "$package/$program" | grep -q '^no symbols' || fail "$program is not stripped"
done
for text in $want; do
  case $text in *.dll | *.exe | *.tlb) continue ;; esac
  ! grep -qv $'\r$' "$package/$text" || fail "$text has lines without Windows line ends"
done
# The version blocks of the DLL and the programs: the version, and in their comments
# the commit the sources are at (strings in UTF-16).
utf16() {  # TEXT as a pattern of its UTF-16 form
  local out="" c i
  for ((i = 0; i < ${#1}; i++)); do c=${1:i:1}; [ "$c" = . ] && c='\.'; out+="$c\\x00"; done
  printf '%s' "$out"
}
for program in ZelmKvel.dll zelm_check.exe zelm_sim.exe; do
  LC_ALL=C grep -qaP "$(utf16 ProductVersion)\\x00\\x00(\\x00\\x00)?$(utf16 "$version")\\x00\\x00" "$package/$program" ||
    fail "$program has no version block of version $version"
done
if commit=$(git -C "$repo" rev-parse --short=12 HEAD 2>/dev/null); then
  for program in ZelmKvel.dll zelm_check.exe zelm_sim.exe; do
    LC_ALL=C grep -qaP "$(printf 'commit %s' "$commit" | sed 's/./&\\x00/g')" "$package/$program" ||
      fail "$program's comments do not name commit $commit"
  done
fi

# --- Installed, used, removed ------------------------------------------------------
folder=$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$package" 2>/dev/null)
system=$ZELM_WINEPREFIX/drive_c/windows/system32
run_script() {  # SCRIPT: run with Wine's cmd from the system folder; output in $out, exit code in $rc
  out=$(cd "$system" && wine_run cmd /c "$folder\\$1" 2>&1)
  rc=$?
}
run_program() {  # PROGRAM ARGS...: a program of the package, run in its folder; output in $out, exit code in $rc
  out=$(cd "$package" && wine_run "$package/$1" "${@:2}" 2>&1)
  rc=$?
}
expect() {  # WHAT CODE TEXT: the last script ended with CODE and said TEXT
  if [ "$rc" != "$2" ] || ! grep -qF "$3" <<<"$out"; then
    fail "$1: exit code $rc, expected $2 with \"$3\"; it said:"
    printf '%s\n' "$out"
  fi
}
wine_run cmd /c ver >/dev/null  # makes the prefix
[ -d "$system" ] || { echo "FAIL: no Wine prefix at $ZELM_WINEPREFIX"; exit 1; }

export_classes() { wine_run reg export 'HKLM\Software\Classes' "$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$1")" /y >/dev/null 2>&1; }
# Wine registers Windows Script Host's own type library when cscript first runs: once
# before the registry is looked at.
echo 'WScript.Echo("ready")' >"$work/ready.js"
(cd "$work" && wine_run cscript //nologo ready.js >/dev/null 2>&1)
export_classes "$work/before.reg"
run_script uninstall.cmd
expect "uninstall.cmd before any install" 0 "ZelmKvel was not installed"
run_script install.cmd
expect "install.cmd" 0 "ZelmKvel $version is registered"
run_program zelm_check.exe --verify
expect "zelm_check --verify" 0 "12 files as published, 0 not."
run_program zelm_check.exe --codes default.skin
expect "zelm_check --codes on the default skin" 0 "Every ce_ code in the file is one ZelmKvel knows."
printf '<skin>\r\n  <label code="CE_Speed"/>\r\n  <label code="ce_enginespeeed"/>\r\n</skin>\r\n' |
  iconv -f UTF-8 -t UTF-16 >"$package/../front-end.skin"
run_program zelm_check.exe --codes ../front-end.skin
expect "zelm_check --codes on a UTF-16 skin" 1 "../front-end.skin:3: 'ce_enginespeeed' is no ZelmKvel code; nearest: ce_enginespeed"

wine_run "$package/zelm_sim.exe" --run-seconds 120 >"$work/sim.log" 2>&1 &
for _ in $(seq 100); do grep -q ready "$work/sim.log" 2>/dev/null && break; sleep 0.2; done
out=$(cd "$here" && wine_run cscript //nologo live.js "$version" 2>&1)
grep -q "ZELMKVEL PACKAGE LIVE" <<<"$out" || { fail "the script client saw no live values:"; printf '%s\n' "$out"; cat "$work/sim.log"; }
# The host developers' guide's script, as its reader saves it from hosting.txt.
awk '/^```js/ { inside = 1; next } /^```/ { inside = 0 } inside' "$package/hosting.txt" >"$work/guide.js"
out=$(cd "$work" && wine_run cscript //nologo guide.js 2>&1)
grep -qE "^Vehicle speed [0-9]+ km/h, Engine speed [0-9]+ rpm" <<<"$out" ||
  { fail "the guide's script showed no live values:"; printf '%s\n' "$out"; }
run_program zelm_check.exe --seconds 2
expect "zelm_check with the demo data server" 0 "Verdict: ZelmKvel is installed and working"

# The folder moved after installing: the check says so, and uninstall.cmd from the
# moved copy (the registered one is gone) removes every entry install.cmd wrote.
mv "$package" "$work/Moved"
package=$work/Moved
folder=$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$package" 2>/dev/null)
run_program zelm_check.exe --seconds 1
expect "zelm_check after the folder moved" 4 "the file it is registered with is missing or was moved"
run_script uninstall.cmd
expect "uninstall.cmd from a moved copy" 0 "ZelmKvel is unregistered"
export_classes "$work/after.reg"
diff <(iconv -f UTF-16 -t UTF-8 "$work/before.reg") <(iconv -f UTF-16 -t UTF-8 "$work/after.reg") >"$work/left.diff" ||
  { fail "uninstall.cmd left entries behind:"; head -30 "$work/left.diff"; }
run_script uninstall.cmd
expect "uninstall.cmd again" 0 "ZelmKvel was not installed"
run_program zelm_check.exe --seconds 1
expect "zelm_check after removal" 3 "Verdict: ZelmKvel is not registered"

# --- Failures, in plain words and with their exit codes -----------------------------
mv "$package/ZelmKvel.dll" "$work/"
run_script install.cmd
expect "install.cmd without the DLL" 11 "ZelmKvel.dll is not beside install.cmd"
mv "$work/ZelmKvel.dll" "$package/"

wine_run "$deny" ZelmKvel.RRExtension || fail "could not protect a registry key"
run_script install.cmd
expect "install.cmd with a protected key" 5 "regsvr32 could not register ZelmKvel.dll, exit code 5"
run_script uninstall.cmd
expect "uninstall.cmd with a protected key" 6 "  HKCR\ZelmKvel.RRExtension"

wine_run "$deny" ZelmKvel.AccessProbe || fail "could not protect a registry key"
run_script install.cmd
expect "install.cmd without the rights" 10 "install.cmd needs administrator rights"

zelm_wine_end "$ZELM_WINEPREFIX"
zelm_finish "ZELMKVEL PACKAGE PASSED" "$work" "the prefix and the unpacked package"
