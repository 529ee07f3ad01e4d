#include "operations/screen_frames.h"

#include <algorithm>
#include <cstring>

#include "document/gif_export.h"
#include "document/optimizing_pass.h"
#include "image/code_hash_map.h"
#include "image/color_quantizer.h"
#include "image/dib.h"
#include "image/gif_codec.h"

namespace zell::edit {

ExactPalette::ExactPalette(size_t limit) : limit_(limit) {}

bool ExactPalette::add(std::span<const uint8_t> screen)
{
    DibHeader h;
    if (!checkDib(screen, &h) || h.bitCount != 24)
        return false;
    uint32_t last = kNoColor;
    for (uint32_t y = 0; y < h.absHeight() && !over_; ++y) {
        const uint8_t* row = screen.data() + dibRowOffset(h, y);
        for (uint32_t x = 0; x < uint32_t(h.width); ++x) {
            const uint32_t color = makeColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            if (color != last && !seen_.find(color)) {
                over_ = colors_.size() == limit_;
                if (over_)
                    break;
                seen_.insert(color, uint32_t(colors_.size()));
                colors_.push_back(color);
            }
            last = color;
        }
    }
    return !over_;
}

ColorTable ExactPalette::table(bool withClear) const
{
    ColorTable t;
    t.count = uint16_t(1u << colorTableBits(uint32_t(colors_.size() + (withClear ? 1 : 0))));
    for (size_t i = 0; i < colors_.size(); ++i)
        t.setColor(uint32_t(i), colors_[i]);
    return t;
}

bool ExactPalette::index(std::span<const uint8_t> screen, std::span<const uint8_t> clear, ByteBuffer& out) const
{
    DibHeader h;
    if (over_ || !checkDib(screen, &h) || h.bitCount != 24)
        return false;
    const uint32_t width = uint32_t(h.width), height = h.absHeight();
    const bool clearing = clear.size() == uint64_t(width) * height;
    const ColorTable t = table(clearing);
    const DibHeader o = makeDibHeader(int32_t(width), int32_t(height), 8, t.count);
    if (!out.allocate(uint32_t(dibPackedSize(o))))
        return false;
    std::memset(out.data(), 0, out.size());
    writeDibHeader(out.data(), o);
    for (uint32_t j = 0; j < t.count; ++j) {
        uint8_t* quad = out.data() + kDibHeaderSize + 4 * j;
        quad[0] = colorBlue(t.color(j));
        quad[1] = colorGreen(t.color(j));
        quad[2] = colorRed(t.color(j));
    }
    uint32_t last = kNoColor, lastIndex = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = screen.data() + dibRowOffset(h, y);
        uint8_t* to = out.data() + dibRowOffset(o, y);
        for (uint32_t x = 0; x < width; ++x) {
            if (clearing && clear[size_t(y) * width + x]) {
                to[x] = uint8_t(colors_.size());
                continue;
            }
            const uint32_t color = makeColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            if (color != last) {
                const uint32_t* known = seen_.find(color);
                if (!known)
                    return false;
                last = color;
                lastIndex = *known;
            }
            to[x] = uint8_t(lastIndex);
        }
    }
    return true;
}

std::vector<uint8_t> unpaintedOf(std::span<const uint8_t> painted)
{
    std::vector<uint8_t> clear(painted.size());
    std::transform(painted.begin(), painted.end(), clear.begin(), [](uint8_t p) { return uint8_t(p == 0); });
    if (std::find(clear.begin(), clear.end(), uint8_t(1)) == clear.end())
        clear.clear();
    return clear;
}

bool encodeScreen(std::span<const uint8_t> screen, std::span<const uint8_t> painted, bool keepUnpainted,
                  ByteBuffer& gif, uint16_t& colorCount, uint16_t& transparentIndex, bool& tooManyColors)
{
    const std::vector<uint8_t> clear = keepUnpainted ? unpaintedOf(painted) : std::vector<uint8_t>();
    ExactPalette palette(clear.empty() ? 256 : 255);
    ByteBuffer indexed;
    tooManyColors = !palette.add(screen);
    if (tooManyColors || !palette.index(screen, clear, indexed))
        return false;
    colorCount = palette.table(!clear.empty()).count;
    transparentIndex = clear.empty() ? kNoIndex : uint16_t(palette.size());
    return encodeGifImage(indexed.bytes(), gif, colorTableBits(colorCount), false);
}

bool mapScreen(ColorQuantizer& quantizer, std::span<const uint8_t> screen, std::span<const uint8_t> painted,
               uint16_t transparentIndex, bool dither, ByteBuffer& mapped)
{
    DibHeader m;
    if (!quantizer.mapImage(screen, mapped, dither) || !checkDib(mapped.bytes(), &m))
        return false;
    if (transparentIndex != kNoIndex) {
        if (painted.size() != uint64_t(m.width) * m.absHeight())
            return false;
        for (uint32_t y = 0; y < m.absHeight(); ++y) {
            uint8_t* row = mapped.data() + dibRowOffset(m, y);
            const uint8_t* shown = painted.data() + uint64_t(y) * uint32_t(m.width);
            for (uint32_t x = 0; x < uint32_t(m.width); ++x) {
                if (!shown[x])
                    row[x] = uint8_t(transparentIndex);
            }
        }
    }
    return true;
}

bool takeScreenPicture(Frame& frame, std::span<const uint8_t> gif, uint16_t width, uint16_t height,
                       uint16_t colorCount, uint16_t transparentIndex, WorkDirectory& work)
{
    std::string path;
    if (!work.writeNewWorkFile("gif", gif, path))
        return false;
    frame.workFile = WorkFile::adopt(std::move(path));
    frame.left = 0;
    frame.top = 0;
    frame.width = width;
    frame.height = height;
    frame.colorCount = colorCount;
    frame.transparentIndex = transparentIndex;
    frame.useLocalColorTable = 1;
    frame.descriptorFlags = 0;
    frame.disposal = 1;
    return true;
}

bool cropToChanges(NewFrames& frames, const std::vector<char>& rewritten, const Document& document,
                   uint16_t screenWidth, uint16_t screenHeight, const ColorTable* global, Progress* progress,
                   int64_t done, int64_t total, EditResult* result)
{
    OptimizingPass pass(frames.list(), global, screenWidth, screenHeight,
                        kSaveOptimize | kSaveTransparency | kSaveLosslessTransparency);
    if (!pass.prepare())
        return fail(result, Failure::damaged);
    struct Smaller {
        int at;
        WorkFile file;
        FrameAttributes attributes;
    };
    std::vector<Smaller> smaller;
    OptimizedFrame out;
    for (int k = 0; k < frames.size(); ++k) {
        if (stopped(progress, result))
            return false;
        if (!pass.next(k, out))
            return fail(result, Failure::damaged);
        if (rewritten[size_t(k)] && out.outcome == OptimizedFrame::Outcome::rewritten) {
            std::string path;
            if (!document.workDirectory().writeNewWorkFile("gif", out.stream.bytes(), path))
                return fail(result, Failure::cannotWrite);
            smaller.push_back({k, WorkFile::adopt(std::move(path)), out.attributes});
        }
        reportProgress(progress, done + k + 1, total);
    }
    // The pass has read every frame; only now may they change.
    for (Smaller& s : smaller) {
        Frame& frame = frames.at(s.at);
        frame.workFile = std::move(s.file);
        s.attributes.applyTo(frame);
    }
    return true;
}

} // namespace zell::edit
