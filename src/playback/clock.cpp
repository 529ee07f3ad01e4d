#include "playback/clock.h"

#include <chrono>

namespace zell {

uint32_t SteadyClock::nowMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace zell
