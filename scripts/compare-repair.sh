#!/usr/bin/env bash
# Builds tessaly-zip-cli (Release), damages archives from several writers in
# the ways compare-salvage.py does, and compares tessaly-zip-cli repair with
# the fixes other archivers offer (see compare-repair.py).
# Environment: BUILD_DIR (build/bench), WORK_DIR (BUILD_DIR/compare-repair),
# SEED (7); ARCHIVES as for compare-salvage.py.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build/bench}
work_dir=$(realpath -m "${WORK_DIR:-$build_dir/compare-repair}")
scripts/install-deps.sh bench
command -v python3 >/dev/null || scripts/install-deps.sh python
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_GUI=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tessaly-zip-cli
cli=$(realpath "$build_dir/bin/tessaly-zip-cli")
rm -rf "$work_dir/damaged"
mkdir -p "$work_dir/damaged"
echo "== Damaging archives (and the extract comparison on the way) =="
KEEP_DAMAGED="$work_dir/damaged" python3 scripts/compare-salvage.py "$cli" "$work_dir" "${SEED:-7}" >"$work_dir/extract.txt"
echo "== Repairs: readers that refuse (u unzip, 7 7zz, p python, b bsdtar) and exact files/KB good =="
python3 scripts/compare-repair.py "$cli" "$work_dir/damaged" "$work_dir/src" "$work_dir" 'correct horse'
