#!/usr/bin/env bash
# Gives a fresh build a configuration to record with: four channels of the
# simulated board, two of them recorded, each with a calibration file, files
# under the demo folder. An existing varnel.ini or olsim.ini is left as it is.
#   scripts/demo-setup.sh SETTINGS-FOLDER DEMO-FOLDER
# (the settings folder: build/bin for a build, ~/.config/varnel for a package)
set -euo pipefail
bin="$1"
mkdir -p "$bin"
demo="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
# The simulated board is listed only while olsim.ini is beside the program.
if [ ! -f "$bin/olsim.ini" ]; then
  printf '; The simulated board of the demo (keys in src/boards/sim/SimBoardModel.h).\n[Boards]\nCount=1\n' \
    >"$bin/olsim.ini"
fi
[ -f "$bin/varnel.ini" ] && exit 0
mkdir -p "$demo/wave" "$demo/cal"
# Volts as the calibration creator writes them ("Volts, dBV"): the simulated
# board's 1 V peak sines read 0.707 V rms, -3.0 dBV.
for ch in 0 1 2 3; do
  cat >"$demo/cal/ch$ch.cal" <<CAL
[Calibration]
RefLevel=1.000000
RefUnits=0
RefType=1
ConversionType=0
IntegrationType=0
LabelLinear=Volts rms
LabelLog=dBV rms
LabelType=1
PctFullScaleLeft=0.141400
CalRatioLeft=32768.000000
LeftChannelName=
CAL
done
{
  for ch in $(seq 0 15); do
    enabled=0; rec=0
    if [ "$ch" -lt 4 ]; then enabled=1; fi
    if [ "$ch" -lt 2 ]; then rec=1; fi
    echo "[Channel_$ch]"
    echo "bIsEnabled=$enabled"
    echo "bIsRecording=$rec"
    echo "bIsMonitoringLeft=$([ "$ch" -eq 0 ] && echo 1 || echo 0)"
    echo "bIsMonitoringRight=$([ "$ch" -eq 1 ] && echo 1 || echo 0)"
    echo "szLabel=Demo_$ch"
    if [ "$ch" -lt 4 ]; then echo "szCalFilename=$demo/cal/ch$ch.cal"; fi
  done
  echo "[Main]"
  echo "SamplingRate=25000"
  echo "szWavePath=$demo/wave"
  echo "szCalPath=$demo/cal"
} >"$bin/varnel.ini"
echo "Wrote a demo configuration to $bin/varnel.ini (files go to $demo/wave)."
