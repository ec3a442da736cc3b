#!/usr/bin/env bash
# Peak resident memory and time of `salvoran scan` (the text listing, which keeps every file
# until the scan ends) and `scan --json` (which writes each file as it is found) on half a
# million deleted files in a chain of five folders named with 255 CJK characters: paths of
# 4.6 KB (bench/MakeLongFoldersImage.cpp).
# Usage: bench/listing_memory.sh BUILD_DIR [SALVORAN ...]
#   BUILD_DIR: a release build with -DSALVORAN_BUILD_BENCH=ON; further salvoran programs (an
#   older build, say) are measured beside its own. FILES in the environment changes the count.
set -euo pipefail
build=$(cd "${1:?usage: listing_memory.sh BUILD_DIR [SALVORAN ...]}" && pwd)
shift
programs=("$build/cli/salvoran" "$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_long_folders_image" "$work/long-folders.img" "${FILES:-500000}"

# Field of /usr/bin/time -v's report.
field() { sed -n "s/^[[:space:]]*$1: //p" "$2"; }

printf '%-40s %-8s %12s %10s\n' program output "peak KiB" seconds
for program in "${programs[@]}"; do
  for output in listing --json; do
    arguments=(scan "$work/long-folders.img")
    [[ $output == listing ]] || arguments+=("$output")
    /usr/bin/time -v -o "$work/scan.time" "$program" "${arguments[@]}" > /dev/null 2>&1
    printf '%-40s %-8s %12s %10s\n' "$program" "$output" \
      "$(field 'Maximum resident set size (kbytes)' "$work/scan.time")" \
      "$(field 'Elapsed (wall clock) time (h:mm:ss or m:ss)' "$work/scan.time")"
  done
done
