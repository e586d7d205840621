// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/interface_language.h"

#include "windows/window_services.h"

namespace velantis {

namespace {

const char* const LanguageKey = "language";

} // namespace

Language WindowsLanguage(std::optional<Language> fromArguments) {
    return ChosenOrLocale(fromArguments
                              ? fromArguments
                              : ParseLanguage(ProgramSettings().value(LanguageKey).toString()),
                          CLocaleLanguage::Chinese);
}

void RememberWindowsLanguage(Language language) {
    ProgramSettings().setValue(LanguageKey, LanguageCode(language));
}

QList<Catalogue> WindowCatalogues() {
    return {{QStringLiteral(":/i18n/velantis_en"), Language::Chinese},
            {QStringLiteral(":/i18n/velantis-report_en"), Language::Chinese},
            {QStringLiteral(":/i18n/velantis-core_zh_CN"), Language::English},
            {QStringLiteral(":/i18n/velantis-archive_zh_CN"), Language::English}};
}

} // namespace velantis
