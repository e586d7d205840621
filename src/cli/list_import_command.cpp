// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/list_import_command.h"
#include "cli/output.h"

#include "records/list_test_import.h"
#include "records/test_json.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace velantis {

namespace {

enum ExitCode { Ok = 0, Usage = 2, Failed = 5 };

void Err(const QString& text) {
    PrintLine(text);
}

} // namespace

void AddListImportOptions(QCommandLineParser& parser) {
    parser.addOption(
        {QStringLiteral("rated"),
         QCoreApplication::translate(
             "Records", "import of a saved list: the rated ratio of its groups (200/5), or one "
                        "per range of groups (1-9:200/5,10-15:150/1)."),
         QStringLiteral("R")});
}

bool IsSavedListFile(const QString& path) {
    QByteArray bytes;
    return ReadImportFile(path, &bytes, nullptr) && !LooksLikeJson(bytes);
}

std::optional<ListImportOptions> ReadListImportOptions(const QCommandLineParser& parser,
                                                       const QStringList& files) {
    ListImportOptions options;
    if (parser.isSet(QStringLiteral("at"))) {
        const QString at = parser.value(QStringLiteral("at"));
        options.at = QDateTime::fromString(at, Qt::ISODateWithMs);
        if (!options.at.isValid()) {
            Err(QCoreApplication::translate(
                    "Records", "velantis-cli records import: --at takes a time in ISO 8601 such as "
                               "2026-12-09T14:35:00, not \"%1\"")
                    .arg(at));
            return std::nullopt;
        }
    }
    if (parser.isSet(QStringLiteral("rated"))) {
        QString problem;
        const auto rated = ParseRatedRatios(parser.value(QStringLiteral("rated")), &problem);
        if (!rated) {
            Err(QCoreApplication::translate("Records", "velantis-cli records import: --rated: %1")
                    .arg(problem));
            return std::nullopt;
        }
        options.rated = *rated;
        return options;
    }
    for (const QString& file : files) {
        if (IsSavedListFile(file)) {
            Err(QCoreApplication::translate(
                    "Records",
                    "velantis-cli records import: %1: a saved list, which does not hold the "
                    "rated ratio: give it with --rated R (200/5, or 1-9:200/5,10-15:150/1)")
                    .arg(QDir::toNativeSeparators(file)));
            return std::nullopt;
        }
    }
    return options;
}

int ImportSavedList(Archive& archive, const QString& path, const ListImportOptions& options) {
    const ListTestImport result = ImportListFile(archive, path, options.rated, options.at);
    if (const QString notice = archive.takeNotice(); !notice.isEmpty())
        Err(notice);
    const QString file = QDir::toNativeSeparators(path);
    const QString where = QDir::toNativeSeparators(archive.path());
    switch (result.outcome) {
    case ListTestImport::Outcome::Imported:
        Err(QCoreApplication::translate("Records",
                                        "%1: imported as test %2 in %3 (a saved list of %4 groups)")
                .arg(file, QString::number(result.number), where, QString::number(result.groups)));
        return Ok;
    case ListTestImport::Outcome::Unreadable:
        Err(QCoreApplication::translate("Records",
                                        "velantis-cli records import: cannot read %1: %2")
                .arg(file, result.file.text()));
        return Usage;
    case ListTestImport::Outcome::Refused:
        Err(QCoreApplication::translate(
                "Records",
                "velantis-cli records import: %1: line %2: %3; nothing of the file was kept")
                .arg(file, QString::number(result.problem.line), result.problem.reason));
        return Usage;
    case ListTestImport::Outcome::NotArchived:
        break;
    }
    Err(QCoreApplication::translate("Records",
                                    "velantis-cli records import: %1 was not imported into %2: %3")
            .arg(file, where, result.archive.text()));
    return Failed;
}

} // namespace velantis
