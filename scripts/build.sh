#!/usr/bin/env bash
# Configures (once) and builds into build/: everything, or only the targets named
# (scripts/build.sh tambourelle builds the program alone). TAMBOURELLE_JOBS=<n> limits the
# parallel jobs (default: every core).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$("$root/scripts/jobs.sh")"
build="${TAMBOURELLE_BUILD_DIR:-$root/build}"
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j "$jobs" "${targets[@]}"
