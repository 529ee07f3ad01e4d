#include "support/gif_builder.h"

namespace zell::test {

namespace {

void u16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

int sizeField(size_t entries)
{
    int s = 0;
    while ((size_t(2) << s) < entries)
        ++s;
    return s;
}

} // namespace

GifBuilder& GifBuilder::screen(uint16_t width, uint16_t height, const std::vector<uint8_t>& globalRgb,
                               uint8_t background, const char* version)
{
    bytes.insert(bytes.end(), {'G', 'I', 'F'});
    bytes.insert(bytes.end(), version, version + 3);
    u16(bytes, width);
    u16(bytes, height);
    bytes.push_back(globalRgb.empty() ? 0x70 : uint8_t(0xF0 | sizeField(globalRgb.size() / 3)));
    bytes.push_back(background);
    bytes.push_back(0);
    bytes.insert(bytes.end(), globalRgb.begin(), globalRgb.end());
    return *this;
}

GifBuilder& GifBuilder::control(uint8_t packed, uint16_t delay, uint8_t transparentIndex)
{
    bytes.insert(bytes.end(), {0x21, 0xF9, 0x04, packed});
    u16(bytes, delay);
    bytes.insert(bytes.end(), {transparentIndex, 0x00});
    return *this;
}

GifBuilder& GifBuilder::comment(const std::vector<std::string>& subBlocks)
{
    bytes.insert(bytes.end(), {0x21, 0xFE});
    for (const auto& block : subBlocks) {
        bytes.push_back(uint8_t(block.size()));
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    bytes.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::application(const std::string& id, const std::vector<uint8_t>& data)
{
    bytes.insert(bytes.end(), {0x21, 0xFF, uint8_t(id.size())});
    bytes.insert(bytes.end(), id.begin(), id.end());
    bytes.push_back(uint8_t(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::image(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t packed,
                              const std::vector<uint8_t>& localRgb, uint8_t codeSize,
                              const std::vector<uint8_t>& data)
{
    bytes.push_back(0x2C);
    u16(bytes, left);
    u16(bytes, top);
    u16(bytes, width);
    u16(bytes, height);
    bytes.push_back(packed);
    bytes.insert(bytes.end(), localRgb.begin(), localRgb.end());
    bytes.push_back(codeSize);
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = std::min<size_t>(255, data.size() - i);
        bytes.push_back(uint8_t(n));
        bytes.insert(bytes.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    bytes.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::raw(const std::vector<uint8_t>& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

GifBuilder& GifBuilder::trailer()
{
    bytes.push_back(0x3B);
    return *this;
}

std::vector<uint8_t> testPalette(int n, int seed)
{
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(uint8_t(i * 7 + seed));
        out.push_back(uint8_t(255 - i));
        out.push_back(uint8_t(i * 3 + 1 + seed));
    }
    return out;
}

} // namespace zell::test
