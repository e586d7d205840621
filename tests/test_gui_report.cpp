// SPDX-License-Identifier: GPL-3.0-or-later
// The test report read back from its PDF with poppler's pdftotext: every text whole and inside
// the printable area in both languages, how an unfinished download ended, why a group has no
// verdict; and no report at all where no font can draw its Chinese text.
#include "i18n/language.h"
#include "protocol/frame.h"
#include "records/test_report.h"
#include "report/report_pages.h"
#include "report/shown_texts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

namespace velantis {
namespace {

struct Word {
    QRectF box; // in points on the page
    QString text;
};

// The report's words with their boxes (pdftotext -bbox), in reading order.
QList<Word> ReportWords(const TestReport& report, const QTemporaryDir& dir) {
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QFile file(pdf);
    const QByteArray bytes = PagesPdf(ReportDrawer(report), A4Paper(), PdfResolution);
    EXPECT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> words;
    const QString xml = QString::fromUtf8(p.readAllStandardOutput());
    for (auto it = word.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        words << Word{QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                             QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                      m.captured(5).replace(QStringLiteral("&apos;"), QStringLiteral("'"))};
    }
    return words;
}

QString Packed(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// The words in reading order without the running head and foot of each page, which come
// between the lines of a text that goes on over a page.
QString Joined(const QList<Word>& words, const QString& serial,
               const QString& number = ReportNumber({}, 0)) {
    QString all;
    for (const Word& w : words)
        all += w.text;
    const auto pattern = [](const QString& translated) {
        return QRegularExpression(QRegularExpression::escape(Packed(translated))
                                      .replace(QRegularExpression("\\\\%\\d"), "\\d+"));
    };
    return Packed(all)
        .remove(pattern(
            QCoreApplication::translate("velantis::TestReport", "%1  %2 (续 %3)")
                .arg(QCoreApplication::translate("velantis::TestReport", "电流互感器变比试验报告"),
                     serial.isEmpty() ? QStringLiteral("—") : serial)))
        .remove(pattern(
            QCoreApplication::translate("velantis::TestReport", "报告编号: %1").arg(number) +
            QCoreApplication::translate("velantis::TestReport", "第 %1 页 / 共 %2 页")));
}

// A report of a few groups: 100 A, 3 A (below 5 % of 100 A) and 130 A (above 120 %).
TestReport SomeReport(const TestInfo& info, const DownloadInfo& download) {
    RecordStore store;
    const std::uint16_t tenths[] = {1000, 30, 1300};
    for (int n = 1; n <= 3; ++n) {
        FrameBuilder frame;
        frame.hv(tenths[n - 1], 0x31).r(5000, 0x33).ratioError(0x83).rated(100, 50);
        store.store(*SlotIndex::make(n), frame.channelKind(0, 1).build());
    }
    return MakeTestReport(store, info, download);
}

// A text packed and without hyphens (pdftotext joins a word broken after one and drops it).
QString Flat(const QString& text) {
    return Packed(text).remove(u'-');
}

// The report's pages as text, each flat, and the PDF's title as pdfinfo reads it.
QStringList PageTexts(const TestReport& report, const QTemporaryDir& dir,
                      QString* title = nullptr) {
    const QString pdf = dir.filePath(QStringLiteral("pages.pdf"));
    QFile file(pdf);
    const QByteArray bytes = PagesPdf(ReportDrawer(report), A4Paper(), PdfResolution);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000));
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
    if (pages.size() > 1 && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString& page : pages)
        page = Flat(page);
    if (title) {
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        EXPECT_TRUE(info.waitForFinished(60000));
        const QString all = QString::fromUtf8(info.readAllStandardOutput());
        static const QRegularExpression line(QStringLiteral("^Title:\\s*(.*)$"),
                                             QRegularExpression::MultilineOption);
        *title = line.match(all).captured(1);
    }
    return pages;
}

// Every field of the test information filled, with a logo.
TestInfo FilledInfo(const QString& filler = {}) {
    QImage logo(300, 100, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    logo.save(&png, "PNG");
    TestInfo info;
    info.logo = png.data();
    info.date = QDate(2026, 12, 9);
    info.setCalibration = QDate(2026, 12, 8);
    info.reportPrefix = QStringLiteral("HX");
    const QStringList values{"华东电力试验研究院",
                             "城南变电站",
                             "2号主变",
                             "CT-2041",
                             "某某互感器厂",
                             "LZZBJ9-10",
                             "A",
                             "1S1-1S2",
                             "15",
                             "10",
                             "GB/T 20840.2-2014 (IEC 61869-2)",
                             "21.5",
                             "65",
                             "TS-0042",
                             "Wang Gong",
                             "Li Gong",
                             "无"};
    QString TestInfo::*const members[] = {
        &TestInfo::organisation, &TestInfo::station,    &TestInfo::device,   &TestInfo::serial,
        &TestInfo::maker,        &TestInfo::type,       &TestInfo::phase,    &TestInfo::core,
        &TestInfo::ratedBurden,  &TestInfo::testBurden, &TestInfo::standard, &TestInfo::temperature,
        &TestInfo::humidity,     &TestInfo::setSerial,  &TestInfo::tester,   &TestInfo::reviewer,
        &TestInfo::remarks};
    for (qsizetype i = 0; i < values.size(); ++i)
        info.*members[i] = values[i] + filler;
    return info;
}

class Report : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "no pdftotext (a Windows PC) to read the report back";
        ASSERT_TRUE(InstallTranslations(GetParam(), {{QStringLiteral(":/i18n/velantis-report_en"),
                                                      Language::Chinese}})
                        .isEmpty());
    }
    void TearDown() override {
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }
    QTemporaryDir dir;
};

