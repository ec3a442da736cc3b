#!/usr/bin/env bash
# Makes the seed inputs of the fuzz targets again from the images a build generated, into
# tests/fuzz/corpus/<Target>/ (the files there are replaced by name, others are kept):
#   FuzzOpeningPhase    boot sector + MFT record 0 of each image
#   FuzzRecordDecoder   a deleted file's record (resident, one run, fragmented, sparse) of
#                       each image
#   FuzzRunList         volume cluster count + the run list of $MFT and of those files
#   FuzzScanAndRecover  small crafted volumes with a fragmented MFT and one deleted file of each kind
#   FuzzLznt1           unit size + the stored clusters of a compressed unit, the shortest and the
#                       longest, of images with deleted compressed files
#   FuzzAttributeList   a base record index + the MFT up to the records its attribute list names,
#                       from the images and crafted
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
du -sh --apparent-size "$corpus"/*
