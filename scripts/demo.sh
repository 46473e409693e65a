#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds, registers the expansion filter,
# the virtual camera and the sample camera in your registry (~/.config/unfold/registry unless
# UNFOLD_REGISTRY names another folder), then records 5 seconds from the virtual camera
# "TELMAR ZK900 4K UVC" the way a video-call application opens a webcam, and says what it wrote.
# Usage: scripts/demo.sh [FOLDER]   (default: capture-<date>-<time> in the current folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
# Only what the demo runs: the host and the modules it loads, and the sample camera's recording (the
# tests and benchmarks are scripts/test.sh's to build).
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --parallel "$(nproc)" --target unfold sample_camera
unfold="$root/build/tools/unfold/unfold"
folder="${1:-capture-$(date +%Y%m%d-%H%M%S)}"

"$unfold" register
echo
"$unfold" capture --seconds 5 --out "$folder"
video="$folder/video.avi"
cat <<EOF

The virtual camera's picture is in $folder:
  $video               every frame, Motion-JPEG in AVI; watch it with
                          mpv $video   (or vlc, or ffplay)
  $folder/frame-*.png   one frame a second as PNG pictures

Change what the camera shows, then capture again:
  $unfold set --mode PANORAMA          (or NONE, SEG, QUAD, RING, DOME, INDOME, THROWOUT, EXTRACT, 16:9)
  $unfold set --view 30 60 --zoom 20 --lens down
  $unfold get

Use it as a webcam on Linux:
  $unfold stream | ffplay -            the live picture in a player
  sudo modprobe v4l2loopback video_nr=10 card_label="TELMAR ZK900 4K UVC" exclusive_caps=1
  $unfold stream --to /dev/video10     then pick "TELMAR ZK900 4K UVC" in the browser or call program
EOF
