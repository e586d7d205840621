// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_pages.h"

#include "report/error_curve.h"
#include "report/fonts.h"
#include "report/shown_texts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>

namespace velantis {

namespace {

// The report's texts, in the language of the program that draws it.
QString Tr(const char* text) {
    return QCoreApplication::translate("velantis::TestReport", text);
}

QString Title() {
    return QCoreApplication::translate("velantis::TestReport", "电流互感器变比试验报告");
}

struct Column {
    const char* heading;
    qreal mm;
    Qt::Alignment align;
};
constexpr Column Columns[] = {
    {QT_TRANSLATE_NOOP("velantis::TestReport", "组号"), 12, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "高压电流"), 18, Qt::AlignRight},
    {"R", 15, Qt::AlignRight},
    {"S", 15, Qt::AlignRight},
    {"T", 15, Qt::AlignRight},
    {"F.Er", 13, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "变比"), 17, Qt::AlignRight},
    // The group's own rated ratio, which its current in % of rated is computed against.
    {QT_TRANSLATE_NOOP("velantis::TestReport", "额定变比"), 15, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "通道"), 9, Qt::AlignHCenter},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "电流(%In)"), 15, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "限值(±%)"), 18, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "结论"), 18, Qt::AlignHCenter},
};

QString OrDash(const QString& text) {
    return text.trimmed().isEmpty() ? QStringLiteral("—") : text.trimmed();
}

// The page's measures in device pixels, and the fonts bound to the device.
class Page {
public:
    Page(QPaintDevice* device, const QSizeF& size, int resolution)
        : area(QPointF(0, 0), size), device_(device), res_(resolution),
          body_(Font(9, false, device)), bold_(Font(9, true, device)),
          table_(Font(8, false, device)), tableBold_(Font(8, true, device)),
          title_(Font(16, true, device)), small_(Font(7.5, false, device)) {
        line = QFontMetricsF(body_).lineSpacing();
        tableLine = QFontMetricsF(table_).lineSpacing();
        rowPad = tableLine * 0.45;
        smallLine = QFontMetricsF(small_).lineSpacing();
    }
    qreal mm(qreal v) const { return v * res_ / 25.4; }
    const QPaintDevice* device() const { return device_; }

    QRectF area;
    qreal line = 0;
    qreal tableLine = 0;
    qreal rowPad = 0;
    qreal smallLine = 0;
    const QFont& body() const { return body_; }
    const QFont& bold() const { return bold_; }
    const QFont& table() const { return table_; }
    const QFont& tableBold() const { return tableBold_; }
    const QFont& title() const { return title_; }
    const QFont& small() const { return small_; }

private:
    static QFont Font(qreal points, bool bold, QPaintDevice* device) {
        return QFont(SongFont(points, bold), device);
    }
    QPaintDevice* device_;
    int res_;
    QFont body_, bold_, table_, tableBold_, title_, small_;
};

// The text in lines no wider than width as the font measures it on the page's device: broken at
// word boundaries, and anywhere inside a word longer than the line; its own line breaks kept.
QStringList Wrapped(const QString& text, const QFont& font, qreal width, const Page& page) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines;
    for (const QString& paragraph : plain.split(u'\n')) {
        QTextLayout layout(paragraph, font, page.device());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qsizetype before = lines.size();
        for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
            l.setLineWidth(std::max<qreal>(width, 1));
            QString shown = paragraph.mid(l.textStart(), l.textLength());
            while (shown.endsWith(u' '))
                shown.chop(1);
            lines << shown;
        }
        layout.endLayout();
        if (lines.size() == before)
            lines << QString();
    }
    return lines;
}

qreal Advance(const QFont& font, const QString& text) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

// One line of the report's flow: drawn at a y below the page's top; a page break comes only
// between lines.
struct FlowLine {
    qreal height = 0;
    std::function<void(QPainter&, qreal y)> draw;
    // The height that has to fit on the page together with this line (this and the lines kept
    // with it), when it fits on a page at all.
    qreal keep = 0;
    // A row of the table: a page it opens starts with the table's heading.
    bool tableRow = false;
};

