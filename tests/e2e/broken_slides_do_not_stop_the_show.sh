#!/usr/bin/env bash
# Bad slide files cost their slide, never the show: a first slide without
# its values section plays, a truncated middle slide is skipped after its
# duration, and a show of only broken slides ends after one pass. Each run
# exits 0 with no input.
source "$(dirname "$0")/lib.sh"
start_xvfb

# set_duration SLIDE MS: the slide's duration in media/sequence.mv.
set_duration() {
  local offset=$((17 + 532 * $1 + 8)) ms=$2
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((ms & 255)) $(((ms >> 8) & 255)) $(((ms >> 16) & 255)) $(((ms >> 24) & 255)))" |
    dd of=media/sequence.mv bs=1 seek="$offset" conv=notrunc status=none
}

# play NAME: runs the show in the current folder; fails unless it ends by
# itself with exit code 0.
play() {
  SDL_AUDIODRIVER=dummy "$PLAYER" &
  local pid=$! rc=0
  wait_exit "$pid" 60 || rc=$?
  [ "$rc" -eq 0 ] || { echo "$1: exit code $rc"; exit 1; }
  echo "$1: played to its end"
}

run_case() {
  rm -rf "$WORK/show"
  "$MAKE_SHOW" "$WORK/show" 3 10
  cd "$WORK/show"
}

run_case
truncate -s -13 media/DSlide0  # the values tag and panel preferences
play "first slide without its values section"

run_case
truncate -s 100 media/DSlide1
set_duration 1 500
play "truncated middle slide"

run_case
for i in 0 1 2; do
  truncate -s 10 "media/DSlide$i"
  set_duration "$i" 200
done
play "only broken slides"
# Still listed and written back at exit.
count=$(od -An -tx1 -j13 -N4 media/sequence.mv | tr -d ' \n')
[ "$count" = "03000000" ] || { echo "slide count after the show: $count"; exit 1; }
