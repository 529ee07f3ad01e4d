#include "ui/thumbnail_cache.h"

#include "document/screen_composer.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "ui/document_model.h"
#include "ui/image_canvas.h"

namespace zell {

QImage ThumbnailCache::thumbnail(const DocumentModel& document, int row)
{
    const Frame* frame = document.frameAt(row);
    if (!frame || frame->workFile.empty())
        return {};
    const QString key = QString::fromStdString(frame->workFile.path());
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
