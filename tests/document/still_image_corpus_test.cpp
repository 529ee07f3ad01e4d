// The still-image decoders against the reference decodes of the shared corpus.
// Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "document/bmp_decoder.h"
#include "document/jpeg_decoder.h"
#include "document/png_decoder.h"
#include "document/still_image.h"
#include "image/dib.h"
#include "support/gif_oracle.h"
#include "support/md5.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;
using Row = std::map<std::string, std::string>;

const fs::path kCorpus = ZELL_CORPUS_DIR;

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.emplace_back();
    return fields;
}

std::vector<Row> readManifest(const std::string& format)
{
    std::ifstream in(kCorpus / "manifest.tsv");
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> names = splitTabs(line);
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = splitTabs(line);
        Row row;
        for (size_t i = 0; i < names.size(); ++i)
            row[names[i]] = i < fields.size() ? fields[i] : std::string();
        if (row["format"] == format)
            rows.push_back(row);
    }
    return rows;
}

// What the manifest's hashes cover: RGB samples, rows top to bottom, unpadded.
std::string pictureMd5(const ByteBuffer& picture)
{
    ByteBuffer rgb;
    DibHeader h;
    if (!convertToTrueColor(picture.bytes(), rgb) || !readDibHeader(rgb.bytes(), h))
        return "not convertible";
    std::vector<uint8_t> samples;
    samples.reserve(3 * size_t(h.width) * h.absHeight());
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* p = rgb.data() + dibRowOffset(h, y);
        for (int32_t x = 0; x < h.width; ++x)
            samples.insert(samples.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
    }
    return test::md5Hex(samples);
}

// What a file of the corpus should give under our rules.
struct Expectation {
    enum Kind { Refused, Equal, EqualOrByRule, NotComparable } kind = NotComparable;
    std::vector<std::string> hashes; // any of them counts as equal
    std::string why;                 // for NotComparable and rule differences
};

struct Tally {
    int equal = 0;
    int refusedAsExpected = 0;
    std::vector<std::string> byRule;
    std::vector<std::string> notComparable;
    std::vector<std::string> faults;

    std::string report() const
    {
        std::ostringstream out;
        out << equal << " equal, " << refusedAsExpected << " refused by our rules, " << byRule.size()
            << " differ by rule, " << notComparable.size() << " not comparable, " << faults.size() << " faults";
        for (const auto& f : byRule)
            out << "\n  by rule: " << f;
        for (const auto& f : notComparable)
            out << "\n  not comparable: " << f;
        for (const auto& f : faults)
            out << "\n  FAULT: " << f;
        return out.str();
    }
};

using Decoder = std::function<bool(std::span<const uint8_t>, ByteBuffer&)>;

void check(const Row& row, const Decoder& decode, const Expectation& expected, Tally& tally)
{
    const std::string path = row.at("path");
    const std::vector<uint8_t> bytes = test::readFile(kCorpus / path);
    if (test::md5Hex(bytes) != row.at("md5")) {
        tally.faults.push_back(path + ": file differs from the manifest");
        return;
    }
    ByteBuffer picture;
    const bool ok = decode(bytes, picture);
    if (expected.kind == Expectation::NotComparable) {
        tally.notComparable.push_back(path + " (" + (ok ? "decoded" : "refused") + "): " + expected.why);
        return;
    }
    if (expected.kind == Expectation::Refused) {
        if (ok)
            tally.faults.push_back(path + ": decoded, our rules refuse it");
        else
            ++tally.refusedAsExpected;
        return;
    }
    if (!ok) {
        tally.faults.push_back(path + ": refused");
        return;
    }
    const std::string md5 = pictureMd5(picture);
    if (std::find(expected.hashes.begin(), expected.hashes.end(), md5) != expected.hashes.end())
        ++tally.equal;
    else if (expected.kind == Expectation::EqualOrByRule)
        tally.byRule.push_back(path + ": " + expected.why);
    else
        tally.faults.push_back(path + ": pixels differ");
}

