// The largest picture or logical screen zell decodes or composes. Tiny
// hostile files can claim huge sizes; checking the claim before anything is
// allocated keeps their cost bounded. Copying compressed data is not
// limited, so such files still import and export unchanged.
#pragma once

#include <cstdint>

namespace zell {

inline constexpr uint64_t kDefaultPixelLimit = uint64_t(1) << 26; // 8192 x 8192

uint64_t pixelLimit();
// Clamped to what a packed picture can hold (kMaxPixels).
void setPixelLimit(uint64_t pixels);

inline bool withinPixelLimit(uint64_t width, uint64_t height)
{
    return width * height <= pixelLimit();
}

} // namespace zell
