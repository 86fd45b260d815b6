#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
set -euo pipefail
SECONDS_EACH=${FUZZ_SECONDS:-30}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMV_FUZZ=ON \
  -DMV_TESTS=OFF -DMV_BENCH=OFF >/dev/null
cmake --build build-fuzz
# Leaks of the system libraries the program keeps for its whole life.
export LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp:print_suppressions=0"
status=0
for f in build-fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="fuzz/corpus/${name#fuzz_}"
  mkdir -p "build-fuzz/corpus-$name"
  echo "== $name (${SECONDS_EACH}s)"
  dirs=("build-fuzz/corpus-$name")
  [ -d "$corpus" ] && dirs+=("$corpus")
  "$f" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="build-fuzz/$name-" "${dirs[@]}" || status=1
done
exit $status
