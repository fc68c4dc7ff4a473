#!/usr/bin/env bash
# Records the simulated board for a few seconds with the demo configuration
# of ./run.sh (scripts/demo-setup.sh: volts as the calibration creator makes
# them) and the monitor beside it on a private session bus, and writes the
# monitor's window to a PNG (default docs/varnel-monitor.png). Left: channel
# 0 (250 Hz), Right: channel 1 (500 Hz), both sines of 1 V peak.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(realpath -m "${1:-$root/docs/varnel-monitor.png}")"
bin="$root/build/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$root/scripts/demo-setup.sh" "$work/settings" "$work/demo" >/dev/null
# The simulated board is listed while olsim.ini is in the recorder's settings
# folder (build/bin, as ./run.sh leaves it).
[ -f "$bin/olsim.ini" ] || cp "$work/settings/olsim.ini" "$bin/olsim.ini"

dbus-run-session -- bash -c "
  QT_QPA_PLATFORM=offscreen '$bin/varnel-monitor' --fft-size 8192 \
      --screenshot '$out' --after-blocks 40 --timeout 60 >'$work/monitor.log' 2>&1 &
  monitor=\$!
  sleep 1
  '$bin/varnel-record' --settings '$work/settings/varnel.ini' --seconds 6 --overwrite yes --quiet \
      >'$work/record.log' 2>&1 || true
  wait \$monitor
" || { cat "$work/monitor.log" "$work/record.log" >&2; exit 1; }
echo "wrote $out"
