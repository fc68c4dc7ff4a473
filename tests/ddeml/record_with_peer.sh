#!/usr/bin/env bash
# varnel-record.exe records from the stand-in driver DLLs while orvantis-peer.exe
# serves DDE: the peer's log shows the start-of-run commands, the "FFT Size"
# request and the pokes in their order, and the wave files are right.
#   record_with_peer.sh <build folder>
set -euo pipefail
build="$(cd "$1" && pwd)"
run="$build/wine/wine-run.sh"
work="$(mktemp -d "$build/wine/peer.XXXXXX")"
peer=""
trap '[ -n "$peer" ] && kill "$peer" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }

for f in varnel-record.exe orvantis-peer.exe oldaapi32.dll olmem32.dll; do cp "$build/bin/$f" "$work/"; done
mkdir -p "$work/wave" "$work/cal"
printf '[Boards]\r\nCount=1\r\n[Board0]\r\nName=DT9834(00)\r\n[Board0_Channel0]\r\nSignal=dc\r\nAmplitude=5\r\n' >"$work/olsim.ini"
service="VarnelPeer$$"
printf '[DDE]\r\nServerName=%s\r\n' "$service" >"$work/orvantis.ini"
for ch in 0 1; do
  printf '[Calibration]\r\nRefLevel=1.000000\r\nRefUnits=0\r\nRefType=0\r\nConversionType=0\r\nIntegrationType=0\r\nLabelLinear=V\r\nLabelLog=dBV\r\nLabelType=0\r\nPctFullScaleLeft=1.000000\r\nCalRatioLeft=1.000000\r\nLeftChannelName=\r\n' >"$work/cal/ch$ch.cal"
done
{
  for ch in $(seq 0 15); do
    on=0; [ "$ch" -lt 2 ] && on=1
    printf '[Channel_%d]\r\nbIsEnabled=%d\r\nbIsRecording=%d\r\nszLabel=Peer_%d\r\n' "$ch" "$on" "$on" "$ch"
    [ "$ch" -lt 2 ] && printf 'szCalFilename=%s\r\n' "$(winpath "$work/cal/ch$ch.cal")"
  done
  printf '[Main]\r\nSamplingRate=8000\r\nszWavePath=%s\r\nszCalPath=%s\r\n' "$(winpath "$work/wave")" "$(winpath "$work/cal")"
} >"$work/varnel.ini"

(cd "$work" && exec "$run" orvantis-peer.exe --server-name "$service" --fft-size 8192 \
  --record "$(winpath "$work/peer.log")" --quiet >"$work/peer.out" 2>&1) &
peer=$!
for _ in $(seq 1 1200); do grep -q ready "$work/peer.out" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/peer.out" || { echo "the peer did not start"; cat "$work/peer.out"; exit 1; }

out="$(cd "$work" && timeout 120 "$run" varnel-record.exe --seconds 3 --quiet)"
echo "$out"
kill "$peer"; wait "$peer" 2>/dev/null || true; peer=""
cat "$work/peer.log"

python3 - "$work/peer.log" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().decode().split("\n")[:-1]
start = ['execute 7 "[Stop]\\x00"', 'execute 13 "[File Close]\\x00"', 'execute 17 "[Mode Real Time]\\x00"',
         'execute 25 "[Set Sampling Rate 8000]\\x00"', 'execute 28 "[Set Sampling Precision 16]\\x00"',
         'request "FFT Size" -> "8192\\x00"']
assert lines[:6] == start, lines[:6]
assert lines[6].startswith('poke "CalibrationData" 2048 bytes 1 calls'), lines[6]
# Then the refresh ticks: "FFT Size" at the first and every 40th, a block at each once the store holds one.
rest = lines[7:]
assert rest and rest[0] == start[5], rest[:1]
series = [l for l in rest if l.startswith('poke "TimeSeriesData" 32768 bytes 1 calls')]
requests = [l for l in rest if l == start[5]]
assert series and len(series) + len(requests) == len(rest), rest
print("peer log: %d lines, %d time-series pokes" % (len(lines), len(series)))
PY
for ch in 0 1; do
  f="$work/wave/Peer_$ch.wav"
  [ "$(sox --i -r "$f")" = 8000 ] && [ "$(sox --i -c "$f")" = 1 ] || { echo "sox: wrong $f"; exit 1; }
done
echo "record_with_peer: ok"
