#!/usr/bin/env bash
# zell's lossy LZW next to gifsicle's on the generated animations: for each
# file and each gifsicle level (-O3 --lossy=30, 80, 200), the smallest zell
# output (`optimize --lossy=N`, N by bisection and a ladder) whose PSNR is at
# least gifsicle's, and the size ratio zell / gifsicle at that point.
# PSNR: every coalesced frame (ImageMagick) against the input's, by ffmpeg.
# Usage: bench/lossy_sizes.sh [BUILD_DIR]   (default: build)
# Installs ImageMagick, ffmpeg and gifsicle with apt-get when they are missing.
set -euo pipefail

source "$(dirname "$0")/common.sh"

need imagemagick ffmpeg gifsicle

scratch
if [ -n "${ZELL_BENCH_ANIMATIONS:-}" ]; then
    cp "$ZELL_BENCH_ANIMATIONS"/*.gif "$work"
else
    "$root/bench/make_animations.sh" "$work" >/dev/null
fi

size() { stat -c %s "$1"; }
# The coalesced frames as RGB bytes, and their PSNR against the input's.
frames() { convert "$1" -coalesce -depth 8 rgb:"$2"; }
# The output's screen at the moment each input frame starts: gifsicle merges
# identical neighbours into one longer frame, so frame counts may differ.
align() { # input.gif, output.gif, output.rgb, WxH -> aligned.rgb
    local -a din dout
    mapfile -t din < <(identify -format '%T\n' "$1")
    mapfile -t dout < <(identify -format '%T\n' "$2")
    local w=${4%x*} h=${4#*x} t=0 j=0 end=${dout[0]} i
    : >aligned.rgb
    for i in "${!din[@]}"; do
        while [ "$t" -ge "$end" ] && [ $((j + 1)) -lt ${#dout[@]} ]; do j=$((j + 1)); end=$((end + dout[j])); done
        dd if="$3" bs=$((w * h * 3)) skip="$j" count=1 status=none >>aligned.rgb
        t=$((t + din[i]))
    done
}
psnr() { # input.gif, input.rgb, output.gif, WxH
    frames "$3" out.rgb
    align "$1" "$3" out.rgb "$4"
    ffmpeg -v info -nostdin -f rawvideo -pix_fmt rgb24 -s "$4" -i "$2" -f rawvideo -pix_fmt rgb24 -s "$4" \
        -i aligned.rgb -lavfi psnr -f null - 2>&1 | sed -n 's/.*PSNR r:.* average:\([0-9.inf]*\).*/\1/p' | tail -1 |
        sed 's/inf/99/'
}
ge() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }

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
