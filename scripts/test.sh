#!/usr/bin/env bash
# Builds and runs every test: the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (GUI tests under Xvfb), then the worker and
# salvage driver tests under ThreadSanitizer, then the fuzz targets for a
# short run each, then the Windows build's tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build test
jobs=$(nproc)

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=address,undefined >/dev/null
cmake --build build/asan -j"$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build/asan --output-on-failure -j"$jobs"

cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=thread -DTESSALY_BUILD_GUI=OFF >/dev/null
cmake --build build/tsan -j"$jobs" --target workflow_tests archive_tests
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/scripts/tsan.supp"
ctest --test-dir build/tsan --output-on-failure -L workflow
# The salvage driver's threads, sharing one destination.
ctest --test-dir build/tsan --output-on-failure -R '^SalvageDriver\.'

# The fuzz targets, built with clang, each for a short run so that they keep
# building and their seeds keep passing (TESSALY_FUZZ_SECONDS, default 30;
# TESSALY_SKIP_FUZZ=1 leaves them out). scripts/fuzz.sh runs them longer.
if [[ ${TESSALY_SKIP_FUZZ:-0} != 1 ]]; then
  bash scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-30}"
fi

# The Windows build of everything but the desktop program, under wine
# (TESSALY_SKIP_WINDOWS=1 leaves it out).
if [[ ${TESSALY_SKIP_WINDOWS:-0} != 1 ]]; then
  bash scripts/test-windows.sh
fi
