#!/usr/bin/env bash
# Scan and recovery speed against the floor (dd) and two peer tools, on a generated volume with
# at least 150,000 MFT records, half of them deleted files, and a deleted file of 512 MiB or
# more in many runs. Page cache warm: every command runs once before it is timed.
#   bash bench/scan_vs_peers.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/salvoran-bench}
salvoran="$build/cli/salvoran"
generator="$build/tests/fixtures/make_ntfs_image"
mkdir -p "$work"
image="$work/bench.img"

if [ ! -f "$image" ]; then
  echo "Generating $image (takes a few minutes)..."
  "$generator" --layout bench --cluster-size 4096 --output "$image" --manifest "$work/bench.json" --size-mib 2048
fi

# Best of three runs, in seconds.
best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end took
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    took=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc -l)" = 1 ]; then best=$took; fi
  done
  printf '%.3f' "$best"
}

# The MFT's own extents from record 0, as "cluster count" pairs.
mft_extents() {
  istat "$image" 0 | awk '/^Type: \$DATA/{on=1; next} /^Type:/{on=0} on' | tr ' ' '\n' | grep -E '^[0-9]+$' |
    awk 'NR==1{start=$1; prev=$1; next} $1==prev+1{prev=$1; next} {print start, prev-start+1; start=$1; prev=$1} END{print start, prev-start+1}'
}

# Reads "cluster count" extents with 1 MiB blocks.
dd_extents() {
  while read -r start count; do
    dd if="$image" bs=1M skip=$((start * 4096)) count=$((count * 4096)) iflag=skip_bytes,count_bytes,fullblock \
      status=none of=/dev/null
  done
}

mft_dd() { mft_extents | dd_extents; }

summary=$("$salvoran" scan "$image" --summary 2>/dev/null)
records=$(echo "$summary" | awk -F: '/Records scanned/{gsub(/ /,"",$2); print $2}')
echo "Volume: $image, $records records scanned"
echo "$summary" | sed 's/^/  /'

cat "$image" >/dev/null  # warm the page cache
mft_dd
floor=$(best_of_three mft_dd)
t_summary=$(best_of_three "$salvoran" scan "$image" --summary)
t_json=$(best_of_three sh -c "'$salvoran' scan '$image' --json >/dev/null")
t_fls=$(best_of_three fls -r -d "$image")
t_undelete=$(best_of_three ntfsundelete -s "$image")

ratio() { echo "scale=2; $1 / $floor" | bc -l; }
printf '\n%-34s %8s %8s\n' "Listing" "seconds" "x dd"
printf '%-34s %8s %8s\n' "dd of the MFT (1 MiB blocks)" "$floor" "1.00"
printf '%-34s %8s %8s\n' "salvoran scan --summary" "$t_summary" "$(ratio "$t_summary")"
printf '%-34s %8s %8s\n' "salvoran scan --json" "$t_json" "$(ratio "$t_json")"
printf '%-34s %8s %8s\n' "fls -r -d" "$t_fls" "$(ratio "$t_fls")"
printf '%-34s %8s %8s\n' "ntfsundelete -s" "$t_undelete" "$(ratio "$t_undelete")"

# The largest deleted file and its extents.
big=$("$salvoran" scan "$image" --json 2>/dev/null | python3 -c '
import json, sys
files = json.load(sys.stdin)["files"]
f = max(files, key=lambda f: f["size"])
print(f["record"], f["size"])')
record=${big% *}
size=${big#* }
out="$work/restored"
rm -rf "$out" && mkdir -p "$out"
file_extents() {
  istat "$image" "$record" | awk '/^Type: \$DATA/{on=1; next} /^Type:/{on=0} on' | tr ' ' '\n' | grep -E '^[0-9]+$' |
    awk 'NR==1{start=$1; prev=$1; next} $1==prev+1{prev=$1; next} {print start, prev-start+1; start=$1; prev=$1} END{print start, prev-start+1}'
}
runs=$(file_extents | wc -l)
# dd writes what it reads into a file, as a restore does; once per extent (one process each, as
# a script would), and once over a contiguous stretch of the same size (the pure floor).
file_dd() {
  rm -f "$work/dd.out"
  file_extents | while read -r start count; do
    dd if="$image" of="$work/dd.out" bs=1M skip=$((start * 4096)) count=$((count * 4096)) \
      iflag=skip_bytes,count_bytes,fullblock oflag=append conv=notrunc status=none
  done
}
contiguous_dd() {
  dd if="$image" of="$work/dd.out" bs=1M count="$size" iflag=count_bytes,fullblock status=none
}
recover_once() { rm -rf "$out" && mkdir -p "$out" && "$salvoran" recover "$image" --record "$record" --output "$out"; }
t_contiguous=$(best_of_three contiguous_dd)
t_file_dd=$(best_of_three file_dd)
t_recover=$(best_of_three recover_once)
t_icat=$(best_of_three sh -c "icat '$image' '$record' > '$work/icat.out'")
peak=$( (rm -rf "$out/again"; /usr/bin/time -v "$salvoran" recover "$image" --record "$record" --output "$out/again" >/dev/null) 2>&1 |
  awk -F: '/Maximum resident/{gsub(/ /,"",$2); print $2}')
mib=$(echo "scale=1; $size / 1048576" | bc -l)
throughput() { echo "scale=0; $size / 1048576 / $1" | bc -l; }
printf '\nRecovery of record %s: %s MiB in %s runs, written to %s\n' "$record" "$mib" "$runs" "$work"
printf '%-34s %8s %10s\n' "Command" "seconds" "MiB/s"
printf '%-34s %8s %10s\n' "dd, one contiguous stretch" "$t_contiguous" "$(throughput "$t_contiguous")"
printf '%-34s %8s %10s\n' "dd of its extents" "$t_file_dd" "$(throughput "$t_file_dd")"
printf '%-34s %8s %10s\n' "salvoran recover" "$t_recover" "$(throughput "$t_recover")"
printf '%-34s %8s %10s\n' "icat" "$t_icat" "$(throughput "$t_icat")"
printf 'salvoran recover peak memory: %s KiB\n' "$peak"
