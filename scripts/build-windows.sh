#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64: build-win64 (x86_64, the
# build the tests run under Wine) and build-win32 (i686, the release build for
# the vendor's 32-bit driver). Warnings are errors. The programs of both end up
# in dist/windows/x86_64 and dist/windows/i686.
#   scripts/build-windows.sh [x86_64|i686]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(x86_64 i686)
jobs="${VARNEL_JOBS:-$(nproc)}"
for arch in "${targets[@]}"; do
  case "$arch" in
    x86_64) dir=build-win64 ;;
    i686) dir=build-win32 ;;
    *) echo "build-windows: unknown target $arch" >&2; exit 2 ;;
  esac
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" >/dev/null
  cmake --build "$dir" -j "$jobs"
  out="dist/windows/$arch"
  mkdir -p "$out"
  for f in "$dir"/bin/*.exe "$dir"/bin/*.dll; do
    [ -e "$f" ] || continue
    case "$(basename "$f")" in *_tests.exe) continue ;; esac
    cp -f "$f" "$out/"
  done
  echo "build-windows: $arch programs in $out"
done
