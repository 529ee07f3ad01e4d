// Facts about a GIF stream for people and scripts: screen, tables, looping,
// comments and every image's attributes. Nothing is decoded.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zell {

struct GifImageInfo {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t localTableSize = 0; // 0: none
    bool interlaced = false;
    uint16_t delay = 0;
    uint8_t disposal = 0;
    bool userInput = false;
    std::optional<uint8_t> transparentIndex;
};

struct GifStreamInfo {
    std::string version; // "87a" or "89a"
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint16_t globalTableSize = 0; // 0: none
    uint8_t backgroundIndex = 0;
    std::optional<uint16_t> loopCount; // absent: no looping extension; 0: forever
    std::vector<std::string> comments;
    std::vector<GifImageInfo> images;
    bool hasTrailer = false;
};

enum class GifInfoError { None, NoSignature, Truncated };

// Walks the whole stream from its "GIF" signature. A block that runs past the
// end yields the images seen so far, reported as Truncated; a missing trailer
// is only noted.
GifInfoError readGifInfo(std::span<const uint8_t> data, GifStreamInfo& out);

} // namespace zell
