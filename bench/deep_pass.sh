#!/usr/bin/env bash
# The deep scan's read of a whole source against dd reading it with 4 MiB blocks, on a 4 GiB
# volume quick-formatted over the benchmark layout's files (150,000 small files, half deleted,
# and a deleted file of 512 MiB): the deep scan reads the source once and rebuilds the old MFT
# of 150,000 records. Prints the seconds of each (best of the rounds), their ratio and the
# deep scan's peak resident memory.
#   bash bench/deep_pass.sh [BUILD_DIR] [WORK_DIR]
# Warm: the image is read whole first. Cold: the page cache is dropped before every run
# (echo 3 > /proc/sys/vm/drop_caches; needs root; skipped where the machine refuses it).
set -euo pipefail
build=${1:-build}
work=${2:-/work/bench-data}
salvoran="$build/cli/salvoran"
generator="$build/tests/fixtures/make_ntfs_image"
mkntfs=$(command -v mkntfs || echo /sbin/mkntfs)
rounds=5
image="$work/deep-4g.img"
mkdir -p "$work"

if [ ! -f "$image" ]; then
  echo "Generating $image (takes a few minutes)..."
  "$generator" --layout bench --cluster-size 4096 --size-mib 4096 --output "$image" --manifest "$work/deep-4g.json" \
    >/dev/null
  # The quick format the deep scan is for: a new MFT where the old one began, the rest left.
  "$mkntfs" -f -F -q -T -c 4096 -s 512 -p 0 -H 255 -S 63 -L DEEP "$image" >/dev/null
fi

seconds() {
  local began=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  printf '%.3f' "$(echo "$EPOCHREALTIME - $began" | bc -l)"
}

drop_caches() { sync && echo 3 > /proc/sys/vm/drop_caches; }

# Best of the rounds of dd, of the read alone with the boot-sector finder (info --deep) and of the
# whole deep scan (the read, the record finder, the rebuild and listing of the old MFT's files),
# each round running them in turn.
run() {
  local mode=$1 dd=999999 read=999999 deep=999999 t
  for ((round = 0; round < rounds; ++round)); do
    [ "$mode" = cold ] && drop_caches
    t=$(seconds dd if="$image" of=/dev/null bs=4M)
    dd=$(echo "if ($t < $dd) $t else $dd" | bc -l)
    [ "$mode" = cold ] && drop_caches
    t=$(seconds "$salvoran" info "$image" --deep)
    read=$(echo "if ($t < $read) $t else $read" | bc -l)
    [ "$mode" = cold ] && drop_caches
    t=$(seconds "$salvoran" scan "$image" --deep --summary)
    deep=$(echo "if ($t < $deep) $t else $deep" | bc -l)
  done
  printf '%-5s dd %5.2f s   info --deep %5.2f s (%.2fx)   scan --deep %5.2f s (%.2fx)\n' "$mode" "$dd" "$read" \
    "$(echo "$read / $dd" | bc -l)" "$deep" "$(echo "$deep / $dd" | bc -l)"
}

cat "$image" >/dev/null
run warm
if drop_caches 2>/dev/null; then run cold; else echo "cold: skipped (the page cache cannot be dropped here)"; fi
found=$("$salvoran" scan "$image" --deep --summary 2>/dev/null | awk -F: '/Files/ {sum += $2} END {print sum}')
/usr/bin/time -f %M -o "$work/deep-4g.peak" "$salvoran" scan "$image" --deep --summary >/dev/null 2>&1
peak=$(tail -1 "$work/deep-4g.peak")
echo "files listed: $found   peak resident memory: ${peak} KiB"
