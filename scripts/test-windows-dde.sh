#!/usr/bin/env bash
# The analyser link over DDE: orvantis-peer.exe and the DDE tests cross-built
# for both Windows targets (i686 only compiles and links here), and the tests
# run under Wine with one wineserver kept for the run and ended on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${VARNEL_JOBS:-$(nproc)}"
for arch in x86_64 i686; do
  dir=build-win64
  [ "$arch" = i686 ] && dir=build-win32
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" >/dev/null
  cmake --build "$dir" -j "$jobs" --target orvantis-peer ddeml_tests
done
setup=build-win64/wine/wine-setup.sh
trap '"$setup" stop' EXIT
trap 'exit 130' INT TERM
"$setup" start
ctest --test-dir build-win64/tests/ddeml --output-on-failure -j "$jobs" --timeout 300
