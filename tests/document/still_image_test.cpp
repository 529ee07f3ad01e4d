#include "document/still_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "document/bmp_decoder.h"
#include "document/file_import.h"
#include "document/gif_import.h"
#include "document/gif_info.h"
#include "document/png_decoder.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/neural_quantizer.h"
#include "image/pixel_limit.h"
#include "image/raster_image.h"
#include "support/gif_builder.h"
#include "support/gif_oracle.h"
#include "support/indexed_dib.h"
#include "support/still_files.h"
#include "support/test_support.h"

namespace zell {
namespace {

std::vector<uint8_t> toVector(const ByteBuffer& b)
{
    return {b.data(), b.data() + b.size()};
}

// A 24-bit picture of `count` distinct colours, one per pixel in a row of 32.
std::vector<uint8_t> distinctColours(uint32_t count)
{
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < count; ++i)
        pixels.push_back(makeColor(uint8_t(i), uint8_t(i * 7), uint8_t(i >> 8)));
    const uint32_t width = 32, height = (count + 31) / 32;
    pixels.resize(size_t(width) * height, pixels.back());
    return test::trueColorDib(width, height, pixels);
}

// Global table bits of a GIF stream (0 without a table).
int globalTableBits(const ByteBuffer& gif)
{
    if (gif.size() < 13 || !(gif.data()[10] & 0x80))
        return 0;
    return (gif.data()[10] & 7) + 1;
}

// A one-image GIF with a transparent entry: red, green (transparent), blue, black.
std::vector<uint8_t> transparentGif()
{
    ByteBuffer gif;
    const auto dib = test::indexedDib(2, 1, {makeColor(255, 0, 0), makeColor(0, 255, 0), makeColor(0, 0, 255), 0}, {0, 1});
    EXPECT_TRUE(encodeGifImage(dib, gif, 2, false, kNoColor, makeColor(0, 255, 0)));
    return toVector(gif);
}

// A GIF's transparent entry is replaced only when asked; a BMP may stand
// behind a 128-byte header. Short, unknown and imageless data are refused,
// the picture left as it was.
TEST(DecodeImage, DispatchesByFormatAndRefusesWhatItCannotRead)
{
    const auto gif = transparentGif();
    ByteBuffer kept, replaced;
    ASSERT_TRUE(decodeImage(gif, kept, false));
    ASSERT_TRUE(decodeImage(gif, replaced, true));
    EXPECT_EQ(test::tableOf(kept.bytes())[1], makeColor(0, 255, 0));
    EXPECT_NE(test::tableOf(replaced.bytes())[1], makeColor(0, 255, 0)) << "transparent entry replaced";

    const auto dib = test::indexedDib(3, 2, {0, 0xFFFFFF}, {0, 1, 0, 1, 0, 1}, 1);
    std::vector<uint8_t> prefixed(128, 0);
    const auto bmp = makeBmpFile(dib);
    prefixed.insert(prefixed.end(), bmp.begin(), bmp.end());
    for (const auto& file : {bmp, prefixed}) {
        ByteBuffer picture;
        ASSERT_TRUE(decodeImage(file, picture, false)) << file.size();
        EXPECT_EQ(toVector(picture), dib);
    }

    ByteBuffer picture;
    ASSERT_TRUE(picture.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    const auto imageless = test::GifBuilder().screen(4, 4, test::testPalette(4)).trailer().bytes;
    for (const auto& data : {std::vector<uint8_t>(gif.begin(), gif.begin() + 7), std::vector<uint8_t>(64, 'z'), imageless})
        EXPECT_FALSE(decodeImage(data, picture, false)) << data.size();
    EXPECT_EQ(picture.size(), 4u);
}

#ifdef ZELL_HAVE_GIFLIB

// The stream decodes (giflib) to the picture's own colours, pixel for pixel.
void expectSameColours(const ByteBuffer& gif, std::span<const uint8_t> picture)
{
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(gif.bytes(), images));
    ASSERT_EQ(images.size(), 1u);
    ByteBuffer rgb;
    ASSERT_TRUE(convertToTrueColor(picture, rgb));
    const test::GiflibImage& image = images[0];
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t rgbValue = test::pixelRgb(rgb.data(), x, y);
            const uint32_t want = makeColor(uint8_t(rgbValue >> 16), uint8_t(rgbValue >> 8), uint8_t(rgbValue));
            ASSERT_EQ(image.colors[image.indices[size_t(y) * image.width + x]], want) << x << "," << y;
        }
    }
}

