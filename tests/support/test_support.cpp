#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "image/bytes.h"

namespace zell::test {

std::vector<uint8_t> DibBuilder::build() const
{
    std::vector<uint8_t> out(kDibHeaderSize + table.size());
    DibHeader h = header;
    const uint64_t stride = dibStride(h.width, h.bitCount);
    if (h.sizeImage == 0)
        h.sizeImage = uint32_t(stride * h.absHeight());
    writeDibHeader(out.data(), h);
    std::copy(table.begin(), table.end(), out.begin() + kDibHeaderSize);
    for (const auto& row : rows) {
        std::vector<uint8_t> padded(row);
        padded.resize(stride, 0);
        out.insert(out.end(), padded.begin(), padded.end());
    }
    return out;
}

std::vector<uint8_t> trueColor(int32_t width, int32_t height, const std::vector<uint32_t>& rgb)
{
    DibBuilder b;
    b.header = makeDibHeader(width, height, 24);
    for (uint32_t y = 0; y < b.header.absHeight(); ++y) {
        std::vector<uint8_t> row;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t c = rgb[y * uint32_t(width) + uint32_t(x)];
            row.insert(row.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
        b.rows.push_back(row);
    }
    return b.build();
}

std::vector<uint8_t> quads(std::initializer_list<uint32_t> rgb)
{
    std::vector<uint8_t> out;
    for (uint32_t c : rgb) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c >> 16));
        out.push_back(0);
    }
    return out;
}

uint32_t pixelRgb(const uint8_t* dib, uint32_t x, uint32_t y)
{
    DibHeader h;
    readDibHeader({dib, kDibHeaderSize}, h);
    const uint8_t* p = dib + dibRowOffset(h, y) + 3 * x;
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

uint32_t pixelRgb(const std::vector<uint8_t>& dib, uint32_t x, uint32_t y)
{
    return pixelRgb(dib.data(), x, y);
}

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zell-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int workFileCount(const std::string& folder)
{
    if (folder.empty())
        return 0;
    const auto names = namesIn(folder);
    return int(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.starts_with("zll"); }));
}

void expectEveryPrefixRefused(const std::function<bool(std::span<const uint8_t>)>& accepts,
                              std::span<const uint8_t> bytes, const std::vector<size_t>& clean)
{
    EXPECT_TRUE(accepts(bytes)) << "the whole input";
    for (size_t n = 0; n < bytes.size(); ++n) {
        const bool expected = std::find(clean.begin(), clean.end(), n) != clean.end();
        if (accepts(bytes.first(n)) != expected) {
            ADD_FAILURE() << "a prefix of " << n << " of " << bytes.size() << " bytes was "
                          << (expected ? "refused" : "accepted");
            return;
        }
    }
}

} // namespace zell::test
