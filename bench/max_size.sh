#!/usr/bin/env bash
# --max-size against gifsicle's strongest lossy setting on the generated
# animations: for each file, S = the size of gifsicle -O3 --lossy=200's
# output; `zell-cli optimize --max-size S` must write at most S bytes with a
# higher PSNR than gifsicle's output (bench/gif_psnr.sh), or both exact. The
# table gives the level and colour count the search chose.
# Usage: bench/max_size.sh [BUILD_DIR]   (default: build); exits 1 when a file
# does not fit or loses on PSNR.
set -euo pipefail

source "$(dirname "$0")/common.sh"

need imagemagick ffmpeg gifsicle

scratch
source "$root/bench/gif_psnr.sh"
animations

printf '%-11s %9s %9s %-22s %7s %7s %s\n' animation S zell-B chosen z-dB gs-dB ok
failed=0
for in in "$work"/*.gif; do
    name=$(basename "$in" .gif)
    case $name in *.*) continue ;; esac
    dims=$(identify -format '%Wx%H\n' "$in" | head -1)
    frames "$in" in.rgb
    gifsicle -O3 --lossy=200 "$in" -o g.gif 2>/dev/null
    s=$(size g.gif); gp=$(psnr "$in" in.rgb g.gif "$dims")
    if "$cli" optimize "$in" -o z.gif --max-size="$s" >note.txt 2>&1; then
        zb=$(size z.gif); zp=$(psnr "$in" in.rgb z.gif "$dims")
        # "[N colours and ]lossy level L[ weighed frame by frame] give(s) B bytes"
        chosen=$(sed -n 's/.*lossy level \([0-9]*\).*/L\1/p' note.txt)
        grep -q 'weighed' note.txt && chosen="$chosen weighed"
        colours=$(sed -n 's/.*: \([0-9]*\) colours and.*/\1/p' note.txt)
        [ -n "$colours" ] && chosen="$chosen, $colours colours"
        ok=yes
        # Both exact (99 dB) is a tie that counts as a win: nothing was lost.
        if [ "$zb" -gt "$s" ] || ! awk -v a="$zp" -v b="$gp" 'BEGIN { exit !(a + 0 > b + 0 || a + 0 >= 99) }'; then
            ok=NO; failed=$((failed + 1))
        fi
        printf '%-11s %9s %9s %-22s %7.2f %7.2f %s\n' "$name" "$s" "$zb" "${chosen:-?}" "$zp" "$gp" "$ok"
    else
        printf '%-11s %9s %9s %-22s %7s %7.2f %s\n' "$name" "$s" - "does not fit" - "$gp" NO
        sed 's/^/    /' note.txt
        failed=$((failed + 1))
    fi
done
printf '\nfiles where --max-size loses to gifsicle --lossy=200: %d\n' "$failed"
[ "$failed" -eq 0 ]
