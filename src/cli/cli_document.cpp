#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"

#include <charconv>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include "document/gif_export.h"
#include "document/gif_info.h"
#include "image/mapped_file.h"
#include "document/project_file.h"
#include "document/screen_composer.h"
#include "image/pixel_limit.h"
#include "operations/size_fit.h"

namespace zell::cli {

namespace {

std::string withReason(const std::string& text, int error)
{
    return error != 0 ? text + " (" + std::strerror(error) + ")" : text;
}

} // namespace

bool isProjectPath(const std::string& path)
{
    if (path.size() <= 4)
        return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".zpj";
}

namespace {

enum class OutputFormat { byName, gif, project };
OutputFormat outputFormat = OutputFormat::byName;

struct StandardInput {
    bool read = false;
    std::string path;  // its work file
    std::string error; // why it could not be kept
    bool project = false;
};

StandardInput standardInput;

// Copies standard input to `file` up to the size zell reads; `head` gets its
// first bytes, enough to tell a project. False with errno set, or with
// `total` at the limit.
bool copyStandardInput(std::FILE* file, std::vector<uint8_t>& head, uint64_t& total)
{
    constexpr size_t kHeadBytes = sizeof kProjectMagic - 1;
    std::vector<uint8_t> chunk(1 << 16);
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        // A pipe may hand over the first bytes a few at a time.
        const size_t wanted = head.size() < kHeadBytes ? std::min(size_t(got), kHeadBytes - head.size()) : 0;
        head.insert(head.end(), chunk.begin(), chunk.begin() + long(wanted));
        total += uint64_t(got);
        if (total >= kMaxReadBytes || std::fwrite(chunk.data(), 1, size_t(got), file) != size_t(got))
            return false;
    }
}

// Keeps all of standard input in a work file, named so that its frames are
// named "stdin" as a file's are after the file.
void spoolStandardInput()
{
    StandardInput& in = standardInput;
    in.read = true;
    WorkDirectory& work = WorkDirectory::process();
    if (::isatty(STDIN_FILENO)) {
        in.error = "it is a terminal; pipe a file into it";
        return;
    }
    if (!work.ensure()) {
        in.error = "no work folder could be made to keep it";
        return;
    }
    const std::string path = work.path() + "stdin";
    std::vector<uint8_t> head;
    uint64_t total = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && copyStandardInput(file, head, total);
    if (file && std::fclose(file) != 0)
        ok = false;
    if (!ok) {
        in.error = total >= kMaxReadBytes ? readFailureText(FileReadError::tooLarge)
                                          : withReason("it could not be read", errno);
        std::remove(path.c_str());
        return;
    }
    in.path = path;
    in.project = bytesAreProject(head);
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

std::string inputFile(const std::string& argument, std::string& error)
{
    if (argument != "-")
        return argument;
    if (!standardInput.read)
        spoolStandardInput();
    error = standardInput.error;
    return standardInput.path;
}

bool isProjectInput(const std::string& argument)
{
    if (argument != "-")
        return isProjectPath(argument);
    std::string ignored;
    inputFile(argument, ignored);
    return standardInput.project;
}

void dropStandardInput()
{
    if (!standardInput.path.empty())
        std::remove(standardInput.path.c_str());
    standardInput.path.clear();
}

std::string shownName(const std::string& path)
{
    return path == "-" || (!standardInput.path.empty() && path == standardInput.path) ? "standard input" : path;
}

bool setOutputFormat(const std::string& name)
{
    if (name != "gif" && name != "zpj")
        return false;
    outputFormat = name == "gif" ? OutputFormat::gif : OutputFormat::project;
    return true;
}

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
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        files.push_back(inputFile(path, error));
        if (files.back().empty()) {
            error = shownName(path) + ": " + error;
            return false;
        }
    }
    std::vector<std::string> failed;
    std::vector<Failure> reasons;
    std::vector<ImportNote> notes;
    importFiles(document, files, options, failed, &reasons, &notes, progress());
    if (interrupted()) {
        error = "interrupted";
        return false;
    }
    for (const ImportNote& note : notes) {
        if (note.kind == ImportNote::endsEarly)
            printNote("warning", shownName(note.path), "the file ends early; the picture is shown as far as it goes");
        else
            printNote("note", shownName(note.path),
                      "a logical screen without width or height becomes " + std::to_string(note.screenWidth) + "x"
                          + std::to_string(note.screenHeight) + ", to hold the first image");
    }
    if (!failed.empty()) {
        error = shownName(failed.front()) + ": " + failureText(reasons.front(), document, failed.front());
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
    std::string ignored;
    if (!file.open(inputFile(path, ignored)) || readGifInfo(file.bytes(), info) == GifInfoError::NoSignature)
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
    if (isProjectInput(path)) {
        Failure why = Failure::none;
        const std::string file = inputFile(path, error);
        if (file.empty()) {
            error = shownName(path) + ": " + error;
            return false;
        }
        if (!openProject(document, file, &why, progress())) {
            error = shownName(path) + ": "
                + (why == Failure::notSupported ? "not a project file" : failureText(why, document, file));
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

namespace {

bool writeFile(const Document& document, const std::string& path, bool project, uint32_t saveOptions,
               std::string& error)
{
    if (project) {
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

bool copyToStandardOutput(const std::string& path, std::string& error)
{
    MappedFile file;
    if (!file.open(path)) {
        error = "standard output: the finished file could not be read back";
        return false;
    }
    // A reader that went away is a failed write, reported and cleaned up
    // after, not a death by SIGPIPE that leaves the work folder behind.
    std::signal(SIGPIPE, SIG_IGN);
    std::span<const uint8_t> rest = file.bytes();
    while (!rest.empty()) {
        const ssize_t put = ::write(STDOUT_FILENO, rest.data(), rest.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            error = withReason("standard output: writing failed", errno);
            return false;
        }
        rest = rest.subspan(size_t(put));
    }
    return true;
}

// Written whole into a work file first: a failure then leaves standard
// output empty, and the bytes are those a file would get.
bool writeStandardOutput(const Document& document, uint32_t saveOptions, std::string& error)
{
    const bool project = writesProject("-");
    std::string path;
    if (!document.workDirectory().newWorkFileName(project ? "zpj" : "gif", path)) {
        error = "standard output: " + workFolderProblem(document);
        return false;
    }
    bool ok = writeFile(document, path, project, saveOptions, error);
    if (!ok) {
        for (size_t at = error.find(path); at != std::string::npos; at = error.find(path))
            error.replace(at, path.size(), "standard output");
    }
    ok = ok && copyToStandardOutput(path, error);
    std::remove(path.c_str());
    return ok;
}

} // namespace

bool writeOutput(const Document& document, const std::string& path, uint32_t saveOptions, std::string& error)
{
    if (document.frames.count() == 0) {
        error = (path == "-" ? "standard output" : path) + ": there are no frames to write";
        return false;
    }
    if (path == "-")
        return writeStandardOutput(document, saveOptions, error);
    return writeFile(document, path, writesProject(path), saveOptions, error);
}

bool fitMaxSize(Document& document, const std::string& path, uint64_t maxBytes, uint32_t& saveOptions,
                std::string& error)
{
    if (maxBytes == 0)
        return true;
    const std::string name = path == "-" ? "standard output" : path;
    if (writesProject(path)) {
        error = name + ": --max-size needs a GIF, not a project";
        return false;
    }
    if (!(saveOptions & kSaveOptimize))
        saveOptions = OptimizeChoice().finish();
    if (!(saveOptions & kSaveLosslessTransparency)) {
        error = "--max-size goes with the lossless optimisation";
        return false;
    }
    SizeFit fit;
    Document reduced(document.workDirectory());
    ExportError why = ExportError::None;
    if (!fitToSize(document, maxBytes, saveOptions, fit, reduced, &why, progress())) {
        if (why == ExportError::Cancelled)
            error = name + ": interrupted, nothing written";
        else if (why != ExportError::None)
            error = name + ": optimising a frame failed";
        else
            error = name + ": neither a lossy level nor fewer colours make it " + std::to_string(maxBytes)
                + " bytes or fewer (the highest level gives " + std::to_string(fit.lossiest) + ", with 2 colours "
                + std::to_string(fit.fewest) + "); nothing was written";
        return false;
    }
    if (fit.colors) {
        document.settings = reduced.settings;
        document.frames.swap(reduced.frames);
    }
    saveOptions = fit.options;
    const int colors = fit.colors;
    printNote("note", name,
              (colors ? std::to_string(colors) + " colours and " : std::string()) + "lossy level "
                  + std::to_string(fit.level) + (fit.weighed ? " weighed frame by frame" : "") + " give"
                  + (colors ? "" : "s") + " " + std::to_string(fit.bytes) + " bytes");
    return true;
}

bool writesProject(const std::string& path)
{
    return outputFormat == OutputFormat::byName ? path != "-" && isProjectPath(path)
                                                : outputFormat == OutputFormat::project;
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
