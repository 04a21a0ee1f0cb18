#!/usr/bin/env bash
# Times decryption: tessaly-zip-cli extract against 7zz e on the same
# archives, one large stored entry each, encrypted with WinZip AES-256 and
# with traditional PKWARE encryption (both made by 7zz). Stored data makes
# the figure the decryption's (plus AES's authentication code and the
# CRC-32). Every tool runs on a warm cache, RUNS times in rounds; its best
# wall time counts.
#
# Environment: BUILD_DIR (build/bench-crypto), WORK_DIR (BUILD_DIR/work),
# OUT_DIR (WORK_DIR/out; /dev/shm/... leaves the disk out of the figures),
# MIB (512, the entry's size), RUNS (3).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build/bench-crypto}
work_dir=${WORK_DIR:-$build_dir/work}
mib=${MIB:-512}
runs=${RUNS:-3}
password="bench-Pa55"

scripts/install-deps.sh bench
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_BENCH=OFF \
  -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_GUI=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tessaly-zip-cli >/dev/null
cli="$build_dir/bin/tessaly-zip-cli"

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
out=${OUT_DIR:-$work_dir/out}
printf '%s\n' "$password" >"$work_dir/password.txt"
data="$work_dir/large-$mib.bin"
[[ -f "$data" ]] || head -c "$((mib << 20))" /dev/urandom >"$data"
declare -A archives=([AES-256]=AES256 [traditional]=ZipCrypto)
for name in "${!archives[@]}"; do
  zip="$work_dir/$name-$mib.zip"
  [[ -f "$zip" ]] || (cd "$work_dir" && 7zz a -tzip -bd -bso0 -p"$password" -mem="${archives[$name]}" -mm=Copy \
    "$zip" "$(basename "$data")")
done

best() {  # best wall time in nanoseconds of RUNS runs of "$@", output removed between runs
  local best_time=""
  for ((i = 0; i < runs; i++)); do
    rm -rf "$out"
    mkdir -p "$out"
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    if [[ -z "$best_time" ]] || ((end - start < best_time)); then best_time=$((end - start)); fi
  done
  echo "$best_time"
}

row() {  # encryption, tool, nanoseconds
  awk -v name="$1" -v tool="$2" -v ns="$3" -v mib="$mib" \
    'BEGIN { printf "%-14s %-16s %10.2f %10.0f\n", name, tool, ns / 1e9, mib / (ns / 1e9) }'
}

echo "== Decrypting one stored $mib MiB entry; best of $runs runs =="
printf '%-14s %-16s %10s %10s\n' "encryption" "tool" "seconds" "MiB/s"
for name in AES-256 traditional; do
  zip="$work_dir/$name-$mib.zip"
  cat "$zip" >/dev/null
  t=$(best "$cli" extract --password-file "$work_dir/password.txt" -d "$out" "$zip")
  cmp -s "$out/$(basename "$data")" "$data" || echo "tessaly-zip-cli: output differs" >&2
  row "$name" tessaly-zip-cli "$t"
  t=$(best 7zz e -y -bso0 -bsp0 -p"$password" -o"$out" "$zip")
  row "$name" "7zz e" "$t"
done
rm -rf "$out"
