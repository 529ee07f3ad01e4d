#include "document/temporary_file.h"

#include <filesystem>

namespace zell {

std::string temporaryPatternBeside(const std::string& target)
{
    const std::filesystem::path path(target);
    std::string pattern = path.has_parent_path() ? path.parent_path().string() : std::string(".");
    pattern.append("/.");
    pattern.append(path.filename().string());
    pattern.append(".zllXXXXXX");
    return pattern;
}

} // namespace zell
