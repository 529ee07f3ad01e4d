// Documents with real work files for the whole-animation operations, and the
// means to check them: snapshots of every frame and file, and the composed
// screens a viewer shows.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "document/document.h"
#include "support/test_support.h"

namespace zell::test {

using Screens = std::vector<std::vector<uint8_t>>;

class AnimationFixture {
public:
    AnimationFixture() : work_(scratch_.str()), document_(work_) {}

    Document& document() { return document_; }
    void screen(uint16_t width, uint16_t height)
    {
        document_.settings.screenWidth = width;
        document_.settings.screenHeight = height;
    }
    void globalTable(const std::vector<uint32_t>& colors, uint16_t background = 0);
    // Appends a local-table frame (rows top to bottom) named "frame <n>".
    Frame& add(uint32_t width, uint32_t height, const std::vector<uint32_t>& colors,
               const std::vector<uint8_t>& indices, uint32_t left = 0, uint32_t top = 0);
    // Appends a frame that uses the global table; its work file carries the
    // global colours.
    Frame& addGlobal(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices, uint32_t left = 0,
                     uint32_t top = 0);

private:
    ScratchDir scratch_;
    WorkDirectory work_;
    Document document_;
};

// Everything an operation may change, work file bytes included.
struct DocumentState {
    struct FrameState {
        std::string path, name;
        uint32_t left, top, width, height;
        uint16_t delay, colorCount, transparentIndex;
        uint8_t disposal, userInput, useLocalColorTable, descriptorFlags;
        std::vector<uint8_t> bytes;
        bool operator==(const FrameState&) const = default;
    };
    std::vector<FrameState> frames;
    bool useGlobal = false;
    std::vector<uint8_t> globalEntries;
    uint16_t globalCount = 0, globalBackground = 0;
    std::set<std::string> directory; // every work file name in the work directory
    bool operator==(const DocumentState&) const = default;
};
DocumentState snapshot(const Document& document);

// The 24-bit screen after each frame; empty when a frame cannot be composed.
Screens composedScreens(const Document& document);
// The screens of the document written as a GIF and read back.
Screens exportedScreens(const Document& document);
// Peak signal-to-noise ratio over equally long lists of equal pictures
// (infinity when identical).
double psnr(const Screens& a, const Screens& b);

// Splits a GIF stream into the document as the Open command does, taking its
// screen and global table; false when it cannot be split.
bool importGif(Document& document, const std::vector<uint8_t>& gif);

// The indices (rows top to bottom) and the colour table of a work file.
std::vector<uint8_t> workFileIndices(const Frame& frame);
std::vector<uint32_t> workFileTable(const Frame& frame);
// The global table's colours.
std::vector<uint32_t> globalColors(const Document& document);
// n distinct colours.
std::vector<uint32_t> distinctColors(int n, int seed = 0);

} // namespace zell::test
