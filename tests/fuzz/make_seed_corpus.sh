#!/usr/bin/env bash
# Makes the seed inputs of the fuzz targets again from the images a build generated, into
# tests/fuzz/corpus/<Target>/ (the files there are replaced by name, others are kept):
#   FuzzOpeningPhase    boot sector + MFT record 0 of each image
#   FuzzRecordDecoder   a deleted file's record (resident, one run, fragmented, sparse) of
#                       each image
#   FuzzRunList         volume cluster count + the run list of $MFT and of those files
#   FuzzScanAndRecover  small crafted volumes with a fragmented MFT and one deleted file of each kind
#   FuzzDeepScan        a block size, then that crafted volume with numbered records, its boot
#                       sector kept or zeroed
#   FuzzLznt1           unit size + the stored clusters of a compressed unit, the shortest and the
#                       longest, of images with deleted compressed files
#   FuzzAttributeList   a base record index + the MFT up to the records its attribute list names,
#                       from the images and crafted
#   FuzzCarving         mode and split bytes + the start of each carving sample
#   FuzzDamagedEwf      a damage mask (8 bytes, a bit for each chunk of 8 KiB) + the crafted
#                       volumes of FuzzScanAndRecover: none, one and every other chunk damaged
# Usage: tests/fuzz/make_seed_corpus.sh BUILD_DIR   (a build with the tests; images in BUILD_DIR/images)
set -euo pipefail
build=$(cd "${1:?usage: make_seed_corpus.sh BUILD_DIR}" && pwd)
root="$(cd "$(dirname "$0")/../.." && pwd)"
seeds="$build/tests/salvoran_fuzz_seeds"
corpus="$root/tests/fuzz/corpus"

cmake --build "$build" --target salvoran_fuzz_seeds test_images
for image in standard-512 standard-4k standard-64k fragmented-mft demo; do
  "$seeds" image "$build/images/$image.img" "$image" "$corpus" 2>/dev/null
done
"$seeds" crafted "$corpus"

damaged="$corpus/FuzzDamagedEwf"
mkdir -p "$damaged"
for volume in "$corpus/FuzzScanAndRecover"/crafted-*; do
  for mask in '\x00\x00\x00\x00\x00\x00\x00\x00' '\x02\x00\x00\x00\x00\x00\x00\x00' '\x55\x00\x00\x00\x00\x00\x00\x00'; do
    { printf "$mask"; cat "$volume"; } > "$damaged/$(basename "$volume")-mask$(printf "$mask" | od -An -tx1 | tr -d ' \n' | cut -c1-2)"
  done
done

# FuzzDiskLayout: small disks made by sfdisk and sgdisk, an NTFS boot sector in partition 1.
layouts="$corpus/FuzzDiskLayout"
mkdir -p "$layouts"
disk=$(mktemp)
trap 'rm -f "$disk"' EXIT
make_disk() {  # NAME FIRST_SECTOR TOOL...: the tool writes the table into a fresh 64 KiB disk
  local name=$1 first=$2
  shift 2
  rm -f "$disk"
  truncate -s 64K "$disk"
  "$@" "$disk" >/dev/null
  dd if="$build/images/demo.img" of="$disk" bs=512 seek="$first" count=1 conv=notrunc status=none
  cp "$disk" "$layouts/$name"
}
make_disk mbr-logical 8 sh -c 'printf "start=8,size=24,type=7\nstart=32,size=88,type=5\nstart=40,size=16,type=7\nstart=64,size=16,type=83\n" | sfdisk --quiet "$0"'
make_disk gpt 34 sgdisk --set-alignment=1 --new=1:34:63 --typecode=1:0700 --new=2:64:94 --typecode=2:8300

# FuzzCarving: a mode byte (0: a format's unit, 1: the carver), a split byte, then a real file of
# each carved format from the carving samples, at most its first 16 KiB.
carving="$corpus/FuzzCarving"
mkdir -p "$carving"
for sample in "$build"/images/carving-samples/*.*; do
  name=$(basename "$sample")
  for mode in 0 1; do
    { printf "\\x$mode\\x2a"; head -c 16384 "$sample"; } > "$carving/$mode-$name"
  done
done

du -sh --apparent-size "$corpus"/*
