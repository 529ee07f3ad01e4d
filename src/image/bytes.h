// Little-endian field access for every file format zell reads or writes.
#pragma once

#include <cstdint>

namespace zell {

inline uint16_t getU16le(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t getU32le(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
        | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t getI32le(const uint8_t* p)
{
    return static_cast<int32_t>(getU32le(p));
}

inline void putU16le(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void putU32le(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void putI32le(uint8_t* p, int32_t v)
{
    putU32le(p, static_cast<uint32_t>(v));
}

} // namespace zell
