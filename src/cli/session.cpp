// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool drives the same controller, start-up, port search and timers as the main
// window, without windows.
#include "cli/session.h"
#include "cli/output.h"

#include "cli/records.h"
#include "cli/sync.h"

#include "link/monitor.h"
#include "link/monitor_timers.h"
#include "link/qt_serial_line.h"
#include "records/csv_export.h"
#include "records/data_file.h"
#include "records/live_record.h"
#include "records/logo_image.h"
#include "records/test_json.h"
#include "records/test_report.h"
#include "report/error_curve.h"
#include "report/report_pages.h"
#include "report/shown_texts.h"
#include "simulator/simulated_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QPageLayout>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velantis {

namespace {

enum ExitCode {
    Ok = 0,
    Usage = 2,
    NoInstrument = 3,
    Incomplete = 4,
    WriteFailed = 5,
    SyncWaiting = 7
};

void Err(const QString& text) {
    PrintLine(text);
}

// The reason standard output could not be written, empty while every write went through.
QString g_outFailure;

// Writes to standard output at once; false (and the system's reason kept) when the bytes did
// not all go out - a full disk, a closed terminal. A reader that closed the pipe ends the
// program by SIGPIPE, as usual for a command in a pipeline.
bool Out(const QByteArray& bytes) {
    errno = 0;
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    const bool written = std::fwrite(bytes.constData(), 1, size, stdout) == size;
    if (written && std::fflush(stdout) == 0)
        return true;
    if (g_outFailure.isEmpty())
        g_outFailure = errno != 0 ? qt_error_string(errno)
                                  : QCoreApplication::translate("Session", "write error");
    return false;
}

// A command's exit code once its output is done: a write to standard output that failed turns
// any other outcome into WriteFailed, told once.
int Finish(const QString& command, int code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (g_outFailure.isEmpty())
            g_outFailure = errno != 0 ? qt_error_string(errno)
                                      : QCoreApplication::translate("Session", "write error");
    }
    if (g_outFailure.isEmpty() || code == Usage)
        return code;
    Err(QCoreApplication::translate("Session", "velantis-cli %1: cannot write standard output: %2")
            .arg(command, g_outFailure));
    return WriteFailed;
}

// What to try when no instrument answered: the ports tried, the cable and power, the dialout
// group for a port the system refused, and the demo.
QString SearchAdvice(const Monitor::SearchReport& report) {
    QStringList tried;
    for (const auto& [n, device] : report.tried)
        tried << QStringLiteral("%1=%2").arg(n).arg(device);
    QString text =
        tried.isEmpty()
            ? QCoreApplication::translate("Session", "No serial port was found to search. ")
            : QCoreApplication::translate("Session", "Ports tried: %1. ").arg(tried.join(u' '));
    text += QCoreApplication::translate("Session",
                                        "Check the cable and that the instrument is switched on.");
    if (!report.refused.isEmpty())
        text += QCoreApplication::translate(
                    "Session", " No permission to open %1: add the user to the dialout group "
                               "(sudo usermod -aG dialout $USER) and log in again.")
                    .arg(report.refused.join(QStringLiteral(", ")));
    return text + QCoreApplication::translate(
                      "Session", " To try the program without an instrument, use --demo.");
}

// The controller with a real serial line and the programs' timers, started as the main window
// starts it. Ports given with --port are the only ones numbered; without them the system's
// serial devices are. With --demo the simulated instrument inside the program is the only
// device, as port 3.
struct Session {
    Session(bool systemPorts, const std::optional<SimulatorOptions>& demo)
        : line(demo ? std::unique_ptr<SerialLine>(std::make_unique<SimulatedLine>(*demo))
                    : std::make_unique<QtSerialLine>()),
          ports(systemPorts && !demo ? PortMap::DeviceLister(&PortMap::SystemDevices)
                                     : PortMap::DeviceLister([] { return QStringList(); })) {
        if (demo)
            ports.setOverride(SimulatedLine::DemoPort, SimulatedLine::DeviceName());
    }

    std::unique_ptr<SerialLine> line;
    PortMap ports;
    Monitor monitor{*line, ports, HistoryFolder(QCoreApplication::applicationDirPath())};
    MonitorTimers timers{monitor};
    QString lastNotice;

