#!/usr/bin/env bash
# Scan and recovery speed against the floor and two peer tools, on two generated volumes: the
# benchmark volume (150,000 small files, half of them deleted, and a deleted file of 512 MiB in
# about a hundred runs) and one of a million MFT records. Every ratio comes from one run: each
# round runs every command once, in turn, and each command keeps its best of five rounds.
#   bash bench/scan_vs_peers.sh [BUILD_DIR] [WORK_DIR]
# Warm: the image is read whole first. Cold: the page cache is dropped before every run
# (echo 3 > /proc/sys/vm/drop_caches; needs root; skipped where the machine refuses it).
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/salvoran-bench}
here=$(cd "$(dirname "$0")" && pwd)
salvoran="$build/cli/salvoran"
generator="$build/tests/fixtures/make_ntfs_image"
rounds=5
mkdir -p "$work"

# The floor: the fastest of one process reading the MFT's extents in 256 KiB blocks, the same
# in 4 MiB blocks, and one dd per extent.
reader="$work/read_extents"
if [ ! "$reader" -nt "$here/ReadExtents.cpp" ]; then
  c++ -O2 -std=c++20 -o "$reader" "$here/ReadExtents.cpp"
fi

# make_volume NAME SMALL_FILES BIG_MIB SIZE_MIB: generated once, kept in WORK_DIR.
make_volume() {
  if [ ! -f "$work/$1.img" ]; then
    echo "Generating $work/$1.img (takes a few minutes)..."
    "$generator" --layout bench --cluster-size 4096 --output "$work/$1.img" --manifest "$work/$1.json" \
      --size-mib "$4" --bench-files "$2" --bench-big-mib "$3" >/dev/null
  fi
}
make_volume bench 150000 512 2048
make_volume million 1000000 64 4096

# Seconds one run of a command takes, its output dropped.
seconds() {
  local began=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  printf '%.3f' "$(echo "$EPOCHREALTIME - $began" | bc -l)"
}

# side_by_side COMMAND...: each round runs every command once, in turn; best[COMMAND] is its
# fastest run. With cold=1, the page cache is dropped before every run.
declare -A best
cold=0
side_by_side() {
  local round name took
  for name in "$@"; do best[$name]=""; done
  for ((round = 0; round < rounds; round++)); do
    for name in "$@"; do
      if ((cold)); then sync; echo 3 >/proc/sys/vm/drop_caches; fi
      took=$(seconds $name)
      if [ -z "${best[$name]}" ] || [ "$(echo "$took < ${best[$name]}" | bc -l)" = 1 ]; then best[$name]=$took; fi
    done
  done
}

# Peak resident memory of a command, in MiB.
peak_mib() {
  /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1
  echo "scale=1; $(cat "$work/peak") / 1024" | bc -l
}

# The extents of record $2's unnamed $DATA in image $1, as "cluster count" pairs.
extents_of() {
  istat "$1" "$2" | awk '/^Type: \$DATA/{on=1; next} /^Type:/{on=0} on' | tr ' ' '\n' | grep -E '^[0-9]+$' |
    awk 'NR==1{start=$1; prev=$1; next} $1==prev+1{prev=$1; next} {print start, prev-start+1; start=$1; prev=$1} END{print start, prev-start+1}'
}

# The commands compared, on $image with the MFT's extents in $mft ("cluster count" lines).
mft_bytes() { awk -v c="$cluster" '{printf "%d:%d ", $1 * c, $2 * c}' <<<"$mft"; }
read_small() { "$reader" "$image" 256 $(mft_bytes); }
read_large() { "$reader" "$image" 4096 $(mft_bytes); }
dd_extents() {
  local start count
  while read -r start count; do
    dd if="$image" bs=1M skip=$((start * cluster)) count=$((count * cluster)) iflag=skip_bytes,count_bytes,fullblock \
      status=none of=/dev/null
  done <<<"$mft"
}
scan_summary() { "$salvoran" scan "$image" --summary; }
scan_json() { "$salvoran" scan "$image" --json; }
undelete() { ntfsundelete -s "$image"; }
fls_deleted() { fls -r -d "$image"; }

# A row of a Markdown table.
row() {
  local line="|" cell
  for cell in "$@"; do line+=" $cell |"; done
  echo "$line"
}
declare -A label=([read_small]="one reader over the MFT's extents, 256 KiB blocks"
  [read_large]="one reader over the MFT's extents, 4 MiB blocks"
  [dd_extents]="\`dd\` per extent, 1 MiB blocks" [scan_summary]="\`salvoran scan --summary\`"
  [scan_json]="\`salvoran scan --json > /dev/null\`" [undelete]="\`ntfsundelete -s\`" [fls_deleted]="\`fls -r -d\`")
floor=""
# The floor: the fastest of the ways to read the MFT that were run.
set_floor() {
  floor=$(printf '%s\n' "${best[read_small]}" "${best[read_large]}" "${best[dd_extents]}" | sort -n | head -1)
}
times_floor() { echo "scale=2; $1 / $floor" | bc -l | sed 's/^\./0./'; }
floor_rows() {
  local name
  for name in read_small read_large dd_extents; do
    row "${label[$name]}" "${best[$name]}" "$(times_floor "${best[$name]}")" "$@"
  done
}

