# PSNR of an animated GIF against the animation it was made from, shared by
# the lossy benches; sourced after common.sh and scratch. Every coalesced
# frame (ImageMagick) is compared by ffmpeg, the mean over the frames.
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
size() { stat -c %s "$1"; }
# The generated animations, copied into the scratch folder.
animations() {
    if [ -n "${ZELL_BENCH_ANIMATIONS:-}" ]; then
        cp "$ZELL_BENCH_ANIMATIONS"/*.gif "$work"
    else
        "$root/bench/make_animations.sh" "$work" >/dev/null
    fi
}
