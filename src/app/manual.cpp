#include "app/manual.h"

#include <filesystem>
#include <system_error>

namespace zell {

std::string findManual(const std::string& programDir)
{
    for (const char* place : {"../share/doc/zell/index.html", "doc/index.html"}) {
        std::error_code ec;
        const std::filesystem::path file = std::filesystem::weakly_canonical(programDir + place, ec);
        if (!ec && std::filesystem::is_regular_file(file, ec))
            return file.string();
    }
    return {};
}

} // namespace zell