Tally runCorpus(const std::string& format, const Decoder& decode,
                const std::function<Expectation(const Row&)>& expect)
{
    Tally tally;
    for (const Row& row : readManifest(format))
        check(row, decode, expect(row), tally);
    return tally;
}

bool toolFailed(const Row& row, const std::string& tool)
{
    return row.at("decode").find(tool + "=error") != std::string::npos;
}

// Value of `key=value` in a row's info field, or `fallback`.
int64_t infoValue(const Row& row, const std::string& key, int64_t fallback)
{
    std::istringstream in(row.at("info"));
    std::string token;
    while (in >> token) {
        if (token.rfind(key + "=", 0) == 0)
            return std::strtoll(token.c_str() + key.size() + 1, nullptr, 10);
    }
    return fallback;
}

// Whether our BMP rules take the file, from the facts the manifest lists:
// a 40-byte or larger header, no compression but bit fields (16 and 32 bits
// only), a known depth, and every table and row inside the file.
bool bmpRulesAccept(const Row& row)
{
    const int64_t header = infoValue(row, "header", 0);
    const int64_t bpp = infoValue(row, "bpp", 0);
    const int64_t compression = infoValue(row, "compression", -1);
    const int64_t clrUsed = infoValue(row, "clr_used", 0);
    const int64_t height = infoValue(row, "height_field", 0);
    const int64_t offset = infoValue(row, "offset", 0);
    const int64_t width = row.at("width").empty() ? 0 : std::stoll(row.at("width"));
    const bool knownDepth = bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (header < 40 || !knownDepth || width <= 0 || height == 0)
        return false;
    if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32)))
        return false;
    const int64_t table = bpp <= 8 ? 4 * (clrUsed ? clrUsed : int64_t(1) << bpp) : compression == 3 ? 12 : 0;
    const int64_t tableEnd = 14 + (bpp <= 8 ? header : 40) + table;
    const int64_t bits = offset ? offset : 14 + header + table;
    const int64_t rows = int64_t(dibStride(width, uint32_t(bpp))) * std::llabs(height);
    const int64_t size = std::stoll(row.at("bytes"));
    return tableEnd <= size && bits + rows <= size;
}

class StillImageCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kCorpus / "manifest.tsv"))
            GTEST_SKIP() << "no corpus at " << kCorpus;
    }
};

TEST_F(StillImageCorpus, JpegPixelsEqualLibjpeg)
{
    // Same library, same defaults: every file libjpeg reads must give its
    // pixels exactly, truncated and CMYK files included.
    Tally tally = runCorpus("jpeg", decodeJpeg, [](const Row& row) {
        Expectation e;
        e.kind = toolFailed(row, "libjpeg") ? Expectation::Refused : Expectation::Equal;
        e.hashes = {row.at("lib_md5")};
        return e;
    });
    std::cout << "JPEG: " << tally.report() << "\n";
    EXPECT_TRUE(tally.faults.empty()) << tally.report();
}

TEST_F(StillImageCorpus, PngPixelsEqualLibpngWithGammaAndBackground)
{
    // The reference is libpng showing the file on a 2.2 screen over bKGD or
    // white, which is our rule too; palette pictures compare after our
    // conversion to 24 bits.
    Tally tally = runCorpus("png", decodePng, [](const Row& row) {
        Expectation e;
        e.kind = toolFailed(row, "libpng") ? Expectation::Refused : Expectation::Equal;
        e.hashes = {row.at("lib_md5")};
        return e;
    });
    std::cout << "PNG: " << tally.report() << "\n";
    EXPECT_TRUE(tally.faults.empty()) << tally.report();
}