TEST(ConvertToGif, UpTo256ColoursKeepTheFewestBitsAndMoreGoThroughNeuQuant)
{
    for (const auto& [colours, bits] : {std::pair{2u, 1}, {3u, 2}, {5u, 3}, {256u, 8}, {257u, 8}}) {
        const auto dib = distinctColours(colours);
        ByteBuffer gif, reduced, expected;
        ASSERT_TRUE(convertToGif(dib, gif, true)) << colours;
        EXPECT_EQ(globalTableBits(gif), bits) << colours;
        if (colours <= 256) {
            expectSameColours(gif, dib);
            continue;
        }
        NeuralQuantizer quantizer;
        ASSERT_TRUE(quantizer.reduce(dib, reduced));
        ASSERT_TRUE(encodeGifImage(reduced.bytes(), expected, 8, false));
        EXPECT_EQ(toVector(gif), toVector(expected));
    }
}

TEST(ConvertToGif, PalettePicturesKeepTheirTableSizeAndTopDownStaysUpright)
{
    for (const uint16_t bitCount : {1, 2, 4, 8}) {
        const auto dib = test::indexedDib(4, 2, {0x0000FF, 0x00FF00, 0xFF0000}, {0, 1, 0, 1, 1, 0, 1, 0}, bitCount);
        ByteBuffer gif;
        ASSERT_TRUE(convertToGif(makeBmpFile(dib), gif, false)) << bitCount;
        EXPECT_EQ(globalTableBits(gif), bitCount) << "an 8-bit picture keeps 8 bits with 2 colours used";
        expectSameColours(gif, dib);
    }
    const auto topDown = test::indexedDib(2, 2, {0x000000, 0xFFFFFF}, {1, 0, 0, 0}, 8, true);
    ByteBuffer gif;
    ASSERT_TRUE(convertToGif(makeBmpFile(topDown), gif, false));
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(gif.bytes(), images));
    EXPECT_EQ(images[0].colors[images[0].indices[0]], 0xFFFFFFu) << "top left is white";
    EXPECT_EQ(images[0].colors[images[0].indices[3]], 0u);
}

#endif

TEST(ConvertToGif, GifFilesAreCopiedFromTheirSignature)
{
    std::vector<uint8_t> file = {'j', 'u', 'n', 'k'};
    const auto gif = transparentGif();
    file.insert(file.end(), gif.begin(), gif.end());
    ByteBuffer out;
    ASSERT_TRUE(convertToGif(file, out, false));
    EXPECT_EQ(toVector(out), gif);
}

// A 3x2 picture of 16 or 32 bits from 0xRRGGBB pixels (rows from the top);
// with masks (red, green, blue) it uses bit fields, else the plain layout.
std::vector<uint8_t> packedDib(uint16_t bits, std::vector<uint32_t> masks, const std::vector<uint32_t>& rgb,
                               uint8_t fourthByte = 0)
{
    test::DibBuilder b;
    b.header = makeDibHeader(3, 2, bits);
    if (!masks.empty()) {
        b.header.compression = kBiBitfields;
        for (uint32_t m : masks)
            b.table.insert(b.table.end(), {uint8_t(m), uint8_t(m >> 8), uint8_t(m >> 16), uint8_t(m >> 24)});
    } else {
        masks = bits == 16 ? std::vector<uint32_t>{0x7C00, 0x03E0, 0x001F} : std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF};
    }
    for (int y = 1; y >= 0; --y) { // bottom-up
        std::vector<uint8_t> row;
        for (int x = 0; x < 3; ++x) {
            const uint32_t c = rgb[size_t(y) * 3 + size_t(x)];
            // Channels are all zeros or all ones: the expectation cannot
            // depend on how a channel is widened.
            const uint32_t v = ((c & 0xFF0000) ? masks[0] : 0) | ((c & 0xFF00) ? masks[1] : 0) | ((c & 0xFF) ? masks[2] : 0);
            for (int i = 0; i < bits / 8; ++i)
                row.push_back(uint8_t(v >> (8 * i)));
            if (bits == 32 && masks[0] == 0xFF0000)
                row.back() = fourthByte;
        }
        b.rows.push_back(row);
    }
    return b.build();
}

