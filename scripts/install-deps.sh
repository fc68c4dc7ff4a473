#!/usr/bin/env bash
# Installs the Debian packages Varnel needs to build, test and run.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # sound cards and audio interfaces as boards (ALSA)
  libasound2-dev
  # data-acquisition boards as boards (comedi; its tools comedi_config,
  # comedi_board_info and comedi_test come with the library)
  libcomedi-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # independent wave-file readers used by the tests
  sox sndfile-programs libsndfile1-dev python3 python3-soundfile python3-numpy
  # the scripts' and tests' process tools (pgrep, pkill; timeout and flock come with every system)
  procps
  # fuzzing (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
  # analyser conversation over the session bus
  dbus libsystemd-dev
  # the window and device-change notifications
  qt6-base-dev libudev-dev fonts-dejavu-core
  # the live monitor's spectra
  libfftw3-dev
  # the Windows build (MinGW-w64, posix threads) and its tests under Wine;
  # never wine32, which breaks the 64-bit loader on these machines
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine util-linux
  # the Windows installers and their screenshots (xvfb-run needs xauth)
  nsis p7zip-full xvfb xauth
  # the Debian package (cpack, dpkg-shlibdeps, help2man for a program without
  # a manual page) and the validators its test runs (systemd-analyze checks the user unit)
  dpkg-dev file binutils help2man lintian desktop-file-utils appstream man-db groff-base systemd
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root (or install sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
