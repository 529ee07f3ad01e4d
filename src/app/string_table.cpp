#include "app/string_table.h"

#include <QFile>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include "app/message_box.h"
#include "app/profile.h"

namespace zell {
namespace {

using TextMap = std::map<int, std::string>;

std::string unescape(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
    return out;
}

// Lines NUMBER<TAB>TEXT; any other line is a comment.
void parseTable(std::string_view data, TextMap& out)
{
    while (!data.empty()) {
        const size_t end = data.find('\n');
        std::string_view line = data.substr(0, end);
        data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0)
            continue;
        int id = 0;
        bool number = true;
        for (size_t i = 0; i < tab; ++i) {
            number = number && line[i] >= '0' && line[i] <= '9' && id < 100000;
            id = id * 10 + (line[i] - '0');
        }
        if (number)
            out[id] = unescape(line.substr(tab + 1));
    }
}

TextMap readBuiltin(const QString& resource)
{
    TextMap table;
    QFile f(resource);
    if (f.open(QIODevice::ReadOnly))
        parseTable(f.readAll().toStdString(), table);
    return table;
}

const TextMap& builtinTable(Language language)
{
    static const TextMap japanese = readBuiltin(QStringLiteral(":/texts/ja.txt"));
    static const TextMap english = readBuiltin(QStringLiteral(":/texts/en.txt"));
    return language == Language::Japanese ? japanese : english;
}

Language& currentLanguage()
{
    static Language language = Language::Japanese;
    return language;
}

std::optional<TextMap>& library()
{
    static std::optional<TextMap> loaded;
    return loaded;
}

bool readLibrary(const std::string& path, TextMap& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    parseTable(data, out);
    return true;
}

} // namespace

void setTextLanguage(Language language)
{
    currentLanguage() = language;
}

Language textLanguage()
{
    return currentLanguage();
}

QString builtinText(Language language, int id)
{
    const TextMap& table = builtinTable(language);
    auto it = table.find(id);
    return it == table.end() ? QString() : QString::fromStdString(it->second);
}

std::vector<int> builtinTextIds(Language language)
{
    std::vector<int> ids;
    for (const auto& entry : builtinTable(language))
        ids.push_back(entry.first);
    return ids;
}

std::vector<std::string> printfConversions(std::string_view text)
{
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        size_t j = i + 1;
        if (j < text.size() && text[j] == '%') {
            i = j;
            continue;
        }
        j = text.find_first_not_of("-+ #0123456789.*", j);
        const size_t start = j;
        j = text.find_first_not_of("hlLqjzt", j);
        if (j == std::string_view::npos)
            break;
        found.emplace_back(text.substr(start, j + 1 - start));
        i = j;
    }
    return found;
}

QString ownText(int id)
{
    return builtinText(currentLanguage(), id);
}

QString loadText(int id)
{
    if (const auto& lib = library()) {
        auto it = lib->find(id);
        if (it != lib->end() && !it->second.empty()) {
            const QString own = ownText(id);
            if (printfConversions(it->second) == printfConversions(own.toStdString()))
                return QString::fromStdString(it->second);
            return own;
        }
    }
    return ownText(id);
}

std::string stringLibraryPath(const std::string& programDir)
{
    const std::string config = userConfigDirectory();
    std::error_code ec;
    if (!config.empty() && std::filesystem::is_regular_file(config + kStringLibraryName, ec))
        return config + kStringLibraryName;
    if (config.empty() || std::filesystem::is_regular_file(programDir + kStringLibraryName, ec))
        return programDir + kStringLibraryName;
    return config + kStringLibraryName;
}

void loadStringLibrary(const Profile& profile, const std::string& path)
{
    if (profile.readString("are you", "wota?", "no") != "yes")
        return;
    TextMap lib;
    if (!readLibrary(path, lib))
        return;
    // A table without a version text is as old as can be.
    auto version = lib.find(kStringLibraryVersionId);
    const bool old = version == lib.end() || version->second < kStringLibraryVersion;
    library() = std::move(lib);
    if (old) {
        QString text = ownText(Text::OldStringLibrary);
        text.replace(QStringLiteral("%s"), QString::fromUtf8(kStringLibraryName));
        showPlainMessage(nullptr, text, ownText(Text::OldStringLibraryCaption), MessageStyle::OkExclamation);
    }
}

void freeStringLibrary()
{
    library().reset();
}

bool stringLibraryLoaded()
{
    return library().has_value();
}

} // namespace zell
