#!/usr/bin/env bash
# `make play` without a display, on the short demo show: the show plays to
# its end with no input, the player exits 0, there is one screenshot per
# slide, each showing a picture of its own, and the music really reached the output (SDL's disk driver).
source "$(dirname "$0")/lib.sh"
export MORVANE_WORKDIR=$WORK/show MORVANE_DEMO_ARGS=--short MORVANE_SHOTS=$WORK/shots MORVANE_SHOT_DELAY=0.8
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/heard.raw
unset DISPLAY WAYLAND_DISPLAY
rc=0
timeout 170 bash "$MV_SOURCE_DIR/scripts/play.sh" "$MV_BUILD_DIR" >"$WORK/play.out" 2>&1 || rc=$?
cat "$WORK/play.out"
[ "$rc" -eq 0 ] || { echo "play ended with $rc"; exit 1; }
grep -q "Screenshots, one per slide: $WORK/shots" "$WORK/play.out" || { echo "where the screenshots are was not said"; exit 1; }
slides=$(od -An -tu4 -j13 -N4 "$MORVANE_WORKDIR/media/sequence.mv" | tr -d ' ')
[ "$slides" -ge 5 ] || { echo "only $slides slides"; exit 1; }
shots=$(ls "$WORK/shots" | wc -l)
[ "$shots" -eq "$slides" ] || { echo "$shots screenshots for $slides slides"; exit 1; }
# The music: what the disk driver wrote is not silence.
peak=$("$PROBE" f32 "$WORK/heard.raw" | sed 's/.*peak=//')
awk -v p="$peak" 'BEGIN { exit !(p > 0.1) }' || { echo "the output was silent (peak $peak)"; exit 1; }
# Each slide's screenshot shows a picture (not one flat colour) and differs
# from every other slide's.
flat() { convert "$1" -colorspace gray -format '%[fx:standard_deviation]' info:; }
for f in "$WORK"/shots/*.png; do
  sd=$(flat "$f")
  awk -v s="$sd" 'BEGIN { exit !(s > 0.02) }' || { echo "$(basename "$f") is blank (deviation $sd)"; exit 1; }
done
set -- "$WORK"/shots/*.png
while [ $# -gt 1 ]; do
  a=$1; shift
  for b in "$@"; do
    d=$( (compare -metric RMSE "$a" "$b" null: 2>&1 || true) | sed -E 's/.*\(([0-9.e+-]+)\).*/\1/')
    awk -v d="$d" 'BEGIN { exit !(d > 0.01) }' || { echo "$(basename "$a") and $(basename "$b") look the same ($d)"; exit 1; }
  done
done
echo "played $slides slides, $shots screenshots, each a picture of its own; output peak $peak"
