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
# Before the tools, it times `tessaly-zip-cli repair` next to
# `tessaly-zip-cli extract` on two damaged archives (tessaly-bench-archive
# --damaged: garbage in the compressed data of one entry halfway through,
# the archive cut off inside its third-last entry, no central directory), a
# large one and a small one, with wall time, CPU time and peak memory (max
# RSS) of each, RUNS times in rounds; checks the repaired archive with
# `unzip -tq`; compares the entries and bytes extract wrote with those the
# repaired archive holds; and sets the peaks of the two archives side by
# side, for the memory of a repair should not grow with the archive. Both
# write into a folder of their own inside REPAIR_OUT_DIR (default /dev/shm
# where it exists, else WORK_DIR), the repair's scratch file and temporary
# archive included.
#
# Environment: BUILD_DIR (build/bench), WORK_DIR (BUILD_DIR/work), OUT_DIR,
# ENTRIES (4000), UNCOMPRESSED_MIB (800), RUNS (3), BENCH_ARGS (passed to the
# benchmark executable), SKIP_MICRO=1 to skip the benchmark executable;
# REPAIR_ENTRIES (2000), REPAIR_MIB (1024), REPAIR_SMALL_ENTRIES (200),
# REPAIR_SMALL_MIB (100), REPAIR_OUT_DIR, SKIP_REPAIR=1 to skip the repair,
# SKIP_TOOLS=1 to stop after it; DEFLATE_MIB, DEFLATE_OUT_DIR, SKIP_DEFLATE=1
# and DEFLATE_ONLY=1 for the Deflate decoders side by side (below).
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
targets=(tessaly-bench-archive tessaly-bench-deflate tessaly-zip-cli)
[[ "${SKIP_MICRO:-0}" != 1 ]] && targets+=(tessaly_bench)
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"
bin="$build_dir/bin"

if [[ "${SKIP_MICRO:-0}" != 1 ]]; then
  echo "== Benchmarks =="
  # shellcheck disable=SC2086
  "$bin/tessaly_bench" ${BENCH_ARGS:-}
fi

mkdir -p "$work_dir"

# Runs one command under /usr/bin/time, its standard output to $2; prints
# "seconds cpu-seconds peak-KiB". A non-zero exit (a repair or extraction
# that finds damage) is expected here and does not count.
timed() {
  local seconds user system peak
  read -r seconds user system peak < <( { /usr/bin/time -f '%e %U %S %M' bash -c "$1 >$2" ; } 2>&1 | tail -1 )
  echo "$seconds $(awk "BEGIN{print $user + $system}") $peak"
}

# The smaller of two numbers, the first when the second is empty.
least() { if [[ -z "$2" ]] || awk "BEGIN{exit !($1 < $2)}"; then echo "$1"; else echo "$2"; fi; }
most() { if [[ -z "$2" ]] || awk "BEGIN{exit !($1 > $2)}"; then echo "$1"; else echo "$2"; fi; }
kib_as_mib() { awk "BEGIN{printf \"%.1f\", $1 / 1024}"; }