    // Runs the event loop until a command ends it; the requests already queued then leave the
    // line before the port closes.
    int exec() {
        const int code = QCoreApplication::exec();
        timers.stop();
        monitor.closePort();
        return code;
    }

    void start() {
        QStringList numbering;
        for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n) {
            if (const QString device = ports.deviceFor(n); !device.isEmpty())
                numbering << QStringLiteral("%1=%2").arg(n).arg(device);
        }
        Err(QCoreApplication::translate("Session", "ports: %1")
                .arg(numbering.isEmpty() ? QCoreApplication::translate("Session", "none")
                                         : numbering.join(u' ')));
        QObject::connect(&monitor, &Monitor::displayChanged, [this] {
            const QString& notice = monitor.display().portNotice;
            if (!notice.isEmpty() && notice != lastNotice) {
                lastNotice = notice;
                Err(ShownText(notice));
            }
        });
        monitor.Form_Load();
        timers.start();
    }
};

// Options both commands share; nothing when the arguments are wrong (told on stderr).
struct Common {
    QStringList ports;
    double timeout = 10;
    std::optional<SimulatorOptions> demo;
};

bool Parse(QCommandLineParser& parser, const QString& command, const QStringList& args,
           Common& common) {
    parser.setApplicationDescription(QStringLiteral("velantis-cli ") + command);
    parser.addOption({QStringLiteral("port"),
                      QCoreApplication::translate(
                          "Session", "Port N is DEVICE (repeatable), e.g. 3=/dev/ttyUSB0."),
                      QStringLiteral("N=DEVICE")});
    parser.addOption(
        {QStringLiteral("timeout"),
         QCoreApplication::translate("Session", "Seconds to wait for the instrument (default 10)."),
         QStringLiteral("S")});
    parser.addOption({QStringLiteral("demo"),
                      QCoreApplication::translate(
                          "Session", "Use the simulated instrument inside the program (port 3).")});
    parser.addOption({QStringLiteral("demo-groups"),
                      QCoreApplication::translate(
                          "Session", "Stored groups of the simulated instrument (default 200)."),
                      QStringLiteral("N")});
    parser.addHelpOption();
    if (!parser.parse(QStringList{QStringLiteral("velantis-cli")} + args)) {
        Err(QStringLiteral("velantis-cli %1: %2").arg(command, parser.errorText()));
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Out(parser.helpText().toUtf8());
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        Err(QCoreApplication::translate("Session", "velantis-cli %1: unexpected argument '%2'")
                .arg(command, parser.positionalArguments().first()));
        return false;
    }
    common.ports = parser.values(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("demo"))) {
        SimulatorOptions demo;
        bool ok = true;
        if (parser.isSet(QStringLiteral("demo-groups")))
            demo.storedGroups = parser.value(QStringLiteral("demo-groups")).toInt(&ok);
        if (!ok || demo.storedGroups < 0 || demo.storedGroups > AnswerEngine::MaxStoredGroups) {
            Err(QCoreApplication::translate(
                    "Session", "velantis-cli %1: --demo-groups takes a whole number from 0 to %2")
                    .arg(command)
                    .arg(AnswerEngine::MaxStoredGroups));
            return false;
        }
        if (!common.ports.isEmpty()) {
            Err(QCoreApplication::translate("Session", "velantis-cli %1: --demo takes no --port")
                    .arg(command));
            return false;
        }
        common.demo = demo;
    }
    if (parser.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        common.timeout = parser.value(QStringLiteral("timeout")).toDouble(&ok);
        // Beyond the range the timer interval in milliseconds would overflow and switch the
        // timeout off.
        if (!ok || !std::isfinite(common.timeout) || common.timeout <= 0 ||
            common.timeout > MaxTimeoutSeconds) {
            Err(QCoreApplication::translate(
                    "Session", "velantis-cli %1: --timeout takes a number of seconds above 0 and "
                               "at most %2, not '%3'")
                    .arg(command)
                    .arg(MaxTimeoutSeconds)
                    .arg(parser.value(QStringLiteral("timeout"))));
            return false;
        }
    }
    return true;
}

int TimeoutMsecs(const Common& common) {
    return std::max(1, static_cast<int>(std::ceil(common.timeout * 1000)));
}

