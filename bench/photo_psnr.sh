#!/usr/bin/env bash
# PSNR against the 24-bit source of photo-like stills turned into GIFs by
# zell (the network's palette, refined by k-means, dithered) next to pngquant
# with and without dithering. Needs ImageMagick, ffmpeg and pngquant.
# Usage: bench/photo_psnr.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cli=$build/zell-cli
[ -x "$cli" ] || { echo "no $cli: build zell first" >&2; exit 1; }
for tool in convert compare ffmpeg pngquant; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

convert -seed 1 -size 480x360 plasma:fractal -blur 0x1 plasma.png
convert -seed 7 -size 480x360 plasma:'#204080-#e0a060' -blur 0x3 \
    \( -size 480x360 gradient:'#f0e0c0-#203040' \) -compose overlay -composite sunset.png
convert rose: -filter Lanczos -resize 420x276 rose.png
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=480x360:end_pts=30,trim=start_frame=20:end_frame=21" \
    -frames:v 1 mandelbrot.png

# compare exits 1 when the pictures differ.
psnr() { { compare -metric PSNR "$1" "$2" null: 2>&1 || true; } | awk '{ print ($1 == "inf" ? 99 : $1) }'; }
printf '%-11s %9s %9s %9s %9s %9s %9s\n' still network refined dithered ref+dith pngquant pq-dith
sums=(0 0 0 0 0 0)
n=0
for still in plasma sunset rose mandelbrot; do
    src=$still.png
    [ -s "$src" ] || continue
    row=()
    i=0
    for flags in "--network-colors" "--refine-colors" "--network-colors --dither" "--refine-colors --dither"; do
        # shellcheck disable=SC2086
        "$cli" build -o "$still.$i.gif" "$src" $flags >/dev/null
        row+=("$(psnr "$src" "$still.$i.gif[0]")")
        i=$((i + 1))
    done
    pngquant --force --nofs --output "$still.pq.png" 256 "$src"
    pngquant --force --output "$still.pqd.png" 256 "$src"
    row+=("$(psnr "$src" "$still.pq.png")" "$(psnr "$src" "$still.pqd.png")")
    printf '%-11s %9s %9s %9s %9s %9s %9s\n' "$still" "${row[@]}"
    for k in 0 1 2 3 4 5; do
        sums[k]=$(awk -v a="${sums[k]}" -v b="${row[k]}" 'BEGIN { print a + b }')
    done
    n=$((n + 1))
done
printf '%-11s' mean
for k in 0 1 2 3 4 5; do
    printf ' %9s' "$(awk -v a="${sums[k]}" -v n="$n" 'BEGIN { printf "%.2f", a / n }')"
done
printf '\n\nPSNR in dB against the 24-bit source. network: the neural network'"'"'s palette\n'
printf 'as it comes out (--network-colors); refined: after k-means passes\n'
printf '(--refine-colors); dithered: Floyd-Steinberg (--dither); pngquant 256\n'
printf 'colours without (--nofs) and with its dithering.\n'
