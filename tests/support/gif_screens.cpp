#include "support/gif_screens.h"

#ifdef ZELL_HAVE_GIFLIB

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zell::test {

namespace {

struct Input {
    std::span<const uint8_t> data;
    size_t pos = 0;
};

int readInput(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* in = static_cast<Input*>(gif->UserData);
    const size_t n = std::min<size_t>(size_t(length), in->data.size() - in->pos);
    std::memcpy(buffer, in->data.data() + in->pos, n);
    in->pos += n;
    return int(n);
}

void draw(std::vector<uint8_t>& screen, int sw, int sh, const SavedImage& image, const ColorMapObject* map,
          int transparent)
{
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y) {
        for (int x = 0; x < d.Width; ++x) {
            const int sx = d.Left + x, sy = d.Top + y;
            const int index = image.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
            if (sx >= sw || sy >= sh || index == transparent || !map || index >= map->ColorCount)
                continue;
            uint8_t* p = &screen[(size_t(sy) * size_t(sw) + size_t(sx)) * 3];
            p[0] = map->Colors[index].Red;
            p[1] = map->Colors[index].Green;
            p[2] = map->Colors[index].Blue;
        }
    }
}

void fill(std::vector<uint8_t>& screen, int sw, int sh, int left, int top, int width, int height, uint32_t color)
{
    const uint8_t rgb[3] = {uint8_t(color), uint8_t(color >> 8), uint8_t(color >> 16)};
    for (int y = std::max(top, 0); y < std::min(top + height, sh); ++y)
        for (int x = std::max(left, 0); x < std::min(left + width, sw); ++x)
            std::memcpy(&screen[(size_t(y) * size_t(sw) + size_t(x)) * 3], rgb, 3);
}

} // namespace

bool giflibScreens(std::span<const uint8_t> stream, std::vector<std::vector<uint8_t>>& screens, uint32_t background)
{
    screens.clear();
    Input input{stream};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readInput, &error);
    if (!gif)
        return false;
    const bool ok = DGifSlurp(gif) == GIF_OK;
    const int sw = gif->SWidth, sh = gif->SHeight;
    std::vector<uint8_t> screen(size_t(sw) * size_t(sh) * 3);
    fill(screen, sw, sh, 0, 0, sw, sh, background);
    for (int i = 0; ok && i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &gcb);
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const std::vector<uint8_t> before = screen;
        draw(screen, sw, sh, image, map, gcb.TransparentColor);
        screens.push_back(screen);
        if (gcb.DisposalMode == DISPOSE_BACKGROUND)
            fill(screen, sw, sh, image.ImageDesc.Left, image.ImageDesc.Top, image.ImageDesc.Width,
                 image.ImageDesc.Height, background);
        else if (gcb.DisposalMode == DISPOSE_PREVIOUS)
            screen = before;
    }
    DGifCloseFile(gif, &error);
    return ok;
}

double screensPsnr(const std::vector<std::vector<uint8_t>>& a, const std::vector<std::vector<uint8_t>>& b)
{
    double sum = 0;
    size_t n = 0;
    for (size_t k = 0; k < std::min(a.size(), b.size()); ++k) {
        for (size_t i = 0; i < std::min(a[k].size(), b[k].size()); ++i, ++n) {
            const double d = double(a[k][i]) - double(b[k][i]);
            sum += d * d;
        }
    }
    return n == 0 || sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(n) / sum);
}

} // namespace zell::test

#endif
