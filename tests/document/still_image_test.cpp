#include "document/still_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "document/bmp_decoder.h"
#include "document/file_import.h"
#include "document/gif_import.h"
#include "document/png_decoder.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/pixel_limit.h"
#include "image/raster_image.h"
#include "support/gif_builder.h"
#include "document/picture_pixels.h"
#include "support/indexed_dib.h"
#include "support/still_files.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

std::vector<uint8_t> toVector(const ByteBuffer& b)
{
    return {b.data(), b.data() + b.size()};
}

// The pixels of the first image of a GIF.
std::vector<uint32_t> gifPixels(std::span<const uint8_t> gif)
{
    ByteBuffer picture;
    return decodeGifImage(gif, picture, 0, false) ? test::pixels(picture.bytes()) : std::vector<uint32_t>{};
}

// A 24-bit picture of `count` distinct colours in one row.
std::vector<uint8_t> distinctColours(uint32_t count)
{
    std::vector<uint32_t> colours = test::distinctColors(int(std::min(count, 256u)));
    colours.resize(count, makeColor(0, 5, 0)); // the only one with no green of its own
    return test::trueColorDib(count, 1, colours);
}

// A 16- or 32-bit picture of one row.
std::vector<uint8_t> packedDib(uint16_t bits, std::vector<uint8_t> row)
{
    test::DibBuilder b;
    b.header = makeDibHeader(int32_t(row.size() * 8 / bits), 1, bits);
    b.rows = {std::move(row)};
    return b.build();
}

// A 32-bit BMP file of 0xAARRGGBB pixels, rows from the top.
std::vector<uint8_t> argbBmp(uint32_t width, const std::vector<uint32_t>& argb)
{
    test::DibBuilder b;
    const uint32_t height = uint32_t(argb.size()) / width;
    b.header = makeDibHeader(int32_t(width), int32_t(height), 32);
    for (uint32_t y = height; y-- > 0;) {
        b.rows.emplace_back();
        for (uint32_t x = 0; x < width; ++x)
            for (int shift : {0, 8, 16, 24})
                b.rows.back().push_back(uint8_t(argb[y * width + x] >> shift));
    }
    return makeBmpFile(b.build());
}

// A one-image GIF with a transparent entry: red, green (transparent), blue, black.
std::vector<uint8_t> transparentGif()
{
    ByteBuffer gif;
    const auto dib = test::indexedDib(2, 1, {makeColor(255, 0, 0), makeColor(0, 255, 0), makeColor(0, 0, 255), 0}, {0, 1});
    EXPECT_TRUE(encodeGifImage(dib, gif, 2, false, kNoColor, makeColor(0, 255, 0)));
    return toVector(gif);
}

