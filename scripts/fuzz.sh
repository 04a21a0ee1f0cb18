#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in a tree of their own, writes their seed
# corpora and runs each target for SECONDS, one target after the other.
# Prints each target's executions per second and coverage (edges) from
# libFuzzer's last stats line; fails when any target crashes, leaks, runs
# out of memory or takes too long on one input, leaving the input in
# WORK_DIR/crashes/TARGET/ (such an input is tried again first on the next
# run, and removed once it passes). Inputs libFuzzer calls slow (over 10 s)
# are put in WORK_DIR/slow/TARGET/ and do not fail the run.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   SECONDS  time per target (default 60)
#   TARGET   archive, deflate64, inflate, names (default all four)
# Environment: BUILD_DIR (build/fuzz), WORK_DIR (BUILD_DIR/work; the corpora
# there grow from run to run), JOBS (1: one process per target; 2 uses both
# cores of a two-core machine), RSS_LIMIT_MB (2048), UNIT_TIMEOUT (60
# seconds for one input), FUZZ_ARGS (more libFuzzer options).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(archive deflate64 inflate names)
for target in "${targets[@]}"; do
  case "$target" in
    archive | deflate64 | inflate | names) ;;
    *) echo "fuzz: unknown target '$target' (archive, deflate64, inflate, names)" >&2; exit 2 ;;
  esac
done

build_dir=${BUILD_DIR:-build/fuzz}
work_dir=${WORK_DIR:-$build_dir/work}
jobs=${JOBS:-1}

scripts/install-deps.sh build fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_FUZZ=ON -DTESSALY_BUILD_GUI=OFF \
  -DTESSALY_BUILD_TESTS=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
build_targets=(tessaly-fuzz-seeds)
for target in "${targets[@]}"; do build_targets+=("tessaly-fuzz-$target"); done
cmake --build "$build_dir" -j"$(nproc)" --target "${build_targets[@]}" >/dev/null
bin=$(cd "$build_dir/bin" && pwd)
mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)

rm -rf "$work_dir/seeds"
"$bin/tessaly-fuzz-seeds" "$work_dir/seeds" >/dev/null

# The archive target makes a folder per input: on tmpfs that costs little.
scratch=$(mktemp -d "$( [[ -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/tessaly-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}

max_len() {
  case "$1" in
    archive) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

# "exec/s edges" from the last stats line of the logs.
stats() {
  local execs=0 edges=0 line cov rate
  for log in "$@"; do
    line=$(grep -aE '^#[0-9]+.*cov: [0-9]+' "$log" | tail -n 1) || continue
    cov=$(sed -E 's/.*cov: ([0-9]+).*/\1/' <<<"$line")
    rate=$(sed -nE 's/.*exec\/s: ([0-9]+).*/\1/p' <<<"$line")
    ((cov > edges)) && edges=$cov
    execs=$((execs + ${rate:-0}))
  done
  echo "$execs $edges"
}

failed=()
printf '%-10s %8s %8s  %s\n' target exec/s edges result
for target in "${targets[@]}"; do
  corpus="$work_dir/corpus/$target"
  crashes="$work_dir/crashes/$target"
  logs="$work_dir/logs/$target"
  mkdir -p "$corpus" "$crashes" "$logs"
  rm -f "$logs"/*.log
  # An input kept by an earlier run goes first: one that no longer fails
  # is removed, one that still does fails the run.
  for old in "$crashes"/*; do
    [[ -f $old ]] || continue
    "$bin/tessaly-fuzz-$target" "$old" >"$logs/replay.log" 2>&1 && rm -f "$old"
  done
  args=(-max_total_time="$seconds" -max_len="$(max_len "$target")" -rss_limit_mb="${RSS_LIMIT_MB:-2048}"
    -timeout="${UNIT_TIMEOUT:-60}" -artifact_prefix="$crashes/" -print_final_stats=1)
  # shellcheck disable=SC2206
  args+=(${FUZZ_ARGS:-})
  status=0
  if ((jobs > 1)); then
    # Each job writes fuzz-N.log in the current folder.
    (cd "$logs" && exec "$bin/tessaly-fuzz-$target" -jobs="$jobs" -workers="$jobs" "${args[@]}" \
      "$corpus" "$work_dir/seeds/$target" >"$logs/driver.log" 2>&1) || status=$?
    read -r execs edges < <(stats "$logs"/fuzz-*.log)
  else
    "$bin/tessaly-fuzz-$target" "${args[@]}" "$corpus" "$work_dir/seeds/$target" >"$logs/fuzz-0.log" 2>&1 ||
      status=$?
    read -r execs edges < <(stats "$logs/fuzz-0.log")
  fi
  # An input that took over 10 s is kept by libFuzzer as slow-unit-*: worth
  # a look, but not a failure (a busy machine makes them); the limit one
  # input must keep is -timeout. They go aside, into WORK_DIR/slow/TARGET/.
  slow="$work_dir/slow/$target"
  mkdir -p "$slow"
  slow_units=$(find "$crashes" -type f -name 'slow-unit-*' | wc -l)
  find "$crashes" -type f -name 'slow-unit-*' -exec mv -t "$slow" {} +
  note=""
  ((slow_units > 0)) && note=" ($slow_units slow inputs kept in $slow)"
  found=$(find "$crashes" -type f | head -n 1)
  if ((status != 0)) || [[ -n $found ]]; then
    failed+=("$target")
    printf '%-10s %8s %8s  FAILED (status %s): input %s, log %s\n' "$target" "$execs" "$edges" "$status" \
      "${found:-none kept}" "$logs"
    grep -ahE '^(==[0-9]+==ERROR|SUMMARY|fuzz invariant broken)' "$logs"/*.log | head -n 5 >&2 || true
  else
    printf '%-10s %8s %8s  ok%s\n' "$target" "$execs" "$edges" "$note"
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: ${failed[*]} failed; the inputs are in $work_dir/crashes" >&2
  exit 1
fi
