// SPDX-License-Identifier: GPL-3.0-or-later
// 记录 in the main window, and the trend window fitting what it shows.
#include "support/window_fixture.h"
#include "windows/trend_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#endif

using namespace velantis;
using velantis::testing::OpenMessageBox;
using velantis::testing::WindowFixture;

namespace {

MeasurementFrame Live() {
    return FrameBuilder().hv(1000, 0x31).r(5000, 0x33).rated(100, 50).channelKind(0, 2).build();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using LiveRecordWindowTest = WindowFixture;

TEST_F(LiveRecordWindowTest, RecordsEachReadingUntilStopped) {
    QAction* record = window->findChild<QAction*>(QStringLiteral("记录"));
    ASSERT_NE(record, nullptr);
    files->answer = folder.filePath(QStringLiteral("live.csv"));
    record->trigger();
    EXPECT_TRUE(files->defaultSeen.contains(QStringLiteral("QRTLIVE")));
    EXPECT_EQ(record->text(), QStringLiteral("停止记录"));
    send(Live());
    send(Live());
    EXPECT_EQ(FileBytes(files->answer).count("\r\n"), 3);
    EXPECT_TRUE(window->titlePanelText().startsWith(QStringLiteral("记录中：2 行")));
    record->trigger(); // 停止记录
    send(Live());
    EXPECT_EQ(FileBytes(files->answer).count("\r\n"), 3);
    EXPECT_EQ(record->text(), QStringLiteral("记录…"));
    // The title panel tells the stop with the rows and the file's name.
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("2 行 → live.csv")))
        << window->titlePanelText().toStdString();
}

// A row that cannot be written stops the recording with one message naming the file; the rows
// written before stay whole in it.
TEST_F(LiveRecordWindowTest, FailedRowStopsTheRecordingAndSaysSo) {
    const QString small = folder.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(small) && QDir().mkpath(folder.filePath(QStringLiteral("dir"))));
#ifdef Q_OS_UNIX
    const bool mounted =
        ::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=16k") == 0;
#else
    const bool mounted = false;
#endif
    const struct {
        const char* file;
        const char* spoilt; // removed, or moved to `to`, after the first row
        const char* to;
    } cases[] = {{"gone.csv", "gone.csv", nullptr},
                 {"dir/in.csv", "dir", "moved"},
                 {"small/full.csv", nullptr, nullptr}};
    for (const auto& c : cases) {
        files->answer = folder.filePath(QString::fromUtf8(c.file));
        if (files->answer.startsWith(small) && !mounted)
            continue;
        window->ToggleRecording();
        send(Live());
        QDir here(folder.path());
        if (c.spoilt && !(c.to ? here.rename(QString::fromUtf8(c.spoilt), QString::fromUtf8(c.to))
                               : here.remove(QString::fromUtf8(c.spoilt)))) {
            // Windows neither removes nor moves a file that is open: no such fault there.
            window->ToggleRecording();
            EXPECT_FALSE(window->recording());
            continue;
        }
        for (int n = 0; n < 100000 && window->recording(); ++n)
            send(Live());
        EXPECT_FALSE(window->recording()) << c.file;
        QMessageBox* box = OpenMessageBox();
        ASSERT_NE(box, nullptr) << c.file;
        EXPECT_TRUE(box->text().contains(QFileInfo(files->answer).fileName())) << c.file;
        if (!c.spoilt) { // the full disk: the rows it names, whole
            const auto said = QRegularExpression(QStringLiteral("(\\d+) 行")).match(box->text());
            const QByteArray kept = FileBytes(files->answer);
            EXPECT_TRUE(box->text().contains(QStringLiteral("磁盘已满")));
            EXPECT_EQ(kept.count("\r\n"), said.captured(1).toLongLong() + 1);
            EXPECT_TRUE(kept.endsWith("\r\n") && kept.size() > 8000);
        }
        box->close();
    }
#ifdef Q_OS_UNIX
    if (mounted)
        ::umount(QFile::encodeName(small).constData());
    else
        GTEST_SKIP() << "no tmpfs mount here: the full disk was not tried";
#endif
}

TEST(TrendChart, AxesFitTheReadingsHeld) {
    TrendChart chart;
    const qint64 t0 = 1'000'000'000;
    chart.addReading(t0, {5, 5.0, 5.01, 5.005, 1.5, 0});
    EXPECT_EQ(chart.timeSpan(), TrendChart::MinSpanMs);
    chart.addReading(t0 + 30'000, {5, 5.0, 5.01, 5.005, 1.5, 0});
    EXPECT_EQ(chart.timeSpan(), 30'000); // the first reading at the left edge
    EXPECT_DOUBLE_EQ(chart.linesOf(TrendChart::R, {0, 0, 600, 100}, 4, 6)[0][0].x(), 0);
    for (const bool currents : {true, false}) {
        double low = 0, high = 0, step = 0;
        chart.valueRange(currents, &low, &high, &step);
        EXPECT_LE(low, currents ? 5.0 : 1.5);
        EXPECT_GE(high, currents ? 5.01 : 1.5);
        EXPECT_LE(high - low, 1.0); // not 0..5 A, not -0.5..1.5 %
    }
}

TEST(TrendWindow, OpensBesideTheMainWindow) {
    const struct {
        QRect main;
        int least; // the least width the window can do with
        QRect place;
    } cases[] = {
        {QRect(100, 200, 887, 700), 500, QRect(987, 200, 900, 600)},  // right of it
        {QRect(1000, 200, 887, 700), 500, QRect(100, 200, 900, 600)}, // no room right: left
        // The main window centred on a 1920-wide screen: narrower, beside it, no overlap.
        {QRect(515, 190, 889, 700), 494, QRect(1404, 190, 516, 600)},
        {QRect(500, 700, 887, 700), 500, QRect(1387, 480, 533, 600)}, // the larger side
        // Not even the least width fits: against the screen's edge, the overlap the least.
        {QRect(500, 700, 887, 700), 600, QRect(1320, 480, 600, 600)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceBeside(c.main, {900, 600}, {c.least, 380}, {0, 0, 1920, 1080}), c.place)
            << c.main.x() << " " << c.least;
}

} // namespace
