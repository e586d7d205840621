// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_pages.h"

#include "report/fonts.h"
#include "report/shown_texts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

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
    {QT_TRANSLATE_NOOP("velantis::TestReport", "高压电流"), 20, Qt::AlignRight},
    {"R", 19, Qt::AlignRight},
    {"S", 19, Qt::AlignRight},
    {"T", 19, Qt::AlignRight},
    {"F.Er", 13, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "变比"), 21, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "通道"), 9, Qt::AlignHCenter},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "负荷(%)"), 15, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "限值(±%)"), 15, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("velantis::TestReport", "结论"), 18, Qt::AlignHCenter},
};

QStringList Cells(const ReportRow& row) {
    const GroupRecord& g = row.slot;
    QString outcome = ShownText(OutcomeName(row.verdict.outcome));
    if (row.verdict.voltageLow)
        outcome += QStringLiteral(" *");
    return {QString::number(row.group),
            g.recHvCurrent.trimmed(),
            g.recRCurrent.trimmed(),
            g.recSCurrent.trimmed(),
            g.recTCurrent.trimmed(),
            g.recRatioError.trimmed(),
            g.recRatio.trimmed(),
            ChannelLetter(g.recChannel),
            row.verdict.load.value_or(QString()),
            row.verdict.limit.value_or(QString()),
            outcome};
}

QString OrDash(const QString& text) {
    return text.trimmed().isEmpty() ? QStringLiteral("—") : text.trimmed();
}

// The page's measures in device pixels, and the fonts bound to the device.
class Page {
public:
    Page(QPagedPaintDevice& device, int resolution)
        : res_(resolution), body_(Font(9, false, device)), bold_(Font(9, true, device)),
          table_(Font(8, false, device)), tableBold_(Font(8, true, device)),
          title_(Font(16, true, device)), small_(Font(7.5, false, device)) {
        const QRectF r = device.pageLayout().paintRectPixels(resolution);
        area = QRectF(0, 0, r.width(), r.height());
        line = QFontMetricsF(body_).lineSpacing();
        row = QFontMetricsF(table_).lineSpacing() * 1.45;
        smallLine = QFontMetricsF(small_).lineSpacing();
        footer = smallLine * 2;
    }
    qreal mm(qreal v) const { return v * res_ / 25.4; }

    QRectF area;
    qreal line = 0;
    qreal row = 0;
    qreal smallLine = 0;
    qreal footer = 0;
    const QFont& body() const { return body_; }
    const QFont& bold() const { return bold_; }
    const QFont& table() const { return table_; }
    const QFont& tableBold() const { return tableBold_; }
    const QFont& title() const { return title_; }
    const QFont& small() const { return small_; }

private:
    static QFont Font(qreal points, bool bold, QPagedPaintDevice& device) {
        QFont f(SongFont(points, bold), &device);
        return f;
    }
    int res_;
    QFont body_, bold_, table_, tableBold_, title_, small_;
};

QStringList FootnoteLines(const TestReport& r) {
    QStringList lines{
        QCoreApplication::translate(
            "velantis::TestReport",
            "注: 只评定比值差 (F.Er)，未评定相位差；二次负荷与扩展额定电流未知；F.Er 的分辨率为 "
            "0.1 %。"),
        QCoreApplication::translate(
            "velantis::TestReport",
            "限值按 IEC 61869-2 测量用电流互感器的比值差限值；标准只给出各负荷点的限值，"
            "两点之间按负荷线性插值是本程序的规则。"),
        QCoreApplication::translate(
            "velantis::TestReport",
            "负荷 = 高压电流 ÷ 该组额定一次电流 × 100 %，四舍五入到 0.1；限值截取到两位小数。"
            "* 表示该组有电压低标志。"),
    };
    if (r.info.accuracy == AccuracyClass::None)
        lines << QCoreApplication::translate("velantis::TestReport", "未选准确级，各组不判定。");
    return lines;
}

