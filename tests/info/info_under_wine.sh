#!/usr/bin/env bash
# varnel-info.exe under Wine: the stored broadcast recording told as text and
# as JSON that Python reads, a bad file refused with status 1 while the batch
# goes on, and a CSV export whose values match the report's peak.
#   info_under_wine.sh <build folder>
set -euo pipefail
build="$(cd "$1" && pwd)"
run="$build/wine/wine-run.sh"
work="$(mktemp -d "$build/wine/info.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$build/bin/varnel-info.exe" "$build/bin/golden/pattern-bwf.wav" "$work/"
cd "$work"
printf 'RIFF' >bad.wav

out="$(timeout 120 "$run" varnel-info.exe pattern-bwf.wav | tr -d '\r')"
echo "$out"
for line in "  format       Broadcast wave" "  length       1334 frames, 0.053360 s" \
  "  start        2026-12-09T14:00:00.000123Z (local 2026-12-09 15:00:00.000123 +01:00)" \
  "  peak         4.9265e+06 Pa"; do
  grep -qxF "$line" <<<"$out" || { echo "missing: $line"; exit 1; }
done

status=0
timeout 120 "$run" varnel-info.exe --json bad.wav pattern-bwf.wav >out.json 2>err.txt || status=$?
[ "$status" = 1 ] || { echo "status $status for a batch with a bad file"; exit 1; }
grep -q "bad.wav: not a wave file" err.txt || { cat err.txt; exit 1; }
python3 - <<'PY'
import json
info = json.load(open("out.json"))
assert len(info) == 1 and info[0]["frames"] == 1334, info
assert info[0]["start"]["utc"] == "2026-12-09T14:00:00.000123Z", info[0]["start"]
assert info[0]["calibration"]["gain"] == 2, info[0]["calibration"]
PY

timeout 120 "$run" varnel-info.exe --export csv out.csv pattern-bwf.wav
python3 - <<'PY'
import csv, json
rows = list(csv.reader(open("out.csv", newline="", encoding="utf-8")))
assert rows[0] == ["time_s", "Hydro\u00fc [Pa]"], rows[0]
assert len(rows) == 1335, len(rows)
peak = max(abs(float(r[1])) for r in rows[1:])
assert abs(peak - json.load(open("out.json"))[0]["levels"]["peak"]) < 1e-3 * peak, peak
print("varnel-info.exe: report, JSON, refusal and export as expected")
PY