// Long fields wrap (a word longer than a line is broken inside it), remarks of many lines are
// shown whole, onto the next page; no word leaves the printable area (A4 less 15 mm margins).
TEST_P(Report, EveryTextWholeInsideThePrintableArea) {
    QString longWord;
    for (int i = 0; i < 1000; ++i)
        longWord += QStringLiteral("%1").arg(i % 10) + QStringLiteral("abcdefghi");
    TestInfo info = FilledInfo(QStringLiteral(" 长长的值").repeated(12));
    info.station = QStringLiteral("城南变电站 ").repeated(40) + QStringLiteral("末尾");
    info.serial = QStringLiteral("CT-2041");
    info.accuracy = AccuracyClass::C0_5;
    info.guardBand = 5;
    info.reportPrefix = QStringLiteral("HX").repeated(30);
    const QStringList remarks{"第一行", "第二行", "第三行", "第四行", "第五行", "第六行", "第七行"};
    info.remarks = remarks.join(u'\n') + u'\n' + longWord;
    DownloadInfo archived;
    archived.archived = 17;
    const QList<Word> words = ReportWords(SomeReport(info, archived), dir);
    const double margin = 15 / 25.4 * 72;
    const QRectF printable(QPointF(margin, margin), QPointF(595.28 - margin, 841.89 - margin));
    ASSERT_FALSE(words.isEmpty());
    for (const Word& w : words)
        EXPECT_TRUE(printable.adjusted(-0.5, -0.5, 0.5, 0.5).contains(w.box))
            << w.text.toStdString() << " at " << w.box.x() << "," << w.box.y() << " to "
            << w.box.right() << "," << w.box.bottom();
    const QString all = Joined(words, info.serial, ReportNumber(info, 17));
    for (const QString& whole : {info.station, info.remarks, info.organisation, info.standard,
                                 info.testBurden, info.setSerial, LimitRowText(AccuracyClass::C0_5),
                                 QCoreApplication::translate(
                                     "velantis::TestReport",
                                     "限值按 IEC 61869-2 测量用电流互感器的比值差限值；标准只给出各"
                                     "负荷点的限值，两点之间按负荷线性插值是本程序的规则。")})
        EXPECT_TRUE(all.contains(Packed(whole))) << whole.left(80).toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, Report,
                         ::testing::Values(Language::Chinese, Language::English));

