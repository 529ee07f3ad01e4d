// Documents for tests, in a work directory of their own, and the means to
// check them: snapshots of every frame and file, and the screens a viewer
// shows. Free of Qt and of gtest's checks: a frame that cannot be built
// throws, so that any test framework reports it.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"
#include "support/gif_screens.h"
#include "support/test_support.h"

namespace zell::test {

// A frame whose work file holds the picture (rows top to bottom) encoded
// with a table of the given colours; width and height set, local table,
// colour count the table's power of two.
std::unique_ptr<Frame> makeFrame(WorkDirectory& work, uint32_t width, uint32_t height,
                                 const std::vector<uint32_t>& colors, const std::vector<uint8_t>& indices);
std::unique_ptr<Frame> solidFrame(WorkDirectory& work, uint32_t width, uint32_t height, uint32_t color);

// Every frame the builder appends is named "f<i>" after its place.
class DocumentBuilder {
public:
    DocumentBuilder(); // in a scratch folder of its own
    explicit DocumentBuilder(const std::string& folder);

    void screen(uint16_t width, uint16_t height);
    void globalTable(const std::vector<uint32_t>& colors, uint16_t background = 0);
    // A frame with a table of its own.
    Frame& add(uint32_t width, uint32_t height, const std::vector<uint32_t>& colors,
               const std::vector<uint8_t>& indices, uint32_t left = 0, uint32_t top = 0);
    // A frame on the global table; its work file carries the global colours.
    Frame& addGlobal(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices, uint32_t left = 0,
                     uint32_t top = 0);
    // Frame i, (10 + i) x (20 + i), delay i, for tests of what moves frames
    // about: its work file, when asked for, holds the name, not a picture.
    Frame& addNumbered(bool workFile = true);

private:
    Frame& append(std::unique_ptr<Frame> frame);
    std::unique_ptr<ScratchDir> scratch_;

public:
    WorkDirectory work;
    Document document;
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

// The indices (rows top to bottom) and the colour table of a work file;
// empty when it cannot be read.
std::vector<uint8_t> workFileIndices(const Frame& frame);
std::vector<uint32_t> workFileTable(const Frame& frame);
std::vector<uint32_t> globalColors(const Document& document);
// n distinct colours.
std::vector<uint32_t> distinctColors(int n, int seed = 0);
// Two 64x64 frames of a 64-grey ramp with noise: lossy levels and fewer
// colours both shorten them.
void addNoisyRamp(DocumentBuilder& builder);

// A 24-bit picture as RGB rows from the top, as giflibScreens gives it.
std::vector<uint8_t> rgbRows(std::span<const uint8_t> dib);
// The screen after each frame; empty when a frame cannot be composed.
Screens composedScreens(const Document& document);
// The GIF the document is written as with these save options; empty when
// the export fails.
std::vector<uint8_t> exportedGif(const Document& document, uint32_t options = 0);
// The screens of that GIF read back by zell.
Screens exportedScreens(const Document& document);
// Splits a GIF stream into the document as the Open command does, taking its
// screen and global table; false when it cannot be split.
bool importGif(Document& document, const std::vector<uint8_t>& gif);

} // namespace zell::test
