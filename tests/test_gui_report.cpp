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

QString Tr(const char* text) {
    return QCoreApplication::translate("velantis::TestReport", text);
}

// The report as a PDF file in `dir`; its path.
QString WrittenPdf(const QByteArray& bytes, const QTemporaryDir& dir) {
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QFile file(pdf);
    EXPECT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return pdf;
}

QString ReportPdf(const TestReport& report, const QTemporaryDir& dir) {
    return WrittenPdf(PagesPdf(ReportDrawer(report), A4Paper(), PdfResolution), dir);
}

struct Word {
    QRectF box; // in points on the page
    QString text;
};

// The report's words with their boxes (pdftotext -bbox), in reading order.
QList<Word> ReportWords(const TestReport& report, const QTemporaryDir& dir) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), ReportPdf(report, dir), QStringLiteral("-")});
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
        .remove(pattern(Tr("%1  %2 (续 %3)")
                            .arg(Tr("电流互感器变比试验报告"),
                                 serial.isEmpty() ? QStringLiteral("—") : serial)))
        .remove(pattern(Tr("报告编号: %1").arg(number) + Tr("第 %1 页 / 共 %2 页")));
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

// The report's pages as text, packed and without hyphens (pdftotext drops one a line broke
// after), and the PDF's title as pdfinfo reads it.
QStringList PageTexts(const TestReport& report, const QTemporaryDir& dir, QString* title) {
    const QString pdf = ReportPdf(report, dir);
    QProcess text, info;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    info.start(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(text.waitForFinished(60000) && info.waitForFinished(60000));
    *title = QString::fromUtf8(info.readAllStandardOutput()).section(u'\n', 0, 0);
    QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(u'\f');
    pages.removeLast(); // after the last page's form feed
    for (QString& page : pages)
        page = Packed(page).remove(u'-');
    return pages;
}

// Every free-text field of the test information filled with its key and a filler, a logo.
TestInfo FilledInfo(const QString& filler) {
    TestInfo info;
    for (const TestInfoTextField& f : TestInfoTextFields)
        info.*f.member = QString::fromLatin1(f.key) + filler;
    QImage logo(300, 100, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QBuffer png(&info.logo);
    EXPECT_TRUE(png.open(QIODevice::WriteOnly) && logo.save(&png, "PNG"));
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
    for (const QString& whole : {info.station, info.remarks, info.organisation, info.setSerial,
                                 LimitRowText(AccuracyClass::C0_5),
                                 Tr("限值按 IEC 61869-2 测量用电流互感器的比值差限值；标准只给出各"
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
         {Tr("下载未完成") + u':' + DownloadEndingText(DownloadEnd::LinkLost, 58, 100),
          Tr(" (下载未完成)"), ShownText(QStringLiteral("负荷低于 5 %")),
          ShownText(QStringLiteral("负荷高于 120 %"))})
        EXPECT_TRUE(unfinished.contains(Packed(shown))) << shown.toStdString();
    EXPECT_TRUE(unfinished.contains(QStringLiteral("130.0"))) << "above the range";
    const QString complete = Joined(ReportWords(SomeReport(info, {}), dir), {});
    EXPECT_FALSE(complete.contains(Packed(Tr("下载未完成"))));
}

// The report number stands on every page beside the page count and in the PDF's title
// ("未存档" for a test not archived); every field is shown, an expired calibration says so; the
// decision rule is stated with its guard band, with a word on the resolution for class 0.1; the
// overall verdict counts the groups without one (3 A and 130 A are outside the range).
TEST_P(Report, NumberOnEveryPageFieldsRuleAndOverallVerdict) {
    const auto tr = [](const char* text) { return Packed(Tr(text)).remove(u'-'); };
    TestInfo info = FilledInfo({});
    info.date = info.setCalibration = QDate(2026, 12, 9);
    info.reportPrefix = QStringLiteral("HX");
    info.remarks += QStringLiteral("\n…").repeated(150); // onto further pages
    info.accuracy = AccuracyClass::C0_5;
    info.guardBand = 5;
    QString title;
    const QStringList pages = PageTexts(SomeReport(info, {{}, {}, {}, 0, 0, 17}), dir, &title);
    ASSERT_GE(pages.size(), 3);
    for (const QString& page : pages)
        EXPECT_TRUE(page.contains(tr("报告编号: %1").replace("%1", "HX202612090017")));
    EXPECT_TRUE(title.contains(QStringLiteral("HX-20261209-0017"))) << title.toStdString();
    const QString all = pages.join(QString());
    for (const TestInfoTextField& f : TestInfoTextFields) // the prefix is in the number
        EXPECT_TRUE(f.member == &TestInfo::reportPrefix ||
                    all.contains(QString::fromLatin1(f.key).remove(u'-')))
            << f.key;
    for (const QString& shown :
         {tr("试验时二次负荷 (VA)"), tr("（已过期）"), tr("总体结论: %1").arg(tr("合格")),
          tr("判定规则: 带保护带的二元判定，保护带 w = %1 %；接受限 = 该组电流下的限值 − w，"
             "|F.Er| ≤ 接受限为合格，否则为超差 (ILAC-G8:09/2019)。")
              .arg("0.05"),
          tr("电流(%In)"), tr("额定变比"), QStringLiteral("100/5A")})
        EXPECT_EQ(all.contains(shown), shown != tr("（已过期）")) << shown.toStdString();
    // The burden during the test is given: the note no longer calls it unknown.
    EXPECT_FALSE(
        all.contains(tr("注: 只评定比值差 (F.Er)，未评定相位差；二次负荷与扩展额定电流未知；"
                        "F.Er 的分辨率为 0.1 %。")));

    // Group 1 (100 A at +0.3 %) fails class 0.1; the other two have no verdict.
    info.accuracy = AccuracyClass::C0_1;
    info.guardBand = 0;
    info.setCalibration = QDate(2026, 12, 8);
    const QString other = PageTexts(SomeReport(info, {}), dir, &title).join(QString());
    EXPECT_TRUE(title.contains(Tr("未存档")));
    for (const QString& shown :
         {tr("报告编号: %1").arg(tr("未存档")), tr("（已过期）"),
          tr("总体结论: %1").arg(tr("不合格")) + tr(" (无结论 %1 组)").arg(2),
          tr("判定规则: 简单接受 (保护带 w = 0)，|F.Er| ≤ 限值为合格，否则为超差 (ILAC-G8:09/2019 "
             "二元判定规则)。"),
          tr("仪器显示 F.Er 的分辨率为 0.1 %，与准确级 %1 在 100 % 额定电流时的限值 ±%2 % "
             "同一量级：读数的分辨率不足以区分限值附近的误差。")
              .arg("0.1", "0.1")})
        EXPECT_TRUE(other.contains(shown)) << shown.toStdString();
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

// The bytes given to PagesPdf come out of the PDF whole: pdfdetach lists the file by its name
// and saves exactly those bytes.
TEST(ReportAttachment, PdfdetachGivesBackTheBytes) {
    QTemporaryDir dir;
    QByteArray data("{\"试验\": \"");
    for (int b = 0; b < 256; ++b)
        data += static_cast<char>(b);
    const QString pdf =
        WrittenPdf(PagesPdf(ReportDrawer(SomeReport({}, {})), A4Paper(), PdfResolution,
                            {QStringLiteral("test-0017.json"), data, {}}),
                   dir);
    QProcess list, save;
    list.start(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), pdf});
    save.start(QStringLiteral("pdfdetach"), {"-saveall", "-o", dir.path(), pdf});
    if (!list.waitForFinished(60000) || !save.waitForFinished(60000))
        GTEST_SKIP() << "no pdfdetach (a Windows PC) to take the attachment out";
    EXPECT_TRUE(list.readAllStandardOutput().contains("test-0017.json"));
    QFile saved(dir.filePath(QStringLiteral("test-0017.json")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), data);
}

} // namespace
} // namespace velantis
