#!/usr/bin/env bash
# varnel-record.exe under Wine with the stand-in driver DLLs beside it: a timed
# run and a run stopped with Ctrl-C both leave wave files that sox and Python's
# reader on the Linux side accept, with the stand-in's dc levels in them.
#   record_under_wine.sh <build folder>
set -euo pipefail
build="$(cd "$1" && pwd)"
run="$build/wine/wine-run.sh"
work="$(mktemp -d "$build/wine/record.XXXXXX")"
trap 'rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }

cp "$build/bin/varnel-record.exe" "$build/bin/oldaapi32.dll" "$build/bin/olmem32.dll" "$work/"
mkdir -p "$work/wave" "$work/cal"
cat >"$work/olsim.ini" <<INI
[Boards]
Count=1
[Board0]
Name=DT9834(00)
[Board0_Channel0]
Signal=dc
Amplitude=5
[Board0_Channel1]
Signal=dc
Amplitude=-2.5
INI
for ch in 0 1; do
  printf '[Calibration]\r\nRefLevel=1.000000\r\nRefUnits=0\r\nRefType=0\r\nConversionType=0\r\nIntegrationType=0\r\nLabelLinear=V\r\nLabelLog=dBV\r\nLabelType=0\r\nPctFullScaleLeft=1.000000\r\nCalRatioLeft=1.000000\r\nLeftChannelName=\r\n' >"$work/cal/ch$ch.cal"
done
settings() {
  {
    for ch in $(seq 0 15); do
      on=0; [ "$ch" -lt 2 ] && on=1
      printf '[Channel_%d]\r\nbIsEnabled=%d\r\nbIsRecording=%d\r\nszLabel=%s\r\n' "$ch" "$on" "$on" "${1}_$ch"
      [ "$ch" -lt 2 ] && printf 'szCalFilename=%s\r\n' "$(winpath "$work/cal/ch$ch.cal")"
    done
    printf '[Main]\r\nSamplingRate=8000\r\nszWavePath=%s\r\nszCalPath=%s\r\n' "$(winpath "$work/wave")" \
      "$(winpath "$work/cal")"
  } >"$work/varnel.ini"
}

check() {  # <label> <minimum frames>
  local f
  for ch in 0 1; do
    f="$work/wave/${1}_$ch.wav"
    [ -f "$f" ] || { echo "missing $f"; ls -la "$work/wave"; exit 1; }
    [ "$(sox --i -r "$f")" = 8000 ] && [ "$(sox --i -c "$f")" = 1 ] && [ "$(sox --i -b "$f")" = 16 ] ||
      { echo "sox: wrong format in $f"; exit 1; }
    python3 - "$f" "$ch" "$2" <<'PY'
import struct, sys, wave
path, ch, least = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
w = wave.open(path)
frames = w.getnframes()
samples = struct.unpack("<%dh" % frames, w.readframes(frames))
want = 16384 if ch == 0 else -8192  # 5 V and -2.5 V of 10 V full scale
assert frames >= least, (path, frames)
assert all(abs(s - want) <= 2 for s in samples), (path, min(samples), max(samples))
data = open(path, "rb").read()
assert data.find(b"\x66\x00\x00\x00\x00\x08\x00\x00") > 0, "no calibration chunk"
print("%s: %d frames at %d" % (path.rsplit("/", 1)[-1], frames, want))
PY
  done
}

settings Timed
out="$(cd "$work" && timeout 120 "$run" varnel-record.exe --seconds 2 --quiet --continue-without-analyser)"
echo "$out"
grep -q "status: Running..." <<<"$out"
check Timed 8192  # one buffer is 8192 frames

# Ctrl-C: Wine hands SIGINT to the console handler as CTRL_C_EVENT.
settings Interrupted
tag="$(basename "$work")"  # makes the command line this run's own
(cd "$work" && exec timeout 120 "$run" varnel-record.exe --quiet --continue-without-analyser \
  --settings "$(winpath "$work/varnel.ini")" >"$work/out.txt" 2>&1) &
pid=$!
# Interrupted once a buffer of each channel is in its working file, however
# long a busy machine takes for that.
buffered() {
  local f size n=0
  for f in "$work"/wave/*.[tT][mM][pP]; do
    [ -f "$f" ] || continue
    size="$(od -An -tu4 -j40 -N4 "$f" | tr -d ' ')"
    [ "${size:-0}" -ge 16384 ] && n=$((n + 1))
  done
  [ "$n" -ge 2 ]
}
for _ in $(seq 1 1200); do buffered && break; sleep 0.1; done
pkill -INT -f "varnel-record.exe .*$tag" || true
wait "$pid"
cat "$work/out.txt"
check Interrupted 8192
echo "record_under_wine: ok"
