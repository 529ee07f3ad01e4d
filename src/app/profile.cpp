#include "app/profile.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace zell {
namespace {

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// "[name]" gives the name; anything else is not a section line.
bool sectionOf(std::string_view line, std::string_view& name)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    name = trim(line.substr(1, close - 1));
    return true;
}

bool keyOf(std::string_view line, std::string_view& key, std::string_view& value)
{
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return !key.empty();
}

// Index of the key's line within the section, or -1; `sectionEnd` is the line
// after the section's last key line (-1 when the section is missing).
int findKey(const std::vector<std::string>& lines, std::string_view section, std::string_view key,
            int& sectionEnd)
{
    sectionEnd = -1;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionOf(lines[i], name)) {
            inside = sameName(name, section);
            if (inside)
                sectionEnd = int(i) + 1;
            continue;
        }
        std::string_view k, v;
        if (inside && keyOf(lines[i], k, v)) {
            if (sameName(k, key))
                return int(i);
            sectionEnd = int(i) + 1;
        }
    }
    return -1;
}

} // namespace

std::string programDirectory()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    return exe.parent_path().string() + "/";
}

std::string Profile::defaultPath()
{
    return pathFor(programDirectory());
}

std::string Profile::pathFor(const std::string& dir)
{
    std::error_code ec;
    const bool installed = std::filesystem::is_directory(dir + "../lib/zell/plugins", ec);
    if (!installed && ::access(dir.c_str(), W_OK) == 0)
        return dir + "zell.ini";
    const std::string config = userConfigDirectory();
    return (config.empty() ? dir : config) + "zell.ini";
}

std::string userConfigDirectory()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/zell/";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/zell/";
    return {};
}

std::string Profile::readString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    std::vector<std::string> lines = readLines(path_);
    int end = -1;
    int at = findKey(lines, section, key, end);
    if (at < 0)
        return std::string(fallback);
    std::string_view k, v;
    keyOf(lines[size_t(at)], k, v);
    // A value in matching quotes is given without them.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

int Profile::readInt(std::string_view section, std::string_view key, int fallback) const
{
    const std::string none = "\x01";
    std::string text = readString(section, key, none);
    if (text == none)
        return fallback;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 0x7FFFFFFF);
    return int(negative ? -value : value);
}

void Profile::writeString(std::string_view section, std::string_view key, std::string_view value) const
{
    std::vector<std::string> lines = readLines(path_);
    std::string line = std::string(key) + "=" + std::string(value);
    int end = -1;
    int at = findKey(lines, section, key, end);
    if (at >= 0) {
        lines[size_t(at)] = line;
    } else if (end >= 0) {
        lines.insert(lines.begin() + end, line);
    } else {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(line);
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    for (const std::string& l : lines)
        out << l << '\n';
}

void Profile::writeInt(std::string_view section, std::string_view key, int value) const
{
    writeString(section, key, std::to_string(value));
}

} // namespace zell
