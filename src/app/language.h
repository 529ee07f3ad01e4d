// The interface language: Japanese or English, from the locale unless the
// profile or the command line says otherwise.
#pragma once

#include <optional>
#include <string_view>

namespace zell {

class Profile;

enum class Language { Japanese, English };

// "ja" or "en".
const char* languageCode(Language language);
// "ja" and "en"; nothing for anything else.
std::optional<Language> parseLanguage(std::string_view code);

// The locale's language for messages, from the first non-empty of LC_ALL,
// LC_MESSAGES and LANG (null for unset), the order in which the C library
// reads them: Japanese for "ja" and its territories ("ja_JP.UTF-8"),
// English for everything else, "C" and "POSIX" included.
Language localeLanguage(const char* lcAll, const char* lcMessages, const char* lang);

// A command-line choice ("ja", "en", or empty) wins over the profile's
// "System"/"Language" ("ja", "en", or "auto" and anything else), which wins
// over the locale.
Language chooseLanguage(std::string_view commandLine, std::string_view profileSetting, Language fromLocale);

// chooseLanguage with the profile's setting and the process's environment.
Language startLanguage(const Profile& profile, std::string_view commandLine);

} // namespace zell
