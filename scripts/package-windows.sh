#!/usr/bin/env bash
# Builds the Windows installers and zips into dist/windows:
#   varnel-setup-x86.exe, varnel-x86.zip  (i686, for the vendor's 32-bit driver DLLs)
#   varnel-setup-x64.exe, varnel-x64.zip  (x86_64)
# The installers (NSIS) install per user under %LOCALAPPDATA%\Programs\Varnel
# with a Start-menu entry; the zips hold the same programs for copying by hand.
#   scripts/package-windows.sh [x86_64|i686]...   (default: both)
# VARNEL_SKIP_BUILD=1 packages what dist/windows/<arch> already holds.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(x86_64 i686)
version=$(sed -n 's/^project(Varnel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out="$PWD/dist/windows"
for arch in "${targets[@]}"; do
  case "$arch" in
    x86_64) tag=x64 ;;
    i686) tag=x86 ;;
    *) echo "package-windows: unknown target $arch" >&2; exit 2 ;;
  esac
  dir=build-win64
  [ "$arch" = i686 ] && dir=build-win32
  if [ "${VARNEL_SKIP_BUILD:-}" != 1 ]; then
    # The programs alone; the test suites are build-windows.sh's.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON \
      -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" >/dev/null
    cmake --build "$dir" -j "${VARNEL_JOBS:-$(nproc)}" --target varnel varnel-record varnel-info
    mkdir -p "$out/$arch"
    cp -f "$dir/bin/varnel.exe" "$dir/bin/varnel-record.exe" "$dir/bin/varnel-info.exe" "$out/$arch/"
  fi
  stage="$out/stage-$tag"
  rm -rf "$stage"
  mkdir -p "$stage"
  for f in "$out/$arch"/*.exe; do
    case "$(basename "$f")" in *_tests.exe) continue ;; esac
    cp "$f" "$stage/"
  done
  [ -e "$stage/varnel.exe" ] || { echo "package-windows: no varnel.exe for $arch" >&2; exit 1; }
  sed 's/$/\r/' > "$stage/README.txt" <<TEXT
Varnel $version ($tag)

varnel.exe is the recorder's window, varnel-record.exe the recorder without
a window. Both keep their settings in varnel.ini beside the program, which is
why Varnel installs for one user, under %LOCALAPPDATA%\\Programs\\Varnel.
varnel-info.exe tells what a recording holds (format, start time, calibration,
levels) and writes its samples in calibrated units (varnel-info.exe --help).

The data-acquisition board needs the vendor's driver: its oldaapi32.dll and
olmem32.dll (32-bit, so use the x86 build) installed with the driver, where
the program finds them (the system folder or beside varnel.exe). Without a
board, an olsim.ini beside the program turns on the simulated board.

Recordings go to the wave folder and calibration files to the calibration
folder of the Recording Options (default c:\\orvanta\\wave and c:\\orvanta\\cal).
Uninstalling leaves them, varnel.ini and every other file of yours in place.
TEXT
  makensis -V2 -DARCH="$tag" -DSOURCE="$stage" -DVERSION="$version" \
    -DOUTFILE="$out/varnel-setup-$tag.exe" packaging/windows/varnel.nsi
  rm -f "$out/varnel-$tag.zip"
  (cd "$stage" && 7z a -tzip -bd -bso0 "$out/varnel-$tag.zip" ./*)
  rm -rf "$stage"
  echo "package-windows: $out/varnel-setup-$tag.exe, $out/varnel-$tag.zip"
done