QStringList FootnoteLines(const TestReport& r) {
    QStringList lines{
        r.info.testBurden.trimmed().isEmpty()
            ? QCoreApplication::translate(
                  "velantis::TestReport",
                  "注: 只评定比值差 (F.Er)，未评定相位差；二次负荷与扩展额定电流未知；F.Er "
                  "的分辨率为 "
                  "0.1 %。")
            : QCoreApplication::translate(
                  "velantis::TestReport",
                  "注: 只评定比值差 (F.Er)，未评定相位差；扩展额定电流未知；"
                  "F.Er 的分辨率为 0.1 %。"),
        QCoreApplication::translate(
            "velantis::TestReport",
            "限值按 IEC 61869-2 测量用电流互感器的比值差限值；标准只给出各负荷点的限值，"
            "两点之间按负荷线性插值是本程序的规则。"),
        QCoreApplication::translate(
            "velantis::TestReport",
            "电流(%In) = 高压电流 ÷ 该组额定一次电流 × 100 %，四舍五入到 0.1；限值截取到两位小数。"
            "* 表示该组有电压低标志。"),
    };
    if (r.info.accuracy == AccuracyClass::None)
        lines << QCoreApplication::translate("velantis::TestReport", "未选准确级，各组不判定。");
    else
        lines << QCoreApplication::translate(
            "velantis::TestReport",
            "电流(%In) 在准确级的范围之外时向范围外取到 0.1 (4.9995 % 记为 4.9)；不判定的组在结论栏"
            "注明原因。");
    return lines;
}

// How the download ended when it did not end complete; empty when it did.
QString EndingText(const DownloadInfo& d) {
    return DownloadEndingText(d.ending, d.stored, d.announced);
}

// The test set's calibration had run out on the day of the test (the download's day when the
// test has no date).
bool CalibrationExpired(const TestInfo& info, const DownloadInfo& download) {
    const QDate tested = info.date.isValid() ? info.date : download.at.date();
    return info.setCalibration.isValid() && tested.isValid() && info.setCalibration < tested;
}

QStringList Cells(const ReportRow& row, AccuracyClass accuracy) {
    const GroupRecord& g = row.slot;
    QString outcome = ShownText(OutcomeName(row.verdict.outcome));
    if (row.verdict.voltageLow)
        outcome += QStringLiteral(" *");
    // Why there is no verdict, beside it; without a class the footnote says it once.
    if (row.verdict.outcome == GroupVerdict::Outcome::None && accuracy != AccuracyClass::None &&
        !row.verdict.reason.isEmpty())
        outcome += u'\n' + ShownText(row.verdict.reason);
    return {QString::number(row.group), g.recHvCurrent.trimmed(), g.recRCurrent.trimmed(),
            g.recSCurrent.trimmed(), g.recTCurrent.trimmed(), g.recRatioError.trimmed(),
            g.recRatio.trimmed(), row.rated, ChannelLetter(g.recChannel),
            row.verdict.load.value_or(QString()),
            // Under a guard band the acceptance limit the verdict is decided by, after the limit.
            row.verdict.limit.value_or(QString()) +
                (row.verdict.acceptance ? u'/' + *row.verdict.acceptance : QString()),
            outcome};
}

// The report laid out as a flow of lines, then cut into pages.
class ReportLayout {
public:
    ReportLayout(const Page& page, const TestReport& r) : page_(page), r_(r) {
        // Room for the foot of a page of a report of thousands of pages, and a line's gap.
        footer_ = (static_cast<qreal>(footerLines(9999, 9999).size()) + 1) * page_.smallLine;
        head();
        table();
        closing();
    }

    // The page's lines and where they go.
    struct Placed {
        qsizetype line;
        qreal y;
    };
    struct PageContent {
        std::optional<qreal> heading; // where the table's heading is repeated
        QList<Placed> lines;
    };

    QList<PageContent> paginate() const {
        const qreal bottom = page_.area.height() - footer_;
        QList<PageContent> pages{{}};
        qreal y = 0;
        bool empty = true; // nothing but the page's head on it yet
        for (qsizetype i = 0; i < lines_.size(); ++i) {
            const FlowLine& l = lines_[i];
            const qreal fresh = bottom - continuationHeight(static_cast<int>(pages.size())) -
                                (l.tableRow ? headingHeight_ : 0);
            const qreal need = l.keep <= fresh ? std::max(l.height, l.keep) : l.height;
            if (y + need > bottom && !empty) {
                pages << PageContent{};
                y = continuationHeight(static_cast<int>(pages.size()) - 1);
                if (l.tableRow) {
                    pages.last().heading = y;
                    y += headingHeight_;
                }
                empty = true;
            }
            pages.last().lines << Placed{i, y};
            y += l.height;
            empty = false;
        }
        return pages;
    }

