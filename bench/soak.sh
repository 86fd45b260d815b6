#!/usr/bin/env bash
# The demo show in a ring for MINUTES (default 60) of wall-clock time,
# headless: resident memory and the live GL objects every minute, then the
# first and last samples and their slopes (a flat line is the goal).
#
#   bench/soak.sh [MINUTES] [BUILD]
#   MORVANE_DEMO_ARGS=--short bench/soak.sh 10   (two-second slides: many more slide loads)
# Not part of `make test`.
set -euo pipefail
MINUTES=${1:-60}
BUILD=$(cd "${2:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$BUILD" --target morvane-demo mv_soak >/dev/null
WORK=$(mktemp -d /tmp/mv-soak.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# shellcheck disable=SC2086
"$BUILD/tools/morvane-demo" ${MORVANE_DEMO_ARGS:-} --fx "$ROOT/fx" "$WORK" >/dev/null
cd "$WORK"
SDL_AUDIODRIVER=dummy "$BUILD/bench/mv_soak" "$MINUTES"
