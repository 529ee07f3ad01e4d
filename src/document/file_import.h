// Importing whole files as the Open command does: recognition, conversion of
// still images, splitting, and the bookkeeping over several files.
#pragma once

#include <string>
#include <vector>

#include "document/document.h"
#include "document/gif_import.h"
#include "document/progress.h"

namespace zell {

// What an import tells besides its frames.
struct ImportNote {
    enum Kind {
        endsEarly,       // a JPEG ended before its picture; shown as far as it goes
        screenFromImage, // a screen of no width or height took the first image's extent
    };
    Kind kind = endsEarly;
    std::string path;
    uint16_t screenWidth = 0; // the screen the file gave, after screenFromImage
    uint16_t screenHeight = 0;
};

// Reads any supported image file; still images are converted to a GIF first
// (`keepAlpha` as in ImportOptions).
bool splitFile(const std::string& path, WorkDirectory& workDirectory, SplitResult& out, bool keepAlpha = false,
               Failure* why = nullptr, uint32_t stillColors = 0, Progress* progress = nullptr);

// A clip's frames (work files written, optimised) with its palette as the
// global table of the result, or none when each frame has its own.
bool splitClip(const std::string& path, WorkDirectory& workDirectory, const ClipOptions& options, SplitResult& out,
               Failure* why = nullptr, Progress* progress = nullptr);

// One file into the document. On failure nothing is inserted. Its notes,
// if any, are appended to `notes`.
bool importImageFile(Document& document, const std::string& path, const ImportOptions& options,
                     bool& globalTableOpen, uint16_t& screenWidth, uint16_t& screenHeight, std::string& comment,
                     Failure* why = nullptr, std::vector<ImportNote>* notes = nullptr, Progress* progress = nullptr);

// The open command over several files: clears the list first for kReplaceAll,
// imports each file, grows the screen to the largest file, replaces the
// comment when files had one, and lists the files that failed (with why,
// when `reasons` is given) and the notes of those that did not.
void importFiles(Document& document, const std::vector<std::string>& paths, const ImportOptions& options,
                 std::vector<std::string>& failed, std::vector<Failure>* reasons = nullptr,
                 std::vector<ImportNote>* notes = nullptr, Progress* progress = nullptr);

// The width and height a BMP, JPEG or PNG file claims, read from its header
// without decoding it; false for other files and unreadable headers.
bool stillImageDimensions(const std::string& path, uint32_t& width, uint32_t& height);

} // namespace zell
