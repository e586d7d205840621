// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The language a program speaks: Chinese or English. The windows are written in Chinese and
// translated to English; velantis-cli is written in English and translated to Chinese.
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace velantis {

enum class Language { Chinese, English };

// "zh" or "en": the values of --lang and of the remembered setting.
QString LanguageCode(Language language);
std::optional<Language> ParseLanguage(const QString& code);

// What the C/POSIX locale means: the windows have always been Chinese there; the command-line
// tool's output has always been English there (and scripts read it).
enum class CLocaleLanguage { Chinese, English };
Language LanguageOfLocale(const QLocale& locale, CLocaleLanguage cLocale);

// The chosen language, or the system locale's where none was chosen.
Language ChosenOrLocale(std::optional<Language> chosen, CLocaleLanguage cLocale);

// The value of --lang (as "--lang X" or "--lang=X") among a program's arguments (the program's
// name not among them), and the other arguments. `error` is set for a missing or unknown value.
struct LanguageArgument {
    bool given = false;
    std::optional<Language> language;
    QString error;
    QStringList others;
};
LanguageArgument FindLanguageArgument(const QStringList& args);
// The same, looked for before the application object exists so that --help already speaks it.
LanguageArgument FindLanguageArgument(int argc, const char* const* argv);

// A compiled translation among the program's resources: its path without ".qm" (e.g.
// ":/i18n/velantis_en") and the language its texts are written in.
struct Catalogue {
    QString path;
    Language written;
};

// Installs on the application object the catalogues whose texts are not written in `language`,
// and Qt's own dialog texts for `language` (not for the system's locale). Returns the catalogues
// that could not be loaded (an empty list when all were).
QStringList InstallTranslations(Language language, const QList<Catalogue>& catalogues);

} // namespace velantis
