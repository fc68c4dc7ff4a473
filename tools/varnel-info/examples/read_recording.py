#!/usr/bin/env python3
"""A Varnel recording's samples in its calibrated units, and the time of each.

    python3 read_recording.py RECORDING.wav

varnel-info is found on PATH, or where VARNEL_INFO says. Needs Python's
soundfile (Debian: python3-soundfile), which reads both layouts, RF64 included.
"""
import json
import os
import subprocess
import sys
from datetime import datetime, timedelta

import soundfile

path = sys.argv[1]
varnel_info = os.environ.get("VARNEL_INFO", "varnel-info")
info = json.loads(subprocess.check_output([varnel_info, "--json", path]))[0]
cal = info["calibration"]

codes, rate = soundfile.read(path, dtype="int16")  # the converter's codes, as recorded
values = codes * cal["units_per_code"]  # the channel's units; volts when not calibrated
print(f"{info['frames']} samples at {rate} Hz of {cal['channel']!r} in {cal['units']}, "
      f"peak {abs(values).max():.6g}")

start = info["start"]
if start and start["utc"]:
    first = datetime.fromisoformat(start["utc"].replace("Z", "+00:00"))
    last = first + timedelta(seconds=(len(values) - 1) / rate)
    print(f"first sample {first.isoformat()}, last {last.isoformat()} (UTC; local offset {start['zone_offset']})")
