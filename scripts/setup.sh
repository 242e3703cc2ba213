#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Tambourelle need.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build ccache pkg-config g++
  qt6-base-dev libqt6printsupport6 libgl-dev
  zlib1g-dev libjpeg-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libasound2-dev libcdio-dev libcdio-paranoia-dev libmp3lame-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev python3
  libtag1-dev python3-mutagen python3-libdiscid imagemagick netpbm sox ffmpeg lame libcdio-utils poppler-utils
  # running: Japanese fonts and Qt's own Japanese texts, a virtual display for machines
  # without one
  fonts-ipafont-gothic fonts-ipafont-mincho qt6-translations-l10n xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${missing[@]}"
fi
