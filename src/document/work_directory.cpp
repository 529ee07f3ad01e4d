#include "document/work_directory.h"

#include <sys/stat.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace zell {

namespace {

constexpr int kMaxDirectoryAttempts = 4096;
constexpr int kMaxNameAttempts = 1 << 20;

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

} // namespace

uint32_t tickCount()
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

WorkDirectory::WorkDirectory(std::string base) : base_(std::move(base)) {}

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
            return false;
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
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
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
    return false;
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
    // Only succeeds when nothing is left; a later request makes a new directory.
    if (::rmdir(path_.c_str()) == 0)
        path_.clear();
}

} // namespace zell
