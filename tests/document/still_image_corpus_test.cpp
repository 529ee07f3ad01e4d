// The still-image decoders against the reference decodes of the shared corpus.
// Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "document/bmp_decoder.h"
#include "document/jpeg_decoder.h"
#include "document/png_decoder.h"
#include "image/dib.h"
#include "support/corpus.h"
#include "support/md5.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::CorpusRow;
using Decoder = std::function<bool(std::span<const uint8_t>, ByteBuffer&)>;

// What the manifest's hashes cover: RGB samples, rows top to bottom, unpadded.
std::string pictureMd5(const ByteBuffer& picture)
{
    ByteBuffer rgb;
    return convertToTrueColor(picture.bytes(), rgb) ? test::md5Hex(test::rgbRows(rgb.bytes())) : "not convertible";
}

// What a file should give under our rules: refused, or pixels equal to one
// of the reference hashes unless no tool decodes it or a rule of ours differs.
struct Expectation {
    bool refused = false;
    bool mayDiffer = false;
    std::vector<std::string> hashes{};
};

void expectCorpus(const std::string& format, const Decoder& decode,
                  const std::function<Expectation(const CorpusRow&)>& expect)
{
    std::vector<std::string> faults;
    for (const CorpusRow& row : test::corpusRows(format)) {
        const std::vector<uint8_t> bytes = test::readFile(test::corpusDir() / row.at("path"));
        const Expectation e = expect(row);
        ByteBuffer picture;
        const bool ok = decode(bytes, picture);
        const bool equal = ok && std::find(e.hashes.begin(), e.hashes.end(), pictureMd5(picture)) != e.hashes.end();
        const char* fault = test::md5Hex(bytes) != row.at("md5") ? "file differs from the manifest"
                            : e.refused                          ? (ok ? "decoded, our rules refuse it" : nullptr)
                            : !ok                                ? (e.hashes.empty() ? nullptr : "refused")
                                                                 : (equal || e.mayDiffer ? nullptr : "pixels differ");
        if (fault)
            faults.push_back(row.at("path") + ": " + fault);
    }
    EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

// Value of `key=value` in a row's info field, or `fallback`.
int64_t infoValue(const CorpusRow& row, const std::string& key, int64_t fallback)
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
// the 12-byte OS/2 1.x header (1, 4, 8 or 24 bits, three-byte entries) or a
// 40-byte or larger one, no compression but bit fields (16 and 32 bits
// only), a known depth, and every table and row inside the file.
bool bmpRulesAccept(const CorpusRow& row)
{
    const int64_t header = infoValue(row, "header", 0);
    const int64_t bpp = infoValue(row, "bpp", 0);
    const int64_t compression = infoValue(row, "compression", -1);
    const int64_t clrUsed = infoValue(row, "clr_used", 0);
    const int64_t height = infoValue(row, "height_field", 0);
    const int64_t offset = infoValue(row, "offset", 0);
    const int64_t width = row.at("width").empty() ? 0 : std::stoll(row.at("width"));
    const bool core = header == 12;
    const bool knownDepth = core ? bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24
                                 : bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if ((header < 40 && !core) || !knownDepth || width <= 0 || height == 0)
        return false;
    if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32)))
        return false;
    int64_t table = bpp <= 8 ? 4 * (clrUsed ? clrUsed : int64_t(1) << bpp) : compression == 3 ? 12 : 0;
    if (core && bpp <= 8) // three bytes an entry, as many as the offset leaves room for
        table = 3 * std::min(int64_t(1) << bpp, offset > 26 ? (offset - 26) / 3 : int64_t(1) << bpp);
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
        if (test::corpusRows("png").empty())
            GTEST_SKIP() << "no corpus at " << test::corpusDir();
    }
};

TEST_F(StillImageCorpus, JpegAndPngPixelsEqualTheLibraries)
{
    // Same libraries, same rules (PNG shown on a 2.2 screen over bKGD or
    // white): every file they read must give their pixels exactly, truncated
    // and CMYK files included; palette pictures compare after conversion.
    const Decoder jpeg = [](std::span<const uint8_t> d, ByteBuffer& p) { return decodeJpeg(d, p); };
    const std::pair<const char*, Decoder> formats[] = {{"jpeg", jpeg}, {"png", decodePng}};
    for (const auto& [format, decoder] : formats) {
        const std::string tool = format == std::string("png") ? "libpng" : "libjpeg";
        expectCorpus(format, decoder, [&](const CorpusRow& row) {
            return Expectation{.refused = test::hasVerdict(row, tool + "=error"), .hashes = {row.at("lib_md5")}};
        });
    }
}

TEST_F(StillImageCorpus, BmpPixelsEqualImageMagickOrPillow)
{
    expectCorpus("bmp", decodeBmp, [](const CorpusRow& row) {
        Expectation e{.refused = !bmpRulesAccept(row)};
        for (const char* key : {"im_md5", "lib_md5"})
            if (!row.at(key).empty())
                e.hashes.push_back(row.at(key));
        // At 16/32 bits alpha is ignored and short channels are widened by
        // repeating their bits, where the tools composite and scale; files
        // only Pillow reads it repairs its own way.
        const int64_t bpp = infoValue(row, "bpp", 0);
        e.mayDiffer = bpp == 16 || bpp == 32 || row.at("im_md5").empty();
        return e;
    });
}

} // namespace
} // namespace zell
