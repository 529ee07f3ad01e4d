/* Runs that start but give no usable picture:
 *   0: a size too small for any picture;  1: a size beyond any picture;
 *   2: the fill reports failure;          3: the bytes are not a picture.
 * Their names are "a" to "c" and "d<TAB>line<LF>break". */
#include <string.h>

#include "zell/transition_plugin.h"

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info)
{
    if (!info)
        return 4;
    memset(info, 0, sizeof *info);
    info->name[0] = (char)('a' + index);
    if (index == 3)
        strcpy(info->name, "d\tline\nbreak"); /* control characters in a name */
    info->maxSteps = 15;
    return 0;
}

ZPI_EXPORT ZpiHandle zpiInitialize(const void* source, const void* destination, int32_t index)
{
    (void)source;
    (void)destination;
    return (ZpiHandle)(index + 1);
}

ZPI_EXPORT uint32_t zpiGetFrame(ZpiHandle handle, int32_t step, int32_t count, void* buffer)
{
    (void)step;
    (void)count;
    const int32_t index = (int32_t)handle - 1;
    if (!buffer)
        return index == 0 ? 8 : index == 1 ? 0xFFFFFFFFu : 64;
    memset(buffer, 0xAB, index == 0 ? 8 : 64);
    return index == 2 ? 1 : 0;
}

ZPI_EXPORT int32_t zpiCloseHandle(ZpiHandle handle)
{
    (void)handle;
    return 0;
}
