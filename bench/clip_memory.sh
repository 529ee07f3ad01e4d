#!/usr/bin/env bash
# Peak memory of `zell-cli build` on a clip of 200 frames and of 2,000
# frames (FFmpeg's testsrc2 at 320x240, H.264, 25 frames a second): frames
# stream to work files, so the longer clip should need about as much.
# Usage: bench/clip_memory.sh [BUILD_DIR]
set -euo pipefail
source "$(dirname "$0")/common.sh"
command -v ffmpeg >/dev/null || { echo "needs ffmpeg" >&2; exit 1; }
need time
scratch

printf '%-8s %10s %12s %8s\n' frames 'GIF bytes' 'peak RSS KB' seconds
for frames in 200 2000; do
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=320x240:r=25:d=$((frames / 25))" \
        -c:v libx264 -pix_fmt yuv420p -preset veryfast clip.mp4
    /usr/bin/time -f '%M %e' -o usage "$cli" build -o out.gif clip.mp4 --max-frames "$frames" >/dev/null
    read -r rss seconds <usage
    printf '%-8d %10d %12d %8.1f\n' "$frames" "$(stat -c %s out.gif)" "$rss" "$seconds"
done
