#include "document/temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace zell {

namespace {

namespace fs = std::filesystem;

std::atomic<TemporaryFile::CreatedHook> createdHook{nullptr};

// As many links as the kernel follows before it reports a loop.
constexpr int kMaxLinkDepth = 40;
// A sweeper may remove a fresh temporary before its writer locks it.
constexpr int kMaxCreateAttempts = 16;
constexpr char kMarker[] = ".zll";
constexpr size_t kMarkerLength = sizeof kMarker - 1;
constexpr size_t kRandomLength = 6;

std::string folderOf(const std::string& path)
{
    const fs::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

// ".<name>.zllXXXXXX" as mkstemp fills it in, and nothing else.
bool isTemporaryName(const char* name)
{
    const size_t n = std::strlen(name);
    if (name[0] != '.' || n < 2 + kMarkerLength + kRandomLength)
        return false;
    if (std::memcmp(name + n - kRandomLength - kMarkerLength, kMarker, kMarkerLength) != 0)
        return false;
    for (size_t i = n - kRandomLength; i < n; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

// The name is unlinked while its lock is held, so no writer can own it then.
bool removeIfStale(int folder, const char* name)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat opened, named;
    const bool stale = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0
        && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino && ::unlinkat(folder, name, 0) == 0;
    ::close(fd);
    return stale;
}

// False when a sweeper got to the fresh file first; on a file system without
// locks the temporary goes on unlocked, and nobody's sweep can remove it.
bool lockFresh(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}

void giveTargetMode(int fd, const std::string& target)
{
    // mkstemp makes the file private; the result is an ordinary user file.
    struct stat existing;
    mode_t mode;
    if (::stat(target.c_str(), &existing) == 0) {
        // Only the permissions: a set-user-ID, set-group-ID or sticky bit
        // was given to that file, not to whatever replaces it.
        mode = existing.st_mode & 0777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
}

} // namespace

std::string temporaryPatternBeside(const std::string& target)
{
    std::string pattern = folderOf(target);
    pattern.append("/.");
    pattern.append(fs::path(target).filename().string());
    pattern.append(".zllXXXXXX");
    return pattern;
}

bool resolveWriteTarget(const std::string& target, std::string& out)
{
    fs::path path(target);
    for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(path, ec);
        if (!fs::is_symlink(status)) {
            out = path.string();
            return true;
        }
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            errno = ec.value();
            return false;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    errno = ELOOP;
    return false;
}

int removeStaleTemporaries(const std::string& folder)
{
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return 0;
    const int fd = ::dirfd(listing);
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (isTemporaryName(entry->d_name) && removeIfStale(fd, entry->d_name))
            ++removed;
    }
    ::closedir(listing);
    return removed;
}

void TemporaryFile::setCreatedHook(CreatedHook hook)
{
    createdHook.store(hook, std::memory_order_relaxed);
}

TemporaryFile::~TemporaryFile()
{
    discard();
}

void TemporaryFile::discard()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
    if (lock_ >= 0)
        ::close(lock_);
    path_.clear();
    target_.clear();
    lock_ = -1;
}

int TemporaryFile::create(const std::string& target)
{
    discard();
    std::string resolved;
    if (!resolveWriteTarget(target, resolved))
        return -1;
    removeStaleTemporaries(folderOf(resolved));
    for (int attempt = 0; attempt < kMaxCreateAttempts; ++attempt) {
        std::string pattern = temporaryPatternBeside(resolved);
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        if (!lockFresh(fd)) {
            ::close(fd);
            continue;
        }
        // The lock lives on this second descriptor after the caller closes its own.
        lock_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (lock_ < 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(pattern.c_str());
            errno = error;
            return -1;
        }
        giveTargetMode(fd, resolved);
        path_ = std::move(pattern);
        target_ = std::move(resolved);
        if (const CreatedHook hook = createdHook.load(std::memory_order_relaxed))
            hook(path_);
        return fd;
    }
    errno = EAGAIN;
    return -1;
}

bool TemporaryFile::commit()
{
    if (path_.empty() || ::rename(path_.c_str(), target_.c_str()) != 0)
        return false;
    path_.clear();
    discard();
    return true;
}

} // namespace zell
