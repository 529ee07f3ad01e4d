// One run of a transition: begin, every step in order, end.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "image/byte_buffer.h"
#include "playback/transition.h"

namespace zell {

// Hands the picture of each step to take; the first failure (of the
// transition or of take) ends the run. True when all count pictures were made
// and taken. end() is called whenever begin() succeeded.
bool runTransition(Transition& transition, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                   uint32_t count, const std::function<bool(uint32_t step, const ByteBuffer& picture)>& take);

} // namespace zell
