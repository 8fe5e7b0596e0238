#!/usr/bin/env bash
# Makes the release package DIST/ZelmKvel-VERSION.zip: the DLL and the simulator
# stripped, the interface files, install.cmd and uninstall.cmd, README.txt (its
# troubleshooting part taken from README.md), the skin reference, the default skin,
# a sample drive to replay, and SHA256SUMS, all in one folder ZelmKvel-VERSION. The
# folder stays beside the zip.
#   make-package.sh DIST VERSION STRIP DLL SIM TLB IDL
set -euo pipefail
dist=$1 version=$2 strip=$3 dll=$4 sim=$5 tlb=$6 idl=$7
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
here=$repo/package
name=ZelmKvel-$version
stage=$dist/$name

rm -rf "$stage" "$dist"/ZelmKvel-*.zip
mkdir -p "$stage"

"$strip" -o "$stage/ZelmKvel.dll" "$dll"
"$strip" -o "$stage/zelm_sim.exe" "$sim"
cp "$tlb" "$idl" "$stage/"
cp "$repo/docs/skin-reference.md" "$repo/tools/skins/default.skin" "$stage/"
cp "$repo/tools/drives/sample.csv" "$stage/sample-drive.csv"

# Text for Notepad: Windows line ends; README.txt in plain ASCII too.
crlf() { sed 's/\r*$/\r/'; }

# install.cmd and uninstall.cmd: one script, told which way to go.
script() {  # NAME MODE DOES VERB SWITCH
  sed -e "s|@NAME@|$1|g; s|@MODE@|$2|g; s|@DOES@|$3|g; s|@VERB@|$4|g; s|@SWITCH@|$5|g" \
      -e "s|@VERSION@|$version|g" -e 's|/s  "|/s "|' "$here/register.cmd.in" | crlf >"$stage/$1"
}
script install.cmd install registers register ""
script uninstall.cmd uninstall unregisters unregister /u

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
if [ "$(printf '%s\n' "$troubleshooting" | grep -c 'server window')" -lt 3 ]; then
  echo "make-package.sh: README.md has no troubleshooting section with the trace lines" >&2
  exit 1
fi
awk -v text="$troubleshooting" '$0 == "@TROUBLESHOOTING@" { print text; next } { print }' "$here/README.txt.in" |
  sed "s|@VERSION@|$version|g" | crlf >"$stage/README.txt"

(cd "$stage" && sha256sum -- * >SHA256SUMS)
(cd "$dist" && cmake -E tar cf "$name.zip" --format=zip "$name")
