#include <algorithm>
#include <filesystem>

#include "document/file_import.h"

#include <unistd.h>

#include "document/image_format.h"
#include "image/mapped_file.h"
#include "document/still_image.h"
#include "image/byte_buffer.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

// A split that failed for want of a place to put work files (a full disk,
// a folder taken away) is not the file's fault.
Failure splitFailure(WorkDirectory& workDirectory, uint32_t failuresBefore)
{
    if (workDirectory.failures() != failuresBefore || !workDirectory.ensure()
        || ::access(workDirectory.path().c_str(), W_OK) != 0)
        return Failure::noWorkDirectory;
    return Failure::damaged;
}

bool usesGlobalTable(const Document& document)
{
    for (int i = 0; i < document.frames.count(); ++i)
        if (!document.frames.frameAt(i)->useLocalColorTable)
            return true;
    return false;
}

// A still that claims more pixels than the limit is refused for its size.
bool beyondPixelLimit(std::span<const uint8_t> data)
{
    uint32_t width = 0, height = 0;
    return imageDimensions(data, width, height) && !withinPixelLimit(width, height);
}

bool splitMapped(const MappedFile& file, WorkDirectory& workDirectory, SplitResult& out, bool keepAlpha,
                 uint32_t stillColors, Failure& why, Progress* progress)
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
            why = beyondPixelLimit(file.bytes()) ? Failure::tooLarge : Failure::damaged;
            return false;
        }
        data = converted.bytes();
    }
    bool stopped = false;
    const uint32_t failuresBefore = workDirectory.failures();
    if (!splitGif(data, workDirectory, out, progress, &stopped)) {
        why = stopped ? Failure::cancelled : splitFailure(workDirectory, failuresBefore);
        return false;
    }
    out.truncated = truncated;
    return true;
}

} // namespace

bool splitFile(const std::string& path, WorkDirectory& workDirectory, SplitResult& out, bool keepAlpha,
               Failure* why, uint32_t stillColors, Progress* progress)
{
    Failure reason = Failure::none;
    MappedFile file;
    bool ok = file.open(path);
    if (!ok)
        reason = readFailure(file.error());
    else
        ok = splitMapped(file, workDirectory, out, keepAlpha, stillColors, reason, progress);
    if (why)
        *why = ok ? Failure::none : reason;
    return ok;
}

bool stillImageDimensions(const std::string& path, uint32_t& width, uint32_t& height)
{
    MappedFile file;
    return file.open(path) && imageDimensions(file.bytes(), width, height);
}

bool importImageFile(Document& document, const std::string& path, const ImportOptions& options,
                     bool& globalTableOpen, uint16_t& screenWidth, uint16_t& screenHeight, std::string& comment,
                     Failure* why, std::vector<ImportNote>* notes, Progress* progress)
{
    SplitResult split;
    const bool clip = isClipFile(path);
    if (clip ? !splitClip(path, document.workDirectory(), options.clip, split, why, progress)
             : !splitFile(path, document.workDirectory(), split, options.keepAlpha, why, options.stillColors, progress))
        return false;
    if (stopRequested(progress)) { // the split's files go with `split`
        if (why)
            *why = Failure::cancelled;
        return false;
    }
    if (notes && split.truncated)
        notes->push_back({ImportNote::endsEarly, path, split.screenWidth, split.screenHeight});
    if (notes && split.screenFromImage)
        notes->push_back({ImportNote::screenFromImage, path, split.screenWidth, split.screenHeight});
    screenWidth = split.screenWidth;
    screenHeight = split.screenHeight;
    comment = options.loadComment ? split.comment : std::string();
    const std::string baseName = std::filesystem::path(path).stem().string();
    ImportOptions placing = options;
    if (clip)
        placing.loadGlobalTable =
            split.globalTable.count > 0 && options.clipTableFree && !usesGlobalTable(document);
    commitStep(progress, [&] { insertSplitFrames(document, split, baseName, placing, globalTableOpen); });
    return true;
}

namespace {

// Where the imported frames go in the document, as insertSplitFrames places
// the first file; later files are placed relative to it.
int importStart(const Document& document, int insertMode)
{
    if (insertMode == kInsertAtHead || insertMode == kReplaceAll)
        return 0;
    if (insertMode == kInsertAtCurrent)
        return document.currentIndex >= 0 && document.currentIndex <= document.frames.count() ? document.currentIndex
                                                                                               : 0;
    return document.frames.count();
}

} // namespace

void importFiles(Document& document, const std::vector<std::string>& paths, const ImportOptions& options,
                 std::vector<std::string>& failed, std::vector<Failure>* reasons, std::vector<ImportNote>* notes,
                 Progress* progress)
{
    // The files go into a document of their own, spliced in when every file
    // is done, so that a stopped import leaves the document as it was and
    // takes its new work files with it.
    Document scratch(document.workDirectory());
    scratch.settings = document.settings;
    scratch.currentIndex = 0;
    ImportOptions each = options;
    if (options.insertMode == kReplaceAll)
        each.insertMode = kInsertAtEnd;
    each.clipTableFree = options.clipTableFree && (options.insertMode == kReplaceAll || !usesGlobalTable(document));
    bool globalTableOpen = true;
    uint16_t widest = 0, tallest = 0;
    std::string comments;
    const int64_t total = int64_t(paths.size());
    int64_t done = 0;
    StopOnly stopOnly(progress); // a file's split stops with the import, which counts files
    for (const auto& path : paths) {
        if (stopRequested(progress))
            return;
        if (done > 0)
            reportProgress(progress, done, total);
        ++done;
        uint16_t width = 0, height = 0;
        std::string comment;
        Failure why = Failure::none;
        if (!importImageFile(scratch, path, each, globalTableOpen, width, height, comment, &why, notes, &stopOnly)) {
            if (why == Failure::cancelled)
                return;
            failed.push_back(path);
            if (reasons)
                reasons->push_back(why);
            continue;
        }
        widest = std::max(widest, width);
        tallest = std::max(tallest, height);
        if (!comment.empty())
            comments += comment + "\r\n";
    }
    reportProgress(progress, total, total);
    if (stopRequested(progress))
        return;
    GifSettings& s = scratch.settings;
    s.screenWidth = std::max(s.screenWidth, widest);
    s.screenHeight = std::max(s.screenHeight, tallest);
    if (!comments.empty()) {
        comments.resize(comments.size() - 2);
        s.comment = comments;
        s.saveComment = true;
    }
    commitStep(progress, [&] {
        const int start = importStart(document, options.insertMode);
        const int added = scratch.frames.count();
        if (options.insertMode == kReplaceAll) {
            document.frames.swap(scratch.frames); // the old frames die with `scratch`
            document.currentIndex = -1;
        } else {
            for (int i = 0; i < added; ++i) {
                std::unique_ptr<Frame> frame = scratch.frames.take(0);
                document.frames.insert(start + i, frame);
            }
        }
        if (added > 0)
            document.currentIndex = start + scratch.currentIndex;
        document.settings = std::move(scratch.settings);
        document.changed(kFramesChanged | kSettingsChanged | kGlobalTableChanged | kCurrentChanged);
    });
}

} // namespace zell
