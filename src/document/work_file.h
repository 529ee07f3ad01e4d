// A shared handle on one work file. Work files are written once and never
// changed afterwards, so frames and undo history steps can share them: the
// file is deleted when the last handle that refers to it lets go (and with
// the whole work directory at exit).
//
// A handle owns its file, so a path becomes one only through adopt(): a
// string assigned by mistake would make zell delete a file it never made.
//
// A work file may also live in memory only (inMemory()): it has no path, so
// its bytes are reached through read() and loadGifImage(), never by name.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace zell {

class MappedFile;
class RasterImage;

class WorkFile {
public:
    WorkFile() = default;
    // Takes the file into zell's care: it is deleted when the last handle
    // on it goes. An empty path gives a handle on no file. Adopt each file
    // once: two adoptions of one name delete it when the first lets go.
    static WorkFile adopt(std::string path);
    // A work file kept in memory, for a process that reads its input,
    // writes its output and ends: making and removing a file for each of
    // thousands of frames costs it more than its work. No bytes give none.
    static WorkFile inMemory(std::vector<uint8_t> bytes);

    // Empty for a file in memory.
    const std::string& path() const { return owner_ ? owner_->path : empty_(); }
    bool empty() const { return !owner_; }
    bool isInMemory() const { return owner_ && owner_->path.empty(); }
    // A copy of the file's bytes, from memory or from the disk; fails as
    // MappedFile::open does.
    bool read(MappedFile& out) const;
    // Lets go of the file; deletes it when this was the last handle.
    void clear() { owner_.reset(); }
    // How many handles share the file (0 for none).
    long useCount() const { return owner_.use_count(); }
    // The same for handles that share one file, null for none.
    const void* identity() const { return owner_.get(); }

    // Handles are equal when they share one file, or both hold none.
    friend bool operator==(const WorkFile& a, const WorkFile& b) { return a.owner_ == b.owner_; }
    friend std::ostream& operator<<(std::ostream& out, const WorkFile& file) { return out << file.path(); }

private:
    struct Owner {
        explicit Owner(std::string p) : path(std::move(p)) {}
        explicit Owner(std::vector<uint8_t> b) : bytes(std::move(b)) {}
        Owner(const Owner&) = delete;
        Owner& operator=(const Owner&) = delete;
        ~Owner();
        std::string path;
        std::vector<uint8_t> bytes; // a file in memory has these and no path
    };
    static const std::string& empty_();

    std::shared_ptr<const Owner> owner_;
};

// Image number `index` of a work file (see RasterImage::loadGifImage).
bool loadGifImage(RasterImage& picture, const WorkFile& file, int index = 0, uint32_t keepWidth = UINT32_MAX,
                  uint32_t keepHeight = UINT32_MAX);

} // namespace zell
