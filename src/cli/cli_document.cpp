#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"

#include <charconv>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "document/gif_export.h"
#include "document/gif_info.h"
#include "image/mapped_file.h"
#include "document/project_file.h"
#include "document/screen_composer.h"
#include "image/pixel_limit.h"

namespace zell::cli {

bool isProjectPath(const std::string& path)
{
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".zpj") == 0;
}

namespace {

std::string withReason(const std::string& text, int error)
{
    return error != 0 ? text + " (" + std::strerror(error) + ")" : text;
}

// Names the folder work files go to and what the system said of it.
std::string workFolderProblem(const Document& document)
{
    const WorkDirectory& work = document.workDirectory();
    if (!work.path().empty())
        return withReason("a work file could not be written in " + work.path(), work.lastError());
    std::string folder;
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        folder = tmp;
    else
        folder = "/tmp";
    std::error_code ec;
    std::string reason = work.lastError() != 0 ? std::strerror(work.lastError()) : "it is not writable";
    if (!std::filesystem::is_directory(folder, ec))
        reason = ec ? ec.message() : "it is not a folder";
    return "no work folder could be made in " + folder + " (" + reason + ")";
}

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string pixelsText(uint32_t width, uint32_t height)
{
    return std::to_string(width) + "x" + std::to_string(height) + " is larger than the limit of "
        + std::to_string(pixelLimit()) + " pixels, which --max-pixels raises";
}

} // namespace

std::string cannotCreateText(const std::string& path)
{
    return withReason(path + ": cannot write into " + folderOf(path), errno);
}

std::string writeFailedText(const std::string& path)
{
    return withReason(path + ": writing into " + folderOf(path) + " failed", errno);
}

std::string tooLargeText(const Document& document)
{
    uint32_t width = 0, height = 0;
    exceedsPixelLimit(document, width, height);
    return pixelsText(width, height);
}

std::string readFailureText(FileReadError error)
{
    switch (error) {
    case FileReadError::empty: return "the file is empty";
    case FileReadError::tooLarge:
        return "the file is " + std::to_string(kMaxReadBytes >> 30) + " GiB or larger, more than zell reads";
    case FileReadError::changed: return "the file changed while it was read (is another program writing it?)";
    case FileReadError::cannotOpen:
    case FileReadError::none: break;
    }
    return "cannot be read (missing, a folder, or no permission)";
}

std::string failureText(Failure why, const Document& document, const std::string& path)
{
    switch (why) {
    case Failure::cannotRead: return readFailureText(FileReadError::cannotOpen);
    case Failure::empty: return readFailureText(FileReadError::empty);
    case Failure::fileTooLarge: return readFailureText(FileReadError::tooLarge);
    case Failure::changed: return readFailureText(FileReadError::changed);
    case Failure::notSupported: return "not a supported image file";
    case Failure::damaged: return "the file is damaged";
    case Failure::tooLarge:
        if (uint32_t width = 0, height = 0; !path.empty() && stillImageDimensions(path, width, height))
            return pixelsText(width, height);
        return tooLargeText(document);
    case Failure::noWorkDirectory: return workFolderProblem(document);
    case Failure::cannotWrite:
        if (document.workDirectory().lastError() != 0)
            return workFolderProblem(document);
        return "a file could not be written";
    case Failure::noFrames: return "there are no frames";
    case Failure::cancelled: return "interrupted";
    case Failure::tooManyFrames: return "more frames than --max-frames allows";
    case Failure::none: break;
    }
    return "failed";
}

bool importInputs(Document& document, const std::vector<std::string>& paths, const ImportOptions& options,
                  std::string& error)
{
    std::vector<std::string> failed;
    std::vector<Failure> reasons;
    std::vector<ImportNote> notes;
    importFiles(document, paths, options, failed, &reasons, &notes, progress());
    if (interrupted()) {
        error = "interrupted";
        return false;
    }
    for (const ImportNote& note : notes) {
        if (note.kind == ImportNote::endsEarly)
            printNote("warning", note.path, "the file ends early; the picture is shown as far as it goes");
        else
            printNote("note", note.path,
                      "a logical screen without width or height becomes " + std::to_string(note.screenWidth) + "x"
                          + std::to_string(note.screenHeight) + ", to hold the first image");
    }
    if (!failed.empty()) {
        error = failed.front() + ": " + failureText(reasons.front(), document, failed.front());
        return false;
    }
    return true;
}

