#!/usr/bin/env bash
# A slide crafted with a generated mesh and a 3D text shows them: the view
# holds many colours where the same show without them is one flat colour,
# the yellow text above the middle and the green shape below it.
source "$(dirname "$0")/lib.sh"

# Distinct colours in the middle of the view (clear of the full show's bars).
colours() {
  convert "$1" -crop 1200x700+360+190 +repage -format "%k" info:
}

# Pixels of a colour inside a rectangle: count FILE WxH+X+Y FX-TEST.
count() {
  convert "$1" -crop "$2" +repage -fx "$3 ? 1 : 0" -format "%[fx:int(mean*w*h+0.5)]" info:
}

start_xvfb 1920x1080
"$MAKE_SHOW" "$WORK/plain" 1 1500
"$MAKE_SHOW" "$WORK/objects" 1 1500 --objects
[ -f "$WORK/objects/media/mesh/objects.mesh" ] || { echo "no catalog written"; exit 1; }
shoot_show "$WORK/plain" "$WORK/plain.png"
shoot_show "$WORK/objects" "$WORK/objects.png"
plain=$(colours "$WORK/plain.png")
objects=$(colours "$WORK/objects.png")
[ "$plain" -le 4 ] || { echo "the show without objects is not flat: $plain colours"; exit 1; }
[ "$objects" -ge 40 ] || { echo "the objects do not show: $objects colours"; exit 1; }
yellow=$(count "$WORK/objects.png" 720x350+600+190 'r>0.3 && g>0.3 && b<0.2')
green=$(count "$WORK/objects.png" 720x360+600+540 'g>0.12 && g>r+0.08 && g>b')
[ "$yellow" -gt 2000 ] || { echo "no 3D text above the middle: $yellow yellow pixels"; exit 1; }
[ "$green" -gt 2000 ] || { echo "no generated mesh below the middle: $green green pixels"; exit 1; }
echo "text: $yellow yellow pixels, shape: $green green pixels"
echo "colours in the view: $plain without the objects, $objects with them"
