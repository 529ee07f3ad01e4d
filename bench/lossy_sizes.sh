#!/usr/bin/env bash
# zell's lossy LZW next to gifsicle's on the generated animations: for each
# file and each gifsicle level (-O3 --lossy=30, 80, 200), the smallest zell
# output (`optimize --lossy=N`, N by bisection and a ladder) whose PSNR is at
# least gifsicle's, and the size ratio zell / gifsicle at that point.
# PSNR: every coalesced frame against the input's (bench/gif_psnr.sh).
# Usage: bench/lossy_sizes.sh [BUILD_DIR]   (default: build)
# Installs ImageMagick, ffmpeg and gifsicle with apt-get when they are missing.
set -euo pipefail

source "$(dirname "$0")/common.sh"

need imagemagick ffmpeg gifsicle

scratch
source "$root/bench/gif_psnr.sh"
animations

max_level=200
printf '%-11s %5s %9s %6s %9s %6s %5s %6s\n' animation gs-N gs-bytes gs-dB zell-B z-dB z-N ratio
total_g=0; total_z=0; wins=0; points=0
for in in "$work"/*.gif; do
    name=$(basename "$in" .gif)
    case $name in *.*) continue ;; esac
    dims=$(identify -format '%Wx%H\n' "$in" | head -1)
    frames "$in" in.rgb
    declare -A zb=() zp=()
    run() { # zell at level $1, once per file
        [ -n "${zb[$1]:-}" ] && return
        if "$cli" optimize "$in" -o "z$1.gif" --lossy="$1" >/dev/null 2>&1; then
            zb[$1]=$(size "z$1.gif"); zp[$1]=$(psnr "$in" in.rgb "z$1.gif" "$dims")
        else
            zb[$1]=0; zp[$1]=0
        fi
    }
    # PSNR falls with the level but not strictly: a ladder of levels once
    # per file, then for each gifsicle point a bisection for the highest
    # level that reaches its PSNR; the smallest output that reaches it wins.
    for n in $(seq 10 10 "$max_level"); do run "$n"; done
    for g in 30 80 200; do
        gifsicle -O3 --lossy="$g" "$in" -o "g$g.gif" 2>/dev/null
        gb=$(size "g$g.gif"); gp=$(psnr "$in" in.rgb "g$g.gif" "$dims")
        lo=0; hi=$((max_level + 1))
        while [ $((hi - lo)) -gt 1 ]; do
            mid=$(((lo + hi) / 2)); run "$mid"
            if [ "${zb[$mid]}" -gt 0 ] && ge "${zp[$mid]}" "$gp"; then lo=$mid; else hi=$mid; fi
        done
        best=""; bb=0; bp=0
        for n in "${!zb[@]}"; do
            [ "${zb[$n]}" -gt 0 ] || continue
            if ge "${zp[$n]}" "$gp" && { [ -z "$best" ] || [ "${zb[$n]}" -lt "$bb" ]; }; then
                best=$n; bb=${zb[$n]}; bp=${zp[$n]}
            fi
        done
        if [ -z "$best" ]; then # no level reaches gifsicle's PSNR
            printf '%-11s %5s %9s %6.2f %9s %6s %5s %6s\n' "$name" "$g" "$gb" "$gp" - - - -
            continue
        fi
        ratio=$(awk -v a="$bb" -v b="$gb" 'BEGIN { printf "%.3f", a / b }')
        printf '%-11s %5s %9s %6.2f %9s %6.2f %5s %6s\n' "$name" "$g" "$gb" "$gp" "$bb" "$bp" "$best" "$ratio"
        total_g=$((total_g + gb)); total_z=$((total_z + bb)); points=$((points + 1))
        [ "$bb" -lt "$gb" ] && wins=$((wins + 1))
    done
    unset zb zp
done
printf '\nmatched points: %d, zell smaller on %d; total zell / gifsicle at matched PSNR: %s\n' "$points" "$wins" \
    "$(awk -v a="$total_z" -v b="$total_g" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }')"
