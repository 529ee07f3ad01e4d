#include "support/gif_oracle.h"

#ifdef ZELL_HAVE_GIFLIB

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace zell::test {

namespace {

struct MemoryInput {
    std::span<const uint8_t> data;
    size_t pos = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const size_t n = std::min<size_t>(size_t(length), in->data.size() - in->pos);
    std::memcpy(buffer, in->data.data() + in->pos, n);
    in->pos += n;
    return int(n);
}

int writeToMemory(GifFileType* gif, const GifByteType* buffer, int length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), buffer, buffer + length);
    return length;
}

std::vector<uint32_t> tableColors(const ColorMapObject* map)
{
    std::vector<uint32_t> colors;
    for (int i = 0; map && i < map->ColorCount; ++i) {
        const GifColorType& c = map->Colors[i];
        colors.push_back(uint32_t(c.Red) | (uint32_t(c.Green) << 8) | (uint32_t(c.Blue) << 16));
    }
    return colors;
}

} // namespace

bool giflibDecode(std::span<const uint8_t> stream, std::vector<GiflibImage>& images, uint32_t* screen)
{
    MemoryInput input{stream};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readFromMemory, &error);
    if (!gif)
        return false;
    const bool ok = DGifSlurp(gif) == GIF_OK;
    if (screen) {
        screen[0] = uint32_t(gif->SWidth);
        screen[1] = uint32_t(gif->SHeight);
    }
    for (int i = 0; ok && i < gif->ImageCount; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &control);
        GiflibImage image;
        image.left = uint32_t(saved.ImageDesc.Left);
        image.top = uint32_t(saved.ImageDesc.Top);
        image.width = uint32_t(saved.ImageDesc.Width);
        image.height = uint32_t(saved.ImageDesc.Height);
        image.interlaced = saved.ImageDesc.Interlace;
        image.disposal = control.DisposalMode;
        image.transparent = control.TransparentColor;
        image.indices.assign(saved.RasterBits, saved.RasterBits + size_t(image.width) * image.height);
        image.colors = tableColors(saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap);
        images.push_back(std::move(image));
    }
    DGifCloseFile(gif, &error);
    return ok;
}

std::vector<uint8_t> giflibEncode(uint32_t width, uint32_t height, int bits, bool interlace,
                                  const std::vector<uint8_t>& indices, const std::vector<uint32_t>& colors)
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToMemory, &error);
    if (!gif)
        return {};
    std::vector<GifColorType> entries(size_t(1) << bits);
    for (size_t i = 0; i < entries.size() && i < colors.size(); ++i)
        entries[i] = {GifByteType(colors[i]), GifByteType(colors[i] >> 8), GifByteType(colors[i] >> 16)};
    ColorMapObject* map = GifMakeMapObject(int(entries.size()), entries.data());
    bool ok = EGifPutScreenDesc(gif, int(width), int(height), bits, 0, map) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, int(width), int(height), interlace, nullptr) == GIF_OK;
    std::vector<uint32_t> rows;
    if (interlace) {
        for (uint32_t start : {0u, 4u, 2u, 1u})
            for (uint32_t y = start; y < height; y += start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2)
                rows.push_back(y);
    } else {
        for (uint32_t y = 0; y < height; ++y)
            rows.push_back(y);
    }
    std::vector<GifPixelType> line(width);
    for (uint32_t y : rows) {
        if (!ok)
            break;
        std::memcpy(line.data(), indices.data() + size_t(y) * width, width);
        ok = EGifPutLine(gif, line.data(), int(width)) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok ? out : std::vector<uint8_t>{};
}

} // namespace zell::test

#endif
