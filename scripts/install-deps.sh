#!/usr/bin/env bash
# Installs the Debian packages a build needs, and only those missing.
# Usage: scripts/install-deps.sh [build|test|bench|fuzz|python|windows]...
set -euo pipefail

packages=(build-essential cmake pkg-config zlib1g-dev libbz2-dev liblzma-dev libzstd-dev libisal-dev nettle-dev libwxgtk3.2-dev
  xdg-utils)
for what in "$@"; do
  case "$what" in
    build) ;;
    test) packages+=(libgtest-dev libgmock-dev libx11-dev xvfb xauth 7zip unzip libarchive-tools python3) ;;
    bench) packages+=(libbenchmark-dev libarchive-tools 7zip unzip zip bzip2 xz-utils zstd time isal libdeflate-tools gzip) ;;
    # clang with its sanitizer and libFuzzer runtimes, for the fuzz targets.
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    python) packages+=(python3) ;;
    # MinGW-w64 (posix threads) and its zlib, GoogleTest's sources, wine to
    # run the Windows test programs (on Xvfb; xdotool finds their windows),
    # dpkg-source to unpack the source packages of the libraries built for
    # Windows, make for their builds and the toolkit's, nasm for ISA-L's
    # assembly, and NSIS for the installer.
    windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64 dpkg-dev xz-utils make nasm
      fonts-wine xvfb xauth xdotool nsis python3) ;;
    *) echo "install-deps: unknown set '$what'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
