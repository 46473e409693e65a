#!/usr/bin/env bash
# Windows DLLs of the same sources, built with Debian's mingw-w64 and tested inside Wine.
# Usage: windows.sh [install|build|test|all] [x86_64|i686|both]
#   install  the Debian packages: mingw-w64 compilers, wine (64-bit, and 32-bit where it installs)
#   build    host tools (effect and resource compilers), then the DLLs for the chosen architectures
#   test     build, then the Wine tests
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmd="${1:-build}"
archs="${2:-both}"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_packages() {
    "$root/scripts/setup.sh"
    local packages=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
                    wine wine64 xvfb xauth)
    local missing=()
    for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
    # 32-bit Wine (wine32) is an i386 package: Debian needs the i386 architecture enabled for it.
    if ! installed wine32:i386; then
        dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
        missing+=(wine32:i386)
    fi
    if ((${#missing[@]})); then
        echo "windows: installing ${missing[*]}"
        # An index that fails to download (a mirror in the middle of a sync) leaves the others usable.
        as_root apt-get update -qq || echo "windows: apt-get update reported errors; installing from the indexes it has"
        if ! DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${missing[@]}"; then
            # A mirror without i386 packages still gives the 64-bit set.
            echo "windows: wine32 did not install; 32-bit DLLs are built but not run"
            local rest=()
            for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
            ((${#rest[@]})) && DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${rest[@]}"
        fi
    fi
}

case "$cmd" in
    install) install_packages ;;
    *) echo "usage: $0 [install|build|test|all] [x86_64|i686|both]" >&2; exit 2 ;;
esac
