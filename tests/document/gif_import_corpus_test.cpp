#include <gtest/gtest.h>

#include <algorithm>

#include "document/gif_import.h"
#include "image/gif_codec.h"
#include "support/corpus.h"
#include "support/indexed_dib.h"
#include "support/md5.h"
#include "support/test_support.h"

namespace zell {
namespace {

// One image's attributes against a manifest entry
// left,top,width,height,lct,interlace,lzw_min,gce,delay,disposal,user_input,transparent,...
std::string compareImage(const Frame& f, const std::string& entry)
{
    const auto v = test::splitFields(entry, ',');
    if (v.size() < 12)
        return "short manifest entry";
    const auto field = [&](size_t i) { return std::stol(v[i]); };
    // A frame that would end beyond 65535 is kept at the farthest place that fits.
    const long expected[] = {std::min(field(0), 65535 - field(2)), std::min(field(1), 65535 - field(3)), field(2), field(3),
                             field(4), field(5), field(8), field(9), field(10), field(11)};
    const long actual[] = {f.left, f.top, f.width, f.height, f.useLocalColorTable && (f.descriptorFlags & 0x80) ? f.colorCount : 0,
                           (f.descriptorFlags & 0x40) != 0, f.delay, f.disposal, f.userInput != 0,
                           f.transparentIndex == 0xFFFF ? -1L : long(f.transparentIndex)};
    const char* names[] = {"left", "top", "width", "height", "local table", "interlace", "delay", "disposal",
                           "user input", "transparent"};
    for (int i = 0; i < 10; ++i)
        if (expected[i] != actual[i])
            return std::string(names[i]) + " " + std::to_string(actual[i]) + " != " + std::to_string(expected[i]);
    return {};
}

// Every image giflib decodes has the manifest's indices; clean files split
// with their attributes, broken ones leave nothing.
TEST(GifCorpus, FilesDecodeAndSplitAsTheManifestSays)
{
    const auto rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "corpus not present";
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    int decoded = 0, matched = 0;
    std::vector<std::string> problems;
    for (const auto& row : rows) {
        const std::string path = row.at("path");
        const std::vector<uint8_t> file = test::readFile(test::corpusDir() / path);
        ASSERT_EQ(test::md5Hex(file), row.at("md5")) << path << ": file differs from the manifest";
        const auto entries = row.at("gif_images").empty() ? std::vector<std::string>{} : test::splitFields(row.at("gif_images"), ';');
        const bool globalTable = (" " + row.at("info") + " ").find(" gct=0 ") == std::string::npos;
        for (size_t i = 0; test::hasVerdict(row, "giflib-slurp=ok") && i < entries.size(); ++i) {
            const std::vector<std::string> fields = test::splitFields(entries[i], ',');
            if (fields.size() < 15 || fields[14] == "-")
                continue;
            // An image with neither table has no colours to give its DIB:
            // refused, where giflib hands out bare indices.
            const std::string want = globalTable || fields[4] != "0" ? fields[14] : "(failed)";
            ByteBuffer dib;
            const bool ok = decodeGifImage(file, dib, int(i), false) && !dib.empty();
            if ((ok ? test::md5Hex(test::indicesOf(dib.bytes())) : "(failed)") != want)
                problems.push_back(path + " image " + std::to_string(i) + ": other indices than giflib's");
            ++decoded;
        }

        SplitResult result;
        const bool ok = splitGif(file, work, result);
        if (!ok && test::workFileCount(work.path()) != 0)
            problems.push_back(path + ": a failed split left work files");
        if (!test::hasVerdict(row, "giflib-walk=ok"))
            continue;
        if (!ok) {
            // zell's import needs a colour table and a picture for every
            // image, and codes that decode (giflib, ImageMagick and Pillow
            // refuse the files whose codes do not either).
            const std::string& features = row.at("features");
            if (features.find("image-without-color-table") == std::string::npos
                && features.find("zero-size-image") == std::string::npos
                && features.find("decode-error") == std::string::npos)
                problems.push_back(path + ": refused although it walks cleanly");
            continue;
        }
        if (entries.size() != result.frames.size()) {
            problems.push_back(path + ": " + std::to_string(result.frames.size()) + " frames, manifest "
                               + std::to_string(entries.size()));
            continue;
        }
        bool same = true;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (std::string why = compareImage(*result.frames[i], entries[i]); !why.empty()) {
                problems.push_back(path + " image " + std::to_string(i) + ": " + why);
                same = false;
            }
        }
        matched += same;
    }
    EXPECT_GT(decoded, 90);
    EXPECT_GT(matched, 50);
    for (const auto& p : problems)
        ADD_FAILURE() << p;
}

} // namespace
} // namespace zell
