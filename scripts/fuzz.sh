#!/usr/bin/env bash
# Runs fuzz targets of a SALVORAN_FUZZ build for the given seconds each, starting from the
# committed corpus; new inputs go to a scratch folder so the committed corpus stays small (or
# to SALVORAN_FUZZ_OUT/<target>, kept for a later -merge=1).
# Usage: scripts/fuzz.sh [BUILD_DIR] [SECONDS] [TARGET...]   (all targets when none is named)
set -euo pipefail
build=${1:-build-sanitize}
seconds=${2:-30}
shift $(( $# < 2 ? $# : 2 ))
root="$(cd "$(dirname "$0")/.." && pwd)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for target in "$build"/tests/fuzz/Fuzz*; do
    [ -x "$target" ] && targets+=("$(basename "$target")")
  done
fi

# The limits every target runs under: a recovery may use 64 MiB at once (one allocation above
# that is a finding), and no input may take more than 10 s.
limits=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=64)
# The whole-volume target's seeds are small volumes; the mutated ones may grow a little.
max_len_FuzzScanAndRecover=262144
max_len_FuzzDamagedEwf=262144
max_len_FuzzDeepScan=262144

# Targets run SALVORAN_FUZZ_JOBS at a time (one by default); each one's report is printed whole.
jobs=${SALVORAN_FUZZ_JOBS:-1}
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT

run_target() {
  local name=$1 target="$build/tests/fuzz/$1" scratch max_len_var extra=()
  if [ -n "${SALVORAN_FUZZ_OUT:-}" ]; then
    scratch="$SALVORAN_FUZZ_OUT/$name"
    mkdir -p "$scratch"
  else
    scratch=$(mktemp -d)
  fi
  max_len_var="max_len_$name"
  [ -n "${!max_len_var:-}" ] && extra+=(-max_len="${!max_len_var}")
  echo "-- $name for ${seconds}s"
  # stderr of the target is closed: the scan's diagnostic lines would drown the report.
  "$target" -max_total_time="$seconds" -close_fd_mask=2 -print_final_stats=1 "${limits[@]}" "${extra[@]}" \
    -artifact_prefix="$build/$name-" "$scratch" "$root/tests/fuzz/corpus/$name" 2>&1 | tail -n 12
  [ -n "${SALVORAN_FUZZ_OUT:-}" ] || rm -rf "$scratch"
}

failed=0
pids=()
for name in "${targets[@]}"; do
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait -n || failed=1
    pids=($(jobs -pr))
  fi
  run_target "$name" >"$reports/$name" 2>&1 &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
for name in "${targets[@]}"; do cat "$reports/$name"; done
exit "$failed"
