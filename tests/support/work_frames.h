// Frames with real work files, made from index lists, for tests of anything
// that loads frames.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "document/frame.h"
#include "document/work_directory.h"

namespace zell::test {

// A frame whose work file holds the picture (rows top to bottom) encoded
// with a table of the given colours (colour values); width and height set,
// local table, colour count the table's power of two.
std::unique_ptr<Frame> makeFrame(WorkDirectory& work, uint32_t width, uint32_t height,
                                 const std::vector<uint32_t>& colors, const std::vector<uint8_t>& indices);

// A frame of one colour.
std::unique_ptr<Frame> solidFrame(WorkDirectory& work, uint32_t width, uint32_t height, uint32_t color);

} // namespace zell::test
