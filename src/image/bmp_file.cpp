#include "image/bmp_file.h"

#include <cstdio>

#include "image/bytes.h"
#include "image/dib.h"

namespace zell {

std::vector<uint8_t> makeBmpFile(std::span<const uint8_t> dib)
{
    DibHeader h;
    if (!checkDib(dib, &h))
        return {};
    const uint64_t packed = dibPackedSize(h);
    const uint64_t total = 14 + packed;
    if (total > UINT32_MAX)
        return {};
    std::vector<uint8_t> out(14);
    out[0] = 'B';
    out[1] = 'M';
    putU32le(&out[2], uint32_t(total));
    putU32le(&out[10], uint32_t(14 + dibBitsOffset(h)));
    out.insert(out.end(), dib.begin(), dib.begin() + long(packed));
    return out;
}

bool writeBmpFile(const std::string& path, std::span<const uint8_t> dib)
{
    const std::vector<uint8_t> bytes = makeBmpFile(dib);
    if (bytes.empty())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed)
        std::remove(path.c_str());
    return written && closed;
}

} // namespace zell
