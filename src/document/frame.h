// One frame of the animation: its GIF attributes and the work file that holds
// its picture as a single-image GIF stream. The frame owns that file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace zell {

class WorkDirectory;

class Frame {
public:
    Frame() = default;
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    ~Frame() { deleteWorkFile(); }

    std::string workFilePath;
    std::string name;
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t delay = 0;
    uint16_t colorCount = 0;
    uint16_t transparentIndex = 0xFFFF;
    uint8_t disposal = 0;
    uint8_t userInput = 0;
    uint8_t useLocalColorTable = 0;
    uint8_t descriptorFlags = 0;

    // Back to the defaults, keeping the name. Forgets the work file without
    // deleting it (its new owner has it).
    void reset();
    // Copies every field: afterwards both frames name the same file, so one of
    // them must get a file of its own or be reset before either is destroyed.
    void copyFrom(const Frame& other);
    void deleteWorkFile();

    // The frame's record in a project file, its work file embedded.
    bool writeRecord(std::FILE* file) const;
    // Reads a record into this frame, writing its picture to a new work
    // file. Returns the bytes consumed, or -1.
    int64_t readRecord(std::span<const uint8_t> bytes, WorkDirectory& workDirectory);
};

} // namespace zell
