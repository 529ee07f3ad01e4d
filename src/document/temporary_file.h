// Files written beside their target and renamed over it when complete, so
// that a failure never leaves a half-written target behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/file_write.h"

namespace zell {

// A mkstemp pattern in the target's folder: "<folder>/.<name>.zllXXXXXX".
std::string temporaryPatternBeside(const std::string& target);

// The file a write to `target` should replace: the end of its chain of
// symbolic links (which need not exist yet), as cp writes through a link
// instead of replacing it; `target` itself when it is no link. False, with
// `out` unchanged, for a loop or an unreadable link.
bool resolveWriteTarget(const std::string& target, std::string& out);

// Removes the hidden temporaries that processes now gone left in `folder`.
// Each live temporary is locked by its writer for as long as it exists, so a
// temporary whose lock can be taken belongs to nobody. Returns how many went.
int removeStaleTemporaries(const std::string& folder);

// The hidden temporary beside the file `target` names, locked while it
// lives and renamed over that file by commit(). Creating it first removes
// the stale temporaries of that folder.
class TemporaryFile {
public:
    // Lets tests stop or kill a writer at the moment its temporary exists:
    // called with the temporary's path as soon as it has been made.
    using CreatedHook = void (*)(const std::string& temporaryPath);
    static void setCreatedHook(CreatedHook hook);

    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    // Removes the temporary unless it was committed.
    ~TemporaryFile();

    // Returns a descriptor to write the content through, which the caller
    // closes, or -1 (errno set). The file has the permissions the target
    // will need: an existing target's mode, else the usual mode under the umask.
    int create(const std::string& target);
    // Renames the temporary over the target; the caller has flushed and
    // closed its descriptor by then. False leaves the target untouched.
    bool commit();

    const std::string& path() const { return path_; }

private:
    void discard();

    std::string target_;
    std::string path_;
    int lock_ = -1;
};

} // namespace zell
