#!/usr/bin/env bash
# A crafted slide whose post-process chain is "Bloom" changes the picture
# against the same slide without a chain: far more than the slide changes
# by itself from one second to the next.
source "$(dirname "$0")/lib.sh"

# Pixels that differ by more than 5 % between two screenshots.
differing() {
  # AE may come as "1.2e+06"; the exit code is 1 when the images differ.
  { compare -metric AE -fuzz 5% "$1" "$2" null: 2>&1 || true; } | awk '{ printf "%d", $1 }'
}
# Mean brightness of the middle of the view, 0..1000.
brightness() {
  convert "$1" -crop 1200x700+360+190 +repage -colorspace Gray -format "%[fx:int(1000*mean+0.5)]" info:
}

start_xvfb 1920x1080
"$MAKE_SHOW" "$WORK/plain" 1 1500 --objects
"$MAKE_SHOW" "$WORK/bloom" 1 1500 --objects --chain Bloom
shoot_show "$WORK/plain" "$WORK/plain.png" "$WORK/plain2.png"
shoot_show "$WORK/bloom" "$WORK/bloom.png" "$WORK/bloom2.png"
by_itself=$(differing "$WORK/plain.png" "$WORK/plain2.png")
by_chain=$(differing "$WORK/plain.png" "$WORK/bloom.png")
[ "$by_chain" -gt 5000 ] || { echo "the chain hardly changes the picture: $by_chain pixels"; exit 1; }
[ "$by_chain" -gt $((by_itself * 4 + 1000)) ] ||
  { echo "the chain changes no more than time does: $by_chain against $by_itself pixels"; exit 1; }
# A bloom lights the dark around bright things: the view gets brighter.
plain=$(brightness "$WORK/plain.png")
bloom=$(brightness "$WORK/bloom.png")
[ "$bloom" -gt "$plain" ] || { echo "no brighter with the bloom: $bloom against $plain"; exit 1; }
echo "bloom: $by_chain pixels changed (the slide alone: $by_itself), brightness $plain -> $bloom"
