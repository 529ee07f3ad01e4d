// Frames of four colours on a gray screen, and a clock moved by hand: what
// the image view's tests paint and play.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "playback/clock.h"
#include "ui/test_document.h"

namespace zell::test {

// Red, green, blue, yellow (0x00BBGGRR).
inline const std::vector<uint32_t> kViewColors{0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF};

class StepClock final : public Clock {
public:
    uint32_t nowMs() override { return now; }
    uint32_t now = 1000;
};

// A frame of index(x, y) pixels in kViewColors.
inline Frame& addPicture(TestDocument& doc, int width, int height, const std::function<uint8_t(int, int)>& index,
                         int left = 0, int top = 0)
{
    std::vector<uint8_t> indices;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indices.push_back(index(x, y));
    return doc.add(uint32_t(width), uint32_t(height), kViewColors, indices, uint32_t(left), uint32_t(top));
}

// A one-entry global table: its gray background stands out from the frames.
inline void grayScreen(TestDocument& doc, int width, int height)
{
    GifSettings& s = doc.document.settings;
    s.screenWidth = uint16_t(width);
    s.screenHeight = uint16_t(height);
    s.globalColorTable.count = 1;
    s.globalColorTable.backgroundIndex = 0;
    s.globalColorTable.setColor(0, 0x808080);
    s.useGlobalColorTable = true;
}

} // namespace zell::test
