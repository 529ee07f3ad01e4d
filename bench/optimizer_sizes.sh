#!/usr/bin/env bash
# Sizes of generated animations after zell's optimizer next to gifsicle.
# Usage: bench/optimizer_sizes.sh [BUILD_DIR]   (default: build)
# The animations come from bench/make_animations.sh.
# Installs ImageMagick, ffmpeg and gifsicle with apt-get when they are missing.
set -euo pipefail

source "$(dirname "$0")/common.sh"

need imagemagick ffmpeg gifsicle

scratch

# ZELL_BENCH_ANIMATIONS names a folder made by make_animations.sh before.
if [ -n "${ZELL_BENCH_ANIMATIONS:-}" ]; then
    cp "$ZELL_BENCH_ANIMATIONS"/*.gif "$work"
else
    "$root/bench/make_animations.sh" "$work" >/dev/null
fi

size() { if [ -s "$1" ]; then stat -c %s "$1"; else echo "-"; fi; }
now() { date +%s%N; }
# User and system milliseconds of the shell's finished children, from the
# `times` lines it wrote to files before and after (a $(...) would be a
# shell of its own, with no children).
cpu() { awk 'FNR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/)
                       t = (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000; d = FILENAME == ARGV[1] ? d - t : d + t }
             END { printf "%d", d }' "$@"; }
run() { # output, command...  (the wall and CPU milliseconds go to $work/ms and
        # $work/cpu: $(...) is a subshell)
    local out=$1; shift
    local t0; t0=$(now); times > "$work/times0"
    "$@" >/dev/null 2>&1 || rm -f "$out"
    times > "$work/times1"
    echo $(( ($(now) - t0) / 1000000 )) > "$work/ms"
    cpu "$work/times0" "$work/times1" > "$work/cpu"
    size "$out"
}
ms() { cat "$work/ms"; }
cpums() { cat "$work/cpu"; }
# What ImageMagick shows: every coalesced frame, as RGBA bytes.
screens() { convert "$1" -coalesce -depth 8 rgba:- 2>/dev/null | md5sum | cut -d' ' -f1; }

printf '%-11s %8s %8s %8s %8s %8s %8s %8s %8s %8s %6s %5s %7s %7s %7s\n' animation input plain \
    opt opt+T auto+D lossless lossl+KT gs-O2 gs-O3 ratio exact t-opt+T t-lossl t-gsO3
tl=0; tg=0; worst=0; tt=0; tz=0; tgs=0; cz=0; cgs=0; larger=()
for in in "$work"/*.gif; do
    name=$(basename "$in" .gif)
    case $name in *.*) continue ;; esac
    plain=$(run "$name.plain.gif" "$cli" build -o "$name.plain.gif" "$in")
    built=$(run "$name.built.gif" "$cli" build --optimize -o "$name.built.gif" "$in")
    [ "$plain" != "-" ] && [ "$plain" -gt "$(size "$in")" ] && larger+=("$name: plain build")
    [ "$built" != "-" ] && [ "$built" -gt "$(size "$in")" ] && larger+=("$name: build --optimize")
    o=$(run "$name.o.gif" "$cli" optimize "$in" -o "$name.o.gif" --transparency=none)
    ot=$(run "$name.ot.gif" "$cli" optimize "$in" -o "$name.ot.gif" --transparency); t_ot=$(ms)
    oad=$(run "$name.oad.gif" "$cli" optimize "$in" -o "$name.oad.gif" --auto-transparency --drop-unchanged)
    ol=$(run "$name.ol.gif" "$cli" optimize "$in" -o "$name.ol.gif"); t_ol=$(ms); c_ol=$(cpums)
    olk=$(run "$name.olk.gif" "$cli" optimize "$in" -o "$name.olk.gif" --drop-unchanged=keep-timing)
    g2=$(run "$name.g2.gif" gifsicle -O2 "$in" -o "$name.g2.gif")
    g3=$(run "$name.g3.gif" gifsicle -O3 "$in" -o "$name.g3.gif"); t_g3=$(ms); c_g3=$(cpums)
    exact=no
    [ "$ol" != "-" ] && [ "$(screens "$in")" = "$(screens "$name.ol.gif")" ] && exact=yes
    ratio=$(awk -v a="$ol" -v b="$g3" 'BEGIN { if (a == "-" || b == "-") print "-"; else printf "%.3f", a / b }')
    printf '%-11s %8s %8s %8s %8s %8s %8s %8s %8s %8s %6s %5s %7s %7s %7s\n' "$name" "$(size "$in")" "$plain" \
        "$o" "$ot" "$oad" "$ol" "$olk" "$g2" "$g3" "$ratio" "$exact" "${t_ot}ms" "${t_ol}ms" "${t_g3}ms"
    if [ "$ol" != "-" ] && [ "$g3" != "-" ]; then
        tl=$((tl + ol)); tg=$((tg + g3))
        tt=$((tt + t_ot)); tz=$((tz + t_ol)); tgs=$((tgs + t_g3)); cz=$((cz + c_ol)); cgs=$((cgs + c_g3))
    fi
done
awk -v a="$tl" -v b="$tg" -v t1="$tt" -v t2="$tz" -v t3="$tgs" -v c2="$cz" -v c3="$cgs" 'BEGIN {
    printf "total: lossless %d bytes, gifsicle -O3 %d bytes, ratio %.3f; time opt+T %d ms\n", a, b, a / b, t1
    printf "time: lossless %d ms wall, %d ms CPU; gifsicle -O3 %d ms wall, %d ms CPU; lossless / gifsicle -O3: wall %.2f, CPU %.2f\n",
        t2, c2, t3, c3, t2 / (t3 ? t3 : 1), c2 / (c3 ? c3 : 1) }'
if [ ${#larger[@]} -gt 0 ]; then printf 'larger than the input: %s\n' "${larger[@]}"; else echo "no build larger than its input"; fi
cat <<'NOTE'

plain: zell-cli build (import and export as it is, the global table kept);
opt: zell-cli optimize --transparency=none (crop only, the former default);
opt+T: --transparency (frames that have a transparent colour use it);
auto+D: --auto-transparency --drop-unchanged (requantises);
lossless: zell-cli optimize with no mode (lossless transparency, don't-care
pixels, smallest encoding per frame, shrunk tables);
lossl+KT: the same with --drop-unchanged=keep-timing;
gs: gifsicle. ratio: lossless / gifsicle -O3. exact: ImageMagick's coalesced
frames of the lossless output equal the input's. Sizes in bytes; "-" where a
tool failed. Times are wall-clock for one run; the totals add CPU time (user
and system) of the same runs.
NOTE
