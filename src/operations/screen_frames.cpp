#include "operations/screen_frames.h"

#include <algorithm>

#include "document/gif_export.h"
#include "document/optimizing_pass.h"
#include "image/color_quantizer.h"
#include "image/dib.h"
#include "image/gif_codec.h"

namespace zell::edit {

bool encodeScreen(std::span<const uint8_t> screen, std::span<const uint8_t> painted, bool keepUnpainted,
                  ByteBuffer& gif, uint16_t& colorCount, uint16_t& transparentIndex, bool& tooManyColors)
{
    DibHeader h;
    if (!checkDib(screen, &h) || h.bitCount != 24)
        return false;
    const uint64_t pixels = uint64_t(h.width) * h.absHeight();
    const bool unpainted = keepUnpainted && painted.size() == pixels
        && std::find(painted.begin(), painted.end(), uint8_t(0)) != painted.end();
    ColorQuantizer quantizer;
    if (!quantizer.addImage(screen))
        return false;
    const uint32_t colors = quantizer.distinctColors() + (unpainted ? 1 : 0);
    tooManyColors = colors > 256;
    if (tooManyColors)
        return false;
    // Reserved entries need a table of more than 2.
    int count = 1 << colorTableBits(colors);
    if (unpainted && count == 2)
        count = 4;
    if (!quantizer.buildPalette(count, kNoColor, unpainted))
        return false;
    transparentIndex = unpainted ? uint16_t(quantizer.transparentEntry()) : kNoIndex;
    colorCount = uint16_t(count);
    return encodeMapped(quantizer, screen, painted, transparentIndex, false, colorTableBits(uint32_t(count)), gif);
}

bool encodeMapped(ColorQuantizer& quantizer, std::span<const uint8_t> screen, std::span<const uint8_t> painted,
                  uint16_t transparentIndex, bool dither, int bits, ByteBuffer& gif)
{
    ByteBuffer mapped;
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
    return encodeGifImage(mapped.bytes(), gif, bits, false);
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
