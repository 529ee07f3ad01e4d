#!/usr/bin/env bash
# Generates the bench's animations into DIR: ffmpeg lavfi sources (every frame
# written whole, no offsetting or transparency, so the optimisers do all the
# work) and ImageMagick screen-like and sprite-like sequences, among them a
# 1280x720 desktop recording. Needs ffmpeg and ImageMagick.
# Usage: bench/make_animations.sh DIR
set -euo pipefail
out=${1:?usage: make_animations.sh DIR}
mkdir -p "$out"
cd "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ff() { # name, lavfi source, colours
    ffmpeg -v error -y -f lavfi -i "$2" -filter_complex \
        "[0:v]split[a][b];[a]palettegen=max_colors=$3:stats_mode=full[p];[b][p]paletteuse=dither=none" \
        -gifflags -offsetting-transdiff -loop 0 "$1.gif" || echo "could not make $1" >&2
}
ff life "life=s=160x120:mold=10:r=10:ratio=0.1:seed=1:death_color=#202020:life_color=#e0c040,trim=duration=4" 16
ff testsrc "testsrc=s=160x120:r=10,trim=duration=3" 256
ff testsrc2 "testsrc2=s=320x240:r=10,trim=duration=3" 256
ff mandelbrot "mandelbrot=s=160x120:r=10,trim=duration=3" 256
ff cellauto "cellauto=s=200x120:r=10:rule=110:seed=3,trim=duration=4" 4
ff counter "color=c=navy:s=200x60:r=5,drawtext=text='%{n}':fontcolor=white:fontsize=40:x=20:y=10,trim=duration=4" 8

# A ball moving over a fixed gradient, every frame whole (sprite-like).
frames=()
for i in $(seq 0 15); do
    x=$((10 + i * 8))
    convert -size 160x100 gradient:'#3060a0-#a0d0f0' -fill '#e04020' \
        -draw "circle $x,50 $((x + 12)),50" "$tmp/ball$i.png"
    frames+=("$tmp/ball$i.png")
done
convert -delay 8 -loop 0 "${frames[@]}" +dither -colors 64 ball.gif

# A slide show of three still pictures shown twice each.
convert -seed 1 -size 120x90 plasma:fractal "$tmp/a.png"
convert -size 120x90 pattern:checkerboard "$tmp/b.png"
convert -size 120x90 xc:white -fill black -draw "rectangle 20,20 100,70" "$tmp/c.png"
convert -delay 50 -loop 0 "$tmp/a.png" "$tmp/a.png" "$tmp/b.png" "$tmp/b.png" "$tmp/c.png" "$tmp/c.png" \
    +dither -colors 128 slides.gif

# Screen-like: a window whose text grows line by line and a cursor that moves.
frames=()
for i in $(seq 0 11); do
    args=(-size 320x200 xc:'#d8d8d8' -fill white -draw "rectangle 10,20 310,190"
          -fill '#3050a0' -draw "rectangle 10,10 310,20" -fill black)
    for l in $(seq 0 "$i"); do
        args+=(-draw "rectangle 20,$((28 + l * 13)) $((60 + (l * 37) % 200)),$((34 + l * 13))")
    done
    args+=(-fill red -draw "polygon $((40 + i * 20)),$((60 + i * 5)) $((48 + i * 20)),$((72 + i * 5)) $((40 + i * 20)),$((74 + i * 5))")
    convert "${args[@]}" "$tmp/s$i.png"
    frames+=("$tmp/s$i.png")
done
convert -delay 20 -loop 0 "${frames[@]}" +dither -colors 32 +remap screen.gif

# A 1280x720 desktop recording: a photo-like wallpaper, windows, a terminal
# filling up, a moving pointer and a clock; every frame whole.
convert -seed 4 -size 1280x720 plasma:'#305070-#a0c0d0' -blur 0x2 "$tmp/wall.png"
frames=()
for i in $(seq 0 23); do
    args=("$tmp/wall.png" -fill '#f0f0f0' -draw "rectangle 100,80 760,560"
          -fill '#2060c0' -draw "rectangle 100,60 760,80"
          -fill '#202020' -draw "rectangle 820,120 1220,620" -fill '#40ff40')
    for l in $(seq 0 $((i / 2))); do
        args+=(-draw "rectangle 830,$((130 + l * 14)) $((860 + (l * 53) % 340)),$((138 + l * 14))")
    done
    args+=(-fill '#303030')
    for l in $(seq 0 $((i % 12))); do
        args+=(-draw "rectangle 120,$((100 + l * 18)) $((200 + (l * 71) % 500)),$((110 + l * 18))")
    done
    args+=(-fill '#101010' -draw "rectangle 0,690 1280,720" -fill white
           -draw "rectangle $((1180 + i % 4 * 6)),698 $((1200 + i % 4 * 6)),712"
           -fill white -stroke black
           -draw "polygon $((300 + i * 30)),$((400 - i * 9)) $((312 + i * 30)),$((418 - i * 9)) $((300 + i * 30)),$((422 - i * 9))")
    convert "${args[@]}" "$tmp/d$i.png"
    frames+=("$tmp/d$i.png")
done
convert -delay 10 -loop 0 "${frames[@]}" +dither -colors 256 +remap desktop.gif
ls "$out"/*.gif >/dev/null