// A GIF's transparent entry is replaced only when asked. Short, unknown and
// imageless data are refused, the picture left as it was.
TEST(DecodeImage, DispatchesByFormatAndRefusesWhatItCannotRead)
{
    const auto gif = transparentGif();
    ByteBuffer kept, replaced;
    ASSERT_TRUE(decodeImage(gif, kept, false) && decodeImage(gif, replaced, true));
    EXPECT_EQ(test::tableOf(kept.bytes())[1], makeColor(0, 255, 0));
    EXPECT_NE(test::tableOf(replaced.bytes())[1], makeColor(0, 255, 0)) << "transparent entry replaced";


    ByteBuffer picture;
    ASSERT_TRUE(picture.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    const auto imageless = test::GifBuilder().screen(4, 4, test::testPalette(4)).trailer().bytes;
    for (const auto& data : {std::vector<uint8_t>(gif.begin(), gif.begin() + 7), std::vector<uint8_t>(64, 'z'), imageless})
        EXPECT_FALSE(decodeImage(data, picture, false)) << data.size();
    EXPECT_EQ(picture.size(), 4u);
}

// Up to 256 colours are kept exactly with the fewest table bits, a palette
// picture keeping its table's size; 16- and 32-bit pictures go through true
// colour; more colours through NeuQuant; a GIF is copied from its signature.
TEST(ConvertToGif, PicturesKeepTheirColoursWithTheFewestBits)
{
    const auto palette = [](uint16_t bits) {
        return test::indexedDib(4, 2, {0x0000FF, 0x00FF00, 0xFF0000}, {0, 1, 0, 1, 1, 0, 1, 0}, bits);
    };
    const std::vector<uint32_t> redBlue = {0xFF0000, 0x0000FF};
    const struct {
        const char* name;
        std::vector<uint8_t> dib;
        int bits;
        std::vector<uint32_t> want{}; // the picture's own pixels when empty
    } rows[] = {
        {"2 colours", distinctColours(2), 1},
        {"3 colours", distinctColours(3), 2},
        {"256 colours", distinctColours(256), 8},
        {"1-bit table", palette(1), 1},
        {"8-bit table, 3 colours used", palette(8), 8},
        {"16 bits", packedDib(16, {0x00, 0x7C, 0x1F, 0x00}), 1, redBlue},
        {"32 bits", packedDib(32, {0, 0, 255, 0x80, 255, 0, 0, 0x80}), 1, redBlue},
    };
    for (const auto& r : rows) {
        for (const bool fromFile : {false, true}) {
            SCOPED_TRACE(testing::Message() << r.name << (fromFile ? " from a file" : ""));
            ByteBuffer gif;
            ASSERT_TRUE(convertToGif(fromFile ? makeBmpFile(r.dib) : r.dib, gif, !fromFile));
            ASSERT_GT(gif.size(), 13u);
            EXPECT_EQ(gif.data()[10] & 0x87, 0x80 | (r.bits - 1)) << "a global table of the fewest bits";
            EXPECT_EQ(gifPixels(gif.bytes()), r.want.empty() ? test::pixels(r.dib) : r.want);
        }
    }
    ByteBuffer gif;
    ASSERT_TRUE(convertToGif(distinctColours(257), gif, true));
    EXPECT_EQ(gif.data()[10] & 0x87, 0x87) << "reduced to a full table";

    std::vector<uint8_t> file = {'j', 'u', 'n', 'k'};
    const auto stream = transparentGif();
    file.insert(file.end(), stream.begin(), stream.end());
    ASSERT_TRUE(convertToGif(file, gif, false));
    EXPECT_EQ(toVector(gif), stream);
}

// Fully transparent pixels take an entry of their own; every other pixel
// keeps the colour the plain import gives it, or, when more than 255 colours
// must share the table with the transparent entry, comes near the file's.
TEST(SplitFile, KeepAlphaGivesFullyTransparentPixelsTheTransparentIndex)
{
    std::vector<uint32_t> many; // 0xAARRGGBB: 300 opaque colours of a smooth ramp
    std::vector<uint8_t> manyClear;
    for (uint32_t i = 0; i < 400; ++i) {
        many.push_back(i % 4 == 1 ? 0x00FFFFFFu : 0xFF000080u | (i % 20 * 13) << 16 | (i / 20 * 13) << 8);
        manyClear.push_back(i % 4 == 1);
    }
    const std::vector<uint32_t> few = {0xFFFF0000, 0x00000000, 0x80000000, 0xFF0A141E,
                                       0x00010203, 0xFFFF0000, 0xFFFFFFFF, 0x00FFFFFF};
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        std::vector<uint8_t> clear; // expected fully transparent pixels, rows from the top
        std::vector<uint32_t> reduced{}; // the file's colours, when they must be reduced
    } cases[] = {
        {"RGBA, few colours, one half transparent", test::rgbaPng(4, 2, few), {0, 1, 0, 0, 1, 0, 0, 1}},
        {"RGBA, 300 colours", test::rgbaPng(20, 20, many), manyClear, many},
        {"32-bit BMP", argbBmp(3, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF, 0xFF000000, 0xFF00FF}), {0, 0, 0, 1, 0, 1}},
        {"32-bit BMP, alpha unused", argbBmp(3, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0xFF00FF}), {}},
    };
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = (dir.path() / "in").string();
        test::writeFile(path, c.file);
        SplitResult plain, kept;
        ASSERT_TRUE(splitFile(path, work, plain) && splitFile(path, work, kept, true));
        const Frame &p = *plain.frames[0], &k = *kept.frames[0];
        EXPECT_EQ(p.transparentIndex, 0xFFFF) << "off by default";
        EXPECT_EQ(k.transparentIndex == 0xFFFF, c.clear.empty());
        // A still is one picture shown at once: never interlaced, alpha or not.
        EXPECT_EQ((p.descriptorFlags | k.descriptorFlags) & 0x40, 0);

        const auto keptFile = test::readFile(k.workFile);
        const auto plainPixels = gifPixels(test::readFile(p.workFile)), keptPixels = gifPixels(keptFile);
        ByteBuffer indexed;
        ASSERT_TRUE(decodeGifImage(keptFile, indexed, 0, false));
        const auto indices = test::indicesOf(indexed.bytes());
        ASSERT_EQ(indices.size(), plainPixels.size());
        ASSERT_EQ(keptPixels.size(), plainPixels.size());
        double error = 0;
        for (size_t i = 0; i < indices.size(); ++i) {
            const bool clear = !c.clear.empty() && c.clear[i];
            ASSERT_EQ(indices[i] == k.transparentIndex, clear) << "pixel " << i;
            ASSERT_TRUE(clear || !c.reduced.empty() || keptPixels[i] == plainPixels[i]) << "pixel " << i;
            for (int shift : {0, 8, 16})
                if (!clear && !c.reduced.empty())
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
// damaged (a JPEG that ends early still shows its rows).
TEST(SplitFile, StillsBeyondThePixelLimitAreTooLargeNotDamaged)
{
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    ByteBuffer solid;
    ASSERT_TRUE(createSolidImage(solid, 10, 8, 0x123456));
    const auto grey = [](uint32_t, uint32_t, JSAMPLE* out) { out[0] = out[1] = out[2] = 128; };
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"bmp", makeBmpFile(solid.bytes())},
        {"png", test::rgbaPng(10, 8, std::vector<uint32_t>(80, 0xFF102030))},
        {"jpeg", test::encodeJpeg({.width = 10, .height = 8}, grey)},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        const std::string path = dir.str() + what;
        test::writeFile(path, bytes);
        SplitResult split;
        Failure why = Failure::none;
        uint32_t width = 0, height = 0;
        EXPECT_TRUE(stillImageDimensions(path, width, height));
        EXPECT_EQ(width * 100 + height, 1008u);
        std::optional<PixelLimitOf> limit(79);
        EXPECT_FALSE(splitFile(path, work, split, false, &why));
        EXPECT_EQ(why, Failure::tooLarge);
        limit.emplace(80);
        EXPECT_TRUE(splitFile(path, work, split, false, &why));
        if (what == std::string("jpeg"))
            continue;
        test::writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
        EXPECT_FALSE(splitFile(path, work, split, false, &why));
        EXPECT_EQ(why, Failure::damaged);
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
    std::vector<uint32_t> sixteen;
    std::vector<uint8_t> indices;
    for (uint32_t i = 0; i < 16; ++i)
        sixteen.push_back(i * 0x0F0F0F), indices.push_back(uint8_t(i));
    indices.pop_back();
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

// A picture loaded over another is true colour and drops the other's mask.
TEST(LoadStillPicture, GivesTrueColourAndDropsTheOldMask)
{
    test::ScratchDir dir;
    RasterImage picture;
    ASSERT_TRUE(picture.setDib(test::indexedDib(2, 1, {0, 0xFFFFFF}, {0, 1})) && picture.buildMask(1));
    test::writeFile(dir.path() / "a.gif", transparentGif());
    ASSERT_TRUE(loadStillPicture((dir.path() / "a.gif").string(), picture));
    EXPECT_TRUE(picture.mask.empty());
    EXPECT_EQ(test::pixelRgb(picture.image.data(), 0, 0), 0xFF0000u);
}

} // namespace
} // namespace zell
