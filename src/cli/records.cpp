// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-cli records: list, show, export and delete the tests kept in the record database.
#include "cli/records.h"
#include "cli/output.h"

#include "cli/list_import_command.h"
#include "cli/remote.h"
#include "cli/sync.h"

#include "records/csv_export.h"
#include "records/data_file.h"
#include "records/group_ranges.h"
#include "records/history.h"
#include "records/test_json.h"
#include "report/error_curve.h"
#include "report/report_pages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QPageLayout>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace velantis {

namespace {

enum ExitCode { Ok = 0, Usage = 2, Failed = 5 };

void Err(const QString& text) {
    PrintLine(text);
}

// Writes to standard output; false with the system's reason told when not all went out.
bool Out(const QByteArray& bytes) {
    errno = 0;
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0)
        return true;
    Err(QCoreApplication::translate("Records",
                                    "velantis-cli records: cannot write standard output: %1")
            .arg(errno != 0 ? qt_error_string(errno)
                            : QCoreApplication::translate("Records", "write error")));
    return false;
}

QString Where(const Archive& archive) {
    return QDir::toNativeSeparators(archive.path());
}

// Tells what the archive did beside its work (a file renamed aside, one opened read only, a new
// one started), once.
void TellNotice(Archive& archive) {
    if (const QString notice = archive.takeNotice(); !notice.isEmpty())
        Err(notice);
}

// A test or a database that is not there is the caller's mistake (exit 2); a database that
// cannot be opened or written, a failure (exit 5).
int Fail(Archive& archive, const QString& command, const ArchiveError& error) {
    TellNotice(archive);
    if (error.reason == ArchiveError::Reason::NoDatabase)
        Err(QStringLiteral("velantis-cli %1: %2").arg(command, error.text()));
    else
        Err(QStringLiteral("velantis-cli %1: %2: %3").arg(command, Where(archive), error.text()));
    return error.reason == ArchiveError::Reason::NoSuchTest ||
                   error.reason == ArchiveError::Reason::NoDatabase ||
                   error.reason == ArchiveError::Reason::Refused
               ? Usage
               : Failed;
}

// The options each command takes beside --records (and --help).
bool TakesOption(const QString& action, const QString& option) {
    static const QHash<QString, QStringList> taken = {
        {QStringLiteral("list"), {QStringLiteral("filter")}},
        {QStringLiteral("show"), {}},
        {QStringLiteral("export"),
         {QStringLiteral("csv"), QStringLiteral("json"), QStringLiteral("o"),
          QStringLiteral("output"), QStringLiteral("report"), QStringLiteral("curve")}},
        {QStringLiteral("delete"), {}},
        {QStringLiteral("import"), {QStringLiteral("rated"), QStringLiteral("at")}},
        {QStringLiteral("split"), {QStringLiteral("at"), QStringLiteral("by-setting")}},
        {QStringLiteral("merge"), {}},
        {QStringLiteral("sync"), {QStringLiteral("server")}},
    };
    return option == QLatin1String("records") || option == QLatin1String("help") ||
           taken.value(action).contains(option);
}

// "complete", or the groups stored of those announced and why the download ended early.
QString EndingField(const TestRecord& t) {
    if (t.ending == DownloadEnd::EndFrame)
        return EndingName(t.ending);
    return QStringLiteral("%1/%2 %3")
        .arg(QString::number(t.stored),
             t.announced < 0 ? QStringLiteral("?") : QString::number(t.announced),
             EndingName(t.ending));
}

} // namespace

