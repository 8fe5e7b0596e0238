#!/usr/bin/env bash
# The Windows Installer package under Wine's msiexec, in a prefix made afresh, as an
# administrator and an owner meet it; each case the check tool names (the DLL deleted
# or damaged, an entry missing) mended by the repair command it prints, run as it
# stands. Prints ZELMKVEL MSI PASSED.
#   check-msi.sh MSI STAGE VERSION WORK
# STAGE is the folder the packages were made of (make-msi.sh builds the version before
# this one from it, for the upgrade). The registry entries the package writes are
# compared with those regsvr32 writes for the same DLL at the same place, in a copy of
# the fresh prefix made before anything ran in it.
set -u
msi=$(realpath "$1") stage=$(realpath "$2") version=$3 work=$(realpath -m "$4")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../../../scripts/common.sh"
zelm_checks
repo=$ZELM_REPO
# winemenubuilder would put the package's shortcuts into this machine's desktop menus.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
in_prefix() { ZELM_WINEPREFIX=$1 "$repo/scripts/wine-run.sh" "${@:2}"; }
run() { in_prefix "$prefix" "$@"; }  # in the package's prefix

for p in "$work/prefix" "$work/reference"; do [ -d "$p" ] && zelm_wine_end "$p"; done
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cp "$msi" "$work/ZelmKvel-$version.msi"
IFS=. read -r major minor patch <<<"$version"
if [ "$patch" -gt 0 ]; then previous=$major.$minor.$((patch - 1))
elif [ "$minor" -gt 0 ]; then previous=$major.$((minor - 1)).0
else previous=$((major - 1)).9.0; fi
"$repo/package/make-msi.sh" "$stage" "$previous" "$work/ZelmKvel-$previous.msi" || { echo "FAIL: no older package"; exit 1; }
run cmd /c ver >/dev/null || { echo "FAIL: no Wine prefix"; exit 1; }
zelm_wine_end "$prefix"
cp -a "$prefix" "$work/reference"
program_files="$prefix/drive_c/Program Files/ZelmKvel"
cd "$work"

msiexec() {  # WHAT EXPECTED-CODE ARGS...: msiexec with a verbose log, which must be written
  local what=$1 want=$2 log="$work/$(tr ' ' _ <<<"$1").log"
  shift 2
  run msiexec "$@" /qn /l*v "$(WINEPREFIX=$prefix winepath -w "$log")" >/dev/null 2>&1
  code=$?
  # A Linux exit code keeps the low byte of Windows': 1603 arrives as 67.
  [ "$code" = "$((want % 256))" ] || fail "$what: msiexec ended with $code, expected $want"
  [ -s "$log" ] || fail "$what: no log written"
  LOG=$log
}
# Keys and values of a registry export (UTF-16) as sorted lines "key|value=data", key
# names in capitals (Wine keeps the case of a key made before: Typelib, TypeLib).
entries() {  # EXPORT [KEY-PATTERN]
  iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r' | pattern="${2:-.}" awk '
    /^\[/ { key = toupper($0); inside = key ~ toupper(ENVIRON["pattern"]); if (inside) print key; next }
    inside && NF { print key "|" $0 }' | sort
}
export_to() { run reg export "$1" "$(WINEPREFIX=$prefix winepath -w "$2")" /y >/dev/null 2>&1; }
ours='(CLSID.\{96FE9075-3A48-4F32-A27C-CE200FC2E170\}|ZELMKVEL\.RREXTENSION|TYPELIB.\{EAC72694-DFDB-4800-A1A9-6DF1E5E64F76\}|INTERFACE.\{CA72C726-C7BF-4187-802D-E0CE06785F11\})'
arp='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries_of_arp() {  # the Programs and Features entries named ZelmKvel, as "version"
  run reg query "$arp" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY/ { name = ""; version = "" } $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { version = $3 }
    /^$/ && name == "ZelmKvel" { print version; name = "" }'
}

