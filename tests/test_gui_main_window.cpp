// SPDX-License-Identifier: GPL-3.0-or-later
// The main window offscreen: controls found by their names, the controller behind a fake line,
// ticks called by hand, file dialogs and the printer answered without a dialog.
#include "records/data_file.h"
#include "records/history.h"
#include "support/fake_serial_line.h"
#include "support/window_fixture.h"
#include "support/window_stand_ins.h"
#include "windows/list_view.h"
#include "windows/main_window.h"
#include "windows/print_range_dialog.h"
#include "windows/trend_window.h"
#include "windows/window_services.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <limits>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace velantis;
using velantis::testing::AnsweringDialogs;
using velantis::testing::FakeSerialLine;
using velantis::testing::OpenMessageBox;
using velantis::testing::PdfChooser;

namespace {

MeasurementFrame Live(std::uint8_t channel) {
    return FrameBuilder()
        .hv(1000, 0x31)
        .r(5000, 0x33)
        .s(4000, 0x33)
        .t(3000, 0x33)
        .ratioError(0x8F)
        .rated(100, 50)
        .channelKind(channel, 2)
        .build();
}

// PDFs are read back with poppler's pdftotext, which a Windows PC does not have.
bool HasPdfToText() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

QString PdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class MainWindowTest : public velantis::testing::WindowFixture {
protected:
    QString text(const char* name) { return find<QLabel>(name)->text(); }
};

TEST_F(MainWindowTest, LiveReadingReachesTheGridAndLinkLossResetsIt) {
    send(Live(0));
    const DisplayState& d = monitor().display();
    ASSERT_NE(d.Label8, NoReading);
    for (const auto& [name, value] : {std::pair{"Label8", d.Label8},
                                      {"Label2", d.Label2},
                                      {"Label13", d.Label13},
                                      {"Label14", d.Label14},
                                      {"Label17", d.Label17}})
        EXPECT_EQ(text(name), value) << name;

    for (int i = 0; i < 32; ++i)
        monitor().Timer2_Timer();
    monitor().Timer1_Timer();
    for (const char* name : {"Label8", "Label9", "Label10", "Label2", "Label4", "Label5"})
        EXPECT_EQ(text(name), NoReading) << name;
    EXPECT_EQ(text("Label14"), NoSetting);
    EXPECT_EQ(find<QLineEdit>("Text3")->text(), QStringLiteral("通信失败"));
}

TEST_F(MainWindowTest, ToolbarIsInertDuringADownloadWhileTheMenuStillReads) {
    QSignalSpy exits(window.data(), &MainWindow::exitRequested);
    find<QPushButton>("Command2")->click();
    send(GroupCountFrame(5));
    send(Group(1));
    ASSERT_EQ(monitor().downloading, 1);
    monitor().Timer1_Timer();
    EXPECT_FALSE(find<QPushButton>("Command2")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("Command6")->isEnabled());

    const qsizetype before = line->written.size();
    QWidget* toolbar = find<QWidget>("Toolbar1");
    for (const char* key : {"打开", "读取", "保存", "打印", "清除", "退出"})
        toolbar->findChild<QAction*>(QString::fromUtf8(key))->trigger();
    EXPECT_EQ(line->written.size(), before);
    EXPECT_FALSE(monitor().store().isEmpty(*SlotIndex::make(1))); // not cleared
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(window->isEnabled()); // no print dialog came up

    window->menuBar()->findChild<QAction*>(QStringLiteral("读取"))->trigger();
    EXPECT_EQ(line->lastCode(), Monitor::CountRequest);
    EXPECT_EQ(line->written.size(), before + 1);
}

TEST_F(MainWindowTest, EscPressesExitWhichReleasesThePort) {
    QSignalSpy exits(window.data(), &MainWindow::exitRequested);
    ASSERT_TRUE(line->isOpen());
    QTest::keyClick(find<QPushButton>("Command1"), Qt::Key_Escape);
    EXPECT_EQ(exits.count(), 1);
    EXPECT_FALSE(line->isOpen());
    EXPECT_FALSE(window->timers().Timer3.isActive());
}

TEST_F(MainWindowTest, CloseBoxStopsPollingAndUnloadsTheWindow) {
    window->startTimers();
    ASSERT_TRUE(window->timers().Timer3.isActive());
    window->close();
    EXPECT_FALSE(line->isOpen());
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()); // timers and port went with it
}