bool GbkMissing(const CodecLookup& lookup) {
    if (GbkCodecAvailable(lookup))
        return false;
    Err(QStringLiteral("velantis-cli: ") + NoGbkCodecMessage());
    return true;
}

bool ApplyPorts(Session& s, const Common& common, const QString& command) {
    for (const QString& mapping : common.ports) {
        const QString error = s.ports.addPortMapping(mapping);
        if (!error.isEmpty()) {
            Err(QStringLiteral("velantis-cli %1: %2").arg(command, error));
            return false;
        }
    }
    return true;
}

#ifdef Q_OS_UNIX
// The write end of the pipe that carries SIGTERM and SIGINT into the event loop.
int g_stopPipe = -1;

void OnStopSignal(int signal) {
    // Only async-signal-safe calls here: the signal's number goes down the pipe.
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe, &number, 1);
    errno = saved;
}

// SIGTERM and SIGINT, while an object of this class lives, reach `stopped` from the event loop.
// Without a pipe (no descriptors left) the signals keep their usual effect.
class StopSignals {
public:
    explicit StopSignals(std::function<void(int)> stopped) : stopped_(std::move(stopped)) {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        for (int end : ends) {
            ::fcntl(end, F_SETFD, FD_CLOEXEC);
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        }
        read_ = ends[0];
        g_stopPipe = ends[1];
        notifier_ = std::make_unique<QSocketNotifier>(read_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            unsigned char number = 0;
            while (::read(read_, &number, 1) == 1)
                stopped_(number);
        });
        struct sigaction action {};
        action.sa_handler = &OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int i = 0; i < 2; ++i) {
            installed_[i] = ::sigaction(Signals[i], &action, &before_[i]) == 0;
            // A signal ignored when the tool started (nohup, a background job) stays ignored.
            if (installed_[i] && before_[i].sa_handler == SIG_IGN) {
                ::sigaction(Signals[i], &before_[i], nullptr);
                installed_[i] = false;
            }
        }
    }
    ~StopSignals() {
        restore();
        notifier_.reset();
        if (read_ >= 0) {
            ::close(read_);
            ::close(std::exchange(g_stopPipe, -1));
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signals' effect as before, so that raising one now does what it did.
    void restore() {
        for (int i = 0; i < 2; ++i) {
            if (std::exchange(installed_[i], false))
                ::sigaction(Signals[i], &before_[i], nullptr);
        }
    }

private:
    static constexpr int Signals[2] = {SIGTERM, SIGINT};
    std::function<void(int)> stopped_;
    int read_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction before_[2]{};
    bool installed_[2] = {false, false};
};
#endif

QString LiveLine(const DisplayState& d) {
    auto cell = [](const QString& text) { return text.trimmed().rightJustified(8); };
    return QStringLiteral("1st R %1 S %2 T %3 | 2nd R %4 S %5 T %6 | F.Er R %7 S %8 T %9 | %10 %11")
        .arg(cell(d.Label8), cell(d.Label9), cell(d.Label10), cell(d.Label2), cell(d.Label4),
             cell(d.Label5), cell(d.Label13), cell(d.Label19), cell(d.Label20))
        .arg(d.Label14, d.Label17);
}

} // namespace

