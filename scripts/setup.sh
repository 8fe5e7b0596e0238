#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine, and nothing
# when it is all there already. Safe to run again; as root no sudo is needed.
# gnuplot-nox draws the charts of recorded drives (scripts/chart.sh); wixl makes the
# Windows Installer package (package/make-msi.sh), msitools reads it back in its test,
# and faketime stops wixl's clock at the release's date; zip makes the zip without its
# maker's user and times (package/make-package.sh);
# clang-tidy looks for faults in the sources (the lint tests); clang-format holds their
# layout (the format test); osslsigncode signs the release packages' programs and .msi
# (./zelm dist --sign), and openssl reads the certificate's name and makes the signing
# test's throwaway one.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=()
for p in cmake g++ ninja-build googletest libgtest-dev libbenchmark-dev \
         g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686 \
         wine libwine-dev wine32:i386 libwine:i386 \
         gnuplot-nox wixl msitools faketime zip clang-tidy clang-format osslsigncode openssl; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${need[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
