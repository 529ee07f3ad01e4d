#!/usr/bin/env bash
# Peak memory and time of zell-cli commands on the small costly inputs of
# make_tiny_costly.sh, one line each. Needs GNU time (/usr/bin/time).
# Usage: bench/tiny_costly_cost.sh ZELL_CLI DIR [SMALL_DIR]
# SMALL_DIR, when given, is a folder on a file system with less room than
# the composed frames of huge-screen-60.gif take (45 GiB).
set -uo pipefail
cli=${1:?usage: tiny_costly_cost.sh ZELL_CLI DIR [SMALL_DIR]}
dir=${2:?usage: tiny_costly_cost.sh ZELL_CLI DIR [SMALL_DIR]}
small=${3:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$(dirname "$0")/make_tiny_costly.sh" "$dir"

run() {
    local name=$1
    shift
    /usr/bin/time -v -o "$out/time" "$@" >/dev/null 2>"$out/err"
    local status=$?
    printf '%-44s exit %-3s %8s KB %8s s\n' "$name" "$status" \
        "$(awk -F': ' '/Maximum resident/ {print $2}' "$out/time")" \
        "$(awk -F': ' '/Elapsed/ {print $2}' "$out/time")"
}

run "optimize big-screen" "$cli" optimize "$dir/big-screen.gif" -o "$out/a.gif"
run "optimize --transparency big-screen" "$cli" optimize "$dir/big-screen.gif" -o "$out/a.gif" --transparency
run "build --optimize big-screen" "$cli" build --optimize -o "$out/a.gif" "$dir/big-screen.gif"
run "optimize big-screen-60" "$cli" optimize "$dir/big-screen-60.gif" -o "$out/a.gif"
run "transition --after 1 big-screen" "$cli" transition "$dir/big-screen.gif" -o "$out/a.gif" --after 1
run "optimize big-image" "$cli" optimize "$dir/big-image.gif" -o "$out/a.gif"
run "frames big-image" "$cli" frames "$dir/big-image.gif" -o "$out/frames"
run "frames --composed big-image" "$cli" frames "$dir/big-image.gif" -o "$out/frames" --composed
run "unify --colors 4 big-image" "$cli" unify "$dir/big-image.gif" -o "$out/a.gif" --colors 4
run "optimize big-image-inside" "$cli" optimize "$dir/big-image-inside.gif" -o "$out/a.gif"
if [ -n "$small" ]; then
    run "frames --composed huge-screen-60" "$cli" frames "$dir/huge-screen-60.gif" -o "$small/frames" \
        --composed --max-pixels 268435456
    rm -rf "${small:?}/frames"
fi
