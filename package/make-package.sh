#!/usr/bin/env bash
# Makes both release packages from one folder DIST/ZelmKvel-VERSION: the zip
# DIST/ZelmKvel-VERSION.zip (the folder as it is) and the Windows Installer package
# DIST/ZelmKvel-VERSION.msi (make-msi.sh; what it installs of the folder). In the folder:
# the DLL, the check tool and the simulator stripped, the interface files, install.cmd
# and uninstall.cmd, README.txt (its troubleshooting part taken from README.md), the
# skin reference and the host developers' guide as plain text, the workbench's default
# skin, a sample drive to replay, and SHA256SUMS. Every text file has Windows line
# ends, for Notepad. The folder stays beside the packages.
#   make-package.sh DIST VERSION STRIP DLL SIM CHECK TLB IDL
set -euo pipefail
zelm_me=make-package.sh
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
dist=$(realpath -m "$1") version=$2 strip=$3 dll=$4 sim=$5 check=$6 tlb=$7 idl=$8
repo=$ZELM_REPO
here=$repo/package
name=ZelmKvel-$version
stage=$dist/$name

rm -rf "$stage" "$dist"/ZelmKvel-*.zip "$dist"/ZelmKvel-*.msi
mkdir -p "$stage"

"$strip" -o "$stage/ZelmKvel.dll" "$dll"
"$strip" -o "$stage/zelm_sim.exe" "$sim"
"$strip" -o "$stage/zelm_check.exe" "$check"
cp "$tlb" "$stage/"

# Text for Notepad: Windows line ends; README.txt in plain ASCII too.
crlf() { sed 's/\r*$/\r/'; }
text() { crlf <"$1" >"$stage/$2"; }  # FROM NAME
text "$idl" ZelmKvel.idl
text "$repo/docs/skin-reference.md" skin-reference.txt
text "$repo/docs/hosting.md" hosting.txt
text "$repo/tools/skins/default.skin" default.skin
text "$repo/tools/drives/sample.csv" sample-drive.csv

for script in install uninstall; do
  sed "s|@VERSION@|$version|g" "$here/$script.cmd.in" | crlf >"$stage/$script.cmd"
done

# README.md's "Troubleshooting on the car PC", as plain text: the table of trace lines
# as a list with its meanings wrapped, code in quotes, the version this package has.
troubleshooting=$(awk '
  function wrap(text, indent,   words, n, i, line) {
    n = split(text, words, / +/); line = indent
    for (i = 1; i <= n; i++) {
      if (line != indent && length(line) + 1 + length(words[i]) > 80) { print line; line = indent }
      line = line (line == indent ? "" : " ") words[i]
    }
    print line
  }
  /^## / { inside = ($0 ~ /^## Troubleshooting on the car PC/); if (inside) print "Troubleshooting\n---------------"; next }
  !inside || /^\| *line *\|/ || /^\|[- |]*$/ { next }
  /^\|/ {
    gsub(/`/, ""); split($0, cell, / *\| */)
    print "  " cell[2]; wrap(cell[3], "      "); next
  }
  { gsub(/`/, "\""); gsub(/\*\*/, ""); print }' "$repo/README.md" |
  sed "s/(ZelmKvel [0-9][0-9.]*)/(ZelmKvel $version)/" | iconv -f UTF-8 -t ASCII//TRANSLIT)
[ "$(printf '%s\n' "$troubleshooting" | grep -c 'server window')" -ge 3 ] ||
  zelm_die 1 "README.md has no troubleshooting section with the trace lines"
awk -v text="$troubleshooting" '$0 == "@TROUBLESHOOTING@" { print text; next } { print }' "$here/README.txt.in" |
  sed "s|@VERSION@|$version|g" | crlf >"$stage/README.txt"

(cd "$stage" && sha256sum -- * | crlf >"$dist/SHA256SUMS" && mv "$dist/SHA256SUMS" .)
(cd "$dist" && cmake -E tar cf "$name.zip" --format=zip "$name")
"$here/make-msi.sh" "$stage" "$version" "$dist/$name.msi"
