#!/usr/bin/env bash
# Runs a command on a virtual X server of its own: with_xvfb.sh COMMAND [ARGS...]
# Xvfb chooses a free display number itself (-displayfd) and says which when it is ready, so that
# several of these can start at once; `xvfb-run -a` picks the number before starting the server, and
# two runs starting together can share one server, which the first to finish then takes away.
set -euo pipefail
screen="${UNFOLD_XVFB_SCREEN:-1280x1024x24}"
ready="$(mktemp)"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$ready" 2>/dev/null &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -f "$ready"
}
trap cleanup EXIT
for _ in $(seq 200); do
    [ -s "$ready" ] && break
    kill -0 "$server" 2>/dev/null || { echo "with_xvfb: Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
display="$(head -n1 "$ready")"
[ -n "$display" ] || { echo "with_xvfb: Xvfb gave no display within 10 s" >&2; exit 1; }
status=0
DISPLAY=":$display" "$@" || status=$?
exit "$status"
