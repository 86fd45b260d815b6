#!/usr/bin/env bash
# On bare X servers of several sizes (no window manager), the full-screen
# window covers the whole screen, the picture fills it (bars where the
# aspect differs), and a click where the sequence panel's
# "Insert" button is drawn, scaled from back-buffer pixels to the screen,
# reaches that button: the sequence written at exit holds one slide.
source "$(dirname "$0")/lib.sh"

# The sequence panel stands at (116, 65) with an 18-pixel caption; "Insert"
# is 50 x 20 at (100, 5) in its body: centre (241, 98) in the back buffer.
BX=241
BY=98

# picture W H: the back buffer's 16:9 picture inside a W x H screen,
# as "x y w h" (bars where the aspect differs).
picture() {
  local w=$1 h=$2
  if [ $((w * 1080)) -le $((h * 1920)) ]; then
    local ph=$(((w * 1080 * 2 + 1920) / 3840))
    echo "0 $(((h - ph) / 2)) $w $ph"
  else
    local pw=$(((h * 1920 * 2 + 1080) / 2160))
    echo "$(((w - pw) / 2)) 0 $pw $h"
  fi
}

pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

for size in 1920x1080 1280x720 1280x1024; do
  sw=${size%x*}
  sh=${size#*x}
  run="$WORK/$size"
  show_folder "$run"
  start_xvfb "$size"
  cd "$run"
  SDL_AUDIODRIVER=dummy "$PLAYER" &
  pid=$!
  wait_for_window
  sleep 1
  win=$(xdotool search --name "Morvane Player" | head -1)
  geometry=$(xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
  [ "$geometry" = "0 0 $sw $sh" ] || { echo "$size: window at $geometry"; exit 1; }

  # The picture reaches the screen's edges (or its bars, where the aspect
  # differs): the composed frame's black bands, a tenth of its height, at
  # its top and bottom, the cleared scene (the frame's clear colour) between
  # them out to its left and right edges.
  read -r px py pw ph <<<"$(picture "$sw" "$sh")"
  band=$(((108 * ph + 1079) / 1080 + 1))
  top=$((py + band)) bottom=$((py + ph - 1 - band))
  wait_for_picture "$run/screen.png" "$px" "$top" "10,20,40"
  for corner in "$px $top" "$((px + pw - 1)) $top" "$px $bottom" "$((px + pw - 1)) $bottom"; do
    # shellcheck disable=SC2086
    c=$(pixel "$run/screen.png" $corner)
    [ "$c" = "10,20,40" ] || { echo "$size: pixel at $corner is $c"; exit 1; }
  done
  # The bands, and the bars where there are any, are black.
  for edge in "$px $py" "$((px + pw - 1)) $((py + ph - 1))" "0 $((py > 0 ? py - 1 : 0))"; do
    # shellcheck disable=SC2086
    c=$(pixel "$run/screen.png" $edge)
    [ "$c" = "0,0,0" ] || { echo "$size: band pixel at $edge is $c"; exit 1; }
  done

  # The screen pixel whose centre lies over the button's centre.
  cx=$((px + (2 * BX + 1) * pw / 3840))
  cy=$((py + (2 * BY + 1) * ph / 2160))
  xdotool mousemove --sync "$cx" "$cy" click 1
  sleep 0.5
  xdotool key Escape
  rc=0
  wait_exit "$pid" 30 || rc=$?
  [ "$rc" -eq 0 ] || { echo "$size: exit code $rc"; exit 1; }
  [ -f media/sequence.mv ] || { echo "$size: media/sequence.mv not written"; exit 1; }
  count=$(od -An -tx1 -j13 -N4 media/sequence.mv | tr -d ' \n')
  [ "$count" = "01000000" ] || { echo "$size: slide count $count after a click at $cx,$cy"; exit 1; }
  bytes=$(stat -c %s media/sequence.mv)
  [ "$bytes" -eq $((17 + 532)) ] || { echo "$size: sequence.mv is $bytes bytes"; exit 1; }
  echo "$size: window $geometry, click at $cx,$cy inserted a slide"
  cd "$WORK"
  stop_xvfb
done
