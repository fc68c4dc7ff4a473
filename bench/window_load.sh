#!/usr/bin/env bash
# The share of a core the window uses while recording 16 channels at the
# board's maximum aggregate rate (31250 Hz each), offscreen, with the board's
# producer thread, the file writes and the meter painting all included.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
VARNEL_LOAD_SECONDS="${1:-20}" QT_QPA_PLATFORM=offscreen VARNEL_BUILD_DIR="$PWD/build" dbus-run-session -- \
  build/bin/qt_tests --gtest_also_run_disabled_tests --gtest_filter='Load.*' 2>&1 | grep -E "window load|OK|FAILED"
