#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
# The analyser tests talk over a private session bus of their own.
dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600
scripts/fuzz.sh
# The Windows build under Wine: the native window's tests and the installers.
scripts/test-windows.sh
