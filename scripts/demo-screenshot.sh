#!/usr/bin/env bash
# docs/demo-show.png: a picture of the demo show (its first slide, seven
# seconds in), made by the project's own tools: morvane-demo, then
# morvane-render.
#   scripts/demo-screenshot.sh [BUILD]
set -euo pipefail
BUILD=$(cd "${1:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=$(mktemp -d /tmp/mv-shot.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/tools/morvane-demo" --fx "$ROOT/fx" "$WORK/show" >/dev/null
cd "$WORK/show"
"$BUILD/tools/morvane-render/morvane-render" --size 960x540 --from 7 --to 7.04 --no-mp4 "$WORK/out" >/dev/null 2>&1
mkdir -p "$ROOT/docs"
cp "$WORK/out/frame-000001.png" "$ROOT/docs/demo-show.png"
echo "$ROOT/docs/demo-show.png"
