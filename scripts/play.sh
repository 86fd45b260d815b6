#!/usr/bin/env bash
# `make play`: builds the demo show once into a working folder under the
# build tree (again whenever the generator changes) and plays it there, full
# screen. Without a display it plays the show to its end on a virtual
# screen, takes one screenshot per slide, says where they are and exits with
# the player's code.
#
#   MORVANE_WORKDIR     play this show folder instead (made with the demo if empty)
#   MORVANE_DEMO_ARGS   options for the generator (e.g. --short: three seconds a slide)
#   MORVANE_SHOTS       where the screenshots go (default: <show>/screenshots)
#   MORVANE_SHOT_DELAY  seconds after a slide starts to take its screenshot (default 5)
set -euo pipefail
BUILD=$(cd "${1:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=${MORVANE_WORKDIR:-$BUILD/demo-show}
PLAYER=$BUILD/src/app/morvane-player
DEMO=$BUILD/tools/morvane-demo
DEMO_ARGS=${MORVANE_DEMO_ARGS:-}

# The show is made once and kept while the generator (and its options) stay
# the same: edits saved from the player's panels survive.
stamp="$(sha256sum "$DEMO" | cut -d' ' -f1) $DEMO_ARGS"
if [ ! -f "$WORK/media/sequence.mv" ] || [ "$(cat "$WORK/.demo-stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "Writing the demo show into $WORK ..."
  # shellcheck disable=SC2086
  "$DEMO" $DEMO_ARGS --fx "$ROOT/fx" "$WORK"
  echo "$stamp" > "$WORK/.demo-stamp"
fi
# The effect files are shipped data: keep the working folder's copy current.
rm -rf "$WORK/fx" && cp -r "$ROOT/fx" "$WORK/fx"
cd "$WORK"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Playing $WORK full screen: Escape quits; a click at (162, 345), the \"Full Show (TAB)\" button, shows the panels."
  exec "$PLAYER"
fi

# ---- no display: a virtual screen, one screenshot per slide ----------------
SHOTS=${MORVANE_SHOTS:-$WORK/screenshots}
DELAY=${MORVANE_SHOT_DELAY:-5}
rm -rf "$SHOTS" && mkdir -p "$SHOTS"
LOG=$WORK/player.log
fifo=$(mktemp -u /tmp/morvane-xvfb.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
XVFB=$!
PID=""
finish() {
  [ -n "$PID" ] && kill "$PID" 2>/dev/null || true
  kill "$XVFB" 2>/dev/null || true
  wait "$XVFB" 2>/dev/null || true
  rm -f "$fifo"
}
trap finish EXIT
read -r -t 20 num <"$fifo" || { echo "the virtual screen (Xvfb) did not start"; exit 1; }
export DISPLAY=":$num"
echo "No display: playing the show to its end on a virtual 1920x1080 screen ($WORK)."
MORVANE_LOG=1 "$PLAYER" 2>"$LOG" &
PID=$!
# Every slide load logs "loading skyBoxManager...": a screenshot a little later.
seen=0
while kill -0 "$PID" 2>/dev/null; do
  n=$(grep -c 'loading skyBoxManager' "$LOG" 2>/dev/null || true)
  if [ "${n:-0}" -gt "$seen" ]; then
    seen=$n
    sleep "$DELAY"
    if kill -0 "$PID" 2>/dev/null; then
      import -window root "$SHOTS/$(printf 'slide-%02d.png' "$seen")" 2>/dev/null || true
      echo "  slide $seen: $SHOTS/$(printf 'slide-%02d.png' "$seen")"
    fi
  fi
  sleep 0.1
done
rc=0
wait "$PID" || rc=$?
PID=""
echo "The show ended (exit code $rc). Screenshots, one per slide: $SHOTS"
exit "$rc"
