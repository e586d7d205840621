// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/interface_language.h"

#include <QSettings>

namespace velantis {

namespace {

const char* const LanguageKey = "language";

QSettings ProgramSettings() {
    return QSettings(QStringLiteral("velantis"), QStringLiteral("velantis"));
}

} // namespace

Language WindowsLanguage(std::optional<Language> fromArguments) {
    if (fromArguments)
        return *fromArguments;
    if (const auto chosen = ParseLanguage(ProgramSettings().value(LanguageKey).toString()))
        return *chosen;
    return LanguageOfLocale(QLocale::system(), CLocaleLanguage::Chinese);
}

void RememberWindowsLanguage(Language language) {
    ProgramSettings().setValue(LanguageKey, LanguageCode(language));
}

QList<Catalogue> WindowCatalogues() {
    return {{QStringLiteral(":/i18n/velantis_en"), Language::Chinese},
            {QStringLiteral(":/i18n/velantis-report_en"), Language::Chinese},
            {QStringLiteral(":/i18n/velantis-core_zh_CN"), Language::English}};
}

} // namespace velantis
