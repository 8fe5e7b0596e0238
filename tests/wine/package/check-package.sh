#!/usr/bin/env bash
# The release package as a car-PC owner meets it, under Wine in a prefix made afresh
# (nothing registered there before): the zip unpacked into a folder with a blank in
# its name and checked, its texts within 80 columns and naming nothing an owner lacks;
# install.cmd run from another folder, as "Run as administrator" does; the check tool's
# --codes on skins as an owner has them (UTF-16 without a mark, ANSI in code page 1251
# read there and on a system in 1252, folders, wildcards) and README.txt's batch lines
# that test its exit code; the demo data server, the check tool, and script clients (the
# package test's and the host developers' guide's) reading its values through the
# installed DLL; each of the check tool's verdicts (in use, incomplete, damaged, moved)
# mended by following its advice as it stands, and uninstall.cmd from a moved copy
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
want="README.txt SHA256SUMS ZelmKvel.dll ZelmKvel.idl ZelmKvel.tlb hosting.txt install.cmd sample-drive.csv skin-reference.html skin-reference.txt uninstall.cmd zelm_check.exe zelm_sim.exe"
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
wider() {  # the lines of standard input wider than 80 columns (a UTF-8 character is one)
  tr -d '\r' | LC_ALL=C sed 's/[\xC0-\xF7][\x80-\xBF]*/?/g' | awk 'length > 80'
}
for text in README.txt hosting.txt skin-reference.txt; do
  [ -z "$(wider <"$package/$text")" ] || fail "$text has lines wider than 80 columns: $(wider <"$package/$text")"
