// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-cli and the department's server: the schema for its administrator, and the tests on
// it listed, shown and exported as those of the record database are.
#include "cli/remote.h"
#include "cli/output.h"

#include "archive/server_archive.h"
#include "cli/records.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>

#include <cerrno>
#include <cstdio>

namespace velantis {

namespace {

enum ExitCode { Ok = 0, Usage = 2, Failed = 5 };

void Err(const QString& text) {
    PrintLine(text);
}

bool Out(const QByteArray& bytes, const QString& command) {
    errno = 0;
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0)
        return true;
    Err(QCoreApplication::translate("Remote", "velantis-cli %1: cannot write standard output: %2")
            .arg(command, errno != 0 ? qt_error_string(errno)
                                     : QCoreApplication::translate("Remote", "write error")));
    return false;
}

// A test that is not on the server is the caller's mistake (exit 2); a server that cannot be
// reached or refuses, a failure (exit 5).
int Fail(const ServerArchive& server, const QString& command, const ServerError& error) {
    Err(QStringLiteral("velantis-cli %1: %2: %3").arg(command, server.where(), error.text()));
    return error.reason == ServerError::Reason::NoSuchTest ? Usage : Failed;
}

} // namespace

void AddServerOption(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("server"),
                      QCoreApplication::translate(
                          "Remote", "The department's server as a libpq connection string "
                                    "(default: the one chosen in the program)."),
                      QStringLiteral("CONNINFO")});
}

QString ServerConnection(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("server")))
        return parser.value(QStringLiteral("server")).trimmed();
    const QSettings settings(QStringLiteral("velantis"), QStringLiteral("velantis"));
    return RememberedServer(settings).trimmed();
}

QString NoServerText(const QString& command) {
    return QCoreApplication::translate(
               "Remote", "velantis-cli %1: no server: give --server CONNINFO (e.g. \"host=db "
                         "dbname=velantis user=zhang sslmode=verify-full\") or choose one in "
                         "the program (File → Server…)")
        .arg(command);
}

int RunServer(const QStringList& args) {
    if (args != QStringList{QStringLiteral("schema")}) {
        Err(QCoreApplication::translate(
            "Remote", "velantis-cli server: give schema (prints server.sql for the server's "
                      "administrator)"));
        return Usage;
    }
    const QString sql = ServerArchive::SchemaSql();
    if (sql.isEmpty()) {
        Err(QCoreApplication::translate("Remote", "velantis-cli server schema: server.sql is "
                                                  "missing from this build"));
        return Failed;
    }
    return Out(sql.toUtf8(), QStringLiteral("server schema")) ? Ok : Failed;
}

int RunRemoteRecords(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "velantis-cli records list --remote [--filter TEXT] | show --remote UUID | export "
        "--remote UUID --csv|--json [-o FILE] | export --remote UUID --report FILE"));
    parser.addOption(
        {QStringLiteral("remote"),
         QCoreApplication::translate("Remote", "The tests on the department's "
                                               "server rather than those kept here.")});
    AddServerOption(parser);
    parser.addOption({QStringLiteral("filter"),
                      QCoreApplication::translate(
                          "Remote", "list: only tests whose station, equipment, serial or "
                                    "remarks hold TEXT (from three characters on anywhere in "
                                    "them, below at their start)."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("csv"),
                      QCoreApplication::translate("Remote", "export: the groups as CSV.")});
    parser.addOption({QStringLiteral("json"),
                      QCoreApplication::translate("Remote", "export: the whole test as JSON.")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QCoreApplication::translate("Remote", "export --csv, --json: write to FILE "
                                                            "instead of standard output."),
                      QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("report"),
         QCoreApplication::translate("Remote", "export: write the test report as a PDF file."),
         QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("curve"),
         QCoreApplication::translate("Remote", "export: write the error curve as a PNG file."),
         QStringLiteral("FILE")});
    parser.addHelpOption();
    if (!parser.parse(QStringList{QStringLiteral("velantis-cli")} + args)) {
        Err(QStringLiteral("velantis-cli records: %1").arg(parser.errorText()));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("help")))
        return Out(parser.helpText().toUtf8(), QStringLiteral("records")) ? Ok : Failed;
    const QStringList words = parser.positionalArguments();
    const QString action = words.value(0);
    const QString command = QStringLiteral("records ") + action;
    const bool list = action == QLatin1String("list");
    const bool show = action == QLatin1String("show");
    const bool exporting = action == QLatin1String("export");
    if (!(list && words.size() == 1) && !((show || exporting) && words.size() == 2)) {
        Err(QCoreApplication::translate(
            "Remote", "velantis-cli records: with --remote give list, show UUID or export UUID"));
        return Usage;
    }
    const bool csv = parser.isSet(QStringLiteral("csv"));
    const bool json = parser.isSet(QStringLiteral("json"));
    const QString report = parser.value(QStringLiteral("report"));
    const QString curve = parser.value(QStringLiteral("curve"));
    const int modes = int(csv) + int(json) + int(!report.isEmpty());
    const bool exportOptions =
        modes > 0 || !curve.isEmpty() || parser.isSet(QStringLiteral("output"));
    if ((list && exportOptions) ||
        (show && (exportOptions || parser.isSet(QStringLiteral("filter")))) ||
        (exporting && parser.isSet(QStringLiteral("filter")))) {
        Err(QCoreApplication::translate("Remote",
                                        "velantis-cli %1: an option that goes with another "
                                        "command (see velantis-cli records --help)")
                .arg(command));
        return Usage;
    }
    if (exporting && (modes > 1 || (modes == 0 && curve.isEmpty()))) {
        Err(QCoreApplication::translate(
            "Remote", "velantis-cli records export: give --csv, --json or --report FILE"));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("output")) && !csv && !json) {
        Err(QCoreApplication::translate(
            "Remote", "velantis-cli records export: -o FILE goes with --csv or --json"));
        return Usage;
    }
    const QString connInfo = ServerConnection(parser);
    if (connInfo.isEmpty()) {
        Err(NoServerText(command));
        return Usage;
    }

    ServerArchive server(connInfo);
    ServerError error;
    if (list) {
        // Page by page, each written as it comes.
        const QString filter = parser.value(QStringLiteral("filter"));
        std::optional<ServerPageKey> after;
        for (;;) {
            QList<TestRecord> tests;
            if (!server.page(filter, after, ServerArchive::PageSize, &tests, &error))
                return Fail(server, command, error);
            if (tests.isEmpty())
                return Ok;
            QByteArray text;
            for (const TestRecord& t : tests)
                text += RecordsListLine(t).toUtf8() + '\n';
            if (!Out(text, command))
                return Failed;
            after = ServerPageKey{tests.last().started, tests.last().uuid};
        }
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!server.find(words.value(1), &test, &groups, &error))
        return Fail(server, command, error);
    return WriteTest(command, test, groups,
                     {show, csv, json, report, curve, parser.value(QStringLiteral("output"))});
}

} // namespace velantis
