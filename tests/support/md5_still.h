// MD5 (RFC 1321) for comparing decoded pixels with the corpus's reference hashes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace zell::test {

class Md5Still {
public:
    Md5Still();
    void update(std::span<const uint8_t> bytes);
    // Lower-case hexadecimal digest; the object is spent afterwards.
    std::string hexDigest();

private:
    void block(const uint8_t* p);

    std::array<uint32_t, 4> state_;
    std::array<uint8_t, 64> buffer_{};
    uint64_t length_ = 0;
};

} // namespace zell::test
