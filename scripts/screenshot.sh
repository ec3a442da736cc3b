#!/usr/bin/env bash
# Takes docs/screenshot.png: the desktop program under a real X server (Xvfb) after a scan of
# the demo volume, started and browsed from the keyboard as a user would.
#   bash scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program="$build/ui/corvath-salvoran"
image="$build/images/demo.img"
output=docs/screenshot.png
screen=1280x800x24

if [ "${1:-}" != "--inside-x" ]; then
  if [ ! -x "$program" ] || [ ! -f "$image" ]; then
    echo "Build first: cmake --build $build --target corvath-salvoran test_image_demo" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$output")"
  exec xvfb-run -a -s "-screen 0 $screen -dpi 96" bash "$0" --inside-x "$program" "$image" "$output"
fi

program=$2
image=$3
output=$4
"$program" --image "$image" 2>/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=$(xdotool search --sync --onlyvisible --name "Corvath Salvoran FREE" | head -n 1)
# The size the window opens with, where every column of the list shows.
xdotool windowmove "$window" 60 60
xdotool windowfocus --sync "$window"
sleep 1
# The list has the focus first; five tabs reach Scan Now past the filter box and its check box,
# the disabled recover button, the drive box and Open Image.
xdotool key --delay 150 Tab Tab Tab Tab Tab space
sleep 2
# The list of files has the focus again after the scan: typing the start of a category moves to
# it, and the right arrow opens it.
xdotool type --delay 100 "Gra"
xdotool key --delay 150 Right
sleep 1
xdotool type --delay 100 "Doc"
# Tick one file: its category shows a partly ticked box.
xdotool key --delay 150 Right Down Down space
# The filter box comes next after the list: a year finds files by name and by folder.
xdotool key --delay 150 Tab
xdotool type --delay 100 "2023"
sleep 1
import -window root -crop "$(xdotool getwindowgeometry --shell "$window" | awk -F= '
  /^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2}
  END{printf "%dx%d+%d+%d", w, h, x, y}')" +repage "$output"
echo "Saved $output"
