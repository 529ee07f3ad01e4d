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
        {bytesOf("BM"), kFormatBmp, 0},
        {kPngSignature, kFormatPng, 0},
        {bytesOf("GIF87a"), kFormatGif, 0},
        {bytesOf("GIF89a"), kFormatGif, 0},
        {kJpegStart, kFormatJpeg, 0},
        {bytesOf("GIF90a"), kFormatUnknown, 0},
        {bytesOf("hello, world"), kFormatUnknown, 0},
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

// The size a refusal names is read from the header alone, wherever the
// format keeps it: OS/2 and Windows BMP headers, PNG's IHDR, the first JPEG
// start-of-frame after any other segments.
TEST(ImageFormat, DimensionsComeFromTheHeaderAlone)
{
    std::vector<uint8_t> bmp(40, 0);
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40;
    bmp[18] = 0x34, bmp[19] = 0x12;                                    // width 0x1234
    bmp[22] = 0xF6, bmp[23] = 0xFF, bmp[24] = 0xFF, bmp[25] = 0xFF;    // height -10: top-down
    std::vector<uint8_t> os2(40, 0);
    os2[0] = 'B', os2[1] = 'M', os2[14] = 12;
    os2[18] = 7, os2[20] = 9;
    const std::vector<uint8_t> png = cat(kPngSignature, {'D', 'R', 0, 1, 0, 0, 0, 0, 2, 0, 8, 6, 0, 0, 0});
    // The rest of the 16-byte APP0 segment, an APP1, then a progressive frame.
    const std::vector<uint8_t> jpeg = cat(kJpegStart, {0, 0, 0, 0, 0, 0, 0xFF, 0xE1, 0, 4, 1, 2, 0xFF, 0xC2, 0, 11, 8,
                                                       0x01, 0x2C, 0x02, 0x58, 3});
    const struct {
        const char* what;
        std::vector<uint8_t> data;
        bool found;
        uint32_t width, height;
    } cases[] = {
        {"bmp", bmp, true, 0x1234, 10},
        {"os/2 bmp", os2, true, 7, 9},
        {"png", png, true, 0x10000, 0x200},
        {"jpeg", jpeg, true, 600, 300},
        {"jpeg cut before its frame", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 22), false, 0, 0},
        {"gif", bytesOf("GIF89a"), false, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t width = 0, height = 0;
        EXPECT_EQ(imageDimensions(c.data, width, height), c.found) << c.what;
        EXPECT_EQ(width, c.width) << c.what;
        EXPECT_EQ(height, c.height) << c.what;
    }
}

} // namespace
} // namespace zell