    void draw(QPainter& p, const PageContent& content) const {
        if (content.heading)
            drawHeading(p, *content.heading);
        for (const Placed& placed : content.lines) {
            p.setPen(Qt::black);
            lines_[placed.line].draw(p, placed.y);
        }
    }

    // The running head of the pages after the first.
    qreal continuationHeight(int pageIndex) const {
        if (pageIndex == 0)
            return 0;
        return Wrapped(continuationText(pageIndex), page_.small(), page_.area.width(), page_)
                       .size() *
                   page_.smallLine +
               page_.line * 0.6;
    }
    void continuation(QPainter& p, int pageIndex) const {
        text(p, 0, 0, page_.area.width(), page_.small(), page_.smallLine, Qt::AlignLeft,
             Wrapped(continuationText(pageIndex), page_.small(), page_.area.width(), page_));
    }

    // The foot of every page: the report number beside "第 n 页 / 共 m 页", wrapped where a
    // long number prefix needs it, its last line at the bottom of the printable area.
    void footer(QPainter& p, int pageIndex, int pages) const {
        p.setPen(Qt::black);
        const QStringList lines = footerLines(pageIndex + 1, pages);
        text(p, 0, page_.area.height() - page_.smallLine * static_cast<qreal>(lines.size()),
             page_.area.width(), page_.small(), page_.smallLine, Qt::AlignHCenter, lines);
    }

private:
    // Lines of text in a font, each aligned within [x, x + width], the first one's top at y.
    static void text(QPainter& p, qreal x, qreal y, qreal width, const QFont& font,
                     qreal lineHeight, Qt::Alignment align, const QStringList& lines) {
        p.setFont(font);
        const QFontMetricsF m(font);
        for (const QString& l : lines) {
            qreal at = x;
            if (align & Qt::AlignRight)
                at = x + width - m.horizontalAdvance(l);
            else if (align & Qt::AlignHCenter)
                at = x + (width - m.horizontalAdvance(l)) / 2;
            p.drawText(QPointF(at, y + m.ascent()), l);
            y += lineHeight;
        }
    }

    QStringList footerLines(int page, int pages) const {
        return Wrapped(
            QCoreApplication::translate("velantis::TestReport", "报告编号: %1")
                    .arg(ReportNumber(r_.info, r_.download.archived)) +
                QStringLiteral("    ") +
                QCoreApplication::translate("velantis::TestReport", "第 %1 页 / 共 %2 页")
                    .arg(page)
                    .arg(pages),
            page_.small(), page_.area.width(), page_);
    }

    QString continuationText(int pageIndex) const {
        return QCoreApplication::translate("velantis::TestReport", "%1  %2 (续 %3)")
            .arg(Title(), OrDash(r_.info.serial))
            .arg(pageIndex + 1);
    }

    void add(qreal height, std::function<void(QPainter&, qreal)> draw, bool tableRow = false) {
        lines_ << FlowLine{height, std::move(draw), 0, tableRow};
    }
    void gap(qreal height) {
        add(height, [](QPainter&, qreal) {});
    }
    // Lines of text across [x, x + width] each a line of the flow.
    void paragraph(const QString& shown, const QFont& font, qreal lineHeight,
                   Qt::Alignment align = Qt::AlignLeft) {
        for (const QString& l : Wrapped(shown, font, page_.area.width(), page_))
            add(lineHeight, [this, l, &font, lineHeight, align](QPainter& p, qreal y) {
                text(p, 0, y, page_.area.width(), font, lineHeight, align, {l});
            });
    }

