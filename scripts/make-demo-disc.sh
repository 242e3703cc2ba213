#!/usr/bin/env bash
# Writes a small audio-CD image to try the CD player without a drive: build/demo-disc/demo.cue
# and demo.bin with three tone tracks (8, 6 and 10 s). Put the cue's path into the settings
# file as [CDPlayer] CD_DRIVE=<path> (the script prints the line), run scripts/run.sh and press
# the main window's "ＣＤ" button.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${TAMBOURELLE_BUILD_DIR:-$root/build}/demo-disc"
command -v sox >/dev/null || { echo "make-demo-disc: sox is missing (scripts/setup.sh installs it)" >&2; exit 1; }
mkdir -p "$out"
: > "$out/demo.bin"
cue='FILE "demo.bin" BINARY'$'\n'
frames=0
n=0
for spec in "8 440" "6 554" "10 659"; do
  read -r seconds hz <<<"$spec"
  n=$((n + 1))
  # Raw CD audio: 44.1 kHz, 16-bit signed little-endian stereo; whole sectors of 588 frames.
  sox -r 44100 -c 2 -n -t raw -b 16 -e signed-integer -L "$out/track.raw" synth "$((seconds * 75 * 588))s" sine "$hz" vol 0.5
  cat "$out/track.raw" >> "$out/demo.bin"
  printf -v index '%02d:%02d:%02d' $((frames / 75 / 60)) $((frames / 75 % 60)) $((frames % 75))
  cue+="  TRACK $(printf %02d "$n") AUDIO"$'\n'"    INDEX 01 $index"$'\n'
  frames=$((frames + seconds * 75))
done
rm -f "$out/track.raw"
printf '%s' "$cue" > "$out/demo.cue"
echo "make-demo-disc: wrote $out/demo.cue"
echo "make-demo-disc: add to the settings file (Tambourelle.ini beside the program):"
echo "  [CDPlayer]"
echo "  CD_DRIVE=$out/demo.cue"
