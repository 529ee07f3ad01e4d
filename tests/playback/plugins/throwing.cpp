// A C++ plug-in that lets exceptions escape through its C exports.
//   0 "run throws": step 1 throws on the size query, step 2 while filling;
//   1: its record throws;   2: its name has no NUL within 29 bytes;
//   3 "close throws": zpiCloseHandle throws;   4 "start throws": zpiInitialize throws.
// zpiConfigDialog always throws.
#include <cstring>
#include <stdexcept>

#include "zell/transition_plugin.h"

namespace {

struct Run {
    int32_t index;
};

} // namespace

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info)
{
    if (!info)
        return 5;
    if (index == 1)
        throw std::runtime_error("record");
    static const char* const names[] = {"run throws", "", "", "close throws", "start throws"};
    std::memset(info, 0, sizeof *info);
    if (index == 2)
        std::memset(info->name, 'A', sizeof info->name);
    else
        std::strcpy(info->name, names[index]);
    info->maxSteps = 15;
    return 0;
}

ZPI_EXPORT ZpiHandle zpiInitialize(const void*, const void*, int32_t index)
{
    if (index == 4)
        throw 42;
    return reinterpret_cast<ZpiHandle>(new Run{index});
}

ZPI_EXPORT uint32_t zpiGetFrame(ZpiHandle handle, int32_t step, int32_t, void* buffer)
{
    if (step == 1 && !buffer)
        throw std::runtime_error("size");
    if (step == 2 && buffer)
        throw std::bad_alloc();
    if (!buffer)
        return 40 + 4;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, 44);
    out[0] = 40;
    out[4] = 1;
    out[8] = 1;
    out[12] = 1;
    out[14] = 24;
    out[40] = uint8_t(reinterpret_cast<Run*>(handle)->index);
    return 0;
}

ZPI_EXPORT int32_t zpiConfigDialog(void*, int32_t)
{
    throw std::logic_error("no dialog");
}

ZPI_EXPORT int32_t zpiCloseHandle(ZpiHandle handle)
{
    auto* run = reinterpret_cast<Run*>(handle);
    const bool fail = run->index == 3;
    delete run;
    if (fail)
        throw std::runtime_error("close");
    return 0;
}
