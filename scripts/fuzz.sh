#!/usr/bin/env bash
# Builds the wave-file fuzz target with clang (libFuzzer, address and undefined
# behaviour sanitizers) into build-fuzz, runs it over its seed corpus, then
# fuzzes for FUZZ_SECONDS (60). Any crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
if [ "${1:-}" = "--write-corpus" ]; then
  build-fuzz/make_corpus tests/fuzz/corpus
  exit 0
fi
# New inputs go to a corpus of the build's own; the seeds in the tree stay as they are.
mkdir -p build-fuzz/corpus build-fuzz/artifacts
log=build-fuzz/fuzz.log
run() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log"
    echo "fuzz: failed; the input that crashed is in build-fuzz/artifacts/" >&2
    exit 1
  fi
  tail -n 2 "$log"
}
run build-fuzz/wave_fuzz tests/fuzz/corpus/*
run build-fuzz/wave_fuzz -max_total_time="$seconds" -max_len=16384 -artifact_prefix=build-fuzz/artifacts/ \
  -print_final_stats=1 build-fuzz/corpus tests/fuzz/corpus
