// What rewriting a frame's picture may change besides its work file: where
// it sits, its size, its table and its transparent colour.
#pragma once

#include <cstdint>

#include "document/frame.h"
#include "image/color_table.h"

namespace zell {

struct FrameAttributes {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t colorCount = 0;
    uint16_t transparentIndex = kNoIndex;
    uint8_t useLocalColorTable = 0;
    uint8_t descriptorFlags = 0;

    static FrameAttributes of(const Frame& frame);
    void applyTo(Frame& frame) const;
};

} // namespace zell