TEST_F(MainWindowTest, TypingInThePortFieldReachesTheControllerAndIsNotOverwritten) {
    auto* field = find<QComboBox>("Combo1");
    field->lineEdit()->selectAll();
    QTest::keyClicks(field->lineEdit(), QStringLiteral("12"));
    EXPECT_EQ(monitor().display().Combo1, QStringLiteral("12"));
    monitor().Timer1_Timer(); // the 70 ms refresh
    EXPECT_EQ(field->currentText(), QStringLiteral("12"));
    EXPECT_EQ(field->lineEdit()->cursorPosition(), 2);
}

TEST_F(MainWindowTest, CountOfZeroShowsTheErrorBoxWithoutBlocking) {
    find<QPushButton>("Command2")->click();
    send(GroupCountFrame(0));
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("  Error!"));
    EXPECT_EQ(box->text(), QStringLiteral("Error\r\n"));
    EXPECT_EQ(box->buttons().size(), 1);
}

TEST(DataFolder, ProgramFolderUnlessInstalledOrReadOnly) {
    const QString documents = DocumentsFolder(); // or the home where there is none
    QTemporaryDir folder;
    EXPECT_EQ(MainWindow::DataFolder(folder.path()), folder.path());
    EXPECT_EQ(MainWindow::DataFolder(QStringLiteral("/usr/bin")), documents); // even for root
    EXPECT_EQ(MainWindow::DataFolder(folder.filePath(QStringLiteral("missing"))), documents);
}

TEST(ParseGroupNumber, TakesWhatTheDialogAccepts) {
    const struct {
        const char* entry;
        std::optional<int> value;
    } cases[] = {
        {" 7 ", 7},
        {"2.5", 2},
        {"3.5", 4},
        {"1e3", 1000},
        {"-5", -5},
        {"32767", 32767},
        {"-32768", -32768},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"99999", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = ParseGroupNumber(QString::fromUtf8(c.entry));
        EXPECT_EQ(got.has_value(), c.value.has_value()) << c.entry;
        if (got && c.value) {
            EXPECT_EQ(*got, *c.value) << c.entry;
        }
    }
}

TEST_F(MainWindowTest, PrintDialogRangeOkCancelEscAndBadEntries) {
    auto openDialog = [&] {
        find<QPushButton>("Command6")->click();
        PrintRangeDialog* d = window->printRangeDialog();
        EXPECT_NE(d, nullptr);
        EXPECT_EQ(d->parent(), nullptr);
        EXPECT_FALSE(window->isEnabled());
        return d;
    };
    // Fresh on every opening; a bad entry keeps it open with a message.
    for (const char* bad : {"", "letters", "99999"}) {
        PrintRangeDialog* d = openDialog();
        EXPECT_EQ(d->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("1"));
        EXPECT_EQ(d->findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral("100"));
        EXPECT_TRUE(d->findChild<QRadioButton*>(QStringLiteral("Option1"))->isChecked());
        d->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QString::fromUtf8(bad));
        d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        EXPECT_EQ(window->printRangeDialog(), d) << bad;
        EXPECT_EQ(monitor().form2dybiaozi, 0) << bad;
        QMessageBox* box = OpenMessageBox();
        ASSERT_NE(box, nullptr) << bad;
        box->close();
        QTest::keyClick(d, Qt::Key_Escape); // Esc is Cancel
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window->printRangeDialog(), nullptr);
        EXPECT_TRUE(window->isEnabled());
    }
    PrintRangeDialog* d = openDialog();
    d->close(); // the window manager's close is Cancel too
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(monitor().form2dybiaozi, 0);

    d = openDialog();
    d->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral(" 5 "));
    d->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("2.5"));
    d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(monitor().form2dybiaozi, 1);
    EXPECT_EQ(monitor().form2kai, 5);
    EXPECT_EQ(monitor().form2jie, 2);
}

