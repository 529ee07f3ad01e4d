#include "ui/thumbnail_cache.h"

#include "document/screen_composer.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "ui/document_model.h"

namespace zell {

QImage dibToImage(std::span<const uint8_t> dib)
{
    DibHeader header;
    if (!checkDib(dib, &header) || header.bitCount != 24 || header.compression != kBiRgb)
        return {};
    const int width = header.width;
    const int height = int(header.absHeight());
    QImage out(width, height, QImage::Format_RGB888);
    if (out.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        // The row offset counts from the DIB's start, header included.
        const uint8_t* from = dib.data() + dibRowOffset(header, uint32_t(y));
        uchar* to = out.scanLine(y);
        for (int x = 0; x < width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return out;
}

QImage ThumbnailCache::thumbnail(const DocumentModel& document, int row)
{
    const Frame* frame = document.frameAt(row);
    if (!frame || frame->workFilePath.empty())
        return {};
    const QString key = QString::fromStdString(frame->workFilePath);
    if (QImage* cached = cache_.object(key))
        return *cached;
    ++decodes_;
    RasterImage picture;
    QImage image;
    if (loadFramePicture(document.document(), row, picture) && picture.fitInto(kWidth, kHeight, true))
        image = dibToImage(picture.image.bytes());
    // Unreadable pictures are remembered too, so they are not retried on every paint.
    cache_.insert(key, new QImage(image));
    return image;
}

} // namespace zell
