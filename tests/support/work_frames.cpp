#include "support/work_frames.h"

#include <gtest/gtest.h>

#include "image/color_table.h"
#include "image/gif_codec.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell::test {

std::unique_ptr<Frame> makeFrame(WorkDirectory& work, uint32_t width, uint32_t height,
                                 const std::vector<uint32_t>& colors, const std::vector<uint8_t>& indices)
{
    const int bits = colorTableBits(uint32_t(colors.size()));
    std::vector<uint32_t> table = colors;
    table.resize(size_t(1) << bits, 0);
    const auto dib = indexedDib(width, height, table, indices);
    ByteBuffer gif;
    EXPECT_TRUE(encodeGifImage(dib, gif, bits, false));
    auto frame = std::make_unique<Frame>();
    std::string path;
    EXPECT_TRUE(work.newWorkFileName("gif", path));
    writeFile(path, {gif.data(), gif.data() + gif.size()});
    frame->workFile = WorkFile::adopt(path);
    frame->width = width;
    frame->height = height;
    frame->useLocalColorTable = 1;
    frame->colorCount = uint16_t(1u << bits);
    return frame;
}

std::unique_ptr<Frame> solidFrame(WorkDirectory& work, uint32_t width, uint32_t height, uint32_t color)
{
    return makeFrame(work, width, height, {color, 0}, std::vector<uint8_t>(size_t(width) * height, 0));
}

} // namespace zell::test
