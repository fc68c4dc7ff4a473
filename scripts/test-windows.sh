#!/usr/bin/env bash
# The Windows part of ./test.sh: builds varnel.exe and varnel-record.exe for
# both targets with their installers and zips (scripts/package-windows.sh),
# runs the Win32 view's tests under Wine, then installs the x64 installer
# silently and records with the installed program.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${VARNEL_JOBS:-$(nproc)}"
VARNEL_JOBS="$jobs" scripts/package-windows.sh
cmake --build build-win64 -j "$jobs" --target win32_tests
build-win64/wine/wine-setup.sh start
trap 'build-win64/wine/wine-setup.sh stop' EXIT
# The program itself rather than CTest: CTest lists every suite of the build
# under Wine first, this part needs only its own.
(cd build-win64 && wine/wine-run.sh bin/win32_tests.exe)
scripts/test-windows-installer.sh
