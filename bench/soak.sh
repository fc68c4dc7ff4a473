#!/usr/bin/env bash
# Ten minutes of real-time recording: 16 channels at 31250 Hz through the
# simulated board's producer, the main thread held up once for longer than a
# buffer. Prints what was filled, written and reported as overrun.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
VARNEL_SOAK_SECONDS="${1:-600}" dbus-run-session -- build/bin/e2e_tests --gtest_filter='Soak.*' 2>&1 |
  grep -v "fd limit"