# --- Installed, silently, as an administrator deploys it ---------------------------
# Wine registers Windows Script Host's own type library when cscript first runs: once
# before the registry is looked at.
echo 'WScript.Echo("ready")' >"$work/ready.js"
(cd "$work" && run cscript //nologo ready.js >/dev/null 2>&1)
export_to HKLM before-hklm.reg
export_to HKCU before-hkcu.reg
msiexec "install" 0 /i "ZelmKvel-$version.msi"
for file in ZelmKvel.dll zelm_check.exe zelm_sim.exe README.txt skin-reference.txt skin-reference.html hosting.txt \
            SHA256SUMS; do
  [ -f "$program_files/$file" ] || fail "not installed: Program Files\\ZelmKvel\\$file"
done
shortcuts=$(cd "$prefix/drive_c" && find . -path '*Start Menu/Programs/ZelmKvel/*.lnk' | sort | tr '\n' ' ')
grep -q 'ZelmKvel README.lnk' <<<"$shortcuts" && grep -q 'ZelmKvel check.lnk' <<<"$shortcuts" &&
  grep -q 'ZelmKvel skin reference.lnk' <<<"$shortcuts" ||
  fail "Start-menu shortcuts: $shortcuts"
[ "$(entries_of_arp)" = "$version" ] || fail "Programs and Features lists: $(entries_of_arp | tr '\n' ' ')"
product=$(msiinfo export "$work/ZelmKvel-$version.msi" Property | tr -d '\r' | awk '$1 == "ProductCode" { print $2 }')
# An older version goes before this one is installed, right after the checks.
msiinfo export "$work/ZelmKvel-$version.msi" InstallExecuteSequence | tr -d '\r' |
  awk -F'\t' '{ at[$1] = $3 } END { exit !(at["InstallValidate"] < at["RemoveExistingProducts"] &&
                                         at["RemoveExistingProducts"] < at["InstallInitialize"]) }' ||
  fail "an older version is removed after this one is installed, not before"
entry=$(run reg query "$arp\\$product" 2>&1 | tr -d '\r')
for want in "Publisher +REG_SZ +ZelmKvel" "DisplayVersion +REG_SZ +$version" 'ReadMe +REG_SZ +C:\\Program Files\\ZelmKvel\\README.txt' \
            'HelpLink +REG_SZ +C:\\Program Files\\ZelmKvel\\README.txt' "Size +REG_SZ +[0-9]+" "NoModify +REG_DWORD +0x1"; do
  grep -qE "^ +$want\$" <<<"$entry" || fail "Programs and Features entry lacks $want: $entry"
done