# listing NAME [fls]: the listing tables of one volume.
listing() {
  image="$work/$1.img"
  cluster=4096
  mft=$(extents_of "$image" 0)
  local records mft_mib
  records=$("$salvoran" scan "$image" --summary | awk -F: '/Records scanned/{gsub(/ /,"",$2); print $2}')
  mft_mib=$(awk -v c="$cluster" '{n += $2} END{printf "%.0f", n * c / 1048576}' <<<"$mft")
  printf '\n%s: %s records scanned, MFT of %s MiB in %s extents, %s deleted files listed\n' "$image" "$records" \
    "$mft_mib" "$(wc -l <<<"$mft")" "$("$salvoran" scan "$image" --summary | awk -F: '/Files:/{n += $2} END{print n}')"

  cat "$image" >/dev/null
  local commands=(read_small read_large dd_extents scan_summary scan_json undelete)
  if [ "${2:-}" = fls ]; then commands+=(fls_deleted); fi
  cold=0
  side_by_side "${commands[@]}"
  set_floor
  printf '\nWarm page cache, best of %d rounds; floor: the fastest of the first three rows:\n\n' "$rounds"
  row "listing" "seconds" "× floor" "peak memory"
  row "---" "---" "---" "---"
  floor_rows ""
  row "${label[scan_summary]}" "${best[scan_summary]}" "$(times_floor "${best[scan_summary]}")" \
    "$(peak_mib "$salvoran" scan "$image" --summary) MiB"
  row "${label[scan_json]}" "${best[scan_json]}" "$(times_floor "${best[scan_json]}")" \
    "$(peak_mib "$salvoran" scan "$image" --json) MiB"
  row "\`salvoran scan --csv > /dev/null\`" "" "" "$(peak_mib "$salvoran" scan "$image" --csv) MiB"
  row "\`salvoran scan --bodyfile > /dev/null\`" "" "" "$(peak_mib "$salvoran" scan "$image" --bodyfile) MiB"
  row "\`salvoran scan\` (text listing)" "" "" "$(peak_mib "$salvoran" scan "$image") MiB"
  row "${label[undelete]}" "${best[undelete]}" "$(times_floor "${best[undelete]}")" ""
  if [ "${2:-}" = fls ]; then
    row "${label[fls_deleted]}" "${best[fls_deleted]}" "$(times_floor "${best[fls_deleted]}")" ""
  fi
  printf '\n`ntfsundelete -s` takes %sx the time of `--summary`, %sx that of `--json`.\n' \
    "$(echo "scale=1; ${best[undelete]} / ${best[scan_summary]}" | bc -l)" \
    "$(echo "scale=1; ${best[undelete]} / ${best[scan_json]}" | bc -l)"

  if sync && echo 3 2>/dev/null >/proc/sys/vm/drop_caches; then
    cold=1
    side_by_side read_small read_large dd_extents scan_summary scan_json
    cold=0
    set_floor
    printf '\nCold page cache (dropped before every run), best of %d rounds:\n\n' "$rounds"
    row "listing, cold" "seconds" "× floor"
    row "---" "---" "---"
    floor_rows
    local name
    for name in scan_summary scan_json; do
      row "${label[$name]}" "${best[$name]}" "$(times_floor "${best[$name]}")"
    done
  else
    echo "Cold page cache: not measured (the page cache cannot be dropped here)."
  fi
}

# Other work on the machine shows in every figure.
echo "Load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
listing bench fls
listing million

# Recovery of the largest deleted file of the benchmark volume.
image="$work/bench.img"
cat "$image" >/dev/null
big=$("$salvoran" scan "$image" --json 2>/dev/null | python3 -c '
import json, sys
files = json.load(sys.stdin)["files"]
f = max(files, key=lambda f: f["size"])
print(f["record"], f["size"])')
record=${big% *}
size=${big#* }
file_extents=$(extents_of "$image" "$record")
out="$work/restored"
# dd writes what it reads into a file, as a restore does: once per extent (one process each, as
# a script would), and once over a contiguous stretch of the same size (the pure floor).
file_dd() {
  rm -f "$work/dd.out"
  local start count
  while read -r start count; do
    dd if="$image" of="$work/dd.out" bs=1M skip=$((start * 4096)) count=$((count * 4096)) \
      iflag=skip_bytes,count_bytes,fullblock oflag=append conv=notrunc status=none
  done <<<"$file_extents"
}
contiguous_dd() { dd if="$image" of="$work/dd.out" bs=1M count="$size" iflag=count_bytes,fullblock status=none; }
recover_once() { rm -rf "$out" && mkdir -p "$out" && "$salvoran" recover "$image" --record "$record" --output "$out"; }
icat_once() { icat "$image" "$record" >"$work/icat.out"; }
side_by_side contiguous_dd file_dd recover_once icat_once
rm -rf "$out"
peak=$(peak_mib "$salvoran" recover "$image" --record "$record" --output "$out")
mib=$(echo "scale=1; $size / 1048576" | bc -l)
throughput() { echo "scale=0; $size / 1048576 / $1" | bc -l; }
printf '\nRecovery of record %s: %s MiB in %s runs, best of %d rounds\n\n' "$record" "$mib" \
  "$(wc -l <<<"$file_extents")" "$rounds"
row "recovery" "seconds" "MiB/s" "peak memory"
row "---" "---" "---" "---"
row "\`dd\`, one contiguous stretch into a file" "${best[contiguous_dd]}" "$(throughput "${best[contiguous_dd]}")" ""
row "\`dd\` of its extents into a file" "${best[file_dd]}" "$(throughput "${best[file_dd]}")" ""
row "\`salvoran recover --record $record\`" "${best[recover_once]}" "$(throughput "${best[recover_once]}")" "$peak MiB"
row "\`icat\`" "${best[icat_once]}" "$(throughput "${best[icat_once]}")" ""
rm -rf "$out" "$work/dd.out" "$work/icat.out"
