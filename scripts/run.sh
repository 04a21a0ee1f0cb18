#!/usr/bin/env bash
# Builds the tools, makes a damaged sample archive and opens it in the
# desktop program. Without a display it salvages the sample with the
# command-line tool instead, printing what was recovered.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

sample_dir=build/sample
rm -rf "$sample_dir" && mkdir -p "$sample_dir"
build/release/bin/tessaly-make-sample "$sample_dir/damaged.zip"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "== Starting the desktop program with $sample_dir/damaged.zip in its list =="
  echo "   (build/release/bin/tessaly-zip; its activity log goes to build/release/data)"
  exec build/release/bin/tessaly-zip "$sample_dir/damaged.zip"
fi

echo "== No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the desktop program"
echo "   cannot start here, so the command-line tool salvages the sample instead =="
echo "== Salvaging $sample_dir/damaged.zip (Advance Repair) =="
build/release/bin/tessaly-zip-cli extract --mode advance -d "$sample_dir/recovered" "$sample_dir/damaged.zip" || true
echo "== Recovered files =="
find "$sample_dir/recovered" -type f -printf '%8s  %P\n' | sort -k2