# The Deflate decoders side by side (SKIP_DEFLATE=1 leaves this out,
# DEFLATE_ONLY=1 stops after it): one entry of DEFLATE_MIB (200) MiB of
# text-like and of binary-like data, 2 000 entries of 120 KiB, 70 000 of
# 1 KiB, and one Deflate64 entry of the text-like data (written by 7zz).
# Ours, bsdtar, 7zz and unzip extract each archive; for the single entries
# igzip -d and libdeflate-gunzip decode a gzip of the same data (gzip -6).
# Everything is written into DEFLATE_OUT_DIR (default /dev/shm where it
# exists), so that the disk does not decide; best wall and CPU time of RUNS
# rounds, highest peak memory (max RSS).
bench_deflate() {
  local dir="$work_dir/deflate" mibs=${DEFLATE_MIB:-200}
  local base=${DEFLATE_OUT_DIR:-}
  if [[ -z "$base" ]]; then
    if [[ -d /dev/shm && -w /dev/shm ]]; then base=/dev/shm; else base=$work_dir; fi
  fi
  local out="$base/tessaly-bench-deflate.$$"
  mkdir -p "$dir"
  local kind
  for kind in text binary; do
    if [[ ! -f "$dir/$kind-$mibs.zip" ]]; then
      echo "== Making $dir/$kind-$mibs.zip and its gzip =="
      "$bin/tessaly-bench-deflate" "$kind" "$dir/$kind-$mibs.zip.part" "$dir/$kind-$mibs.dat" "$mibs"
      gzip -6 -c "$dir/$kind-$mibs.dat" >"$dir/$kind-$mibs.dat.gz"
      mv "$dir/$kind-$mibs.zip.part" "$dir/$kind-$mibs.zip"
    fi
  done
  local many
  for many in "2000 120" "70000 1"; do
    read -r count kib <<<"$many"
    if [[ ! -f "$dir/many-$count-$kib.zip" ]]; then
      echo "== Making $dir/many-$count-$kib.zip =="
      "$bin/tessaly-bench-deflate" many "$dir/many-$count-$kib.zip.part" "$count" "$kib"
      mv "$dir/many-$count-$kib.zip.part" "$dir/many-$count-$kib.zip"
    fi
  done
  if [[ ! -f "$dir/deflate64-$mibs.zip" ]]; then
    echo "== Making $dir/deflate64-$mibs.zip (7zz, Deflate64) =="
    rm -f "$dir/deflate64-$mibs.zip.part"
    (cd "$dir" && 7zz a -tzip -mm=Deflate64 -mx=1 -bso0 -bsp0 "deflate64-$mibs.zip.part" "text-$mibs.dat")
    mv "$dir/deflate64-$mibs.zip.part" "$dir/deflate64-$mibs.zip"
  fi

  local -a cases=("text-$mibs" "binary-$mibs" "many-2000-120" "many-70000-1" "deflate64-$mibs")
  local name zip tool seconds cpuSeconds kib i
  for name in "${cases[@]}"; do
    zip="$dir/$name.zip"
    local -A commands=(
      [tessaly-zip-cli]="$bin/tessaly-zip-cli extract -d $out $zip"
      [bsdtar]="bsdtar -xf $zip -C $out"
      [7zz]="7zz x -y -bso0 -bsp0 -o$out $zip"
      [unzip]="unzip -q -o $zip -d $out"
    )
    local -a order=(tessaly-zip-cli bsdtar 7zz unzip)
    if [[ -f "$dir/$name.dat.gz" ]]; then
      commands[igzip -d]="sh -c 'igzip -d -c $dir/$name.dat.gz >$out/data'"
      commands[libdeflate-gunzip]="sh -c 'libdeflate-gunzip -c $dir/$name.dat.gz >$out/data'"
      order+=("igzip -d" libdeflate-gunzip)
    fi
    local -A wall=() cpu=() peak=() files=() bytes=()
    for ((i = 0; i < runs; i++)); do
      for tool in "${order[@]}"; do
        rm -rf "$out" && mkdir -p "$out"
        read -r seconds cpuSeconds kib < <(timed "${commands[$tool]}" /dev/null)
        wall[$tool]=$(least "$seconds" "${wall[$tool]:-}")
        cpu[$tool]=$(least "$cpuSeconds" "${cpu[$tool]:-}")
        peak[$tool]=$(most "$kib" "${peak[$tool]:-}")
        files[$tool]=$(find "$out" -type f | wc -l)
        bytes[$tool]=$(du -sb "$out" | cut -f1)
      done
    done
    rm -rf "$out"
    echo "== Deflate: $name ($(du -m "$zip" | cut -f1) MiB archive), best of $runs runs into $base =="
    printf '%-20s %10s %10s %14s %8s %12s %12s\n' tool "best s" "best cpu s" "peak RSS MiB" files bytes "cpu vs ours"
    for tool in "${order[@]}"; do
      printf '%-20s %10s %10s %14s %8s %12s %12s\n' "$tool" "${wall[$tool]}" "${cpu[$tool]}" \
        "$(kib_as_mib "${peak[$tool]}")" "${files[$tool]}" "${bytes[$tool]}" \
        "$(awk "BEGIN{printf \"%.2f\", ${cpu[$tool]} / (${cpu[tessaly-zip-cli]} > 0 ? ${cpu[tessaly-zip-cli]} : 1)}")"
    done
    unset commands wall cpu peak files bytes
  done
}

if [[ "${SKIP_DEFLATE:-0}" != 1 ]]; then
  bench_deflate
  [[ "${DEFLATE_ONLY:-0}" == 1 ]] && exit 0
fi

if [[ -n "${REPAIR_OUT_DIR:-}" ]]; then
  repair_base=$REPAIR_OUT_DIR
elif [[ -d /dev/shm && -w /dev/shm ]]; then
  repair_base=/dev/shm
else
  repair_base=$work_dir
fi
# A folder of the script's own inside it, with one folder for each command,
# emptied before its every run.
repair_dir=$repair_base/tessaly-bench-repair.$$
trap 'rm -rf "$repair_dir"' EXIT