# The class, ProgID, type library and interface entries, against regsvr32's for the
# same DLL at the same place in the copy of the fresh prefix.
export_to HKLM after-hklm.reg
mkdir -p "$work/reference/drive_c/Program Files/ZelmKvel"
cp "$program_files/ZelmKvel.dll" "$work/reference/drive_c/Program Files/ZelmKvel/"
in_prefix "$work/reference" regsvr32 /s 'C:\Program Files\ZelmKvel\ZelmKvel.dll' || fail "regsvr32 failed"
in_prefix "$work/reference" reg export HKLM 'C:\regsvr32.reg' /y >/dev/null 2>&1
zelm_wine_end "$work/reference"
entries "$work/reference/drive_c/regsvr32.reg" "$ours" >regsvr32.txt
entries after-hklm.reg "$ours" >msiexec.txt
[ "$(grep -c 'INPROCSERVER32]|@="C:\\\\PROG~' regsvr32.txt)" = 1 ] || fail "regsvr32 wrote no short path: $(cat regsvr32.txt)"
# The one difference: Wine's RegisterTypeLib adds the "has a disk image" flag (8) to the
# library's flags; Windows writes the library's own flags, 0, as the package does.
sed -i 's/\(\\1\.0\\FLAGS]|@=\)"8"/\1"0"/' regsvr32.txt
diff regsvr32.txt msiexec.txt >entries.diff || { fail "the package's registry entries differ from regsvr32's:"; cat entries.diff; }
[ "$(wc -l <msiexec.txt)" -ge 20 ] || fail "too few entries read: $(cat msiexec.txt)"

# The zip's scripts leave an installation by the package alone.
for script in install uninstall; do
  out=$(cd "$prefix/drive_c/windows/system32" && run cmd /c "$(WINEPREFIX=$prefix winepath -w "$stage/$script.cmd")" 2>&1 </dev/null)
  [ $? = 12 ] && grep -q "Windows Installer package" <<<"$out" || fail "$script.cmd over the package: $out"
done

# --- The owner's check: each case it names mended as it advises --------------------
check_says() {  # WHAT CODE TEXT: the check ended with CODE and said TEXT
  out=$(run "$program_files/zelm_check.exe" --seconds 1 2>&1)
  local rc=$?
  [ "$rc" = "$2" ] && grep -qF "$3" <<<"$out" || { fail "$1: exit code $rc, expected $2 with \"$3\":"; printf '%s\n' "$out"; }
}
check_says "zelm_check without a data server" 6 "no data server is running"
# --verify in the installed folder: each file as published, the zip's scripts rightly
# not there.
verify() {  # WHAT CODE TEXT: --verify in the installed folder ended with CODE and said TEXT
  out=$(run "$program_files/zelm_check.exe" --verify 2>&1)
  local rc=$?
  [ "$rc" = "$2" ] && grep -qF "$3" <<<"$out" || { fail "$1: exit code $rc, expected $2 with \"$3\":"; printf '%s\n' "$out"; }
}
verify "zelm_check --verify where the package installed" 0 "10 files as published, 0 not."
grep -qE "^  uninstall.cmd +not installed: the zip's own" <<<"$out" || fail "--verify counts the zip's scripts: $out"
repair_as_advised() {  # WHAT: the check's repair command, run as it stands in the folder of the .msi
  local command
  command=$(sed -nE 's/^  (msiexec .*[^\r])\r?$/\1/p' <<<"$out")
  [ "$command" = "msiexec /i ZelmKvel-$version.msi REINSTALL=ALL REINSTALLMODE=emus /qn" ] ||
    fail "$1: the check advises '$command'"
  (cd "$work" && run cmd /c "$command" >/dev/null 2>&1) || fail "$1: the repair failed"
  check_says "$1, repaired" 6 "installed and loads"
}
rm -f "$program_files/ZelmKvel.dll"
check_says "the DLL deleted" 4 "  C:\\Program Files\\ZelmKvel\\ZelmKvel.dll"
grep -qF "  (registered as C:\\PROG" <<<"$out" || fail "the DLL deleted: no registered form: $out"
repair_as_advised "the DLL deleted"
run reg delete 'HKCR\ZelmKvel.RRExtension' /f >/dev/null 2>&1
check_says "the ProgID deleted" 10 "  HKCR\\ZelmKvel.RRExtension\\Clsid: missing"
repair_as_advised "the ProgID deleted"
run reg delete 'HKCR\CLSID\{96FE9075-3A48-4F32-A27C-CE200FC2E170}\InprocServer32' /f >/dev/null 2>&1
check_says "InprocServer32 deleted" 10 "InprocServer32: missing"
repair_as_advised "InprocServer32 deleted"
head -c 4096 "$stage/ZelmKvel.dll" >"$program_files/ZelmKvel.dll"
check_says "a damaged DLL" 5 "does not load"
repair_as_advised "a damaged DLL"
# The DLL and a text changed since: --verify names both, and its command, run as it
# stands in the folder of the .msi, writes them again.
head -c 4096 "$stage/ZelmKvel.dll" >"$program_files/ZelmKvel.dll"
echo "changed" >>"$program_files/hosting.txt"
verify "--verify with the DLL and a text damaged" 1 "8 files as published, 2 not."
damaged=$(sed -nE 's/^  ([^ ]+) +DIFFERS.*/\1/p' <<<"$out" | tr '\n' ' ')
[ "$damaged" = "ZelmKvel.dll hosting.txt " ] || fail "--verify names as damaged: $damaged"
command=$(sed -nE 's/^  (msiexec .*[^\r])\r?$/\1/p' <<<"$out")
[ "$command" = "msiexec /i ZelmKvel-$version.msi REINSTALL=ALL REINSTALLMODE=amus /qn" ] ||
  fail "--verify advises '$command'"
(cd "$work" && run cmd /c "$command" >/dev/null 2>&1) || fail "--verify's command failed"
verify "--verify after its command" 0 "10 files as published, 0 not."
# The demo data server, started as the check advised; it says when it is ready.
run "$program_files/zelm_sim.exe" </dev/null >"$work/sim.log" 2>&1 &
for _ in $(seq 100); do grep -q ' ready, ' "$work/sim.log" 2>/dev/null && break; sleep 0.2; done
out=$(cd "$here" && run cscript //nologo live.js "$version" 2>&1)
grep -q "ZELMKVEL PACKAGE LIVE" <<<"$out" || fail "the script client saw no live values: $out"
out=$(run "$program_files/zelm_check.exe" --seconds 2 2>&1)
if [ $? != 0 ] || ! grep -q "installed and working" <<<"$out" || ! grep -q "trace: ZelmKvel: object 0x.* created (ZelmKvel $version)" <<<"$out" ||
   ! grep -qE "engine speed [0-9]+ rpm" <<<"$out"; then
  fail "zelm_check with the demo data server:"; printf '%s\n' "$out"
fi

msiexec "the same version again" 0 /i "ZelmKvel-$version.msi"
[ "$(entries_of_arp)" = "$version" ] || fail "the same version again: $(entries_of_arp | tr '\n' ' ')"
# (Wine's msiexec writes no message of a failing launch condition into the log.)
msiexec "the older over the newer" 1603 /i "ZelmKvel-$previous.msi"
[ "$(entries_of_arp)" = "$version" ] || fail "after the refusal: $(entries_of_arp | tr '\n' ' ')"

# --- Removal, with the installed folder gone first: nothing left --------------------
zelm_wine_end "$prefix"
rm -rf "$program_files"
msiexec "removal" 0 /x "ZelmKvel-$version.msi"
export_to HKLM removed-hklm.reg
export_to HKCU removed-hkcu.reg
# Windows Installer's own bookkeeping keys (Installer\Products, ...) stay, empty; Wine
# redoes its hardware keys on every start and keeps its own settings.
keep='\\INSTALLER(\\[A-Z]+|\\USERDATA(\\S-1-5-18(\\[A-Z]+)?)?)?]$|^\[HKEY_LOCAL_MACHINE\\(HARDWARE|SYSTEM)|\\SOFTWARE\\WINE\\'
for hive in hklm hkcu; do
  diff <(entries before-$hive.reg | grep -vE "$keep") <(entries removed-$hive.reg | grep -vE "$keep") >left-$hive.diff ||
    { fail "removal left registry entries ($hive):"; head -40 left-$hive.diff; }
done
[ ! -e "$program_files" ] || fail "removal left $(find "$program_files")"
[ -z "$(cd "$prefix/drive_c" && find . -path '*Start Menu/Programs/ZelmKvel*')" ] || fail "removal left the Start-menu folder"
[ -z "$(entries_of_arp)" ] || fail "removal left Programs and Features entries"

# --- Upgrade in place ------------------------------------------------------------------
# (The refusal of an older version is tried above, over a first installation: after an
# upgrade Wine's msiexec, removing the older product, deletes the whole upgrade-code key
# and with it the newer product's entry, so it would find no newer version there.
# Windows removes only the older product's entry.)
msiexec "the previous version" 0 /i "ZelmKvel-$previous.msi"
[ "$(entries_of_arp)" = "$previous" ] || fail "the previous version: $(entries_of_arp | tr '\n' ' ')"
msiexec "the upgrade" 0 /i "ZelmKvel-$version.msi"
[ "$(entries_of_arp)" = "$version" ] || fail "after the upgrade Programs and Features lists: $(entries_of_arp | tr '\n' ' ')"
run reg query 'HKCR\CLSID\{96FE9075-3A48-4F32-A27C-CE200FC2E170}\InprocServer32' >/dev/null 2>&1 &&
  [ -f "$program_files/ZelmKvel.dll" ] || fail "after the upgrade the class or the DLL is missing"
msiexec "the last removal" 0 /x "ZelmKvel-$version.msi"
[ -z "$(entries_of_arp)" ] && [ ! -e "$program_files" ] || fail "the last removal left the entry or the folder"

# Over ZelmKvel registered from a folder by the zip's install.cmd (regsvr32): refused.
run regsvr32 /s "$(WINEPREFIX=$prefix winepath -w "$stage/ZelmKvel.dll")" || fail "regsvr32 of the zip's DLL failed"
msiexec "over the zip's registration" 1603 /i "ZelmKvel-$version.msi"
grep -q "REGISTEREDSERVER = Apartment" "$LOG" || fail "the zip's registration was not what refused the package"
[ -z "$(entries_of_arp)" ] && [ ! -e "$program_files" ] || fail "the package went in over the zip's registration"

zelm_wine_end "$prefix"
zelm_finish "ZELMKVEL MSI PASSED" "$work" "the prefix and the logs"
