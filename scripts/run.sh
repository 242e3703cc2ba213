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
rm -f "$shot"   # an old picture must not pass for this run's
# Only a picture that passed the checks below stays.
kept=""
trap '[ -n "$kept" ] || rm -f "$shot"' EXIT
echo "run: no display; starting on a virtual display, screenshot in $shot"
# The picture counts only when the program is still running when it is taken and the picture
# shows something: a program that died at start leaves an all-black screen behind.
status=0
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1" & pid=$!
  sleep "${TAMBOURELLE_SHOT_DELAY:-5}"
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" && code=0 || code=$?
    echo "run: Tambourelle exited (status $code) before the screenshot" >&2
    exit 3
  fi
  import -window root "$2" || { kill "$pid"; wait "$pid"; exit 4; }
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
' _ "$build/app/tambourelle" "$shot" || status=$?
if ((status)); then
  ((status == 4)) && echo "run: the screenshot could not be taken" >&2
  exit 1
fi
colours="$(identify -format '%k' "$shot")"
if [ "$colours" -le 1 ]; then
  echo "run: the screenshot was all one colour: no window was shown" >&2
  exit 1
fi
kept=1
echo "run: screenshot saved to $shot"
