#!/usr/bin/env bash
# Installs what is missing, builds, and runs the recorder on the simulated board:
# the window when a display is present, otherwise a short headless recording.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh >/dev/null
scripts/demo-setup.sh build/bin build/demo

# The analyser link needs a session bus; start a private one when there is none.
bus=()
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then bus=(dbus-run-session --); fi

if [ -x build/bin/varnel ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "${bus[@]}" build/bin/varnel
fi
echo "No display: recording 5 seconds with the headless recorder (build/bin/varnel-record)."
"${bus[@]}" build/bin/varnel-record --seconds 5 --continue-without-analyser --overwrite yes "$@"
