/*
 * Diagonal wipe: the destination sweeps in along a diagonal edge, from the
 * top-left corner ("斜めワイプ↘") or from the top-right corner ("斜めワイプ↙").
 *
 * The smallest complete plug-in: two transitions in one library, no
 * settings, plain C, nothing but zell/transition_plugin.h and the C library.
 * Start a plug-in of your own from here.
 */
#include <stdlib.h>
#include <string.h>

#include "zell/transition_plugin.h"

enum { TOP_LEFT, TOP_RIGHT, TRANSITION_COUNT };

static const char* const names[TRANSITION_COUNT] = {"斜めワイプ↘", "斜めワイプ↙"};

/* A 24-bit packed picture as zell hands it over. */
typedef struct {
    const uint8_t* bits;
    int64_t width;
    int64_t height;
    int64_t stride;
    int topDown;
} Picture;

/* What a run handle points at. */
typedef struct {
    Picture source;
    Picture destination;
    int32_t index;
} Run;

static uint32_t readU32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void writeU32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

static int openPicture(const void* dib, Picture* picture)
{
    const uint8_t* p = (const uint8_t*)dib;
    const int32_t height = (int32_t)readU32(p + 8);
    if (readU32(p) < 40 || (int32_t)readU32(p + 4) <= 0 || height == 0 || (p[14] | p[15] << 8) != 24)
        return 0;
    picture->width = (int32_t)readU32(p + 4);
    picture->height = height < 0 ? -(int64_t)height : height;
    picture->topDown = height < 0;
    picture->stride = (picture->width * 3 + 3) & ~(int64_t)3;
    picture->bits = p + readU32(p) + 4 * (uint64_t)readU32(p + 32);
    return 1;
}

/* The pixel at column x of row y counted from the top. */
static const uint8_t* pixelAt(const Picture* picture, int64_t x, int64_t y)
{
    const int64_t row = picture->topDown ? y : picture->height - 1 - y;
    return picture->bits + row * picture->stride + 3 * x;
}

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info)
{
    if (!info)
        return TRANSITION_COUNT;
    if (index < 0 || index >= TRANSITION_COUNT)
        return 1;
    memset(info, 0, sizeof *info);
    strncpy(info->name, names[index], sizeof info->name - 1);
    info->maxSteps = 30;
    info->hasSettings = 0;
    return 0;
}

ZPI_EXPORT ZpiHandle zpiInitialize(const void* source, const void* destination, int32_t index)
{
    Run* run = (Run*)malloc(sizeof *run);
    if (!run)
        return 0;
    if (index < 0 || index >= TRANSITION_COUNT || !openPicture(source, &run->source)
        || !openPicture(destination, &run->destination)) {
        free(run);
        return 0;
    }
    run->index = index;
    return (ZpiHandle)run;
}

/* The wiped area is where x/W + y/H < 2p (pixel centres), p = (step + 1) / (count + 1). */
static void render(const Run* run, int32_t step, int32_t count, uint8_t* out)
{
    const Picture* src = &run->source;
    const Picture* dst = &run->destination;
    const int64_t w = src->width, h = src->height;
    const int64_t limit = 4 * (int64_t)(step + 1) * w * h;
    for (int64_t y = 0; y < h; ++y) {
        /* The picture is written bottom-up, as biHeight is positive. */
        uint8_t* row = out + 40 + (h - 1 - y) * src->stride;
        memset(row + 3 * w, 0, (size_t)(src->stride - 3 * w));
        for (int64_t x = 0; x < w; ++x) {
            const int64_t fromLeft = run->index == TOP_LEFT ? x : w - 1 - x;
            const int wiped = ((2 * fromLeft + 1) * h + (2 * y + 1) * w) * ((int64_t)count + 1) < limit;
            const int inDestination = x < dst->width && y < dst->height;
            memcpy(row + 3 * x, wiped && inDestination ? pixelAt(dst, x, y) : pixelAt(src, x, y), 3);
        }
    }
}

ZPI_EXPORT uint32_t zpiGetFrame(ZpiHandle handle, int32_t step, int32_t count, void* buffer)
{
    const Run* run = (const Run*)handle;
    if (!run || step < 0 || step >= count)
        return 0;
    const uint64_t size = 40 + (uint64_t)run->source.stride * (uint64_t)run->source.height;
    if (size > UINT32_MAX)
        return 0;
    if (!buffer)
        return (uint32_t)size;
    uint8_t* out = (uint8_t*)buffer;
    memset(out, 0, 40);
    writeU32(out, 40);
    writeU32(out + 4, (uint32_t)run->source.width);
    writeU32(out + 8, (uint32_t)run->source.height);
    out[12] = 1;  /* planes */
    out[14] = 24; /* bits per pixel */
    writeU32(out + 20, (uint32_t)(size - 40));
    render(run, step, count, out);
    return 0;
}

ZPI_EXPORT int32_t zpiCloseHandle(ZpiHandle handle)
{
    free((void*)handle);
    return 0;
}
