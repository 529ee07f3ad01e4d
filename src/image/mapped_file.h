// A whole existing, non-empty file, read into memory. Reading it all at once
// (rather than mapping it) means another process that shortens or rewrites
// the file can only make the read fail: it can never pull pages out from
// under a parser that is already walking the bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zell {

// Why MappedFile::open failed.
enum class FileReadError {
    none,
    cannotOpen, // missing, not a regular file, no permission, or a read error
    empty,      // the file has no bytes
    tooLarge,   // kMaxReadBytes or more
    changed,    // the file shrank, grew or was rewritten while it was read
};

// Inputs larger than this are refused before anything is allocated: no
// picture within the pixel limit needs a file this large.
inline constexpr uint64_t kMaxReadBytes = uint64_t(1) << 31;

class MappedFile {
public:
    // Lets tests change the file between the reads of one open: called
    // before each read with the file's path and the bytes read so far.
    using ReadHook = void (*)(const std::string& path, uint64_t done);
    static void setReadHook(ReadHook hook);
    // The bytes each read asks for at most.
    static constexpr uint64_t kReadChunk = uint64_t(1) << 20;

    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False, with error() telling why, for a missing, empty, unreadable or
    // too large file and for one that changed while it was read.
    bool open(const std::string& path);
    // A copy of bytes already in memory, as open() gives a file's; fails
    // as open() does on an empty or too large one.
    bool assign(std::span<const uint8_t> bytes);
    void close();

    bool isOpen() const { return bytes_ != nullptr; }
    FileReadError error() const { return error_; }
    // After a failed open: the file was there but held no bytes.
    bool wasEmpty() const { return error_ == FileReadError::empty; }
    // The copy in memory; changing it never changes the file.
    uint8_t* data() const { return bytes_.get(); }
    uint32_t size() const { return size_; }
    std::span<const uint8_t> bytes() const { return {bytes_.get(), size_}; }

private:
    bool fail(FileReadError error);

    FileReadError error_ = FileReadError::none;
    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t size_ = 0;
};

} // namespace zell
