#!/usr/bin/env bash
# Installs what is missing, builds, and runs the recorder on the simulated board.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
echo "Varnel build in ./build/bin:"
ls build/bin
