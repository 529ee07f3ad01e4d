// Small helpers shared by the tests: hand-built pictures and scratch folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "document/work_file.h"
#include "image/dib.h"

namespace zell::test {

// A packed DIB assembled field by field: header, table (or masks), rows.
struct DibBuilder {
    DibHeader header;
    std::vector<uint8_t> table; // raw bytes between header and rows
    std::vector<std::vector<uint8_t>> rows; // memory order, unpadded

    std::vector<uint8_t> build() const;
};

// A 24-bit picture from 0xRRGGBB pixels, rows in memory order.
std::vector<uint8_t> trueColor(int32_t width, int32_t height, const std::vector<uint32_t>& rgb);

// BGR0 quads for the given 0xRRGGBB colours.
std::vector<uint8_t> quads(std::initializer_list<uint32_t> rgb);

// 24-bit pixel (r, g, b) at (x, y from top) of a 24-bit DIB.
uint32_t pixelRgb(const std::vector<uint8_t>& dib, uint32_t x, uint32_t y);
uint32_t pixelRgb(const uint8_t* dib, uint32_t x, uint32_t y);

// A fresh folder under the system's temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
inline std::vector<uint8_t> readFile(const WorkFile& file) { return readFile(std::filesystem::path(file.path())); }
inline void writeFile(const WorkFile& file, const std::vector<uint8_t>& bytes)
{
    writeFile(std::filesystem::path(file.path()), bytes);
}

// The names in a folder, sorted; empty when it is missing.
std::vector<std::string> namesIn(const std::filesystem::path& folder);
// Work files (zll...) in a work directory, not its lock; 0 when it is missing.
int workFileCount(const std::string& folder);

// `accepts` takes the whole of `bytes` and refuses every shorter prefix but
// the lengths in `clean`, which it takes too. It says whether it took the
// input or touched its output, so that a refusal must leave the output alone.
void expectEveryPrefixRefused(const std::function<bool(std::span<const uint8_t>)>& accepts,
                              std::span<const uint8_t> bytes, const std::vector<size_t>& clean = {});

} // namespace zell::test
