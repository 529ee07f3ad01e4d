// A whole existing, non-empty file mapped into memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zell {

class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { close(); }

    // Fails on a missing, empty or unreadable file, and on one of 4 GiB or more.
    bool open(const std::string& path, bool writable = false);
    void close();

    bool isOpen() const { return view_ != nullptr; }
    // After a failed open: the file was there but held no bytes.
    bool wasEmpty() const { return wasEmpty_; }
    uint8_t* data() const { return view_; }
    uint32_t size() const { return size_; }
    std::span<const uint8_t> bytes() const { return {view_, size_}; }

private:
    bool wasEmpty_ = false;
    int fd_ = -1;
    uint8_t* view_ = nullptr;
    uint32_t size_ = 0;
};

} // namespace zell