QString EscapedField(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString RecordsListLine(const TestRecord& t) {
    // Joined, never substituted in turn: a "%1" typed into a field stays as it is.
    const QStringList fields = {
        QString::number(t.number), t.ended.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        t.info.station, t.info.serial, QString::number(t.stored),
        QStringLiteral("合格 ") + QString::number(t.pass),
        QStringLiteral("超差 ") + QString::number(t.fail), EndingField(t),
        QStringLiteral("%1-%2").arg(t.firstGroup).arg(t.lastGroup), t.download,
        // The identity the department's server knows the test by.
        t.uuid, t.originPc, t.originUser, QString::number(t.revision)};
    QStringList escaped;
    for (const QString& field : fields)
        escaped << EscapedField(field);
    return escaped.join(u'\t');
}

TestRecord DownloadRecord(const Monitor& monitor, DownloadEnd how, const TestInfo& info,
                          const QString& port) {
    TestRecord record;
    record.started = monitor.downloadStarted();
    record.ended = QDateTime::currentDateTime();
    record.port = port;
    record.ending = how;
    record.announced = monitor.announcedGroups();
    record.stored = monitor.groupsStored();
    record.info = info;
    return record;
}

qint64 ArchiveDownload(const QString& path, const Monitor& monitor, DownloadEnd how,
                       const TestInfo& info, const QString& port, TestRecord* kept) {
    if (monitor.groupsStored() == 0)
        return 0;
    Archive archive(path);
    ArchiveError error;
    const TestRecord record = DownloadRecord(monitor, how, info, port);
    if (kept)
        *kept = record;
    const auto number = archive.add(record, monitor.store(), &error);
    TellNotice(archive);
    if (number)
        Err(QCoreApplication::translate("Records", "archived as test %1 in %2")
                .arg(QString::number(*number), Where(archive)));
    else
        Err(QCoreApplication::translate(
                "Records", "velantis-cli download: the test was not archived in %1: %2")
                .arg(Where(archive), error.text()));
    return number.value_or(0);
}

int SplitTest(Archive& archive, const QString& command, qint64 number,
              std::optional<QList<int>> cuts) {
    ArchiveError error;
    if (!cuts) {
        // Where the rated setting changes from one group to the next.
        QList<ArchivedGroup> groups;
        if (!archive.find(number, nullptr, &groups, &error))
            return Fail(archive, command, error);
        RecordStore store;
        FillStore(groups, &store);
        cuts.emplace();
        const QList<GroupRange> ranges = ProposeRanges(SettingsOf(store));
        for (qsizetype i = 1; i < ranges.size(); ++i)
            cuts->append(ranges[i].first);
        if (cuts->isEmpty()) {
            TellNotice(archive);
            Err(QCoreApplication::translate("Records",
                                            "test %1 holds groups of one setting: not split")
                    .arg(number));
            return Ok;
        }
    }
    const auto parts = archive.split(number, *cuts, &error);
    if (!parts)
        return Fail(archive, command, error);
    TellNotice(archive);
    QStringList numbers;
    for (const qint64 n : *parts)
        numbers << QString::number(n);
    Err(QCoreApplication::translate("Records", "test %1 split into tests %2")
            .arg(QString::number(number), numbers.join(QStringLiteral(", "))));
    return Ok;
}

namespace {

// `records import FILE...`: each file's test kept as a new test (a saved list with the rated
// ratios given), or told and left out; the worst outcome decides the exit code (a refused file
// 2, a database failure 5, which ends the import).
int ImportFiles(Archive& archive, const QStringList& files, const ListImportOptions& lists) {
    int code = Ok;
    for (const QString& path : files) {
        if (IsSavedListFile(path)) {
            code = std::max(code, ImportSavedList(archive, path, lists));
            if (code == Failed)
                return Failed;
            continue;
        }
        const TestImport result = ImportTestFile(archive, path);
        TellNotice(archive);
        const QString file = QDir::toNativeSeparators(path);
        switch (result.outcome) {
        case TestImport::Outcome::Imported:
            Err(QCoreApplication::translate("Records", "%1: imported as test %2 in %3")
                    .arg(file, QString::number(result.number), Where(archive)));
            break;
        case TestImport::Outcome::AlreadyKept:
            Err(QCoreApplication::translate("Records",
                                            "%1: the same test is kept already as test %2; skipped")
                    .arg(file, QString::number(result.number)));
            break;
        case TestImport::Outcome::Unreadable:
            Err(QCoreApplication::translate("Records",
                                            "velantis-cli records import: cannot read %1: %2")
                    .arg(file, result.file.text()));
            code = std::max<int>(code, Usage);
            break;
        case TestImport::Outcome::NotJson:
            Err(QCoreApplication::translate("Records",
                                            "velantis-cli records import: %1: not a test file "
                                            "(JSON)")
                    .arg(file));
            code = std::max<int>(code, Usage);
            break;
        case TestImport::Outcome::Refused:
            Err(QStringLiteral("velantis-cli records import: %1: %2: %3")
                    .arg(file, result.problem.place, result.problem.reason));
            code = std::max<int>(code, Usage);
            break;
        case TestImport::Outcome::NotArchived:
            Err(QCoreApplication::translate("Records",
                                            "velantis-cli records import: %1 was not imported "
                                            "into %2: %3")
                    .arg(file, Where(archive), result.archive.text()));
            return Failed;
        }
    }
    return code;
}

} // namespace

int RunRecords(const QStringList& args) {
    if (args.contains(QStringLiteral("--remote")))
        return RunRemoteRecords(args);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "velantis-cli records list [--filter TEXT] | show N | export N --csv [-o FILE] | "
        "export N --json [-o FILE] | export N --report FILE | export N --curve FILE | delete N "
        "| import FILE... [--rated R] [--at TIME] | split N --at G[,G...] | split N "
        "--by-setting | merge N M... | sync [--server CONNINFO]\n"
        "(list, show and export with --remote: the department's server; records list --remote "
        "--help)"));
    parser.addOption({QStringLiteral("records"),
                      QCoreApplication::translate("Records", "The record database (default %1).")
                          .arg(QDir::toNativeSeparators(Archive::DefaultPath())),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("filter"),
                      QCoreApplication::translate(
                          "Records", "list: only tests whose station, equipment, serial or "
                                     "remarks hold TEXT."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("csv"),
                      QCoreApplication::translate("Records", "export: the groups as CSV.")});
    parser.addOption(
        {QStringLiteral("json"),
         QCoreApplication::translate("Records", "export: the whole test as JSON (for import).")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QCoreApplication::translate("Records", "export --csv, --json: write to "
                                                             "FILE instead of standard output."),
                      QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("report"),
         QCoreApplication::translate("Records", "export: write the test report as a PDF file."),
         QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("curve"),
         QCoreApplication::translate(
             "Records", "export: write the error curve (F.Er against the load) as a PNG file."),
         QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("at"),
         QCoreApplication::translate(
             "Records", "split: the groups each starting a test of its own, by commas. import: "
                        "when a saved list's test was made (ISO 8601, 2026-12-09T14:35:00; "
                        "default: the file's modification time)."),
         QStringLiteral("G[,G...] | TIME")});
    AddListImportOptions(parser);
    parser.addOption({QStringLiteral("by-setting"),
                      QCoreApplication::translate(
                          "Records", "split: a test for each run of groups of one setting.")});
    AddServerOption(parser);
    parser.addHelpOption();
    if (!parser.parse(QStringList{QStringLiteral("velantis-cli")} + args)) {
        Err(QStringLiteral("velantis-cli records: %1").arg(parser.errorText()));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("help")))
        return Out(parser.helpText().toUtf8()) ? Ok : Failed;
    const QStringList words = parser.positionalArguments();
    const QString action = words.value(0);
    const QString command = QStringLiteral("records ") + action;
    const bool numbered = action == QLatin1String("show") || action == QLatin1String("export") ||
                          action == QLatin1String("delete") || action == QLatin1String("split");
    const bool import = action == QLatin1String("import");
    const bool merge = action == QLatin1String("merge");
    bool isNumber = false;
    const qint64 number = words.value(1).toLongLong(&isNumber);
    QList<qint64> numbers;
    for (const QString& word : words.mid(1)) {
        bool ok = false;
        numbers << word.toLongLong(&ok);
        if (!ok)
            numbers.clear();
        if (!ok)
            break;
    }
    if (import ? words.size() < 2
        : merge
            ? words.size() < 3 || numbers.size() != words.size() - 1
            : (action != QLatin1String("list") && action != QLatin1String("sync") && !numbered) ||
                  words.size() != (numbered ? 2 : 1) || (numbered && !isNumber)) {
        Err(QCoreApplication::translate("Records", "velantis-cli records: give list, show N, "
                                                   "export N, delete N or import FILE..."));
        return Usage;
    }
    for (const QString& option : parser.optionNames()) {
        if (!TakesOption(action, option)) {
            Err(QCoreApplication::translate("Records", "velantis-cli %1: takes no option %2")
                    .arg(command,
                         (option.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) +
                             option));
            return Usage;
        }
    }
    if (action == QLatin1String("sync"))
        return SyncRecords(parser.isSet(QStringLiteral("records"))
                               ? parser.value(QStringLiteral("records"))
                               : Archive::DefaultPath(),
                           ServerConnection(parser), command, true);
    const bool csv = parser.isSet(QStringLiteral("csv"));
    const bool json = parser.isSet(QStringLiteral("json"));
    const QString report = parser.value(QStringLiteral("report"));
    const QString curve = parser.value(QStringLiteral("curve"));
    // One of --csv, --json and --report; --curve goes with any of them or alone.
    const int modes = int(csv) + int(json) + int(!report.isEmpty());
    if (action == QLatin1String("export") && (modes > 1 || (modes == 0 && curve.isEmpty()))) {
        Err(QCoreApplication::translate(
            "Records", "velantis-cli records export: give --csv, --json or --report FILE"));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("output")) && !csv && !json) {
        Err(QCoreApplication::translate(
            "Records", "velantis-cli records export: -o FILE goes with --csv or --json"));
        return Usage;
    }

    Archive archive(parser.isSet(QStringLiteral("records"))
                        ? parser.value(QStringLiteral("records"))
                        : Archive::DefaultPath());
    ArchiveError error;
    if (action == QLatin1String("list")) {
        QList<TestRecord> tests;
        if (!archive.list(&tests, &error))
            return Fail(archive, command, error);
        TellNotice(archive);
        QByteArray text;
        const QString filter = parser.value(QStringLiteral("filter"));
        for (const TestRecord& t : tests) {
            if (MatchesFilter(t, filter))
                text += RecordsListLine(t).toUtf8() + '\n';
        }
        return Out(text) ? Ok : Failed;
    }
    if (import) {
        const auto lists = ReadListImportOptions(parser, words.mid(1));
        return lists ? ImportFiles(archive, words.mid(1), *lists) : Usage;
    }
    if (action == QLatin1String("split")) {
        const bool bySetting = parser.isSet(QStringLiteral("by-setting"));
        std::optional<QList<int>> cuts;
        if (!bySetting) {
            cuts.emplace();
            for (const QString& g : parser.value(QStringLiteral("at")).split(QLatin1Char(','))) {
                bool ok = false;
                cuts->append(g.trimmed().toInt(&ok));
                if (!ok)
                    cuts.reset();
                if (!ok)
                    break;
            }
        }
        if (bySetting == parser.isSet(QStringLiteral("at")) || (!bySetting && !cuts)) {
            Err(QCoreApplication::translate(
                "Records", "velantis-cli records split: give --at G[,G...] or --by-setting"));
            return Usage;
        }
        return SplitTest(archive, command, number, cuts);
    }
    if (merge) {
        const auto kept = archive.merge(numbers, &error);
        if (!kept)
            return Fail(archive, command, error);
        TellNotice(archive);
        QStringList named;
        for (const qint64 n : numbers)
            named << QString::number(n);
        Err(QCoreApplication::translate("Records", "tests %1 merged into test %2")
                .arg(named.join(QStringLiteral(", ")), QString::number(*kept)));
        return Ok;
    }
    if (action == QLatin1String("delete")) {
        if (!archive.remove(number, &error))
            return Fail(archive, command, error);
        TellNotice(archive);
        Err(QCoreApplication::translate("Records", "test %1 deleted").arg(number));
        return Ok;
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!archive.find(number, &test, &groups, &error))
        return Fail(archive, command, error);
    TellNotice(archive);
    return WriteTest(command, test, groups,
                     {action == QLatin1String("show"), csv, json, report, curve,
                      parser.value(QStringLiteral("output"))});
}

