#include <algorithm>
#include <filesystem>

#include "document/file_import.h"

#include <unistd.h>

#include "document/image_format.h"
#include "image/mapped_file.h"
#include "document/still_image.h"
#include "image/byte_buffer.h"

namespace zell {

namespace {

// A split that failed for want of a place to put work files is not the
// file's fault.
Failure splitFailure(WorkDirectory& workDirectory)
{
    if (!workDirectory.ensure() || ::access(workDirectory.path().c_str(), W_OK) != 0)
        return Failure::noWorkDirectory;
    return Failure::damaged;
}

bool splitMapped(const MappedFile& file, WorkDirectory& workDirectory, SplitResult& out, bool keepAlpha,
                 uint32_t stillColors, Failure& why)
{
    std::span<const uint8_t> data = file.bytes();
    ByteBuffer converted;
    bool truncated = false;
    const int format = detectImageFormat(data);
    if (format == kFormatUnknown || format == kFormatTooShort) {
        why = Failure::notSupported;
        return false;
    }
    if (format != kFormatGif) {
        if (!convertToGif(file.bytes(), converted, false, keepAlpha, &truncated, stillColors)) {
            why = Failure::damaged;
            return false;
        }
        data = converted.bytes();
    }
    if (!splitGif(data, workDirectory, out)) {
        why = splitFailure(workDirectory);
        return false;
    }
    out.truncated = truncated;
    return true;
}

} // namespace

bool splitFile(const std::string& path, WorkDirectory& workDirectory, SplitResult& out, bool keepAlpha,
               Failure* why, uint32_t stillColors)
{
    Failure reason = Failure::none;
    MappedFile file;
    bool ok = file.open(path);
    if (!ok)
        reason = file.wasEmpty() ? Failure::empty : Failure::cannotRead;
    else
        ok = splitMapped(file, workDirectory, out, keepAlpha, stillColors, reason);
    if (why)
        *why = ok ? Failure::none : reason;
    return ok;
}

bool importImageFile(Document& document, const std::string& path, const ImportOptions& options,
                     bool& globalTableOpen, uint16_t& screenWidth, uint16_t& screenHeight, std::string& comment,
                     Failure* why, bool* truncated)
{
    SplitResult split;
    if (!splitFile(path, document.workDirectory(), split, options.keepAlpha, why, options.stillColors))
        return false;
    if (truncated)
        *truncated = split.truncated;
    screenWidth = split.screenWidth;
    screenHeight = split.screenHeight;
    comment = options.loadComment ? split.comment : std::string();
    const std::string baseName = std::filesystem::path(path).stem().string();
    insertSplitFrames(document, split, baseName, options, globalTableOpen);
    return true;
}

void importFiles(Document& document, const std::vector<std::string>& paths, const ImportOptions& options,
                 std::vector<std::string>& failed, std::vector<Failure>* reasons, std::vector<std::string>* truncated)
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
        Failure why = Failure::none;
        bool cut = false;
        if (!importImageFile(document, path, each, globalTableOpen, width, height, comment, &why, &cut)) {
            failed.push_back(path);
            if (reasons)
                reasons->push_back(why);
            continue;
        }
        if (cut && truncated)
            truncated->push_back(path);
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
    document.changed(kFramesChanged | kSettingsChanged | kGlobalTableChanged | kCurrentChanged);
}

} // namespace zell
