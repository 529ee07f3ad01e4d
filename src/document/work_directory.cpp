#include "document/work_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unistd.h>

#include "image/file_write.h"

namespace zell {

namespace {

constexpr int kMaxDirectoryAttempts = 4096;
constexpr int kMaxNameAttempts = 1 << 20;
constexpr char kLockName[] = ".lock";
constexpr char kNewLockName[] = ".lock-new";

std::string hex(uint32_t n)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", n);
    return text;
}

bool entryExists(const std::string& name)
{
    struct stat st;
    return ::lstat(name.c_str(), &st) == 0 || errno != ENOENT;
}

bool matchesExtension(const std::string& file, const std::string& ext)
{
    if (file.rfind("zll", 0) != 0)
        return false;
    if (ext == "*")
        return true;
    const std::string suffix = "." + ext;
    return file.size() > 3 + suffix.size()
        && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The lock file appears under its name only once it is locked, so a sweep
// never takes a directory that is still being set up. -1 where the file
// system has no locks: the directory then works as before, never swept.
int lockDirectory(const std::string& directory)
{
    const std::string fresh = directory + kNewLockName;
    const int fd = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(fresh.c_str(), (directory + kLockName).c_str()) != 0) {
        ::unlink(fresh.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

bool onlyLockLeft(const std::string& directory)
{
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename() != kLockName)
            return false;
    }
    return !ec;
}

// "zell" and the hexadecimal number ensure() gives, nothing else.
bool isWorkDirectoryName(std::string_view name)
{
    if (name.size() < 5 || name.size() > 12 || !name.starts_with("zell"))
        return false;
    return name.find_first_not_of("0123456789abcdef", 4) == std::string_view::npos;
}

bool isOurEntry(std::string_view name)
{
    return name == "." || name == ".." || name == kLockName || name == kNewLockName || name.starts_with("zll");
}

// Removes the work files of a directory whose lock we hold, unless anything
// that is not ours is there. unlinkat without AT_REMOVEDIR removes a
// symbolic link itself, never what it points to, and refuses directories.
bool emptyStaleDirectory(int directory)
{
    const int listingFd = ::fcntl(directory, F_DUPFD_CLOEXEC, 0);
    DIR* listing = listingFd < 0 ? nullptr : ::fdopendir(listingFd);
    if (!listing) {
        if (listingFd >= 0)
            ::close(listingFd);
        return false;
    }
    bool foreign = false;
    while (const dirent* entry = ::readdir(listing))
        foreign = foreign || !isOurEntry(entry->d_name);
    if (!foreign) {
        ::rewinddir(listing);
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != ".." && name != kLockName && ::unlinkat(directory, entry->d_name, 0) != 0)
                foreign = true;
        }
    }
    ::closedir(listing);
    return !foreign;
}

bool removeIfStale(int base, const char* name)
{
    const int directory = ::openat(base, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0)
        return false;
    bool removed = false;
    struct stat st;
    const int lock = ::openat(directory, kLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (lock >= 0 && ::fstat(lock, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
        && ::flock(lock, LOCK_EX | LOCK_NB) == 0 && emptyStaleDirectory(directory)) {
        // The lock file goes last: until then another sweep finds it locked.
        removed = ::unlinkat(directory, kLockName, 0) == 0 && ::unlinkat(base, name, AT_REMOVEDIR) == 0;
    }
    if (lock >= 0)
        ::close(lock);
    ::close(directory);
    return removed;
}

} // namespace

int removeStaleWorkDirectories(const std::string& base)
{
    std::error_code ec;
    const std::string folder = base.empty() ? std::filesystem::temp_directory_path(ec).string() : base;
    DIR* listing = ec || folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!listing)
        return 0;
    const int fd = ::dirfd(listing);
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (isWorkDirectoryName(entry->d_name) && removeIfStale(fd, entry->d_name))
            ++removed;
    }
    ::closedir(listing);
    return removed;
}

uint32_t tickCount()
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

WorkDirectory::WorkDirectory(std::string base) : base_(std::move(base)) {}

WorkDirectory::~WorkDirectory()
{
    if (lock_ >= 0)
        ::close(lock_);
}

WorkDirectory& WorkDirectory::process()
{
    static WorkDirectory directory;
    return directory;
}

bool WorkDirectory::ensure()
{
    if (!path_.empty())
        return true;
    std::string base = base_;
    if (base.empty()) {
        std::error_code ec;
        base = std::filesystem::temp_directory_path(ec).string();
        if (ec || base.empty())
            return failed(ec ? ec.value() : ENOENT);
    }
    if (base.back() != '/')
        base += '/';
    base += "zell";
    uint32_t n = tickCount();
    for (int attempt = 0; attempt < kMaxDirectoryAttempts; ++attempt, ++n) {
        const std::string candidate = base + hex(n);
        // mkdir is atomic: of two processes picking the same name, one gets EEXIST.
        if (::mkdir(candidate.c_str(), 0700) == 0) {
            path_ = candidate + '/';
            lock_ = lockDirectory(path_);
            return true;
        }
        if (errno != EEXIST)
            return failed(errno);
    }
    return failed(EEXIST);
}

bool WorkDirectory::failed(int error)
{
    lastError_.store(error, std::memory_order_relaxed);
    failures_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

bool WorkDirectory::writeNewWorkFile(const std::string& ext, std::span<const uint8_t> bytes, std::string& out)
{
    std::string name;
    if (!newWorkFileName(ext, name))
        return false;
    if (!writeNewFile(name, bytes))
        return failed(errno);
    out = std::move(name);
    return true;
}

bool WorkDirectory::writeNewWorkFile(const std::string& ext, std::span<const uint8_t> bytes, WorkFile& out)
{
    const uint64_t before = inMemory_.fetch_add(bytes.size(), std::memory_order_relaxed);
    if (!bytes.empty() && before + bytes.size() <= memoryBudget_) {
        out = WorkFile::inMemory({bytes.begin(), bytes.end()});
        return true;
    }
    inMemory_.fetch_sub(bytes.size(), std::memory_order_relaxed);
    std::string name;
    if (!writeNewWorkFile(ext, bytes, name))
        return false;
    out = WorkFile::adopt(std::move(name));
    return true;
}

bool WorkDirectory::newWorkFileName(const std::string& ext, std::string& out)
{
    if (!ensure())
        return false;
    uint32_t n = tickCount();
    // Names handed out within the same few milliseconds would otherwise be
    // probed again one by one, which makes importing long animations quadratic.
    if (haveLast_ && int32_t(n - (last_ + 1)) < 0)
        n = last_ + 1;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt, ++n) {
        std::string name = path_ + "zll" + hex(n) + "." + ext;
        if (!entryExists(name)) {
            out = std::move(name);
            last_ = n;
            haveLast_ = true;
            return true;
        }
    }
    return failed(EEXIST);
}

void WorkDirectory::cleanUp(const std::string& ext)
{
    if (path_.empty())
        return;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue;
        if (matchesExtension(it->path().filename().string(), ext)) {
            std::error_code removeError;
            std::filesystem::remove(it->path(), removeError);
        }
    }
    if (lock_ >= 0 && onlyLockLeft(path_))
        ::unlink((path_ + kLockName).c_str());
    // Only succeeds when nothing is left; a later request makes a new directory.
    if (::rmdir(path_.c_str()) == 0) {
        path_.clear();
        if (lock_ >= 0)
            ::close(lock_);
        lock_ = -1;
    }
}

} // namespace zell
