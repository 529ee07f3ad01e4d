#include "app/language.h"

#include <cstdlib>
#include <string>

#include "app/profile.h"

namespace zell {

const char* languageCode(Language language)
{
    return language == Language::Japanese ? "ja" : "en";
}

std::optional<Language> parseLanguage(std::string_view code)
{
    if (code == "ja")
        return Language::Japanese;
    if (code == "en")
        return Language::English;
    return std::nullopt;
}

Language localeLanguage(const char* lcAll, const char* lcMessages, const char* lang)
{
    std::string_view name;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            name = value;
            break;
        }
    }
    // language[_territory][.codeset][@modifier]
    const std::string_view language = name.substr(0, name.find_first_of("_.@"));
    return language == "ja" ? Language::Japanese : Language::English;
}

Language chooseLanguage(std::string_view commandLine, std::string_view profileSetting, Language fromLocale)
{
    if (auto chosen = parseLanguage(commandLine))
        return *chosen;
    if (auto chosen = parseLanguage(profileSetting))
        return *chosen;
    return fromLocale;
}

Language startLanguage(const Profile& profile, std::string_view commandLine)
{
    const Language fromLocale =
        localeLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    return chooseLanguage(commandLine, profile.readString("System", "Language", "auto"), fromLocale);
}

} // namespace zell
