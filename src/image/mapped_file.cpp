#include "image/mapped_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <new>

namespace zell {

namespace {

std::atomic<MappedFile::ReadHook> readHook{nullptr};

// Closes the descriptor on every way out of open().
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Fills `out` from offset 0; false with `shrank` set when the file ended early.
bool readAll(int fd, const std::string& path, uint8_t* out, uint64_t size, bool& shrank)
{
    uint64_t done = 0;
    while (done < size) {
        if (const MappedFile::ReadHook hook = readHook.load(std::memory_order_relaxed))
            hook(path, done);
        const uint64_t want = std::min(size - done, MappedFile::kReadChunk);
        const ssize_t n = ::pread(fd, out + done, size_t(want), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            shrank = n == 0;
            return false;
        }
        done += uint64_t(n);
    }
    return true;
}

} // namespace

void MappedFile::setReadHook(ReadHook hook)
{
    readHook.store(hook, std::memory_order_relaxed);
}

bool MappedFile::fail(FileReadError error)
{
    close();
    error_ = error;
    return false;
}

bool MappedFile::open(const std::string& path)
{
    close();
    error_ = FileReadError::none;
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat before;
    if (fd.get() < 0 || ::fstat(fd.get(), &before) != 0 || !S_ISREG(before.st_mode))
        return fail(FileReadError::cannotOpen);
    if (before.st_size <= 0)
        return fail(FileReadError::empty);
    if (uint64_t(before.st_size) >= kMaxReadBytes)
        return fail(FileReadError::tooLarge);
    const uint64_t size = uint64_t(before.st_size);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
    if (!bytes)
        return fail(FileReadError::tooLarge);
    bool shrank = false;
    if (!readAll(fd.get(), path, bytes.get(), size, shrank))
        return fail(shrank ? FileReadError::changed : FileReadError::cannotOpen);
    // A writer that went on meanwhile would leave a mix of old and new bytes.
    uint8_t beyond;
    const ssize_t more = ::pread(fd.get(), &beyond, 1, off_t(size));
    struct stat after;
    if (more < 0 || ::fstat(fd.get(), &after) != 0)
        return fail(FileReadError::cannotOpen);
    if (more > 0 || !sameFile(before, after))
        return fail(FileReadError::changed);
    bytes_ = std::move(bytes);
    size_ = uint32_t(size);
    return true;
}

bool MappedFile::assign(std::span<const uint8_t> bytes)
{
    close();
    error_ = FileReadError::none;
    if (bytes.empty())
        return fail(FileReadError::empty);
    if (bytes.size() >= kMaxReadBytes)
        return fail(FileReadError::tooLarge);
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[bytes.size()]);
    if (!copy)
        return fail(FileReadError::tooLarge);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    bytes_ = std::move(copy);
    size_ = uint32_t(bytes.size());
    return true;
}

void MappedFile::close()
{
    bytes_.reset();
    size_ = 0;
}

} // namespace zell