    // Fields side by side, each in a column of the given width: the label in bold, the value
    // wrapped beside it, as many lines as the longest of them.
    void fields(const QList<std::pair<QString, QString>>& pairs) {
        const qreal column = page_.area.width() / static_cast<qreal>(pairs.size());
        struct Laid {
            QStringList label;
            qreal valueX;
            QStringList value;
        };
        QList<Laid> laid;
        qsizetype count = 0;
        for (const auto& [label, value] : pairs) {
            const qreal room = column - page_.mm(3);
            // A label takes at most half its column; one that would take more wraps.
            QStringList labelLines =
                Wrapped(label + QStringLiteral(": "), page_.bold(), room / 2, page_);
            qreal labelWidth = 0;
            for (const QString& l : labelLines)
                labelWidth = std::max(labelWidth, Advance(page_.bold(), l + u' '));
            laid << Laid{labelLines, labelWidth,
                         Wrapped(value, page_.body(), room - labelWidth, page_)};
            count = std::max({count, labelLines.size(), laid.last().value.size()});
        }
        for (qsizetype i = 0; i < count; ++i) {
            add(page_.line, [this, laid, i, column](QPainter& p, qreal y) {
                for (qsizetype c = 0; c < laid.size(); ++c) {
                    const qreal x = column * static_cast<qreal>(c);
                    if (i < laid[c].label.size())
                        text(p, x, y, column, page_.bold(), page_.line, Qt::AlignLeft,
                             {laid[c].label[i]});
                    if (i < laid[c].value.size())
                        text(p, x + laid[c].valueX, y, column, page_.body(), page_.line,
                             Qt::AlignLeft, {laid[c].value[i]});
                }
            });
        }
        gap(page_.line * 0.3);
    }

    // The organisation that tests, and its logo top left, 15 mm high (a logo wider than a third
    // of the page scaled down to that width); the organisation's name beside it, and below it
    // where it takes more lines than the logo's height holds.
    void letterhead() {
        const TestInfo& i = r_.info;
        const QImage logo = i.logo.isEmpty() ? QImage() : QImage::fromData(i.logo);
        const QString organisation = i.organisation.trimmed();
        if (logo.isNull() && organisation.isEmpty())
            return;
        QSizeF logoSize;
        if (!logo.isNull()) {
            logoSize = QSizeF(page_.mm(15) * logo.width() / logo.height(), page_.mm(15));
            if (logoSize.width() > page_.area.width() / 3)
                logoSize = QSizeF(page_.area.width() / 3,
                                  page_.area.width() / 3 * logo.height() / logo.width());
        }
        const qreal x = logo.isNull() ? 0 : logoSize.width() + page_.mm(4);
        const qreal width = page_.area.width() - x;
        const QStringList lines = organisation.isEmpty()
                                      ? QStringList()
                                      : Wrapped(organisation, page_.bold(), width, page_);
        // The lines beside the logo, drawn with it.
        const qsizetype beside =
            logo.isNull()
                ? std::min<qsizetype>(1, lines.size())
                : std::min<qsizetype>(
                      lines.size(), std::max<qsizetype>(
                                        1, static_cast<qsizetype>(logoSize.height() / page_.line)));
        const QStringList first = lines.mid(0, beside);
        const qreal height = std::max(logoSize.height(), page_.line * static_cast<qreal>(beside));
        add(height, [this, logo, logoSize, x, width, first](QPainter& p, qreal y) {
            if (!logo.isNull())
                p.drawImage(QRectF(QPointF(0, y), logoSize), logo);
            text(p, x, y, width, page_.bold(), page_.line, Qt::AlignLeft, first);
        });
        for (const QString& l : lines.mid(beside))
            add(page_.line, [this, l, x, width](QPainter& p, qreal y) {
                text(p, x, y, width, page_.bold(), page_.line, Qt::AlignLeft, {l});
            });
        gap(page_.line * 0.5);
    }

    // The decision rule in words, under the limit row; for a class whose limit at rated current
    // is of the order of the reading's resolution, a word on that too.
    void decisionRule() {
        const TestInfo& i = r_.info;
        if (i.accuracy == AccuracyClass::None)
            return;
        paragraph(i.guardBand == 0 ? QCoreApplication::translate(
                                         "velantis::TestReport",
                                         "判定规则: 简单接受 (保护带 w = 0)，|F.Er| ≤ 限值为合格，"
                                         "否则为超差 (ILAC-G8:09/2019 二元判定规则)。")
                                   : QCoreApplication::translate(
                                         "velantis::TestReport",
                                         "判定规则: 带保护带的二元判定，保护带 w = %1 %；接受限 = "
                                         "该组电流下的限值 − w，"
                                         "|F.Er| ≤ 接受限为合格，否则为超差 (ILAC-G8:09/2019)。")
                                         .arg(HundredthsText(i.guardBand)),
                  page_.body(), page_.line);
        if (const int rated = LimitAtRated(i.accuracy); rated > 0 && rated <= 20)
            paragraph(QCoreApplication::translate(
                          "velantis::TestReport",
                          "仪器显示 F.Er 的分辨率为 0.1 %，与准确级 %1 在 100 % 额定电流时的限值 "
                          "±%2 % 同一量级：读数的分辨率不足以区分限值附近的误差。")
                          .arg(ClassName(i.accuracy), HundredthsText(rated)),
                      page_.body(), page_.line);
    }

