#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the release build with the
# desktop program and its Debian package, a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and short fuzzing runs of every fuzz target (the sanitizer
# build's tests replay their corpus).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=$(nproc)

echo "== Release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORAN_BUILD_GUI=ON
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Debian package: build, unpack into a scratch root, run"
bash scripts/check-package.sh build

echo "== Sanitizer build (ASan + UBSan) and tests"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DSALVORAN_BUILD_GUI=OFF -DSALVORAN_SANITIZE=ON -DSALVORAN_FUZZ=ON
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

echo "== Fuzzing"
SALVORAN_FUZZ_JOBS="$jobs" bash scripts/fuzz.sh build-sanitize "${SALVORAN_FUZZ_SECONDS:-20}"