int RunLive(const QStringList& args, const CodecLookup& lookup) {
    if (GbkMissing(lookup))
        return NoGbkCodecExitCode;
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("count"),
                      QCoreApplication::translate("Session", "Stop after N readings."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("csv"),
                      QCoreApplication::translate(
                          "Session", "One CSV row per reading (UTF-8): time, currents in A, F.Er "
                                     "in %, channel, rating and flags, as the window records.")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QCoreApplication::translate(
                          "Session", "With --csv: write to FILE instead of standard output."),
                      QStringLiteral("FILE")});
    Common common;
    if (!Parse(parser, QStringLiteral("live"), args, common))
        return parser.isSet(QStringLiteral("help")) ? Ok : Usage;
    int count = -1;
    if (parser.isSet(QStringLiteral("count"))) {
        bool ok = false;
        count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || count < 1) {
            Err(QCoreApplication::translate(
                "Session", "velantis-cli live: --count takes a whole number above 0"));
            return Usage;
        }
    }
    const bool csv = parser.isSet(QStringLiteral("csv"));
    const QString output = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("output")) && !csv) {
        Err(QCoreApplication::translate("Session", "velantis-cli live: -o FILE goes with --csv"));
        return Usage;
    }

    Session s(common.ports.isEmpty(), common.demo);
    if (!ApplyPorts(s, common, QStringLiteral("live")))
        return Usage;
    int shown = 0;
    // With -o the rows go through the live record, as the window's 记录 writes them.
    LiveRecorder record;
    FileError failure;
    if (!output.isEmpty() && !record.open(output, &failure)) {
        Err(QCoreApplication::translate("Session", "velantis-cli live: cannot write %1: %2")
                .arg(output, failure.text()));
        return WriteFailed;
    }
    if (csv && output.isEmpty() && !Out(LiveRecordHeading()))
        return Finish(QStringLiteral("live"), WriteFailed);
    QObject::connect(&s.monitor, &Monitor::liveReading, [&](const Reading& reading) {
        const QDateTime now = QDateTime::currentDateTime();
        if (record.isOpen()) {
            if (!record.append(now, reading, &failure)) {
                Err(QCoreApplication::translate(
                        "Session", "velantis-cli live: cannot write %1 after %2 rows: %3")
                        .arg(output)
                        .arg(record.rows())
                        .arg(failure.reason == FileError::Reason::NoSuchPath
                                 ? QCoreApplication::translate(
                                       "Session", "the file or its folder was removed or moved")
                                 : failure.text()));
                QCoreApplication::exit(WriteFailed);
                return;
            }
        } else if (!Out(csv ? LiveRecordRow(now, reading)
                            : LiveLine(s.monitor.display()).toUtf8() + '\n')) {
            QCoreApplication::exit(WriteFailed); // told by Finish
            return;
        }
        if (++shown == count)
            QCoreApplication::exit(Ok);
    });
    QTimer::singleShot(TimeoutMsecs(common), [&] {
        if (shown == 0) {
            Err(QCoreApplication::translate("Session",
                                            "velantis-cli live: no instrument answered within %1 s")
                    .arg(common.timeout));
            Err(SearchAdvice(s.monitor.searchReport()));
            QCoreApplication::exit(NoInstrument);
        }
    });
    s.start();
    return Finish(QStringLiteral("live"), s.exec());
}

// The --info keys in the order the help and the messages name them.
static QString InfoKeys() {
    QStringList keys;
    for (const TestInfoTextField& f : TestInfoTextFields)
        keys << QLatin1String(f.key);
    keys << QStringLiteral("date") << QStringLiteral("set-calibration") << QStringLiteral("logo");
    return keys.join(QStringLiteral(", "));
}

// Why an image file gives no logo, in the command line's words.
static QString LogoProblemText(const LogoProblem& problem) {
    switch (problem.reason) {
    case LogoProblem::Reason::NoFile:
        return QCoreApplication::translate("Session", "no such file");
    case LogoProblem::Reason::NotAFile:
        return QCoreApplication::translate("Session", "not a file");
    case LogoProblem::Reason::FileTooBig:
        return QCoreApplication::translate("Session", "larger than %1 MB")
            .arg(MaxLogoFileBytes / (1024 * 1024));
    case LogoProblem::Reason::NotAnImage:
        return QCoreApplication::translate("Session", "not a PNG or JPEG image");
    case LogoProblem::Reason::CannotRead:
    case LogoProblem::Reason::None:
        break;
    }
    return problem.system;
}

