#!/usr/bin/env bash
# The release packages signed as ./zelm dist --sign makes them: a throwaway code-signing
# certificate made here, the packages made with it in a folder of their own, and the
# signature of the DLL, the programs and the .msi checked against that certificate, in
# the zip too, whose checksums are those of the signed files; README.txt names the
# signer. Made without a certificate, nothing is signed and README.txt says what
# Windows shows then; the signed programs, their signatures taken off with
# osslsigncode, are the unsigned ones byte for byte, of the other files only README.txt
# and SHA256SUMS differ, and the .msi of other files has another package code. With a
# wrong password nothing is made. Needs no Wine. Prints ZELMKVEL SIGNING PASSED.
#   check-signing.sh WORK VERSION STRIP DLL SIM CHECK TLB IDL
set -u
work=$(realpath -m "$1") version=$2
shift 2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../../../scripts/common.sh"
zelm_checks
make_package() {  # DIST FILES...: the packages made into DIST from the build's files
  local dist=$1
  shift
  "$ZELM_REPO/package/make-package.sh" "$work/$dist" "$version" "$@" >"$work/$dist.log" 2>&1
}
signed() {  # FILE: both its signatures (SHA-1 for XP, SHA-256 nested) hold, against the throwaway certificate
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q "Number of verified signatures: 2" "$work/verify.log"
}
rm -rf "$work"
mkdir -p "$work/unpacked"
cd "$work" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=ZelmKvel signing test" \
  -addext extendedKeyUsage=codeSigning >/dev/null 2>&1 &&
  openssl pkcs12 -export -out cert.pfx -inkey key.pem -in cert.pem -passout pass:throwaway ||
  { echo "FAIL: no throwaway certificate"; exit 1; }

ZELM_SIGN_CERT=$work/cert.pfx ZELM_SIGN_PASSWORD=throwaway make_package signed "$@" ||
  { fail "make-package.sh with a certificate:"; cat signed.log; }
stage=$work/signed/ZelmKvel-$version
for file in "$stage/ZelmKvel.dll" "$stage/zelm_check.exe" "$stage/zelm_sim.exe" "signed/ZelmKvel-$version.msi"; do
  signed "$file" || { fail "$file is not signed:"; cat verify.log; }
done
(cd unpacked && cmake -E tar xf "../signed/ZelmKvel-$version.zip" && cd "ZelmKvel-$version" &&
  tr -d '\r' <SHA256SUMS | sha256sum --quiet -c) || fail "the zip's checksums are not those of its files"
signed "unpacked/ZelmKvel-$version/ZelmKvel.dll" || fail "the zip's DLL is not the signed one"
grep -q "^  CN=ZelmKvel signing test"$'\r'"$" "$stage/README.txt" || fail "README.txt does not name the signer"

make_package unsigned "$@" || { fail "make-package.sh without a certificate:"; cat unsigned.log; }
! signed "unsigned/ZelmKvel-$version/ZelmKvel.dll" || fail "a DLL is signed without a certificate"
grep -q '"The publisher could not be verified"' "unsigned/ZelmKvel-$version/README.txt" ||
  fail "README.txt of unsigned files does not say what Windows shows"
# A signed release checked against the reproducible unsigned build, as docs/development.md tells.
for file in ZelmKvel.dll zelm_check.exe zelm_sim.exe; do
  osslsigncode remove-signature -in "$stage/$file" -out "$work/$file" >verify.log 2>&1 &&
    cmp "$work/$file" "unsigned/ZelmKvel-$version/$file" >>verify.log 2>&1 ||
    { fail "$file without its signature is not the unsigned one:"; cat verify.log; }
done
differ=$(diff -rq "$stage" "unsigned/ZelmKvel-$version" | awk '{ sub(/.*\//, "", $2); print $2 }' | sort | tr '\n' ' ')
[ "$differ" = "README.txt SHA256SUMS ZelmKvel.dll zelm_check.exe zelm_sim.exe " ] ||
  fail "signing changed other files than the programs, README.txt and SHA256SUMS: $differ"
# Other files in it, another package code.
code() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }
[ "$(code "signed/ZelmKvel-$version.msi")" != "$(code "unsigned/ZelmKvel-$version.msi")" ] ||
  fail "the signed and the unsigned .msi have one package code: $(code "signed/ZelmKvel-$version.msi")"

ZELM_SIGN_CERT=$work/cert.pfx ZELM_SIGN_PASSWORD=wrong make_package wrong "$@" && fail "made packages with a wrong password"
grep -q "cannot read .*cert.pfx with the password in ZELM_SIGN_PASSWORD" wrong.log || fail "a wrong password: $(cat wrong.log)"

zelm_finish "ZELMKVEL SIGNING PASSED" "$work" "the packages"
