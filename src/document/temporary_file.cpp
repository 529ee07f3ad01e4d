#include "document/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
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

int createTemporaryBeside(const std::string& target, std::string& path)
{
    std::string pattern = temporaryPatternBeside(target);
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return -1;
    // mkstemp makes the file private; the result is an ordinary user file.
    struct stat existing;
    mode_t mode;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    path = pattern;
    return fd;
}

} // namespace zell
