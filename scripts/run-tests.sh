#!/usr/bin/env bash
# Runs every test tier that this machine can run: logic, GL (headless EGL) and
# end to end (Xvfb).
set -euo pipefail
BUILD=${1:-build}
export LIBGL_ALWAYS_SOFTWARE=1
cd "$BUILD"
ctest --output-on-failure -j "$(nproc)" --timeout 600
