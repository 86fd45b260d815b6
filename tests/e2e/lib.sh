# Shared by the end-to-end scripts: one Xvfb per script, on a display
# number it picks itself, stopped on exit.
set -euo pipefail
PLAYER=${PLAYER:?path to morvane-player}
WORK=$(mktemp -d /tmp/mv-e2e.XXXXXX)
# show_folder DIR: a folder to start the player in, with media/ and the
# player's effects (fx/) as they ship beside it.
show_folder() {
  mkdir -p "$1/media"
  rm -rf "$1/fx"
  cp -r "${MV_SOURCE_DIR:?path to the sources}/fx" "$1/fx"
}
show_folder "$WORK"
XVFB_PID=""
stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID=""
}
cleanup() {
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

# start_xvfb [WIDTHxHEIGHT]: the screen is 1920x1080 unless given.
start_xvfb() {
  local size=${1:-1920x1080}
  local fifo="$WORK/.displayfd"
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r -t 20 num <"$fifo" || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=":$num"
}

# wait_for_window: until the player's window is mapped (or 30 s).
wait_for_window() {
  for _ in $(seq 1 150); do
    if xdotool search --name "Morvane Player" >/dev/null 2>&1; then return 0; fi
    sleep 0.2
  done
  echo "the player's window never appeared"
  return 1
}

# wait_exit PID SECONDS: the player's exit code, or 124 after SECONDS.
wait_exit() {
  local pid=$1 limit=$2
  for _ in $(seq 1 $((limit * 5))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      return $?
    fi
    sleep 0.2
  done
  kill "$pid" 2>/dev/null || true
  return 124
}

# wait_for_picture FILE X Y RGB: screenshots into FILE until the pixel at
# (X, Y) reads RGB ("10,20,40") or 15 s pass; the device is made after the
# window appears, so the first picture comes some time after it.
wait_for_picture() {
  local file=$1 x=$2 y=$3 want=$4 got=""
  for _ in $(seq 1 30); do
    import -window root "$file"
    got=$(convert "$file" -format "%[fx:int(255*p{$x,$y}.r)],%[fx:int(255*p{$x,$y}.g)],%[fx:int(255*p{$x,$y}.b)]" info:)
    [ "$got" = "$want" ] && return 0
    sleep 0.5
  done
  return 0
}

# wait_for_drawn FILE X Y: screenshots into FILE until the pixel at (X, Y)
# is no longer black (the player has drawn) or 15 s pass; for pictures
# whose colours a post-process chain changes.
wait_for_drawn() {
  local file=$1 x=$2 y=$3 got=""
  for _ in $(seq 1 30); do
    import -window root "$file"
    got=$(convert "$file" -format "%[fx:int(255*(p{$x,$y}.r+p{$x,$y}.g+p{$x,$y}.b))]" info:)
    [ "$got" -gt 0 ] && return 0
    sleep 0.5
  done
  return 0
}

# shoot_show FOLDER FILE...: plays the show in FOLDER, takes one screenshot
# per FILE a second apart from two seconds after the picture is up (the
# first slide loaded and drawn, even on a busy machine), then closes the
# player with Escape; fails unless it exits 0.
shoot_show() {
  local folder=$1
  shift
  (
    cd "$folder"
    SDL_AUDIODRIVER=dummy exec "$PLAYER"
  ) &
  local pid=$!
  wait_for_window
  wait_for_drawn "$1" 40 540
  sleep 1
  local file
  for file in "$@"; do
    sleep 1
    import -window root "$file"
  done
  xdotool key Escape
  local rc=0
  wait_exit "$pid" 30 || rc=$?
  [ "$rc" -eq 0 ] || { echo "exit code $rc"; exit 1; }
}
