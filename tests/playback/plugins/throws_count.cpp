// The count query throws: the library offers nothing.
#include <stdexcept>

#include "zell/transition_plugin.h"

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t, ZpiTransitionInfo*)
{
    throw std::runtime_error("count");
}
