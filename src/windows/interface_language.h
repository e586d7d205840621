// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The language of the windows: Chinese (the language they are written in) or English.
#include "i18n/language.h"

#include <optional>

namespace velantis {

// --lang when given, else the language chosen in the windows' Language menu, else the locale's
// (Chinese in a Chinese or C/POSIX locale, English otherwise).
Language WindowsLanguage(std::optional<Language> fromArguments);

// The language the menu chose: the windows speak it from the next start on.
void RememberWindowsLanguage(Language language);

// The translations the desktop program installs: its windows', the test report's, and the
// messages of the core (written in English, shown by the program's command line).
QList<Catalogue> WindowCatalogues();

} // namespace velantis
