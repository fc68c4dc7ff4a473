#!/usr/bin/env bash
# Installs what is missing, builds, and runs the recorder on the simulated board:
# the window and the live monitor when a display is present, otherwise a short
# headless recording.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh >/dev/null
scripts/demo-setup.sh build/bin build/demo

# The analyser link needs a session bus; start a private one when there is none.
bus=()
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then bus=(dbus-run-session --); fi

# The window with the live monitor beside it, both on the same session bus;
# the monitor ends with the window.
window_and_monitor() {
  local monitor="" status=0
  if [ -x build/bin/varnel-monitor ]; then
    build/bin/varnel-monitor &
    monitor=$!
  fi
  build/bin/varnel || status=$?
  if [ -n "$monitor" ]; then
    kill "$monitor" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
  fi
  return "$status"
}

if [ -x build/bin/varnel ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "${bus[@]}" bash -c "cd '$PWD' && $(declare -f window_and_monitor) && window_and_monitor"
fi
echo "No display: recording 5 seconds with the headless recorder (build/bin/varnel-record)."
"${bus[@]}" build/bin/varnel-record --seconds 5 --continue-without-analyser --overwrite yes "$@"