// The pixels of a one-image GIF as 0xRRGGBB, rows from the top.
std::vector<uint32_t> gifPixels(std::span<const uint8_t> gif)
{
    ByteBuffer picture, rgb;
    DibHeader h;
    if (!decodeGifImage(gif, picture, 0, false) || !convertToTrueColor(picture.bytes(), rgb) || !checkDib(rgb.bytes(), &h))
        return {};
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        for (uint32_t x = 0; x < uint32_t(h.width); ++x)
            out.push_back(test::pixelRgb(rgb.data(), x, y));
    }
    return out;
}

TEST(ConvertToGif, SixteenAndThirtyTwoBitPicturesShowTheirColours)
{
    const std::vector<uint32_t> want = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFF00FF};
    const std::pair<uint16_t, std::vector<uint32_t>> cases[] = {
        {16, {}}, {16, {0xF800, 0x07E0, 0x001F}}, {32, {}}, {32, {0x0000FF00, 0x00FF0000, 0xFF000000}}};
    for (const auto& [bits, masks] : cases) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << masks.size() << " masks");
        const auto dib = packedDib(bits, masks, want, 0x80);
        ByteBuffer fromFile, fromPicture;
        ASSERT_TRUE(convertToGif(makeBmpFile(dib), fromFile, false));
        EXPECT_EQ(gifPixels(fromFile.bytes()), want);
        ASSERT_TRUE(convertToGif(dib, fromPicture, true));
        EXPECT_EQ(toVector(fromPicture), toVector(fromFile));
    }
}

