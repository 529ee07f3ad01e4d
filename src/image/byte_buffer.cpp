#include "image/byte_buffer.h"

#include <cstring>
#include <new>
#include <utility>

namespace zell {

bool ByteBuffer::allocate(uint32_t n)
{
    if (data_ && capacity_ >= n) {
        size_ = n;
        return true;
    }
    release();
    data_.reset(new (std::nothrow) uint8_t[n == 0 ? 1 : n]);
    if (!data_)
        return false;
    capacity_ = n;
    size_ = n;
    return true;
}

void ByteBuffer::release()
{
    data_.reset();
    capacity_ = 0;
    size_ = 0;
}

void ByteBuffer::attach(std::unique_ptr<uint8_t[]> block, uint32_t n)
{
    release();
    data_ = std::move(block);
    capacity_ = data_ ? n : 0;
    size_ = capacity_;
}

bool ByteBuffer::assign(const uint8_t* bytes, uint32_t n)
{
    if (!bytes || !allocate(n))
        return false;
    if (n)
        std::memmove(data_.get(), bytes, n);
    return true;
}

void ByteBuffer::copyFrom(const ByteBuffer& other)
{
    if (&other == this)
        return;
    if (other.empty() || !assign(other.data(), other.size()))
        release();
}

void ByteBuffer::swap(ByteBuffer& other) noexcept
{
    std::swap(data_, other.data_);
    std::swap(capacity_, other.capacity_);
    std::swap(size_, other.size_);
}

} // namespace zell