    // The groups' verdicts in one word: 合格 when every judged group passes, 不合格 when one
    // fails, 不判定 when none is judged; the groups without a verdict counted beside it.
    QString overall() const {
        QString word;
        if (r_.fail > 0)
            word = QCoreApplication::translate("velantis::TestReport", "不合格");
        else if (r_.pass > 0)
            word = QCoreApplication::translate("velantis::TestReport", "合格");
        else
            word = QCoreApplication::translate("velantis::TestReport", "不判定");
        QString shown =
            QCoreApplication::translate("velantis::TestReport", "总体结论: %1").arg(word);
        if (r_.none > 0)
            shown +=
                QCoreApplication::translate("velantis::TestReport", " (无结论 %1 组)").arg(r_.none);
        return shown;
    }

    void head() {
        letterhead();
        paragraph(Title(), page_.title(), QFontMetricsF(page_.title()).lineSpacing(),
                  Qt::AlignHCenter);
        gap(page_.line * 0.8);
        const TestInfo& i = r_.info;
        QString ratio = OrDash(r_.ratedRatio);
        if (r_.mixedSettings)
            ratio += QCoreApplication::translate("velantis::TestReport", " (各组设定不同)");
        fields({{QCoreApplication::translate("velantis::TestReport", "报告编号"),
                 ReportNumber(i, r_.download.archived)},
                {QCoreApplication::translate("velantis::TestReport", "执行标准"),
                 OrDash(i.standard)}});
        fields({{QCoreApplication::translate("velantis::TestReport", "站名"), OrDash(i.station)},
                {QCoreApplication::translate("velantis::TestReport", "设备"), OrDash(i.device)}});
        fields({{QCoreApplication::translate("velantis::TestReport", "编号"), OrDash(i.serial)},
                {QCoreApplication::translate("velantis::TestReport", "额定变比"), ratio}});
        fields({{QCoreApplication::translate("velantis::TestReport", "制造厂"), OrDash(i.maker)},
                {QCoreApplication::translate("velantis::TestReport", "型号"), OrDash(i.type)}});
        fields(
            {{QCoreApplication::translate("velantis::TestReport", "相别"), OrDash(i.phase)},
             {QCoreApplication::translate("velantis::TestReport", "绕组/抽头"), OrDash(i.core)}});
        fields({{QCoreApplication::translate("velantis::TestReport", "额定二次负荷 (VA)"),
                 OrDash(i.ratedBurden)},
                {QCoreApplication::translate("velantis::TestReport", "试验时二次负荷 (VA)"),
                 OrDash(i.testBurden)}});
        fields({{QCoreApplication::translate("velantis::TestReport", "准确级"),
                 ShownText(ClassName(i.accuracy))},
                {QCoreApplication::translate("velantis::TestReport", "试验日期"),
                 i.date.isValid() ? i.date.toString(QStringLiteral("yyyy-MM-dd"))
                                  : QStringLiteral("—")}});
        fields({{QCoreApplication::translate("velantis::TestReport", "环境温度 (°C)"),
                 OrDash(i.temperature)},
                {QCoreApplication::translate("velantis::TestReport", "相对湿度 (%)"),
                 OrDash(i.humidity)}});
        QString calibration = QStringLiteral("—");
        if (i.setCalibration.isValid()) {
            calibration = i.setCalibration.toString(QStringLiteral("yyyy-MM-dd"));
            if (CalibrationExpired(i, r_.download))
                calibration += QCoreApplication::translate("velantis::TestReport", "（已过期）");
        }
        fields({{QCoreApplication::translate("velantis::TestReport", "测试仪编号"),
                 OrDash(i.setSerial)},
                {QCoreApplication::translate("velantis::TestReport", "测试仪校准有效期至"),
                 calibration}});
        fields({{QCoreApplication::translate("velantis::TestReport", "试验人员"), OrDash(i.tester)},
                {QCoreApplication::translate("velantis::TestReport", "审核"), OrDash(i.reviewer)}});
        fields({{QCoreApplication::translate("velantis::TestReport", "下载时间"),
                 r_.download.at.isValid()
                     ? r_.download.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                     : QStringLiteral("—")},
                {QCoreApplication::translate("velantis::TestReport", "端口"),
                 OrDash(r_.download.port)}});
        if (!r_.download.importedFrom.isEmpty())
            fields({{QCoreApplication::translate("velantis::TestReport", "导入自列表文件"),
                     r_.download.importedFrom}});
        const QString ending = EndingText(r_.download);
        if (!ending.isEmpty())
            fields({{QCoreApplication::translate("velantis::TestReport", "下载未完成"), ending}});
        QString remarksLabel = QCoreApplication::translate("velantis::TestReport", "备注: ");
        if (remarksLabel.endsWith(QStringLiteral(": ")))
            remarksLabel.chop(2);
        fields({{remarksLabel, OrDash(i.remarks)}});
        gap(page_.line * 0.3);

        paragraph(
            i.accuracy == AccuracyClass::None
                ? QCoreApplication::translate("velantis::TestReport", "准确级: 未选 (不判定)")
                : QCoreApplication::translate("velantis::TestReport", "准确级 %1 的比值差限值: %2")
                      .arg(ClassName(i.accuracy), LimitRowText(i.accuracy)),
            page_.body(), page_.line);
        decisionRule();
        gap(page_.line * 0.3);
        QString summary = QCoreApplication::translate("velantis::TestReport",
                                                      "组数 %1    合格 %2    超差 %3    不判定 %4")
                              .arg(r_.rows.size())
                              .arg(r_.pass)
                              .arg(r_.fail)
                              .arg(r_.none);
        if (!ending.isEmpty())
            summary += QCoreApplication::translate("velantis::TestReport", " (下载未完成)");
        if (r_.largestErrorGroup)
            summary += QCoreApplication::translate("velantis::TestReport",
                                                   "    最大 |F.Er|: %1 (第 %2 组)")
                           .arg(r_.largestError)
                           .arg(*r_.largestErrorGroup);
        paragraph(summary, page_.bold(), page_.line);
        paragraph(overall(), page_.bold(), page_.line);
        curve();
        add(page_.line * 0.6, [this](QPainter& p, qreal y) {
            p.setPen(QPen(Qt::black, page_.mm(0.3)));
            p.drawLine(QPointF(0, y + page_.line * 0.3),
                       QPointF(page_.area.width(), y + page_.line * 0.3));
        });
    }

