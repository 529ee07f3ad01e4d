#!/usr/bin/env bash
# Sizes of generated animations after zell's optimizer next to gifsicle.
# Usage: bench/optimizer_sizes.sh [BUILD_DIR]   (default: build)
# Installs ImageMagick, ffmpeg and gifsicle with apt-get when they are missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cli=$build/zell-cli
[ -x "$cli" ] || { echo "no $cli: build zell first" >&2; exit 1; }

missing=()
dpkg -s imagemagick >/dev/null 2>&1 || missing+=(imagemagick)
dpkg -s ffmpeg >/dev/null 2>&1 || missing+=(ffmpeg)
dpkg -s gifsicle >/dev/null 2>&1 || missing+=(gifsicle)
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# ffmpeg writes every frame whole (no offsetting, no transparency), so the
# inputs leave all the work to the optimizers.
ff() { # name, lavfi source, colours
    ffmpeg -v error -f lavfi -i "$2" -filter_complex \
        "[0:v]split[a][b];[a]palettegen=max_colors=$3:stats_mode=full[p];[b][p]paletteuse=dither=none" \
        -gifflags -offsetting-transdiff -loop 0 "$1.gif" || echo "could not make $1" >&2
}
ff life "life=s=160x120:mold=10:r=10:ratio=0.1:seed=1:death_color=#202020:life_color=#e0c040,trim=duration=4" 16
ff testsrc "testsrc=s=160x120:r=10,trim=duration=3" 256
ff mandelbrot "mandelbrot=s=160x120:r=10,trim=duration=3" 256
ff counter "color=c=navy:s=200x60:r=5,drawtext=text='%{n}':fontcolor=white:fontsize=40:x=20:y=10,trim=duration=4" 8

# ImageMagick: a ball moving over a fixed picture, every frame whole.
frames=()
for i in $(seq 0 15); do
    x=$((10 + i * 8))
    convert -size 160x100 gradient:'#3060a0-#a0d0f0' -fill '#e04020' \
        -draw "circle $x,50 $((x + 12)),50" "ball$i.png"
    frames+=("ball$i.png")
done
convert -delay 8 -loop 0 "${frames[@]}" +dither -colors 64 ball.gif
# ... and a slide show of three still pictures shown twice each.
convert -seed 1 -size 120x90 plasma:fractal a.png
convert -size 120x90 pattern:checkerboard b.png
convert -size 120x90 xc:white -fill black -draw "rectangle 20,20 100,70" c.png
convert -delay 50 -loop 0 a.png a.png b.png b.png c.png c.png +dither -colors 128 slides.gif

size() { if [ -s "$1" ]; then stat -c %s "$1"; else echo "-"; fi; }
run() { # output, command...
    local out=$1; shift
    "$@" >/dev/null 2>&1 || rm -f "$out"
    size "$out"
}

printf '%-11s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n' animation input plain opt opt+T opt+T+D auto+D export-O gs-O2 gs-O3
for name in life testsrc mandelbrot counter ball slides; do
    in=$name.gif
    [ -s "$in" ] || continue
    plain=$(run "$name.plain.gif" "$cli" build --global-table -o "$name.plain.gif" "$in")
    o=$(run "$name.o.gif" "$cli" optimize "$in" -o "$name.o.gif")
    ot=$(run "$name.ot.gif" "$cli" optimize "$in" -o "$name.ot.gif" --transparency)
    otd=$(run "$name.otd.gif" "$cli" optimize "$in" -o "$name.otd.gif" --transparency --drop-unchanged)
    oad=$(run "$name.oad.gif" "$cli" optimize "$in" -o "$name.oad.gif" --auto-transparency --drop-unchanged)
    eo=$(run "$name.eo.gif" "$cli" build --global-table -o "$name.eo.gif" "$in" \
        --optimize=transparency,drop-unchanged,auto-transparency)
    g2=$(run "$name.g2.gif" gifsicle -O2 "$in" -o "$name.g2.gif")
    g3=$(run "$name.g3.gif" gifsicle -O3 "$in" -o "$name.g3.gif")
    printf '%-11s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n' "$name" "$(size "$in")" "$plain" "$o" "$ot" "$otd" "$oad" "$eo" "$g2" "$g3"
done
cat <<'NOTE'

plain: zell-cli build --global-table (import and export as it is);
opt: zell-cli optimize; +T --transparency; +D --drop-unchanged;
auto: --auto-transparency; export-O: the optimising export with all three;
gs: gifsicle. Sizes in bytes; "-" where a tool failed.
NOTE
