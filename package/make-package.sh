#!/usr/bin/env bash
# Makes both release packages from one folder DIST/ZelmKvel-VERSION: the zip
# DIST/ZelmKvel-VERSION.zip (the folder as it is) and the Windows Installer package
# DIST/ZelmKvel-VERSION.msi (make-msi.sh; what it installs of the folder). In the folder:
# the DLL, the check tool and the demo data server stripped, the interface files,
# install.cmd and uninstall.cmd, README.txt (its troubleshooting part taken from
# README.md), the skin reference as plain text and as HTML, the host developers' guide,
# a sample drive to replay, and SHA256SUMS. Every text file has Windows line ends, for
# Notepad. The folder stays beside the packages.
# With a code-signing certificate the DLL, the programs and the .msi are signed
# (osslsigncode): ZELM_SIGN_CERT names the certificate with its key (PKCS#12, .pfx),
# ZELM_SIGN_PASSWORD holds its password. README.txt says whether they are signed.
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

# Signed in place, before the checksums and the packages are made of them.
signing=${ZELM_SIGN_CERT:-}
if [ -n "$signing" ]; then
  [ -r "$signing" ] || zelm_die 1 "cannot read the code-signing certificate $signing"
  password=$(mktemp)
  trap 'rm -f "$password"' EXIT
  printf '%s' "${ZELM_SIGN_PASSWORD:-}" >"$password"
  signer=$(openssl pkcs12 -in "$signing" -nokeys -passin "file:$password" 2>/dev/null |
           openssl x509 -noout -subject -nameopt RFC2253 2>/dev/null | sed 's/^subject=//') ||
    zelm_die 1 "cannot read $signing with the password in ZELM_SIGN_PASSWORD"
fi
# Twice: with SHA-1, which Windows XP checks, and nested in it with SHA-256, which
# later Windows prefer.
sign() {  # FILE: signed in place, when there is a certificate
  [ -n "$signing" ] || return 0
  osslsigncode sign -pkcs12 "$signing" -readpass "$password" -n "ZelmKvel $version" -h sha1 \
    -in "$1" -out "$1.sha1" >"$1.log" 2>&1 &&
    osslsigncode sign -pkcs12 "$signing" -readpass "$password" -n "ZelmKvel $version" -nest -h sha256 \
      -in "$1.sha1" -out "$1.signed" >>"$1.log" 2>&1 ||
    { cat "$1.log" >&2; zelm_die 1 "osslsigncode could not sign $1"; }
  mv "$1.signed" "$1" && rm -f "$1.sha1" "$1.log"
}
for program in ZelmKvel.dll zelm_sim.exe zelm_check.exe; do sign "$stage/$program"; done

# Text for Notepad: Windows line ends; README.txt in plain ASCII too.
crlf() { sed 's/\r*$/\r/'; }
text() { crlf <"$1" >"$stage/$2"; }  # FROM NAME
text "$idl" ZelmKvel.idl
text "$repo/docs/skin-reference.md" skin-reference.txt
text "$repo/docs/skin-reference.html" skin-reference.html
text "$repo/docs/hosting.md" hosting.txt
text "$repo/package/sample-drive.csv" sample-drive.csv

for script in install uninstall; do
  sed "s|@VERSION@|$version|g" "$here/$script.cmd.in" | crlf >"$stage/$script.cmd"
done

# README.md's "Troubleshooting on the car PC", as plain text within 80 columns: its
# paragraphs and list items wrapped, the table of trace lines as a list with their
# meanings below, code in quotes, the version this package has.
troubleshooting=$(iconv -f UTF-8 -t ASCII//TRANSLIT "$repo/README.md" | awk '
  function wrap(text, first, rest,   words, n, i, line, indent) {
    n = split(text, words, / +/); line = first; indent = first
    for (i = 1; i <= n; i++) {
      if (line != indent && length(line) + 1 + length(words[i]) > 80) { print line; line = rest; indent = rest }
      line = line (line == indent ? "" : " ") words[i]
    }
    print line
  }
  function flush() { if (text != "") wrap(text, first, rest); text = "" }
  /^## / { flush(); inside = ($0 ~ /^## Troubleshooting on the car PC/); if (inside) print "Troubleshooting\n---------------"; next }
  !inside || /^\| *line *\|/ || /^\|[- |]*$/ { next }
  { gsub(/\*\*/, "") }
  /^\|/ {
    flush(); gsub(/`/, ""); split($0, cell, / *\| */)
    wrap(cell[2], "  ", "    "); wrap(cell[3], "      ", "      "); next
  }
  { gsub(/`/, "\"") }
  /^$/ { flush(); print; next }
  /^- / { flush(); text = substr($0, 3); first = "- "; rest = "  "; next }
  text == "" { first = ""; rest = "" }
  { sub(/^ +/, ""); text = text (text == "" ? "" : " ") $0 }
  END { flush() }' | sed "s/(ZelmKvel [0-9][0-9.]*)/(ZelmKvel $version)/")
[ "$(printf '%s\n' "$troubleshooting" | grep -c '^- ')" -ge 3 ] ||
  zelm_die 1 "README.md has no troubleshooting section with its cases"
if [ -n "$signing" ]; then
  signature="Signed files
------------

ZelmKvel.dll, zelm_check.exe, zelm_sim.exe and the .msi are signed with a
code-signing certificate issued to
  $signer
Windows names that publisher when it asks whether to run or install them, if it
trusts the certificate's issuer. Right-click a file, Properties, Digital
Signatures shows the signature."
else
  signature="Unsigned files
--------------

These files carry no signature: no publisher's certificate vouches for them, so
Windows cannot name their publisher. Before it runs a downloaded program or the
.msi, it says \"The publisher could not be verified\" (Windows XP SP2 and later);
where it asks for administrator rights, it names an \"Unknown publisher\";
Windows 8 and later may say \"Windows protected your PC\": choose \"More info\",
then \"Run anyway\". Take the packages only from a source you trust: SHA256SUMS
tells a damaged file, not a forged one. To spare these questions for the zip's
files, right-click the downloaded zip, Properties, \"Unblock\", before unpacking
it."
fi
awk -v text="$troubleshooting" -v signature="$signature" '
  $0 == "@TROUBLESHOOTING@" { print text; next }
  $0 == "@SIGNING@" { print signature; next }
  { print }' "$here/README.txt.in" |
  sed "s|@VERSION@|$version|g" | crlf >"$stage/README.txt"

(cd "$stage" && sha256sum -- * | crlf >"$dist/SHA256SUMS" && mv "$dist/SHA256SUMS" .)
(cd "$dist" && cmake -E tar cf "$name.zip" --format=zip "$name")
"$here/make-msi.sh" "$stage" "$version" "$dist/$name.msi"
sign "$dist/$name.msi"
