#!/usr/bin/env bash
# A click on the device panel's "Full Show (TAB)" button, where it stands,
# clears GUI hidden: the yellow overlay text appears at (320, 5) where
# there was none before.
source "$(dirname "$0")/lib.sh"

# The device panel stands at (100, 200) with an 18-pixel caption; the
# button is 125 x 22 at (0, 116) in its body: centre (162, 345).
BX=162
BY=345

# Yellow pixels in the overlay's three lines (x 320..1000, y 5..50).
yellow_pixels() {
  convert "$1" -crop 680x46+320+5 +repage -fx '(r>0.8 && g>0.8 && b<0.3) ? 1 : 0' \
    -format "%[fx:int(mean*w*h+0.5)]" info:
}

run="$WORK/run"
show_folder "$run"
start_xvfb 1920x1080
cd "$run"
SDL_AUDIODRIVER=dummy "$PLAYER" &
pid=$!
wait_for_window
# The first picture (clear colour in the middle; the full show may bar the
# top and bottom) before anything else.
wait_for_picture "$run/before.png" 960 540 "10,20,40"
before=$(yellow_pixels "$run/before.png")
[ "$before" -eq 0 ] || { echo "yellow overlay before the click: $before pixels"; exit 1; }

xdotool mousemove --sync "$BX" "$BY" click 1
sleep 1
import -window root "$run/after.png"
after=$(yellow_pixels "$run/after.png")
[ "$after" -gt 200 ] || { echo "no overlay after the click: $after yellow pixels"; exit 1; }

xdotool key Escape
rc=0
wait_exit "$pid" 30 || rc=$?
[ "$rc" -eq 0 ] || { echo "exit code $rc"; exit 1; }
echo "overlay: $before yellow pixels before the click, $after after"