// Fully transparent pixels take an entry of their own; every other pixel
// keeps the colour the plain import gives it, or, when more than 255 colours
// must share the table with the transparent entry, comes near the file's.
TEST(SplitFile, KeepAlphaGivesFullyTransparentPixelsTheTransparentIndex)
{
    std::vector<uint32_t> many; // 0xAARRGGBB: 300 opaque colours of a smooth ramp
    for (uint32_t i = 0; i < 400; ++i)
        many.push_back(i % 4 == 1 ? 0x00FFFFFFu : 0xFF000080u | (i % 20 * 13) << 16 | (i / 20 * 13) << 8);
    const std::vector<uint32_t> few = {0xFFFF0000, 0x00000000, 0x80000000, 0xFF0A141E,
                                       0x00010203, 0xFFFF0000, 0xFFFFFFFF, 0x00FFFFFF};
    auto bmpAlpha = [](bool someTransparent) {
        auto dib = packedDib(32, {}, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFF00FF}, 0xFF);
        if (someTransparent)
            dib[kDibHeaderSize + 3] = dib[kDibHeaderSize + 11] = 0; // bottom row: first and third pixel
        else
            for (size_t i = kDibHeaderSize + 3; i < dib.size(); i += 4)
                dib[i] = 0; // a fourth byte left unused
        return makeBmpFile(dib);
    };
    std::vector<uint8_t> manyClear;
    for (uint32_t c : many)
        manyClear.push_back(c >> 24 == 0);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        std::vector<uint8_t> clear; // expected fully transparent pixels, rows from the top
        std::vector<uint32_t> reduced{}; // the file's colours, when they must be reduced
    };
    const Case cases[] = {
        {"RGBA, few colours, one half transparent", test::rgbaPng(4, 2, few), {0, 1, 0, 0, 1, 0, 0, 1}},
        {"RGBA, 300 colours", test::rgbaPng(20, 20, many), manyClear, many},
        {"32-bit BMP", bmpAlpha(true), {0, 0, 0, 1, 0, 1}},
        {"32-bit BMP, alpha unused", bmpAlpha(false), {}},
    };
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.path() / "in";
        test::writeFile(path, c.file);
        SplitResult plain, kept;
        ASSERT_TRUE(splitFile(path.string(), work, plain));
        ASSERT_TRUE(splitFile(path.string(), work, kept, true));
        EXPECT_EQ(plain.frames[0]->transparentIndex, 0xFFFF) << "off by default";
        const uint16_t index = kept.frames[0]->transparentIndex;
        EXPECT_EQ(index == 0xFFFF, c.clear.empty());
        // A still is one picture shown at once: never interlaced, alpha or not.
        EXPECT_EQ(plain.frames[0]->descriptorFlags & 0x40, 0);
        EXPECT_EQ(kept.frames[0]->descriptorFlags & 0x40, 0);

        const auto plainPixels = gifPixels(test::readFile(plain.frames[0]->workFile.path()));
        const auto keptFile = test::readFile(kept.frames[0]->workFile.path());
        const auto keptPixels = gifPixels(keptFile);
        ByteBuffer indexed;
        ASSERT_TRUE(decodeGifImage(keptFile, indexed, 0, false));
        const auto indices = test::indicesOf(indexed.bytes());
        ASSERT_EQ(indices.size(), plainPixels.size());
        ASSERT_EQ(keptPixels.size(), plainPixels.size());
        double error = 0;
        for (size_t i = 0; i < indices.size(); ++i) {
            const bool clear = !c.clear.empty() && c.clear[i];
            ASSERT_EQ(indices[i] == index, clear) << "pixel " << i;
            if (clear)
                continue;
            if (c.reduced.empty()) {
                ASSERT_EQ(keptPixels[i], plainPixels[i]) << "pixel " << i;
                continue;
            }
            for (int shift : {0, 8, 16})
                error += std::abs(int(keptPixels[i] >> shift & 0xFF) - int(c.reduced[i] >> shift & 0xFF));
        }
        // NeuQuant on this small ramp: 9.0 per channel on average, as on the plain path.
        EXPECT_LE(error / (3 * 300), c.reduced.empty() ? 0 : 12);
    }
}

class PixelLimitOf {
public:
    explicit PixelLimitOf(uint64_t pixels) : old_(pixelLimit()) { setPixelLimit(pixels); }
    ~PixelLimitOf() { setPixelLimit(old_); }

private:
    uint64_t old_;
};

// A still whose header claims more pixels than the limit is refused for its
// size, which the message can name; one damaged within the limit stays
// damaged.
TEST(SplitFile, StillsBeyondThePixelLimitAreTooLargeNotDamaged)
{
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    ByteBuffer solid;
    ASSERT_TRUE(createSolidImage(solid, 10, 8, 0x123456));
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"bmp", makeBmpFile(solid.bytes())},
        {"png", test::rgbaPng(10, 8, std::vector<uint32_t>(80, 0xFF102030))},
        {"jpeg", test::encodeJpeg({.width = 10, .height = 8}, [](uint32_t, uint32_t, JSAMPLE* out) { out[0] = out[1] = out[2] = 128; })},
    };
    for (const auto& [what, bytes] : files) {
        const std::string path = dir.str() + what;
        test::writeFile(path, bytes);
        SplitResult split;
        Failure why = Failure::none;
        {
            const PixelLimitOf limit(79);
            EXPECT_FALSE(splitFile(path, work, split, false, &why)) << what;
            EXPECT_EQ(why, Failure::tooLarge) << what;
        }
        uint32_t width = 0, height = 0;
        EXPECT_TRUE(stillImageDimensions(path, width, height)) << what;
        EXPECT_EQ(width * 100 + height, 1008u) << what;
        {
            const PixelLimitOf limit(80);
            EXPECT_TRUE(splitFile(path, work, split, false, &why)) << what;
        }
        if (what == std::string("jpeg"))
            continue; // one that ends early still shows its rows
        const PixelLimitOf limit(80);
        test::writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
        EXPECT_FALSE(splitFile(path, work, split, false, &why)) << what;
        EXPECT_EQ(why, Failure::damaged) << what;
    }
}

