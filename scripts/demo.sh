#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the demo volume: list its deleted
# files, restore them all, and show what came back. Opens the desktop program on the same
# volume when a display is available.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORAN_BUILD_GUI=ON >/dev/null
cmake --build build -j "$(nproc)" --target salvoran test_image_demo $(test -n "${DISPLAY:-}" && echo corvath-salvoran)

demo=build/images/demo.img
restored=$(mktemp -d /tmp/salvoran-demo.XXXXXX)

echo "== salvoran info $demo"
build/cli/salvoran info "$demo" 2>/dev/null
echo
echo "== salvoran scan $demo"
build/cli/salvoran scan "$demo" 2>/dev/null
echo
echo "== salvoran recover $demo --all --output $restored"
build/cli/salvoran recover "$demo" --all --output "$restored" 2>/dev/null || true
echo
ls -l "$restored"

if [ -n "${DISPLAY:-}" ]; then
  echo "== Opening the desktop program on the demo volume"
  build/ui/corvath-salvoran --image "$demo" &
fi
