#!/usr/bin/env bash
# Builds the Windows executables of everything but the desktop program
# (platform, archive, log, workflow, application core, tessaly-zip-cli) with
# MinGW-w64 and runs their tests under wine, through ctest.
#
# GoogleTest is built from Debian's sources (/usr/src/googletest) with the
# same toolchain into BUILD_DIR/googletest, and libbz2, liblzma and libzstd
# from Debian's source packages into BUILD_DIR/libraries. The wine prefix is
# made before ctest asks the test programs for their tests (discovery runs
# when the tests run), so the first discovery does not time out while wine
# sets itself up.
#
# Environment: BUILD_DIR (build/windows), BUILD_TYPE (Release),
# WINEPREFIX (BUILD_DIR/wine), CTEST_ARGS (passed to ctest).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows

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
# BZip2, LZMA, XZ and Zstandard entries then say "... is not supported".
libraries_status=0
scripts/build-windows-libraries.sh "$libraries_prefix" || libraries_status=$?
if ((libraries_status == 3)); then
  echo "WARNING: the Windows build is made without libbz2, liblzma and libzstd" >&2
elif ((libraries_status != 0)); then
  exit "$libraries_status"
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
  -DTESSALY_BUILD_GUI=OFF -DTESSALY_BUILD_TESTS=ON \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$build_dir/tree" -j"$jobs"

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
# A wine process that still hangs at its exit is run once more. The suites
# that point the settings at a folder of their own (log, workflow, app) do it
# in the registry, which every process shares, so they run one at a time.
serial='log|workflow|app'
# shellcheck disable=SC2086
ctest --test-dir "$build_dir/tree" --output-on-failure -j"$jobs" --repeat after-timeout:2 -LE "$serial" \
  ${CTEST_ARGS:-} || status=$?
# shellcheck disable=SC2086
ctest --test-dir "$build_dir/tree" --output-on-failure -j1 --repeat after-timeout:2 -L "$serial" \
  ${CTEST_ARGS:-} || status=$?
wineserver --kill 2>/dev/null || true
exit "$status"
