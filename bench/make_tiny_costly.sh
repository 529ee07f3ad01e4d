#!/usr/bin/env bash
# Writes into DIR small GIF files that claim large pictures: each is under
# 1 KB, so the cost of any command on them should stay small too.
#   big-screen.gif       8192x8192 screen, one 1x1 frame (43 bytes)
#   big-screen-60.gif    8192x8192 screen, 60 1x1 frames (920 bytes)
#   huge-screen-60.gif   the same on 16384x16384 (needs --max-pixels)
#   big-image.gif        1x1 screen, one 8192x8192 image with one pixel of data
#   big-image-inside.gif 8192x8192 screen and image, one pixel of data
# Usage: bench/make_tiny_costly.sh DIR
set -euo pipefail
out=${1:?usage: make_tiny_costly.sh DIR}
mkdir -p "$out"

u16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8)))"; }
screen() { printf 'GIF89a'; u16 "$1"; u16 "$2"; printf '\x80\x00\x00\x00\x00\x00\xff\xff\xff'; }
# One pixel of index 0 (codes clear, 0, end at 3 bits), then nothing more.
image() { printf '\x2c'; u16 0; u16 0; u16 "$1"; u16 "$2"; printf '\x00\x02\x02\x44\x01\x00'; }
control() { printf '\x21\xf9\x04\x00\x0a\x00\x00\x00'; }

{ screen 8192 8192; control; image 1 1; printf '\x3b'; } >"$out/big-screen.gif"
{ screen 8192 8192; for _ in $(seq 60); do image 1 1; done; printf '\x3b'; } >"$out/big-screen-60.gif"
{ screen 16384 16384; for _ in $(seq 60); do image 1 1; done; printf '\x3b'; } >"$out/huge-screen-60.gif"
{ screen 1 1; image 8192 8192; printf '\x3b'; } >"$out/big-image.gif"
{ screen 8192 8192; image 8192 8192; printf '\x3b'; } >"$out/big-image-inside.gif"
