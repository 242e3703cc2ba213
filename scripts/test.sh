#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless. Exit status: the tests'.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMBOURELLE_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest -j "$(nproc)" --output-on-failure --timeout 600 "$@"
