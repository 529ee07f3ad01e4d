#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "document/gif_import.h"
#include "support/corpus.h"
#include "support/test_support.h"

namespace zell {
namespace {

// Compares one image's attributes with a manifest entry
// left,top,width,height,lct,interlace,lzw_min,gce,delay,disposal,user_input,transparent,...
std::string compareImage(const Frame& f, const std::string& entry)
{
    const auto v = test::splitFields(entry, ',');
    if (v.size() < 12)
        return "short manifest entry";
    // A frame that would end beyond 65535 is kept at the farthest place that fits.
    const long width = std::stol(v[2]), height = std::stol(v[3]);
    const long expected[] = {std::min(std::stol(v[0]), 65535 - width), std::min(std::stol(v[1]), 65535 - height),
                             width, height, std::stol(v[4]),
                             std::stol(v[5]), std::stol(v[8]), std::stol(v[9]), std::stol(v[10]), std::stol(v[11])};
    const long actual[] = {long(f.left), long(f.top), long(f.width), long(f.height),
                           f.useLocalColorTable && (f.descriptorFlags & 0x80) ? long(f.colorCount) : 0L,
                           (f.descriptorFlags & 0x40) ? 1L : 0L, long(f.delay), long(f.disposal),
                           f.userInput ? 1L : 0L, f.transparentIndex == 0xFFFF ? -1L : long(f.transparentIndex)};
    const char* names[] = {"left", "top", "width", "height", "local table", "interlace", "delay", "disposal",
                           "user input", "transparent"};
    for (int i = 0; i < 10; ++i) {
        if (expected[i] != actual[i])
            return std::string(names[i]) + " " + std::to_string(actual[i]) + " != " + std::to_string(expected[i]);
    }
    return {};
}

TEST(GifImportCorpus, CleanFilesSplitWithTheirAttributesAndBrokenOnesLeaveNothing)
{
    const auto rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "corpus not present";
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    int matched = 0, byRule = 0, brokenRefused = 0, brokenRead = 0;
    std::vector<std::string> problems;
    for (const auto& row : rows) {
        const std::string path = row.at("path");
        SplitResult result;
        const bool ok = splitGif(test::readFile(test::corpusDir() / path), work, result);
        const bool clean = test::hasVerdict(row, "giflib-walk=ok");
        if (!ok && test::workFileCount(work.path()) != 0)
            problems.push_back(path + ": a failed split left work files");
        if (!clean) {
            ++(ok ? brokenRead : brokenRefused);
            continue;
        }
        if (!ok) {
            // zell's import needs a colour table and a picture for every
            // image, and codes that decode (giflib, ImageMagick and Pillow
            // refuse the files whose codes do not either).
            const std::string& features = row.at("features");
            if (features.find("image-without-color-table") != std::string::npos
                || features.find("zero-size-image") != std::string::npos
                || features.find("decode-error") != std::string::npos)
                ++byRule;
            else
                problems.push_back(path + ": refused although it walks cleanly");
            continue;
        }
        const auto entries = row.at("gif_images").empty() ? std::vector<std::string>{} : test::splitFields(row.at("gif_images"), ';');
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
    std::printf("GIF split: %d clean files matched, %d clean files refused by rule (an image without colour "
                "table, picture or decodable codes), broken files: %d refused, %d read\n",
                matched, byRule, brokenRefused, brokenRead);
    EXPECT_GT(matched, 50);
    for (const auto& p : problems)
        ADD_FAILURE() << p;
}

} // namespace
} // namespace zell
