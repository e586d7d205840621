// SPDX-License-Identifier: GPL-3.0-or-later
// The error curve: where a group's marker goes, its shape and fill drawn and sampled, the limit
// envelope against the verdict's limit row, its place in the report, the 误差曲线 window
// following the shown test, and velantis-cli --curve.
#include "report/error_curve.h"
#include "report/report_pages.h"
#include "support/cli_run.h"
#include "support/window_fixture.h"
#include "windows/curve_window.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace velantis {
namespace {

using O = GroupVerdict::Outcome;
using testing::Args;
using testing::RunCli;

CurvePoint Point(double load, double error, int channel = 0, O outcome = O::Pass) {
    return {1, load, error, channel, outcome, {}, {}, {}};
}

// The curve drawn into a white image of 1000 x 700 pixels; where its plot is and its span.
struct Drawing {
    QImage image;
    QRectF plot;
    double span;
    QPointF at(double load, double error) const {
        return ErrorCurve::PlaceOf(load, error, plot, span);
    }
};
Drawing Drawn(const CurveData& data, double pt) {
    QImage image(1000, 700, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const ErrorCurve curve(data, QFont(QStringLiteral("Sans"), 9), pt);
    curve.draw(p, image.rect());
    return {image, curve.plotRect(image.rect()), curve.errorSpan()};
}

int Grey(const QImage& image, const QPointF& at) {
    return qGray(image.pixel(at.toPoint()));
}

TEST(ErrorCurve, LoadAndErrorGoToTheirPlaceOnThePlot) {
    const QRectF plot(100, 50, 1300, 400); // 10 px a per cent of load, 100 px a per cent of F.Er
    const struct {
        double load, error;
        QPointF at;
    } cases[] = {{0, 0, {100, 250}},   {130, 2, {1400, 50}},    {130, -2, {1400, 450}},
                 {65, -1, {750, 350}}, {100, 0.5, {1100, 200}}, {5, -0.25, {150, 275}}};
    for (const auto& c : cases) {
        const QPointF at = ErrorCurve::PlaceOf(c.load, c.error, plot, 2);
        EXPECT_NEAR(at.x(), c.at.x(), 1e-9) << c.load << " " << c.error;
        EXPECT_NEAR(at.y(), c.at.y(), 1e-9) << c.load << " " << c.error;
    }
}

// Symmetric about 0 over the envelope's first point or the largest |F.Er| within the load axis,
// with a margin; a group beyond the axis is counted, and neither widens the axis nor is drawn.
TEST(ErrorCurve, AxisSpansEnvelopeOrLargestErrorAndCountsGroupsBeyond) {
    const struct {
        AccuracyClass accuracy;
        QList<CurvePoint> points;
        double span;
        int outside;
    } cases[] = {
        {AccuracyClass::C0_5, {Point(100, 0.3), Point(50, -0.7)}, 2, 0},
        {AccuracyClass::C0_5, {Point(100, -2.4)}, 3, 0},
        {AccuracyClass::C0_2S, {}, 1, 0},
        {AccuracyClass::C5, {Point(60, 1)}, 6, 0},
        {AccuracyClass::None, {}, 0.15, 0},
        {AccuracyClass::None, {Point(100, 0.2), Point(131, 9), Point(400, -30)}, 0.3, 2},
    };
    for (const auto& c : cases) {
        const ErrorCurve curve({c.accuracy, 0, c.points}, QFont(), 1);
        EXPECT_NEAR(curve.errorSpan(), c.span, 1e-9) << ClassName(c.accuracy).toStdString();
        EXPECT_EQ(curve.outside(), c.outside);
    }
    // Not drawn on the edge either: nothing dark near the right edge where it would be.
    const Drawing d = Drawn({AccuracyClass::None, 0, {Point(131, 0.05, 2)}}, 6);
    const QPointF edge = d.at(130, 0.05);
    int dark = 0;
    for (int x = -25; x <= -4; ++x) // off the frame
        for (int y = -25; y <= 25; ++y)
            dark += Grey(d.image, edge + QPointF(x, y)) < 128;
    EXPECT_EQ(dark, 0);
}

// R ○, S △, T □; hollow for 合格, filled for 超差, a × across it for 不判定; a group without a
// channel a bare ×; without a class no verdict fill. Each drawn alone and sampled.
TEST(ErrorCurve, MarkerShapeAndFillPerChannelAndVerdict) {
    const double pt = 6;
    const double r = 3.2 * pt;
    // Where only one shape has its outline; the middle; a point off the × inside the shape.
    const QPointF circle(-0.707 * r, -0.707 * r), square(0.9 * r, -0.9 * r),
        triangle(-1.1 * r, 0.8 * r), middle(0, 0), inside(0.4 * r, 0);
    const struct {
        AccuracyClass accuracy;
        int channel;
        O outcome;
        QPointF outline; // dark for this shape only
        bool cross, filled;
    } cases[] = {
        {AccuracyClass::C5, 0, O::Pass, circle, false, false},
        {AccuracyClass::C5, 1, O::Pass, triangle, false, false},
        {AccuracyClass::C5, 2, O::Pass, square, false, false},
        {AccuracyClass::C5, 0, O::Fail, circle, false, true},
        {AccuracyClass::C5, 1, O::Fail, triangle, false, true},
        {AccuracyClass::C5, 2, O::Fail, square, false, true},
        {AccuracyClass::C5, 0, O::None, circle, true, false},
        {AccuracyClass::C5, 2, O::None, square, true, false},
        {AccuracyClass::None, 2, O::Fail, square, false, false},
        {AccuracyClass::C5, -1, O::None, {}, true, false},
    };
    for (const auto& c : cases) {
        const Drawing d = Drawn({c.accuracy, 0, {Point(80, 0.5, c.channel, c.outcome)}}, pt);
        const QPointF at = d.at(80, 0.5);
        SCOPED_TRACE(::testing::Message()
                     << "channel " << c.channel << " outcome " << int(c.outcome) << " class "
                     << ClassName(c.accuracy).toStdString());
        for (const QPointF& outline : {circle, square, triangle}) {
            // A filled shape covers where another's outline would be.
            if (c.channel >= 0 && (outline == c.outline || !c.filled)) {
                EXPECT_EQ(Grey(d.image, at + outline) < 128, outline == c.outline)
                    << "outline at " << outline.x() << "," << outline.y();
            }
        }
        EXPECT_EQ(Grey(d.image, at + middle) < 128, c.cross || c.filled);
        EXPECT_EQ(Grey(d.image, at + inside) < 128, c.filled);
    }
}

// The shading's corners are the verdict's limit row for every class: just inside each corner is
// shaded, just outside is not; a guard band adds the dashed acceptance envelope inside it.
TEST(ErrorCurve, EnvelopeCornersAreTheLimitRow) {
    for (AccuracyClass c : AllClasses()) {
        if (c == AccuracyClass::None)
            continue;
        const Drawing d = Drawn({c, 0, {}}, 1);
        const QList<LimitPoint> row = LimitRow(c);
        for (qsizetype i = 0; i < row.size(); ++i) {
            const double inward = i + 1 < row.size() ? 2 : -2; // px, off the grid line
            for (double sign : {1.0, -1.0}) {
                const QPointF corner = d.at(row[i].percent, sign * row[i].limitHundredths / 100.0);
                const std::string what =
                    ClassName(c).toStdString() + " at " + std::to_string(row[i].percent) + " %";
                EXPECT_NEAR(Grey(d.image, corner + QPointF(inward, sign * 30)), 222, 6) << what;
                EXPECT_GE(Grey(d.image, corner + QPointF(inward, -sign * 30)), 249) << what;
            }
        }
    }
    // Along the acceptance limit (0.5 - 0.05 % from 100 to 120 %): dashes, only with a guard band.
    const auto darkOnAcceptanceLine = [](int guard) {
        const Drawing d = Drawn({AccuracyClass::C0_5, guard, {}}, 3);
        const int y = qRound(d.at(0, 0.45).y());
        int dark = 0, samples = 0;
        for (int x = qRound(d.at(101, 0).x()); x < qRound(d.at(119, 0).x()); ++x, ++samples) {
            int least = 255;
            for (int dy = -1; dy <= 1; ++dy)
                least = std::min(least, Grey(d.image, QPointF(x, y + dy)));
            dark += least < 160;
        }
        return double(dark) / samples;
    };
    EXPECT_EQ(darkOnAcceptanceLine(0), 0);
    EXPECT_GT(darkOnAcceptanceLine(5), 0.3);
    EXPECT_LT(darkOnAcceptanceLine(5), 0.9); // dashed, not a solid line
}

// The report's first page carries the curve under the summary when it fits; where the head
// takes the room it goes to the next page, before the table.
TEST(ErrorCurveReport, OnTheFirstPageWhenItFitsElseBeforeTheTable) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext to read the report back";
    RecordStore store;
    for (int n = 1; n <= 3; ++n) {
        FrameBuilder frame;
        frame.hv(static_cast<std::uint16_t>(1000 + n), 0x31).r(5000, 0x33).ratioError(0x83);
        store.store(*SlotIndex::make(n), frame.rated(100, 50).channelKind(0, 1).build());
    }
    QTemporaryDir dir;
    const QString pdf = dir.filePath("r.pdf");
    const auto page = [&](const TestInfo& info, int number) {
        QFile file(pdf);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(PagesPdf(ReportDrawer(MakeTestReport(store, info, {})), A4Paper(), 300));
        file.close();
        QProcess p;
        const QString n = QString::number(number);
        p.start("pdftotext", {"-f", n, "-l", n, "-layout", pdf, "-"});
        EXPECT_TRUE(p.waitForFinished(60000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    TestInfo info;
    info.accuracy = AccuracyClass::C0_5;
    EXPECT_TRUE(page(info, 1).contains("误差曲线"));
    info.remarks = QString("一行\n").repeated(30);
    EXPECT_FALSE(page(info, 1).contains("误差曲线"));
    const QString second = page(info, 2);
    const qsizetype curve = second.indexOf("误差曲线");
    EXPECT_GE(curve, 0);
    EXPECT_GT(second.indexOf("100.1A"), curve) << "the table after the curve";
}

using CurveWindowTest = testing::WindowFixture;

// The window fills during a download and takes a new class; the tip at a marker names its group,
// load, F.Er, limit and verdict; 保存图片 writes the chart as PNG.
TEST_F(CurveWindowTest, FollowsTheShownTestTellsAMarkerAndSavesThePicture) {
    window->ShowCurve();
    CurveWindow* curve = window->curveWindow();
    ASSERT_NE(curve, nullptr);
    EXPECT_TRUE(curve->chart()->data().points.isEmpty());
    download(4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return curve->chart()->data().points.size() == 4; }));
    TestInfo info = window->testInfo();
    info.accuracy = AccuracyClass::C0_5;
    window->setTestInfo(info);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return curve->chart()->data().accuracy == AccuracyClass::C0_5; }));

    const CurvePoint& last = curve->chart()->data().points.last();
    const ErrorCurve drawn(curve->chart()->data(), curve->chart()->font(),
                           curve->chart()->logicalDpiY() / 72.0);
    const QPointF at = drawn.placeOf(last, drawn.plotRect(curve->chart()->chartArea()));
    const QString tip = curve->chart()->tipAt(at);
    for (const QString& part : QStringList{"组号: 4", "电流(%In): " + last.loadText,
                                           "F.Er: " + last.errorText, "限值: ±0.5", "结论: "})
        EXPECT_TRUE(tip.contains(part)) << tip.toStdString() << " lacks " << part.toStdString();
    EXPECT_TRUE(curve->chart()->tipAt(QPointF(2, 2)).isEmpty());

    files->answer = folder.filePath("curve.png");
    curve->SaveImage();
    const QImage saved(files->answer);
    EXPECT_EQ(saved.size(), curve->chart()->size());
}

// download --curve and records export N --curve write the same picture of the same test.
TEST(ErrorCurveCli, DownloadAndExportWriteTheCurve) {
    QTemporaryDir dir;
    const QStringList records{"--records", dir.filePath("a.sqlite")};
    const QString first = dir.filePath("download.png"), second = dir.filePath("export.png");
    const QStringList download = Args("download --demo --demo-groups 30 --class 0.5 -o")
                                 << dir.filePath("list.txt") << "--curve" << first << records;
    ASSERT_EQ(RunCli(download).code, 0);
    ASSERT_EQ(RunCli(Args("records export 1 --curve") << second << records).code, 0);
    EXPECT_EQ(QImage(first).size(), CurveFileSize);
    QFile a(first), b(second);
    EXPECT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
                a.readAll() == b.readAll());
}

} // namespace
} // namespace velantis
