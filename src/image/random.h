// The pseudo-random generator behind dithering seeds and the dissolve
// transition. Its constants are fixed so that results are reproducible.
#pragma once

#include <cstdint>

namespace zell {

class Random {
public:
    static constexpr int kMax = 0x7FFF;

    explicit Random(uint32_t seed = 1) : state_(seed) {}

    void seed(uint32_t seed) { state_ = seed; }

    // 0..kMax
    int next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_;
};

// The process-wide generator, seeded from the clock at start-up.
Random& processRandom();
void seedProcessRandom(uint32_t seed);
void seedProcessRandomFromClock();

} // namespace zell
