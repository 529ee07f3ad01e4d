// Splitting image files into frames: each image of a GIF becomes a
// single-image work file (its compressed data copied byte for byte) and a
// Frame carrying the attributes of the graphic control extension before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/clip_import.h"
#include "document/progress.h"
#include "document/document.h"
#include "document/frame.h"
#include "image/color_table.h"

namespace zell {

enum InsertMode : int {
    kInsertAtHead = 0,
    kInsertAtCurrent = 1,
    kInsertAtEnd = 2,
    kReplaceAll = 3, // the caller clears the list once before the first file
};

struct ImportOptions {
    int insertMode = kInsertAtEnd;
    bool loadGlobalTable = false;
    bool loadComment = false;
    // Fully transparent pixels of PNG and 32-bit BMP files become the
    // frame's transparent colour instead of showing the background.
    bool keepAlpha = false;
    // Stills of more than 256 colours: NeuQuantOption bits (refinement,
    // dithering); 0 reduces them as the network leaves them.
    uint32_t stillColors = 0;
    // How clips (videos, animated PNG and WebP) become frames.
    ClipOptions clip;
    // Whether a clip's shared palette may become the global table: not while
    // frames that stay in the list use the one there.
    bool clipTableFree = true;
};

// What one file gives: its frames (owned until inserted), screen, comment
// text and global table.
struct SplitResult {
    std::vector<std::unique_ptr<Frame>> frames;
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    std::string comment;
    ColorTable globalTable;
    // A JPEG whose data ended before its picture: imported as far as it went.
    bool truncated = false;
    // The file's logical screen had no width or no height, so the screen
    // took the extent of its first image instead: nothing could show otherwise.
    bool screenFromImage = false;
};

// Writes the image whose descriptor starts `data` as a work file and fills the
// scratch frame. Returns the source bytes from the image separator to the data terminator
// inclusive, or 0 on failure (no file is left behind).
size_t writeImageWorkFile(Frame& scratch, std::span<const uint8_t> data, const ColorTable& globalTable,
                          WorkDirectory& workDirectory);

// Any failure destroys the frames made so far, with their work files.
// A stop requested through `progress` (reported in bytes of the stream) ends
// the split with nothing kept and `stopped` set.
bool splitGif(std::span<const uint8_t> data, WorkDirectory& workDirectory, SplitResult& out,
              Progress* progress = nullptr, bool* stopped = nullptr);

// Inserts split frames into the document: naming, insertion place, global
// table hand-over, current frame. `baseName` is the file's name without
// folder and extension.
void insertSplitFrames(Document& document, SplitResult& split, const std::string& baseName,
                       const ImportOptions& options, bool& globalTableOpen);

// "[name]の[007]"
std::string frameName(const std::string& baseName, int number);

} // namespace zell
