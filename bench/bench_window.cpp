// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's own costs, measured on the real widgets (xcb under Xvfb, or offscreen):
//   - start to the main window painted: from main() to the first paint of the window;
//   - Open of the largest data file: from the dialog's answer to the list painted;
//   - resident memory after N seconds of live polling against the simulated instrument.
// Usage: bench_window [--poll-seconds S] [--open-mb N]
#include "link/port_map.h"
#include "link/qt_serial_line.h"
#include "records/test_report.h"
#include "records/text_codec.h"
#include "report/report_pages.h"
#include "simulator/simulated_instrument.h"
#include "windows/curve_window.h"
#include "windows/history_window.h"
#include "windows/list_view.h"
#include "windows/main_window.h"
#include "windows/trend_window.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

QElapsedTimer g_sinceStart;

struct Answer final : velantis::FileDialogs {
    QString path;
    QString openFileName(QWidget*, const QString&, const QStringList&) override { return path; }
    QString saveFileName(QWidget*, const QString&, const QStringList&) override { return {}; }
};

// Waits for the next paint of the widget.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* w) { w->installEventFilter(this); }
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void WaitPainted(PaintWatch& watch) {
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    g_sinceStart.start();
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    double pollSeconds = 10;
    int openMb = 50;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--poll-seconds"))
            pollSeconds = args[i + 1].toDouble();
        if (args[i] == QLatin1String("--open-mb"))
            openMb = args[i + 1].toInt();
    }

    velantis::SimulatedInstrument instrument;
    QString error;
    if (!instrument.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir folder;
    auto answer = std::make_unique<Answer>();
    Answer* dialogs = answer.get();
    velantis::MainWindowParts parts;
    parts.line = std::make_unique<velantis::QtSerialLine>();
    parts.ports = std::make_unique<velantis::PortMap>([] { return QStringList(); });
    parts.ports->setOverride(1, instrument.devicePath());
    parts.programFolder = folder.path();
    parts.fileDialogs = std::move(answer);
    auto* window = new velantis::MainWindow(std::move(parts));
    window->startTimers();
    {
        PaintWatch watch(window);
        window->show();
        WaitPainted(watch);
    }
    std::printf("start to main window painted: %.0f ms\n",
                static_cast<double>(g_sinceStart.nsecsElapsed()) / 1e6);

    const long startKb = ResidentKb();
    {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(pollSeconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::printf("resident memory: %.1f MB after start, %.1f MB after %.0f s of live polling "
                "(%d requests answered)\n",
                startKb / 1024.0, ResidentKb() / 1024.0, pollSeconds, instrument.answersSent());

    // A list file of the largest size Open takes: list rows, GBK.
    dialogs->path = folder.filePath(QStringLiteral("large.txt"));
    {
        const QByteArray row = velantis::EncodeGbk(QStringLiteral(
            "第0012组    100.0A    5.000A        0.0A       0.0A   -0.5%     100/5A     R\r\n"));
        QFile file(dialogs->path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        const qint64 target = static_cast<qint64>(openMb) * 1024 * 1024;
        for (qint64 n = 0; n + row.size() <= target; n += row.size())
            file.write(row);
    }
    auto* list = window->findChild<velantis::ListView*>(QStringLiteral("RichTextBox1"));
    PaintWatch listWatch(list->viewport());
    QElapsedTimer open;
    open.start();
    window->Command1_Click();
    list->viewport()->update();
    WaitPainted(listWatch);
    std::printf("Open of a %d MB file, to the list painted: %.0f ms (%lld characters)\n", openMb,
                static_cast<double>(open.nsecsElapsed()) / 1e6,
                static_cast<long long>(list->text().size()));
    std::printf("resident memory with it open: %.1f MB\n", ResidentKb() / 1024.0);

    // The same size as one line (no line end at all): Open, then one paint scrolled to the
    // middle of the line.
    {
        const QByteArray chunk = velantis::EncodeGbk(QStringLiteral("第0012组 100.0A 5.000A "));
        QFile file(dialogs->path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        const qint64 target = static_cast<qint64>(openMb) * 1024 * 1024;
        for (qint64 n = 0; n + chunk.size() <= target; n += chunk.size())
            file.write(chunk);
    }
    listWatch.painted = false;
    open.restart();
    window->Command1_Click();
    list->viewport()->update();
    WaitPainted(listWatch);
    const double openMs = static_cast<double>(open.nsecsElapsed()) / 1e6;
    list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    QElapsedTimer paint;
    paint.start();
    list->viewport()->repaint();
    std::printf("Open of a %d MB file that is one line, to the list painted: %.0f ms; one paint "
                "in the middle of the line: %.2f ms\n",
                openMb, openMs, static_cast<double>(paint.nsecsElapsed()) / 1e6);

    // The trend chart full: ten minutes of readings at 500 ms, 1200 points per series.
    velantis::TrendChart chart;
    chart.resize(900, 560);
    const qint64 t0 = 1'700'000'000'000;
    auto numbers = [](int i) {
        return velantis::ReadingNumbers{100, 4 + (i % 7) * 0.01, 0.002, 3.9, -0.1 * (i % 5), i % 3};
    };
    for (int i = 0; i < 1200; ++i)
        chart.addReading(t0 + i * 500, numbers(i));
    QImage canvas(chart.size(), QImage::Format_RGB32);
    chart.render(&canvas); // first paint, fonts and all
    constexpr int Rounds = 200;
    QElapsedTimer trend;
    trend.start();
    for (int i = 0; i < Rounds; ++i)
        chart.addReading(t0 + (1200 + i) * 500, numbers(i));
    const double updateUs = static_cast<double>(trend.nsecsElapsed()) / 1e3 / Rounds;
    trend.restart();
    for (int i = 0; i < Rounds; ++i)
        chart.render(&canvas);
    const double paintMs = static_cast<double>(trend.nsecsElapsed()) / 1e6 / Rounds;
    std::printf("trend chart with %lld readings: one update %.1f us, one paint %.2f ms\n",
                static_cast<long long>(chart.sampleCount()), updateUs, paintMs);
    // The test report of a full store, 4000 groups, as a PDF in memory (class 0.5).
    {
        velantis::RecordStore store;
        for (int n = 1; n <= velantis::SlotIndex::Highest; ++n)
            store.store(*velantis::SlotIndex::make(n),
                        velantis::FrameBuilder()
                            .hv(static_cast<std::uint16_t>(200 + n % 1000), 0x31)
                            .r(static_cast<std::uint16_t>(1000 + n % 4000), 0x33)
                            .groupNo(static_cast<std::uint16_t>(n))
                            .ratioError(static_cast<std::uint8_t>(0x80 | (n % 8)))
                            .rated(100, 50)
                            .channelKind(0, 1)
                            .build());
        velantis::TestInfo info;
        info.accuracy = velantis::AccuracyClass::C0_5;
        info.guardBand = 5; // the acceptance limit beside every limit
        QImage logo(600, 200, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        QBuffer png(&info.logo);
        png.open(QIODevice::WriteOnly);
        logo.save(&png, "PNG");
        velantis::DownloadInfo download;
        download.archived = 17;
        QElapsedTimer report;
        report.start();
        const QByteArray pdf = velantis::PagesPdf(
            velantis::ReportDrawer(velantis::MakeTestReport(store, info, download)),
            velantis::A4Paper(), velantis::PdfResolution,
            {QStringLiteral("test.json"), QByteArray(4000 * 60, 'x'), QString()});
        std::printf("test report of 4000 groups to PDF: %.0f ms (%lld bytes)\n",
                    static_cast<double>(report.nsecsElapsed()) / 1e6,
                    static_cast<long long>(pdf.size()));
        // The error curve window's chart with these 4000 groups: taking the test again (the
        // verdicts of the store and the curve's points), and one repaint at its usual size.
        QElapsedTimer take;
        take.start();
        const velantis::CurveData points =
            velantis::CurveOf(velantis::MakeTestReport(store, info, {}));
        const double takeMs = static_cast<double>(take.nsecsElapsed()) / 1e6;
        velantis::CurveChart curve;
        curve.resize(curve.sizeHint());
        curve.setData(points);
        QImage picture(curve.size(), QImage::Format_RGB32);
        curve.render(&picture); // first paint, fonts and all
        constexpr int CurveRounds = 50;
        QElapsedTimer repaint;
        repaint.start();
        for (int i = 0; i < CurveRounds; ++i)
            curve.render(&picture);
        std::printf("error curve of %lld groups: taking the test %.1f ms, one repaint %.2f ms\n",
                    static_cast<long long>(points.points.size()), takeMs,
                    static_cast<double>(repaint.nsecsElapsed()) / 1e6 / CurveRounds);
    }
    // 历史记录 over 10 000 tests of 100 groups each: the first opening of the database (with
    // its quick_check), the window made, filled and painted, and one filter keystroke repainted.
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("records.sqlite"));
        {
            velantis::Archive fill(path);
            velantis::RecordStore store;
            for (int n = 1; n <= 100; ++n)
                store.store(*velantis::SlotIndex::make(n),
                            velantis::FrameBuilder()
                                .hv(static_cast<std::uint16_t>(200 + n), 0x31)
                                .r(static_cast<std::uint16_t>(1000 + n), 0x33)
                                .groupNo(static_cast<std::uint16_t>(n))
                                .rated(100, 50)
                                .channelKind(0, 1)
                                .build());
            velantis::TestRecord record;
            record.started = record.ended = QDateTime::currentDateTime();
            for (int t = 0; t < 10000; ++t) {
                record.info.station = QStringLiteral("站%1").arg(t % 97);
                record.info.serial = QStringLiteral("CT-%1").arg(t);
                fill.add(record, store, nullptr);
            }
        }
        Answer none;
        QElapsedTimer opening;
        opening.start();
        velantis::Archive archive(path);
        archive.open(nullptr);
        const double openMs = static_cast<double>(opening.nsecsElapsed()) / 1e6;
        QElapsedTimer shown;
        shown.start();
        auto* history = new velantis::HistoryWindow(archive, none,
                                                    [](const auto&, const auto&) { return true; });
        PaintWatch historyPaint(history);
        history->show();
        WaitPainted(historyPaint);
        const double shownMs = static_cast<double>(shown.nsecsElapsed()) / 1e6;
        QElapsedTimer key;
        key.start();
        historyPaint.painted = false;
        history->setFilterText(QStringLiteral("CT-12"));
        WaitPainted(historyPaint);
        std::printf("record database of 10000 tests (1 000 000 groups): first opening with "
                    "quick_check %.0f ms; 历史记录 made, filled and painted %.0f ms (%d tests); "
                    "one filter keystroke to the repaint %.1f ms (%d shown)\n",
                    openMs, shownMs, 10000, static_cast<double>(key.nsecsElapsed()) / 1e6,
                    history->shownCount());
        delete history;
    }
    delete window;
    return 0;
}
