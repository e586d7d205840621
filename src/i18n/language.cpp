// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace velantis {

QString LanguageCode(Language language) {
    return language == Language::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
}

std::optional<Language> ParseLanguage(const QString& code) {
    if (code == QLatin1String("zh"))
        return Language::Chinese;
    if (code == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

Language LanguageOfLocale(const QLocale& locale, CLocaleLanguage cLocale) {
    if (locale.language() == QLocale::Chinese)
        return Language::Chinese;
    if (locale.language() == QLocale::C)
        return cLocale == CLocaleLanguage::Chinese ? Language::Chinese : Language::English;
    return Language::English;
}

Language ChosenOrLocale(std::optional<Language> chosen, CLocaleLanguage cLocale) {
    return chosen ? *chosen : LanguageOfLocale(QLocale::system(), cLocale);
}

LanguageArgument FindLanguageArgument(const QStringList& args) {
    LanguageArgument found;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString value;
        if (args[i] == QLatin1String("--lang")) {
            value = i + 1 < args.size() ? args[++i] : QString();
        } else if (args[i].startsWith(QLatin1String("--lang="))) {
            value = args[i].mid(7);
        } else {
            found.others << args[i];
            continue;
        }
        found.given = true;
        found.language = ParseLanguage(value);
        found.error = found.language ? QString()
                                     : QStringLiteral("--lang takes zh or en, not '%1'").arg(value);
    }
    return found;
}

LanguageArgument FindLanguageArgument(int argc, const char* const* argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return FindLanguageArgument(args);
}

QStringList InstallTranslations(Language language, const QList<Catalogue>& catalogues) {
    QStringList missing;
    const auto install = [](const QString& name, const QString& folder) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(name, folder) && QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
        return false;
    };
    for (const Catalogue& catalogue : catalogues)
        if (catalogue.written != language && !install(catalogue.path, QString()))
            missing << catalogue.path;
    // Qt's own texts are English; Chinese ones come from Qt's translations folder, or from a
    // translations folder beside the program where Qt is shipped with it (Windows).
    if (language == Language::Chinese) {
        const QString name = QStringLiteral("qtbase_zh_CN");
        if (!install(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            !install(name, QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral("translations"))))
            missing << name;
    }
    return missing;
}

} // namespace velantis
