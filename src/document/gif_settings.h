// The whole-animation attributes of a document.
#pragma once

#include <cstdint>
#include <string>

#include "image/color_table.h"

namespace zell {

inline constexpr uint32_t kLoopForever = 0xFFFFFFFFu;

struct GifSettings {
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    bool useGlobalColorTable = false;
    ColorTable globalColorTable;
    bool loop = true;
    bool loopLimited = false;
    uint16_t loopCount = 0;
    bool saveComment = false;
    std::string comment;

    // 0: no looping extension; kLoopForever: endless; else the count.
    uint32_t loopValue() const
    {
        if (!loop)
            return 0;
        return loopLimited ? loopCount : kLoopForever;
    }

    bool operator==(const GifSettings&) const = default;
};

} // namespace zell
