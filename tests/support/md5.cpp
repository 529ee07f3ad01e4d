#include "support/md5.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace zell::test {

std::string md5Hex(std::span<const uint8_t> data)
{
    static const auto sine = [] { // floor(|sin(i + 1)| * 2^32), exact in doubles
        std::vector<uint32_t> k(64);
        for (int i = 0; i < 64; ++i)
            k[size_t(i)] = uint32_t(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
        return k;
    }();
    static const uint32_t shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    std::vector<uint8_t> m(data.begin(), data.end());
    const uint64_t bits = uint64_t(data.size()) * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56)
        m.push_back(0);
    for (int i = 0; i < 8; ++i)
        m.push_back(uint8_t(bits >> (8 * i)));
    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (size_t block = 0; block < m.size(); block += 64) {
        uint32_t w[16], a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(m[block + 4 * size_t(i)]) | uint32_t(m[block + 4 * size_t(i) + 1]) << 8
                   | uint32_t(m[block + 4 * size_t(i) + 2]) << 16 | uint32_t(m[block + 4 * size_t(i) + 3]) << 24;
        for (int i = 0; i < 64; ++i) {
            const int round = i / 16;
            const uint32_t f = round == 0 ? (b & c) | (~b & d) : round == 1 ? (d & b) | (~d & c)
                             : round == 2 ? b ^ c ^ d : c ^ (b | ~d);
            const int g = round == 0 ? i : round == 1 ? (5 * i + 1) % 16 : round == 2 ? (3 * i + 5) % 16 : 7 * i % 16;
            const uint32_t s = shift[round][i % 4], sum = a + f + sine[size_t(i)] + w[g];
            a = d;
            d = c;
            c = b;
            b += (sum << s) | (sum >> (32 - s));
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", unsigned(h[i / 4] >> (8 * (i % 4))) & 0xFF);
    return std::string(hex, 32);
}

} // namespace zell::test