void takeLoopingOf(const std::string& path, GifSettings& settings)
{
    settings.loop = true;
    settings.loopLimited = false;
    settings.loopCount = 0;
    MappedFile file;
    GifStreamInfo info;
    if (!file.open(path) || readGifInfo(file.bytes(), info) == GifInfoError::NoSignature)
        return;
    if (!info.loopCount) {
        settings.loop = false;
    } else if (*info.loopCount != 0) {
        settings.loopLimited = true;
        settings.loopCount = *info.loopCount;
    }
}

bool readInput(Document& document, const std::string& path, std::string& error)
{
    if (isProjectPath(path)) {
        Failure why = Failure::none;
        if (!openProject(document, path, &why, progress())) {
            error = path + ": " + (why == Failure::notSupported ? "not a project file" : failureText(why, document, path));
            return false;
        }
        return true;
    }
    ImportOptions options;
    options.loadGlobalTable = true;
    options.loadComment = true;
    if (!importInputs(document, {path}, options, error))
        return false;
    takeLoopingOf(path, document.settings);
    return true;
}

bool writeOutput(const Document& document, const std::string& path, uint32_t saveOptions, std::string& error)
{
    if (document.frames.count() == 0) {
        error = path + ": there are no frames to write";
        return false;
    }
    if (isProjectPath(path)) {
        errno = 0;
        Failure why = Failure::none;
        if (!saveProject(document, path, &why, progress())) {
            error = why == Failure::cancelled ? path + ": interrupted, nothing written" : cannotCreateText(path);
            return false;
        }
        return true;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a folder, not a file name";
        return false;
    }
    ExportError why;
    errno = 0;
    if (!writeAnimatedGif(path, document.frames, GifOutput::fromSettings(document.settings, saveOptions), &why,
                          progress())) {
        switch (why) {
        case ExportError::NoFrames: error = path + ": there are no frames to write"; break;
        case ExportError::CannotCreate: error = cannotCreateText(path); break;
        case ExportError::BadGlobalTable: error = path + ": the global colour table has fewer than 2 colours"; break;
        case ExportError::BadWorkFile: error = path + ": a frame's picture could not be read"; break;
        case ExportError::OptimizeFailed: error = path + ": optimising a frame failed"; break;
        case ExportError::TooLarge: error = path + ": " + tooLargeText(document); break;
        case ExportError::Cancelled: error = path + ": interrupted, nothing written"; break;
        default: error = writeFailedText(path); break;
        }
        return false;
    }
    return true;
}

bool OptimizeChoice::apply(const std::string& word)
{
    constexpr uint32_t modes = kSaveTransparency | kSaveAutoTransparency | kSaveLosslessTransparency;
    if (word == "transparency" || word == "existing") {
        options = (options & ~modes) | kSaveTransparency;
        modeNamed = true;
    } else if (word == "auto-transparency" || word == "auto") {
        options = (options & ~modes) | kSaveTransparency | kSaveAutoTransparency;
        modeNamed = true;
    } else if (word == "lossless") {
        options = (options & ~modes) | kSaveTransparency | kSaveLosslessTransparency;
        modeNamed = true;
    } else if (word == "no-transparency" || word == "none") {
        options &= ~modes;
        modeNamed = true;
    } else if (word == "drop-unchanged") {
        options |= kSaveDropUnchanged;
    } else if (word == "keep-timing") {
        options |= kSaveDropUnchanged | kSaveKeepTiming;
    } else if (word == "shrink-tables") {
        options |= kSaveShrinkTables;
        tablesNamed = true;
    } else if (word == "keep-tables") {
        options &= ~uint32_t(kSaveShrinkTables);
        tablesNamed = true;
    } else {
        return false;
    }
    return true;
}

uint32_t OptimizeChoice::finish() const
{
    uint32_t o = options;
    if (!modeNamed)
        o |= kSaveTransparency | kSaveLosslessTransparency;
    if (!tablesNamed && (o & kSaveLosslessTransparency))
        o |= kSaveShrinkTables;
    return o;
}

bool parseOptimize(const std::string& argument, uint32_t& options)
{
    OptimizeChoice choice;
    const std::string prefix = "--optimize";
    if (argument == prefix) {
        options = choice.finish();
        return true;
    }
    if (argument.compare(0, prefix.size() + 1, prefix + "=") != 0)
        return false;
    std::string rest = argument.substr(prefix.size() + 1);
    size_t start = 0;
    while (start <= rest.size()) {
        size_t comma = rest.find(',', start);
        std::string word = rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!choice.apply(word))
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    options = choice.finish();
    return true;
}

bool parseNumber(const std::string& text, long low, long high, long& value)
{
    long parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

} // namespace zell::cli
