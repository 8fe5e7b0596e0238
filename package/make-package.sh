#!/usr/bin/env bash
# Makes both release packages from one folder DIST/ZelmKvel-VERSION: the zip
# DIST/ZelmKvel-VERSION.zip (the folder as it is) and the Windows Installer package
# DIST/ZelmKvel-VERSION.msi (make-msi.sh; what it installs of the folder). In the folder:
# the DLL, the check tool and the demo data server stripped, the interface files,
# install.cmd and uninstall.cmd, README.txt (package/README.txt.in, the owner's own
# text), the skin reference as plain text and as HTML, the host developers' guide,
# a sample drive to replay, and SHA256SUMS. Every text file has Windows line ends, for
# Notepad. The folder stays beside the packages, DIST/ZelmKvel-VERSION-SHA256SUMS.txt
# holds the checksums of the two packages and DIST/ZelmKvel-VERSION-buildinfo.txt the
# date and the tools they were made with.
# The same inputs give the same packages, byte for byte, wherever, whenever and by whom
# they are made: the one date is SOURCE_DATE_EPOCH (the commit's: cmake/dated.sh sets
# it), in UTC; the texts come out alike in every locale; modes are set, not taken from
# the umask; the zip holds its entries in the order of their names, without owners.
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
[[ ${SOURCE_DATE_EPOCH:-} =~ ^[0-9]+$ ]] ||
  zelm_die 1 "SOURCE_DATE_EPOCH is not set: the release's date, in seconds since 1970 (cmake/dated.sh gives the commit's)"
export LC_ALL=C.UTF-8 TZ=UTC
umask 022

rm -rf "$stage" "$dist"/ZelmKvel-*.zip "$dist"/ZelmKvel-*.msi "$dist"/ZelmKvel-*-SHA256SUMS.txt "$dist"/ZelmKvel-*-buildinfo.txt
mkdir -p "$stage"

# Signing pads a program to a multiple of 8 bytes before its signature, and taking the
# signature off again (osslsigncode remove-signature) keeps the padding and sets the PE
# checksum for it: padded so already, a signed program without its signature is the
# unsigned one, byte for byte.
pe_pad() {  # FILE: zeros up to a multiple of 8 bytes, and the PE checksum set again
  local size field sum
  size=$(stat -c %s "$1")
  head -c $(((8 - size % 8) % 8)) /dev/zero >>"$1"
  size=$(stat -c %s "$1")
  field=$(($(od -An -tu4 -j60 -N4 "$1") + 88))
  # The 16-bit words but the field's own, added with the carry folded in, plus the size.
  sum=$(od -An -v -tu2 "$1" | awk -v skip=$((field / 2)) -v size="$size" '
    { for (i = 1; i <= NF; i++) { if (n != skip && n != skip + 1) { s += $i; if (s > 65535) s -= 65535 } n++ } }
    END { printf "%d", s + size }')
  printf "$(printf '\\%03o' $((sum & 255)) $((sum >> 8 & 255)) $((sum >> 16 & 255)) $((sum >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$field" conv=notrunc status=none
}
"$strip" -o "$stage/ZelmKvel.dll" "$dll"
"$strip" -o "$stage/zelm_sim.exe" "$sim"
"$strip" -o "$stage/zelm_check.exe" "$check"
for program in ZelmKvel.dll zelm_sim.exe zelm_check.exe; do pe_pad "$stage/$program"; done
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
# The owner's text as it is, with this version and the words on its signature.
awk -v signature="$signature" '
  $0 == "@SIGNING@" { print signature; next }
  { print }' "$here/README.txt.in" |
  sed "s|@VERSION@|$version|g" | crlf >"$stage/README.txt"

# Every file dated the release's date (the zip and the .msi's cabinet keep the times),
# the programs executable.
chmod 0644 "$stage"/*
chmod 0755 "$stage" "$stage"/*.dll "$stage"/*.exe
(cd "$stage" && sha256sum -- * | crlf >"$dist/SHA256SUMS" && mv "$dist/SHA256SUMS" .)
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/* "$stage"
# Info-ZIP's zip: the folder, then its files by name; -X leaves out the owner and the
# access times. A zip keeps local time, which is UTC here.
(cd "$dist" && { echo "$name/"; printf "$name/%s\n" $(ls "$name"); } | zip -X -q -@ "$name.zip") ||
  zelm_die 1 "zip could not make $dist/$name.zip"
"$here/make-msi.sh" "$stage" "$version" "$dist/$name.msi"
sign "$dist/$name.msi"
# What an owner checks a download against, and a rebuild is compared with; and what
# made them, for whoever builds them again (other tools may give other bytes).
(cd "$dist" && sha256sum -- "$name.msi" "$name.zip" | crlf >"$name-SHA256SUMS.txt")
{
  echo "ZelmKvel $version, dated $(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH),"
  echo "made with these Debian packages:"
  dpkg-query -W -f '  ${Package}:${Architecture} ${Version}\n' g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 \
    mingw-w64-i686-dev binutils-mingw-w64-i686 mingw-w64-tools libwine-dev wixl libmsi0 libgcab-1.0-0 zlib1g zip \
    osslsigncode 2>/dev/null
} >"$dist/$name-buildinfo.txt"
