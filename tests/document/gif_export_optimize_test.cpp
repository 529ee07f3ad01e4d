#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "document/gif_export.h"
#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "image/gif_codec.h"
#include "support/gif_screens.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"
#include "support/work_frames.h"

namespace zell {
namespace {

using test::Screens;
using test::withoutRepeats;

Screens composeAll(const Document& document)
{
    Screens screens;
    ScreenComposer composer(document);
    for (int i = 0; i < document.frames.count(); ++i) {
        EXPECT_TRUE(composer.composeNext()) << i;
        const ByteBuffer& s = composer.screen();
        screens.emplace_back(s.data(), s.data() + s.size());
    }
    EXPECT_FALSE(composer.composeNext()) << "past the last frame";
    return screens;
}

double psnr(const Screens& a, const Screens& b)
{
    double sum = 0;
    size_t n = 0;
    for (size_t k = 0; k < std::min(a.size(), b.size()); ++k)
        for (size_t i = 40; i < std::min(a[k].size(), b[k].size()); ++i, ++n)
            sum += (double(a[k][i]) - b[k][i]) * (double(a[k][i]) - b[k][i]);
    return n == 0 || sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(n) / sum);
}

class OptimizedExport : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};
    Document doc{work};

    std::vector<uint32_t> palette(int n, int seed)
    {
        std::vector<uint32_t> colors;
        for (int i = 0; i < n; ++i)
            colors.push_back(makeColor(uint8_t(i * 37 + seed), uint8_t(i * 11 + 3 * seed), uint8_t(200 - i * 5)));
        return colors;
    }
    Frame& add(uint32_t w, uint32_t h, uint32_t left, uint32_t top, const std::vector<uint32_t>& colors,
               std::vector<uint8_t> indices)
    {
        auto f = test::makeFrame(work, w, h, colors, indices);
        f->left = left;
        f->top = top;
        f->delay = 5;
        doc.frames.insert(doc.frames.count(), f);
        return *doc.frames.frameAt(doc.frames.count() - 1);
    }
    // A little animation: a background, a moving block, a transparent overlay,
    // a frame identical to what is shown, disposal 2 and 3.
    void animation()
    {
        doc.settings.screenWidth = 24;
        doc.settings.screenHeight = 16;
        const auto p = palette(16, 1);
        std::vector<uint8_t> bg(24 * 16);
        for (size_t i = 0; i < bg.size(); ++i)
            bg[i] = uint8_t((i / 24 + i % 24 / 6) % 4);
        add(24, 16, 0, 0, p, bg).disposal = 1;
        std::vector<uint8_t> block(6 * 5, 9);
        block[7] = 3;
        add(6, 5, 3, 2, p, block).disposal = 1;
        std::vector<uint8_t> overlay(10 * 4, 15);
        for (int i = 0; i < 10; ++i)
            overlay[size_t(20 + i)] = uint8_t(i % 3 + 5);
        Frame& o = add(10, 4, 8, 9, p, overlay);
        o.transparentIndex = 15;
        o.disposal = 1;
        // Shows exactly the screen beneath it: the first frame's 4x4 at (0, 12).
        std::vector<uint8_t> same;
        for (int y = 12; y < 16; ++y)
            for (int x = 0; x < 4; ++x)
                same.push_back(bg[size_t(y * 24 + x)]);
        add(4, 4, 0, 12, p, same).disposal = 1;
        add(5, 5, 15, 1, palette(4, 7), std::vector<uint8_t>(25, 2)).disposal = 2;
        add(3, 3, 1, 10, palette(2, 9), {0, 1, 0, 1, 0, 1, 0, 1, 0}).disposal = 3;
        add(4, 2, 19, 14, p, std::vector<uint8_t>(8, 12)).disposal = 0;
    }

    Screens roundTrip(uint32_t options, int* frameCount = nullptr, uint32_t* totalDelay = nullptr)
    {
        const std::string out = (dir.path() / "out.gif").string();
        ExportError why;
        EXPECT_TRUE(writeAnimatedGif(out, doc.frames, GifOutput::fromSettings(doc.settings, options), &why))
            << int(why);
        Document back(work);
        SplitResult split;
        EXPECT_TRUE(splitGif(test::readFile(out), work, split));
        bool open = true;
        ImportOptions import;
        import.loadGlobalTable = true;
        back.settings.screenWidth = split.screenWidth;
        back.settings.screenHeight = split.screenHeight;
        insertSplitFrames(back, split, "out", import, open);
        if (frameCount)
            *frameCount = back.frames.count();
        for (int i = 0; totalDelay && i < back.frames.count(); ++i)
            *totalDelay += back.frames.frameAt(i)->delay;
        return composeAll(back);
    }
};