TEST_F(MainWindowTest, PrintsTheRangeToPaperAndRefreshesAfterwards) {
    download(20);
    const QString fullList = monitor().history().listText();
    // Range 5 to 3: the heading only.
    monitor().form2kai = 5;
    monitor().form2jie = 3;
    monitor().form2dybiaozi = 1;
    monitor().Timer5_Timer();
    EXPECT_EQ(printer->shown, 1);
    if (!HasPdfToText())
        GTEST_SKIP() << "no pdftotext to read the printout back";
    QString printed = PdfText(printer->pdf);
    EXPECT_TRUE(printed.contains(QStringLiteral("高压电流"))) << qPrintable(printed);
    EXPECT_FALSE(printed.contains(QStringLiteral("0005"))) << qPrintable(printed);

    // The whole list: heading and all twenty rows; the range left at 1..3500.
    monitor().form2kai = 0;
    monitor().form2jie = 0;
    monitor().form2dybiaozi = 1;
    monitor().Timer5_Timer();
    printed = PdfText(printer->pdf);
    EXPECT_EQ(monitor().form2kai, 1);
    EXPECT_EQ(monitor().form2jie, 3500);
    EXPECT_EQ(monitor().form2dybiaozi, 0);
    const QStringList rows = fullList.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 22);
    for (const QString& row : rows.mid(2))
        EXPECT_TRUE(printed.contains(row.simplified().section(QLatin1Char(' '), 0, 0)))
            << qPrintable(row);

    // A cancelled printer dialog prints nothing and still refreshes and clears the request.
    QFile::remove(printer->pdf);
    printer->accept = false;
    monitor().form2dybiaozi = 1;
    monitor().Timer5_Timer();
    EXPECT_FALSE(QFile::exists(printer->pdf));
    EXPECT_EQ(monitor().form2dybiaozi, 0);
    EXPECT_EQ(monitor().history().printText(), fullList);
}

TEST_F(MainWindowTest, SaveAndOpenRoundTripByteForByte) {
    download(12);
    files->answer = folder.filePath(QStringLiteral("saved.txt"));
    find<QPushButton>("Command3")->click();
    EXPECT_EQ(files->filtersSeen, MainWindow::SaveFilters);
    EXPECT_EQ(files->defaultSeen, folder.filePath(QStringLiteral("QRTDATA") +
                                                  QDate::currentDate().toString(u"yyyy-M-d")));
    QFile saved(files->answer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_EQ(bytes, DataFileBytes(monitor().history().listText()));

    // Export PDF: the same pages as a print of the whole list.
    files->answer = folder.filePath(QStringLiteral("list.pdf"));
    window->menuBar()->findChild<QAction*>(QStringLiteral("导出 PDF"))->trigger();
    if (HasPdfToText())
        EXPECT_TRUE(PdfText(files->answer).contains(QStringLiteral("第0012组")));
    else
        EXPECT_TRUE(QFileInfo(files->answer).size() > 0) << "no pdftotext: the PDF is there";

    files->answer = saved.fileName();
    find<QPushButton>("Command4")->click(); // clear: the list is the heading only
    find<QPushButton>("Command1")->click();
    EXPECT_EQ(files->filtersSeen, MainWindow::OpenFilters);
    EXPECT_EQ(DataFileBytes(monitor().history().listText()), bytes + "\r\n");
    EXPECT_EQ(find<ListView>("RichTextBox1")->text(), monitor().history().listText());

    // A folder cannot be opened: a message, and the list stays as it was.
    const QString before = monitor().history().listText();
    files->answer = folder.path();
    find<QPushButton>("Command1")->click();
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    box->close();
    EXPECT_EQ(monitor().history().listText(), before);
}

TEST_F(MainWindowTest, FailedSaveSaysSoAndKeepsTheOldFile) {
    download(30);
    // A folder that cannot exist: the target lies below a regular file.
    QFile blocker(folder.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    files->answer = folder.filePath(QStringLiteral("plain/list.txt"));
    find<QPushButton>("Command3")->click();
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("list.txt")));
    box->close();

#ifdef Q_OS_UNIX
    // An existing file whose replacement cannot be written whole (a file size limit gives
    // EFBIG even to root): the message, and the old bytes untouched.
    files->answer = folder.filePath(QStringLiteral("old.txt"));
    QFile old(files->answer);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents\r\n");
    old.close();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 512;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    find<QPushButton>("Command3")->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old contents\r\n"));
    box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("old.txt")));
