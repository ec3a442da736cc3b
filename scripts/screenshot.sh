#!/usr/bin/env bash
# Takes the README's pictures with the desktop program under a real X server (Xvfb), started and
# browsed from the keyboard as a user would: docs/screenshot.png after a scan of the demo volume,
# docs/preview.png with the preview pane showing a partly overwritten picture of the preview volume.
#   bash scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
screen=1280x800x24

if [ "${1:-}" != "--inside-x" ]; then
  build=${1:-build}
  program="$build/ui/corvath-salvoran"
  for image in demo preview; do
    if [ ! -x "$program" ] || [ ! -f "$build/images/$image.img" ]; then
      echo "Build first: cmake --build $build --target corvath-salvoran test_image_demo test_image_preview" >&2
      exit 1
    fi
  done
  mkdir -p docs
  exec xvfb-run -a -s "-screen 0 $screen -dpi 96" bash "$0" --inside-x "$program" "$build/images"
fi

program=$2
images=$3

# Starts the program on an image with settings of its own (the pane hidden, as for a new user),
# sizes its window, scans, sends the keys, and saves the window as output.
shoot() {
  local image=$1 output=$2 size=$3
  shift 3
  local settings
  settings=$(mktemp -d)
  XDG_CONFIG_HOME=$settings "$program" --image "$image" 2>/dev/null &
  local pid=$!
  local window
  window=$(xdotool search --sync --onlyvisible --name "Corvath Salvoran FREE" | head -n 1)
  # An empty size keeps the one the window opens with.
  [ -z "$size" ] || xdotool windowsize "$window" $size
  xdotool windowmove "$window" 60 60
  xdotool windowfocus --sync "$window"
  sleep 1
  # The list has the focus first; five tabs reach Scan Now past the filter box and its check box,
  # the disabled recover button, the drive box and Open Image.
  xdotool key --delay 150 Tab Tab Tab Tab Tab space
  sleep 2
  "$@"
  sleep 1
  import -window root -crop "$(xdotool getwindowgeometry --shell "$window" | awk -F= '
    /^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2}
    END{printf "%dx%d+%d+%d", w, h, x, y}')" +repage "$output"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$settings"
  echo "Saved $output"
}

browse_demo() {
  # The list of files has the focus again after the scan: typing the start of a category moves
  # to it, and the right arrow opens it.
  xdotool type --delay 100 "Gra"
  xdotool key --delay 150 Right
  sleep 1
  xdotool type --delay 100 "Doc"
  # Tick one file: its category shows a partly ticked box.
  xdotool key --delay 150 Right Down Down space
  # The filter box comes next after the list: a year finds files by name and by folder.
  xdotool key --delay 150 Tab
  xdotool type --delay 100 "2023"
}

browse_preview() {
  # Alt+P shows the pane; the second picture is the one a newer file has partly written over.
  xdotool key --delay 150 alt+p
  xdotool type --delay 100 "Gra"
  xdotool key --delay 150 Right Down Down
}

# The size the window opens with, where every column of the list shows.
shoot "$images/demo.img" docs/screenshot.png "" browse_demo
shoot "$images/preview.img" docs/preview.png "1000 720" browse_preview
