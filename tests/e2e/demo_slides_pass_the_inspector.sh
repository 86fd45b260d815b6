#!/usr/bin/env bash
# Every slide of the demo show, and its sequence file, read as the player
# reads them; the show lasts one to two minutes; its slides differ.
source "$(dirname "$0")/lib.sh"
"$DEMO" --fx "$MV_SOURCE_DIR/fx" "$WORK/show" >/dev/null
cd "$WORK/show"
"$SLIDE" check media/sequence.mv
count=0
total_ms=0
while read -r path ms; do
  "$SLIDE" check "$path" || { echo "$path does not pass"; exit 1; }
  count=$((count + 1))
  total_ms=$((total_ms + ms))
done < <("$SLIDE" dump media/sequence.mv 2>/dev/null | grep -E '"(duration|path)"' | paste - - |
         sed -E 's/.*"duration": ([0-9]+).*"path": "([^"]*)".*/\2 \1/; s/\\\\/\//g')
[ "$count" -ge 5 ] || { echo "only $count slides"; exit 1; }
[ "$total_ms" -ge 60000 ] && [ "$total_ms" -le 120000 ] || { echo "the show lasts $total_ms ms"; exit 1; }
# No two slides are the same file.
dupes=$(md5sum media/DSlide* | cut -d' ' -f1 | sort | uniq -d | wc -l)
[ "$dupes" -eq 0 ] || { echo "identical slides"; exit 1; }
echo "$count slides pass, $total_ms ms"
