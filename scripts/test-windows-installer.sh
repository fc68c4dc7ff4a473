#!/usr/bin/env bash
# The x64 installer under Wine: its contents listed, installed silently (/S)
# into build-win64's prefix, varnel.exe where the README says
# (%LOCALAPPDATA%\Programs\Varnel), the installed recorder started headless on
# the simulated board for two seconds, then uninstalled: the user's settings,
# calibration and recording stay.
set -euo pipefail
cd "$(dirname "$0")/.."
setup="$PWD/dist/windows/varnel-setup-x64.exe"
wine_dir="$PWD/build-win64/wine"
[ -f "$setup" ] || { echo "installer test: $setup missing (scripts/package-windows.sh)" >&2; exit 1; }
. "$wine_dir/wine-env.sh"
run() { "$wine_dir/wine-run.sh" "$@"; }
fail() { echo "installer test: $*" >&2; exit 1; }

listing=$(7z l "$setup")
for f in varnel.exe varnel-record.exe varnel-info.exe README.txt; do
  grep -q " $f\$" <<<"$listing" || fail "$f not in the installer"
done
! grep -qi "oldaapi32.dll\|olmem32.dll" <<<"$listing" || fail "driver DLLs in the installer"

run "$setup" /S
appdata=$(run cmd /c echo %LOCALAPPDATA% | tr -d '\r')
home=$(run winepath -u "$appdata\\Programs\\Varnel" | tr -d '\r')
for f in varnel.exe varnel-record.exe varnel-info.exe uninstall.exe README.txt; do
  [ -f "$home/$f" ] || fail "$f not installed in $home"
done
links=$(run cmd /c echo %APPDATA% | tr -d '\r')
[ -f "$(run winepath -u "$links\\Microsoft\\Windows\\Start Menu\\Programs\\Varnel\\Varnel.lnk" | tr -d '\r')" ] ||
  fail "no Start-menu entry"

# A recording with the installed program: one channel of the simulated board.
data="$WINEPREFIX/drive_c/varnel-installer-test"
rm -rf "$data"
mkdir -p "$data/wave"
printf '[Calibration]\r\nRefLevel=1.000000\r\nRefUnits=0\r\nCalRatioLeft=1.000000\r\nPctFullScaleLeft=1.000000\r\n' \
  >"$data/ch0.cal"
{
  for ch in $(seq 0 15); do
    printf '[Channel_%d]\r\nbIsEnabled=%d\r\nbIsRecording=%d\r\n' "$ch" $((ch == 0)) $((ch == 0))
    [ "$ch" -eq 0 ] && printf 'szCalFilename=C:\\varnel-installer-test\\ch0.cal\r\n'
  done
  printf '[Main]\r\nSamplingRate=20000\r\nszWavePath=C:\\varnel-installer-test\\wave\r\n'
} >"$home/varnel.ini"
: >"$home/olsim.ini"
printf '[DDE]\r\nServerName=\r\n' >"$home/orvantis.ini"
out=$(run "$home/varnel-record.exe" --seconds 2 --quiet 2>&1 | tr -d '\r') || fail "recording failed: $out"
grep -q "status: Running..." <<<"$out" || fail "no recording: $out"
[ -s "$data/wave/Channel_0.wav" ] || fail "no wave file: $out"
out=$(run "$home/varnel-info.exe" 'C:\varnel-installer-test\wave\Channel_0.wav' 2>&1 | tr -d '\r') ||
  fail "varnel-info failed: $out"
grep -q "samples      16-bit PCM, 1 channel, 20000 Hz" <<<"$out" || fail "varnel-info: $out"

run "$home/uninstall.exe" /S _?="$appdata\\Programs\\Varnel"
for f in varnel.exe varnel-info.exe; do
  [ ! -f "$home/$f" ] || fail "$f left after uninstall"
done
for f in varnel.ini olsim.ini orvantis.ini; do
  [ -f "$home/$f" ] || fail "uninstall removed $f"
done
[ -s "$data/wave/Channel_0.wav" ] && [ -f "$data/ch0.cal" ] || fail "uninstall removed the recording"
rm -rf "$data" "$home"
echo "installer test: passed"
