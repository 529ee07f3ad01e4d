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
    int error = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        written += size_t(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(path.c_str());
        errno = error; // the caller tells the user why, not what cleaning up said
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
