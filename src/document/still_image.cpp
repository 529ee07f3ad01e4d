#include "document/still_image.h"

#include "document/bmp_decoder.h"
#include "document/image_format.h"
#include "document/jpeg_decoder.h"
#include "document/png_decoder.h"
#include "image/color_table.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/mapped_file.h"
#include "image/neural_quantizer.h"
#include "image/raster_image.h"
#include "image/transparent_entry.h"

#include <algorithm>
#include <vector>

namespace zell {

namespace {

constexpr size_t kMinImageBytes = 8;

bool decodeFirstGifImage(std::span<const uint8_t> data, ByteBuffer& picture, bool replaceTransparent)
{
    // A stream without images decodes "successfully" to nothing.
    ByteBuffer decoded;
    if (!decodeGifImage(data, decoded, 0, replaceTransparent) || decoded.empty())
        return false;
    picture.swap(decoded);
    return true;
}

// Colour bits for the picture, reducing it to 256 colours when it has more;
// 0 when it cannot be stored in a GIF.
int prepareColors(std::span<const uint8_t>& picture, ByteBuffer& reduced, uint32_t options)
{
    const int colors = countColors(picture);
    if (colors == 0)
        return 0;
    if (colors <= 256)
        return colorTableBits(uint32_t(colors));
    NeuralQuantizer quantizer;
    // Without a reduction the encoder gets the picture as it is.
    if (quantizer.reduce(picture, reduced, options))
        picture = reduced.bytes();
    return 8;
}

// The fully transparent pixels of a PNG or BMP file, rows from the top;
// empty when it has none, or no alpha at all.
bool readTransparency(std::span<const uint8_t> data, std::vector<uint8_t>& clear)
{
    switch (detectImageFormat(data)) {
    case kFormatBmp:
        return decodeBmpTransparency(data, clear);
    case kFormatPng:
        return decodePngTransparency(data, clear);
    default:
        clear.clear();
        return true;
    }
}

bool encodeWithTransparency(std::span<const uint8_t> picture, const std::vector<uint8_t>& clear, ByteBuffer& out)
{
    ByteBuffer indexed;
    uint8_t entry = 0;
    if (!indexWithClearEntry(picture, clear, indexed, entry))
        return false;
    const uint8_t* quad = indexed.data() + kDibHeaderSize + 4 * entry;
    const int bits = colorTableBits(dibColorCount(indexed.bytes()));
    return encodeGifImage(indexed.bytes(), out, bits, false, kNoColor, makeColor(quad[2], quad[1], quad[0]));
}

} // namespace

bool decodeImage(std::span<const uint8_t> data, ByteBuffer& picture, bool replaceTransparent, bool* truncated)
{
    if (!data.data() || data.size() < kMinImageBytes)
        return false;
    switch (detectImageFormat(data)) {
    case kFormatBmp:
        return decodeBmp(data, picture);
    case kFormatGif:
        return decodeFirstGifImage(data, picture, replaceTransparent);
    case kFormatJpeg:
        return decodeJpeg(data, picture, truncated);
    case kFormatPng:
        return decodePng(data, picture);
    default:
        return false;
    }
}

bool convertToGif(std::span<const uint8_t> data, ByteBuffer& out, bool dataIsPicture, bool keepAlpha,
                  bool* truncated, uint32_t colors)
{
    if (!data.data() || data.empty())
        return false;
    if (!dataIsPicture) {
        std::span<const uint8_t> stream = data;
        if (detectImageFormat(stream) == kFormatGif)
            return stream.size() <= UINT32_MAX && out.assign(stream.data(), uint32_t(stream.size()));
    }
    ByteBuffer decoded;
    std::span<const uint8_t> picture = data;
    if (!dataIsPicture) {
        if (!decodeImage(data, decoded, false, truncated))
            return false;
        picture = decoded.bytes();
    }
    // GIF pictures have a table; the true-colour path takes every depth.
    DibHeader h;
    ByteBuffer trueColor;
    if (!checkDib(picture, &h))
        return false;
    if (h.bitCount == 16 || h.bitCount == 32) {
        if (!convertToTrueColor(picture, trueColor))
            return false;
        picture = trueColor.bytes();
    }
    std::vector<uint8_t> clear;
    if (keepAlpha && !dataIsPicture && !readTransparency(data, clear))
        return false;
    ByteBuffer encoded;
    if (std::find(clear.begin(), clear.end(), 1) != clear.end()) {
        if (!encodeWithTransparency(picture, clear, encoded))
            return false;
        out.swap(encoded);
        return true;
    }
    ByteBuffer reduced;
    const int bits = prepareColors(picture, reduced, colors);
    if (bits == 0 || !encodeGifImage(picture, encoded, bits, false, kNoColor, kNoColor))
        return false;
    out.swap(encoded);
    return true;
}

bool loadStillPicture(const std::string& path, RasterImage& picture)
{
    picture.image.release();
    // A mask of the previous picture must not outlive it.
    picture.mask.release();
    MappedFile file;
    if (!file.open(path) || !decodeImage(file.bytes(), picture.image, true) || !picture.toTrueColor()) {
        picture.image.release();
        return false;
    }
    return true;
}

} // namespace zell
