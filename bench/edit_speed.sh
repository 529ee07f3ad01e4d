#!/usr/bin/env bash
# Time of zell-cli edit's reverse, crop and rotate on a 10,000-frame
# animation, next to ImageMagick and gifsicle doing the same to the same file
# in the same run, and zell's time on a quarter of it to show the growth.
# zell and gifsicle read and write GIF files; ImageMagick reads, coalesces
# and edits but writes nothing.
# Usage: bench/edit_speed.sh [BUILD_DIR]   (default: build)
# Installs ImageMagick and gifsicle with apt-get when they are missing.
set -euo pipefail

source "$(dirname "$0")/common.sh"
# The real ImageMagick: a stand-in may come first on the PATH.
convert=/usr/bin/convert

need imagemagick gifsicle

scratch
# The system's policy caps ImageMagick far below 10,000 frames of pixels.
cat > policy.xml <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="disk" value="16GiB"/>
  <policy domain="resource" name="area" value="1GP"/>
</policymap>
POLICY
export MAGICK_CONFIGURE_PATH=$work
# zell's work files on a memory file system where there is one: on a disk
# the file system's time for creating thousands of small files varies from
# run to run by more than the edits take.
if [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

# 50 frames of a ball and a block moving over a gradient, optimised by
# ImageMagick into small changed rectangles with transparency: the frames
# depend on what lies beneath them, as in most GIFs found in the wild.
$convert -size 160x120 gradient:'#3060a0-#a0d0f0' +dither -colors 32 bg.gif
for i in $(seq 0 49); do
    x=$((5 + i * 3)); y=$((40 + (i % 10) * 4))
    $convert bg.gif -fill '#e04020' -draw "circle $x,$y $((x + 8)),$y" \
        -fill '#20a040' -draw "rectangle $((150 - i * 2)),10 $((158 - i * 2)),20" +dither -remap bg.gif \
        "f$(printf %02d "$i").gif"
done
$convert -delay 4 -loop 0 f??.gif -layers Optimize base.gif
copies() { local n=$1 list=(); for _ in $(seq "$n"); do list+=(base.gif); done; gifsicle --merge "${list[@]}" > "$2"; }
copies 50 small.gif   # 2,500 frames
copies 200 large.gif  # 10,000 frames

# Milliseconds a command takes, wall clock and processor (user + system);
# its output goes nowhere.
ms() {
    /usr/bin/time -f '%e %U %S' -o times "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' times
}

printf '%-8s %9s %9s %6s %9s %9s %6s %8s %8s %8s %8s\n' edit zell-2.5k zell-10k growth \
    cpu-2.5k cpu-10k growth magick gifsicle magick/z gsicle/z
row() { # name, zell operation..., then -- magick operation -- gifsicle operation
    local name=$1; shift
    local z=() m=() g=()
    while [ "$1" != -- ]; do z+=("$1"); shift; done; shift
    while [ "$1" != -- ]; do m+=("$1"); shift; done; shift
    g=("$@")
    local zs zsc zl zlc tm tg _
    read -r zs zsc < <(ms "$cli" edit small.gif -o z.gif --quiet "${z[@]}")
    read -r zl zlc < <(ms "$cli" edit large.gif -o z.gif --quiet "${z[@]}")
    read -r tm _ < <(ms $convert large.gif -coalesce "${m[@]}" null:)
    read -r tg _ < <(ms gifsicle large.gif "${g[@]}" -o g.gif)
    printf '%-8s %9d %9d %6s %9d %9d %6s %8d %8d %8s %8s\n' "$name" "$zs" "$zl" \
        "$(echo "scale=2; $zl / $zs" | bc)" "$zsc" "$zlc" "$(echo "scale=2; $zlc / $zsc" | bc)" "$tm" "$tg" \
        "$(echo "scale=1; $tm / $zl" | bc)" "$(echo "scale=2; $tg / $zl" | bc)"
}
row reverse --reverse -- -reverse -- --unoptimize '#-1-0' -O1
row crop --crop 80x60+40+30 -- -crop 80x60+40+30 +repage -- --crop 40,30+80x60
row rotate --rotate 90 -- -rotate 90 -- --rotate-90
echo "times in ms (wall clock, and processor: user + system); growth = 10,000"
echo "frames over 2,500 (4 is linear);"
echo "magick/z, gsicle/z = their time over zell's on the 10,000 frames."
echo "ImageMagick's time leaves out writing the GIF (null: output): its GIF writer"
echo "needs minutes for a few hundred frames, hours for these."