    // The error curve under the summary, a third of the page high: on the first page when it fits
    // there, else on the next one before the table.
    void curve() {
        if (r_.rows.isEmpty())
            return;
        const qreal height = page_.area.height() / 3;
        add(height, [this, height, data = CurveOf(r_)](QPainter& p, qreal y) {
            const qreal gap = page_.line * 0.5;
            ErrorCurve(data, page_.small(), page_.mm(25.4 / 72))
                .draw(p, QRectF(0, y + gap, page_.area.width(), height - gap));
        });
    }

    // The cells of a row, each wrapped in its column.
    QList<QStringList> wrappedCells(const QStringList& cells, const QFont& font) const {
        QList<QStringList> wrapped;
        for (qsizetype c = 0; c < cells.size(); ++c)
            wrapped << Wrapped(cells[c], font, page_.mm(Columns[c].mm) - 2 * page_.mm(1), page_);
        return wrapped;
    }
    qreal rowHeight(const QList<QStringList>& cells) const {
        qsizetype most = 1;
        for (const QStringList& c : cells)
            most = std::max(most, c.size());
        return static_cast<qreal>(most) * page_.tableLine + page_.rowPad;
    }
    void cells(QPainter& p, qreal y, const QList<QStringList>& cells, const QFont& font) const {
        qreal x = 0;
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const qreal pad = page_.mm(1);
            text(p, x + pad, y + page_.rowPad / 2, page_.mm(Columns[c].mm) - 2 * pad, font,
                 page_.tableLine, Columns[c].align, cells[c]);
            x += page_.mm(Columns[c].mm);
        }
    }
    qreal tableWidth() const {
        qreal width = 0;
        for (const Column& c : Columns)
            width += page_.mm(c.mm);
        return width;
    }
    void drawHeading(QPainter& p, qreal y) const {
        cells(p, y, heading_, page_.tableBold());
        p.setPen(QPen(Qt::black, page_.mm(0.25)));
        p.drawLine(QPointF(0, y + headingHeight_), QPointF(tableWidth(), y + headingHeight_));
    }

    void table() {
        QStringList headings;
        for (const Column& c : Columns)
            headings << (c.heading == Columns[10].heading && r_.info.guardBand > 0
                             ? QCoreApplication::translate("velantis::TestReport",
                                                           "限值/接受限(±%)")
                             : Tr(c.heading));
        heading_ = wrappedCells(headings, page_.tableBold());
        headingHeight_ = rowHeight(heading_);
        const qsizetype at = lines_.size();
        add(headingHeight_, [this](QPainter& p, qreal y) { drawHeading(p, y); });
        for (const ReportRow& row : r_.rows) {
            const bool fail = row.verdict.outcome == GroupVerdict::Outcome::Fail;
            const QFont& font = fail ? page_.tableBold() : page_.table();
            const QList<QStringList> shown = wrappedCells(Cells(row, r_.info.accuracy), font);
            const qreal height = rowHeight(shown);
            add(
                height,
                [this, shown, fail, height, &font](QPainter& p, qreal y) {
                    if (fail) {
                        // Stands out in black-and-white print: shaded, boxed and bold.
                        const QRectF band(0, y, tableWidth(), height);
                        p.fillRect(band, QColor(215, 215, 215));
                        p.setPen(QPen(Qt::black, page_.mm(0.4)));
                        p.drawRect(band);
                        p.setPen(Qt::black);
                    }
                    cells(p, y, shown, font);
                },
                true);
        }
        // The heading never ends a page: it stays with the first row.
        lines_[at].keep =
            headingHeight_ + (lines_.size() > at + 1 ? lines_[at + 1].height : qreal(0));
    }

    void closing() {
        const qsizetype first = lines_.size();
        gap(page_.line * 1.2);
        // The signatures: each label, then a line to sign on from its end to its column's end.
        const qreal half = page_.area.width() / 2;
        const QString labels[] = {QCoreApplication::translate("velantis::TestReport", "试验: "),
                                  QCoreApplication::translate("velantis::TestReport", "审核: ")};
        QList<QStringList> wrapped;
        qsizetype count = 1;
        for (const QString& l : labels) {
            wrapped << Wrapped(l, page_.body(), half - page_.mm(40), page_);
            count = std::max(count, wrapped.last().size());
        }
        for (qsizetype i = 0; i < count; ++i) {
            add(page_.line, [this, wrapped, i, count, half](QPainter& p, qreal y) {
                for (qsizetype c = 0; c < wrapped.size(); ++c) {
                    const qreal x = half * static_cast<qreal>(c);
                    if (i < wrapped[c].size())
                        text(p, x, y, half, page_.body(), page_.line, Qt::AlignLeft,
                             {wrapped[c][i]});
                    if (i + 1 == count) {
                        const qreal from = x + Advance(page_.body(), wrapped[c].constLast() + u' ');
                        const qreal base = y + QFontMetricsF(page_.body()).ascent() + page_.mm(0.5);
                        p.setPen(QPen(Qt::black, page_.mm(0.25)));
                        p.drawLine(QPointF(from, base), QPointF(x + half - page_.mm(10), base));
                        p.setPen(Qt::black);
                    }
                }
            });
        }
        gap(page_.line * 1.0);
        for (const QString& l : FootnoteLines(r_))
            paragraph(l, page_.small(), page_.smallLine);
        // Signatures and footnote on one page, a page of their own when they do not fit.
        qreal total = 0;
        for (qsizetype i = first; i < lines_.size(); ++i)
            total += lines_[i].height;
        lines_[first].keep = total;
    }

    const Page& page_;
    const TestReport& r_;
    QList<FlowLine> lines_;
    QList<QStringList> heading_;
    qreal headingHeight_ = 0;
    qreal footer_ = 0;
};

