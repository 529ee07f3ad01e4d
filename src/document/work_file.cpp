#include "document/work_file.h"

#include <cstdio>

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

void WorkFile::adopt(std::string path)
{
    if (owner_ && owner_->path == path)
        return; // the same file again: keep sharing it, never delete it
    if (path.empty())
        owner_.reset();
    else
        owner_ = std::make_shared<const Owner>(std::move(path));
}

} // namespace zell
