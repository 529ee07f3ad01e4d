#include "document/image_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zell {
namespace {

std::vector<uint8_t> bytesOf(const std::string& text, size_t padTo = 16)
{
    std::vector<uint8_t> out(text.begin(), text.end());
    if (out.size() < padTo)
        out.resize(padTo, 'x');
    return out;
}

std::vector<uint8_t> cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<uint8_t> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H'};
const std::vector<uint8_t> kJpegStart = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0};

int detect(const std::vector<uint8_t>& data, size_t* skipped = nullptr)
{
    std::span<const uint8_t> view(data);
    const int format = detectImageFormat(view);
    if (skipped)
        *skipped = size_t(view.data() - data.data());
    return format;
}

// A signature is found at the start, behind 128 bytes of anything (zero
// bytes there stop the GIF search of the first round), or for GIF after
// bytes without a zero, where the start moves to it. JPEG needs its start
// before any end marker and a third FF. Twelve bytes at least.
TEST(ImageFormat, FindsEachSignatureWhereItMayStandAndMovesTheStartToIt)
{
    std::vector<uint8_t> noMarker = kJpegStart;
    noMarker[2] = 0xE0;
    const std::vector<uint8_t> zeros(128, 0);
    const struct {
        std::vector<uint8_t> data;
        int format;
        int skipped; // -1: not checked
    } cases[] = {
        {{}, kFormatTooShort, -1},
        {bytesOf("GIF89a", 11), kFormatTooShort, -1},
        {bytesOf("GIF89a", 12), kFormatGif, 0},
        {bytesOf("abGIF8GIF89a.........."), kFormatGif, 6},
        {cat({'a', 'b', 0}, bytesOf("GIF89a")), kFormatUnknown, 0},
        {bytesOf("xxxxxxxxxxGIF89", 0), kFormatUnknown, 0}, // its version runs past the end
        {cat(bytesOf("junk"), kJpegStart), kFormatJpeg, -1},
        {cat({0x10, 0xFF, 0xD9}, kJpegStart), kFormatUnknown, 0},
        {noMarker, kFormatUnknown, 0},
        {cat(zeros, bytesOf("BM")), kFormatBmp, 128},
        {cat(zeros, kPngSignature), kFormatPng, 128},
        {cat(zeros, bytesOf("GIF89a")), kFormatGif, 128},
        {cat(cat(zeros, {0}), kPngSignature), kFormatUnknown, 0}, // only a prefix of exactly 128 bytes
    };
    for (const auto& c : cases) {
        size_t skipped = 99;
        EXPECT_EQ(detect(c.data, &skipped), c.format) << std::string(c.data.begin(), c.data.end());
        EXPECT_TRUE(c.skipped < 0 || skipped == size_t(c.skipped)) << std::string(c.data.begin(), c.data.end());
    }
}

} // namespace
} // namespace zell