class ReportPainter {
public:
    ReportPainter(QPainter& p, const Page& page, const TestReport& r) : p_(p), page_(page), r_(r) {}

    // Height of the first page's head: title, information, class and summary.
    qreal headHeight() const { return page_.line * 12.3 + remarksLines() * page_.line; }
    qreal continuationHeight() const { return page_.line * 1.6; }
    qreal closingHeight() const {
        return page_.line * 3.5 + page_.smallLine * (FootnoteLines(r_).size() + 0.5);
    }

    void head() {
        qreal y = 0;
        p_.setFont(page_.title());
        p_.drawText(QRectF(0, y, page_.area.width(), page_.line * 2.2), Qt::AlignCenter, Title());
        y += page_.line * 2.4;
        const TestInfo& i = r_.info;
        QString ratio = OrDash(r_.ratedRatio);
        if (r_.mixedSettings)
            ratio += QCoreApplication::translate("velantis::TestReport", " (各组设定不同)");
        const QString pairs[][2][2] = {
            {{QCoreApplication::translate("velantis::TestReport", "站名"), OrDash(i.station)},
             {QCoreApplication::translate("velantis::TestReport", "设备"), OrDash(i.device)}},
            {{QCoreApplication::translate("velantis::TestReport", "编号"), OrDash(i.serial)},
             {QCoreApplication::translate("velantis::TestReport", "额定变比"), ratio}},
            {{QCoreApplication::translate("velantis::TestReport", "准确级"),
              ShownText(ClassName(i.accuracy))},
             {QCoreApplication::translate("velantis::TestReport", "试验日期"),
              i.date.isValid() ? i.date.toString(QStringLiteral("yyyy-MM-dd"))
                               : QStringLiteral("—")}},
            {{QCoreApplication::translate("velantis::TestReport", "试验人员"), OrDash(i.tester)},
             {QCoreApplication::translate("velantis::TestReport", "审核"), OrDash(i.reviewer)}},
            {{QCoreApplication::translate("velantis::TestReport", "下载时间"),
              r_.download.at.isValid()
                  ? r_.download.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                  : QStringLiteral("—")},
             {QCoreApplication::translate("velantis::TestReport", "端口"),
              OrDash(r_.download.port)}},
        };
        const qreal half = page_.area.width() / 2;
        for (const auto& pair : pairs) {
            for (int c = 0; c < 2; ++c)
                field(QPointF(c * half, y), half, pair[c][0], pair[c][1]);
            y += page_.line * 1.3;
        }
        p_.setFont(page_.bold());
        const QString label = QCoreApplication::translate("velantis::TestReport", "备注: ");
        const qreal labelWidth = QFontMetricsF(page_.bold()).horizontalAdvance(label);
        p_.drawText(QPointF(0, y + QFontMetricsF(page_.bold()).ascent()), label);
        p_.setFont(page_.body());
        const qreal remarksHeight = remarksLines() * page_.line;
        p_.drawText(QRectF(labelWidth, y, page_.area.width() - labelWidth, remarksHeight),
                    Qt::TextWordWrap | Qt::AlignTop | Qt::AlignLeft, OrDash(i.remarks));
        y += remarksHeight + page_.line * 0.5;

        p_.setFont(page_.body());
        const QString limits =
            i.accuracy == AccuracyClass::None
                ? QCoreApplication::translate("velantis::TestReport", "准确级: 未选 (不判定)")
                : QCoreApplication::translate("velantis::TestReport", "准确级 %1 的比值差限值: %2")
                      .arg(ClassName(i.accuracy), LimitRowText(i.accuracy));
        p_.drawText(QPointF(0, y + QFontMetricsF(page_.body()).ascent()), limits);
        y += page_.line * 1.3;
        QString summary = QCoreApplication::translate("velantis::TestReport",
                                                      "组数 %1    合格 %2    超差 %3    不判定 %4")
                              .arg(r_.rows.size())
                              .arg(r_.pass)
                              .arg(r_.fail)
                              .arg(r_.none);
        if (r_.largestErrorGroup)
            summary += QCoreApplication::translate("velantis::TestReport",
                                                   "    最大 |F.Er|: %1 (第 %2 组)")
                           .arg(r_.largestError)
                           .arg(*r_.largestErrorGroup);
        p_.setFont(page_.bold());
        p_.drawText(QPointF(0, y + QFontMetricsF(page_.bold()).ascent()), summary);
        y += page_.line * 1.3;
        p_.setPen(QPen(Qt::black, page_.mm(0.3)));
        p_.drawLine(QPointF(0, y), QPointF(page_.area.width(), y));
    }

