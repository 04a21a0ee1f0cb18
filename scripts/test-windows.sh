#!/usr/bin/env bash
# Builds the Windows programs (the desktop program tessaly-zip.exe on
# wxMSW, tessaly-zip-cli.exe) and the test programs with MinGW-w64, makes the
# installer, and runs the tests under wine through ctest, the desktop ones
# on a virtual X server as on Linux; then installs, starts and uninstalls
# the program in a wine prefix of its own.
#
# GoogleTest is built from Debian's sources (/usr/src/googletest) with the
# same toolchain into BUILD_DIR/googletest, libbz2, liblzma, libzstd and
# ISA-L from Debian's source packages into BUILD_DIR/libraries, and
# wxWidgets for MSW from Debian's source package into a cache outside the
# clone (about 25 minutes the first time on a machine; BUILD_DIR/wxwidgets
# links to it).
# The wine prefix is made before ctest asks the test programs for their
# tests (discovery runs when the tests run), so the first discovery does not
# time out while wine sets itself up.
#
# Environment: BUILD_DIR (build/windows), BUILD_TYPE (Release),
# WINEPREFIX (BUILD_DIR/wine), CTEST_ARGS (passed to ctest).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows
# The whole run shares one virtual X server: the desktop tests and wine's
# windows need a display, and none is wanted on the person's own.
if [[ -z ${TESSALY_WINDOWS_DISPLAY:-} ]]; then
  export TESSALY_WINDOWS_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$PWD/scripts/test-windows.sh" "$@"
fi

build_dir=${BUILD_DIR:-build/windows}
build_type=${BUILD_TYPE:-Release}
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)
mkdir -p "$build_dir"
build_dir=$(realpath "$build_dir")

export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$build_dir/wine}
# No desktop integration, no Mono or Gecko download prompts: a bare prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

gtest_prefix=$build_dir/googletest/install
if [[ ! -f $gtest_prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
  echo "== GoogleTest for Windows (from /usr/src/googletest) =="
  cmake -S /usr/src/googletest -B "$build_dir/googletest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -Dgtest_disable_pthreads=OFF \
    -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$build_dir/googletest/build" -j"$jobs" >/dev/null
  cmake --install "$build_dir/googletest/build" >/dev/null
fi

echo "== Compression libraries for Windows =="
libraries_prefix=$build_dir/libraries
# Without a route to Debian's archive the build goes on without them: its
# BZip2, LZMA, XZ and Zstandard entries then say "... is not supported",
# and Deflate is inflated by zlib alone.
libraries_status=0
scripts/build-windows-libraries.sh "$libraries_prefix" || libraries_status=$?
if ((libraries_status == 3)); then
  echo "WARNING: the Windows build is made without libbz2, liblzma, libzstd and ISA-L" >&2
elif ((libraries_status != 0)); then
  exit "$libraries_status"
fi

echo "== wxWidgets for MSW =="
# Without a route to Debian's archive (and nothing cached) the desktop
# program cannot be built: everything else still is, and says so.
gui=ON
wx_status=0
scripts/build-windows-wxwidgets.sh "$build_dir/wxwidgets" || wx_status=$?
if ((wx_status == 3)); then
  echo "WARNING: no wxWidgets for MSW: the Windows desktop program, its tests and the installer are not built" >&2
  gui=OFF
elif ((wx_status != 0)); then
  exit "$wx_status"
fi

echo "== Wine prefix $WINEPREFIX =="
# A server left running in this prefix by an interrupted run would keep the
# wait below from ever ending.
wineserver --kill 2>/dev/null || true
wineboot --init >/dev/null 2>&1 || true
wineserver --wait 2>/dev/null || true

echo "== Building for Windows ($build_type) =="
cmake -S . -B "$build_dir/tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE="$build_type" \
  -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" -DTESSALY_MINGW_PREFIX="$libraries_prefix" \
  -DTESSALY_BUILD_GUI=$gui -DwxWidgets_CONFIG_EXECUTABLE="$build_dir/wxwidgets/bin/wx-config" \
  -DTESSALY_BUILD_TESTS=ON -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$build_dir/tree" -j"$jobs"

if [[ $gui == ON ]]; then
  echo "== Installer =="
  scripts/build-windows-installer.sh "$build_dir/tree/bin" "$build_dir/tree/data" "$build_dir" \
    "$build_dir/tree/data/tessaly-zip.ico"
fi

echo "== Tests under wine =="
# The fuzz run is cut down: under wine every archive costs far more.
export TESSALY_FUZZ_CASES=${TESSALY_FUZZ_CASES:-300}
# One wine server for the whole run: a server that ends between two tests
# (it does when idle) can drop the next test's connection ("recvmsg:
# Connection reset by peer") or leave it hanging at its exit.
wineserver -p
# The first wine processes after the server starts can hang at their exit:
# each test program lists its tests once here, under a time limit, so that
# ctest's own listing (its test discovery) meets a settled wine.
for program in "$build_dir"/tree/bin/*_tests.exe; do
  timeout 60 wine "$program" --gtest_list_tests >/dev/null 2>&1 || echo "(warm-up: $(basename "$program") did not end by itself)"
done
status=0
# A wine process that still hangs at its exit, or dies before its test
# prints anything (seen once in a few hundred starts under two parallel
# jobs), is run once more; a test that fails twice fails the run. The suites
# that point the settings at a folder of their own (log, workflow, app) do it
# in the registry, which every process shares, so they run one at a time.
serial='log|workflow|app'
# shellcheck disable=SC2086
ctest --test-dir "$build_dir/tree" --output-on-failure -j"$jobs" --repeat until-pass:2 -LE "$serial" \
  ${CTEST_ARGS:-} || status=$?
# shellcheck disable=SC2086
ctest --test-dir "$build_dir/tree" --output-on-failure -j1 --repeat until-pass:2 -L "$serial" \
  ${CTEST_ARGS:-} || status=$?
wineserver --kill 2>/dev/null || true

if [[ $gui == ON ]]; then
  echo "== Installing, starting and uninstalling the program under wine =="
  setup=$(find "$build_dir" -maxdepth 1 -name 'tessaly-zip-*-setup.exe' | head -n 1)
  scripts/test-windows-installer.sh "$setup" "$build_dir/tree/data" || status=$?
fi
exit "$status"