// A file cut anywhere before its end is damage, and the output stays as it was.
TEST(Decoders, EveryTruncatedPrefixIsRefusedAndLeavesTheOutput)
{
    using Accepts = std::function<bool(std::span<const uint8_t>)>;
    // A picture the decoder must not touch when it refuses.
    const auto intoKept = [](bool (*decode)(std::span<const uint8_t>, ByteBuffer&)) -> Accepts {
        return [decode](std::span<const uint8_t> data) {
            ByteBuffer picture;
            picture.assign(reinterpret_cast<const uint8_t*>("keep"), 4);
            return decode(data, picture) || picture.size() != 4;
        };
    };
    std::vector<uint32_t> sixteen(16);
    for (uint32_t i = 0; i < 16; ++i)
        sixteen[i] = i * 0x0F0F0F;
    std::vector<uint8_t> indices(15);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i);
    test::PngRecipe png{.width = 8, .height = 8};
    png.rows.assign(8, std::vector<png_byte>(24, 0x5A));
    const auto twoImages = test::GifBuilder().screen(2, 2, test::testPalette(4)).image(0, 0, 1, 1, 0, {}, 2, {1, 2, 3, 4, 5})
                               .image(0, 0, 1, 1, 0, {}, 2, {1}).trailer().bytes;
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    const struct {
        const char* what;
        Accepts accepts;
        std::vector<uint8_t> bytes;
        std::vector<size_t> clean{};
    } cases[] = {
        {"bmp", intoKept(decodeBmp), makeBmpFile(test::indexedDib(5, 3, sixteen, indices, 4))},
        {"os/2 bmp", intoKept(decodeBmp), test::coreBmp(3, 2, 8, {1, 2, 3}, {0, 0, 0, 0, 0, 0, 0, 0})},
        {"png", intoKept(decodePng), test::encodePng(png)},
        // Up to its first data byte: once the data begin, what they give is shown.
        {"gif image",
         intoKept([](std::span<const uint8_t> data, ByteBuffer& out) { return decodeGifImage(data, out, 0, false); }),
         std::vector<uint8_t>(twoImages.begin(), twoImages.begin() + 13 + 12 + 10 + 3)},
        // A cut right after a whole image is a stream without its trailer.
        {"gif split",
         [&](std::span<const uint8_t> data) {
             SplitResult split;
             return splitGif(data, work, split) || test::workFileCount(work.path()) != 0;
         },
         twoImages, {43, twoImages.size() - 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::expectEveryPrefixRefused(c.accepts, c.bytes, c.clean);
    }
}

TEST(LoadStillPicture, GivesTrueColourAndDropsTheOldMask)
{
    test::ScratchDir dir;
    RasterImage picture;
    const auto gif = transparentGif();
    ASSERT_TRUE(picture.setDib(test::indexedDib(2, 1, {0, 0xFFFFFF}, {0, 1})));
    ASSERT_TRUE(picture.buildMask(1));
    test::writeFile(dir.path() / "a.gif", gif);
    ASSERT_TRUE(loadStillPicture((dir.path() / "a.gif").string(), picture));
    DibHeader h;
    ASSERT_TRUE(checkDib(picture.image.bytes(), &h));
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_EQ(test::pixelRgb(picture.image.data(), 0, 0), 0xFF0000u);
    EXPECT_NE(test::pixelRgb(picture.image.data(), 1, 0), 0x00FF00u) << "transparent pixel replaced";
    EXPECT_TRUE(picture.mask.empty());

    test::writeFile(dir.path() / "bad.png", std::vector<uint8_t>(100, 0x89));
    EXPECT_FALSE(loadStillPicture((dir.path() / "bad.png").string(), picture));
    EXPECT_TRUE(picture.image.empty());
    EXPECT_FALSE(loadStillPicture((dir.path() / "missing.bmp").string(), picture));
}

} // namespace
} // namespace zell
