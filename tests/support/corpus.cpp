#include "support/corpus.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zell::test {

namespace {

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.emplace_back();
    return fields;
}

} // namespace

std::filesystem::path corpusDir()
{
    if (const char* env = std::getenv("ZELL_CORPUS"))
        return env;
    return ZELL_CORPUS_DIR;
}

std::vector<CorpusRow> corpusRows(const std::string& format)
{
    std::ifstream manifest(corpusDir() / "manifest.tsv");
    std::vector<CorpusRow> rows;
    std::string line;
    if (!manifest || !std::getline(manifest, line))
        return rows;
    const auto names = splitTabs(line);
    while (std::getline(manifest, line)) {
        const auto fields = splitTabs(line);
        CorpusRow row;
        for (size_t i = 0; i < names.size(); ++i)
            row[names[i]] = i < fields.size() ? fields[i] : std::string();
        if (row["format"] == format)
            rows.push_back(row);
    }
    return rows;
}

bool hasVerdict(const CorpusRow& row, const std::string& verdict)
{
    auto it = row.find("decode");
    if (it == row.end())
        return false;
    std::string list = ";" + it->second + ";";
    return list.find(";" + verdict + ";") != std::string::npos;
}

} // namespace zell::test
