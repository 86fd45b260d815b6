#!/usr/bin/env bash
# With the GUI hidden the screen shows none of the panels; after a click on
# "Full Show (TAB)" they are drawn, and a click on the sequence panel's
# "Insert" button where the screenshot shows it inserts a slide (the
# sequence written at exit holds one).
source "$(dirname "$0")/lib.sh"

pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
# A light, greyish button face: every channel above 110.
is_face() {
  local r g b
  IFS=, read -r r g b <<<"$1"
  [ "$r" -gt 110 ] && [ "$g" -gt 110 ] && [ "$b" -gt 110 ]
}

# The device panel stands at (100, 200) with an 18-pixel caption;
# "Full Show (TAB)" is 125 x 22 at (0, 116) in its body. The sequence
# panel stands at (116, 65); "Insert" is 50 x 20 at (100, 5) in its body.
FULL_X=162 FULL_Y=345
INSERT_X=241 INSERT_Y=98
# Points on the two faces, clear of their labels and borders.
FULL_FACE="104 338"
INSERT_FACE="219 91"
# The same row, left of every panel.
BESIDE="20 91"

run="$WORK/run"
show_folder "$run"
start_xvfb 1920x1080
cd "$run"
SDL_AUDIODRIVER=dummy "$PLAYER" &
pid=$!
wait_for_window
wait_for_picture "$run/hidden.png" 960 540 "10,20,40"
# shellcheck disable=SC2086
hidden=$(pixel "$run/hidden.png" $INSERT_FACE)
# The full show may draw black bars over the top rows, so the Insert spot
# must look like the same row left of every panel, and not like a face.
# shellcheck disable=SC2086
beside=$(pixel "$run/hidden.png" $BESIDE)
[ "$hidden" = "$beside" ] && ! is_face "$hidden" ||
  { echo "something drawn where the hidden Insert button is: $hidden (beside the panels: $beside)"; exit 1; }

xdotool mousemove --sync "$FULL_X" "$FULL_Y" click 1
sleep 1
import -window root "$run/shown.png"
# shellcheck disable=SC2086
full=$(pixel "$run/shown.png" $FULL_FACE)
# shellcheck disable=SC2086
insert=$(pixel "$run/shown.png" $INSERT_FACE)
is_face "$full" || { echo "no button face drawn at Full Show: $full"; exit 1; }
is_face "$insert" || { echo "no button face drawn at Insert: $insert"; exit 1; }

xdotool mousemove --sync "$INSERT_X" "$INSERT_Y" click 1
sleep 0.5
xdotool key Escape
rc=0
wait_exit "$pid" 30 || rc=$?
[ "$rc" -eq 0 ] || { echo "exit code $rc"; exit 1; }
[ -f media/sequence.mv ] || { echo "media/sequence.mv not written"; exit 1; }
count=$(od -An -tx1 -j13 -N4 media/sequence.mv | tr -d ' \n')
[ "$count" = "01000000" ] || { echo "slide count $count after clicking the drawn Insert button"; exit 1; }
echo "hidden: $hidden at Insert; shown: Full Show face $full, Insert face $insert; the click inserted a slide"
