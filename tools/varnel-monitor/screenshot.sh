#!/usr/bin/env bash
# Records the simulated board for a few seconds with the monitor beside it on
# a private session bus and writes the monitor's window to a PNG (default
# docs/varnel-monitor.png). Left: channel 3 (1000 Hz) through a 50 mV/Pa
# microphone record; Right: channel 1 (500 Hz) through a 100 mV/G accelerometer.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(realpath -m "${1:-$root/docs/varnel-monitor.png}")"
bin="$root/build/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wave"

calibration() {  # file units-code pct linear log
  printf '[Calibration]\nRefLevel=1.000000\nRefUnits=%s\nRefType=1\nConversionType=0\nIntegrationType=0\n' "$2" >"$1"
  printf 'LabelLinear=%s\nLabelLog=%s\nLabelType=1\nPctFullScaleLeft=%s\nCalRatioLeft=32768.000000\n' "$4" "$5" "$3" >>"$1"
}
calibration "$work/mic.cal" 8 0.007070 "Pascals (PA)" "SPL (dB re 20uPA)"
calibration "$work/acc.cal" 3 0.014140 "Acceleration (G)" "Acceleration (G dB)"
{
  for ch in $(seq 0 15); do
    echo "[Channel_$ch]"
    echo "bIsEnabled=$([ "$ch" -lt 4 ] && echo 1 || echo 0)"
    echo "bIsRecording=0"
    echo "bIsMonitoringLeft=$([ "$ch" -eq 3 ] && echo 1 || echo 0)"
    echo "bIsMonitoringRight=$([ "$ch" -eq 1 ] && echo 1 || echo 0)"
    case $ch in
      1) echo "szLabel=Accelerometer"; echo "szCalFilename=$work/acc.cal" ;;
      3) echo "szLabel=Microphone"; echo "szCalFilename=$work/mic.cal" ;;
      *) echo "szLabel=Input_$ch"; echo "szCalFilename=$work/mic.cal" ;;
    esac
  done
  printf '[Main]\nSamplingRate=25000\nszWavePath=%s\nszCalPath=%s\n' "$work/wave" "$work"
} >"$work/varnel.ini"

dbus-run-session -- bash -c "
  QT_QPA_PLATFORM=offscreen '$bin/varnel-monitor' --fft-size 8192 \
      --screenshot '$out' --after-blocks 40 --timeout 60 >'$work/monitor.log' 2>&1 &
  monitor=\$!
  sleep 1
  '$bin/varnel-record' --settings '$work/varnel.ini' --seconds 6 --overwrite yes --quiet >'$work/record.log' 2>&1 || true
  wait \$monitor
" || { cat "$work/monitor.log" "$work/record.log" >&2; exit 1; }
echo "wrote $out"
