#include "image/bmp_file.h"

#include <cstdio>

#include "image/bytes.h"
#include "image/dib.h"
#include "image/file_write.h"

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
    return writeWholeFile(path, bytes);
}

} // namespace zell
