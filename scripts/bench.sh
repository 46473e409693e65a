#!/usr/bin/env bash
# The engine against OpenCV's cv::remap: installs what the comparison needs (OpenCV's core and imgproc
# from Debian, for this benchmark only), builds and runs bench_compare. Arguments go to bench_compare
# (frames per measurement, rounds).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
if ! dpkg-query -W -f='${Status}' libopencv-imgproc-dev 2>/dev/null | grep -q "install ok installed"; then
    echo "bench: installing libopencv-imgproc-dev"
    sudo=""
    if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq libopencv-imgproc-dev
fi
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
uptime
"$root/build/bench/bench_compare" "$@"