TEST_F(StillImageCorpus, BmpPixelsEqualImageMagickOrPillow)
{
    Tally tally = runCorpus("bmp", decodeBmp, [](const Row& row) {
        Expectation e;
        const int64_t bpp = infoValue(row, "bpp", 0);
        if (!bmpRulesAccept(row)) {
            e.kind = Expectation::Refused;
        } else if (row.at("im_md5").empty() && row.at("lib_md5").empty()) {
            e.why = "no tool decodes it";
        } else if (bpp == 16 || bpp == 32) {
            // Alpha is ignored and short channels are widened by repeating
            // their bits, where the tools composite and scale.
            e.kind = Expectation::EqualOrByRule;
            e.why = "16/32-bit conversion rules";
        } else if (row.at("im_md5").empty()) {
            // Only Pillow reads these damaged files, with its own repairs.
            e.kind = Expectation::EqualOrByRule;
            e.why = "ImageMagick refuses it, Pillow repairs it its own way";
        } else {
            e.kind = Expectation::Equal;
        }
        for (const char* key : {"im_md5", "lib_md5"}) {
            if (!row.at(key).empty())
                e.hashes.push_back(row.at(key));
        }
        return e;
    });
    std::cout << "BMP: " << tally.report() << "\n";
    EXPECT_TRUE(tally.faults.empty()) << tally.report();
}

#ifdef ZELL_HAVE_GIFLIB

// giflib's reading of our stream shows the picture's pixels exactly.
bool sameColours(const ByteBuffer& gif, std::span<const uint8_t> picture)
{
    std::vector<test::GiflibImage> images;
    ByteBuffer rgb;
    DibHeader h;
    if (!test::giflibDecode(gif.bytes(), images) || images.size() != 1 || !convertToTrueColor(picture, rgb)
        || !readDibHeader(rgb.bytes(), h) || images[0].width != uint32_t(h.width) || images[0].height != h.absHeight())
        return false;
    const test::GiflibImage& image = images[0];
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t c = test::pixelRgb(rgb.data(), x, y);
            if (image.colors[image.indices[size_t(y) * image.width + x]] != makeColor(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)))
                return false;
        }
    }
    return true;
}

struct ConversionTally {
    int exact = 0;
    int reduced = 0;
    int refusedDepth = 0;
    std::vector<std::string> faults;
};

// What convertToGif makes of one file that decodes: 16/32-bit pictures are
// refused, up to 256 colours come out exactly, more are reduced to 256.
void checkConversion(const std::string& path, std::span<const uint8_t> bytes, ConversionTally& tally)
{
    ByteBuffer picture, gif;
    DibHeader h;
    if (!decodeImage(bytes, picture, false) || !readDibHeader(picture.bytes(), h))
        return;
    const bool converted = convertToGif(bytes, gif, false);
    if (h.bitCount == 16 || h.bitCount == 32) {
        if (converted)
            tally.faults.push_back(path + ": 16/32-bit picture converted");
        else
            ++tally.refusedDepth;
        return;
    }
    if (!converted) {
        tally.faults.push_back(path + ": not converted");
    } else if (countColors(picture.bytes()) > 256) {
        std::vector<test::GiflibImage> images;
        if (test::giflibDecode(gif.bytes(), images) && images.size() == 1 && images[0].colors.size() == 256)
            ++tally.reduced;
        else
            tally.faults.push_back(path + ": reduced stream unreadable");
    } else if (sameColours(gif, picture.bytes())) {
        ++tally.exact;
    } else {
        tally.faults.push_back(path + ": colours changed");
    }
}

TEST_F(StillImageCorpus, EveryDecodedStillBecomesAGifThatShowsIt)
{
    ConversionTally tally;
    for (const std::string format : {"bmp", "jpeg", "png"}) {
        for (const Row& row : readManifest(format))
            checkConversion(row.at("path"), test::readFile(kCorpus / row.at("path")), tally);
    }
    std::cout << "GIF conversion: " << tally.exact << " exact, " << tally.reduced << " reduced to 256 colours, "
              << tally.refusedDepth << " refused for their 16/32-bit depth\n";
    EXPECT_TRUE(tally.faults.empty()) << ::testing::PrintToString(tally.faults);
}

#endif

} // namespace
} // namespace zell
