#!/usr/bin/env bash
# Pictures of the native Windows window for the README, into docs/windows/:
# the program beside this script (windows-screenshots/Screenshots.cpp, built
# as win32_screenshots.exe) plays the user under Xvfb in a second Wine prefix
# that uses the X11 driver (in a virtual desktop, so Wine draws the frames),
# not the null driver of the tests. Look at them before committing them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win64
cmake --build "$build" -j "${VARNEL_JOBS:-$(nproc)}" --target win32_screenshots
. "$build/wine/wine-env.sh"
export WINEPREFIX="$PWD/$build/wine/prefix-x11"
shots="$WINEPREFIX/drive_c/shots"
run() { xvfb-run -a -s "-screen 0 1024x768x24" timeout -k 5 120 "$VARNEL_WINE64" "$@"; }
if [ ! -f "$WINEPREFIX/.varnel-ready" ]; then
  mkdir -p "$WINEPREFIX"
  run wineboot -i >/dev/null 2>&1 || true
  touch "$WINEPREFIX/.varnel-ready"
fi
rm -rf "$shots"
mkdir -p "$shots"
WINEDLLOVERRIDES='mscoree,mshtml=' \
  run explorer /desktop=varnel,900x700 "$PWD/$build/bin/win32_screenshots.exe" 'C:\shots' || true
timeout -k 5 30 "$VARNEL_WINESERVER" -k 2>/dev/null || true
mkdir -p docs/windows
python3 - "$shots" docs/windows <<'PY'
import os, struct, sys, zlib
src, dst = sys.argv[1], sys.argv[2]
names = sorted(f for f in os.listdir(src) if f.endswith(".bmp"))
if not names:
    sys.exit("windows-screenshots: no pictures taken")
for name in names:
    data = open(os.path.join(src, name), "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h = struct.unpack_from("<ii", data, 18)
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + w * 3]
        rows.append(b"\0" + bytes(row[i + 2 - 2 * (i % 3)] for i in range(w * 3)))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    out = os.path.join(dst, name[:-4] + ".png")
    open(out, "wb").write(png)
    print("windows-screenshots:", out, w, "x", h)
PY
