#!/usr/bin/env bash
# CPU used by an idle player (empty show, nothing to do but frames) on a
# bare Xvfb screen. Each PLAYER given runs in turn, in a fresh folder on a
# fresh Xvfb; after it has settled, the CPU time of all its threads (and of
# the X server) is read from /proc over the measured seconds.
#
#   bench/idle_player_cpu.sh [-s SECONDS] [-g WxH] [-w SETTLE] PLAYER...
#
# Give an older build beside the current one to compare them under the same
# load. One line per player: its share of one core, then the X server's.
set -euo pipefail

SECONDS_MEASURED=10
GEOMETRY=1920x1080
SETTLE=3
while getopts "s:g:w:" opt; do
  case $opt in
    s) SECONDS_MEASURED=$OPTARG ;;
    g) GEOMETRY=$OPTARG ;;
    w) SETTLE=$OPTARG ;;
    *) echo "usage: $0 [-s SECONDS] [-g WxH] [-w SETTLE] PLAYER..." >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "usage: $0 [-s SECONDS] [-g WxH] [-w SETTLE] PLAYER..." >&2; exit 2; }

TICK=$(getconf CLK_TCK)
WORK=$(mktemp -d /tmp/mv-idle.XXXXXX)
XVFB_PID=""
PLAYER_PID=""
cleanup() {
  [ -n "$PLAYER_PID" ] && kill "$PLAYER_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# cpu_ticks PID: user + system time of every thread so far.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

for player in "$@"; do
  player=$(readlink -f "$player")
  [ -x "$player" ] || { echo "$player: not a program" >&2; exit 1; }
  run=$(mktemp -d "$WORK/run.XXXX")
  mkdir -p "$run/media"
  mkfifo "$run/.displayfd"
  Xvfb -displayfd 3 -screen 0 "${GEOMETRY}x24" -nolisten tcp 3>"$run/.displayfd" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r -t 20 num <"$run/.displayfd" || { echo "Xvfb did not start" >&2; exit 1; }
  (cd "$run" && DISPLAY=":$num" SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 exec "$player" >/dev/null 2>&1) &
  PLAYER_PID=$!
  sleep "$SETTLE"
  kill -0 "$PLAYER_PID" 2>/dev/null || { echo "$player exited early" >&2; exit 1; }
  p0=$(cpu_ticks "$PLAYER_PID")
  x0=$(cpu_ticks "$XVFB_PID")
  t0=$(date +%s.%N)
  sleep "$SECONDS_MEASURED"
  p1=$(cpu_ticks "$PLAYER_PID")
  x1=$(cpu_ticks "$XVFB_PID")
  t1=$(date +%s.%N)
  DISPLAY=":$num" xdotool key Escape 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$PLAYER_PID" 2>/dev/null || break; sleep 0.1; done
  kill "$PLAYER_PID" 2>/dev/null || true
  wait "$PLAYER_PID" 2>/dev/null || true
  PLAYER_PID=""
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
  awk -v p="$((p1 - p0))" -v x="$((x1 - x0))" -v hz="$TICK" -v t0="$t0" -v t1="$t1" -v name="$player" -v g="$GEOMETRY" \
    'BEGIN { wall = t1 - t0;
             printf "%s: %.1f%% of one core (%.2f s CPU in %.1f s, %s); Xvfb %.1f%%\n",
                    name, 100 * p / hz / wall, p / hz, wall, g, 100 * x / hz / wall }'
done