// An unfinished download says so under its time and in the summary, in the words the history
// window uses; a group without a verdict shows why, and a load outside the range reads outside.
TEST_P(Report, UnfinishedDownloadAndWhyNoVerdict) {
    TestInfo info;
    info.accuracy = AccuracyClass::C0_5;
    const QString unfinished = Joined(
        ReportWords(
            SomeReport(info, {QDateTime::currentDateTime(), {}, DownloadEnd::LinkLost, 100, 58}),
            dir),
        {});
    for (const QString& shown :
         {QCoreApplication::translate("velantis::TestReport", "下载未完成") + u':' +
              DownloadEndingText(DownloadEnd::LinkLost, 58, 100),
          QCoreApplication::translate("velantis::TestReport", " (下载未完成)"),
          ShownText(QStringLiteral("负荷低于 5 %")), ShownText(QStringLiteral("负荷高于 120 %"))})
        EXPECT_TRUE(unfinished.contains(Packed(shown))) << shown.toStdString();
    EXPECT_TRUE(unfinished.contains(QStringLiteral("130.0"))) << "above the range";
    const QString complete = Joined(ReportWords(SomeReport(info, {}), dir), {});
    EXPECT_FALSE(complete.contains(
        Packed(QCoreApplication::translate("velantis::TestReport", "下载未完成"))));
}

// The report number stands on every page beside the page count ("未存档" for a test not
// archived) and in the PDF's title; the information block shows every field, an expired
// calibration says so; the decision rule is stated under the limit row with its guard band, and
// for a class whose limit is of the order of the reading's resolution a word on that.
TEST_P(Report, NumberOnEveryPageFieldsAndRule) {
    RecordStore store;
    for (int n = 1; n <= 150; ++n)
        store.store(*SlotIndex::make(n), FrameBuilder()
                                             .hv(1000, 0x31)
                                             .r(5000, 0x33)
                                             .ratioError(0x81)
                                             .rated(100, 50)
                                             .channelKind(0, 1)
                                             .build());
    TestInfo info = FilledInfo();
    info.accuracy = AccuracyClass::C0_2;
    info.guardBand = 5;
    DownloadInfo download;
    download.archived = 17;
    QString title;
    const QStringList pages = PageTexts(MakeTestReport(store, info, download), dir, &title);
    ASSERT_GE(pages.size(), 3);
    const QString number = Flat(QCoreApplication::translate("velantis::TestReport", "报告编号: %1")
                                    .arg(QStringLiteral("HX-20261209-0017")));
    for (qsizetype i = 0; i < pages.size(); ++i)
        EXPECT_TRUE(pages[i].contains(number)) << "page " << i + 1;
    EXPECT_TRUE(title.contains(QStringLiteral("HX-20261209-0017"))) << title.toStdString();
    const auto tr = [](const char* text) {
        return QCoreApplication::translate("velantis::TestReport", text);
    };
    QStringList shown;
    for (QString TestInfo::*member : {&TestInfo::organisation, &TestInfo::maker, &TestInfo::type,
                                      &TestInfo::core, &TestInfo::standard, &TestInfo::setSerial})
        shown << info.*member;
    shown << tr("额定二次负荷 (VA)") << tr("试验时二次负荷 (VA)") << tr("环境温度 (°C)")
          << QStringLiteral("21.5") << tr("相对湿度 (%)")
          << QStringLiteral("2026-12-08") + tr("（已过期）")
          << tr("判定规则: 带保护带的二元判定，保护带 w = %1 %；接受限 = 该组电流下的限值 − w，"
                "|F.Er| ≤ 接受限为合格，否则为超差 (ILAC-G8:09/2019)。")
                 .arg(QStringLiteral("0.05"))
          << tr("仪器显示 F.Er 的分辨率为 0.1 %，与准确级 %1 在 100 % 额定电流时的限值 "
                "±%2 % 同一量级：读数的分辨率不足以区分限值附近的误差。")
                 .arg(QStringLiteral("0.2"), QStringLiteral("0.2"))
          << tr("总体结论: %1").arg(tr("合格")) << tr("电流(%In)") << tr("额定变比")
          << QStringLiteral("100/5A");
    for (const QString& s : shown)
        EXPECT_TRUE(pages[0].contains(Flat(s))) << s.toStdString();

    // Not archived; the calibration not run out; class 0.5 needs no word on the resolution.
    info.setCalibration = QDate(2026, 12, 9);
    info.accuracy = AccuracyClass::C0_5;
    info.guardBand = 0;
    const QString plain = PageTexts(SomeReport(info, {}), dir, &title).join(QString());
    EXPECT_TRUE(plain.contains(Flat(tr("报告编号: %1").arg(tr("未存档")))));
    EXPECT_TRUE(title.contains(tr("未存档"))) << title.toStdString();
    EXPECT_FALSE(plain.contains(Flat(tr("（已过期）"))));
    EXPECT_TRUE(plain.contains(Flat(tr("判定规则: 简单接受 (保护带 w = 0)，|F.Er| ≤ 限值为合格，"
                                       "否则为超差 (ILAC-G8:09/2019 二元判定规则)。"))));
    EXPECT_FALSE(plain.contains(Flat(tr("仪器显示 F.Er 的分辨率为 0.1 %").left(8))));
}

