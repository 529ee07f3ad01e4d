// LZW that trades exactness for length: a string may run on through a pixel
// whose colour is close to the one the string holds there, so a picture with
// noise or dithering compresses like a flatter one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/color_table.h"

namespace zell {

// Levels as users know them from other GIF tools: 0 is lossless, 200 very
// lossy.
inline constexpr int kMaxLossyLevel = 200;
inline constexpr int kDefaultLossyLevel = 80;

// The largest colour distance (lossyDistance) a pixel may be moved by at
// `level`.
double lossyBound(int level);

// A perceptual distance between two colours (0xBBGGRR): green weighs most,
// blue least, as the eye sees them; 0 to about 255.
double lossyDistance(uint32_t a, uint32_t b);

struct LossyPicture {
    std::span<const uint8_t> pixels; // indices
    const ColorTable* table = nullptr;
    int transparent = -1; // matched only by itself, never stands for another
};

// Writes the LZW data of a picture whose every pixel decodes to a colour
// within lossyBound(level) of its own, and within half of it on average
// over each string, so that a flat area is not shifted as a whole. Once the
// table fills, the smaller of clearing it and keeping it to the end. Level
// 0 gives exactly LzwCodec::compress's stream. False on bad arguments or
// once more than maxBytes are out. `squaredError`: the sum of the squared
// distances its pixels moved.
bool compressLossy(const LossyPicture& picture, int level, int minCodeSize, std::vector<uint8_t>& out,
                   size_t maxBytes = SIZE_MAX, double* squaredError = nullptr);

// What a lossy encoding pays in bytes per unit of squared lossyDistance it
// moves its pixels by, when it is weighed against exact ones.
double lossyPrice(int level);

} // namespace zell
