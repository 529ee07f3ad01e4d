// Documents with real work files for the whole-animation operations, and the
// means to check them: snapshots of every frame and file, and the composed
// screens a viewer shows.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"
#include "support/gif_screens.h"
#include "support/test_support.h"

namespace zell::test {

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

// A 24-bit picture as RGB rows from the top, as giflibScreens gives it.
std::vector<uint8_t> rgbRows(std::span<const uint8_t> dib);
// The screen after each frame, as RGB rows; empty when a frame cannot be
// composed.
Screens composedScreens(const Document& document);
// The GIF the document is written as with these save options; empty when
// the export fails.
std::vector<uint8_t> exportedGif(const Document& document, uint32_t options = 0);
// The screens of that GIF read back by zell.
Screens exportedScreens(const Document& document);

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

// Animations made from short recipes, for the oracles of everything that
// composes or optimises: every disposal, transparent colours in and beyond
// the table, frames reaching past the screen, interlaced frames, own and
// global tables, frames that change nothing.
struct Recipe {
    const char* name;
    std::function<bool(AnimationFixture&)> make;
    std::vector<uint8_t> gif = {}; // the stream it imports, if it is one
};
const std::vector<Recipe>& recipes();
const Recipe& recipe(const std::string& name);

// Calls `check` with every corpus GIF that giflib reads whole and zell
// imports (into `document`); returns how many, 0 without a corpus.
int forEachCorpusAnimation(const std::function<void(const std::vector<uint8_t>& gif, Document& document)>& check);

} // namespace zell::test
