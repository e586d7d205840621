// 记录 in the main window, and the trend window fitting what it shows.
#include "support/window_fixture.h"
#include "windows/trend_window.h"

#include <QAction>
#include <QFile>
#include <QImage>

using namespace velantis;
using velantis::testing::OpenMessageBox;
using velantis::testing::WindowFixture;

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

qsizetype Lines(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count("\r\n") : -1;
}

using LiveRecordWindowTest = WindowFixture;

TEST_F(LiveRecordWindowTest, RecordsEachReadingUntilStoppedOrTheFileGoes) {
    QAction* record = window->findChild<QAction*>(QStringLiteral("记录"));
    ASSERT_NE(record, nullptr);
    const QString first = folder.filePath(QStringLiteral("first.csv"));
    files->answer = first;
    record->trigger();
    EXPECT_TRUE(files->defaultSeen.contains(QStringLiteral("QRTLIVE")));
    EXPECT_EQ(record->text(), QStringLiteral("停止记录"));
    send(Live(0));
    send(Live(1));
    EXPECT_EQ(Lines(first), 3);
    EXPECT_TRUE(window->titlePanelText().startsWith(QStringLiteral("记录中：2 行")))
        << window->titlePanelText().toStdString();
    record->trigger(); // 停止记录
    send(Live(2));
    EXPECT_EQ(Lines(first), 3);
    EXPECT_FALSE(window->titlePanelText().contains(QStringLiteral("记录中")));

    const QString second = folder.filePath(QStringLiteral("second.csv"));
    files->answer = second;
    record->trigger();
    send(Live(0));
    ASSERT_TRUE(QFile::remove(second));
    send(Live(0));
    send(Live(0)); // after the stop: no second message
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("second.csv"))) << box->text().toStdString();
    EXPECT_FALSE(window->recording());
    EXPECT_EQ(record->text(), QStringLiteral("记录…"));
}

TEST_F(LiveRecordWindowTest, TrendImageIsWrittenAsPngOrTheFailureTold) {
    window->ShowTrend();
    TrendWindow* trend = window->trendWindow();
    files->answer = folder.filePath(QStringLiteral("trend.png"));
    trend->SaveImage();
    EXPECT_EQ(QImage(files->answer).size(), trend->chart()->size());
    files->answer = folder.filePath(QStringLiteral("no/such/trend.png"));
    trend->SaveImage();
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("trend.png")));
}

TEST(TrendChart, AxesFitTheReadingsHeld) {
    TrendChart chart;
    const qint64 t0 = 1'000'000'000;
    chart.addReading(t0, {5, 5.0, 5.01, 5.005, 1.5, 0});
    EXPECT_EQ(chart.timeSpan(), TrendChart::MinSpanMs);
    chart.addReading(t0 + 30'000, {5, 5.0, 5.01, 5.005, 1.5, 0});
    EXPECT_EQ(chart.timeSpan(), 30'000);
    const QRectF plot(0, 0, 600, 100);
    EXPECT_DOUBLE_EQ(chart.linesOf(TrendChart::R, plot, 4, 6).first().first().x(), plot.left());

    const struct {
        bool currents;
        double least, most; // the values held must lie in the range, within this span
    } panels[] = {{true, 5.0, 5.01}, {false, 1.5, 1.5}};
    for (const auto& p : panels) {
        double low = 0, high = 0, step = 0;
        chart.valueRange(p.currents, &low, &high, &step);
        EXPECT_LE(low, p.least) << p.currents;
        EXPECT_GE(high, p.most) << p.currents;
        EXPECT_LE(high - low, 1.0) << p.currents; // not 0..5 A, not -0.5..1.5 %
    }
    chart.setNow(t0 + 20 * 60'000);
    EXPECT_EQ(chart.timeSpan(), TrendChart::SpanMs);
}

TEST(TrendWindow, OpensBesideTheMainWindow) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(900, 600);
    const struct {
        QRect main;
        QPoint at;
    } cases[] = {
        {QRect(100, 200, 887, 700), QPoint(987, 200)},  // right of it
        {QRect(1000, 200, 887, 700), QPoint(100, 200)}, // no room on the right: left of it
        {QRect(500, 700, 887, 700), QPoint(1020, 480)}, // room on neither side: the larger one
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceBeside(c.main, size, screen), c.at) << c.main.x();
}

} // namespace