    void continuation(int pageIndex) {
        p_.setFont(page_.small());
        p_.drawText(QRectF(0, 0, page_.area.width(), page_.line * 1.2),
                    Qt::AlignLeft | Qt::AlignTop,
                    QCoreApplication::translate("velantis::TestReport", "%1  %2 (续 %3)")
                        .arg(Title(), OrDash(r_.info.serial))
                        .arg(pageIndex + 1));
    }

    qreal tableHeading(qreal y) {
        p_.setFont(page_.tableBold());
        p_.setPen(QPen(Qt::black, page_.mm(0.25)));
        qreal x = 0;
        for (const Column& c : Columns) {
            p_.drawText(cell(x, y, c), c.align | Qt::AlignVCenter, Tr(c.heading));
            x += page_.mm(c.mm);
        }
        p_.drawLine(QPointF(0, y + page_.row), QPointF(x, y + page_.row));
        return y + page_.row;
    }

    qreal tableRow(qreal y, const ReportRow& row) {
        const bool fail = row.verdict.outcome == GroupVerdict::Outcome::Fail;
        const qreal width = page_.mm(180);
        if (fail) {
            // Stands out in black-and-white print: shaded, boxed and bold.
            const QRectF band(0, y, width, page_.row);
            p_.fillRect(band, QColor(215, 215, 215));
            p_.setPen(QPen(Qt::black, page_.mm(0.4)));
            p_.drawRect(band);
        }
        p_.setPen(Qt::black);
        p_.setFont(fail ? page_.tableBold() : page_.table());
        const QStringList cells = Cells(row);
        qreal x = 0;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const Column& c = Columns[i];
            p_.drawText(cell(x, y, c), c.align | Qt::AlignVCenter, cells[i]);
            x += page_.mm(c.mm);
        }
        return y + page_.row;
    }

    void closing(qreal y) {
        y += page_.line * 1.2;
        p_.setFont(page_.body());
        const qreal half = page_.area.width() / 2;
        const qreal base = y + page_.line;
        p_.drawText(QPointF(0, base),
                    QCoreApplication::translate("velantis::TestReport", "试验: "));
        p_.drawText(QPointF(half, base),
                    QCoreApplication::translate("velantis::TestReport", "审核: "));
        p_.setPen(QPen(Qt::black, page_.mm(0.25)));
        p_.drawLine(QPointF(page_.mm(12), base), QPointF(half - page_.mm(10), base));
        p_.drawLine(QPointF(half + page_.mm(12), base),
                    QPointF(page_.area.width() - page_.mm(10), base));
        y += page_.line * 2.3;
        p_.setFont(page_.small());
        for (const QString& l : FootnoteLines(r_)) {
            p_.drawText(QPointF(0, y + QFontMetricsF(page_.small()).ascent()), l);
            y += page_.smallLine;
        }
    }

    void footer(int pageIndex, int pages) {
        p_.setFont(page_.small());
        p_.setPen(Qt::black);
        p_.drawText(QRectF(0, page_.area.height() - page_.smallLine * 1.2, page_.area.width(),
                           page_.smallLine * 1.2),
                    Qt::AlignHCenter | Qt::AlignBottom,
                    QCoreApplication::translate("velantis::TestReport", "第 %1 页 / 共 %2 页")
                        .arg(pageIndex + 1)
                        .arg(pages));
    }

