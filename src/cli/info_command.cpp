// zell-cli info: what a file holds, for people and for scripts.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/options.h"
#include "cli/cli_document.h"
#include "cli/clip_options.h"
#include "cli/json.h"
#include "cli/terminal_text.h"
#include "document/gif_info.h"
#include "document/project_file.h"
#include "document/image_format.h"
#include "document/still_image.h"
#include "image/dib.h"
#include "image/mapped_file.h"

namespace zell::cli {

namespace {

std::string optionalNumber(bool present, long value)
{
    return present ? std::to_string(value) : "null";
}

std::string gifJson(const std::string& file, const GifStreamInfo& info)
{
    std::string s = "{\"file\": " + jsonString(file) + ", \"format\": \"gif\", \"version\": " + jsonString(info.version);
    s += ", \"screen\": {\"width\": " + std::to_string(info.screenWidth) + ", \"height\": " + std::to_string(info.screenHeight) + "}";
    s += ", \"globalTable\": ";
    s += info.globalTableSize ? "{\"size\": " + std::to_string(info.globalTableSize) + ", \"background\": "
            + std::to_string(info.backgroundIndex) + "}"
                              : std::string("null");
    s += ", \"loop\": " + optionalNumber(info.loopCount.has_value(), info.loopCount.value_or(0));
    s += ", \"comments\": [";
    for (size_t i = 0; i < info.comments.size(); ++i)
        s += (i ? ", " : "") + jsonString(info.comments[i]);
    s += "], \"images\": [";
    for (size_t i = 0; i < info.images.size(); ++i) {
        const GifImageInfo& m = info.images[i];
        s += i ? ", " : "";
        s += "{\"left\": " + std::to_string(m.left) + ", \"top\": " + std::to_string(m.top) + ", \"width\": "
            + std::to_string(m.width) + ", \"height\": " + std::to_string(m.height) + ", \"localTable\": "
            + std::to_string(m.localTableSize) + ", \"interlaced\": " + (m.interlaced ? "true" : "false")
            + ", \"delay\": " + std::to_string(m.delay) + ", \"disposal\": " + std::to_string(m.disposal)
            + ", \"userInput\": " + (m.userInput ? "true" : "false") + ", \"transparentIndex\": "
            + optionalNumber(m.transparentIndex.has_value(), m.transparentIndex.value_or(0)) + "}";
    }
    return s + "], \"trailer\": " + (info.hasTrailer ? "true" : "false") + "}";
}

void printGifText(const std::string& file, const GifStreamInfo& info)
{
    std::printf("%s: GIF%s, screen %ux%u", printable(file).c_str(), info.version.c_str(), info.screenWidth,
                info.screenHeight);
    if (info.globalTableSize)
        std::printf(", global table %u (background %u)", info.globalTableSize, info.backgroundIndex);
    else
        std::printf(", no global table");
    if (!info.loopCount)
        std::printf(", plays once\n");
    else if (*info.loopCount == 0)
        std::printf(", loops forever\n");
    else
        std::printf(", loops %u times\n", *info.loopCount);
    if (!info.hasTrailer)
        std::printf("  no trailer: the stream ends after its last complete block\n");
    for (const auto& comment : info.comments)
        std::printf("  comment: %s\n", printable(comment).c_str());
    for (size_t i = 0; i < info.images.size(); ++i) {
        const GifImageInfo& m = info.images[i];
        std::printf("  image %zu: %ux%u at (%u, %u)", i + 1, m.width, m.height, m.left, m.top);
        if (m.localTableSize)
            std::printf(", local table %u", m.localTableSize);
        std::printf("%s, delay %u, disposal %u%s", m.interlaced ? ", interlaced" : "", m.delay, m.disposal,
                    m.userInput ? ", waits for input" : "");
        if (m.transparentIndex)
            std::printf(", transparent %u", *m.transparentIndex);
        std::printf("\n");
    }
}

const char* formatName(int format)
{
    switch (format) {
    case kFormatBmp: return "bmp";
    case kFormatJpeg: return "jpeg";
    case kFormatPng: return "png";
    default: return "unknown";
    }
}

// Size and depth of a still image as zell decodes it.
bool describeStill(const std::string& file, std::span<const uint8_t> bytes, int format, bool json, std::string& error)
{
    ByteBuffer picture;
    DibHeader h;
    if (!decodeImage(bytes, picture, false) || !readDibHeader(picture.bytes(), h)) {
        error = std::string("the ") + formatName(format) + " file cannot be decoded";
        return false;
    }
    if (json)
        std::printf("{\"file\": %s, \"format\": \"%s\", \"width\": %d, \"height\": %u, \"bitsPerPixel\": %u}\n",
                    jsonString(file).c_str(), formatName(format), h.width, h.absHeight(), h.bitCount);
    else
        std::printf("%s: %s, %dx%u, %u bits per pixel\n", printable(file).c_str(), formatName(format), h.width,
                    h.absHeight(), h.bitCount);
    return true;
}

std::string loopText(uint32_t loopValue)
{
    return loopValue == 0 ? "plays once" : loopValue == kLoopForever ? "loops forever"
                                                                    : "loops " + std::to_string(loopValue) + " times";
}

// A project is described from its records, as zell would open it.
bool describeProject(const std::string& file, std::span<const uint8_t> bytes, bool json, std::string& error)
{
    Document document;
    if (!openProjectBytes(document, bytes)) {
        error = "the project file is damaged";
        return false;
    }
    const GifSettings& s = document.settings;
    const ColorTable& table = s.globalColorTable;
    if (json) {
        std::string out = "{\"file\": " + jsonString(file) + ", \"format\": \"zpj\", \"screen\": {\"width\": "
            + std::to_string(s.screenWidth) + ", \"height\": " + std::to_string(s.screenHeight) + "}, \"globalTable\": "
            + (s.useGlobalColorTable ? "{\"size\": " + std::to_string(table.count) + ", \"background\": "
                    + std::to_string(table.backgroundIndex) + "}" : std::string("null"))
            + ", \"loop\": " + optionalNumber(s.loop, s.loopLimited ? s.loopCount : 0)
            + ", \"comment\": " + (s.saveComment ? jsonString(s.comment) : std::string("null")) + ", \"frames\": [";
        for (int i = 0; i < document.frames.count(); ++i) {
            const Frame& f = *document.frames.frameAt(i);
            out += std::string(i ? ", " : "") + "{\"name\": " + jsonString(f.name) + ", \"left\": "
                + std::to_string(f.left) + ", \"top\": " + std::to_string(f.top) + ", \"width\": "
                + std::to_string(f.width) + ", \"height\": " + std::to_string(f.height) + ", \"localTable\": "
                + std::to_string(f.useLocalColorTable ? f.colorCount : 0) + ", \"delay\": " + std::to_string(f.delay)
                + ", \"disposal\": " + std::to_string(f.disposal) + ", \"userInput\": "
                + (f.userInput ? "true" : "false") + ", \"transparentIndex\": "
                + optionalNumber(f.transparentIndex != kNoIndex, f.transparentIndex) + "}";
        }
        std::printf("%s]}\n", out.c_str());
        return true;
    }
    std::printf("%s: zell project (zpj), screen %ux%u, %s, %s\n", printable(file).c_str(), s.screenWidth, s.screenHeight,
                s.useGlobalColorTable ? ("global table " + std::to_string(table.count)).c_str() : "no global table",
                loopText(s.loopValue()).c_str());
    if (s.saveComment)
        std::printf("  comment: %s\n", printable(s.comment).c_str());
    for (int i = 0; i < document.frames.count(); ++i) {
        const Frame& f = *document.frames.frameAt(i);
        std::printf("  frame %d: %s, %ux%u at (%u, %u), delay %u, disposal %u\n", i + 1, printable(f.name).c_str(),
                    f.width, f.height, f.left, f.top, f.delay, f.disposal);
    }
    return true;
}

// Returns false when the file could not be described.
bool describe(const std::string& file, bool json)
{
    MappedFile mapped;
    std::string error;
    GifStreamInfo info;
    std::span<const uint8_t> bytes;
    int format = kFormatUnknown;
    if (mapped.open(file == "-" ? inputFile(file, error) : file)) {
        bytes = mapped.bytes();
        format = detectImageFormat(bytes);
    }
    if (!mapped.isOpen()) {
        if (error.empty())
            error = readFailureText(mapped.error());
    } else if (bytesAreProject(bytes)) {
        if (describeProject(file, bytes, json, error))
            return true;
    } else if (isClipFile(file)) {
        if (describeClip(file, json, error))
            return true;
    } else if (format == kFormatBmp || format == kFormatJpeg || format == kFormatPng) {
        if (describeStill(file, bytes, format, json, error))
            return true;
    } else {
        GifInfoError result = readGifInfo(mapped.bytes(), info);
        if (result == GifInfoError::NoSignature)
            error = "not a recognised image file";
        else if (result == GifInfoError::Truncated)
            error = "the GIF stream is truncated after image " + std::to_string(info.images.size());
    }
    if (!error.empty()) {
        if (json)
            std::printf("{\"file\": %s, \"error\": %s}\n", jsonString(file).c_str(), jsonString(error).c_str());
        else
            printError(shownName(file), error);
        return false;
    }
    if (json)
        std::printf("%s\n", gifJson(file, info).c_str());
    else
        printGifText(file, info);
    return true;
}

int runInfo(const std::vector<std::string>& args)
{
    bool json = false;
    const OptionTable table = {
        {"--json", Takes::nothing, setFlag(json)},
    };
    std::vector<std::string> files;
    if (int status = 0; !parseCommandLine("info", table, args, files, status))
        return status;
    if (files.empty()) {
        printError("info", "no file given");
        return kExitUsage;
    }
    bool ok = true;
    for (const auto& file : files)
        ok = describe(file, json) && ok;
    std::fflush(stdout);
    return ok ? kExitOk : kExitFailed;
}

const CommandRegistration registration({
    "info",
    "stream facts of GIF files, size and depth of still images, clips",
    "Usage: zell-cli info FILE... [--json]\n"
    "Prints the logical screen, global table, looping, comments and, per image,\n"
    "its rectangle, table size, interlacing, delay, disposal, user input and\n"
    "transparency. For a clip (video, animated PNG or WebP): its codec, size,\n"
    "duration, frame rate and frame count. --json prints one JSON object per\n"
    "file, one per line.\n",
    runInfo,
});

} // namespace

} // namespace zell::cli
