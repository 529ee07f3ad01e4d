#include "document/image_format.h"

#include <png.h>

#include <cstring>

#include "image/bytes.h"
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

uint32_t getU16be(const uint8_t* p)
{
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t getU32be(const uint8_t* p)
{
    return getU16be(p) << 16 | getU16be(p + 2);
}

bool bmpDimensions(std::span<const uint8_t> d, uint32_t& width, uint32_t& height)
{
    if (d.size() < 26)
        return false;
    if (getU32le(&d[14]) == 12) { // OS/2 1.x: 16-bit fields
        width = getU16le(&d[18]);
        height = getU16le(&d[20]);
        return true;
    }
    const int32_t w = getI32le(&d[18]), h = getI32le(&d[22]);
    width = w < 0 ? 0 : uint32_t(w);
    height = h < 0 ? uint32_t(-int64_t(h)) : uint32_t(h);
    return true;
}

bool pngDimensions(std::span<const uint8_t> d, uint32_t& width, uint32_t& height)
{
    if (d.size() < 24 || std::memcmp(&d[12], "IHDR", 4) != 0)
        return false;
    width = getU32be(&d[16]);
    height = getU32be(&d[20]);
    return true;
}

// The first start-of-frame segment, walking the segments from the start
// marker; a scan or the end of the image before it means none. Bytes
// between segments are skipped, as the library does (a segment whose
// length is short by a few bytes is common).
bool jpegDimensions(std::span<const uint8_t> d, uint32_t& width, uint32_t& height)
{
    const int64_t start = findJpegStart(d);
    if (start < 0)
        return false;
    size_t i = size_t(start) + 2;
    while (i + 4 <= d.size()) {
        if (d[i] != 0xFF) {
            ++i;
            continue;
        }
        const uint8_t marker = d[i + 1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        // No length: a stuffed zero, TEM, restart markers.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (i + 9 > d.size())
                return false;
            height = getU16be(&d[i + 5]);
            width = getU16be(&d[i + 7]);
            return true;
        }
        i += 2 + getU16be(&d[i + 2]);
    }
    return false;
}

} // namespace

bool imageDimensions(std::span<const uint8_t> data, uint32_t& width, uint32_t& height)
{
    switch (detectImageFormat(data)) {
    case kFormatBmp: return bmpDimensions(data, width, height);
    case kFormatPng: return pngDimensions(data, width, height);
    case kFormatJpeg: return jpegDimensions(data, width, height);
    default: return false;
    }
}

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
