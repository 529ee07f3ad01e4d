#include "image/random.h"

#include <chrono>

namespace zell {

Random& processRandom()
{
    static Random generator;
    return generator;
}

void seedProcessRandom(uint32_t seed)
{
    processRandom().seed(seed);
}

void seedProcessRandomFromClock()
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    seedProcessRandom(static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count()));
}

} // namespace zell
