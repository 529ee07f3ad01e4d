#include "document/frame.h"

#include <cstdio>

namespace zell {

void Frame::reset()
{
    workFilePath.clear();
    left = top = width = height = 0;
    delay = 0;
    colorCount = 0;
    transparentIndex = 0xFFFF;
    disposal = 0;
    userInput = 0;
    useLocalColorTable = 0;
    descriptorFlags = 0;
}

void Frame::copyFrom(const Frame& other)
{
    if (&other == this)
        return;
    workFilePath = other.workFilePath;
    name = other.name;
    left = other.left;
    top = other.top;
    width = other.width;
    height = other.height;
    delay = other.delay;
    colorCount = other.colorCount;
    transparentIndex = other.transparentIndex;
    disposal = other.disposal;
    userInput = other.userInput;
    useLocalColorTable = other.useLocalColorTable;
    descriptorFlags = other.descriptorFlags;
}

void Frame::deleteWorkFile()
{
    if (workFilePath.empty())
        return;
    // A file that is already gone is not an error.
    std::remove(workFilePath.c_str());
    workFilePath.clear();
}

} // namespace zell
