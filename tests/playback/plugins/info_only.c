/* Only the required export: listed, but nothing can run. */
#include <string.h>

#include "zell/transition_plugin.h"

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info)
{
    if (!info)
        return 1;
    if (index != 0)
        return 1;
    memset(info, 0, sizeof *info);
    strcpy(info->name, "info only");
    info->maxSteps = 9;
    info->hasSettings = 1;
    return 0;
}
