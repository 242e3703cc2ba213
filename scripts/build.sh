#!/usr/bin/env bash
# Configures (once) and builds into build/: everything, or only the targets named
# (scripts/build.sh tambourelle builds the program alone). TAMBOURELLE_JOBS=<n> limits the
# parallel jobs (default: every core).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$("$root/scripts/jobs.sh")"
build="${TAMBOURELLE_BUILD_DIR:-$root/build}"
# Someone else's clone (or a build made as root) cannot be built into: ninja would stop on its
# build log with "Permission denied". Say so before it starts, and how to go on.
writable() { [ -w "$1" ] && { [ ! -e "$1/.ninja_log" ] || [ -w "$1/.ninja_log" ]; }; }
place="$build"
while [ ! -e "$place" ]; do place="$(dirname "$place")"; done
if ! writable "$place"; then
  owner="$(stat -c %U "$place")"
  {
    if [ "$place" = "$build" ]; then
      echo "build: the build folder $build belongs to $owner, and you ($(id -un)) may not write to it."
    else
      echo "build: the build folder $build cannot be made: $place belongs to $owner, and you ($(id -un)) may not write to it."
    fi
    echo "build: make a clone of your own (git clone $root ~/tambourelle) and run the script there,"
    echo "build: or build into a folder of yours, e.g. TAMBOURELLE_BUILD_DIR=~/tambourelle-build scripts/run.sh"
  } >&2
  exit 1
fi
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j "$jobs" "${targets[@]}"
