// Project files (*.zpj): the whole document, work files embedded, in one file.
#pragma once

#include <span>
#include <string>

#include "document/document.h"
#include "document/progress.h"

namespace zell {

inline constexpr char kProjectMagic[] = "ZELL0000";

// Writes to a temporary file beside the target and renames it over the
// target when complete: a failed save leaves an earlier file untouched.
// `why` (optional) says why a call failed.
bool saveProject(const Document& document, const std::string& path, Failure* why = nullptr,
                 Progress* progress = nullptr);

// Reads and checks the whole file before changing anything: on failure the
// document stays exactly as it was.
bool openProject(Document& document, const std::string& path, Failure* why = nullptr, Progress* progress = nullptr);
bool openProjectBytes(Document& document, std::span<const uint8_t> bytes, Progress* progress = nullptr,
                      bool* stopped = nullptr);
// True when the bytes start with the project magic.
bool bytesAreProject(std::span<const uint8_t> bytes);

} // namespace zell