TEST_F(OptimizedExport, EveryOptionSetComposesToTheSameScreens)
{
    animation();
    const Screens original = composeAll(doc);
    for (uint32_t options : std::initializer_list<uint32_t>{kSaveOptimize, kSaveOptimize | kSaveTransparency, kSaveOptimize | kSaveDropUnchanged,
                             kSaveOptimize | kSaveTransparency | kSaveDropUnchanged, kSaveLosslessDefault,
                             kSaveLosslessDefault | kSaveDropUnchanged,
                             kSaveLosslessDefault | kSaveDropUnchanged | kSaveKeepTiming}) {
        int frames = 0;
        uint32_t delay = 0;
        const Screens optimized = roundTrip(options, &frames, &delay);
        if (options & kSaveDropUnchanged) {
            EXPECT_EQ(frames, doc.frames.count() - 1) << "the frame that changes nothing is left out";
            EXPECT_EQ(withoutRepeats(optimized), withoutRepeats(original)) << options;
            // Every frame waits 5: the dropped one's wait is kept only when asked.
            EXPECT_EQ(delay, 5u * uint32_t(doc.frames.count() - ((options & kSaveKeepTiming) ? 0 : 1))) << options;
        } else {
            EXPECT_EQ(frames, doc.frames.count());
            EXPECT_EQ(optimized, original) << options;
        }
    }
    // Nothing can be composed on a screen without width: that is a failure,
    // not an empty success.
    doc.settings.screenWidth = 0;
    ExportError why;
    EXPECT_FALSE(writeAnimatedGif((dir.path() / "zero.gif").string(), doc.frames,
                                  GifOutput::fromSettings(doc.settings, kSaveOptimize), &why));
    EXPECT_EQ(why, ExportError::OptimizeFailed);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "zero.gif"));
}

TEST_F(OptimizedExport, AutoTransparencyStaysCloseAndShrinksNothingOfTheDocument)
{
    animation();
    const Screens original = composeAll(doc);
    std::vector<uint32_t> before;
    for (int i = 0; i < doc.frames.count(); ++i)
        before.push_back(doc.frames.frameAt(i)->width * 65536 + doc.frames.frameAt(i)->transparentIndex);
    const Screens optimized = roundTrip(kSaveOptimize | kSaveTransparency | kSaveAutoTransparency);
    const double quality = psnr(original, optimized);
    std::printf("auto-transparency PSNR on the generated animation: %.2f dB\n", quality);
    EXPECT_GT(quality, 30.0);
    for (int i = 0; i < doc.frames.count(); ++i)
        EXPECT_EQ(doc.frames.frameAt(i)->width * 65536 + doc.frames.frameAt(i)->transparentIndex, before[size_t(i)])
            << "export never changes the frames";
}

TEST_F(OptimizedExport, ReplacementGlobalTableForGlobalFrames)
{
    doc.settings.screenWidth = 8;
    doc.settings.screenHeight = 8;
    const auto p = palette(8, 2);
    doc.settings.useGlobalColorTable = true;
    ColorTable& table = doc.settings.globalColorTable;
    table.count = 8;
    table.backgroundIndex = 1;
    for (uint32_t i = 0; i < 8; ++i)
        table.setColor(i, p[i]);
    std::vector<uint8_t> first(64);
    for (size_t i = 0; i < 64; ++i)
        first[i] = uint8_t(i % 8);
    add(8, 8, 0, 0, p, first).useLocalColorTable = 0;
    auto second = first;
    second[9] = 0;
    add(8, 8, 0, 0, p, second).useLocalColorTable = 0;
    const Screens original = composeAll(doc);
    const Screens optimized = roundTrip(kSaveOptimize | kSaveTransparency | kSaveAutoTransparency);
    // 8 colours plus a transparent entry do not fit 8 entries: one colour merges.
    const double quality = psnr(original, optimized);
    std::printf("replacement global table PSNR: %.2f dB\n", quality);
    EXPECT_GT(quality, 15.0);
    EXPECT_EQ(doc.settings.globalColorTable.count, 8) << "the document's table is untouched";
}

TEST_F(OptimizedExport, InterlacedFramesAreWrittenPlainWhenReEncoded)
{
    doc.settings.screenWidth = 6;
    doc.settings.screenHeight = 10;
    const auto p = palette(4, 3);
    add(6, 10, 0, 0, p, std::vector<uint8_t>(60, 0));
    // An interlaced frame whose change spans several rows.
    std::vector<uint8_t> indices(60, 0);
    for (size_t i = 12; i < 48; ++i)
        indices[i] = uint8_t(i % 4);
    auto dib = test::indexedDib(6, 10, p, indices);
    ByteBuffer gif;
    ASSERT_TRUE(encodeGifImage(dib, gif, 2, true));
    Frame& f = add(6, 10, 0, 0, p, indices);
    test::writeFile(f.workFile.path(), {gif.data(), gif.data() + gif.size()});
    f.descriptorFlags = 0x40;
    EXPECT_EQ(roundTrip(kSaveOptimize), composeAll(doc));
}

} // namespace
} // namespace zell