# The damaged archive of $1 entries and $2 MiB, made once and kept in
# WORK_DIR; the generator makes the same bytes every time.
damaged_archive() {
  local archive="$work_dir/damaged-$1-$2.zip"
  if [[ ! -f "$archive" ]]; then
    echo "== Making $archive ==" >&2
    "$bin/tessaly-bench-archive" "$archive.part" "$1" "$2" --damaged >&2
    mv "$archive.part" "$archive"
  fi
  echo "$archive"
}

# Times repair and extract of one damaged archive RUNS times, in rounds,
# and prints their best wall and CPU times, their highest peak, and what
# each wrote; sets peak_repair and peak_extract.
bench_repair() {
  local entries=$1 mib=$2 archive
  archive=$(damaged_archive "$entries" "$mib")
  local repaired="$repair_dir/repair/repaired.zip" extracted="$repair_dir/extract" log="$repair_dir/repair.log"
  echo "== Repair against extract: $(basename "$archive"), $(du -m "$archive" | cut -f1) MiB, made of $entries" \
    "entries and $mib MiB uncompressed (sha256 $(sha256sum "$archive" | cut -c1-16)); best of $runs runs into" \
    "$repair_dir =="
  local -A commands=(
    [repair]="$bin/tessaly-zip-cli repair $archive -o $repaired"
    [extract]="$bin/tessaly-zip-cli extract -d $extracted $archive"
  )
  local -A wall=() cpu=() peak=()
  local -A printed=([repair]=$log [extract]=/dev/null)
  local tool seconds cpuSeconds kib i
  for ((i = 0; i < runs; i++)); do
    for tool in repair extract; do
      rm -rf "${repair_dir:?}/$tool" && mkdir -p "$repair_dir/$tool" && sync
      read -r seconds cpuSeconds kib < <(timed "${commands[$tool]}" "${printed[$tool]}")
      wall[$tool]=$(least "$seconds" "${wall[$tool]:-}")
      cpu[$tool]=$(least "$cpuSeconds" "${cpu[$tool]:-}")
      peak[$tool]=$(most "$kib" "${peak[$tool]:-}")
    done
  done
  # The last round's outputs are both still there: what each wrote.
  local repairedEntries repairedBytes extractedEntries extractedBytes
  read -r repairedEntries _ repairedBytes _ < <(unzip -Zt "$repaired")
  extractedEntries=$(find "$extracted" -type f | wc -l)
  extractedBytes=$(find "$extracted" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  printf '%-10s %10s %10s %14s %8s %14s\n' command "best s" "best cpu s" "peak RSS MiB" entries bytes
  printf '%-10s %10s %10s %14s %8s %14s\n' repair "${wall[repair]}" "${cpu[repair]}" "$(kib_as_mib "${peak[repair]}")" \
    "$repairedEntries" "${repairedBytes//,/}"
  printf '%-10s %10s %10s %14s %8s %14s\n' extract "${wall[extract]}" "${cpu[extract]}" \
    "$(kib_as_mib "${peak[extract]}")" "$extractedEntries" "$extractedBytes"
  echo "repair says: $(tail -1 "$log" | sed 's/^[^:]*: //')"
  grep -E -- '-> (partial|recompressed|left out)' "$log" || true
  echo "repaired archive: $(du -m "$repaired" | cut -f1) MiB; unzip -tq: $(unzip -tq "$repaired" 2>&1 | tail -1)"
  peak_repair=${peak[repair]} peak_extract=${peak[extract]}
}

if [[ "${SKIP_REPAIR:-0}" != 1 ]]; then
  bench_repair "${REPAIR_ENTRIES:-2000}" "${REPAIR_MIB:-1024}"
  large_repair=$peak_repair large_extract=$peak_extract
  bench_repair "${REPAIR_SMALL_ENTRIES:-200}" "${REPAIR_SMALL_MIB:-100}"
  echo "== Peak memory (max RSS, MiB) against the archive's size =="
  printf '%-22s %12s %12s\n' archive repair extract
  printf '%-22s %12s %12s\n' "${REPAIR_ENTRIES:-2000} entries, ${REPAIR_MIB:-1024} MiB" "$(kib_as_mib "$large_repair")" \
    "$(kib_as_mib "$large_extract")"
  printf '%-22s %12s %12s\n' "${REPAIR_SMALL_ENTRIES:-200} entries, ${REPAIR_SMALL_MIB:-100} MiB" \
    "$(kib_as_mib "$peak_repair")" "$(kib_as_mib "$peak_extract")"
fi
[[ "${SKIP_TOOLS:-0}" == 1 ]] && exit 0

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
