// Qt's own texts (standard buttons, the file, colour and progress dialogs)
// in the interface language, so that they match the program's texts.
#pragma once

#include <QString>

namespace zell {

// Installs Qt's translation for `language` ("ja", "en", ...), replacing the
// one installed before. False when Qt has none for it; Qt's texts are then
// its English originals.
bool loadQtTranslation(const QString& language);

} // namespace zell