done
# What an owner reads names nothing an owner lacks: no file of the sources or the
# build, no program of the workbench.
said=$(cat "$package"/*.txt "$package"/*.html "$package"/*.cmd "$package"/*.idl
       for program in zelm_check.exe zelm_sim.exe; do (cd "$package" && wine_run "$package/$program" --help 2>&1); done)
leaks=$(grep -noE '(^|[^A-Za-z_])(src|tools|docs|build|support|tests|package|cmake|scripts)/|[A-Za-z_]+\.(cpp|h|md|in|sh)\b|zelm_host|zelm_skinref|\./zelm|workbench|README\.md|ZelmKvel_TLB' <<<"$said")
[ -z "$leaks" ] || fail "the packages' texts name what an owner lacks: $leaks"
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
  # Its messages fit a console's 80 columns, but for the lines that name the folder.
  [ -z "$(grep -vF "$folder" <<<"$out" | wider)" ] || fail "$1 says lines wider than 80 columns: $out"
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
mv "$package/SHA256SUMS" "$work/"
run_program zelm_check.exe --verify
expect "zelm_check --verify without SHA256SUMS" 20 "SHA256SUMS: not found, so no file was checked."
mv "$work/SHA256SUMS" "$package/"
# Skins as an owner has them: UTF-16 without a mark, ANSI, a folder, wildcards that
# the console hands over unexpanded, a name that is not there.
mkdir -p "$work/Skins/Night" "$work/Skins/Empty"
printf '<skin>\r\n  <label code="CE_Speed"/>\r\n  <label code="ce_spedd"/>\r\n</skin>\r\n' |
  iconv -f UTF-8 -t UTF-16LE >"$work/Skins/front-end.xml"
printf 'img=ce_panel\r\nlabel=ce_porse_power\r\n' >"$work/Skins/Night/night.ini"
printf 'label=ce_\xF0orse_power\r\n' >"$work/ansi1251.ini"
out=$(cd "$work" && wine_run "$package/zelm_check.exe" --codes 'Skins\*.xml' Skins 'Skins\Empty' missing.ini '*.nothing' 2>&1)
rc=$? out=$(tr -d '\r' <<<"$out")
want="Skins\\front-end.xml:3: 'ce_spedd' is no ZelmKvel code; nearest: ce_speed
Skins\\front-end.xml: 1 of 2 ce_ codes unknown (4 lines, read as UTF-16 LE without a byte-order mark)
Skins\\front-end.xml:3: 'ce_spedd' is no ZelmKvel code; nearest: ce_speed
Skins\\front-end.xml: 1 of 2 ce_ codes unknown (4 lines, read as UTF-16 LE without a byte-order mark)
Skins\\Night\\night.ini:1: 'ce_panel' is no ZelmKvel code, and none is near it
Skins\\Night\\night.ini:2: 'ce_porse_power' is no ZelmKvel code, but looks like ce_$(printf '\xD1\x80')orse_power:
  its character 4 is the Latin p (U+0070),
  where the code has the Cyrillic er (U+0440)
Skins\\Night\\night.ini: 2 of 2 ce_ codes unknown (2 lines, read as ASCII)
Skins\\Empty\\: is a folder, with no skin file (*.ini, *.xml, *.skin) in it or below
missing.ini: not found
*.nothing: no file matches
6 checked: 3 with unknown codes, 1 a folder without skin files, 2 not found.
A label with an unknown code stays empty; a command with one does nothing."
[ "$rc" = 17 ] && [ "$(sed 1d <<<"$out")" = "$want" ] || { fail "zelm_check --codes, exit code $rc:"; diff <(sed 1d <<<"$out") <(echo "$want"); }
# The skin reference names no code ZelmKvel lacks, in either form.
run_program zelm_check.exe --codes skin-reference.txt skin-reference.html
expect "zelm_check --codes on the skin reference" 0 "2 checked: 2 all codes known."
# On a Windows whose ANSI code page is 1251, a skin saved in it holds the Cyrillic er.
out=$(cd "$work" && env LC_ALL=ru_RU.UTF-8 "$repo/scripts/wine-run.sh" "$package/zelm_check.exe" --codes ansi1251.ini 2>&1)
rc=$?
expect "zelm_check --codes in code page 1251" 0 "ansi1251.ini: 1 ce_ code, known (1 line, read as the system's ANSI code page, 1251)"
# On one in 1252, the word names both code pages.
out=$(cd "$work" && wine_run "$package/zelm_check.exe" --codes ansi1251.ini 2>&1)
rc=$? out=$(tr -d '\r' <<<"$out")
want="ansi1251.ini:1: 'ce_$(printf '\xC3\xB0')orse_power' is no ZelmKvel code, but would be ce_$(printf '\xD1\x80')orse_power:
  it was read in the system's ANSI code page, 1252 (Western European),
  and is that code in 1251 (Cyrillic): saved in another code page?
ansi1251.ini: 1 of 1 ce_ code unknown (1 line, read as the system's ANSI code page, 1252)
A label with an unknown code stays empty; a command with one does nothing."
[ "$rc" = 13 ] && [ "$(sed 1d <<<"$out")" = "$want" ] || { fail "zelm_check --codes in code page 1252, exit code $rc:"; diff <(sed 1d <<<"$out") <(echo "$want"); }
# README.txt's batch lines as they stand: unknown codes, then a folder not there.
batch=$work/errorlevel.cmd
tr -d '\r' <"$package/README.txt" | sed -n '/^A batch file tests them/,/^$/p' | sed -n 's/^  //p' | sed 's/$/\r/' >"$batch"
mkdir -p "$ZELM_WINEPREFIX/drive_c/Skins/Night"
printf 'label=ce_spedd\r\n' >"$ZELM_WINEPREFIX/drive_c/Skins/Night/night.ini"
for case in "Unknown codes: see above." "Some of it could not be read: see above."; do
  out=$(cd "$package" && wine_run cmd /c "$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$batch")" 2>&1)
  said=$(grep -E '^(Unknown codes|Some of it)' <<<"$out" | tr -d '\r')
  [ "$said" = "$case" ] || fail "README.txt's batch lines said '$said', not '$case': $out"
  rm -rf "$ZELM_WINEPREFIX/drive_c/Skins"
done

# The demo data server as an owner starts it; with --verbose it says each window it serves.
wine_run "$package/zelm_sim.exe" --verbose </dev/null >"$work/sim.log" 2>&1 &
for _ in $(seq 100); do grep -q ' ready, ' "$work/sim.log" 2>/dev/null && break; sleep 0.2; done
served_window() { grep -ao '^window 0x[0-9a-f]*' "$work/sim.log" | tail -n 1; }
out=$(cd "$here" && wine_run cscript //nologo live.js "$version" 2>&1)
grep -q "ZELMKVEL PACKAGE LIVE" <<<"$out" || { fail "the script client saw no live values:"; printf '%s\n' "$out"; cat "$work/sim.log"; }
# While a front-end holds ZelmKvel, the check makes none of its own and says to close
# it; closed, the check runs again.
served=$(served_window) closed=$work/closed
(cd "$here" && wine_run cscript //nologo hold.js "$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$closed")" \
  >"$work/hold.log" 2>&1) &
holder=$!
serving() {  # the demo data server serves a window, and not the one it served before
  local now
  now=$(served_window)
  [ "$now" != "$served" ] && [ "$now" != "window 0x00000000" ]
}
for _ in $(seq 150); do serving && break; sleep 0.2; done
run_program zelm_check.exe --seconds 1
expect "zelm_check while a front-end holds ZelmKvel" 8 "Close cscript.exe, then run zelm_check again."
touch "$closed"
wait $holder
grep -q "ZELMKVEL HELD" "$work/hold.log" || { fail "the holding script failed:"; cat "$work/hold.log"; }
run_program zelm_check.exe --seconds 2
expect "zelm_check with the demo data server" 0 "Verdict: ZelmKvel is installed and working"
# The host developers' guide's script, as its reader saves it from hosting.txt.
awk '/^```js/ { inside = 1; next } /^```/ { inside = 0 } inside' "$package/hosting.txt" >"$work/guide.js"
out=$(cd "$work" && wine_run cscript //nologo guide.js 2>&1)
grep -qE "^Vehicle speed [0-9]+ km/h, Engine speed [0-9]+ rpm" <<<"$out" &&
  grep -q "^list items for this skin: -1" <<<"$out" ||
  { fail "the guide's script showed no live values, or its skin object failed:"; printf '%s\n' "$out"; }

# --- Each verdict's advice, followed as it stands, mends its case ---------------------
advice_line() {  # PATTERN: the line of the last output that matches, less the blanks before it
  sed -nE "s/^ +($1)\r?\$/\1/p" <<<"$out" | head -n 1
}
working() {  # WHAT: the check says ZelmKvel works again
  run_program zelm_check.exe --seconds 2
  expect "$1, then the check" 0 "Verdict: ZelmKvel is installed and working"
}
# A key of the class deleted: install.cmd again, in the folder the check names.
wine_run reg delete 'HKCR\CLSID\{96FE9075-3A48-4F32-A27C-CE200FC2E170}\InprocServer32' /f >/dev/null 2>&1
run_program zelm_check.exe --seconds 1
expect "zelm_check with InprocServer32 deleted" 10 "  HKCR\\CLSID\\{96FE9075-3A48-4F32-A27C-CE200FC2E170}\\InprocServer32: missing"
script=$(advice_line '.*\\install\.cmd')
[ "$script" = "$folder\\install.cmd" ] || fail "the check names install.cmd as '$script'"
out=$(cd "$system" && wine_run cmd /c "$script" </dev/null 2>&1); rc=$?
expect "install.cmd as the check said" 0 "is registered"
working "install.cmd as the check said"

# A damaged DLL: --verify in its folder names it; a fresh copy of it mends it.
head -c 4096 "$package/ZelmKvel.dll" >"$work/damaged.dll" && cp "$work/damaged.dll" "$package/ZelmKvel.dll"
run_program zelm_check.exe --seconds 1
expect "zelm_check with a damaged DLL" 5 "names each"
run_program zelm_check.exe --verify
damaged=$(sed -nE 's/^  ([^ ]+) +DIFFERS.*/\1/p' <<<"$out")
[ "$rc" = 1 ] && [ "$damaged" = ZelmKvel.dll ] || fail "zelm_check --verify with a damaged DLL, exit code $rc: $out"
mkdir "$work/fresh" && (cd "$work/fresh" && cmake -E tar xf "$zip")
for file in $damaged; do cp "$work/fresh/ZelmKvel-$version/$file" "$package/"; done
working "the damaged file replaced from a fresh copy of the zip"

# The folder moved after installing: the check names where it was, in long form too;
# install.cmd where the folder now is mends it. Moved once more, uninstall.cmd from the
# moved copy (the registered one is gone) removes every entry install.cmd wrote.
old_folder=$folder
mv "$package" "$work/Moved"
package=$work/Moved
folder=$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$package" 2>/dev/null)
run_program zelm_check.exe --seconds 1
expect "zelm_check after the folder moved" 4 "InprocServer32 entry names this file, which is not there:"
[ "$(advice_line '.:\\.*ZelmKvel\.dll')" = "$old_folder\\ZelmKvel.dll" ] && grep -q '^  (registered as .*~' <<<"$out" ||
  fail "zelm_check names the moved DLL in neither form: $out"
run_script install.cmd
expect "install.cmd where the folder now is" 0 "is registered"
working "install.cmd where the folder now is"
mv "$package" "$work/Moved again"
package="$work/Moved again"
folder=$(WINEPREFIX=$ZELM_WINEPREFIX winepath -w "$package" 2>/dev/null)
run_program zelm_check.exe --seconds 1
expect "zelm_check after the folder moved again" 4 "uninstall.cmd from any copy of the zip."
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
