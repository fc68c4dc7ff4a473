#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, address and undefined
# behaviour sanitizers) into build-fuzz, runs each over its seed corpus, then
# fuzzes them for FUZZ_SECONDS (60) in all, a quarter each: wave files through
# WaveIO, wave files through varnel-info, the profile engine and calibration
# files. Any crash fails the run.
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
mkdir -p build-fuzz/corpus build-fuzz/corpus-info build-fuzz/corpus-profile build-fuzz/corpus-calibration \
  build-fuzz/artifacts
log=build-fuzz/fuzz.log
run() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log"
    echo "fuzz: failed; the input that crashed is in build-fuzz/artifacts/" >&2
    exit 1
  fi
  tail -n 2 "$log"
}
quarter=$(( seconds / 4 > 0 ? seconds / 4 : 1 ))
# Both wave targets start from the wave seeds; each keeps what it finds apart.
for target in wave info; do
  run build-fuzz/${target}_fuzz tests/fuzz/corpus/*
  corpus=build-fuzz/corpus
  [ "$target" = info ] && corpus=build-fuzz/corpus-info
  run build-fuzz/${target}_fuzz -max_total_time="$quarter" -max_len=16384 -artifact_prefix=build-fuzz/artifacts/ \
    -print_final_stats=1 "$corpus" tests/fuzz/corpus
done
for target in profile calibration; do
  run build-fuzz/${target}_fuzz tests/fuzz/corpus-${target}/*
  run build-fuzz/${target}_fuzz -max_total_time="$quarter" -max_len=8192 -artifact_prefix=build-fuzz/artifacts/ \
    -print_final_stats=1 build-fuzz/corpus-${target} tests/fuzz/corpus-${target}
done