int WriteTest(const QString& command, const TestRecord& test, const QList<ArchivedGroup>& groups,
              const TestOutput& what) {
    RecordStore store;
    FillStore(groups, &store);
    if (what.show) {
        // The list as the download left it, through the same refresh as after a download.
        HistoryList list(HistoryFolder(QCoreApplication::applicationDirPath()));
        int first = 0, last = 0;
        list.RefreshHistory(store, first, last);
        return Out(DataFileBytes(list.listText())) ? Ok : Failed;
    }
    const QString& curve = what.curve;
    const QString& report = what.report;
    if (!curve.isEmpty()) {
        const QByteArray png = CurveFilePng(MakeTestReport(store, test.info, {}));
        QString why;
        if (png.isEmpty() || !SaveFileBytes(curve, png, &why)) {
            Err(QCoreApplication::translate("Records",
                                            "velantis-cli %1: cannot write the error curve %2: %3")
                    .arg(command, curve, png.isEmpty() ? ReportFontProblem() : why));
            return Failed;
        }
        if (!what.csv && !what.json && report.isEmpty())
            return Ok;
    }
    if (what.json) {
        const QByteArray bytes = TestJson(test, groups);
        const QString& output = what.output;
        if (output.isEmpty())
            return Out(bytes) ? Ok : Failed;
        QString why;
        if (!SaveFileBytes(output, bytes, &why)) {
            Err(QCoreApplication::translate("Records", "velantis-cli %1: cannot write %2: %3")
                    .arg(command, output, why));
            return Failed;
        }
        return Ok;
    }
    if (what.csv) {
        const QString& output = what.output;
        if (output.isEmpty())
            return Out(CsvBytes(store, test.info.accuracy, test.info.guardBand)) ? Ok : Failed;
        QString why;
        if (!SaveCsvFile(output, store, test.info.accuracy, test.info.guardBand, &why)) {
            Err(QCoreApplication::translate("Records", "velantis-cli %1: cannot write %2: %3")
                    .arg(command, output, why));
            return Failed;
        }
        return Ok;
    }
    // The report carries the test's JSON, the same bytes export --json writes.
    const QByteArray pdf =
        PagesPdf(ReportDrawer(ArchivedTestReport(test, groups)), A4Paper(), PdfResolution,
                 {TestJsonFileName(test.number), TestJson(test, groups),
                  QStringLiteral("application/json")});
    QString why;
    if (pdf.isEmpty() || !SaveFileBytes(report, pdf, &why)) {
        Err(QCoreApplication::translate("Records",
                                        "velantis-cli %1: cannot write the report %2: %3")
                .arg(command, report,
                     !ReportFontProblem().isEmpty() ? ReportFontProblem()
                     : pdf.isEmpty() ? QCoreApplication::translate("Records", "no pages drawn")
                                     : why));
        return Failed;
    }
    return Ok;
}

} // namespace velantis
