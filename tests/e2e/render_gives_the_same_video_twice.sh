#!/usr/bin/env bash
# morvane-render of three seconds of the short demo show: the same frames
# twice, and an MP4 whose frame count and duration match, with the music.
source "$(dirname "$0")/lib.sh"
"$DEMO" --short --fx "$MV_SOURCE_DIR/fx" "$WORK/show" >/dev/null
cd "$WORK/show"
for run in a b; do
  "$RENDER" --size 320x180 --fps 25 --to 3 "$WORK/$run" >"$WORK/$run.out" 2>&1 || { cat "$WORK/$run.out"; exit 1; }
done
grep -q "75 frames" "$WORK/a.out" || { cat "$WORK/a.out"; echo "not 75 frames"; exit 1; }
n=$(ls "$WORK/a" | grep -c '^frame-.*\.png$')
[ "$n" -eq 75 ] || { echo "$n PNG frames"; exit 1; }
for f in "$WORK"/a/frame-*.png; do
  cmp -s "$f" "$WORK/b/$(basename "$f")" || { echo "$(basename "$f") differs between two renders"; exit 1; }
done
probe=$("$PROBE" mp4 "$WORK/a/show.mp4") || { echo "no readable MP4"; exit 1; }
echo "$probe"
val() { echo "$probe" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
[ "$(val frames)" = 75 ] || { echo "the MP4 holds $(val frames) frames"; exit 1; }
[ "$(val size)" = 320x180 ] || { echo "the MP4 is $(val size)"; exit 1; }
[ "$(val audio)" = aac ] || { echo "sound is $(val audio)"; exit 1; }
awk -v d="$(val duration)" 'BEGIN { exit !(d > 2.999 && d < 3.001) }' || { echo "video lasts $(val duration) s"; exit 1; }
# Sound and pictures end together: AAC adds at most one block of 1024 samples.
awk -v d="$(val audio_seconds)" 'BEGIN { exit !(d >= 2.99 && d <= 3.0 + 2048 / 44100) }' ||
  { echo "sound lasts $(val audio_seconds) s"; exit 1; }
awk -v p="$(val peak)" 'BEGIN { exit !(p > 0.1) }' || { echo "the MP4's sound is silent"; exit 1; }
# --from: the same pictures as the matching frames of the whole run.
"$RENDER" --size 320x180 --from 2 --to 3 --no-mp4 "$WORK/c" >/dev/null 2>&1
cmp -s "$WORK/c/frame-000001.png" "$WORK/a/frame-000051.png" || { echo "--from 2 does not start at frame 51"; exit 1; }
[ "$(ls "$WORK/c" | wc -l)" -eq 25 ] || { echo "--from 2 --to 3 wrote $(ls "$WORK/c" | wc -l) files"; exit 1; }
echo "identical twice, MP4 matches"
