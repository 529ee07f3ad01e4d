// The GIF file operations of RasterImage.
#include <cstdio>

#include "image/mapped_file.h"
#include "image/color_quantizer.h"
#include "image/file_write.h"
#include "image/gif_codec.h"
#include "image/raster_image.h"

namespace zell {

namespace {

// Reduces `source` (8 or 24 bits) to 2^bits entries with dithering into
// `out`, keeping an entry for the transparent pixels when there are any.
bool reduceForGif(std::span<const uint8_t> source, int bits, uint32_t& transparentIndex, ByteBuffer& out)
{
    const bool reserve = transparentIndex < kNoIndex;
    ColorQuantizer quantizer;
    if (!quantizer.addImage(source, transparentIndex) || !quantizer.buildPalette(1 << bits, kNoColor, reserve)
        || !quantizer.mapImage(source, out, true, transparentIndex))
        return false;
    const int entry = quantizer.transparentEntry();
    transparentIndex = entry >= 0 ? uint32_t(entry) : kNoIndex;
    return true;
}

} // namespace

bool RasterImage::loadGifImage(const std::string& path, int index, uint32_t keepWidth, uint32_t keepHeight)
{
    image.release();
    MappedFile file;
    return file.open(path) && loadGifImage(file.bytes(), index, keepWidth, keepHeight);
}

bool RasterImage::loadGifImage(std::span<const uint8_t> stream, int index, uint32_t keepWidth, uint32_t keepHeight)
{
    image.release();
    // A stream that ends before the image decodes to nothing: no picture.
    return decodeGifImage(stream, image, index, false, keepWidth, keepHeight) && !image.empty();
}

bool RasterImage::encodeGif(int bits, uint32_t& transparentIndex, ByteBuffer& out)
{
    DibHeader h;
    if (image.empty() || !checkDib(image.bytes(), &h) || bits < 1 || bits > 8)
        return false;
    std::span<const uint8_t> picture = image.bytes();
    uint32_t newIndex = transparentIndex;
    if (uint32_t(bits) < h.bitCount) {
        // The quantizer takes 8 and 24 bits; baseCanvas is free until the
        // stream is written into it.
        std::span<const uint8_t> source = picture;
        if (h.bitCount != 8 && h.bitCount != 24) {
            if (!convertToTrueColor(picture, baseCanvas))
                return false;
            source = baseCanvas.bytes();
        }
        if (!reduceForGif(source, bits, newIndex, displayCanvas))
            return false;
        picture = displayCanvas.bytes();
    }
    if (!encodeGifImage(picture, out, bits, false))
        return false;
    transparentIndex = newIndex;
    return true;
}

bool RasterImage::saveGif(const std::string& path, int bits, uint32_t& transparentIndex)
{
    uint32_t newIndex = transparentIndex;
    if (!encodeGif(bits, newIndex, baseCanvas) || !writeWholeFile(path, baseCanvas.bytes()))
        return false;
    transparentIndex = newIndex;
    return true;
}

} // namespace zell