// The test information --class, --guard and --info give; the reason when they are wrong.
static QString ParseTestInfo(const QString& accuracy, const QString& guard,
                             const QStringList& pairs, TestInfo* info) {
    info->date = QDate::currentDate();
    if (!accuracy.isEmpty()) {
        const auto c = ParseClass(accuracy);
        if (!c || *c == AccuracyClass::None)
            return QCoreApplication::translate(
                       "Session", "--class takes 0.1, 0.2, 0.5, 1, 0.2S, 0.5S, 3 or 5, not '%1'")
                .arg(accuracy);
        info->accuracy = *c;
    }
    if (!guard.isNull()) {
        const auto w = ParseGuardBand(guard);
        if (!w)
            return QCoreApplication::translate(
                       "Session", "--guard takes a per cent of ratio error with at most two "
                                  "decimals, not '%1'")
                .arg(guard);
        if (const QString why = GuardBandProblem(*w, info->accuracy); !why.isEmpty())
            return QStringLiteral("--guard: ") + why;
        info->guardBand = *w;
    }
    for (const QString& pair : pairs) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QString key = pair.left(eq);
        const QString value = eq < 0 ? QString() : pair.mid(eq + 1);
        if (eq < 0)
            return QCoreApplication::translate("Session", "--info takes KEY=VALUE, not '%1'")
                .arg(pair);
        if (key == QLatin1String("date") || key == QLatin1String("set-calibration")) {
            const QDate date = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
            if (!date.isValid())
                return QCoreApplication::translate("Session",
                                                   "--info %1 takes a date as yyyy-MM-dd, not '%2'")
                    .arg(key, value);
            (key == QLatin1String("date") ? info->date : info->setCalibration) = date;
            continue;
        }
        if (key == QLatin1String("logo")) {
            LogoProblem problem;
            info->logo = value.isEmpty() ? QByteArray() : LogoFromFile(value, &problem);
            if (problem.reason != LogoProblem::Reason::None)
                return QCoreApplication::translate("Session", "--info logo: %1: %2")
                    .arg(value, LogoProblemText(problem));
            continue;
        }
        const auto field = std::find_if(
            std::begin(TestInfoTextFields), std::end(TestInfoTextFields),
            [&key](const TestInfoTextField& f) { return key == QLatin1String(f.key); });
        if (field == std::end(TestInfoTextFields))
            return QCoreApplication::translate("Session", "--info has no key '%1' (%2)")
                .arg(key, InfoKeys());
        info->*field->member = value;
    }
    return {};
}

// The test's JSON to carry inside its report: read back from the record database when the test
// was archived there (so that it is the very JSON `records export N --json` writes), else made
// from the download itself.
static PdfAttachment ReportAttachment(const QString& records, qint64 archived,
                                      const TestRecord& downloaded, const RecordStore& store) {
    if (archived != 0) {
        Archive archive(records);
        TestRecord test;
        QList<ArchivedGroup> groups;
        if (archive.find(archived, &test, &groups, nullptr))
            return {TestJsonFileName(archived), TestJson(test, groups),
                    QStringLiteral("application/json")};
    }
    return {TestJsonFileName(0), TestJson(downloaded, ArchivedGroups(store)),
            QStringLiteral("application/json")};
}

