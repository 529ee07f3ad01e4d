#include "document/frame_attributes.h"

namespace zell {

FrameAttributes FrameAttributes::of(const Frame& frame)
{
    FrameAttributes a;
    a.left = frame.left;
    a.top = frame.top;
    a.width = frame.width;
    a.height = frame.height;
    a.colorCount = frame.colorCount;
    a.transparentIndex = frame.transparentIndex;
    a.useLocalColorTable = frame.useLocalColorTable;
    a.descriptorFlags = frame.descriptorFlags;
    return a;
}

void FrameAttributes::applyTo(Frame& frame) const
{
    frame.left = left;
    frame.top = top;
    frame.width = width;
    frame.height = height;
    frame.colorCount = colorCount;
    frame.transparentIndex = transparentIndex;
    frame.useLocalColorTable = useLocalColorTable;
    frame.descriptorFlags = descriptorFlags;
}

} // namespace zell
