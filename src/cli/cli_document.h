// What the subcommands share: reading inputs into a document as the GUI's
// Open command does, and writing a GIF or a project.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/file_import.h"
#include "document/gif_export.h"

namespace zell::cli {

// Why a whole input file could not be read.
std::string readFailureText(FileReadError error);
// Names the screen or frame beyond the pixel limit.
std::string tooLargeText(const Document& document);
// The one-line reason for a failed engine operation; `path`, when given, is
// the input it failed on.
std::string failureText(Failure why, const Document& document, const std::string& path = {});
// "PATH: cannot write into FOLDER (reason)" and "PATH: writing into FOLDER
// failed (reason)", the reason taken from errno.
std::string cannotCreateText(const std::string& path);
std::string writeFailedText(const std::string& path);

// Imports image files ("-" among them) at the end of the document. On
// failure `error` names the first file that failed.
bool importInputs(Document& document, const std::vector<std::string>& paths, const ImportOptions& options,
                  std::string& error);

// One input that may be a GIF, a still image or a project (*.zpj), or "-";
// a GIF keeps its global table, looping and comments.
bool readInput(Document& document, const std::string& path, std::string& error);

// The looping of a GIF file as settings: no extension plays once, 0 loops
// forever, N loops N times. Still images and unreadable files loop forever.
void takeLoopingOf(const std::string& path, GifSettings& settings);

// A GIF, or a project when the path ends in ".zpj" (in any case) or
// --format zpj was given. "-" writes standard output, a GIF unless
// --format zpj; no file named "-" is made.
bool writeOutput(const Document& document, const std::string& path, uint32_t saveOptions, std::string& error);

// Takes "gif" or "zpj" for every later output; false on anything else.
bool setOutputFormat(const std::string& name);

// Ends in ".zpj", in any case.
bool isProjectPath(const std::string& path);
// Whether writeOutput writes a project to `path`.
bool writesProject(const std::string& path);
// With `maxBytes` set, puts into the save options the lowest lossy level at
// which the GIF for `path` fits, with the frames' own colours or fewer
// (reduced in `document`), whichever shows screens closest to the input's,
// and says what it chose; false with `error` when nothing fits or the output
// is a project.
bool fitMaxSize(Document& document, const std::string& path, uint64_t maxBytes, uint32_t& saveOptions,
                std::string& error);

// An input argument as a file: "-" is standard input, read once into a work
// file (empty, with `error` saying why, when that failed); any other is itself.
std::string inputFile(const std::string& argument, std::string& error);
// Removes the work file of standard input (before the work folder goes).
void dropStandardInput();
// A project by its name, or for standard input by its first bytes.
bool isProjectInput(const std::string& argument);
// How messages name a file: standard input by that name, not by its work file.
std::string shownName(const std::string& path);

// Parses "--optimize[=a,b,c]" into save options; false on an unknown word.
bool parseOptimize(const std::string& argument, uint32_t& options);

// The optimising choices of zell-cli, gathered word by word: "transparency"
// (frames that have a transparent colour use it), "lossless"
// (issue 18: frames without one get an index they do not use, unchanged
// pixels chosen per run, the smallest encoding kept), "auto-transparency"
// (requantises frames without one), "no-transparency",
// "drop-unchanged", "keep-timing" (drop-unchanged, the delay going to the
// frame before), "shrink-tables", "keep-tables". Without a transparency word
// the choice is "lossless", which also shrinks tables unless "keep-tables".
struct OptimizeChoice {
    uint32_t options = kSaveOptimize;
    bool modeNamed = false;
    bool tablesNamed = false;

    bool apply(const std::string& word); // false on an unknown word
    uint32_t finish() const;
};

// A whole non-negative number within [low, high].
bool parseNumber(const std::string& text, long low, long high, long& value);

} // namespace zell::cli
