/* Three transitions whose second record fails; logs every call so that the
 * tests can check what the host asks and in which order. Transition 2 fails
 * the size query of step 2. Each picture is 3 x 1: (index, step, count) as
 * blue, green, red, then the first pixel of the source and of the destination. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zell/transition_plugin.h"

static char callLog[8192];

static void note(const char* format, ...)
{
    const size_t used = strlen(callLog);
    va_list args;
    va_start(args, format);
    vsnprintf(callLog + used, sizeof callLog - used, format, args);
    va_end(args);
}

ZPI_EXPORT const char* testPluginLog(void)
{
    return callLog;
}

ZPI_EXPORT void testPluginClearLog(void)
{
    callLog[0] = 0;
}

typedef struct {
    const uint8_t* source;
    const uint8_t* destination;
    int32_t index;
} Run;

static uint32_t readU32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info)
{
    if (!info) {
        note("count %d;", index);
        return 3;
    }
    note("info %d;", index);
    if (index == 1)
        return 7;
    memset(info, 0xEE, sizeof *info); /* bytes after the NUL are not the host's business */
    strcpy(info->name, index == 0 ? "first" : "third");
    info->maxSteps = index == 0 ? 4 : 200;
    info->hasSettings = index == 0 ? 0 : 1;
    return 0;
}

ZPI_EXPORT ZpiHandle zpiInitialize(const void* source, const void* destination, int32_t index)
{
    note("init %d;", index);
    Run* run = (Run*)malloc(sizeof *run);
    if (!run)
        return 0;
    run->source = (const uint8_t*)source;
    run->destination = (const uint8_t*)destination;
    run->index = index;
    return (ZpiHandle)run;
}

ZPI_EXPORT uint32_t zpiGetFrame(ZpiHandle handle, int32_t step, int32_t count, void* buffer)
{
    const Run* run = (const Run*)handle;
    note("frame %d %d/%d %s;", run->index, step, count, buffer ? "fill" : "size");
    if (run->index == 2 && step == 2)
        return 0;
    if (!buffer)
        return 40 + 12;
    uint8_t* out = (uint8_t*)buffer;
    memset(out, 0, 52);
    out[0] = 40;
    out[4] = 3;
    out[8] = 1;
    out[12] = 1;
    out[14] = 24;
    out[40] = (uint8_t)run->index;
    out[41] = (uint8_t)step;
    out[42] = (uint8_t)count;
    memcpy(out + 43, run->source + readU32(run->source), 3);
    memcpy(out + 46, run->destination + readU32(run->destination), 3);
    return 0;
}

/* Set by the tests: the next settings fail, with this text (NULL: none). */
static int configFails;
static const char* configText;

ZPI_EXPORT void testPluginFailConfig(int fails, const char* text)
{
    configFails = fails;
    configText = text;
}

ZPI_EXPORT int32_t zpiConfigDialog(void* parent, int32_t index)
{
    note("config %lu %d;", (unsigned long)(uintptr_t)parent, index);
    return configFails ? 5 : 0;
}

/* Claims one byte more than it writes, and writes no NUL into a full buffer:
 * the host must trust neither. */
ZPI_EXPORT int32_t zpiConfigMessage(int32_t index, char* text, int32_t size)
{
    note("message %d;", index);
    if (!configText)
        return 0;
    const size_t length = strlen(configText);
    memcpy(text, configText, length < (size_t)size ? length : (size_t)size);
    return (int32_t)length + 1;
}

ZPI_EXPORT int32_t zpiCloseHandle(ZpiHandle handle)
{
    const Run* run = (const Run*)handle;
    note("close %d;", run->index);
    free((void*)run);
    return 0;
}
