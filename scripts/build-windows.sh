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
  # The i686 build cannot run here: its programs and DLLs are built, not its tests.
  case "$arch" in
    x86_64) dir=build-win64 tests=ON ;;
    i686) dir=build-win32 tests=OFF ;;
    *) echo "build-windows: unknown target $arch" >&2; exit 2 ;;
  esac
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON -DVARNEL_BUILD_TESTS="$tests" \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" >/dev/null
  cmake --build "$dir" -j "$jobs"
  out="dist/windows/$arch"
  mkdir -p "$out"
  # The stand-in driver DLLs go apart: beside the programs they would hide the vendor's.
  mkdir -p "$out/standin-driver"
  for f in "$dir"/bin/*.exe; do
    case "$(basename "$f")" in *_tests.exe) continue ;; esac
    cp -f "$f" "$out/"
  done
  for f in "$dir"/bin/oldaapi32.dll "$dir"/bin/olmem32.dll; do
    [ -e "$f" ] && cp -f "$f" "$out/standin-driver/"
  done
  echo "build-windows: $arch programs in $out"
done
