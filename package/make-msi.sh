#!/usr/bin/env bash
# Makes ZelmKvel's Windows Installer package from the staged files of the release
# package, with wixl (package/ZelmKvel.wxs says what goes in and where).
#   make-msi.sh STAGE VERSION OUT.msi
# The product code is made from the version (the same version is the same product, so
# Windows offers repair or removal for it); any lower version is upgraded in place.
# The package code is made from the package's content: the same files and tables give
# the same code, and the same bytes, as the package is dated SOURCE_DATE_EPOCH (in UTC)
# and the cabinet keeps the times of the files (make-package.sh dates them so).
# The package test also builds the version before this one with it.
set -euo pipefail
zelm_me=make-msi.sh
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
stage=$1 version=$2 out=$(realpath -m "$3")
here=$ZELM_REPO/package
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || zelm_die 1 "version $version is not X.Y.Z"
[[ ${SOURCE_DATE_EPOCH:-} =~ ^[0-9]+$ ]] ||
  zelm_die 1 "SOURCE_DATE_EPOCH is not set: the package's date, in seconds since 1970 (cmake/dated.sh gives the commit's)"
export TZ=UTC

guid() {  # TEXT: a name-based GUID (SHA-1, version 5 layout) of the text, in capitals
  local hash variant
  hash=$(printf '%s' "$1" | sha1sum | cut -c1-32)
  variant=$(printf '%x' $(( (0x${hash:16:1} & 0x3) | 0x8 )))
  printf '%s-%s-5%s-%s%s-%s' "${hash:0:8}" "${hash:8:4}" "${hash:13:3}" "$variant" "${hash:17:3}" "${hash:20:12}" |
    tr a-f A-F
}
product=$(guid "ZelmKvel product $version")
# What the installed files take, in KB, for Programs and Features.
size=$(( ($(cat "$stage"/ZelmKvel.dll "$stage"/zelm_check.exe "$stage"/zelm_sim.exe "$stage"/sample-drive.csv \
          "$stage"/README.txt "$stage"/skin-reference.txt "$stage"/skin-reference.html "$stage"/hosting.txt \
          "$stage"/ZelmKvel.idl "$stage"/ZelmKvel.tlb "$stage"/SHA256SUMS | wc -c) + 1023) / 1024 ))
# wixl says nothing on success but warns on the terminal through GLib; keep its output
# for when it fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# wixl takes the files' sources relative to where it runs. It dates the package by the
# clock, which faketime stops at the package's date.
rm -f "$out"
if ! (cd "$stage" && faketime -f "$(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')" \
      wixl -a x86 -D Version="$version" -D ProductCode="$product" -D SourceDir=. -D SizeKB="$size" \
      -o "$out" "$here/ZelmKvel.wxs") >"$log" 2>&1 || [ ! -s "$out" ]; then
  cat "$log" >&2
  zelm_die 1 "wixl could not make $out"
fi
# The summary as wixl wrote it, with another package code (wixl takes a random one).
summary() {  # FIELD: its value in the package's summary information
  msiinfo suminfo "$out" | sed -n "s/^$1: //p"
}
subject=$(summary Subject) author=$(summary Author) template=$(summary Template)
# wixl schedules the removal of an older version after the new one is installed; it goes
# first instead, right after the checks (InstallValidate), so that nothing of the older
# one is left behind and a failed removal leaves the older one whole. Until the package
# code is known, it is zeros.
if ! msibuild "$out" -q "UPDATE InstallExecuteSequence SET Sequence = 1401 WHERE Action = 'RemoveExistingProducts'" \
     -s "$subject" "$author" "$template" "{00000000-0000-0000-0000-000000000000}" >"$log" 2>&1; then
  cat "$log" >&2
  zelm_die 1 "msibuild could not schedule the upgrade in $out"
fi
package=$(guid "ZelmKvel package $(sha256sum <"$out")")
if ! msibuild "$out" -s "$subject" "$author" "$template" "{$package}" >"$log" 2>&1 ||
   [ "$(summary 'Revision number (UUID)')" != "{$package}" ]; then
  cat "$log" >&2
  zelm_die 1 "msibuild could not set the package code of $out"
fi
