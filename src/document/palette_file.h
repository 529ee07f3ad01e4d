// Colour tables taken from files: the table of a GIF held in memory (for a
// frame's work file or a palette file) and palette files (GIF or BMP) that
// replace the animation's global table.
#pragma once

#include <span>
#include <string>

#include "image/color_table.h"

namespace zell {

// With `wantGlobal`, the global table when the stream has one; otherwise (or
// without one) the first image's local table, else the global table. The
// background index is the screen's (0 when not inside the table). False,
// with `out` unchanged, when there is no table or the stream is broken
// before the first image.
bool findGifColorTable(std::span<const uint8_t> data, bool wantGlobal, ColorTable& out);

enum class PaletteLoad { ok, failed, noEntries };

// A GIF's table (the global one wanted) or a BMP's palette. noEntries: a
// bitmap without palette entries (more than 8 bits per pixel). `out` is
// unchanged unless the result is ok.
PaletteLoad loadPaletteFile(const std::string& path, ColorTable& out);

} // namespace zell