// The overall verdict: 合格 when every judged group passes, 不合格 when one fails, 不判定 when
// none is judged, with the groups without a verdict counted beside it. (100 A of 100 A at
// +0.3 %, 3 A below the range, 130 A above it.)
TEST_P(Report, OverallVerdict) {
    const auto tr = [](const char* text) {
        return QCoreApplication::translate("velantis::TestReport", text);
    };
    const struct {
        AccuracyClass cls;
        int guard;
        const char* word;
        int none;
    } cases[] = {{AccuracyClass::C0_5, 0, "合格", 2},
                 {AccuracyClass::C0_2, 5, "不合格", 2},
                 {AccuracyClass::None, 0, "不判定", 3}};
    for (const auto& c : cases) {
        TestInfo info;
        info.accuracy = c.cls;
        info.guardBand = c.guard;
        const QString text = PageTexts(SomeReport(info, {}), dir).join(QString());
        EXPECT_TRUE(text.contains(
            Packed(tr("总体结论: %1").arg(tr(c.word)) + tr(" (无结论 %1 组)").arg(c.none))))
            << c.word;
    }
}

// The logo stands top left, 15 mm high: red just inside its corner and at 14 mm down, white
// at 16 mm (pdftoppm at 72 dpi: one pixel a point; the page's margin is 15 mm).
TEST(ReportLogo, TopLeftFifteenMillimetresHigh) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        GTEST_SKIP() << "no pdftoppm (a Windows PC) to look at the page";
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("logo.pdf"));
    QFile file(pdf);
    const QByteArray bytes =
        PagesPdf(ReportDrawer(SomeReport(FilledInfo(), {})), A4Paper(), PdfResolution);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {"-png", "-r", "72", "-f", "1", "-l", "1", "-singlefile",
                                         pdf, dir.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QImage page(dir.filePath(QStringLiteral("page.png")));
    ASSERT_FALSE(page.isNull());
    const auto at = [&page](double xMm, double yMm) {
        return page.pixelColor(qRound((15 + xMm) / 25.4 * 72), qRound((15 + yMm) / 25.4 * 72));
    };
    const auto red = [](const QColor& c) { return c.red() > 200 && c.green() < 60; };
    const auto white = [](const QColor& c) { return c.red() > 200 && c.green() > 200; };
    EXPECT_TRUE(red(at(1, 1)));
    EXPECT_TRUE(red(at(40, 14))); // 300 x 100 pixels: 45 mm wide
    EXPECT_TRUE(white(at(1, 16.5)));
    EXPECT_TRUE(white(at(46.5, 7)));
}

// The report number: prefix, test date, archive number padded to four; 未存档 when not archived.
TEST(ReportNumber, PrefixDateAndArchiveNumber) {
    const struct {
        const char* prefix;
        QDate date;
        qint64 archived;
        const char* number;
    } cases[] = {
        {"HX", QDate(2026, 12, 9), 17, "HX-20261209-0017"},
        {" HX- ", QDate(2026, 12, 9), 17, "HX-20261209-0017"},
        {"", QDate(2026, 12, 9), 12345, "20261209-12345"},
        {"HX", QDate(), 3, "HX-0003"},
        {"HX", QDate(2026, 12, 9), 0, "未存档"},
    };
    for (const auto& c : cases) {
        TestInfo info;
        info.reportPrefix = QString::fromUtf8(c.prefix);
        info.date = c.date;
        EXPECT_EQ(ReportNumber(info, c.archived), QString::fromUtf8(c.number)) << c.number;
    }
}

