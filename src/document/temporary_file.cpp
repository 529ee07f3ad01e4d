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

bool writeNewFile(const std::string& path, std::span<const uint8_t> bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += size_t(n);
    }
    const bool closed = ::close(fd) == 0;
    if (written != bytes.size() || !closed) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

} // namespace zell
