// RasterImage::loadFile lives with the still-image decoders it runs.
#include "image/raster_image.h"

#include "image/mapped_file.h"
#include "document/still_image.h"

namespace zell {

bool RasterImage::loadFile(const std::string& path)
{
    image.release();
    // A mask of the previous picture must not outlive it.
    mask.release();
    MappedFile file;
    if (!file.open(path) || !decodeImage(file.bytes(), image, true) || !toTrueColor()) {
        image.release();
        return false;
    }
    return true;
}

} // namespace zell
