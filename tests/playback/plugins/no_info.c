/* Lacks zpiGetTransitionInfo: not a transition plug-in. */
#include "zell/transition_plugin.h"

ZPI_EXPORT ZpiHandle zpiInitialize(const void* source, const void* destination, int32_t index)
{
    (void)source;
    (void)destination;
    (void)index;
    return 1;
}