#endif
}

} // namespace

namespace {

TEST(ListView, SplitsLinesOnEveryLineEndAndCopiesWholeLines) {
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r\n\r\nc", {"a", "b", "", "c"}},
        {"第0001组 1.0A\r\n", {"第0001组 1.0A"}},
    };
    for (const auto& c : cases) {
        ListView view;
        view.setText(QString::fromUtf8(c.text));
        ASSERT_EQ(view.lineCount(), c.lines.size()) << c.text;
        for (qsizetype i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(view.line(i), c.lines[i]) << c.text;
        EXPECT_EQ(view.text(), QString::fromUtf8(c.text)); // kept byte for byte
    }
    ListView view;
    view.setText(QStringLiteral("x\ny\r\n"));
    EXPECT_EQ(view.selectedText(), QString());
    view.selectAll();
    EXPECT_EQ(view.selectedText(), QStringLiteral("x\r\ny\r\n"));
}

// A paint device that keeps the texts handed to it and where they were drawn.
class TextRecorder final : public QPaintDevice {
public:
    struct Drawn {
        QPointF at;
        QString text;
    };
    QList<Drawn> drawn;
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return 800;
        case PdmHeight:
            return 400;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return 1;
        }
    }

private:
    struct Engine final : QPaintEngine {
        explicit Engine(TextRecorder* r) : QPaintEngine(AllFeatures), recorder(r) {}
        TextRecorder* recorder;
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            recorder->drawn.append({painter()->transform().map(p), item.text()});
        }
        Type type() const override { return User; }
    };
    mutable Engine engine_{this};
};

// A line of millions of characters paints only what is in sight, at its cells, wherever the
// view is scrolled to: one paint of a 48 MB one-line file once took 11 s.
TEST(ListView, PaintsOnlyTheCharactersInSightOfAVeryLongLine) {
    QString line;
    for (int i = 0; i < 200000; ++i) // cells: "ab" 1 each, "组" 2: 4 cells per 3 characters
        line += QStringLiteral("ab组");
    ListView view;
    view.resize(400, 200);
    view.setText(QStringLiteral("short\r\n") + line + QStringLiteral("\r\n"));
    const int cell = view.fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (const qint64 at :
         {qint64(0), qint64(4 * 100000 + 1), qint64(4 * 100000 + 2), qint64(4 * 200000)}) {
        view.horizontalScrollBar()->setValue(
            static_cast<int>(at * cell)); // the end: as far as it goes
        const qint64 s = view.horizontalScrollBar()->value() / cell;
        TextRecorder recorder;
        view.viewport()->render(&recorder);
        ASSERT_FALSE(recorder.drawn.isEmpty());
        // The long line, below "short", as the runs of one script each that the painter was
        // handed, joined.
        TextRecorder::Drawn drawn = recorder.drawn.constLast();
        drawn.text.clear();
        for (const auto& run : recorder.drawn) {
            if (run.at.y() == drawn.at.y()) {
                drawn.at.setX(std::min(drawn.at.x(), run.at.x()));
                drawn.text += run.text;
            }
        }
        // Cells before the first character drawn: it starts at the view's left edge or just
        // before it, never in the middle of a character.
        const qint64 c =
            std::llround((drawn.at.x() - 4 + view.horizontalScrollBar()->value()) / cell);
        EXPECT_TRUE(c <= s && c >= s - 3) << s << " " << c;
        ASSERT_NE(c % 4, 3) << s;
        EXPECT_EQ(drawn.text, line.mid(c / 4 * 3 + c % 4, drawn.text.size())) << s;
        // Enough to fill the view, and not much more.
        EXPECT_GE(drawn.text.size(), view.viewport()->width() / cell / 2) << s;
        EXPECT_LT(drawn.text.size(), view.viewport()->width() / cell + 8) << s;
    }
}

} // namespace

