#include "document/work_file.h"

#include <cstdio>

#include "image/mapped_file.h"
#include "image/raster_image.h"

namespace zell {

WorkFile::Owner::~Owner()
{
    // A file that is already gone is not an error.
    if (!path.empty())
        std::remove(path.c_str());
}

const std::string& WorkFile::empty_()
{
    static const std::string none;
    return none;
}

WorkFile WorkFile::adopt(std::string path)
{
    WorkFile file;
    if (!path.empty())
        file.owner_ = std::make_shared<const Owner>(std::move(path));
    return file;
}

WorkFile WorkFile::inMemory(std::vector<uint8_t> bytes)
{
    WorkFile file;
    if (!bytes.empty())
        file.owner_ = std::make_shared<const Owner>(std::move(bytes));
    return file;
}

bool WorkFile::read(MappedFile& out) const
{
    if (isInMemory())
        return out.assign(owner_->bytes);
    return out.open(path());
}

bool loadGifImage(RasterImage& picture, const WorkFile& file, int index, uint32_t keepWidth, uint32_t keepHeight)
{
    picture.image.release();
    MappedFile bytes;
    return file.read(bytes) && picture.loadGifImage(bytes.bytes(), index, keepWidth, keepHeight);
}

} // namespace zell
