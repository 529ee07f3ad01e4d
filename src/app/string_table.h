// Every UI text by number, named in text_ids.h. The program's own table holds
// the string numbers (20000-21599), and the menu and dialog texts keyed by
// their command and control numbers. An optional replacement table
// ("pelio.txt" beside the program, lines NUMBER<TAB>TEXT with \n, \t and
// \\ escapes) may replace the texts that go through loadText.
#pragma once

#include <QString>

#include <string>

#include "app/text_ids.h"

namespace zell {

class Profile;

inline constexpr char kStringLibraryName[] = "pelio.txt";
inline constexpr char kStringLibraryVersion[] = "v010300";
// The replacement table's own version text; the program has none.
inline constexpr int kStringLibraryVersionId = 20000;

// The program's own text; empty when the table lacks the number.
QString ownText(int id);
// From the replacement table when one is loaded and holds the number,
// otherwise the program's own text.
QString loadText(int id);

// Reads "are you"/"wota?" and, when it is exactly "yes", loads the table at
// `path`; an old or missing version text is warned about.
// A missing or unreadable table is silent.
void loadStringLibrary(const Profile& profile, const std::string& path);
void freeStringLibrary();
bool stringLibraryLoaded();

} // namespace zell