private:
    int remarksLines() const {
        const qreal width =
            page_.area.width() -
            QFontMetricsF(page_.bold())
                .horizontalAdvance(QCoreApplication::translate("velantis::TestReport", "备注: "));
        const QRectF need =
            QFontMetricsF(page_.body())
                .boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, OrDash(r_.info.remarks));
        return std::clamp(static_cast<int>(need.height() / page_.line + 0.99), 1, 3);
    }
    void field(QPointF at, qreal width, const QString& label, const QString& value) {
        p_.setFont(page_.bold());
        const QString l = label + QStringLiteral(": ");
        const qreal lw = QFontMetricsF(page_.bold()).horizontalAdvance(l);
        const qreal ascent = QFontMetricsF(page_.bold()).ascent();
        p_.drawText(QPointF(at.x(), at.y() + ascent), l);
        p_.setFont(page_.body());
        const QString shown =
            QFontMetricsF(page_.body()).elidedText(value, Qt::ElideRight, width - lw - page_.mm(3));
        p_.drawText(QPointF(at.x() + lw, at.y() + ascent), shown);
    }
    QRectF cell(qreal x, qreal y, const Column& c) const {
        const qreal pad = page_.mm(1);
        return QRectF(x + pad, y, page_.mm(c.mm) - 2 * pad, page_.row);
    }

    QPainter& p_;
    const Page& page_;
    const TestReport& r_;
};

} // namespace

QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Velantis"));
        writer.setTitle(QStringLiteral("Velantis"));
        writer.setResolution(resolution);
        writer.setPageLayout(paper);
        if (!draw(writer, resolution))
            return {};
    }
    return buffer.data();
}

QPageLayout A4Paper() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

bool DrawTestReport(QPagedPaintDevice& device, int resolution, const TestReport& report) {
    device.setPageLayout(QPageLayout(device.pageLayout().pageSize(), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const Page page(device, resolution);
    ReportPainter draw(painter, page, report);

    // Which rows go on which page: the first page under the head, the others under a running
    // head, each above the footer; the signatures and footnote after the last row, on a page of
    // their own when they do not fit.
    const qreal bottom = page.area.height() - page.footer;
    QList<qsizetype> firstRowOfPage{0};
    qreal y = draw.headHeight() + page.row; // the table's heading
    for (qsizetype i = 0; i < report.rows.size(); ++i) {
        if (y + page.row > bottom) {
            firstRowOfPage << i;
            y = draw.continuationHeight() + page.row;
        }
        y += page.row;
    }
    const bool closingOnNewPage = y + draw.closingHeight() > bottom;
    const int pages = static_cast<int>(firstRowOfPage.size()) + (closingOnNewPage ? 1 : 0);

    for (int pageIndex = 0; pageIndex < pages; ++pageIndex) {
        if (pageIndex > 0)
            device.newPage();
        qreal at = 0;
        if (pageIndex == 0) {
            draw.head();
            at = draw.headHeight();
        } else {
            draw.continuation(pageIndex);
            at = draw.continuationHeight();
        }
        if (pageIndex < firstRowOfPage.size()) {
            at = draw.tableHeading(at);
            const qsizetype end = pageIndex + 1 < firstRowOfPage.size()
                                      ? firstRowOfPage[pageIndex + 1]
                                      : report.rows.size();
            for (qsizetype i = firstRowOfPage[pageIndex]; i < end; ++i)
                at = draw.tableRow(at, report.rows[i]);
        }
        if (pageIndex == pages - 1)
            draw.closing(at);
        draw.footer(pageIndex, pages);
    }
    return painter.end();
}

PageDrawer ReportDrawer(const TestReport& report) {
    return [report](QPagedPaintDevice& device, int resolution) {
        return DrawTestReport(device, resolution, report);
    };
}

} // namespace velantis
