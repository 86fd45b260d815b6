#!/usr/bin/env bash
# Runs every benchmark program.
set -euo pipefail
BUILD=${1:-build}
export LIBGL_ALWAYS_SOFTWARE=1
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2
done
# The idle player's CPU under a bare Xvfb: a run of the real binary.
echo "== idle player CPU"
cmake --build "$BUILD" --target bench_idle_player_cpu
