#!/usr/bin/env bash
# A two-slide show whose timelines last a second each plays to its end with
# no input, and the player exits 0.
source "$(dirname "$0")/lib.sh"
"$MAKE_SHOW" "$WORK" 2 25
[ -f "$WORK/media/DSlide1" ] || { echo "show not written"; exit 1; }
start_xvfb
cd "$WORK"
SDL_AUDIODRIVER=dummy "$PLAYER" &
pid=$!
rc=0
wait_exit "$pid" 60 || rc=$?
[ "$rc" -eq 0 ] || { echo "exit code $rc"; exit 1; }
# The show is written back at exit, both slides still listed.
count=$(od -An -tx1 -j13 -N4 media/sequence.mv | tr -d ' \n')
[ "$count" = "02000000" ] || { echo "slide count after the show: $count"; exit 1; }
echo "played to its end"
