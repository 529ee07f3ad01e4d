// The INI profile zell.ini with the semantics of the classic private-profile
// functions: section and key names match without regard to ASCII case, values
// compare exactly, a missing file or key gives the default, and a write that
// fails is ignored. The file is read at every call: settings are read when
// they are used, never cached.
#pragma once

#include <string>
#include <string_view>

namespace zell {

class Profile {
public:
    explicit Profile(std::string path) : path_(std::move(path)) {}

    // Beside the executable when that folder is writable, else
    // $XDG_CONFIG_HOME/zell/zell.ini.
    static std::string defaultPath();
    // The same for a program in programDir (ending with '/'). An installed
    // program (PREFIX/bin beside PREFIX/lib/zell/plugins) always uses the
    // config folder: root or a user's ~/.local/bin could write beside it,
    // but a package's folder is no place for one user's settings.
    static std::string pathFor(const std::string& programDir);

    const std::string& path() const { return path_; }

    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Leading decimal digits with an optional sign; a present key that holds
    // no number reads as 0, so a hand-edited profile never blocks a start.
    int readInt(std::string_view section, std::string_view key, int fallback) const;
    void writeString(std::string_view section, std::string_view key, std::string_view value) const;
    void writeInt(std::string_view section, std::string_view key, int value) const;

private:
    std::string path_;
};

// The folder of the running executable, ending with '/'.
std::string programDirectory();
// $XDG_CONFIG_HOME/zell/ (default ~/.config/zell/); empty when neither
// variable is set.
std::string userConfigDirectory();

} // namespace zell
