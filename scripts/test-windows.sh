#!/usr/bin/env bash
# Builds both Windows targets (scripts/build-windows.sh) and runs the x86_64
# tests under Wine through CTest, then builds the installers and zips of both
# targets and installs the x64 one silently and records with it. One wineserver
# serves the whole run and is ended on every way out; every Wine call runs
# under a time limit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh x86_64 i686
wine_setup=build-win64/wine/wine-setup.sh
if [ ! -x "$wine_setup" ]; then
  echo "test-windows: wine64 not found, the Windows tests cannot run" >&2
  exit 1
fi
trap '"$wine_setup" stop' EXIT INT TERM HUP
"$wine_setup" start
ctest --test-dir build-win64 --output-on-failure -j "$(nproc)" --timeout 300
scripts/package-windows.sh
scripts/test-windows-installer.sh
