#include "document/image_format.h"

#include <png.h>

#include "image/gif_codec.h"

namespace zell {

namespace {

constexpr size_t kMinDetectBytes = 12;
// Some tools write a 128-byte header in front of the image.
constexpr size_t kPrefixBytes = 128;

bool isBmp(std::span<const uint8_t> data)
{
    return data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
}

bool isPng(std::span<const uint8_t> data)
{
    return data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0;
}

bool isJpeg(std::span<const uint8_t> data)
{
    int64_t start = findJpegStart(data);
    return start >= 0 && uint64_t(start) + 2 < data.size() && data[size_t(start) + 2] == 0xFF;
}

int detectAt(std::span<const uint8_t>& data)
{
    if (isBmp(data))
        return kFormatBmp;
    if (isPng(data))
        return kFormatPng;
    if (findGifSignature(data))
        return kFormatGif;
    if (isJpeg(data))
        return kFormatJpeg;
    return kFormatUnknown;
}

} // namespace

int64_t findJpegStart(std::span<const uint8_t> data)
{
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] != 0xFF)
            continue;
        if (data[i + 1] == 0xD9)
            return -1;
        if (data[i + 1] == 0xD8)
            return int64_t(i);
    }
    return -1;
}

int detectImageFormat(std::span<const uint8_t>& data)
{
    if (!data.data() || data.size() < kMinDetectBytes)
        return kFormatTooShort;
    std::span<const uint8_t> probe = data;
    int format = detectAt(probe);
    if (format == kFormatUnknown && data.size() > kPrefixBytes) {
        probe = data.subspan(kPrefixBytes);
        format = detectAt(probe);
    }
    if (format != kFormatUnknown)
        data = probe;
    return format;
}

} // namespace zell
