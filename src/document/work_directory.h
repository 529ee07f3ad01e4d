// The per-run directory that holds the frames' work files. It is created
// exclusively, so two processes never share one, and a process only ever
// cleans up the directory it created itself, or one whose process is gone:
// each directory holds a lock file that its process keeps locked for life.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "document/work_file.h"

namespace zell {

class WorkDirectory {
public:
    // base: the folder to create the directory in; empty means the system's
    // temporary directory (which honours TMPDIR).
    explicit WorkDirectory(std::string base = {});
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;
    // Releases the lock; the directory and its files stay.
    ~WorkDirectory();

    // The directory every frame of this process uses.
    static WorkDirectory& process();

    // Makes the directory on first use. `path` stays empty when none could be made.
    bool ensure();
    // A name under the directory that no entry has yet ("zll<hex>.<ext>");
    // the file is not created. On failure `out` is unchanged.
    bool newWorkFileName(const std::string& ext, std::string& out);
    // The same, adopted by a work-file handle (which deletes whatever file
    // gets that name when the last handle goes).
    bool newWorkFileName(const std::string& ext, WorkFile& out)
    {
        std::string name;
        if (!newWorkFileName(ext, name))
            return false;
        out = WorkFile::adopt(std::move(name));
        return true;
    }
    // Names a new work file and writes the bytes to it. On failure no file
    // is left and lastError() holds the system's reason.
    bool writeNewWorkFile(const std::string& ext, std::span<const uint8_t> bytes, std::string& out);
    // The same as a handle: kept in memory while keepInMemory's budget
    // lasts, else written to a file. On failure `out` is unchanged.
    bool writeNewWorkFile(const std::string& ext, std::span<const uint8_t> bytes, WorkFile& out);
    // New work files (through the handle form above) stay in memory until
    // `budget` bytes have been kept there, counted as they are made; 0, the
    // default, writes every one to disk. For a process that ends when its
    // one task is done; a long-running one would never get the bytes back.
    void keepInMemory(uint64_t budget) { memoryBudget_ = budget; }

    // The system's reason (an errno value) for the last time the directory
    // or a work file could not be made or written; 0 while none failed.
    int lastError() const { return lastError_.load(std::memory_order_relaxed); }
    // How many times that happened, so that an operation can tell a failure
    // of its own work files from a fault in its input.
    uint32_t failures() const { return failures_.load(std::memory_order_relaxed); }

    // Deletes this process's work files with that extension ("*": all) and
    // removes the directory when it is then empty.
    void cleanUp(const std::string& ext);

    // Ends with '/', or is empty while there is no directory.
    const std::string& path() const { return path_; }

private:
    bool failed(int error);

    std::string base_;
    std::string path_;
    uint32_t last_ = 0;
    bool haveLast_ = false;
    int lock_ = -1;
    uint64_t memoryBudget_ = 0;
    std::atomic<uint64_t> inMemory_{0};
    std::atomic<int> lastError_{0};
    std::atomic<uint32_t> failures_{0};
};

// Removes the work directories under `base` (empty: the system's temporary
// directory) whose process is gone: a "zell<hex>" directory of this user
// whose lock file can be locked. Directories without a lock file, with
// foreign entries or locked by a live process stay. Returns how many went.
int removeStaleWorkDirectories(const std::string& base = {});

// Milliseconds of a monotonic clock, truncated to 32 bits.
uint32_t tickCount();

} // namespace zell
