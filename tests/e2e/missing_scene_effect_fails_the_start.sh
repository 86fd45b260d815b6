#!/usr/bin/env bash
# Without fx/reflectori.fxo, or with one that does not build, the device is
# not made: the player says why on stderr and exits with a failure instead
# of showing a black screen.
source "$(dirname "$0")/lib.sh"
"$MAKE_SHOW" "$WORK" 1 25
start_xvfb
cd "$WORK"
run_player() {
  rc=0
  SDL_AUDIODRIVER=dummy "$PLAYER" 2>"$WORK/stderr.txt" &
  wait_exit $! 60 || rc=$?
  [ "$rc" -ne 0 ] && [ "$rc" -ne 124 ] || { echo "$1: exit code $rc"; cat "$WORK/stderr.txt"; exit 1; }
  grep -q "reflectori.fxo" "$WORK/stderr.txt" || { echo "$1: no word of the effect"; cat "$WORK/stderr.txt"; exit 1; }
  grep -q "device could not be created" "$WORK/stderr.txt" || { echo "$1: no word of the device"; exit 1; }
}
mv fx/reflectori.fxo "$WORK/reflectori.fxo.kept"
run_player "missing"
sed 's/vec3 lit = tex.rgb/vec3 lit = undeclared.rgb/' "$WORK/reflectori.fxo.kept" > fx/reflectori.fxo
run_player "broken"
grep -q "undeclared" "$WORK/stderr.txt" || { echo "broken: the compile error is not shown"; exit 1; }
echo "refused to start without a working scene effect"
