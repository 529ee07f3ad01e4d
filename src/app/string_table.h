// Every UI text by number, named in text_ids.h, in Japanese and English.
// The program's own tables are data embedded in the program
// (resources/texts/ja.txt and en.txt); they hold the string numbers
// (20000-21599) and the menu and dialog texts keyed by their command and
// control numbers. An optional replacement table ("pelio.txt", lines
// NUMBER<TAB>TEXT with \n, \t and \\ escapes, the format of the own tables)
// may replace any of them.
#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

#include "app/language.h"
#include "app/text_ids.h"

namespace zell {

class Profile;

inline constexpr char kStringLibraryName[] = "pelio.txt";
inline constexpr char kStringLibraryVersion[] = "v010300";
// The replacement table's own version text; the program has none.
inline constexpr int kStringLibraryVersionId = 20000;

// The language of ownText and loadText; Japanese until set.
void setTextLanguage(Language language);
Language textLanguage();

// A text of the program's own table for `language`; empty when it lacks the
// number.
QString builtinText(Language language, int id);
// The numbers of that table, ascending.
std::vector<int> builtinTextIds(Language language);

// The printf conversions of a text in order, each by its length modifier
// and letter ("d", "s", "X", "lld"); "%%" is none.
std::vector<std::string> printfConversions(std::string_view text);

// The program's own text in the current language.
QString ownText(int id);
// From the replacement table when one is loaded and holds the number,
// otherwise the program's own text. A replacement whose printf conversions
// differ from the own text's is passed over: formatting it would read
// arguments that are not there.
QString loadText(int id);

// Where the replacement table is: the user's config folder
// ($XDG_CONFIG_HOME/zell/) when it has one, else beside the program; the
// config folder's path when neither has.
std::string stringLibraryPath(const std::string& programDir);

// Reads "are you"/"wota?" and, when it is exactly "yes", loads the table at
// `path`; an old or missing version text is warned about.
// A missing or unreadable table is silent.
void loadStringLibrary(const Profile& profile, const std::string& path);
void freeStringLibrary();
bool stringLibraryLoaded();

} // namespace zell
