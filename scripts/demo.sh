#!/usr/bin/env bash
# Set-up, build and the main job. Until the virtual camera host exists this runs the
# device benchmark: one frame of the engine's typical load on the software Direct3D 10 device.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$root/build/bench/bench_device"
