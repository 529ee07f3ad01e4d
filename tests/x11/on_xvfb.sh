#!/usr/bin/env bash
# Runs a program on an X server of its own: a fresh Xvfb that picks a free
# display number itself and tells it once it accepts connections, so no
# number is guessed and no fixed wait is needed. Exits 77 (skipped) only when
# no X server can be started.
set -uo pipefail

if ! command -v Xvfb >/dev/null; then
    echo "skipped: Xvfb is not installed (scripts/setup installs it)" >&2
    exit 77
fi
log=$(mktemp)
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>"$log"; }
xvfb_pid=$XVFB_PID
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -f "$log"' EXIT
if ! read -r -t 60 -u "${XVFB[0]}" display || [[ -z "$display" ]]; then
    echo "skipped: Xvfb did not start:" >&2
    cat "$log" >&2
    exit 77
fi
unset WAYLAND_DISPLAY
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
