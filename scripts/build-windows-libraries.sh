#!/usr/bin/env bash
# Builds the compression libraries behind BZip2, LZMA, XZ and Zstandard
# (libbz2, liblzma, libzstd) and ISA-L (the fast Deflate decoder and CRC-32)
# as static Windows libraries with the MinGW-w64 toolchain, from Debian 12's source packages (the release's own versions,
# with Debian's patches: those the Linux build links, security updates
# aside). Debian has no MinGW builds of them.
#
# Usage: scripts/build-windows-libraries.sh PREFIX
# Installs include/ and lib/ under PREFIX; a second run with the same
# package versions does nothing. Needs the `windows` package set of
# scripts/install-deps.sh (the compiler, dpkg-source, nasm). Exits with 3 when the
# source packages cannot be fetched (no route to Debian's archive) and
# nothing was built before; with 1 when a build fails.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=$1
mkdir -p "$prefix"
prefix=$(realpath "$prefix")
work=$prefix/work
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
triple=x86_64-w64-mingw32
jobs=$(nproc)
source_packages=(bzip2 xz-utils libzstd libisal)

source scripts/lib/debian-sources.sh
debian_sources_init "$work"

unavailable() {
  if [[ -f $prefix/versions ]]; then
    echo "$1: keeping the libraries built before in $prefix" >&2
    exit 0
  fi
  echo "$1" >&2
  exit 3
}

# The versions the lists name decide whether anything needs building.
debian_sources_update "$work/apt.log" ||
  { cat "$work/apt.log" >&2; unavailable "Debian's source lists could not be fetched"; }
versions=""
for package in "${source_packages[@]}"; do
  version=$(debian_source_version "$package") || true
  [[ -n $version ]] || unavailable "Debian's source lists do not name $package"
  versions+="$package $version"$'\n'
done
if [[ -f $prefix/versions && $(cat "$prefix/versions") == "${versions%$'\n'}" ]]; then
  echo "Windows compression libraries are up to date in $prefix"
  exit 0
fi

rm -rf "$work/src" "$work/build"
mkdir -p "$work/src"
(cd "$work/src" && debian_source_fetch "$work/apt.log" "${source_packages[@]}") ||
  { cat "$work/apt.log" >&2; rm -rf "$work/src"; unavailable "the source packages could not be fetched"; }
rm -rf "$prefix/include" "$prefix/lib" "$prefix/versions"
mkdir -p "$prefix/include" "$prefix/lib"
# Runs a build step with its output in a log, shown only when the step fails.
quietly() {
  local log=$work/step.log
  "$@" >"$log" 2>&1 || { cat "$log" >&2; echo "failed: $*" >&2; return 1; }
}
source_dir() { find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

echo "== libbz2 =="
# The library is seven C files; its makefile builds the tools as well.
bzip2_dir=$(source_dir bzip2)
mkdir -p "$work/build/bzip2"
for file in blocksort huffman crctable randtable compress decompress bzlib; do
  quietly "$triple-gcc-posix" -O2 -c "$bzip2_dir/$file.c" -o "$work/build/bzip2/$file.o"
done
"$triple-ar" rcs "$prefix/lib/libbz2.a" "$work/build/bzip2"/*.o
cp "$bzip2_dir/bzlib.h" "$prefix/include/"

echo "== liblzma =="
# Only the library: its tools need getopt_long and are not wanted here.
xz_dir=$(source_dir xz-utils)
cmake -S "$xz_dir" -B "$work/build/xz" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_SHARED_LIBS=OFF >/dev/null
quietly cmake --build "$work/build/xz" --target liblzma -j"$jobs"
cp "$work/build/xz/liblzma.a" "$prefix/lib/"
cp -r "$xz_dir/src/liblzma/api/lzma.h" "$xz_dir/src/liblzma/api/lzma" "$prefix/include/"

echo "== libzstd =="
zstd_dir=$(source_dir libzstd)
cmake -S "$zstd_dir/build/cmake" -B "$work/build/zstd" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_STATIC=ON \
  -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF >/dev/null
quietly cmake --build "$work/build/zstd" -j"$jobs"
cmake --install "$work/build/zstd" >/dev/null

echo "== ISA-L =="
# Its own makefile knows MinGW (arch=mingw); nasm assembles the Windows x64
# objects in place of yasm. Only the Deflate decoder and the CRCs are wanted.
isal_dir=$(source_dir libisal)
quietly make -C "$isal_dir" -f Makefile.unx -j"$jobs" arch=mingw host_cpu=x86_64 units="igzip crc" \
  CC="$triple-gcc-posix" AS=nasm DEBUG= DEBUG_nasm= lib
cp "$isal_dir/bin/isa-l.a" "$prefix/lib/libisal.a"
mkdir -p "$prefix/include/isa-l"
cp "$isal_dir/include/igzip_lib.h" "$isal_dir/include/crc.h" "$prefix/include/isa-l/"

printf '%s' "${versions%$'\n'}" >"$prefix/versions"
rm -rf "$work/src" "$work/build"
echo "Windows compression libraries in $prefix:"
printf '%s\n' "${versions%$'\n'}"
