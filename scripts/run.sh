#!/usr/bin/env bash
# Installs what is missing, builds and starts Tambourelle. Without a display it runs on a
# virtual one and saves a screenshot of the window to build/screenshot.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMBOURELLE_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" tambourelle   # the program only: no tests, no benchmarks
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/app/tambourelle" "$@"
fi
shot="$build/screenshot.png"
echo "run: no display; starting on a virtual display, screenshot in $shot"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1" & pid=$!
  sleep "${TAMBOURELLE_SHOT_DELAY:-5}"
  import -window root "$2"
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
' _ "$build/app/tambourelle" "$shot"
echo "run: screenshot saved to $shot"
