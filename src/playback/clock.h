// Milliseconds for anything timed; tests substitute a clock they advance.
#pragma once

#include <cstdint>

namespace zell {

class Clock {
public:
    virtual ~Clock() = default;
    // Wraps at 2^32; callers subtract in unsigned 32-bit arithmetic.
    virtual uint32_t nowMs() = 0;
};

class SteadyClock : public Clock {
public:
    uint32_t nowMs() override;
};

} // namespace zell
