// The eight built-in transition effects. Each fills out with a complete
// packed 24-bit picture for step of a run of count steps (progress
// (step + 1) / (count + 1)) and fails when an input is not a 24-bit picture,
// when step is not below count, or when out cannot be allocated. Pictures of
// different sizes are combined over their common top-left area; rows count
// from the top whatever the row order of each picture.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

using TransitionEffect = bool (*)(ByteBuffer& out, std::span<const uint8_t> source,
                                  std::span<const uint8_t> destination, uint32_t step, uint32_t count);

// Every colour byte blended; out has the source's size.
bool crossFadeEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                     uint32_t step, uint32_t count);
// Random pixels of the destination, drawn from processRandom(); out has the source's size.
bool dissolveEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                    uint32_t step, uint32_t count);
// The source slides out to the right; out has the destination's size.
bool horizontalSlideEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                           uint32_t step, uint32_t count);
// The source slides out downwards; out has the destination's size.
bool verticalSlideEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                         uint32_t step, uint32_t count);
// Bands of 16 rows fill from their top; out has the source's size.
bool horizontalBlindsEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                            uint32_t step, uint32_t count);
// Bands of 16 columns fill from their left; out has the source's size.
bool verticalBlindsEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                          uint32_t step, uint32_t count);
// A centred disc of the destination grows to the corners; out has the source's size.
bool discEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                uint32_t step, uint32_t count);
// The destination's rows come in shifted along a shrinking cosine wave; out
// has the source's size.
bool wobbleEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                  uint32_t step, uint32_t count);

} // namespace zell
