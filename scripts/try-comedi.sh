#!/usr/bin/env bash
# Records 2 s from comedi's own test board (the comedi_test kernel driver, a
# 1 V sawtooth of 0.1 s period on channel 0) with build/bin/varnel-record and
# checks the sawtooth in the file. Loading and attaching the driver needs root
# and a kernel with comedi's modules; where that cannot be, it says why and
# exits 77 (skipped). Exit 0: the sawtooth is there; 1: it is not.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
device=/dev/comedi0

skip() {
  echo "try-comedi: cannot run here: $*" >&2
  exit 77
}

[ -x "$bin/varnel-record" ] || skip "$bin/varnel-record is missing (run scripts/build.sh first)"
command -v comedi_config >/dev/null || skip "comedi_config is missing (scripts/install-deps.sh installs comedilib)"
if [ ! -e "$device" ]; then
  [ "$(id -u)" -eq 0 ] || skip "$device does not exist, and loading the comedi modules needs root"
  modprobe comedi comedi_num_legacy_minors=4 2>/dev/null ||
    skip "this kernel has no comedi modules (modprobe comedi failed: a container, or a kernel built without them)"
  modprobe comedi_test 2>/dev/null || skip "this kernel cannot load comedi_test"
fi
if ! comedi_board_info "$device" 2>/dev/null | grep -q "comedi_test"; then
  [ "$(id -u)" -eq 0 ] || skip "$device is not attached to comedi_test, and attaching it needs root"
  comedi_config "$device" comedi_test 1000000,100000 || skip "comedi_config cannot attach comedi_test to $device"
fi

index=$("$bin/varnel-record" --list-devices | awk '/^[0-9]+  comedi0: comedi_test/ { print $1; exit }')
[ -n "$index" ] || skip "varnel-record does not list comedi0 (is $device readable by $(id -un)?)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wave" "$work/cal"
printf '[Calibration]\nRefLevel=1.0\nLabelLinear=V\nLabelLog=dBV\nPctFullScaleLeft=1.0\nCalRatioLeft=1.0\n' \
  >"$work/cal/ch0.cal"
{
  echo "[Channel_0]"
  echo "bIsEnabled=1"
  echo "bIsRecording=1"
  echo "szLabel=Sawtooth"
  echo "szCalFilename=$work/cal/ch0.cal"
  echo "[Main]"
  echo "SamplingRate=10000"
  echo "szWavePath=$work/wave"
  echo "szCalPath=$work/cal"
} >"$work/varnel.ini"

status=0
"$bin/varnel-record" --settings "$work/varnel.ini" --device "$index" --seconds 2 --overwrite yes \
  --continue-without-analyser --quiet || status=$?
[ "$status" -eq 0 ] || {
  echo "try-comedi: varnel-record ended with status $status" >&2
  exit 1
}

# 10 V is full scale (32768): the sawtooth runs from -1 V to +1 V and drops once a period.
python3 - "$work/wave/Sawtooth.wav" <<'PY'
import array, sys, wave
with wave.open(sys.argv[1]) as w:
    volts = [c / 3276.8 for c in array.array("h", w.readframes(w.getnframes()))]
drops = sum(1 for a, b in zip(volts, volts[1:]) if a - b > 1.0)
low, high = min(volts), max(volts)
print(f"try-comedi: {len(volts)} samples, {low:.3f} V to {high:.3f} V, {drops} drops")
ok = len(volts) >= 19000 and -1.1 < low < -0.9 and 0.9 < high < 1.1 and 18 <= drops <= 21
sys.exit(0 if ok else 1)
PY
