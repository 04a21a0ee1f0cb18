#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them, then times tessaly-zip-cli
# extract against bsdtar, 7-Zip (7zz) and unzip on one large healthy archive
# with thousands of entries, made by tessaly-bench-archive. Every tool runs
# on a warm cache; each is timed RUNS times, in
# rounds through all tools, and its best wall time counts.
#
# The output goes to OUT_DIR (default WORK_DIR/out, on disk); with
# OUT_DIR=/dev/shm/... the write-back of the disk leaves the figures.
#
# Environment: BUILD_DIR (build/bench), WORK_DIR (BUILD_DIR/work), OUT_DIR,
# ENTRIES (4000), UNCOMPRESSED_MIB (800), RUNS (3), BENCH_ARGS (passed to the
# benchmark executable), SKIP_MICRO=1 to time the tools only.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build/bench}
work_dir=${WORK_DIR:-$build_dir/work}
entries=${ENTRIES:-4000}
mib=${UNCOMPRESSED_MIB:-800}
runs=${RUNS:-3}

scripts/install-deps.sh bench
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_BENCH=ON \
  -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_GUI=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tessaly_bench tessaly-bench-archive tessaly-zip-cli
bin="$build_dir/bin"

if [[ "${SKIP_MICRO:-0}" != 1 ]]; then
  echo "== Benchmarks =="
  # shellcheck disable=SC2086
  "$bin/tessaly_bench" ${BENCH_ARGS:-}
fi

mkdir -p "$work_dir"
archive="$work_dir/big-$entries-$mib.zip"
if [[ ! -f "$archive" ]]; then
  echo "== Making $archive =="
  "$bin/tessaly-bench-archive" "$archive.part" "$entries" "$mib"
  mv "$archive.part" "$archive"
fi
echo "== Extracting $(du -m "$archive" | cut -f1) MiB, $entries entries, $mib MiB uncompressed; best of $runs runs =="

out=${OUT_DIR:-$work_dir/out}
declare -A commands=(
  ["tessaly-zip-cli (quick)"]="$bin/tessaly-zip-cli extract -d $out $archive"
  ["tessaly-zip-cli (advance)"]="$bin/tessaly-zip-cli extract --mode advance -d $out $archive"
  ["bsdtar"]="bsdtar -xf $archive -C $out"
  ["7zz"]="7zz x -y -bso0 -bsp0 -o$out $archive"
  ["unzip"]="unzip -q -o $archive -d $out"
)
order=("tessaly-zip-cli (quick)" "tessaly-zip-cli (advance)" "bsdtar" "7zz" "unzip")

# Runs one extraction into a fresh folder; prints "seconds cpu-seconds
# peak-KiB files bytes".
time_once() {
  rm -rf "$out" && mkdir -p "$out" && sync
  local stats
  local seconds user system peak
  read -r seconds user system peak < <( { /usr/bin/time -f '%e %U %S %M' bash -c "$1 >/dev/null" ; } 2>&1 | tail -1 )
  echo "$seconds $(awk "BEGIN{print $user + $system}") $peak $(find "$out" -type f | wc -l) $(du -sb "$out" | cut -f1)"
}

# Rounds go through every tool in turn, so that a slow spell of the shared
# machine (write-back, other jobs) does not fall on one tool alone.
declare -A best cpu rss files bytes
for ((i = 0; i < runs; i++)); do
  for tool in "${order[@]}"; do
    read -r seconds cpuSeconds peak f b < <(time_once "${commands[$tool]}")
    if [[ -z "${best[$tool]:-}" ]] || awk "BEGIN{exit !($seconds < ${best[$tool]})}"; then
      best[$tool]=$seconds
    fi
    if [[ -z "${cpu[$tool]:-}" ]] || awk "BEGIN{exit !($cpuSeconds < ${cpu[$tool]})}"; then
      cpu[$tool]=$cpuSeconds
    fi
    rss[$tool]=$peak files[$tool]=$f bytes[$tool]=$b
  done
done

printf '%-28s %10s %10s %14s %8s %14s\n' tool "best s" "best cpu s" "peak RSS MiB" files bytes
for tool in "${order[@]}"; do
  printf '%-28s %10s %10s %14s %8s %14s\n' "$tool" "${best[$tool]}" "${cpu[$tool]}" "$((rss[$tool] / 1024))" \
    "${files[$tool]}" "${bytes[$tool]}"
done
rm -rf "$out"
