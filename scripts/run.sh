#!/usr/bin/env bash
# Builds the tools and salvages a damaged sample archive the repository makes
# itself, printing what was recovered.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

sample_dir=build/sample
rm -rf "$sample_dir" && mkdir -p "$sample_dir"
build/release/bin/tessaly-make-sample "$sample_dir/damaged.zip"
echo "== Salvaging $sample_dir/damaged.zip (Advance Repair) =="
build/release/bin/tessaly-zip-cli extract --mode advance -d "$sample_dir/recovered" "$sample_dir/damaged.zip" || true
echo "== Recovered files =="
find "$sample_dir/recovered" -type f -printf '%8s  %P\n' | sort -k2
