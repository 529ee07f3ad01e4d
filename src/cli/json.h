// Minimal JSON text output for the CLI's machine-readable reports.
#pragma once

#include <string>

namespace zell::cli {

// A JSON string literal. Bytes that are not valid UTF-8 are taken as Latin-1
// so that any name or comment gives valid JSON.
std::string jsonString(const std::string& bytes);

} // namespace zell::cli
