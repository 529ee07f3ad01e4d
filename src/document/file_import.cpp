// Importing whole files: recognition, conversion of still images, splitting,
// and the open command's bookkeeping over several files.
#include <algorithm>
#include <filesystem>

#include "document/gif_import.h"
#include "document/image_format.h"
#include "document/mapped_file.h"
#include "document/still_image.h"
#include "image/byte_buffer.h"

namespace zell {

bool splitFile(const std::string& path, WorkDirectory& workDirectory, SplitResult& out, bool keepAlpha)
{
    MappedFile file;
    if (!file.open(path))
        return false;
    std::span<const uint8_t> data = file.bytes();
    ByteBuffer converted;
    if (detectImageFormat(data) != kFormatGif) {
        if (!convertToGif(file.bytes(), converted, false, keepAlpha))
            return false;
        data = converted.bytes();
    }
    return splitGif(data, workDirectory, out);
}

bool importImageFile(Document& document, const std::string& path, const ImportOptions& options,
                     bool& globalTableOpen, uint16_t& screenWidth, uint16_t& screenHeight, std::string& comment)
{
    SplitResult split;
    if (!splitFile(path, document.workDirectory(), split, options.keepAlpha))
        return false;
    screenWidth = split.screenWidth;
    screenHeight = split.screenHeight;
    comment = options.loadComment ? split.comment : std::string();
    const std::string baseName = std::filesystem::path(path).stem().string();
    insertSplitFrames(document, split, baseName, options, globalTableOpen);
    return true;
}

void importFiles(Document& document, const std::vector<std::string>& paths, const ImportOptions& options,
                 std::vector<std::string>& failed)
{
    ImportOptions each = options;
    if (options.insertMode == kReplaceAll) {
        document.frames.clear();
        document.currentIndex = -1;
        each.insertMode = kInsertAtEnd;
    }
    bool globalTableOpen = true;
    uint16_t widest = 0, tallest = 0;
    std::string comments;
    for (const auto& path : paths) {
        uint16_t width = 0, height = 0;
        std::string comment;
        if (!importImageFile(document, path, each, globalTableOpen, width, height, comment)) {
            failed.push_back(path);
            continue;
        }
        widest = std::max(widest, width);
        tallest = std::max(tallest, height);
        if (!comment.empty())
            comments += comment + "\r\n";
    }
    GifSettings& s = document.settings;
    s.screenWidth = std::max(s.screenWidth, widest);
    s.screenHeight = std::max(s.screenHeight, tallest);
    if (!comments.empty()) {
        comments.resize(comments.size() - 2);
        s.comment = comments;
        s.saveComment = true;
    }
}

} // namespace zell
