#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
# The analyser tests talk over a private session bus of their own.
dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600
# The Debian package: built, checked by Debian's validators, unpacked and run.
VARNEL_SKIP_BUILD=1 scripts/test-deb.sh
scripts/fuzz.sh
# The Windows build: both targets cross-built, the x86_64 tests under Wine,
# the installers built, installed silently and recorded with.
scripts/test-windows.sh
