#include "support/corpus.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zell::test {

std::vector<std::string> splitFields(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    if (!text.empty() && text.back() == separator)
        fields.emplace_back();
    return fields;
}

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
    const auto names = splitFields(line, '\t');
    while (std::getline(manifest, line)) {
        const auto fields = splitFields(line, '\t');
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
