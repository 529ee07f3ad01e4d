// Colour tables taken from files: the table of a GIF held in memory (for a
// frame's work file or a palette file) and palette files (GIF or BMP) that
// replace the animation's global table.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "image/color_table.h"

namespace zell {

// With `wantGlobal`, the global table when the stream has one; otherwise (or
// without one) the first image's local table, else the global table. The
// background index is the screen's (0 when not inside the table). False,
// with `out` unchanged, when there is no table or the stream is broken
// before the first image.
bool findGifColorTable(std::span<const uint8_t> data, bool wantGlobal, ColorTable& out);

// A copy of a GIF stream whose colour table (the one findGifColorTable finds
// without `wantGlobal`) holds the first entries of `table`; the table keeps
// its size, so nothing else moves. False, `out` unchanged, without a table.
bool replaceGifColorTable(std::span<const uint8_t> data, const ColorTable& table, std::vector<uint8_t>& out);

enum class PaletteLoad { ok, failed, noEntries };

// A GIF's table (the global one wanted) or a BMP's palette. noEntries: a
// bitmap without palette entries (more than 8 bits per pixel). `out` is
// unchanged unless the result is ok.
PaletteLoad loadPaletteFile(const std::string& path, ColorTable& out);

// The global table a new document starts with: 256 black entries,
// background 0, then the first 768 bytes of `seedPath` (red, green, blue per
// entry) when it can be read.
void seedGlobalTable(ColorTable& table, const std::string& seedPath);

} // namespace zell
