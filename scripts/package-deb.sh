#!/usr/bin/env bash
# Builds the Debian package into dist/linux/varnel_<version>_<arch>.deb: every
# program the build installs, with its manual page, the menu entries, the
# icon, the AppStream metainfo and the systemd user unit (cmake/Packaging.cmake),
# its dependencies computed by dpkg-shlibdeps.
#   scripts/package-deb.sh        (VARNEL_SKIP_BUILD=1: package build/ as it is)
# Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${VARNEL_SKIP_BUILD:-}" != 1 ]; then scripts/build.sh >/dev/null; fi
rm -rf build/dist
if ! (cd build && cpack -G DEB >cpack.log 2>&1); then
  cat build/cpack.log >&2 || true
  echo "package-deb: cpack failed" >&2
  exit 1
fi
mkdir -p dist/linux
rm -f dist/linux/varnel_*.deb
cp build/dist/varnel_*.deb dist/linux/
ls dist/linux/varnel_*.deb
