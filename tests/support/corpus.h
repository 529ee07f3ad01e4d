// The conformance corpus beside the source tree: its manifest rows, and the
// files they describe. Tests that use it skip when it is absent.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zell::test {

using CorpusRow = std::map<std::string, std::string>;

std::filesystem::path corpusDir();
// Empty when the corpus or its manifest is missing.
std::vector<CorpusRow> corpusRows(const std::string& format);
// The fields of a manifest column ("a;b", "1,2,3").
std::vector<std::string> splitFields(const std::string& text, char separator);
// True when the row's `decode` column holds this verdict ("giflib-slurp=ok").
bool hasVerdict(const CorpusRow& row, const std::string& verdict);

} // namespace zell::test
