#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Tambourelle need.
# Idempotent: apt-get runs only when something is missing. Not root, it uses sudo; where sudo
# is missing or would refuse, it prints the apt-get line for root to run and stops.
set -euo pipefail

packages=(
  # build
  cmake ninja-build ccache pkg-config g++
  qt6-base-dev libqt6printsupport6 libgl-dev
  zlib1g-dev libjpeg-dev
  # the order lists sort in (ICU's Japanese collation, read as sort keys)
  libicu-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libasound2-dev libcdio-dev libcdio-paranoia-dev libmp3lame-dev
  libcups2-dev
  # MIDI previews of the picture open dialog: a synthesizer and a small General MIDI sound font
  libfluidsynth-dev timgm6mb-soundfont
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev python3
  libtag1-dev python3-mutagen python3-libdiscid imagemagick netpbm sox ffmpeg lame libcdio-utils poppler-utils
  # icon fixtures and their reference extraction (icoutils); TIFF files we write are read back by
  # libtiff's tools; ImageMagick's C++ library is the yardstick of the picture benchmark
  icoutils libtiff-tools libmagick++-6.q16-dev
  # the families the program draws the Windows font names in (platform/gfx/DrawTools.cpp) and
  # the tests name: IPA (below), Nimbus and Standard Symbols PS (URW base 35), DejaVu Sans
  fonts-urw-base35 fonts-dejavu-core
  # the date tests build glibc's ja_JP locale (localedef) to check the Japanese eras against
  locales
  # the GIF tests check our files and read theirs with it
  gifsicle
  # the print tests run a CUPS scheduler of their own (cupsd) and set up its queues with lpadmin
  # and cupsreject
  cups-daemon cups-client
  # the file-safety tests watch the order of fsync and rename through it
  strace
  # CI compiles the program with clang too, so the code stays portable
  clang
  # running: Japanese fonts and Qt's own Japanese texts, a virtual display for machines
  # without one
  fonts-ipafont-gothic fonts-ipafont-mincho qt6-translations-l10n xvfb xauth
  # the font picker's tests check its Japanese families against fc-list
  fontconfig
  # metafiles: libwmf and libemf2svg read them into SVG for QtSvg; the tests check our EMF files
  # with emf2svg-conv
  libwmf-dev libemf2svg-dev qt6-svg-dev emf2svg
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

((${#missing[@]})) || exit 0

line="apt-get update && apt-get install -y ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  # sudo -n answers at once when no password is wanted. Otherwise sudo says the same ("a
  # password is required") whether or not it would let this user in, so from a terminal the
  # password is asked for first (sudo -v) and a refusal stops here, before apt-get; without a
  # terminal (sudo reads the password from /dev/tty) nobody can type it.
  why=""
  if ! command -v sudo >/dev/null; then
    why="sudo is not installed"
  elif ! sudo -n true 2>/dev/null; then
    if ! { : </dev/tty; } 2>/dev/null; then
      why="sudo wants a password and there is no terminal to type it"
    elif ! sudo -v; then
      why="sudo refused $(id -un)"
    fi
  fi
  if [ -n "$why" ]; then
    {
      echo "setup: these packages are missing: ${missing[*]}"
      echo "setup: they cannot be installed from here ($why). As root, run:"
      echo
      echo "    $line"
      echo
      echo "setup: then run this script again."
    } >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}"
