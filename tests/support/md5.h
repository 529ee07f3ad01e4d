// MD5 of a byte block, as lowercase hex: the corpus manifest hashes pixels
// with it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zell::test {

std::string md5Hex(std::span<const uint8_t> data);

} // namespace zell::test