namespace {

TEST(TrendChart, BreaksLinesAtUnreadableValuesAndPausesAndForgetsOldReadings) {
    TrendChart chart;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const qint64 t0 = 1'000'000'000;
    // R: two readings, an "OL", two readings, a 5 s pause (link down), one reading.
    const double r[] = {1, 2, nan, 3, 4, 5};
    const qint64 at[] = {0, 500, 1000, 1500, 2000, 7000};
    for (int i = 0; i < 6; ++i)
        chart.addReading(t0 + at[i], {0, r[i], 0.1, 0.2, 0.3, 0});
    const QRectF plot(0, 0, 600, 100);
    const auto lines = chart.linesOf(TrendChart::R, plot, 0, 5);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].size(), 2);
    EXPECT_EQ(lines[1].size(), 2);
    EXPECT_EQ(lines[2].size(), 1);
    EXPECT_DOUBLE_EQ(lines[2].first().x(), plot.right());          // the newest reading is at "now"
    EXPECT_DOUBLE_EQ(lines[2].first().y(), plot.top());            // 5 A at the top of 0..5
    EXPECT_EQ(chart.linesOf(TrendChart::S, plot, 0, 5).size(), 2); // only the pause breaks S

    chart.addReading(t0 + TrendChart::SpanMs + 2001, {0, 1, 1, 1, 0, 0});
    EXPECT_EQ(chart.sampleCount(), 2); // older than ten minutes: dropped
}

// The window is disabled under the print-range dialog: a window-manager close does nothing
// either, until the dialog is answered.
TEST_F(MainWindowTest, CloseBoxDoesNothingWhileThePrintRangeDialogIsOpen) {
    find<QPushButton>("Command6")->click();
    PrintRangeDialog* dialog = window->printRangeDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(line->isOpen());
    dialog->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_TRUE(window->close());
}

// The trend holds the readings from the program's start, not from the opening of its window.
TEST_F(MainWindowTest, TrendWindowShowsReadingsFromBeforeItOpenedAndFollows) {
    send(Live(0));
    send(Live(2));
    window->ShowTrend();
    ASSERT_NE(window->trendWindow(), nullptr);
    send(Live(1));
    EXPECT_EQ(window->trendWindow()->chart()->sampleCount(), 3);
}

// Every save dialog starts where the user last saved (while that folder is there), else in the
// documents folder; the report's default name carries the serial and the date; a written export
// is told in the title panel with its file name.
TEST_F(MainWindowTest, SaveDialogsStartWhereTheUserLastSavedAndExportsAreTold) {
    download(3);
    const QString reports = folder.filePath(QStringLiteral("reports"));
    ASSERT_TRUE(QDir().mkpath(reports));
    files->answer.clear(); // cancelled
    window->ExportPdf();
    EXPECT_EQ(QFileInfo(files->defaultSeen).absolutePath(), folder.path());
    const std::pair<const char*, const char*> names[] = {{"CT-2041", "报告_CT-2041_20261209.pdf"},
                                                         {"CT/7:1", "报告_CT-7-1_20261209.pdf"},
                                                         {"", "报告_20261209.pdf"}};
    for (const auto& [serial, file] : names) {
        TestInfo info = window->testInfo();
        info.serial = QString::fromUtf8(serial);
        info.date = QDate(2026, 12, 9);
        window->setTestInfo(info);
        const QString name = QString::fromUtf8(file);
        files->answer = QDir(reports).filePath(name);
        window->ExportReport();
        EXPECT_EQ(QFileInfo(files->defaultSeen).fileName(), name);
        EXPECT_TRUE(QFile::exists(files->answer) && window->titlePanelText().contains(name));
    }
    files->answer = QDir(reports).filePath(QStringLiteral("groups.csv"));
    window->ExportCsv();
    EXPECT_EQ(QFileInfo(files->defaultSeen).absolutePath(), reports);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("groups.csv")));

    ASSERT_TRUE(QDir(reports).removeRecursively());
    files->answer.clear(); // cancelled
    window->Command3_Click();
    // The documents folder, or the home where there is none: never the working folder.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(QFileInfo(files->defaultSeen).absolutePath(),
              QFileInfo(documents).isDir() ? documents : QDir::homePath());
}

} // namespace