// Where no font holds Chinese text (no font at all here, as Qt's offscreen platform finds under
// Windows), velantis-cli refuses the report naming the fonts it looked for: exit 5, no file.
TEST(ReportFont, RefusedWhereNoFontDrawsChinese) {
#ifndef Q_OS_LINUX
    GTEST_SKIP() << "an empty fontconfig configuration takes every font away on Linux only";
#endif
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("fonts.conf")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" +
                 dir.filePath(QStringLiteral("cache")).toUtf8() + "</cachedir></fontconfig>\n");
    config.close();
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FONTCONFIG_FILE"), config.fileName());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    cli.setProcessEnvironment(env);
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    cli.start(QStringLiteral(VELANTIS_CLI),
              {"--lang", "en", "download", "--demo", "--no-archive", "--class", "0.5", "--report",
               pdf, "-o", dir.filePath(QStringLiteral("list.txt"))});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), 5) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("WenQuanYi Zen Hei")) &&
                err.contains(QStringLiteral("fonts/wqy-microhei.ttc")))
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));
}

} // namespace
} // namespace velantis

namespace velantis {
namespace {

// The bytes given to PagesPdf come out of the PDF whole: pdfdetach lists the file by its name
// and saves exactly those bytes.
TEST(ReportAttachment, PdfdetachGivesBackTheBytes) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdfdetach")).isEmpty())
        GTEST_SKIP() << "no pdfdetach (a Windows PC) to take the attachment out";
    QTemporaryDir dir;
    QByteArray data("{\"format\": \"试验\", \"frame\": \"");
    for (int b = 0; b < 256; ++b)
        data += static_cast<char>(b);
    data += "\"}\r\n";
    const QByteArray pdf =
        PagesPdf(ReportDrawer(SomeReport({}, {})), A4Paper(), PdfResolution,
                 {QStringLiteral("test-0017.json"), data, QStringLiteral("application/json")});
    QFile file(dir.filePath(QStringLiteral("r.pdf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size());
    file.close();
    QProcess list;
    list.start(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), file.fileName()});
    ASSERT_TRUE(list.waitForFinished(60000));
    EXPECT_TRUE(list.readAllStandardOutput().contains("test-0017.json"));
    QProcess save;
    const QString out = dir.filePath(QStringLiteral("out.json"));
    save.start(QStringLiteral("pdfdetach"), {QStringLiteral("-save"), QStringLiteral("1"),
                                             QStringLiteral("-o"), out, file.fileName()});
    ASSERT_TRUE(save.waitForFinished(60000));
    QFile saved(out);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), data);
}

} // namespace
} // namespace velantis
namespace velantis { namespace {
TEST_P(Report, ZzScratchLook) {
    RecordStore store;
    const std::uint8_t errs[] = {0x81, 0x83, 0x05, 0x86, 0x02};
    for (int n = 1; n <= 200; ++n)
        store.store(*SlotIndex::make(n), FrameBuilder().hv(static_cast<std::uint16_t>(40 + n * 61 % 1300), 0x31).r(5000, 0x33)
                    .ratioError(errs[n % 5]).rated(n % 7 == 0 ? 150 : 100, 50).channelKind(static_cast<std::uint8_t>(n % 3), 1).build());
    TestInfo info = FilledInfo();
    info.accuracy = AccuracyClass::C0_5; info.guardBand = 5;
    DownloadInfo d; d.archived = 17; d.at = QDateTime(QDate(2026,12,9), QTime(10,11,12)); d.port = "COM3 (/dev/ttyUSB0)"; d.stored = 200; d.announced = 200;
    QFile f(QStringLiteral("/tmp/h-look-%1.pdf").arg(int(GetParam())));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(PagesPdf(ReportDrawer(MakeTestReport(store, info, d)), A4Paper(), PdfResolution));
}
}}
