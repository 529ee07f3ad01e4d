#include "app/manual.h"

#include <filesystem>
#include <system_error>

namespace zell {

std::string findManual(const std::string& programDir, const std::string& language)
{
    for (const char* place : {"../share/doc/zell/", "doc/"}) {
        for (const std::string& name : {"index." + language + ".html", std::string("index.html")}) {
            std::error_code ec;
            const std::filesystem::path file = std::filesystem::weakly_canonical(programDir + place + name, ec);
            if (!ec && std::filesystem::is_regular_file(file, ec))
                return file.string();
        }
    }
    return {};
}

} // namespace zell
