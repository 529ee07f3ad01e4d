#!/usr/bin/env bash
# Clips turned into GIFs by zell (one palette for the clip, error diffusion,
# lossless optimiser) next to ffmpeg's two-pass palettegen + paletteuse
# (its default error diffusion) at the same frame rate and size. Sources are
# generated: FFmpeg's testsrc2, mandelbrot and life, and a screen-like one
# (flat panels, a grid, a moving box), encoded as H.264 and VP9 at 320x240
# and 640x360, 5 s. PSNR compares the composed GIF frames, decoded by
# ffmpeg, with the decoded source frames at the same moments. life starts
# from a fixed seed: its random start alone moves the sizes by 10-30 %.
# Usage: bench/clip_vs_ffmpeg.sh [BUILD_DIR] [FPS]   (defaults: build, 15)
set -euo pipefail

fps=${2:-15}
source "$(dirname "$0")/common.sh"
command -v ffmpeg >/dev/null || { echo "needs ffmpeg" >&2; exit 1; }

scratch

source_filter() { # kind size
    case $1 in
    testsrc2) echo "testsrc2=s=$2:r=30:d=5" ;;
    mandelbrot) echo "mandelbrot=s=$2:r=30,trim=duration=5" ;;
    life) echo "life=s=$2:r=30:mold=10:ratio=0.1:seed=1:life_color=#00ff80:death_color=#c83232,trim=duration=5" ;;
    screen) echo "color=c=0xeeeeee:s=$2:r=30:d=5,drawgrid=w=32:h=24:c=0xc8c8c8,drawbox=x=16:y=16:w=iw/3:h=ih/4:c=0x3366cc:t=fill,drawbox=x=iw/2:y=16:w=iw/3:h=ih/2:c=0xffffff:t=fill[bg];color=c=0xd04020:s=48x24:r=30[box];[bg][box]overlay=x='mod(t*90\,W-48)':y=H*2/3:shortest=1" ;;
    esac
}
encode() { # codec
    case $1 in
    h264) echo "-c:v libx264 -pix_fmt yuv420p -crf 20 -preset veryfast" ;;
    vp9) echo "-c:v libvpx-vp9 -pix_fmt yuv420p -b:v 0 -crf 32 -deadline realtime -cpu-used 8" ;;
    esac
}
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
now() { date +%s.%N; }
# Both sides get the same source frames: the sources run at 30 a second and
# every (30 / fps)-th frame is the one on screen at each moment. (ffmpeg's fps
# filter rounds millisecond timestamps to the nearest tick and so picks other
# frames from a WebM than from an MP4.)
(( 30 % fps == 0 )) || { echo "FPS must divide 30" >&2; exit 1; }
step=$((30 / fps))
pick="select='not(mod(n\\,$step))',setpts=N/$fps/TB"
# PSNR over all frames of a GIF, decoded by ffmpeg and composed by its GIF
# decoder, against the picked source frames; frame k against frame k.
psnr() {
    local size
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$2")
    ffmpeg -v error -nostdin -y -i "$1" -fps_mode passthrough -f rawvideo -pix_fmt rgb24 a.rgb
    ffmpeg -v error -nostdin -y -i "$2" -vf "$pick" -fps_mode passthrough -f rawvideo -pix_fmt rgb24 b.rgb
    ffmpeg -v info -nostdin -f rawvideo -pix_fmt rgb24 -s "$size" -framerate "$fps" -i a.rgb \
        -f rawvideo -pix_fmt rgb24 -s "$size" -framerate "$fps" -i b.rgb -lavfi psnr -f null - 2>&1 |
        sed -n 's/.*PSNR r:.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}

printf '%-18s %9s %9s %7s %7s %7s %7s %6s\n' clip zell-B ffmpeg-B size z-dB f-dB dB-diff time
for kind in testsrc2 mandelbrot life screen; do
    for codec in h264 vp9; do
        for size in 320x240 640x360; do
            name=$kind-$codec-$size
            ext=mp4
            [ "$codec" = vp9 ] && ext=webm
            # shellcheck disable=SC2046
            ffmpeg -v error -nostdin -y -f lavfi -i "$(source_filter "$kind" "$size")" $(encode "$codec") "$name.$ext"
            t0=$(now)
            "$cli" build -o "$name.z.gif" "$name.$ext" --fps "$fps" >/dev/null
            t1=$(now)
            ffmpeg -v error -nostdin -y -i "$name.$ext" \
                -vf "$pick,split[a][b];[a]palettegen[p];[b][p]paletteuse" -r "$fps" "$name.f.gif"
            t2=$(now)
            zb=$(stat -c %s "$name.z.gif")
            fb=$(stat -c %s "$name.f.gif")
            zp=$(psnr "$name.z.gif" "$name.$ext")
            fp=$(psnr "$name.f.gif" "$name.$ext")
            printf '%-18s %9d %9d %7.3f %7.2f %7.2f %+7.2f %6.2f\n' "$name" "$zb" "$fb" \
                "$(awk -v a="$zb" -v b="$fb" 'BEGIN { print a / b }')" "$zp" "$fp" \
                "$(awk -v a="$zp" -v b="$fp" 'BEGIN { print a - b }')" \
                "$(awk -v a="$(seconds "$t0" "$t1")" -v b="$(seconds "$t1" "$t2")" 'BEGIN { print a / b }')"
        done
    done
done
printf '\nzell-B, ffmpeg-B: GIF bytes; size: zell / ffmpeg; z-dB, f-dB: PSNR of all\n'
printf 'composed frames against the decoded source frames at %s frames a second;\n' "$fps"
printf 'time: zell / ffmpeg wall clock (same machine, one after the other).\n'
