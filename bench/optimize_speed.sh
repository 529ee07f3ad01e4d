#!/usr/bin/env bash
# Time of zell-cli optimize (the lossless default) on a 10,000-frame
# animation next to gifsicle -O3 on the same file in the same run: wall
# clock, user and system time, and zell's over gifsicle's. zell runs with its
# work files where TMPDIR points and again on a memory file system (/dev/shm)
# when there is one, since creating thousands of small files costs a disk
# far more than the optimising does.
# Usage: bench/optimize_speed.sh [BUILD_DIR] [COPIES]   (default: build, 200
# copies of 50 frames)
# Installs ImageMagick and gifsicle with apt-get when they are missing.
set -euo pipefail

copies=${2:-200}
source "$(dirname "$0")/common.sh"
convert=/usr/bin/convert

need imagemagick gifsicle

scratch

# The animation of bench/edit_speed.sh: a ball and a block moving over a
# gradient, optimised by ImageMagick into changed rectangles.
$convert -size 160x120 gradient:'#3060a0-#a0d0f0' +dither -colors 32 bg.gif
for i in $(seq 0 49); do
    x=$((5 + i * 3)); y=$((40 + (i % 10) * 4))
    $convert bg.gif -fill '#e04020' -draw "circle $x,$y $((x + 8)),$y" \
        -fill '#20a040' -draw "rectangle $((150 - i * 2)),10 $((158 - i * 2)),20" +dither -remap bg.gif \
        "f$(printf %02d "$i").gif"
done
$convert -delay 4 -loop 0 f??.gif -layers Optimize base.gif
list=(); for _ in $(seq "$copies"); do list+=(base.gif); done
gifsicle --merge "${list[@]}" > large.gif
frames=$((copies * 50))

# Wall, user and system milliseconds of a command.
times() {
    /usr/bin/time -f '%e %U %S' -o t.txt "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    awk '{ printf "%d %d %d\n", $1 * 1000, $2 * 1000, $3 * 1000 }' t.txt
}

read -r gw gu gs < <(times gifsicle -O3 large.gif -o g.gif)
printf '%-22s %8s %8s %8s %8s %8s %9s\n' "$frames frames" wall user system "wall/gs" "cpu/gs" bytes
printf '%-22s %8d %8d %8d %8s %8s %9d\n' "gifsicle -O3" "$gw" "$gu" "$gs" - - "$(stat -c %s g.gif)"
row() { # label, then the environment for zell
    local label=$1; shift
    local zw zu zs
    read -r zw zu zs < <(times env "$@" "$cli" optimize large.gif -o z.gif --quiet)
    printf '%-22s %8d %8d %8d %8s %8s %9d\n' "$label" "$zw" "$zu" "$zs" \
        "$(awk -v a="$zw" -v b="$gw" 'BEGIN { printf "%.2f", a / (b ? b : 1) }')" \
        "$(awk -v a="$((zu + zs))" -v b="$((gu + gs))" 'BEGIN { printf "%.2f", a / (b ? b : 1) }')" \
        "$(stat -c %s z.gif)"
}
row "zell (TMPDIR)" "TMPDIR=${TMPDIR:-/tmp}"
[ -w /dev/shm ] && row "zell (/dev/shm)" TMPDIR=/dev/shm
echo "times in ms; wall/gs and cpu/gs: zell's wall clock and user + system time over gifsicle's."
