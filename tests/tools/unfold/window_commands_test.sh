#!/usr/bin/env bash
# `unfold props` and `unfold preview` on a display (a virtual X server of its own), and both without
# one. The registry is a temporary folder, so the modules are registered there by the commands themselves.
set -u
unfold="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
export UNFOLD_REGISTRY="$dir/registry"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The width and height stored in a PNG file's header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%d %d\n", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }

# Without a display: one line, a failure code.
for command in "props --filter" "preview"; do
    err="$(env -u DISPLAY -u WAYLAND_DISPLAY "$unfold" $command 2>&1 >/dev/null)"
    code=$?
    [ "$code" -ne 0 ] || fail "$command without a display exited 0"
    [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$command without a display said: $err"
    case "$err" in *"no display"*) ;; *) fail "$command without a display said: $err" ;; esac
done

# The filter's page drawn into a picture, at the frame's size.
out="$("$unfold" props --filter --screenshot "$dir/filter.png" 2>"$dir/err")" || fail "props --filter: $(cat "$dir/err")"
[ -s "$dir/filter.png" ] || fail "props --filter wrote no picture"
read -r w h < <(png_size "$dir/filter.png")
{ [ "$w" -ge 340 ] && [ "$w" -le 420 ] && [ "$h" -ge 240 ] && [ "$h" -le 320 ]; } ||
    fail "the filter's frame is $w x $h"
case "$out" in *"unfold mode index 6"*) ;; *) fail "props --filter printed: $out" ;; esac

# A device that is not there: a failure naming the device, not an empty window.
err="$("$unfold" preview --device "No Such Camera" --seconds 1 2>&1 >/dev/null)"
code=$?
[ "$code" -ne 0 ] || fail "preview of a missing device exited 0"
case "$err" in *"no video capture device is named 'No Such Camera'"*) ;; *) fail "preview of a missing device said: $err" ;; esac

# The virtual camera's live window: frame after frame while it is open (a sanitizer build draws only a few a second).
out="$("$unfold" preview --seconds 3 --screenshot "$dir/preview.png" 2>"$dir/err")" || fail "preview: $(cat "$dir/err")"
frames="$(printf '%s\n' "$out" | sed -n 's/^frames shown: //p')"
[ "${frames:-0}" -ge 2 ] || fail "preview showed ${frames:-no} frames in 3 seconds"
[ -s "$dir/preview.png" ] || fail "preview wrote no picture"

[ "$failures" -eq 0 ] && echo "all passed"
exit "$failures"
