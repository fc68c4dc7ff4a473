#!/usr/bin/env bash
# The Debian package as a user gets it: builds it (scripts/package-deb.sh),
# checks its contents and metadata with Debian's own validators (lintian,
# desktop-file-validate, appstreamcli, systemd-analyze, man), unpacks it into
# a temporary root and runs the unpacked varnel-record as a user who cannot
# write the programs' folder, with the settings in a temporary
# XDG_CONFIG_HOME: the device list, a 2-second recording on the simulated
# board, and the systemd unit's own command stopped with SIGTERM.
#   scripts/test-deb.sh        (VARNEL_SKIP_BUILD=1: package build/ as it is)
set -euo pipefail
cd "$(dirname "$0")/.."
source_root="$PWD"
deb="$(scripts/package-deb.sh)"
version="$(sed -n 's/^project(Varnel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
work="$(mktemp -d)"
service=""
cleanup() {
  if [ -n "$service" ]; then kill -KILL "$service" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "test-deb: FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "test-deb: ok: $*"; }

root="$work/root"
dpkg-deb -x "$deb" "$root"

# ---- contents ----
for program in varnel varnel-record varnel-monitor varnel-info orvantis-peer; do
  [ -x "$root/usr/bin/$program" ] || fail "$program is not in /usr/bin"
done
# Every program the build makes of tools/ joins the package by itself.
for folder in tools/*/; do
  name="$(basename "$folder")"
  if [ -x "build/bin/$name" ] && [ ! -x "$root/usr/bin/$name" ]; then fail "$name is built but not packaged"; fi
done
for program in "$root"/usr/bin/*; do
  name="$(basename "$program")"
  page="$root/usr/share/man/man1/$name.1.gz"
  if [ ! -f "$page" ]; then
    fail "$name has no manual page"
    continue
  fi
  warnings="$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "the manual page of $name: $warnings"
  MANWIDTH=80 man -E UTF-8 -l "$page" 2>/dev/null | grep -q "^NAME" || fail "the manual page of $name has no NAME"
done
pass "programs and manual pages: $(cd "$root/usr/bin" && echo *)"

for entry in "$root"/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "desktop-file-validate $(basename "$entry")"
  command="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
  [ -x "$root/usr/bin/$command" ] || fail "$(basename "$entry") starts $command, which is not in the package"
  icon="$(sed -n 's/^Icon=//p' "$entry")"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
  for size in 48 256; do
    file "$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png" | grep -q "PNG image data, $size x $size" ||
      fail "no $size px icon $icon"
  done
done
[ "$(ls "$root"/usr/share/applications/*.desktop | wc -l)" -eq 2 ] || fail "not two menu entries"
pass "menu entries and icons"

metainfo="$root/usr/share/metainfo/org.varnel.Varnel.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || {
  cat "$work/appstream.log" >&2
  fail "appstreamcli validate"
}
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
launchable="$(sed -n 's/.*<launchable type="desktop-id">\(.*\)<\/launchable>.*/\1/p' "$metainfo")"
[ -f "$root/usr/share/applications/$launchable" ] || fail "the metainfo launches $launchable, which is not in the package"
pass "AppStream metainfo"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libasound2 libqt6widgets6 libfftw3-double3 libc6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library (from dpkg-shlibdeps): $depends"
done
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
grep -v "^running with root" "$work/lintian.log" || true
if grep -q "^E: " "$work/lintian.log"; then fail "lintian reports errors"; else pass "lintian: no errors"; fi

unit="$root/usr/lib/systemd/user/varnel-record@.service"
# Checked where it will run: the command and the manual page from the package.
sed "s|/usr/bin/|$root/usr/bin/|g" "$unit" >"$work/varnel-record@check.service"
mkdir -m 700 "$work/runtime"
if XDG_RUNTIME_DIR="$work/runtime" MANPATH="$root/usr/share/man" \
  systemd-analyze verify --user "$work/varnel-record@check.service"; then
  pass "systemd user unit"
else
  fail "systemd-analyze verify of the user unit"
fi

# ---- running it ----
# A user who cannot write the programs' folder: nobody for root (whom modes do
# not stop), else the folder without its write permission.
home="$work/home"
config="$home/config"
mkdir -p "$home"
chmod 755 "$work"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod a-w "$root/usr/bin"
fi
user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$config" LANG=C.UTF-8)
run() {
  "${as_user[@]}" "${user_env[@]}" "$@"
}
scripts/demo-setup.sh "$config/varnel" "$home/demo" >/dev/null
if [ ${#as_user[@]} -gt 0 ]; then chown -R 65534:65534 "$home"; fi

run "$root/usr/bin/varnel-record" --list-devices >"$work/devices.log" 2>&1 || fail "--list-devices: $(cat "$work/devices.log")"
grep -q "Simulated DT9834(00)" "$work/devices.log" || fail "--list-devices lacks the simulated board of ~/.config/varnel/olsim.ini"
pass "varnel-record --list-devices: $(grep -c . "$work/devices.log") lines"

frames() {  # the frame count of a wave file, read by Python's own reader
  python3 -c 'import sys, wave; print(wave.open(sys.argv[1]).getnframes())' "$1"
}
status=0
run "$root/usr/bin/varnel-record" --seconds 2 --continue-without-analyser --overwrite yes --quiet \
  >"$work/record.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the recording ended with status $status: $(cat "$work/record.log")"
for label in Demo_0 Demo_1; do
  wave_file="$home/demo/wave/$label.wav"
  if [ ! -f "$wave_file" ]; then
    fail "no $label.wav"
  elif [ "$(frames "$wave_file")" -lt 40000 ]; then
    fail "$label.wav holds $(frames "$wave_file") frames, not 2 s at 25000 Hz"
  fi
done
[ ! -e "$root/usr/bin/varnel.ini" ] || fail "varnel.ini was written beside the installed program"
grep -q "^Caption=" "$config/varnel/varnel.ini" || fail "the settings were not saved to $config/varnel/varnel.ini"
pass "a 2-second recording with the settings in \$XDG_CONFIG_HOME/varnel"

# The unit's own command line, as systemd would run varnel-record@lab.service.
sed "s|^szWavePath=.*|szWavePath=$home/lab|" "$config/varnel/varnel.ini" >"$config/varnel/lab.ini"
mkdir -p "$home/lab"
if [ ${#as_user[@]} -gt 0 ]; then chown -R 65534:65534 "$home"; fi
command="$(sed -n 's/^ExecStart=//p' "$unit" | sed "s|%E|$config|g; s|%i|lab|g; s|/usr/bin/|$root/usr/bin/|; s|\$VARNEL_RECORD_OPTIONS||")"
# One process from here on (setpriv and env replace themselves), which the
# signal reaches as systemd's would. systemd splits the line on spaces too.
# shellcheck disable=SC2086
"${as_user[@]}" "${user_env[@]}" $command >"$work/service.log" 2>&1 &
service=$!
for _ in $(seq 600); do
  grep -q "^status: Running" "$work/service.log" && break
  kill -0 "$service" 2>/dev/null || break
  sleep 0.1
done
grep -q "^status: Running" "$work/service.log" || fail "the unit's command did not start recording: $(cat "$work/service.log")"
kill -TERM "$service" 2>/dev/null || true
status=0
wait "$service" || status=$?
service=""
[ "$status" -eq 0 ] || fail "the unit's command ended with status $status on SIGTERM: $(cat "$work/service.log")"
[ -f "$home/lab/Demo_0.wav" ] && [ "$(frames "$home/lab/Demo_0.wav")" -gt 0 ] ||
  fail "SIGTERM did not leave a saved recording: $(ls "$home/lab")"
pass "the unit's command records until SIGTERM and saves"

if [ "$failures" -gt 0 ]; then
  echo "test-deb: $failures failed" >&2
  exit 1
fi
echo "test-deb: $(basename "$deb") passed"
