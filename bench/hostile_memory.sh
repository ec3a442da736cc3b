#!/usr/bin/env bash
# Peak resident memory and time of `salvoran scan` and `salvoran recover --all` on the worst
# images of the hostile-image matrix (tests/HostileImageTest.cpp), with the demo volume for
# comparison: a scan's memory must not grow with what hostile fields claim, and a recovery must
# stay under 64 MiB whatever its run list says.
# Usage: bench/hostile_memory.sh BUILD_DIR   (a release build with the tests and images)
set -euo pipefail
build=$(cd "${1:?usage: hostile_memory.sh BUILD_DIR}" && pwd)
salvoran="$build/cli/salvoran"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/images"
# The matrix writes each case's image; its checks run too.
SALVORAN_KEEP_HOSTILE_IMAGES="$work/images" "$build/tests/salvoran_tests" \
  --gtest_filter='Matrix/HostileImage.*' --gtest_brief=1 > "$work/tests.log" 2>&1 ||
  { cat "$work/tests.log"; exit 1; }
cp "$build/images/demo.img" "$work/images/DemoVolume.img"

cases=(DemoVolume MftClaimingTwoBillionRecords CutInTheMiddleOfTheMft LaterRecordsRandomWithSignature
       RunListClaimingTerabytes SparseTerabyte RunsPastTheImagesEnd AttributeLengthFFFFFFFF
       FileNameLengthPastTheAttribute HostileNames MftRunListWithoutEnd RecordSizeCode7F
       SizeBeyondItsClusters CompressionUnitsOfTwoBillionClusters AttributeListNamingEightThousandRecords
       AttributeListPastTheLimit FolderChainInALoop BitmapAndRunClaimingPetabytes
       ListsNamingTheSameRecords MftListOfEightThousandPieces FileOfMillionsOfRuns
       CompressedFileClaimingFourExbibytes BitmapShorterThanTheVolume)

# Field of /usr/bin/time -v's report.
field() { sed -n "s/^[[:space:]]*$1: //p" "$2"; }

printf '%-34s %8s %12s %8s %12s %8s\n' case scan "peak KiB" recover "peak KiB" seconds
for name in "${cases[@]}"; do
  image="$work/images/$name.img"
  /usr/bin/time -v -o "$work/scan.time" "$salvoran" scan "$image" > /dev/null 2>&1 && scan=0 || scan=$?
  rm -rf "$work/out"
  /usr/bin/time -v -o "$work/recover.time" "$salvoran" recover "$image" --all --output "$work/out" \
    > /dev/null 2>&1 && recover=0 || recover=$?
  printf '%-34s %8s %12s %8s %12s %8s\n' "$name" "$scan" \
    "$(field 'Maximum resident set size (kbytes)' "$work/scan.time")" "$recover" \
    "$(field 'Maximum resident set size (kbytes)' "$work/recover.time")" \
    "$(field 'Elapsed (wall clock) time (h:mm:ss or m:ss)' "$work/recover.time")"
done
