// One frame of the animation: its GIF attributes and the work file that holds
// its picture as a single-image GIF stream. A plain value: a copy shares the
// work file (undo history steps are such copies), and the file goes when the
// last of them lets go. Copying and comparing take every field by
// themselves; only the project record lists them (frame.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "document/work_file.h"

namespace zell {

class WorkDirectory;

// The nearest position at which a frame of `extent` still ends inside 65535:
// a frame beyond it makes a project no reader opens again.
inline uint16_t fittingPosition(uint32_t position, uint16_t extent)
{
    return uint16_t(position < 0xFFFFu - extent ? position : 0xFFFFu - extent);
}

class Frame {
public:
    WorkFile workFile;
    std::string name;
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t delay = 0;
    uint16_t colorCount = 0;
    uint16_t transparentIndex = 0xFFFF;
    uint8_t disposal = 0;
    uint8_t userInput = 0;
    uint8_t useLocalColorTable = 0;
    uint8_t descriptorFlags = 0;

    // Equal frames share their work file and agree in every other field.
    bool operator==(const Frame&) const = default;

    // Back to the defaults, keeping the name. Lets go of the work file, which
    // stays while another frame or history step shares it.
    void reset();
    // Lets go of the work file: it is deleted unless shared.
    void deleteWorkFile() { workFile.clear(); }

    // The frame's record in a project file, its work file embedded. Fields
    // that disagree with the picture are written as the picture has them
    // (colour count, interlace flag; an index beyond the table as none), so
    // that what is saved opens again.
    bool writeRecord(std::FILE* file) const;
    // Reads a record into this frame's fields and points `picture` at the
    // embedded work file, touching no file. The picture must be one
    // decodable image and the record must agree with it: size, interlace
    // flag, colour count (which needs the picture's table), transparent
    // index inside that table or none, disposal 0-7, and a rectangle within
    // 65535. Returns the bytes consumed, or -1.
    int64_t parseRecord(std::span<const uint8_t> bytes, std::span<const uint8_t>& picture);
    // Writes the picture to a new work file of this frame.
    bool takePicture(std::span<const uint8_t> picture, WorkDirectory& workDirectory);

    // Length field, empty name, fields, a minimal work file.
    static constexpr size_t kMinRecordSize = 4 + 1 + 22 + 32;
};

} // namespace zell
