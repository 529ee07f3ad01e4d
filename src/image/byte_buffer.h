// An owned block of bytes that reuses its storage when it is large enough.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace zell {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ByteBuffer(ByteBuffer&& other) noexcept { swap(other); }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept
    {
        if (this != &other) {
            release();
            swap(other);
        }
        return *this;
    }

    // Keeps the bytes when the block is big enough; otherwise a new block
    // whose contents are undefined. False (and empty) when allocation fails.
    bool allocate(uint32_t n);
    void release();
    void attach(std::unique_ptr<uint8_t[]> block, uint32_t n);
    bool assign(const uint8_t* bytes, uint32_t n);
    void copyFrom(const ByteBuffer& other);
    void swap(ByteBuffer& other) noexcept;

    bool empty() const { return !data_ || size_ == 0; }
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    uint32_t size() const { return size_; }
    uint32_t capacity() const { return capacity_; }
    std::span<const uint8_t> bytes() const { return {data_.get(), data_ ? size_ : 0}; }
    std::span<uint8_t> bytes() { return {data_.get(), data_ ? size_ : 0}; }

private:
    std::unique_ptr<uint8_t[]> data_;
    uint32_t capacity_ = 0;
    uint32_t size_ = 0;
};

} // namespace zell
