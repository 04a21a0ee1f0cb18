#!/usr/bin/env bash
# Builds tessaly-zip-cli (Release) and compares what it salvages from damaged
# archives with unzip, 7zz and bsdtar (see compare-salvage.py).
# Environment: BUILD_DIR (build/bench), WORK_DIR (BUILD_DIR/compare), SEED (7);
# ARCHIVES and KEEP_DAMAGED are read by compare-salvage.py.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build/bench}
work_dir=${WORK_DIR:-$build_dir/compare}
scripts/install-deps.sh bench
command -v python3 >/dev/null || scripts/install-deps.sh python
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_GUI=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tessaly-zip-cli
mkdir -p "$work_dir"
python3 scripts/compare-salvage.py "$(realpath "$build_dir/bin/tessaly-zip-cli")" "$(realpath "$work_dir")" "${SEED:-7}"
