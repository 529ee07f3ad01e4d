#include "image/file_write.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace zell {

namespace {

bool writeAll(const std::string& path, int flags, std::span<const uint8_t> bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
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

} // namespace

bool writeNewFile(const std::string& path, std::span<const uint8_t> bytes)
{
    return writeAll(path, O_EXCL, bytes);
}

bool writeWholeFile(const std::string& path, std::span<const uint8_t> bytes)
{
    return writeAll(path, O_TRUNC, bytes);
}

} // namespace zell
