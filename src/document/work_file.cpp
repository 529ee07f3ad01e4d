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

WorkFile WorkFile::adopt(std::string path)
{
    WorkFile file;
    if (!path.empty())
        file.owner_ = std::make_shared<const Owner>(std::move(path));
    return file;
}

} // namespace zell
