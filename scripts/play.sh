#!/usr/bin/env bash
# Plays the show in the working folder run/ (made on first use).
set -euo pipefail
BUILD=$(cd "${1:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=${MORVANE_WORKDIR:-$ROOT/run}
mkdir -p "$WORK/media/music" "$WORK/media/mesh" "$WORK/media/template"
# The effect files are shipped data: keep the working folder's copy current.
rm -rf "$WORK/fx" && cp -r "$ROOT/fx" "$WORK/fx"
if [ -x "$BUILD/tools/morvane-demo" ] && [ ! -f "$WORK/media/sequence.mv" ]; then
  "$BUILD/tools/morvane-demo" "$WORK"
fi
cd "$WORK"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: playing under Xvfb (a virtual 1920x1080 screen). Ctrl+C stops it."
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$BUILD/src/app/morvane-player"
fi
exec "$BUILD/src/app/morvane-player"
