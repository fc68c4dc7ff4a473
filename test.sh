#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
# The analyser tests talk over a private session bus of their own.
dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600
# The analyser link over DDE, cross-built, its tests under Wine.
scripts/test-windows-dde.sh
scripts/fuzz.sh
