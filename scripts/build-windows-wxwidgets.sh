#!/usr/bin/env bash
# Builds wxWidgets for MSW (static, Unicode, release) with the MinGW-w64
# toolchain, from Debian 12's own wxwidgets3.2 source package, the release
# the Linux build links. Debian's +dfsg tarball carries no libpng, so libpng
# comes from Debian's libpng1.6 source package, built the same way; zlib is
# the MinGW sysroot's. Only what the desktop program uses is built (base,
# core, html and what they need).
#
# Usage: scripts/build-windows-wxwidgets.sh LINK
# The toolkit takes about 25 minutes on two cores, so it is built once per
# machine into a cache outside the clone,
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly-zip/wxmsw-<key>,
# keyed by the two package versions, the compiler and the options below; a
# missing, unfinished or stale entry is built again. LINK is made a symbolic
# link to the entry (bin/wx-config, include/, lib/). Exits with 3 when the
# source packages cannot be fetched and no finished entry is cached; with 1
# when a build fails.
set -euo pipefail
cd "$(dirname "$0")/.."

link=$1
triple=x86_64-w64-mingw32
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tessaly-zip
mkdir -p "$cache"

# Everything not used is left out, which also keeps the build short.
wx_options=(--host=$triple --with-msw --disable-shared --enable-unicode --disable-debug_info
  --with-zlib=sys --with-libpng=sys --without-libjpeg --without-libtiff --without-expat --without-regex
  --without-liblzma --without-libcurl --without-opengl --disable-svg --disable-xrc --disable-richtext
  --disable-stc --disable-ribbon --disable-propgrid --disable-aui --disable-webview --disable-mediactrl)

source scripts/lib/debian-sources.sh
work=$cache/work
debian_sources_init "$work"

# The newest finished entry, for a run that cannot reach Debian's archive.
cached_entry() { find "$cache" -mindepth 2 -maxdepth 2 -path "$cache/wxmsw-*/complete" -printf '%h\n' | head -n 1; }
unavailable() {
  local entry
  entry=$(cached_entry)
  if [[ -n $entry ]]; then
    echo "$1: keeping the toolkit built before in $entry" >&2
    ln -sfn "$entry" "$link"
    exit 0
  fi
  echo "$1" >&2
  exit 3
}

debian_sources_update "$work/apt.log" ||
  { cat "$work/apt.log" >&2; unavailable "Debian's source lists could not be fetched"; }
wx_version=$(debian_source_version wxwidgets3.2) || true
png_version=$(debian_source_version libpng1.6) || true
[[ -n $wx_version && -n $png_version ]] || unavailable "Debian's source lists do not name wxwidgets3.2 and libpng1.6"

key=$(printf '%s\n' "$wx_version" "$png_version" "$("$triple-g++-posix" -dumpfullversion)" "${wx_options[*]}" |
  sha256sum | cut -c1-12)
prefix=$cache/wxmsw-$key
if [[ -f $prefix/complete ]]; then
  echo "wxWidgets for MSW $wx_version is cached in $prefix"
  ln -sfn "$prefix" "$link"
  exit 0
fi

# Entries of other versions or options are stale: only one is kept.
find "$cache" -mindepth 1 -maxdepth 1 -name 'wxmsw-*' -exec rm -rf {} +
rm -rf "$work/src" "$work/build"
mkdir -p "$work/src" "$prefix"
(cd "$work/src" && debian_source_fetch "$work/apt.log" wxwidgets3.2 libpng1.6) ||
  { cat "$work/apt.log" >&2; rm -rf "$work/src"; unavailable "the source packages could not be fetched"; }
# Runs a build step with its output in a log, shown only when the step fails.
quietly() {
  local log=$work/step.log
  "$@" >"$log" 2>&1 || { tail -n 60 "$log" >&2; echo "failed: $*" >&2; return 1; }
}
source_dir() { find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

echo "== libpng $png_version for Windows =="
cmake -S "$(source_dir libpng1.6)" -B "$work/build/png" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
  -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON >/dev/null
quietly cmake --build "$work/build/png" -j"$jobs"
quietly cmake --install "$work/build/png"
# wxWidgets' configure links -lpng.
[[ -f $prefix/lib/libpng.a ]] || cp "$prefix/lib/libpng16.a" "$prefix/lib/libpng.a"

echo "== wxWidgets $wx_version for MSW (about 25 minutes on two cores) =="
mkdir -p "$work/build/wx"
started=$SECONDS
(cd "$work/build/wx" &&
  quietly "$(source_dir wxwidgets3.2)/configure" --prefix="$prefix" "${wx_options[@]}" \
    CC="$triple-gcc-posix" CXX="$triple-g++-posix" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" &&
  quietly make -j"$jobs" &&
  quietly make install)
printf '%s\n' "wxwidgets3.2 $wx_version" "libpng1.6 $png_version" >"$prefix/complete"
rm -rf "$work/src" "$work/build"
ln -sfn "$prefix" "$link"
echo "wxWidgets for MSW built in $(((SECONDS - started) / 60)) min into $prefix"