// The program and its version, as the PDF's creator.
QString PdfCreator() {
    return QStringLiteral("Velantis ") + QLatin1String(VELANTIS_VERSION);
}

} // namespace

QString ReportNumber(const TestInfo& info, qint64 archived) {
    if (archived <= 0)
        return QCoreApplication::translate("velantis::TestReport", "未存档");
    QStringList parts;
    QString prefix = info.reportPrefix.trimmed();
    while (prefix.endsWith(u'-'))
        prefix.chop(1);
    if (!prefix.isEmpty())
        parts << prefix;
    if (info.date.isValid())
        parts << info.date.toString(QStringLiteral("yyyyMMdd"));
    parts << QStringLiteral("%1").arg(archived, 4, 10, QLatin1Char('0'));
    return parts.join(u'-');
}

QString ReportFontProblem() {
    if (!ChineseFontFamily().isEmpty())
        return {};
    return QCoreApplication::translate(
               "velantis::TestReport",
               "没有能显示中文的字体: 宋体 (SimSun)、WenQuanYi Zen Hei 都没有安装, 也没有 %1; "
               "报告不能绘制")
        .arg(QDir::toNativeSeparators(ShippedFontPath()));
}

QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution) {
    return PagesPdf(draw, paper, resolution, PdfAttachment{});
}

QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution,
                    const PdfAttachment& attachment) {
    return PagesPdf(draw, paper, resolution, QList<PdfAttachment>{attachment});
}

QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution,
                    const QList<PdfAttachment>& attachments) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(PdfCreator());
        writer.setTitle(QStringLiteral("Velantis"));
        writer.setResolution(resolution);
        writer.setPageLayout(paper);
        // Taken only before the painter begins on the writer; later it would embed nothing.
        for (const PdfAttachment& attachment : attachments)
            if (!attachment.data.isEmpty())
                writer.addFileAttachment(attachment.fileName, attachment.data, attachment.mimeType);
        if (!draw(writer, resolution))
            return {};
    }
    return buffer.data();
}

QPageLayout A4Paper() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

bool DrawTestReport(QPainter& painter, const QSizeF& area, int resolution,
                    const std::function<bool()>& newPage, const TestReport& report) {
    // Without a font for Chinese text every character would come out as a filled bar.
    if (ChineseFontFamily().isEmpty())
        return false;
    const Page page(painter.device(), area, resolution);
    const ReportLayout layout(page, report);
    const QList<ReportLayout::PageContent> pages = layout.paginate();
    for (qsizetype pageIndex = 0; pageIndex < pages.size(); ++pageIndex) {
        if (pageIndex > 0 && !newPage())
            return false;
        const int index = static_cast<int>(pageIndex);
        if (pageIndex > 0)
            layout.continuation(painter, index);
        layout.draw(painter, pages[pageIndex]);
        layout.footer(painter, index, static_cast<int>(pages.size()));
    }
    return true;
}

bool DrawTestReport(QPagedPaintDevice& device, int resolution, const TestReport& report) {
    return ReportsDrawer({report})(device, resolution);
}

PageDrawer ReportDrawer(const TestReport& report) {
    return [report](QPagedPaintDevice& device, int resolution) {
        return DrawTestReport(device, resolution, report);
    };
}

PageDrawer ReportsDrawer(const QList<TestReport>& reports) {
    return [reports](QPagedPaintDevice& device, int resolution) {
        if (reports.isEmpty() || ChineseFontFamily().isEmpty())
            return false;
        // A PDF names the report and its number as its title (set before the painter begins);
        // several reports: the first number and how many follow.
        if (auto* pdf = dynamic_cast<QPdfWriter*>(&device)) {
            QString title = Title() + QStringLiteral(" ") +
                            ReportNumber(reports.first().info, reports.first().download.archived);
            if (reports.size() > 1)
                title += QStringLiteral(" +%1").arg(reports.size() - 1);
            pdf->setTitle(title);
        }
        device.setPageLayout(QPageLayout(device.pageLayout().pageSize(), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&device))
            return false;
        const QRectF r = device.pageLayout().paintRectPixels(resolution);
        const auto newPage = [&device] { return device.newPage(); };
        bool drawn = true;
        for (qsizetype i = 0; drawn && i < reports.size(); ++i)
            drawn = (i == 0 || newPage()) &&
                    DrawTestReport(painter, r.size(), resolution, newPage, reports[i]);
        return painter.end() && drawn;
    };
}

} // namespace velantis
