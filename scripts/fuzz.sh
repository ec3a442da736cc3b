#!/usr/bin/env bash
# Runs every fuzz target of a SALVORAN_FUZZ build for the given seconds, starting from the
# committed corpus; new inputs go to a scratch folder so the committed corpus stays small.
set -euo pipefail
build=${1:-build-sanitize}
seconds=${2:-30}
root="$(cd "$(dirname "$0")/.." && pwd)"

for target in "$build"/tests/fuzz/Fuzz*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  scratch=$(mktemp -d)
  echo "-- $name for ${seconds}s"
  # stderr of the target is closed: the decoder's diagnostic lines would drown the report.
  "$target" -max_total_time="$seconds" -close_fd_mask=2 -print_final_stats=1 \
    -artifact_prefix="$build/" "$scratch" "$root/tests/fuzz/corpus/$name" 2>&1 | tail -n 12
  rm -rf "$scratch"
done
