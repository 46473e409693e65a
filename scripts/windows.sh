#!/usr/bin/env bash
# Windows DLLs of the same sources, built with Debian's mingw-w64 and tested inside Wine.
# Usage: windows.sh [install|build|test] [x86_64|i686|both]
#   install  the Debian packages: mingw-w64 compilers, Wine (64-bit, and 32-bit where it installs), Xvfb
#   build    the native build tools, then the DLLs (build-windows-ARCH/filter/unfoldfilter.dll,
#            build-windows-ARCH/vcam/unfoldcam.dll)
#   test     build, then the Wine tests of each architecture Wine can run here (the others say they are
#            skipped)
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
            # A mirror without (matching) i386 packages still gives the 64-bit set.
            echo "windows: wine32 did not install; the 32-bit DLL is built but not run"
            local rest=()
            for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
            if ((${#rest[@]})); then
                DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${rest[@]}" ||
                    echo "windows: some packages did not install: ${rest[*]}"
            fi
        fi
    fi
}

case "$archs" in
    both) archs=(x86_64 i686) ;;
    x86_64 | i686) archs=("$archs") ;;
    *) echo "windows: unknown architecture '$archs' (x86_64, i686 or both)" >&2; exit 2 ;;
esac

# The native tools the Windows build runs (effect compiler) and the Linux side of the tests (the
# `unfold` host and bitmap_from_png), in the build folder of scripts/test.sh.
build_host() {
    local dir="$root/build"
    [ -f "$dir/build.ninja" ] || nice -n 10 cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DUNFOLD_WERROR=ON >/dev/null
    nice -n 10 cmake --build "$dir" --target unfold_fxc unfold_mode_icons unfold bitmap_from_png
}

# The DLLs and the Wine test programs of one architecture, in build-windows-ARCH.
build_windows() {
    local arch="$1" dir="$root/build-windows-$1"
    nice -n 10 cmake -S "$root" -B "$dir" -G Ninja --toolchain "$root/cmake/mingw-w64-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DUNFOLD_WERROR=ON -DUNFOLD_HOST_TOOLS="$root/build" >/dev/null
    nice -n 10 cmake --build "$dir" --target unfoldfilter unfoldcam wine_test
    local dll
    for dll in "$dir/filter/unfoldfilter.dll" "$dir/vcam/unfoldcam.dll"; do
        "$arch-w64-mingw32-strip" "$dll"
        echo "windows: $(stat -c %s "$dll") bytes  $dll"
    done
}

# Wine's own loader for an architecture. Debian's `wine` starts the 32-bit loader whenever wine32 is
# installed, even for 64-bit programs, and a kernel built without 32-bit support cannot run it.
wine_loader() {
    case "$1" in
        x86_64) [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64 || echo wine64 ;;
        i686) [ -x /usr/lib/wine/wine ] && echo /usr/lib/wine/wine || echo wine ;;
    esac
}

# Whether Wine can run programs of an architecture here: its loader starts.
wine_runs() {
    "$(wine_loader "$1")" --version >/dev/null 2>&1
}

# The Wine tests of one architecture, in a Wine prefix of their own under the build folder, with a
# display from Xvfb (the filter draws through a hidden window).
test_windows() {
    local arch="$1" dir="$root/build-windows-$1"
    if ! wine_runs "$arch"; then
        echo "windows: SKIPPED the $arch Wine tests: Wine cannot run $arch programs on this machine"
        return 0
    fi
    local data="$dir/wine-data" unfold="$root/build/tools/unfold/unfold" bitmap="$root/build/tests/wine/bitmap_from_png"
    local wine
    wine="$(wine_loader "$arch")"
    export WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER="$wine"
    [ "$arch" = i686 ] && export WINEARCH=win32 || export WINEARCH=win64
    mkdir -p "$data"
    [ -d "$WINEPREFIX" ] || "$wine" wineboot -i >/dev/null 2>&1
    local test_exe="$dir/tests/wine/wine_test.exe"

    # The pictures: the fisheye picture the test source delivers, and each case drawn by the Linux build.
    "$unfold" scene "$data/fisheye.png" --size 1440 >/dev/null
    "$bitmap" "$data/fisheye.png" "$data/fisheye.bmp" 32
    "$wine" "$test_exe" --print-cases | tr -d '\r' | while read -r name options; do
        # shellcheck disable=SC2086
        "$unfold" image "$data/fisheye.png" "$data/$name.png" $options >/dev/null
        "$bitmap" "$data/$name.png" "$data/$name.bmp" 24
    done
    local filter_dll camera_dll data_dir
    filter_dll="$("$wine" winepath -w "$dir/filter/unfoldfilter.dll")"
    camera_dll="$("$wine" winepath -w "$dir/vcam/unfoldcam.dll")"
    data_dir="$("$wine" winepath -w "$data")"
    # The Wine session of the commands above has no display, and a program started while it lasts joins
    # it (and cannot open windows): let it end, so that the tests start one on their own X server.
    wineserver -w

    # A test that hangs inside Wine fails the run after 20 minutes instead of holding CI.
    local status=0
    UNFOLD_FILTER_DLL="$filter_dll" UNFOLD_CAMERA_DLL="$camera_dll" UNFOLD_WINE_DATA="$data_dir" \
        timeout 1200 "$root/scripts/with_xvfb.sh" "$wine" "$test_exe" 2> >(grep -v '^ALSA lib' >&2) || status=$?
    if [ "$status" = 124 ]; then
        echo "windows: the $arch Wine tests did not finish within 20 minutes" >&2
        wineserver -k
    fi
    wineserver -w
    return "$status"
}

case "$cmd" in
    install) install_packages ;;
    build)
        install_packages
        build_host
        for a in "${archs[@]}"; do build_windows "$a"; done
        ;;
    test)
        # A machine where the packages cannot be installed (no network, no root) goes on to the check below.
        install_packages || echo "windows: installing the packages failed"
        # CI runs this too: a machine without the cross compiler or Wine says so and passes.
        if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
            echo "windows: SKIPPED the Windows build and Wine tests: mingw-w64 or Wine is not installed here"
            exit 0
        fi
        build_host
        for a in "${archs[@]}"; do
            build_windows "$a"
            test_windows "$a"
        done
        ;;
    *) echo "usage: $0 [install|build|test] [x86_64|i686|both]" >&2; exit 2 ;;
esac
