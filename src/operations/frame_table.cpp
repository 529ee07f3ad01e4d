#include "operations/frame_table.h"

#include <vector>

#include "document/palette_file.h"
#include "image/gif_blocks.h"
#include "image/mapped_file.h"
#include "image/raster_image.h"
#include "operations/rewrite_batch.h"

namespace zell {

bool setFrameTableColor(Document& document, int index, uint32_t entry, uint32_t color)
{
    const Frame* frame = document.frames.frameAt(index);
    MappedFile file;
    ColorTable table;
    std::vector<uint8_t> gif;
    if (!frame || !frame->workFile.read(file) || !findGifColorTable(file.bytes(), false, table)
        || entry >= table.count)
        return false;
    table.setColor(entry, color);
    RewriteBatch batch(document);
    if (!replaceGifColorTable(file.bytes(), table, gif) || !batch.stage(index, gif, FrameAttributes::of(*frame)))
        return false;
    batch.commit();
    return true;
}

bool resizeFrameTable(Document& document, int index, int bits)
{
    const Frame* frame = document.frames.frameAt(index);
    RasterImage picture;
    ByteBuffer gif;
    uint32_t transparent = frame ? frame->transparentIndex : kNoIndex;
    if (!frame || !loadGifImage(picture, frame->workFile, 0) || !picture.encodeGif(bits, transparent, gif))
        return false;
    FrameAttributes attributes = FrameAttributes::of(*frame);
    attributes.colorCount = uint16_t(1u << bits);
    attributes.useLocalColorTable = 1;
    attributes.transparentIndex = transparent < 256 ? uint16_t(transparent) : kNoIndex;
    // The new picture's rows are in plain order: an interlace flag kept from
    // the old one would scramble them in every viewer.
    attributes.descriptorFlags &= uint8_t(~kGifInterlaceFlag);
    RewriteBatch batch(document);
    if (!batch.stage(index, gif.bytes(), attributes))
        return false;
    batch.commit();
    return true;
}

} // namespace zell
