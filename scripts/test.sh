#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless. Exit status: the tests'.
# TAMBOURELLE_JOBS=<n> limits the parallel jobs of the build and of the tests (default: every
# core).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMBOURELLE_BUILD_DIR:-$root/build}"
jobs="$("$root/scripts/jobs.sh")"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest -j "$jobs" --output-on-failure --timeout 600 "$@"
