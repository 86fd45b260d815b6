#!/usr/bin/env bash
# Started with arguments in a folder holding an empty media/, the player
# closes on Escape with exit code 0 and writes an empty sequence file.
source "$(dirname "$0")/lib.sh"
mkdir -p "$WORK/media"
start_xvfb
cd "$WORK"
SDL_AUDIODRIVER=dummy "$PLAYER" --windowed -x foo &
pid=$!
wait_for_window
sleep 1
xdotool search --name "Morvane Player" windowactivate --sync 2>/dev/null || true
xdotool key Escape
rc=0
wait_exit "$pid" 30 || rc=$?
[ "$rc" -eq 0 ] || { echo "exit code $rc"; exit 1; }
[ -f media/sequence.mv ] || { echo "media/sequence.mv not written"; exit 1; }
[ "$(stat -c %s media/sequence.mv)" -eq 17 ] || { echo "sequence.mv is $(stat -c %s media/sequence.mv) bytes"; exit 1; }
hex=$(od -An -tx1 -v media/sequence.mv | tr -d ' \n')
# tag 7, the sequence panel's preferences, then a slide count of 0
[ "${hex:0:8}" = "07000000" ] || { echo "tag: ${hex:0:8}"; exit 1; }
[ "${hex:26:8}" = "00000000" ] || { echo "count: ${hex:26:8}"; exit 1; }
echo "sequence.mv: $hex"
