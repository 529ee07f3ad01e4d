#include "image/pixel_limit.h"

#include <algorithm>
#include <atomic>

#include "image/dib.h"

namespace zell {

namespace {

std::atomic<uint64_t>& limit()
{
    static std::atomic<uint64_t> value{kDefaultPixelLimit};
    return value;
}

} // namespace

uint64_t pixelLimit()
{
    return limit().load(std::memory_order_relaxed);
}

void setPixelLimit(uint64_t pixels)
{
    limit().store(std::clamp<uint64_t>(pixels, 1, kMaxPixels), std::memory_order_relaxed);
}

} // namespace zell
