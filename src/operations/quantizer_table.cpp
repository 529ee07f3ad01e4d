#include "operations/quantizer_table.h"

#include <algorithm>

namespace zell {

ColorTable colorTableOf(const ColorQuantizer& quantizer, int count, uint16_t backgroundIndex)
{
    ColorTable table;
    table.count = uint16_t(std::clamp(count, 0, 256));
    table.backgroundIndex = backgroundIndex;
    const uint8_t* quads = nullptr;
    const int entries = std::min<int>(quantizer.palette(&quads), table.count);
    for (int i = 0; i < entries; ++i)
        table.setColor(uint32_t(i), makeColor(quads[4 * i + 2], quads[4 * i + 1], quads[4 * i]));
    return table;
}

} // namespace zell