int RunDownload(const QStringList& args, const CodecLookup& lookup) {
    if (GbkMissing(lookup))
        return NoGbkCodecExitCode;
    QCommandLineParser parser;
    parser.addOption(
        {{QStringLiteral("o"), QStringLiteral("output")},
         QCoreApplication::translate("Session", "Write to FILE instead of standard output."),
         QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("csv"),
         QCoreApplication::translate(
             "Session", "Write the stored groups as CSV (UTF-8) instead of the list.")});
    parser.addOption({QStringLiteral("class"),
                      QCoreApplication::translate(
                          "Session", "Judge each group against accuracy class CLASS (0.1, 0.2, "
                                     "0.5, 1, 0.2S, 0.5S, 3, 5): verdict columns in the CSV, "
                                     "verdicts in the report."),
                      QStringLiteral("CLASS")});
    parser.addOption({QStringLiteral("guard"),
                      QCoreApplication::translate(
                          "Session", "Decide with a guard band of W % of ratio error (above 0 and "
                                     "below the class's smallest limit): a group passes when "
                                     "|F.Er| is at most the limit less W."),
                      QStringLiteral("W")});
    parser.addOption(
        {QStringLiteral("info"),
         QCoreApplication::translate("Session", "Test information for the report (repeatable): %1 "
                                                "(dates as yyyy-MM-dd, logo: a PNG or JPEG file).")
             .arg(InfoKeys()),
         QStringLiteral("KEY=VALUE")});
    parser.addOption(
        {QStringLiteral("report"),
         QCoreApplication::translate("Session", "Also write the test report as a PDF file."),
         QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("curve"),
         QCoreApplication::translate(
             "Session", "Also write the error curve (F.Er against the load) as a PNG file."),
         QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("records"),
                      QCoreApplication::translate(
                          "Session", "Keep the test in the record database PATH (default %1).")
                          .arg(QDir::toNativeSeparators(Archive::DefaultPath())),
                      QStringLiteral("PATH")});
    parser.addOption(
        {QStringLiteral("no-archive"),
         QCoreApplication::translate("Session", "Keep no test record of this download.")});
    parser.addOption({QStringLiteral("server"),
                      QCoreApplication::translate(
                          "Session", "After archiving, send the test to the department's server "
                                     "CONNINFO (a libpq connection string)."),
                      QStringLiteral("CONNINFO")});
    parser.addOption({QStringLiteral("split-by-setting"),
                      QCoreApplication::translate(
                          "Session", "Keep a test for each run of groups of one setting.")});
    Common common;
    if (!Parse(parser, QStringLiteral("download"), args, common))
        return parser.isSet(QStringLiteral("help")) ? Ok : Usage;
    const QString output = parser.value(QStringLiteral("output"));
    const bool csv = parser.isSet(QStringLiteral("csv"));
    const QString reportFile = parser.value(QStringLiteral("report"));
    const QString curveFile = parser.value(QStringLiteral("curve"));
    const QString records = parser.isSet(QStringLiteral("no-archive")) ? QString()
                            : parser.isSet(QStringLiteral("records"))
                                ? parser.value(QStringLiteral("records"))
                                : Archive::DefaultPath();
    const bool splitBySetting = parser.isSet(QStringLiteral("split-by-setting"));
    if (splitBySetting && records.isEmpty()) {
        Err(QCoreApplication::translate(
            "Session", "velantis-cli download: --split-by-setting keeps its tests in the record "
                       "database: not with --no-archive"));
        return Usage;
    }
    TestInfo info;
    if (const QString why = ParseTestInfo(parser.value(QStringLiteral("class")),
                                          parser.isSet(QStringLiteral("guard"))
                                              ? parser.value(QStringLiteral("guard"))
                                              : QString(),
                                          parser.values(QStringLiteral("info")), &info);
        !why.isEmpty()) {
        Err(QStringLiteral("velantis-cli download: ") + why);
        return Usage;
    }

    Session s(common.ports.isEmpty(), common.demo);
    if (!ApplyPorts(s, common, QStringLiteral("download")))
        return Usage;
    bool started = false;
    int lastProgress = -1;
    QObject::connect(&s.monitor, &Monitor::displayChanged, [&] {
        if (!started && s.monitor.linkUp == 1) {
            started = true;
            Err(QCoreApplication::translate(
                    "Session", "instrument found on port %1 (%2); reading stored groups")
                    .arg(s.monitor.commPort())
                    .arg(s.monitor.display().portDevice));
            // Run the read command from the event loop, as a click would.
            QTimer::singleShot(0, &s.monitor, &Monitor::Command2_Click);
        }
        const int progress = s.monitor.display().progressValue;
        if (started && s.monitor.downloading == 1 && s.monitor.display().progressVisible &&
            progress != lastProgress && progress % 10 == 0) {
            lastProgress = progress;
            Err(QCoreApplication::translate("Session", "%1% (%2 of %3 groups)")
                    .arg(progress)
                    .arg(s.monitor.groupsStored())
                    .arg(s.monitor.groupTotal));
        }
    });
    QObject::connect(&s.monitor, &Monitor::groupCountError, [] {
        Err(QCoreApplication::translate("Session", "the instrument reports no stored groups"));
    });
    bool ended = false;
    // The end of the download: the instrument's, or a stop by SIGTERM/SIGINT.
    const auto end = [&](DownloadEnd how) {
        if (std::exchange(ended, true))
            return;
        Err(ShownText(DownloadSummary(how, s.monitor.groupsStored(), s.monitor.announcedGroups())));
        TestRecord downloaded;
        const qint64 archived = records.isEmpty()
                                    ? 0
                                    : ArchiveDownload(records, s.monitor, how, info,
                                                      QStringLiteral("COM%1 (%2)")
                                                          .arg(s.monitor.commPort())
                                                          .arg(s.monitor.display().portDevice),
                                                      &downloaded);
        if (archived != 0 && splitBySetting) {
            Archive archive(records);
            SplitTest(archive, QStringLiteral("download"), archived, std::nullopt);
        }
        const QString& list = s.monitor.history().listText();
        int code = how == DownloadEnd::EndFrame ? Ok : Incomplete;
        if (output.isEmpty()) {
            Out(csv ? CsvBytes(s.monitor.store(), info.accuracy, info.guardBand)
                    : DataFileBytes(list)); // checked by Finish
        } else {
            QString error;
            if (!(csv ? SaveCsvFile(output, s.monitor.store(), info.accuracy, info.guardBand,
                                    &error)
                      : SaveDataFile(output, list, &error))) {
                Err(QCoreApplication::translate("Session",
                                                "velantis-cli download: cannot write %1: %2")
                        .arg(output, error));
                code = WriteFailed;
            }
        }
        if (!reportFile.isEmpty()) {
            if (archived == 0)
                downloaded = DownloadRecord(s.monitor, how, info,
                                            QStringLiteral("COM%1 (%2)")
                                                .arg(s.monitor.commPort())
                                                .arg(s.monitor.display().portDevice));
            const DownloadInfo from{
                downloaded.ended,         downloaded.port, how, s.monitor.announcedGroups(),
                s.monitor.groupsStored(), archived};
            const QByteArray pdf = PagesPdf(
                ReportDrawer(MakeTestReport(s.monitor.store(), info, from)), A4Paper(),
                PdfResolution, ReportAttachment(records, archived, downloaded, s.monitor.store()));
            QString error;
            if (pdf.isEmpty() || !SaveFileBytes(reportFile, pdf, &error)) {
                Err(QCoreApplication::translate(
                        "Session", "velantis-cli download: cannot write the report %1: %2")
                        .arg(reportFile, !ReportFontProblem().isEmpty() ? ReportFontProblem()
                                         : pdf.isEmpty() ? QCoreApplication::translate(
                                                               "Session", "no pages drawn")
                                                         : error));
                code = WriteFailed;
            }
        }
        if (!curveFile.isEmpty()) {
            const QByteArray png = CurveFilePng(MakeTestReport(s.monitor.store(), info, {}));
            QString error;
            if (png.isEmpty() || !SaveFileBytes(curveFile, png, &error)) {
                Err(QCoreApplication::translate(
                        "Session", "velantis-cli download: cannot write the error curve %1: %2")
                        .arg(curveFile, png.isEmpty() ? ReportFontProblem() : error));
                code = WriteFailed;
            }
        }
        // The test is kept here whatever the server does; a sync that leaves it waiting is told.
        if (code == Ok && archived != 0 && parser.isSet(QStringLiteral("server")) &&
            SyncRecords(records, parser.value(QStringLiteral("server")), QStringLiteral("download"),
                        false) != 0)
            code = SyncWaiting;
        QCoreApplication::exit(code);
    };
    QObject::connect(&s.monitor, &Monitor::downloadEnded, end);
#ifdef Q_OS_UNIX
    // Stopped while it reads, the tool keeps what was stored as an interrupted download: archived,
    // written out, exit Incomplete. Stopped before any group came, it ends as the signal says.
    StopSignals stop([&](int signal) {
        if (ended)
            return;
        if (s.monitor.downloading == 1 && s.monitor.groupsStored() > 0) {
            s.timers.stop();
            // The list as the end of a download leaves it: every group stored so far.
            int first = 0, last = 0;
            s.monitor.RefreshHistory(first, last);
            end(DownloadEnd::Interrupted);
            return;
        }
        s.timers.stop();
        s.monitor.closePort();
        stop.restore();
        std::raise(signal);
    });
#endif
    QTimer::singleShot(TimeoutMsecs(common), [&] {
        if (!started) {
            Err(QCoreApplication::translate(
                    "Session", "velantis-cli download: no instrument answered within %1 s")
                    .arg(common.timeout));
            Err(SearchAdvice(s.monitor.searchReport()));
            QCoreApplication::exit(NoInstrument);
        }
    });
    s.start();
    return Finish(QStringLiteral("download"), s.exec());
}

} // namespace velantis
